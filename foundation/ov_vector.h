// Containers of the library: OvAllocator (storage through OvAllocate, so a
// failed allocation raises OvMemoryException), OvVector (a standard vector
// whose index space starts at lowerBound, with guarded operator[] and
// RemoveAt) and OvPointerVector (an OvVector of pointers that owns and
// deletes the objects they point to).
#ifndef TESSEL_FOUNDATION_OV_VECTOR_H_
#define TESSEL_FOUNDATION_OV_VECTOR_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"

template <class T>
class OvAllocator {
 public:
  using value_type = T;
  OvAllocator() noexcept = default;
  template <class U>
  OvAllocator(const OvAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) {
      RaiseMemoryError("Bad memory allocation request - tried to allocate %d bytes.", -1);
    }
    return reinterpret_cast<T*>(OvAllocateSize(n * sizeof(T)));
  }
  void deallocate(T* p, size_t) noexcept { delete[] reinterpret_cast<char*>(p); }

  template <class U>
  bool operator==(const OvAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const OvAllocator<U>&) const noexcept {
    return false;
  }
};

template <class T>
class OvVector : public std::vector<T, OvAllocator<T>> {
  using Base = std::vector<T, OvAllocator<T>>;

 public:
  OvVector() : lowerBound(0) {}
  explicit OvVector(size_t count, int32_t lower = 0, const T& fill = T())
      : Base(count, fill), lowerBound(lower) {}
  OvVector(const OvVector& other) : Base(other), lowerBound(other.lowerBound) {}
  OvVector& operator=(const OvVector& other) {
    Base::operator=(other);
    lowerBound = other.lowerBound;
    return *this;
  }
  virtual ~OvVector() {}

  T& operator[](int32_t index) { return Base::operator[](checkIndex(index)); }
  const T& operator[](int32_t index) const { return Base::operator[](checkIndex(index)); }

  void RemoveAt(int32_t index) {
    size_t j = checkIndex(index);
    Base::erase(Base::begin() + static_cast<std::ptrdiff_t>(j));
  }

  int32_t lowerBound;

 private:
  size_t checkIndex(int32_t index) const {
    uint32_t j = static_cast<uint32_t>(index) - static_cast<uint32_t>(lowerBound);
    if (j >= Base::size()) {
      OvException::Raise("Index %d out of range; array is from %d to %d", "OvVector", index,
                         lowerBound,
                         static_cast<int32_t>(lowerBound + static_cast<int64_t>(Base::size()) - 1));
    }
    return j;
  }
};

template <class T, class V = OvVector<T*>>
class OvPointerVector : public V {
 public:
  OvPointerVector() = default;
  OvPointerVector(const OvPointerVector&) = delete;
  OvPointerVector& operator=(const OvPointerVector&) = delete;
  virtual ~OvPointerVector() { DeleteAll(); }

  // Deletes every non-null element, in order, then empties the vector.
  void DeleteAll() {
    for (size_t i = 0; i < V::size(); ++i) {
      T* element = V::data()[i];
      delete element;
    }
    V::clear();
  }
};

#endif  // TESSEL_FOUNDATION_OV_VECTOR_H_
