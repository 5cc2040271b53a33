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
//   - tessel::smooth(x, y, rate, weight, options): four columns in, one
//     value per row out; rows with a NaN are missing and come back NaN.
//   - a Workspace, for callers that fill the points themselves (the console
//     program loads them straight from its work file): allocate, loadPoint
//     for every point, run, then values().
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

// The phases of a run, in the order a run reports them.
enum class Phase {
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
// million points), so the value only grows through a run. A reference run
// reports no finishing phase; its bar ends at the run's end.
double runShare(Phase phase, double share);

// Called on the thread that runs the core with the phase and the share of
// it done, from 0 to 1: at the start and the end of every phase and, in
// between, whenever about 20 ms of work have passed since the last call.
// Returning false asks the run to stop: it then releases everything and
// throws Cancelled.
using ProgressHook = std::function<bool(Phase phase, double share)>;

// What a run throws when its progress hook asked it to stop.
class Cancelled : public std::exception {
 public:
  const char* what() const noexcept override;
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
  // the iterations. Throws Cancelled when the progress hook asked to stop
  // (the arrays are then released), and whatever the policy throws.
  void run();

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

// Smooths the rows of four columns of equal length and returns one value
// per row, in row order. A row with a NaN among its four values takes no
// part and comes back NaN. Throws std::invalid_argument for columns of
// different lengths, more than 2^31 - 1 rows, an infinite value, or
// options outside their limits; std::bad_alloc when memory runs out.
// Runs on all hardware threads.
std::vector<double> smooth(const std::vector<double>& x, const std::vector<double>& y,
                           const std::vector<double>& rate, const std::vector<double>& weight,
                           const SmoothingOptions& options = {});

}  // namespace tessel

#endif  // TESSEL_TESSEL_H_
