// Splitting a phase's points across worker threads. A phase hands
// forEachPointRange a function of (begin, end, worker) that must treat every
// point on its own; ranges are taken in chunks, so the result never depends
// on how many workers there are or which worker takes which chunk
// (forEachChunk does the same for other kinds of items). The worker count is
// settled once per run (the WorkArrays hold it) and handed down; each worker
// owns the slice `worker` of any per-worker scratch the phase set up
// beforehand. An exception in any worker stops the others from taking new
// chunks and is thrown again on the calling thread once all have finished.
// A phase may also hand a tick(done), called on the calling thread after
// each chunk it finishes with the share of all chunks finished so far, and
// with 1 once all are: the run's progress reports and cancellation. Owned
// by the smoothing phases.
#ifndef TESSEL_ENGINE_PARALLEL_H_
#define TESSEL_ENGINE_PARALLEL_H_

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tessel {

constexpr int32_t kMaxWorkers = 16;

// Points per chunk handed to a worker.
constexpr int32_t kPointChunk = 512;

// Entries of T per worker's slice of a scratch block the workers share:
// `count` rounded up to whole cache lines and one line more, so that no two
// workers ever write to one line, wherever the block starts (a line
// written by two cores stalls both on every write). 0 when count is.
template <class T>
int64_t workerStride(int64_t count) {
  constexpr int64_t kLineBytes = 64;
  static_assert(kLineBytes % sizeof(T) == 0, "entries must tile a cache line");
  constexpr int64_t perLine = kLineBytes / static_cast<int64_t>(sizeof(T));
  return count <= 0 ? 0 : (count + perLine - 1) / perLine * perLine + perLine;
}

// The worker count for `requested`: itself within [1, kMaxWorkers], or the
// hardware's thread count (at most kMaxWorkers) when it is 0 or less.
inline int32_t settleWorkerCount(int32_t requested) {
  if (requested > 0) return requested < kMaxWorkers ? requested : kMaxWorkers;
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0) return 1;
  return hardware < static_cast<unsigned>(kMaxWorkers) ? static_cast<int32_t>(hardware)
                                                       : kMaxWorkers;
}

// A tick that does nothing.
struct NoTick {
  void operator()(double /*done*/) const {}
};

// Runs body(begin, end, worker) over [0, n) in chunks of chunkSize on at
// most `workers` threads. With one worker, or no more than one chunk,
// everything runs on the calling thread as worker 0.
template <class Body, class Tick = NoTick>
void forEachChunk(int32_t n, int32_t chunkSize, int32_t workers, Body body, Tick tick = {}) {
  const int32_t chunks = n <= 0 ? 0 : (n - 1) / chunkSize + 1;
  auto range = [&](int32_t chunk, int32_t worker) {
    const int32_t begin = chunk * chunkSize;
    const int32_t end = n - begin < chunkSize ? n : begin + chunkSize;
    body(begin, end, worker);
  };
  if (workers > chunks) workers = chunks;
  if (workers <= 1) {
    for (int32_t chunk = 0; chunk < chunks; ++chunk) {
      range(chunk, 0);
      tick(static_cast<double>(chunk + 1) / chunks);
    }
    return;
  }
  std::atomic<int32_t> next{0};
  std::atomic<int32_t> finished{0};
  std::mutex failureLock;
  std::exception_ptr failure;
  auto work = [&](int32_t worker) {
    try {
      for (;;) {
        const int32_t chunk = next.fetch_add(1, std::memory_order_relaxed);
        if (chunk >= chunks) return;
        range(chunk, worker);
        const int32_t done = finished.fetch_add(1, std::memory_order_relaxed) + 1;
        if (worker == 0) tick(static_cast<double>(done) / chunks);
      }
    } catch (...) {
      next.store(chunks, std::memory_order_relaxed);
      std::lock_guard<std::mutex> hold(failureLock);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  try {
    threads.reserve(static_cast<size_t>(workers - 1));
    for (int32_t w = 1; w < workers; ++w) threads.emplace_back(work, w);
  } catch (const std::exception&) {
    // A thread (or its room) the system refuses only leaves more chunks to
    // the others.
  }
  work(0);
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
  // The other workers may have finished the last chunks.
  tick(1.0);
}

// Runs body(begin, end, worker) over the points [0, n) in chunks of
// kPointChunk.
template <class Body>
void forEachPointRange(int32_t n, int32_t workers, Body body) {
  forEachChunk(n, kPointChunk, workers, body);
}

}  // namespace tessel

#endif  // TESSEL_ENGINE_PARALLEL_H_
