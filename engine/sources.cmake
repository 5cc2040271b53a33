# The smoothing core's sources, relative to the top of the repository: the
# one list that the CMake build, the Python package's build and the R
# package's configure all read.
set(TESSEL_ENGINE_SOURCES
  engine/allocation.cpp
  engine/columns.cpp
  engine/exhaustive_search.cpp
  engine/iteration.cpp
  engine/kd_tree.cpp
  engine/neighbor_sweep.cpp
  engine/numerics.cpp
  engine/passes.cpp
  engine/point_index.cpp
  engine/progress.cpp
  engine/smoothing.cpp
  engine/soft_extended.cpp
  engine/triple_selection.cpp
  engine/work_arrays.cpp
  engine/workspace.cpp
)
