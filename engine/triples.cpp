// Triple selection: for every point the interior triples (the point between
// two of its neighbours) or, failing those, the end triples (a neighbour
// between the point and a farther neighbour), kept by ascending lineOffset.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/allocator.h"
#include "engine/numerics.h"
#include "engine/phases.h"
#include "engine/sorting.h"
#include "engine/work_arrays.h"

namespace {

// A distance a cosine formula may divide by: neither 0 nor infinite nor NaN.
bool usableDistance(double d) { return d != 0.0 && std::isfinite(d); }

bool byLineOffset(const Triple& a, const Triple& b) {
  return a.lineOffset < b.lineOffset;
}

// Highest neighbour position that exists in a list of N entries.
int32_t lastNeighborPosition(int32_t N, int32_t NN) {
  return std::min(NN, N - 1);
}

// One block of Triples holding the candidates and, after them, an equal
// area used as merge scratch. A count of 0 is still one (zero-size) request.
Triple* allocateCandidates(int64_t count) {
  return allocateWorkArray<Triple>(2 * count);
}

// Sorts the candidates stably by lineOffset and copies the best of them,
// at most NTRIP, to the point's triples. Returns how many were kept.
int32_t keepBest(Triple* candidates, int64_t count, int64_t room,
                 int32_t NTRIP, Triple* triples) {
  mergeSort(candidates, static_cast<size_t>(count), candidates + room,
            byLineOffset);
  const int64_t kept = std::min<int64_t>(count, std::max(NTRIP, 0));
  for (int64_t k = 0; k < kept; ++k) triples[k] = candidates[k];
  return static_cast<int32_t>(kept);
}

}  // namespace

void selectInteriorTriples(int32_t N, int32_t NN, int32_t NTRIP,
                           int32_t /*NITER*/, double ThetaStar) {
  const int64_t room = static_cast<int64_t>(NN) * (NN - 1) / 2;
  Triple* candidates = allocateCandidates(room);
  const int32_t last = lastNeighborPosition(N, NN);
  for (int32_t p = 0; p < N; ++p) {
    const NeighborEntry* list = neighborLists[p].entries;
    int64_t count = 0;
    for (int32_t a = 1; a <= last; ++a) {
      for (int32_t b = a + 1; b <= last; ++b) {
        const double da = list[a].distance;
        const double db = list[b].distance;
        const double dab = pointDistance(*pointCoords[list[a].index],
                                         *pointCoords[list[b].index]);
        if (!usableDistance(da) || !usableDistance(db) ||
            !usableDistance(dab)) {
          continue;
        }
        const double theta = angleOfCosine(cosineOfAngle(da, db, dab));
        if (!(degreeValue(theta) > static_cast<long double>(ThetaStar))) {
          continue;
        }
        const double phi = angleOfCosine(cosineOfAngle(da, dab, db));
        Triple candidate;
        candidate.first = list[a].index;
        candidate.second = list[b].index;
        candidate.firstDistance = da;
        candidate.secondDistance = db;
        candidate.lineOffset =
            static_cast<double>(static_cast<long double>(std::sin(phi)) * da);
        candidate.endFactor = 0.0;
        if (!std::isfinite(candidate.lineOffset)) continue;
        candidates[count++] = candidate;
      }
    }
    tripleSets[p].interiorCount =
        keepBest(candidates, count, room, NTRIP, tripleSets[p].triples);
    tripleSets[p].endCount = 0;
  }
  std::free(candidates);
}

void selectEndTriples(int32_t N, int32_t NN, int32_t NTRIP, int32_t /*NITER*/,
                      double ThetaStar) {
  const int64_t room = static_cast<int64_t>(NN) * (NN - 1);
  Triple* candidates = allocateCandidates(room);
  const int32_t last = lastNeighborPosition(N, NN);
  const long double threshold =
      (180.0L + static_cast<long double>(ThetaStar)) * 0.5L;
  for (int32_t p = 0; p < N; ++p) {
    if (tripleSets[p].interiorCount != 0) continue;
    const NeighborEntry* list = neighborLists[p].entries;
    int64_t count = 0;
    for (int32_t a = 1; a <= last; ++a) {
      for (int32_t b = 1; b <= last; ++b) {
        if (b == a) continue;
        const double da = list[a].distance;
        const double db = list[b].distance;
        const double dab = pointDistance(*pointCoords[list[a].index],
                                         *pointCoords[list[b].index]);
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
        Triple candidate;
        candidate.first = list[a].index;
        candidate.second = list[b].index;
        candidate.firstDistance = da;
        candidate.secondDistance = db;
        candidate.lineOffset =
            static_cast<double>(static_cast<long double>(std::sin(turn)) * ld);
        candidate.endFactor = static_cast<double>(
            static_cast<long double>(std::sqrt(underRoot)) / dab);
        if (!std::isfinite(candidate.lineOffset) ||
            !std::isfinite(candidate.endFactor)) {
          continue;
        }
        candidates[count++] = candidate;
      }
    }
    tripleSets[p].endCount =
        keepBest(candidates, count, room, NTRIP, tripleSets[p].triples);
  }
  std::free(candidates);
}
