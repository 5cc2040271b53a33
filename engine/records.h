// The smoothing engine's records: a point's coordinates, an entry of a
// neighbour list, a triple and a point's set of triples. The arrays of them
// live in the run's WorkArrays (work_arrays.h); point indices are 0-based
// positions in the run's numbering of the points.
#ifndef TESSEL_ENGINE_RECORDS_H_
#define TESSEL_ENGINE_RECORDS_H_

#include <cstdint>

namespace tessel {

struct PointCoord {
  double x;
  double y;
};

struct NeighborEntry {
  int32_t index;    // point index
  double distance;  // Euclidean distance from the list's owner
};

struct NeighborList {
  int32_t owner;           // the point whose list this is
  NeighborEntry* entries;  // the nearest points first (owner at 0)
};

// A triple as the passes read it: its two partners. Selection orders the
// candidates by lineOffset, the point's distance from the line through the
// partners, which is not kept after it; an end triple's extrapolation
// factor (endFactor) is kept beside its end value (WorkArrays::endValues),
// so that the interior triples, nearly all of them, take 8 bytes.
struct Triple {
  int32_t first;   // interior: nearer neighbour; end: middle point
  int32_t second;  // interior: farther neighbour; end: far point
};

// A point's counts of triples; the triples themselves, room for NTRIP, are
// its row WorkArrays::triples(i), found by position so that the header of
// every point takes 8 bytes.
struct TripleSet {
  int32_t interiorCount;
  int32_t endCount;
};

}  // namespace tessel

#endif  // TESSEL_ENGINE_RECORDS_H_
