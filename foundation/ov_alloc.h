// The library's allocation module ("OvAlloc"): OvAllocate hands out blocks
// released with delete[], keeps a 32000-byte emergency reserve that is freed
// when an allocation fails, and raises OvMemoryException on failure.
// OvCopyString replaces an owned C string by a copy of another.
#ifndef TESSEL_FOUNDATION_OV_ALLOC_H_
#define TESSEL_FOUNDATION_OV_ALLOC_H_

#include <cstddef>
#include <cstdint>

// Returns a new block of size bytes (first byte set to 0 when size > 0).
// Raises OvMemoryException for a negative size or an exhausted heap.
char* OvAllocate(int32_t size);
// Same for a size_t byte count; counts beyond INT32_MAX raise the
// "Bad memory allocation request" OvMemoryException instead of wrapping.
char* OvAllocateSize(size_t size);

[[noreturn]] void RaiseMemoryError(const char* format, int32_t size);

// Releases *destination and replaces it by a copy of source with extra spare
// bytes (an empty block of extra + 1 bytes for a null source).
void OvCopyString(char** destination, const char* source, uint16_t extra);

// True while the emergency reserve is held.
bool OvHasEmergencyReserve();

// Test seam: after `successes` further allocations, the next one fails as if
// the heap were exhausted (once). A negative value switches the seam off.
// It counts the allocations of OvAllocate and of every other allocator that
// asks OvTakeInjectedFailure (the engine's does).
void OvFailAllocationAfter(int64_t successes);
// Counts one allocation against the seam; true when it is the one to fail.
bool OvTakeInjectedFailure();

#endif  // TESSEL_FOUNDATION_OV_ALLOC_H_
