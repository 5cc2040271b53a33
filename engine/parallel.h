// Splitting a phase's points across worker threads. A phase hands
// forEachPointRange a function of (begin, end, worker) that must treat every
// point on its own; ranges are taken in chunks, so the result never depends
// on how many workers there are or which worker takes which chunk
// (forEachChunk does the same for other kinds of items). Each
// worker owns the slice `worker` of any per-worker scratch the phase set up
// beforehand (slices sized for workerCount()). Owned by the smoothing phases.
#ifndef TESSEL_ENGINE_PARALLEL_H_
#define TESSEL_ENGINE_PARALLEL_H_

#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

// Number of workers the phases use: the hardware's thread count (at most
// kMaxWorkers) unless set otherwise.
int32_t workerCount();

// Internal: fixes the worker count (tests use it to show that results do not
// depend on it); 0 or less returns to the hardware default.
void setWorkerCount(int32_t count);

constexpr int32_t kMaxWorkers = 16;

// Points per chunk handed to a worker.
constexpr int32_t kPointChunk = 512;

// Runs body(begin, end, worker) over [0, n) in chunks of chunkSize. With one
// worker, or no more than one chunk, everything runs on the calling thread
// as worker 0.
template <class Body>
void forEachChunk(int32_t n, int32_t chunkSize, Body body) {
  const int32_t chunks = n <= 0 ? 0 : (n - 1) / chunkSize + 1;
  int32_t workers = workerCount();
  if (workers > chunks) workers = chunks;
  if (workers <= 1) {
    if (n > 0) body(0, n, 0);
    return;
  }
  std::atomic<int32_t> next{0};
  auto work = [&](int32_t worker) {
    for (;;) {
      const int32_t chunk = next.fetch_add(1, std::memory_order_relaxed);
      if (chunk >= chunks) return;
      const int32_t begin = chunk * chunkSize;
      const int32_t end = n - begin < chunkSize ? n : begin + chunkSize;
      body(begin, end, worker);
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(static_cast<size_t>(workers - 1));
  for (int32_t w = 1; w < workers; ++w) {
    // A thread the system refuses only leaves more chunks to the others.
    try {
      threads.emplace_back(work, w);
    } catch (const std::system_error&) {
      break;
    }
  }
  work(0);
  for (std::thread& t : threads) t.join();
}

// Runs body(begin, end, worker) over the points [0, n) in chunks of
// kPointChunk.
template <class Body>
void forEachPointRange(int32_t n, Body body) {
  forEachChunk(n, kPointChunk, body);
}

#endif  // TESSEL_ENGINE_PARALLEL_H_
