// Triple selection: for every point the interior triples (the point between
// two of its neighbours) or, failing those, the end triples (a neighbour
// between the point and a farther neighbour), kept by ascending lineOffset.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "engine/allocation.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/sorting.h"
#include "engine/work_arrays.h"

namespace tessel {

namespace {

constexpr double kHuge = std::numeric_limits<double>::infinity();

// Neighbour positions the angle screen keeps offsets for (NN is at most 100).
constexpr int32_t kMaxNeighborPositions = 100;

// A distance a cosine formula may divide by: neither 0 nor infinite nor NaN.
bool usableDistance(double d) { return d != 0.0 && std::isfinite(d); }

// A candidate triple and its selection key. `generated` numbers the
// candidates of a point in the order they are made, so that (lineOffset,
// generated) orders them totally, as a stable sort by lineOffset does.
struct Candidate {
  double lineOffset;
  double endFactor;  // end candidates; dab while an interior one is pending
  Triple triple;
  int32_t generated;
};

struct ByLineOffset {
  bool operator()(const Candidate& a, const Candidate& b) const {
    if (a.lineOffset != b.lineOffset) return a.lineOffset < b.lineOffset;
    return a.generated < b.generated;
  }
};

// Highest neighbour position that exists in a list of N entries.
int32_t lastNeighborPosition(int32_t N, int32_t NN) { return std::min(NN, N - 1); }

// One block of candidates for all workers: worker w owns the slice of room
// entries at w * workerStride(room). A room of 0 is still one (zero-size)
// request.
Candidate* allocateCandidates(WorkArrays& ws, int64_t room) {
  return obtainArray<Candidate>(ws.policy, workerStride<Candidate>(room) * ws.workers);
}

Candidate* workerCandidates(Candidate* block, int64_t room, int32_t worker) {
  return block == nullptr ? nullptr : block + workerStride<Candidate>(room) * worker;
}

// Copies the first min(count, NTRIP) candidates in (lineOffset, generated)
// order to the point's triples. Few candidates are sorted whole (a sort of a
// dozen is an insertion sort); of many, the smallest are selected, then
// sorted. The plain form (candidates in the order they were made) sorts
// them all by lineOffset alone with a stable sort. Returns how many were
// kept.
int32_t keepBest(Candidate* candidates, int64_t count, int32_t NTRIP, bool plain, Triple* triples,
                 double* endFactors = nullptr) {
  const int64_t kept = std::min<int64_t>(count, std::max(NTRIP, 0));
  if (plain) {
    std::stable_sort(candidates, candidates + count, [](const Candidate& a, const Candidate& b) {
      return a.lineOffset < b.lineOffset;
    });
  } else if (count <= 2 * kept) {
    std::sort(candidates, candidates + count, ByLineOffset());
  } else {
    std::partial_sort(candidates, candidates + kept, candidates + count, ByLineOffset());
  }
  for (int64_t k = 0; k < kept; ++k) triples[k] = candidates[k].triple;
  if (endFactors != nullptr) {
    for (int64_t k = 0; k < kept; ++k) endFactors[k] = candidates[k].endFactor;
  }
  return static_cast<int32_t>(kept);
}

// The offsets from a point to its neighbours at positions 1..last, in plain
// double arithmetic, for the angle screen and the estimates.
struct NeighborOffsets {
  double x[kMaxNeighborPositions + 1];
  double y[kMaxNeighborPositions + 1];
  double ux[kMaxNeighborPositions + 1];        // x / distance
  double uy[kMaxNeighborPositions + 1];        // y / distance
  double distance[kMaxNeighborPositions + 1];  // from the list
  bool usable[kMaxNeighborPositions + 1];      // usableDistance(distance)
  // Every distance far from the ranges where products underflow or
  // overflow (1e-100 .. 1e100), and the least and largest of them.
  bool moderate;
  double nearest;
  double farthest;

  // The distance of the point from the line through the neighbours at
  // positions a and b, dab apart, from the offsets: an estimate.
  double lineDistance(int32_t a, int32_t b, double dab) const {
    return std::fabs(x[a] * y[b] - y[a] * x[b]) / dab;
  }

  void measure(const PointCoord* pointCoords, int32_t p, const NeighborEntry* list, int32_t last) {
    const PointCoord& origin = pointCoords[p];
    moderate = last <= kMaxNeighborPositions;
    nearest = kHuge;
    farthest = 0.0;
    for (int32_t a = 1; a <= last && a <= kMaxNeighborPositions; ++a) {
      const PointCoord& q = pointCoords[list[a].index];
      x[a] = q.x - origin.x;
      y[a] = q.y - origin.y;
      distance[a] = list[a].distance;
      const double inverse = 1.0 / distance[a];
      ux[a] = x[a] * inverse;
      uy[a] = y[a] * inverse;
      moderate = moderate && distance[a] > 1e-100 && distance[a] < 1e100;
      nearest = std::min(nearest, distance[a]);
      farthest = std::max(farthest, distance[a]);
      usable[a] = usableDistance(distance[a]);
    }
  }
};

// The candidate made of the neighbours at positions a and b of `list`:
// lineOffset is sine × dₐ, formed in extended precision and rounded once.
Candidate makeCandidate(const NeighborEntry* list, int32_t a, int32_t b, double sine,
                        double endFactor, int64_t generated) {
  Candidate candidate;
  candidate.triple = {list[a].index, list[b].index};
  candidate.endFactor = endFactor;
  candidate.lineOffset = static_cast<double>(Extended(sine) * list[a].distance);
  candidate.generated = static_cast<int32_t>(generated);
  return candidate;
}

// Interior candidates are gathered with an estimate of their lineOffset,
// the distance of the point from the line through the pair computed from
// the offsets (|cross product| / dab), holding the pair's list positions
// in first and second and dab in endFactor. Most of them cannot be among
// the NTRIP best: the exact lineOffset (law of cosines, acos, sine) differs
// from the estimate by at most estimateError, so a candidate whose
// estimate, less its error, exceeds the NTRIP-th smallest estimate plus the
// largest error among the NTRIP smallest has an exact lineOffset above
// NTRIP others and is dropped without the exact steps. The others are
// measured exactly, as the selection does without the estimate. With no
// more than twice NTRIP candidates (the default options' usual case) the
// cut would save fewer exact steps than it costs, and all are measured.

// A bound on |exact lineOffset - estimate|, with a margin of two: the
// cosine's error from rounded sides, through acos where it is steepest
// (the square root), times da; the cross product's rounding; and relative
// roundings.
double estimateError(double da, double db, double dab, double estimate) {
  const double cosineError = 4.5e-16 * (da * da + dab * dab + db * db) / (2.0 * da * dab) + 2.3e-16;
  const double bound =
      da * (3.0 * std::sqrt(cosineError) + 1e-14) + 2.5e-15 * (da / dab) * db + 1e-14 * estimate;
  return 2.0 * bound;
}

// The exact lineOffset of a pending interior candidate: the angle at the
// nearer neighbour from the law of cosines, its sine × dₐ, formed in
// extended precision and rounded once (as makeCandidate does).
double exactLineOffset(const NeighborEntry* list, const Candidate& pending) {
  const double da = list[pending.triple.first].distance;
  const double db = list[pending.triple.second].distance;
  const double phi = angleOfCosine(cosineOfAngle(da, pending.endFactor, db));
  return static_cast<double>(Extended(std::sin(phi)) * da);
}

// Makes the pending candidates[0..count) real: the exact lineOffset, the
// point indices of the pair and endFactor 0; drops those that cannot be
// kept and those whose exact lineOffset is not finite. Returns how many
// remain, in their order. The plain form measures every candidate.
int64_t measureLineOffsets(Candidate* candidates, int64_t count, int32_t NTRIP, bool plain,
                           const NeighborEntry* list) {
  auto dab = [](const Candidate& c) { return c.endFactor; };
  auto error = [&](const Candidate& c) {
    const double da = list[c.triple.first].distance;
    const double db = list[c.triple.second].distance;
    return estimateError(da, db, dab(c), c.lineOffset);
  };
  double cut = std::numeric_limits<double>::infinity();
  if (!plain && NTRIP > 0 && count > 2 * NTRIP) {
    // The NTRIP smallest estimates first (the order of the rest is kept by
    // `generated`).
    // (An estimate that is not a number counts as infinite.)
    auto estimate = [](const Candidate& c) {
      return std::isnan(c.lineOffset) ? std::numeric_limits<double>::infinity() : c.lineOffset;
    };
    std::nth_element(candidates, candidates + (NTRIP - 1), candidates + count,
                     [&](const Candidate& x, const Candidate& y) {
                       return estimate(x) < estimate(y) ||
                              (estimate(x) == estimate(y) && x.generated < y.generated);
                     });
    double largestError = 0.0;
    for (int32_t k = 0; k < NTRIP; ++k) largestError = std::max(largestError, error(candidates[k]));
    cut = estimate(candidates[NTRIP - 1]) + largestError;
    if (!(cut == cut)) cut = std::numeric_limits<double>::infinity();
  }
  int64_t kept = 0;
  for (int64_t k = 0; k < count; ++k) {
    Candidate c = candidates[k];
    if (cut < std::numeric_limits<double>::infinity() && c.lineOffset - error(c) > cut) continue;
    const int32_t a = c.triple.first;
    const int32_t b = c.triple.second;
    c.lineOffset = exactLineOffset(list, c);
    c.triple = {list[a].index, list[b].index};
    c.endFactor = 0.0;
    if (!std::isfinite(c.lineOffset)) continue;
    candidates[kept++] = c;
  }
  return kept;
}

// The fast form's ordering of the pending candidates[0..count) (all of
// whose distances are moderate, 1e-100 .. 1e100): by intervals.
// slack(e) = R0 + 3e-14·e is at least estimateError for every candidate of
// the point with estimate e (R0 from the point's extreme distances, where
// the selector calls this), so each exact lineOffset lies within
// e ± slack(e); estimateError's margin of two absorbs the roundings of
// those sums. Sorted by the low ends, a run of intervals ends where the
// highest high end so far lies below the next low end: every exact
// lineOffset of the run is then strictly below every later one. A run of
// one candidate is placed without its exact lineOffset; only the
// candidates of longer runs (overlapping intervals, rare) are measured
// exactly and sorted by (lineOffset, generated), the order the plain form
// makes. The plain form drops a candidate whose exact lineOffset is not
// finite; with finite nonzero sides the cosine is finite or ±infinite,
// never NaN, its angle lies in [0, PI] and sine × dₐ is finite, so none is
// dropped here either.
//
// Of many candidates, most are dropped first. Where at least keep
// candidates have an estimate no more than T, each of them has a high end
// no more than T + slack(T) (slack grows with e): a candidate with
// e − slack(e) above that has an exact lineOffset above keep others, and
// every candidate with e > (T + 2·R0)·(1 + 1e-13) is such a one (e −
// slack(e) grows with e; the factor's spare over 3e-14 dwarfs the
// roundings). T comes from the point before (its keep-th low end as a
// share of its farthest distance, times 1.5), or where fewer than keep
// estimates lie below it, from the keep-th smallest estimate itself.
// intervals: room for count entries.
int32_t keepBestByIntervals(Candidate* candidates, int64_t count, int32_t NTRIP,
                            const NeighborEntry* list, double R0, double farthest, double& hint,
                            Candidate* intervals, Triple* triples) {
  const int64_t keep = std::min<int64_t>(count, std::max(NTRIP, 0));
  if (keep == 0) return 0;
  // The candidates that remain with T, or -1 where fewer than keep
  // estimates lie at or below T.
  auto survivors = [&](double T) {
    const double limit = (T + 2.0 * R0) * (1.0 + 1e-13);
    int64_t n = 0;
    for (int64_t k = 0; k < count; ++k) {
      intervals[n].generated = static_cast<int32_t>(k);
      n += candidates[k].lineOffset <= limit;
    }
    int64_t below = 0;
    for (int64_t k = 0; k < n; ++k) below += candidates[intervals[k].generated].lineOffset <= T;
    return below >= keep ? n : -1;
  };
  int64_t n = count;
  if (count > 2 * keep) {
    n = survivors(hint * farthest);
    if (n < 0) {
      for (int64_t k = 0; k < count; ++k) intervals[k].lineOffset = candidates[k].lineOffset;
      std::nth_element(
          intervals, intervals + (keep - 1), intervals + count,
          [](const Candidate& x, const Candidate& y) { return x.lineOffset < y.lineOffset; });
      n = survivors(intervals[keep - 1].lineOffset);
    }
  } else {
    for (int64_t k = 0; k < count; ++k) intervals[k].generated = static_cast<int32_t>(k);
  }
  // Intervals: low end in lineOffset, high end in endFactor, the pending
  // candidate's place in generated.
  for (int64_t k = 0; k < n; ++k) {
    Candidate& interval = intervals[k];
    const double e = candidates[interval.generated].lineOffset;
    const double error = R0 + 3e-14 * e;
    interval.lineOffset = e - error;
    interval.endFactor = e + error;
  }
  // By low end; equal ones, which overlap and are measured exactly, in any
  // order. A dozen or so, the usual count, by rank.
  auto lowEnd = [](const Candidate& x) { return x.lineOffset; };
  if (!sortByRank(intervals, static_cast<size_t>(n), lowEnd)) {
    std::sort(intervals, intervals + n,
              [](const Candidate& x, const Candidate& y) { return x.lineOffset < y.lineOffset; });
  }
  if (count > 2 * keep) hint = 1.5 * std::max(intervals[keep - 1].lineOffset, 0.0) / farthest;
  int64_t kept = 0;
  for (int64_t i = 0; i < n && kept < keep;) {
    double high = intervals[i].endFactor;
    int64_t j = i + 1;
    while (j < n && !(high < intervals[j].lineOffset))
      high = std::max(high, intervals[j++].endFactor);
    for (int64_t k = i; k < j; ++k) {
      const int32_t place = intervals[k].generated;
      intervals[k] = candidates[place];
      if (j > i + 1) intervals[k].lineOffset = exactLineOffset(list, candidates[place]);
    }
    if (j > i + 1) std::sort(intervals + i, intervals + j, ByLineOffset());
    for (int64_t k = i; k < j && kept < keep; ++k) {
      triples[kept++] = {list[intervals[k].triple.first].index,
                         list[intervals[k].triple.second].index};
    }
    i = j;
  }
  return static_cast<int32_t>(kept);
}

// A cheap first look at the angle a pair of neighbours makes at the point:
// the cosine from the dot product of the offsets, and a bound on how far it
// can lie from the cosine the exact test computes from the rounded side
// lengths (that error grows with the ratio of the sides). Most pairs make an
// angle well below ThetaStar: their cosine, less the bound, still exceeds
// the cosine of an angle a little below ThetaStar, and the exact test could
// only reject them. Most of the others make an angle well above it: their
// cosine, plus the bound, stays below the cosine of an angle a little above
// ThetaStar, and the exact test (the law of cosines, acos and the degree
// value) could only accept them. The margin of 1e-9 radians dwarfs every
// rounding of those steps. Only the pairs in between take the exact test.
// With ThetaStar outside [1, 179] degrees, and in the plain form, the
// screen stays off.
class AngleScreen {
 public:
  AngleScreen(double ThetaStar, bool plain) {
    enabled = !plain && ThetaStar >= 1.0 && ThetaStar <= 179.0;
    if (enabled) {
      rejectAbove = std::cos(ThetaStar * (PI / 180.0) - 1e-9);
      acceptBelow = std::cos(ThetaStar * (PI / 180.0) + 1e-9);
    }
  }

  // The pairs (a, b), b = a + 1 .. last, that may make a triple: the
  // positions b the screen does not reject and whose distance is usable,
  // in order, appended to firsts and seconds (a and b). Returns how many,
  // and in acceptRow the value below
  // which the cosine of a pair, cosine(o, a, b), has the screen accept it
  // (-infinity when the screen is off). One pass without branches. That
  // cosine, from the unit offsets, lies within a dozen roundings (2e-15) of
  // the dot product divided by the distances; the pair's bound on that
  // quotient's error, 1e-13 (dₐ/d_b + d_b/dₐ + 4), is taken at its largest
  // over the row, plus 1e-14 for those roundings and the rounding of the
  // thresholds. The screen needs every distance of the point moderate.
  int32_t row(const NeighborOffsets& o, int32_t a, int32_t last, uint8_t* firsts, uint8_t* seconds,
              double& acceptRow) const {
    int32_t n = 0;
    if (!enabled || !o.moderate) {
      acceptRow = -kHuge;
      for (int32_t b = a + 1; b <= last; ++b) {
        firsts[n] = static_cast<uint8_t>(a);
        seconds[n] = static_cast<uint8_t>(b);
        n += o.usable[b];
      }
      return n;
    }
    const double da = o.distance[a];
    const double bound = 1e-13 * (da / o.nearest + o.farthest / da + 4.1);
    const double rejectRow = rejectAbove + bound;
    acceptRow = acceptBelow - bound;
    for (int32_t b = a + 1; b <= last; ++b) {
      firsts[n] = static_cast<uint8_t>(a);
      seconds[n] = static_cast<uint8_t>(b);
      n += cosine(o, a, b) <= rejectRow;
    }
    return n;
  }

  static double cosine(const NeighborOffsets& o, int32_t a, int32_t b) {
    return o.ux[a] * o.ux[b] + o.uy[a] * o.uy[b];
  }

 private:
  bool enabled = false;
  double rejectAbove = 0.0;
  double acceptBelow = 0.0;
};

// The triples of one point at a time, for one worker: its candidate
// rooms (interior and end) and the angle screen's scratch.
class TripleSelector {
 public:
  // plain: the reference method's selection, without the angle screen, the
  // estimate cut or the partial sort.
  TripleSelector(const PointCoord* pointCoords, int32_t NTRIP, int32_t last, double ThetaStar,
                 bool plain, Candidate* interiorRoom, Candidate* endRoom)
      : pointCoords(pointCoords), NTRIP(NTRIP), last(last), ThetaStar(ThetaStar), plain(plain),
        endThreshold((Extended(180.0) + ThetaStar) * Extended(0.5)), screen(ThetaStar, plain),
        interiorRoom(interiorRoom), endRoom(endRoom) {}

  // Point p's triples from its list (the nearest first, numbered as
  // pointCoords is): the interior ones, or failing those, the end ones with
  // their endFactor.
  void select(int32_t p, const NeighborEntry* list, TripleSet& set, Triple* triples,
              double* endFactors) {
    set.interiorCount = selectInteriorTriples(p, list, triples);
    set.endCount = set.interiorCount == 0 ? selectEndTriples(list, triples, endFactors) : 0;
  }

 private:
  int32_t selectInteriorTriples(int32_t p, const NeighborEntry* list, Triple* triples) {
    Candidate* candidates = interiorRoom;
    offsets.measure(pointCoords, p, list, last);
    int64_t count = 0;
    // For the fast ordering: whether every side is moderate, and the
    // extremes that bound estimateError over the candidates.
    double dabLeast = kHuge, dabMost = 0.0, productLeast = kHuge;
    // The pairs of every row first, then one loop over them all: a loop per
    // row would end at a count the processor cannot guess, once a row.
    int32_t pairs = 0;
    for (int32_t a = 1; a <= last; ++a) {
      if (!offsets.usable[a]) continue;
      pairs += screen.row(offsets, a, last, firsts + pairs, seconds + pairs, acceptRows[a]);
    }
    for (int32_t k = 0; k < pairs; ++k) {
      const int32_t a = firsts[k];
      const int32_t b = seconds[k];
      const double da = list[a].distance;
      const double db = list[b].distance;
      const double dab = pointDistance(pointCoords[list[a].index], pointCoords[list[b].index]);
      if (!usableDistance(dab)) continue;
      if (!(AngleScreen::cosine(offsets, a, b) < acceptRows[a])) {
        const double theta = angleOfCosine(cosineOfAngle(da, db, dab));
        if (!(degreeValue(theta) > Extended(ThetaStar))) continue;
      }
      dabLeast = std::min(dabLeast, dab);
      dabMost = std::max(dabMost, dab);
      productLeast = std::min(productLeast, da * dab);
      // The exact lineOffset waits until the pairs are known (below).
      Candidate& pending = candidates[count];
      pending.lineOffset = offsets.lineDistance(a, b, dab);
      pending.triple = {a, b};
      pending.endFactor = dab;
      pending.generated = static_cast<int32_t>(count++);
    }
    const bool moderate = offsets.moderate && dabLeast > 1e-100 && dabMost < 1e100;
    if (!plain && moderate) {
      // Each term of estimateError grows with dₐ, d_b and dab² and falls
      // with dₐ·dab and dab: R0 bounds its terms but the estimate's for
      // every candidate, its roundings covered by the 1 % added.
      const double D = offsets.farthest;
      const double cosineError =
          4.5e-16 * (2.0 * D * D + dabMost * dabMost) / (2.0 * productLeast) + 2.3e-16;
      const double R0 =
          2.02 * (D * (3.0 * std::sqrt(cosineError) + 1e-14) + 2.5e-15 * (D / dabLeast) * D);
      // The end room is free until the end triples are made.
      return keepBestByIntervals(candidates, count, NTRIP, list, R0, D, hint, endRoom, triples);
    }
    count = measureLineOffsets(candidates, count, NTRIP, plain, list);
    return keepBest(candidates, count, NTRIP, plain, triples);
  }

  int32_t selectEndTriples(const NeighborEntry* list, Triple* triples, double* endFactors) {
    Candidate* candidates = endRoom;
    int64_t count = 0;
    for (int32_t a = 1; a <= last; ++a) {
      for (int32_t b = 1; b <= last; ++b) {
        if (b == a) continue;
        const double da = list[a].distance;
        const double db = list[b].distance;
        const double dab = pointDistance(pointCoords[list[a].index], pointCoords[list[b].index]);
        if (!usableDistance(da) || !usableDistance(db) || !usableDistance(dab)) continue;
        // The angle at the middle point, between p and the far point.
        const double theta = angleOfCosine(cosineOfAngle(da, dab, db));
        if (!(degreeValue(theta) > endThreshold)) continue;
        const Extended ld = da;
        const double turn = static_cast<double>(Extended(PI) - theta);
        const double doubled = static_cast<double>(Extended(2.0) * theta - PI);
        const double underRoot =
            static_cast<double>((Extended(1.0) - std::cos(doubled)) * (Extended(2.0) * ld * ld));
        const Candidate candidate =
            makeCandidate(list, a, b, std::sin(turn),
                          static_cast<double>(Extended(std::sqrt(underRoot)) / dab), count);
        if (!std::isfinite(candidate.lineOffset) || !std::isfinite(candidate.endFactor)) {
          continue;
        }
        candidates[count++] = candidate;
      }
    }
    return keepBest(candidates, count, NTRIP, plain, triples, endFactors);
  }

  const PointCoord* const pointCoords;
  const int32_t NTRIP;
  const int32_t last;
  const double ThetaStar;
  const bool plain;
  const Extended endThreshold;
  const AngleScreen screen;
  Candidate* const interiorRoom;
  Candidate* const endRoom;
  NeighborOffsets offsets;
  // The fast ordering's first guess at the keep-th smallest estimate, as a
  // share of the farthest distance (from the point before).
  double hint = kHuge;
  // The pairs the angle screen keeps, by list position, and the screen's
  // acceptance value of each row.
  uint8_t firsts[kMaxNeighborPositions * (kMaxNeighborPositions - 1) / 2];
  uint8_t seconds[kMaxNeighborPositions * (kMaxNeighborPositions - 1) / 2];
  double acceptRows[kMaxNeighborPositions + 1];
};

// A point's neighbours (list[1..last]), their farthest distance and its
// triple counts, into its diagnostics entry i.
void recordSearch(size_t i, const NeighborEntry* list, int32_t last, const TripleSet& set,
                  Diagnostics& diagnostics) {
  diagnostics.neighbors[i] = last > 0 ? last : 0;
  diagnostics.radius[i] = last > 0 ? list[last].distance : std::numeric_limits<double>::quiet_NaN();
  diagnostics.interior_triples[i] = set.interiorCount;
  diagnostics.end_triples[i] = set.endCount;
}

}  // namespace

void selectTriplesFrom(int32_t N, int32_t NN, int32_t NTRIP, double ThetaStar, WorkArrays& ws,
                       const NeighborListSource& listOf) {
  const int64_t interiorRoom = static_cast<int64_t>(NN) * (NN - 1) / 2;
  const int64_t endRoom = static_cast<int64_t>(NN) * (NN - 1);
  // Released on every way out, an exception from a worker included.
  const std::unique_ptr<Candidate, FreeBlock> interiorBlock(allocateCandidates(ws, interiorRoom));
  const std::unique_ptr<Candidate, FreeBlock> endBlock(allocateCandidates(ws, endRoom));
  const int32_t last = lastNeighborPosition(N, NN);
  ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t worker) {
    TripleSelector selector(ws.pointCoords.get(), NTRIP, last, ThetaStar,
                            ws.method == Method::kReference,
                            workerCandidates(interiorBlock.get(), interiorRoom, worker),
                            workerCandidates(endBlock.get(), endRoom, worker));
    Diagnostics* diagnostics = ws.diagnostics;
    for (int32_t p = begin; p < end; ++p) {
      const NeighborEntry* list = listOf(p, worker);
      selector.select(p, list, ws.tripleSets[p], ws.triples(p), ws.endFactors(p));
      if (diagnostics != nullptr) {
        recordSearch(static_cast<size_t>(p), list, last, ws.tripleSets[p], *diagnostics);
      }
    }
  });
}

void selectTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t /*NITER*/, double ThetaStar,
                   WorkArrays& ws) {
  selectTriplesFrom(N, NN, NTRIP, ThetaStar, ws, [&ws](int32_t p, int32_t /*worker*/) {
    return static_cast<const NeighborEntry*>(ws.neighborLists[p].entries);
  });
}

}  // namespace tessel
