// Storage of the engine's module-level work arrays.
#include "engine/work_arrays.h"

PointCoord** pointCoords = nullptr;
double* rates = nullptr;
double* weights = nullptr;
double* currentValues = nullptr;
double* nextValues = nullptr;
double** endValues = nullptr;
NeighborEntry* neighborScratch = nullptr;
NeighborList* neighborLists = nullptr;
TripleSet* tripleSets = nullptr;
