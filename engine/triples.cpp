// Triple selection: for every point the interior triples (the point between
// two of its neighbours) or, failing those, the end triples (a neighbour
// between the point and a farther neighbour), kept by ascending lineOffset.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "engine/allocation.h"
#include "engine/numerics.h"
#include "engine/parallel.h"
#include "engine/phases.h"
#include "engine/workspace.h"

namespace {

// Neighbour positions the angle screen keeps offsets for (NN is at most 100).
constexpr int32_t kMaxNeighborPositions = 100;

// A distance a cosine formula may divide by: neither 0 nor infinite nor NaN.
bool usableDistance(double d) { return d != 0.0 && std::isfinite(d); }

// A candidate triple and its selection key. `generated` numbers the
// candidates of a point in the order they are made, so that (lineOffset,
// generated) orders them totally, as a stable sort by lineOffset does.
struct Candidate {
  double lineOffset;
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
int32_t lastNeighborPosition(int32_t N, int32_t NN) {
  return std::min(NN, N - 1);
}

// One block of candidates for all workers: worker w owns the slice of room
// entries at w * room. A room of 0 is still one (zero-size) request.
Candidate* allocateCandidates(Workspace& ws, int64_t room) {
  return obtainArray<Candidate>(ws.policy, room * ws.workers);
}

Candidate* workerCandidates(Candidate* block, int64_t room, int32_t worker) {
  return block == nullptr ? nullptr : block + room * worker;
}

// Copies the first min(count, NTRIP) candidates in (lineOffset, generated)
// order to the point's triples: a selection of the smallest, then their
// sort, instead of sorting all of them. Returns how many were kept.
int32_t keepBest(Candidate* candidates, int64_t count, int32_t NTRIP, Triple* triples) {
  const int64_t kept = std::min<int64_t>(count, std::max(NTRIP, 0));
  std::partial_sort(candidates, candidates + kept, candidates + count, ByLineOffset());
  for (int64_t k = 0; k < kept; ++k) triples[k] = candidates[k].triple;
  return static_cast<int32_t>(kept);
}

// The offsets from a point to its neighbours at positions 1..last, in plain
// double arithmetic, for the angle screen.
struct NeighborOffsets {
  double x[kMaxNeighborPositions + 1];
  double y[kMaxNeighborPositions + 1];

  void measure(const PointCoord* pointCoords, int32_t p, const NeighborEntry* list,
               int32_t last) {
    const PointCoord& origin = pointCoords[p];
    for (int32_t a = 1; a <= last && a <= kMaxNeighborPositions; ++a) {
      const PointCoord& q = pointCoords[list[a].index];
      x[a] = q.x - origin.x;
      y[a] = q.y - origin.y;
    }
  }
};

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
// With ThetaStar outside [1, 179] degrees the screen stays off.
class AngleScreen {
 public:
  enum Verdict { kRejected, kAccepted, kUndecided };

  explicit AngleScreen(double ThetaStar) {
    enabled = ThetaStar >= 1.0 && ThetaStar <= 179.0;
    if (enabled) {
      rejectAbove = std::cos(ThetaStar * (PI / 180.0) - 1e-9);
      acceptBelow = std::cos(ThetaStar * (PI / 180.0) + 1e-9);
    }
  }

  Verdict judge(const NeighborOffsets& o, int32_t a, int32_t b, double da,
                double db) const {
    if (!enabled || a > kMaxNeighborPositions || b > kMaxNeighborPositions) {
      return kUndecided;
    }
    // Far from the ranges where products underflow or overflow.
    if (!(da > 1e-100 && da < 1e100 && db > 1e-100 && db < 1e100)) return kUndecided;
    const double cosine = (o.x[a] * o.x[b] + o.y[a] * o.y[b]) / (da * db);
    const double error = 1e-13 * (da / db + db / da + 4.0);
    if (cosine - error > rejectAbove) return kRejected;
    if (cosine + error < acceptBelow) return kAccepted;
    return kUndecided;
  }

 private:
  bool enabled = false;
  double rejectAbove = 0.0;
  double acceptBelow = 0.0;
};

// The candidate made of the neighbours at positions a and b of `list`:
// lineOffset is sine × dₐ, formed in long double and rounded once.
Candidate makeCandidate(const NeighborEntry* list, int32_t a, int32_t b, double sine,
                        double endFactor, int64_t generated) {
  Candidate candidate;
  candidate.triple = {list[a].index, list[b].index, endFactor};
  candidate.lineOffset =
      static_cast<double>(static_cast<long double>(sine) * list[a].distance);
  candidate.generated = static_cast<int32_t>(generated);
  return candidate;
}

}  // namespace

void selectInteriorTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t /*NITER*/,
                           double ThetaStar, Workspace& ws) {
  const int64_t room = static_cast<int64_t>(NN) * (NN - 1) / 2;
  Candidate* block = allocateCandidates(ws, room);
  // Released on every way out, an exception from a worker included.
  const std::unique_ptr<Candidate, FreeBlock> owned(block);
  const PointCoord* pointCoords = ws.pointCoords;
  TripleSet* tripleSets = ws.tripleSets;
  const int32_t last = lastNeighborPosition(N, NN);
  const AngleScreen screen(ThetaStar);
  const int32_t* order = ws.visitOrder.empty() ? nullptr : ws.visitOrder.data();
  forEachPointRange(N, ws.workers, [&](int32_t begin, int32_t end, int32_t worker) {
    Candidate* candidates = workerCandidates(block, room, worker);
    NeighborOffsets offsets;
    for (int32_t k = begin; k < end; ++k) {
      const int32_t p = order == nullptr ? k : order[k];
      const NeighborEntry* list = ws.neighborLists[p].entries;
      offsets.measure(pointCoords, p, list, last);
      int64_t count = 0;
      for (int32_t a = 1; a <= last; ++a) {
        for (int32_t b = a + 1; b <= last; ++b) {
          const double da = list[a].distance;
          const double db = list[b].distance;
          if (!usableDistance(da) || !usableDistance(db)) continue;
          const AngleScreen::Verdict verdict = screen.judge(offsets, a, b, da, db);
          if (verdict == AngleScreen::kRejected) continue;
          const double dab =
              pointDistance(pointCoords[list[a].index], pointCoords[list[b].index]);
          if (!usableDistance(dab)) continue;
          if (verdict != AngleScreen::kAccepted) {
            const double theta = angleOfCosine(cosineOfAngle(da, db, dab));
            if (!(degreeValue(theta) > static_cast<long double>(ThetaStar))) {
              continue;
            }
          }
          const double phi = angleOfCosine(cosineOfAngle(da, dab, db));
          const Candidate candidate = makeCandidate(list, a, b, std::sin(phi), 0.0, count);
          if (!std::isfinite(candidate.lineOffset)) continue;
          candidates[count++] = candidate;
        }
      }
      tripleSets[p].interiorCount =
          keepBest(candidates, count, NTRIP, tripleSets[p].triples);
      tripleSets[p].endCount = 0;
    }
  });
}

void selectEndTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t /*NITER*/, double ThetaStar,
                      Workspace& ws) {
  const int64_t room = static_cast<int64_t>(NN) * (NN - 1);
  Candidate* block = allocateCandidates(ws, room);
  const std::unique_ptr<Candidate, FreeBlock> owned(block);
  const PointCoord* pointCoords = ws.pointCoords;
  TripleSet* tripleSets = ws.tripleSets;
  const int32_t last = lastNeighborPosition(N, NN);
  const long double threshold =
      (180.0L + static_cast<long double>(ThetaStar)) * 0.5L;
  const int32_t* order = ws.visitOrder.empty() ? nullptr : ws.visitOrder.data();
  forEachPointRange(N, ws.workers, [&](int32_t begin, int32_t end, int32_t worker) {
    Candidate* candidates = workerCandidates(block, room, worker);
    for (int32_t k = begin; k < end; ++k) {
      const int32_t p = order == nullptr ? k : order[k];
      if (tripleSets[p].interiorCount != 0) continue;
      const NeighborEntry* list = ws.neighborLists[p].entries;
      int64_t count = 0;
      for (int32_t a = 1; a <= last; ++a) {
        for (int32_t b = 1; b <= last; ++b) {
          if (b == a) continue;
          const double da = list[a].distance;
          const double db = list[b].distance;
          const double dab =
              pointDistance(pointCoords[list[a].index], pointCoords[list[b].index]);
          if (!usableDistance(da) || !usableDistance(db) ||
              !usableDistance(dab)) {
            continue;
          }
          // The angle at the middle point, between p and the far point.
          const double theta = angleOfCosine(cosineOfAngle(da, dab, db));
          if (!(degreeValue(theta) > threshold)) continue;
          const long double ld = da;
          const double turn =
              static_cast<double>(static_cast<long double>(PI) - theta);
          const double doubled =
              static_cast<double>(2.0L * theta - static_cast<long double>(PI));
          const double underRoot = static_cast<double>(
              (1.0L - std::cos(doubled)) * (2.0L * ld * ld));
          const Candidate candidate = makeCandidate(
              list, a, b, std::sin(turn),
              static_cast<double>(static_cast<long double>(std::sqrt(underRoot)) / dab), count);
          if (!std::isfinite(candidate.lineOffset) ||
              !std::isfinite(candidate.triple.endFactor)) {
            continue;
          }
          candidates[count++] = candidate;
        }
      }
      tripleSets[p].endCount =
          keepBest(candidates, count, NTRIP, tripleSets[p].triples);
    }
  });
}
