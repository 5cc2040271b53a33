// The order of a neighbour list, shared by every neighbour search so that
// all of them produce the same lists bit for bit (their distances are
// pointDistance's). Owned by the neighbour searches.
#ifndef TESSEL_ENGINE_NEIGHBOR_ORDER_H_
#define TESSEL_ENGINE_NEIGHBOR_ORDER_H_

#include <cmath>
#include <cstdint>

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

}  // namespace tessel

#endif  // TESSEL_ENGINE_NEIGHBOR_ORDER_H_
