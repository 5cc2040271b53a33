// The worker count of the smoothing phases.
#include "engine/parallel.h"

#include <thread>

namespace {

std::atomic<int32_t> fixedCount{0};

}  // namespace

int32_t workerCount() {
  const int32_t fixed = fixedCount.load(std::memory_order_relaxed);
  if (fixed > 0) return fixed < kMaxWorkers ? fixed : kMaxWorkers;
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0) return 1;
  return hardware < static_cast<unsigned>(kMaxWorkers) ? static_cast<int32_t>(hardware)
                                                       : kMaxWorkers;
}

void setWorkerCount(int32_t count) {
  fixedCount.store(count > 0 ? count : 0, std::memory_order_relaxed);
}
