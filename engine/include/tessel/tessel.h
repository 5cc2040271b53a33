// tessel: the smoothing core as a library. This header is its whole public
// interface; everything under engine/ besides it is internal.
//
// For every point the smoother takes its nearest neighbours, picks triples
// (the point and two neighbours nearly on one straight line with it) and,
// over a number of iterations, clamps the point's value between weighted
// medians of the values its triples offer; the values are those of the
// tessel program, bit for bit.
//
// Two ways in:
//   - the column entry, tessel::smooth on four ColumnViews (or on four
//     std::vectors): columns in, one value per row out; rows with a NaN are
//     missing and come back NaN. The one place that checks columns and
//     options for the bindings (Python, R) and maps missing rows, so that
//     they only turn their callers' tables into columns and the core's
//     errors into their own words.
//   - a Workspace, for callers that fill the points themselves (the console
//     program loads them straight from its work file): allocate, loadPoint
//     for every point, run, then values().
// Either can also tell, on request, what the run found at each point
// (Diagnostics).
// Beside them, distance() and PointIndex measure and search as the
// neighbour search does, for callers that split a table into pieces.
// The caller owns the Workspace and everything it holds; the core keeps no
// state of its own, does no file or console I/O, and may be run from any
// thread (one run per Workspace at a time).
#ifndef TESSEL_TESSEL_H_
#define TESSEL_TESSEL_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessel {

// Upper limits of the control numbers (each bound itself is allowed).
constexpr int32_t kMaxNN = 100;
constexpr int32_t kMaxNTRIP = 80;
constexpr int32_t kMaxNITER = 100;

enum class LimitCheck { kWithinLimits, kTooBig, kNegative };

// kTooBig when NN, NTRIP or NITER exceeds its limit (checked first),
// kNegative when NN or NTRIP is below 0. NITER below 0 runs no iteration.
LimitCheck checkLimits(int32_t NN, int32_t NTRIP, int32_t NITER);

// How a run computes. kFast: the k-d tree search and every saving of work
// that leaves the results unchanged. kReference: each phase in its plain
// form (every pair measured and every whole list sorted, every candidate
// triple measured exactly, every screen sorted, every point smoothed in
// every iteration), kept to check the fast run against; it needs memory
// for N² neighbour entries.
enum class Method { kFast, kReference };

struct SmoothingOptions {
  int32_t NN = 10;           // neighbours per point (at most)
  int32_t NTRIP = 7;         // triples per point (at most)
  int32_t NITER = 10;        // iterations
  double ThetaStar = 135.0;  // threshold angle, degrees
  Method method = Method::kFast;
};

// Where a Workspace's work arrays and scratch blocks come from. obtain
// returns a block of size bytes, or null for a zero-size request; SIZE_MAX
// marks a request that cannot be met (a negative count, an overflowing
// size). It never returns null when size is not 0: it refuses by throwing
// or by ending the process. Blocks are released with std::free. Memory the
// core takes from the standard containers throws std::bad_alloc, from
// whichever thread asked; the run carries it to its caller.
class AllocationPolicy {
 public:
  virtual ~AllocationPolicy() = default;
  virtual void* obtain(size_t size) = 0;
};

// The silent policy: null for size 0, std::bad_alloc when refused.
class RaisingAllocation : public AllocationPolicy {
 public:
  void* obtain(size_t size) override;
};

// Asks the system to back the whole 2 MiB pages inside [block, block +
// bytes) with huge pages, as a run does for the arrays it writes whole:
// their first touch then faults once per 2 MiB instead of once per 4 KiB.
// Only for a block that will be written whole (a sparse one would grow by
// the untouched parts of its huge pages). A hint, which the system may
// ignore; it changes no byte and reports nothing.
void adviseHugePages(void* block, size_t bytes);

// The phases of a run, in the order a run reports them.
enum class Phase {
  kLoading,           // the column entry's rows checked and loaded
  kTree,              // building the k-d tree (fast runs)
  kRenumbering,       // the points put in the tree's order (fast runs)
  kSearch,            // every pair measured, every list sorted (reference runs)
  kTriples,           // triple selection from those lists (reference runs)
  kSearchAndTriples,  // the neighbour search with triple selection (fast runs)
  kIterations,        // the NITER iterations
  kFinishing,         // the values put back in the caller's order
};

// The phase's name in lower case, e.g. "search and triples".
const char* phaseName(Phase phase);

// The share of the whole run done when `phase` is `share` done, for one
// progress bar over a run: each phase fills a fixed stretch of it, in the
// order the phases come (about their parts of a fast run's time at a
// million points), so the value only grows through a run. A Workspace's
// run starts where the column entry's loading ends; a reference run
// reports no finishing phase, and its bar ends at the run's end.
double runShare(Phase phase, double share);

// Called on the thread that runs the core with the phase and the share of
// it done, from 0 to 1: at the start and the end of every phase and, in
// between, whenever about 20 ms of work have passed since the last call
// (so a binding's hook can also serve to notice an interrupt).
// Returning false asks the run to stop: it then releases everything and
// throws Cancelled.
using ProgressHook = std::function<bool(Phase phase, double share)>;

// What a run throws when its progress hook asked it to stop.
class Cancelled : public std::exception {
 public:
  const char* what() const noexcept override;
};

// What a run found at each point besides its value, for callers that ask
// why a value is what it is: one entry per point of a Workspace, or per row
// of the column entry, in that order. Asking for them changes no value.
struct Diagnostics {
  // The neighbours found (at most NN) and the distance to the farthest of
  // them, as the search measures it (distance()); NaN when there are none.
  std::vector<int32_t> neighbors;
  std::vector<double> radius;
  // The triples the point was given: interior ones or, failing those, end
  // ones (an edge point has end triples only).
  std::vector<int32_t> interior_triples;
  std::vector<int32_t> end_triples;
  // The two screens (weighted medians of the lower and of the higher
  // values its triples offer) of the last iteration; NaN where the point
  // had no triples or no iteration ran.
  std::vector<double> low_screen;
  std::vector<double> high_screen;
  // 1 where the last iteration left the value where it was because the
  // point's own weight held it: its triple count times its weight at least
  // the weight of its screens' entries together; else 0.
  std::vector<uint8_t> held;
  // The last iteration (1 to NITER) that changed the value in any bit; 0
  // when none did.
  std::vector<int32_t> last_change;
};

struct WorkArrays;  // the run's arrays (internal)

class Workspace {
 public:
  // workers: the threads a run may use; 0 or less for the hardware's.
  explicit Workspace(AllocationPolicy& policy, int32_t workers = 0);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // Checks the options' limits; within them, releases what an earlier call
  // obtained and obtains every array for N points through the policy, in a
  // fixed order (so a policy that reports zero-size requests reports them
  // in that order). Outside them nothing is obtained.
  LimitCheck allocate(int32_t N, const SmoothingOptions& options);

  // Point i's coordinates, rate and weight (0 <= i < N), after allocate.
  // Distinct points may be loaded from different threads at once. The
  // coordinates must be finite.
  void loadPoint(int32_t i, double x, double y, double rate, double weight);

  // Smooths the loaded points: the neighbour search, triple selection and
  // the iterations. With diagnostics, also fills them (N entries each, in
  // point order; the memory from the standard containers). Throws
  // Cancelled when the progress hook asked to stop (the arrays are then
  // released), and whatever the policy throws; diagnostics are then left
  // unspecified.
  void run(Diagnostics* diagnostics = nullptr);

  // The N smoothed values, in point order, after run.
  const double* values() const;

  int32_t pointCount() const;
  int32_t workers() const { return workers_; }

  // Runs body(begin, end) over [0, n) in chunks of chunkSize on the
  // workspace's workers; an exception in any chunk is thrown again here
  // once every worker has stopped.
  void forEachChunk(int32_t n, int32_t chunkSize,
                    const std::function<void(int32_t begin, int32_t end)>& body) const;

  // The hook of every later run; an empty one reports nothing.
  void setProgress(ProgressHook hook);

  // Releases every array.
  void release();

 private:
  AllocationPolicy& policy_;
  const int32_t workers_;
  ProgressHook progress_;
  SmoothingOptions options_;
  std::unique_ptr<WorkArrays> arrays_;
};

// The distance of two points exactly as the neighbour search measures it
// (the squared differences summed in x87 extended precision on every
// platform, the sum rounded to double, then its square root), for callers
// that split a table and must find the same nearest neighbours in its
// pieces.
double distance(double x1, double y1, double x2, double y2);

// The zero-size requests (see AllocationPolicy) that allocate and run of N
// points with these options make of their policy, for callers that report
// them the way the console program does without running the whole table
// in one workspace. Found by the run's own steps on a stand-in of a few
// points, whose only requests that grow with N are the per-point rows.
// 0 when the options are outside their limits.
int64_t zeroSizeRequests(int32_t N, const SmoothingOptions& options);

class KdTree;  // the neighbour search's k-d tree (internal)

// The neighbour search's own k-d tree over a fixed set of points, for
// callers that split a table and must find in its pieces exactly the
// neighbours the whole table's search finds: every distance is measured as
// distance() measures it, from the query point to the index's point. Each
// batch of queries runs on the index's workers; any number of threads may
// query one index at once. Throws std::invalid_argument for arguments
// outside what is said here, std::bad_alloc when memory runs out (from
// whichever worker ran out).
class PointIndex {
 public:
  // Indexes the points (x[i], y[i]), 0 <= i < n <= 2^31 - 1, of finite
  // coordinates; workers: the threads of its building and its queries, 0
  // or less for the hardware's.
  PointIndex(int64_t n, const double* x, const double* y, int32_t workers = 0);
  ~PointIndex();
  PointIndex(const PointIndex&) = delete;
  PointIndex& operator=(const PointIndex&) = delete;

  int64_t size() const;
  int32_t workers() const { return workers_; }
  // The points' coordinates as given: x[0..n), y[0..n).
  void coordinates(double* x, double* y) const;
  // The bytes the index holds.
  size_t memoryBytes() const;

  // For each query q < m (coordinates finite), the k smallest distances
  // from (qx[q], qy[q]) to the points other than point self[q] (-1 for
  // none) that are at most bound[q]: out[q * k .. q * k + k), ascending,
  // padded with +infinity where fewer points qualify. k >= 0.
  void nearestDistances(int64_t m, const double* qx, const double* qy, const int64_t* self,
                        int32_t k, const double* bound, double* out) const;

  // For each query q < m (coordinates finite), the points at a distance of
  // at most radius[q] from (qx[q], qy[q]): points[offsets[q] ..
  // offsets[q + 1]), in an order set by the points indexed and the query
  // alone (not by the workers). offsets holds m + 1 entries; points is
  // replaced.
  void within(int64_t m, const double* qx, const double* qy, const double* radius, int64_t* offsets,
              std::vector<int64_t>& points) const;

 private:
  int32_t workers_;
  std::unique_ptr<const KdTree> tree_;
};

// The column entry.

// A column of `size` doubles read in place: row r at data[r * stride]. The
// stride counts doubles and may be 0 or negative (a numpy array's strides
// divided by 8; an R vector's stride is 1). size >= 0.
struct ColumnView {
  const double* data = nullptr;
  int64_t size = 0;
  int64_t stride = 1;
};

// The columns' names, by number: "x", "y", "rate", "weight" (0 to 3).
const char* columnName(int column);

// The options as a binding takes them from its caller, not yet checked,
// under the names it gives them.
struct OptionValues {
  int64_t neighbors = 10;   // NN
  int64_t triples = 7;      // NTRIP
  int64_t iterations = 10;  // NITER
  double theta = 135.0;     // ThetaStar, degrees
  Method method = Method::kFast;
};

// A refused option: which, and the range allowed (a count from minimum()
// to maximum(); theta need only be finite, and has 0 for both). what()
// says e.g. "neighbors must be between 0 and 100, got 101" or "theta must
// be finite, got inf".
class OptionError : public std::invalid_argument {
 public:
  enum Option { kNeighbors, kTriples, kIterations, kTheta };
  OptionError(Option option, int64_t minimum, int64_t maximum, const std::string& message);
  Option option() const { return option_; }
  const char* name() const;  // "neighbors", "triples", "iterations", "theta"
  int64_t minimum() const { return minimum_; }
  int64_t maximum() const { return maximum_; }

 private:
  Option option_;
  int64_t minimum_;
  int64_t maximum_;
};

// Refused columns: the problem, the four lengths as given and, for an
// infinite value, its column (0 to 3, see columnName) and 0-based row, the
// first one in row order (and in column order within its row); -1 for
// both otherwise. what() says e.g. "x, y, rate and weight differ in
// length: 3, 3, 3, 2", "2147483648 rows are more than 2147483647" or "rate
// holds an infinite value at row 563".
class ColumnError : public std::invalid_argument {
 public:
  enum Problem { kLengthsDiffer, kTooManyRows, kInfiniteValue };
  ColumnError(Problem problem, const int64_t lengths[4], int column, int64_t row);
  Problem problem() const { return problem_; }
  int64_t length(int column) const { return lengths_[column]; }
  int column() const { return column_; }
  int64_t row() const { return row_; }

 private:
  Problem problem_;
  int64_t lengths_[4];
  int column_;
  int64_t row_;
};

// The options within their limits as SmoothingOptions: each count from 0
// to its limit (kMaxNN, kMaxNTRIP, kMaxNITER), theta finite. Throws
// OptionError for the first that is not, in that order.
SmoothingOptions checkOptions(const OptionValues& values);

// Smooths the rows of four columns and writes one value per row, in row
// order, to values[0 .. rows). A row with a NaN among its four values is
// missing: it takes no part and its value is NaN. Checks the options first
// (checkOptions), then the columns (ColumnError): equal lengths, at most
// 2^31 - 1 rows, no infinite value. progress, when not empty, hears every
// phase (Phase::kLoading while the rows are checked and loaded, then the
// run's), and may stop the call there too (Cancelled). workers: as
// Workspace's. With diagnostics, fills them with one entry per row; a
// missing row's: no neighbours or triples, NaN radius and screens, not
// held, last_change 0. Throws std::bad_alloc when memory runs out; values
// are written only once the run has succeeded.
void smooth(const ColumnView& x, const ColumnView& y, const ColumnView& rate,
            const ColumnView& weight, const OptionValues& options, double* values,
            const ProgressHook& progress = nullptr, int32_t workers = 0,
            Diagnostics* diagnostics = nullptr);

// The column entry on four std::vectors with all hardware threads, the
// values returned (options outside their limits: OptionError).
std::vector<double> smooth(const std::vector<double>& x, const std::vector<double>& y,
                           const std::vector<double>& rate, const std::vector<double>& weight,
                           const SmoothingOptions& options = {});

}  // namespace tessel

#endif  // TESSEL_TESSEL_H_
