// The progress reporter's calls of the hook.
#include "engine/progress.h"

namespace tessel {

void ProgressReporter::begin(Phase next) {
  phase = next;
  setSpan(0.0, 1.0);
  if (hook) tell(0.0, Clock::now());
}

void ProgressReporter::end() {
  if (hook) tell(1.0, Clock::now());
}

void ProgressReporter::tell(double share, Clock::time_point now) {
  last = now;
  if (!hook(phase, share)) throw Cancelled();
}

const char* phaseName(Phase phase) {
  switch (phase) {
    case Phase::kLoading:
      return "loading";
    case Phase::kTree:
      return "k-d tree";
    case Phase::kRenumbering:
      return "renumbering";
    case Phase::kSearch:
      return "search";
    case Phase::kTriples:
      return "triples";
    case Phase::kSearchAndTriples:
      return "search and triples";
    case Phase::kIterations:
      return "iterations";
    case Phase::kFinishing:
      return "caller's order";
  }
  return "";
}

double runShare(Phase phase, double share) {
  // Where each phase's stretch starts and ends on the bar, in Phase's order:
  // loading, tree, renumbering, search, triples, search and triples,
  // iterations, finishing.
  static constexpr double kStretches[][2] = {{0.0, 0.05},  {0.05, 0.12}, {0.12, 0.14}, {0.05, 0.45},
                                             {0.45, 0.72}, {0.14, 0.72}, {0.72, 0.98}, {0.98, 1.0}};
  const double* stretch = kStretches[static_cast<int>(phase)];
  const double part = share < 0.0 ? 0.0 : share > 1.0 ? 1.0 : share;
  return stretch[0] + (stretch[1] - stretch[0]) * part;
}

const char* Cancelled::what() const noexcept { return "smoothing cancelled"; }

}  // namespace tessel
