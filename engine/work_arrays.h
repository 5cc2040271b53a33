// The smoothing engine's records and its module-level work arrays. The
// arrays exist only while smoothRates runs: they are obtained through
// allocateWorkBlock in a fixed order and released by freeWorkArrays. Every
// phase reaches them directly; point indices are 0-based work-file lines.
#ifndef TESSEL_ENGINE_WORK_ARRAYS_H_
#define TESSEL_ENGINE_WORK_ARRAYS_H_

#include <cstdint>

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

struct Triple {
  int32_t first;          // interior: nearer neighbour; end: middle point
  int32_t second;         // interior: farther neighbour; end: far point
  double firstDistance;   // distance from the point to first
  double secondDistance;  // distance from the point to second
  double lineOffset;      // distance of the point from the line; sort key
  double endFactor;       // extrapolation factor (end triples only)
};

struct TripleSet {
  int32_t interiorCount;
  int32_t endCount;
  Triple* triples;  // room for NTRIP
};

extern PointCoord** pointCoords;    // N pointers, one record each
extern double* rates;               // N observed rates
extern double* weights;             // N weights
extern double* currentValues;       // N values at the start of an iteration
extern double* nextValues;          // N values produced by an iteration
extern double** endValues;          // N rows of NTRIP extrapolated values
extern NeighborEntry* neighborScratch;  // N entries
extern NeighborList* neighborLists;     // N lists of NN + 1 entries
extern TripleSet* tripleSets;           // N sets of NTRIP triples

#endif  // TESSEL_ENGINE_WORK_ARRAYS_H_
