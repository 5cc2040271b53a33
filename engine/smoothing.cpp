// The core's run: the k-d tree, renumbering for locality, the search with
// triple selection, iterations, and the values put back in the caller's
// order; or, for the reference method, each phase in its plain form.
#include "engine/smoothing.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "engine/kd_tree.h"
#include "engine/phases.h"

namespace tessel {

namespace {

// Once the k-d tree is built the points are numbered in its leaf order, so
// that points near each other in the plane lie near each other in every
// array and the phases after it read their neighbours' data from the cache
// (bench/README.md has the saving as measured). The lists keep their order
// (the tree breaks ties by the caller's numbers) and each point is treated
// on its own, so the results do not change; the values go back to the
// caller's order at the end.

// Moves values between the caller's order and the tree's through one
// scratch copy: gather uses the triple rows' memory, or obtains a copy
// for the call, and reuses it for each of its arrays (it is gone before
// the search, whose memory is the run's peak); scatter is handed one.
class Reorderer {
 public:
  Reorderer(WorkArrays& ws, const int32_t* order) : ws(ws), N(ws.N < 0 ? 0 : ws.N), order(order) {}

  // values[k] = old values[order[k]], for each of the arrays.
  void gather(std::initializer_list<double*> arrays) {
    std::unique_ptr<double[]> own;
    double* scratch = static_cast<double*>(ws.rowsBeforeSearch(sizeof(double) * size_t(N)));
    if (scratch == nullptr) {
      own.reset(new double[static_cast<size_t>(N)]);
      scratch = own.get();
    }
    for (double* values : arrays) {
      copyOut(values, scratch);
      ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
        for (int32_t k = begin; k < end; ++k) values[k] = scratch[order[k]];
      });
    }
  }

  // values[order[k]] = old values[k], through scratch: N doubles that no
  // one reads afterwards.
  void scatter(double* values, double* scratch) {
    copyOut(values, scratch);
    ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      for (int32_t k = begin; k < end; ++k) values[order[k]] = scratch[k];
    });
  }

 private:
  void copyOut(const double* values, double* scratch) {
    ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      std::memcpy(&scratch[begin], values + begin,
                  static_cast<size_t>(end - begin) * sizeof(double));
    });
  }

  WorkArrays& ws;
  const int32_t N;
  const int32_t* const order;
};

// Puts the diagnostics back in the caller's order: column[order[k]] = old
// column[k] for each column. Each entry is read from where it was
// (position, the inverse of order) and written in turn, so that the
// scattered accesses are reads, which are cheaper than scattered writes.
class DiagnosticsReorderer {
 public:
  DiagnosticsReorderer(WorkArrays& ws, const int32_t* order)
      : ws(ws), position(static_cast<size_t>(ws.N)) {
    ws.forEachPoint(ws.N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      for (int32_t k = begin; k < end; ++k) position[static_cast<size_t>(order[k])] = k;
    });
  }

  void reorder(Diagnostics& d) {
    for (std::vector<int32_t>* column :
         {&d.neighbors, &d.interior_triples, &d.end_triples, &d.last_change}) {
      reorder(*column, ints);
    }
    for (std::vector<double>* column : {&d.radius, &d.low_screen, &d.high_screen}) {
      reorder(*column, doubles);
    }
    reorder(d.held, bytes);
  }

 private:
  template <class T>
  void reorder(std::vector<T>& column, std::vector<T>& scratch) {
    scratch = column;
    ws.forEachPoint(ws.N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
      for (int32_t j = begin; j < end; ++j) {
        column[static_cast<size_t>(j)] = scratch[static_cast<size_t>(position[j])];
      }
    });
  }

  WorkArrays& ws;
  std::vector<int32_t> position;  // point order[k] was at position k
  std::vector<int32_t> ints;
  std::vector<double> doubles;
  std::vector<uint8_t> bytes;
};

}  // namespace

void smoothLoadedPoints(int32_t N, int32_t NN, int32_t NTRIP, int32_t NITER, double ThetaStar,
                        WorkArrays& ws) {
  ProgressReporter& progress = ws.progress;
  if (ws.method == Method::kReference) {
    progress.begin(Phase::kSearch);
    progress.setSpan(0.0, 0.5);
    computeDistances(N, NN, NTRIP, NITER, ws);
    progress.setSpan(0.5, 1.0);
    sortNeighbors(N, NN, NTRIP, NITER, ws);
    progress.end();
    progress.begin(Phase::kTriples);
    selectTriples(N, NN, NTRIP, NITER, ThetaStar, ws);
    progress.end();
    progress.begin(Phase::kIterations);
    runIterations(N, NN, NTRIP, NITER, ws);
    progress.end();
    return;
  }
  // The coordinates are finite: the front end reads only plain decimals
  // within the double range, and library callers are refused others.
  progress.begin(Phase::kTree);
  KdTree tree(ws.pointCoords.get(), N, ws.workers, &progress,
              ws.rowsBeforeSearch(KdTree::lentBytes(N)));
  progress.end();
  // Renumbered: point order[k] becomes point k.
  progress.begin(Phase::kRenumbering);
  Reorderer reorder(ws, tree.order());
  ws.forEachPoint(N, [&](int32_t begin, int32_t end, int32_t /*worker*/) {
    for (int32_t k = begin; k < end; ++k) ws.pointCoords[k] = tree.coordinates(k);
  });
  // The tree reads the renumbered coordinates from then on: the run keeps
  // one copy of them through the search, where its memory peaks.
  tree.shareCoordinates(ws.pointCoords.get());
  reorder.gather({ws.weights.get(), ws.currentValues.get(), ws.nextValues.get()});
  progress.end();
  progress.begin(Phase::kSearchAndTriples);
  findNeighborsAndSelectTriples(N, NN, NTRIP, NITER, ThetaStar, tree, ws);
  progress.end();
  progress.begin(Phase::kIterations);
  runIterations(N, NN, NTRIP, NITER, ws);
  progress.end();
  // Only the result and the diagnostics go back: no caller reads the other
  // arrays afterwards, so the next values serve as the scratch copy and the
  // finish takes no memory beyond the search's.
  progress.begin(Phase::kFinishing);
  reorder.scatter(ws.currentValues.get(), ws.nextValues.get());
  if (ws.diagnostics != nullptr) DiagnosticsReorderer(ws, tree.order()).reorder(*ws.diagnostics);
  progress.end();
}

}  // namespace tessel
