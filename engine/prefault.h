// Taking the page faults of large blocks ahead of time. The first write to
// each page of a fresh block makes the system find and clear a page, which
// for the hundreds of megabytes of a large run costs as much as a phase.
// While the engine's loading and ordering keep one core busy, a Prefaulter
// has the pages of the blocks the later phases fill made ready on another,
// without changing a byte of them. Only a speed-up: when the system cannot
// do it, nothing else changes. The Prefaulter owns its thread, not the
// blocks, which must outlive it.
#ifndef TESSEL_ENGINE_PREFAULT_H_
#define TESSEL_ENGINE_PREFAULT_H_

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

class Prefaulter {
 public:
  Prefaulter() = default;
  ~Prefaulter() { finish(); }
  Prefaulter(const Prefaulter&) = delete;
  Prefaulter& operator=(const Prefaulter&) = delete;

  // Adds a block (null or empty blocks are skipped); call before start.
  void add(const void* block, size_t bytes);

  // Starts on the blocks in the order they were added.
  void start();

  // Stops where it has got to, waits for the thread and forgets the blocks.
  void finish();

 private:
  struct Range {
    char* begin;
    size_t bytes;
  };
  void run();

  std::vector<Range> ranges;
  std::atomic<bool> stop{false};
  std::thread worker;
};

#endif  // TESSEL_ENGINE_PREFAULT_H_
