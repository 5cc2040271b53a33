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
  // Where each phase's stretch starts and ends on the bar.
  double start = 0.0, end = 1.0;
  switch (phase) {
    case Phase::kLoading:
      start = 0.0, end = 0.05;
      break;
    case Phase::kTree:
      start = 0.05, end = 0.12;
      break;
    case Phase::kRenumbering:
      start = 0.12, end = 0.14;
      break;
    case Phase::kSearch:
      start = 0.05, end = 0.45;
      break;
    case Phase::kTriples:
      start = 0.45, end = 0.72;
      break;
    case Phase::kSearchAndTriples:
      start = 0.14, end = 0.72;
      break;
    case Phase::kIterations:
      start = 0.72, end = 0.98;
      break;
    case Phase::kFinishing:
      start = 0.98, end = 1.0;
      break;
  }
  const double part = share < 0.0 ? 0.0 : share > 1.0 ? 1.0 : share;
  return start + (end - start) * part;
}

const char* Cancelled::what() const noexcept { return "smoothing cancelled"; }

}  // namespace tessel
