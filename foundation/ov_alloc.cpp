// The allocation module: OvAllocate with its emergency reserve, the memory
// error it raises, OvCopyString, and the failure-injection seam for tests.
// The reserve is a process-wide block that is given back to the heap at the
// first failure, so the code handling the failure has room to run.
#include "foundation/ov_alloc.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>

#include "foundation/ov_exception.h"

namespace {

const int32_t kReserveSize = 32000;
const char kBadRequest[] = "Bad memory allocation request - tried to allocate %d bytes.";
const char kOutOfMemory[] = "Out of memory - tried to allocate %d bytes.";

char* emergencyReserve = nullptr;
// Test seam; negative when off. Atomic: the engine's workers allocate too.
std::atomic<int64_t> successesBeforeFailure{-1};

}  // namespace

char* OvAllocate(int32_t size) {
  if (size < 0) RaiseMemoryError(kBadRequest, size);

  bool failed = false;
  char* block = nullptr;
  if (OvTakeInjectedFailure()) {
    failed = true;
  } else {
    try {
      block = new char[static_cast<size_t>(size)];
      if (size > 0) block[0] = '\0';
      if (emergencyReserve == nullptr) emergencyReserve = new char[kReserveSize];
    } catch (...) {
      delete[] block;
      block = nullptr;
      failed = true;
    }
  }
  if (failed) RaiseMemoryError(kOutOfMemory, size);
  return block;
}

char* OvAllocateSize(size_t size) {
  // Counts that a 32-bit size cannot hold are refused before any heap call;
  // the message reports them as -1, since %d cannot show the real count.
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    RaiseMemoryError(kBadRequest, -1);
  }
  return OvAllocate(static_cast<int32_t>(size));
}

void RaiseMemoryError(const char* format, int32_t size) {
  if (emergencyReserve != nullptr) {
    delete[] emergencyReserve;
    emergencyReserve = nullptr;
  }
  char text[128];
  std::snprintf(text, sizeof text, format, size);
  throw OvMemoryException(text);
}

void OvCopyString(char** destination, const char* source, uint16_t extra) {
  OvTraced("OvCopyString", "OvAlloc", [&] {
    if (destination == nullptr) OvException::Raise("Invalid destination pointer", "OvAlloc");
    if (*destination == source) return;
    // The new block is filled before the old one is released, so a failed
    // allocation leaves the destination untouched (and source may lie inside
    // the old block).
    char* copy;
    if (source != nullptr) {
      size_t length = std::strlen(source);
      copy = OvAllocateSize(length + extra + 1);
      std::memcpy(copy, source, length + 1);
    } else {
      copy = OvAllocateSize(static_cast<size_t>(extra) + 1);
      copy[0] = '\0';
    }
    delete[] * destination;
    *destination = copy;
  });
}

bool OvHasEmergencyReserve() { return emergencyReserve != nullptr; }

bool OvTakeInjectedFailure() {
  int64_t left = successesBeforeFailure.load(std::memory_order_relaxed);
  while (left >= 0) {
    // One more success counted, or the failure taken and the seam off.
    if (successesBeforeFailure.compare_exchange_weak(left, left > 0 ? left - 1 : -1,
                                                     std::memory_order_relaxed)) {
      return left == 0;
    }
  }
  return false;
}

void OvFailAllocationAfter(int64_t successes) {
  successesBeforeFailure.store(successes < 0 ? -1 : successes, std::memory_order_relaxed);
}
