// The order of a neighbour list and the distance it is keyed on, shared by
// every neighbour search so that all of them produce the same lists bit for
// bit. Owned by the neighbour searches.
#ifndef TESSEL_ENGINE_NEIGHBOR_ORDER_H_
#define TESSEL_ENGINE_NEIGHBOR_ORDER_H_

#include <cmath>
#include <cstdint>

#include "engine/numerics.h"
#include "engine/records.h"

namespace tessel {

// Order of one list: ascending distance; at equal distance the owner first,
// then ascending point index. A distance that is not a number (from
// coordinates that are not finite) sorts after every number, so the order
// stays total and the result never depends on the sort.
struct NeighborOrder {
  int32_t owner;
  bool operator()(const NeighborEntry& a, const NeighborEntry& b) const {
    const bool aNan = std::isnan(a.distance);
    const bool bNan = std::isnan(b.distance);
    if (aNan != bNan) return bNan;
    if (!aNan) {
      if (a.distance < b.distance) return true;
      if (a.distance > b.distance) return false;
    }
    if (a.index == b.index) return false;
    if (a.index == owner) return true;
    if (b.index == owner) return false;
    return a.index < b.index;
  }
};

// The distance of two different points i and j exactly as the exhaustive
// search measures it, once per pair. It is the same measured either way,
// bit for bit: each difference is rounded to nearest, which rounds b - a to
// the negation of a - b (in hardware and in SoftExtended alike), and only
// its square is used. So no branch on which index is the lower.
inline double pairDistance(int32_t /*i*/, const PointCoord& pi, int32_t /*j*/,
                           const PointCoord& pj) {
  return pointDistance(pi, pj);
}

}  // namespace tessel

#endif  // TESSEL_ENGINE_NEIGHBOR_ORDER_H_
