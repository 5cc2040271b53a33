// OvString: growable owned text with the library's growth rules, and the
// free function OvDeblank. Storage only grows; a failed growth leaves the
// string with its old text and capacity. Sizes are computed in 64 bits and
// anything a 32-bit block size cannot hold is refused by OvAllocateSize.
#include "foundation/ov_string.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"

namespace {

const char kClass[] = "OvString";

// Owns a block from OvAllocate for the duration of a scope.
struct OvBlock {
  explicit OvBlock(size_t size) : data(OvAllocateSize(size)) {}
  ~OvBlock() { delete[] data; }
  OvBlock(const OvBlock&) = delete;
  OvBlock& operator=(const OvBlock&) = delete;
  char* data;
};

// Formats one number into a block sized by measuring first, trims it and
// appends it.
template <class T>
OvString& appendNumber(OvString& target, const char* operation, const char* format, T value) {
  OvTraced(operation, kClass, [&] {
    int length = std::snprintf(nullptr, 0, format, value);
    if (length < 0) return;
    OvBlock scratch(static_cast<size_t>(length) + 1);
    std::snprintf(scratch.data, static_cast<size_t>(length) + 1, format, value);
    target.Append(static_cast<const char*>(OvDeblank(scratch.data, true, true)));
  });
  return target;
}

// The control characters and the space. Bytes from 0x80 up are text (the
// bytes of UTF-8 and of the 8-bit code pages), never blanks.
bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

OvString::OvString(const char* text) : buffer(nullptr), growthStep(0), capacity(0) {
  Init(32);
  try {
    copy(text);
  } catch (...) {
    delete[] buffer;
    throw;
  }
}

OvString::OvString(const OvString& other) : buffer(nullptr), growthStep(0), capacity(0) {
  Init(32);
  try {
    copy(other.buffer);
  } catch (...) {
    delete[] buffer;
    throw;
  }
}

OvString::~OvString() { delete[] buffer; }

OvString* OvString::Clone() const { return new OvString(*this); }

OvString& OvString::operator=(const OvString& other) {
  if (this != &other) copy(other.buffer);
  return *this;
}

OvString& OvString::operator=(const char* text) {
  if (text != buffer) copy(text);
  return *this;
}

uint32_t OvString::GetLength() const { return static_cast<uint32_t>(std::strlen(buffer)); }

char& OvString::operator[](uint32_t index) {
  if (index > GetLength()) OvException::Raise("Invalid index to OvString element", kClass);
  return buffer[index];
}

bool OvString::operator==(const OvString& other) const {
  return std::strcmp(buffer, other.buffer) == 0;
}

bool OvString::operator==(const char* text) const {
  return text != nullptr && std::strcmp(buffer, text) == 0;
}

bool OvString::BeginsWith(const char* text) const {
  return OvTraced("BeginsWith()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Invalid parameter in BeginsWith()", kClass);
    size_t length = std::strlen(text);
    return std::strlen(buffer) >= length && std::memcmp(buffer, text, length) == 0;
  });
}

bool OvString::EndsWith(const char* text) const {
  return OvTraced("EndsWith()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Invalid parameter in EndsWith()", kClass);
    size_t length = std::strlen(text);
    size_t own = std::strlen(buffer);
    return own >= length && std::memcmp(buffer + own - length, text, length) == 0;
  });
}

bool OvString::EndsWith(char character) const {
  const char text[2] = {character, '\0'};
  return EndsWith(text);
}

int32_t OvString::Find(const char* pattern, uint32_t start, bool reverse) const {
  return OvTraced("Find()", kClass, [&]() -> int32_t {
    if (pattern == nullptr) OvException::Raise("Invalid parameter (null) passed to Find()", kClass);
    uint32_t length = GetLength();
    if (start > length) OvException::Raise("Start position is longer than string", kClass);
    if (!reverse) {
      const char* match = std::strstr(buffer + start, pattern);
      return match ? static_cast<int32_t>(match - buffer) : -1;
    }
    // The last match at or after start: the empty pattern matches at the end.
    if (pattern[0] == '\0') return static_cast<int32_t>(length);
    int32_t last = -1;
    for (const char* match = std::strstr(buffer + start, pattern); match != nullptr;
         match = std::strstr(match + 1, pattern)) {
      last = static_cast<int32_t>(match - buffer);
    }
    return last;
  });
}

int32_t OvString::Find(const OvString& pattern, uint32_t start, bool reverse) const {
  return Find(pattern.buffer, start, reverse);
}

int32_t OvString::Find(char pattern, uint32_t start, bool reverse) const {
  const char text[2] = {pattern, '\0'};
  return Find(text, start, reverse);
}

OvString& OvString::Append(const char* text) {
  OvTraced("Append(char *)", kClass, [&] {
    if (text == nullptr) OvException::Raise("Invalid string (null) passed to Append", kClass);
    size_t length = std::strlen(buffer);
    size_t added = std::strlen(text);
    uint64_t freeSpace = capacity - length - 1;
    if (freeSpace < added) {
      // A text inside our own storage is found again at its offset after the
      // storage has moved.
      bool inside = text >= buffer && text < buffer + capacity;
      size_t offset = inside ? static_cast<size_t>(text - buffer) : 0;
      uint64_t growth = std::max<uint64_t>(std::min<uint64_t>(capacity, growthCap),
                                           added + std::min<uint64_t>(added / 2, growthCap));
      Reallocate(capacity + growth, true);
      if (inside) text = buffer + offset;
    }
    std::memmove(buffer + length, text, added);
    buffer[length + added] = '\0';
  });
  return *this;
}

OvString& OvString::Append(const OvString& text) { return Append(text.buffer); }

OvString& OvString::Append(char character) {
  const char text[2] = {character, '\0'};
  return Append(static_cast<const char*>(text));
}

OvString& OvString::Append(bool value) { return Append(value ? "true" : "false"); }

OvString& OvString::Append(short value) {
  return appendNumber(*this, "Append(short)", "%-d", static_cast<int>(value));
}
OvString& OvString::Append(int value) { return appendNumber(*this, "Append(int)", "%-d", value); }
OvString& OvString::Append(long value) {
  return appendNumber(*this, "Append(long)", "%-ld", value);
}
OvString& OvString::Append(unsigned short value) {
  return appendNumber(*this, "Append(unsigned short)", "%-hu", static_cast<unsigned int>(value));
}
OvString& OvString::Append(unsigned int value) {
  return appendNumber(*this, "Append(unsigned int)", "%-u", value);
}
OvString& OvString::Append(unsigned long value) {
  return appendNumber(*this, "Append(unsigned long)", "%-lu", value);
}
OvString& OvString::Append(double value) {
  return appendNumber(*this, "Append(double)", "%-lf", value);
}

// Appending a string to itself through += or << leaves it unchanged.
OvString& OvString::operator+=(const OvString& text) {
  return this == &text ? *this : Append(text);
}
OvString& OvString::operator+=(const char* text) { return Append(text); }
OvString& OvString::operator+=(char character) { return Append(character); }
OvString& OvString::operator+=(short value) { return Append(value); }

OvString& OvString::operator<<(const OvString& text) {
  return this == &text ? *this : Append(text);
}
OvString& OvString::operator<<(const char* text) { return Append(text); }
OvString& OvString::operator<<(bool value) { return Append(value); }
OvString& OvString::operator<<(char character) { return Append(character); }
OvString& OvString::operator<<(short value) { return Append(value); }
OvString& OvString::operator<<(int value) { return Append(value); }
OvString& OvString::operator<<(long value) { return Append(value); }
OvString& OvString::operator<<(unsigned short value) { return Append(value); }
OvString& OvString::operator<<(unsigned int value) { return Append(value); }
OvString& OvString::operator<<(unsigned long value) { return Append(value); }
OvString& OvString::operator<<(double value) { return Append(value); }

OvString& OvString::operator<<(ControlCode code) {
  if (code == ClearText) {
    buffer[0] = '\0';
  } else if (code == NewLine) {
    Append("\r\n");
  }
  return *this;
}

void OvString::Insert(const char* text, uint32_t position) {
  OvTraced("Insert()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Invalid string (null) passed to Insert", kClass);
    size_t length = std::strlen(buffer);
    if (position > length) OvException::Raise("Invalid Insert past end of string", kClass);
    size_t added = std::strlen(text);
    // A text inside our own storage would move with the tail: copy it first.
    std::unique_ptr<OvBlock> own;
    if (text >= buffer && text < buffer + capacity) {
      own.reset(new OvBlock(added + 1));
      std::memcpy(own->data, text, added + 1);
      text = own->data;
    }
    uint64_t freeSpace = capacity - length - 1;
    if (freeSpace < added) Reallocate(static_cast<uint64_t>(capacity) + added, true);
    std::memmove(buffer + position + added, buffer + position, length - position + 1);
    std::memcpy(buffer + position, text, added);
  });
}

void OvString::Remove(uint32_t position, uint32_t count) {
  OvTraced("Remove()", kClass, [&] {
    uint32_t length = GetLength();
    if (position > length || count > length - position) {
      OvException::Raise("Invalid parameter passed to Remove()", kClass);
    }
    if (count == 0) return;
    std::memmove(buffer + position, buffer + position + count, length - position - count + 1);
  });
}

void OvString::Truncate(uint32_t length) {
  OvTraced("Truncate()", kClass, [&] {
    if (length > GetLength()) OvException::Raise("Invalid parameter passed to Truncate()", kClass);
    buffer[length] = '\0';
  });
}

OvString OvString::GetSubstring(uint32_t lStart, int32_t lLength) const {
  return OvTraced("GetSubstring()", kClass, [&] {
    uint32_t length = GetLength();
    if (lStart > length) {
      OvException::Raise("lStart (value=%d) must not be greater than GetLength (value=%d)", kClass,
                         static_cast<int>(lStart), static_cast<int>(length));
    }
    if (lLength >= 0 && length - lStart < static_cast<uint32_t>(lLength)) {
      OvException::Raise(
          "Substring length (value=%d) must be less than or equal to GetLength (value=%d) minus "
          "lStart (value=%d).",
          kClass, static_cast<int>(lLength), static_cast<int>(length), static_cast<int>(lStart));
    }
    OvString result(buffer + lStart);
    if (lLength >= 0) result.buffer[lLength] = '\0';
    return result;
  });
}

void OvString::Deblank() { OvDeblank(buffer, true, true); }

void OvString::Init(uint32_t size) {
  OvTraced("Init()", kClass, [&] {
    buffer = OvAllocate(static_cast<int32_t>(size));
    growthStep = size;
    capacity = size;
  });
}

void OvString::copy(const char* text) {
  OvTraced("copy()", kClass, [&] {
    if (text == nullptr) {
      buffer[0] = '\0';
      return;
    }
    size_t length = std::strlen(text);
    if (length < capacity) {
      std::memmove(buffer, text, length + 1);
      return;
    }
    OvCopyString(&buffer, text, static_cast<uint16_t>(growthStep));
    capacity = static_cast<uint32_t>(length + growthStep);
  });
}

void OvString::Reallocate(uint64_t newSize, bool keep) {
  OvTraced("Reallocate()", kClass, [&] {
    uint64_t newCapacity = (newSize / growthStep + 1) * growthStep;
    size_t length = std::strlen(buffer);
    if (length + 1 >= newCapacity) return;  // storage never shrinks
    // The new block is filled before the old one is released, so a failed
    // growth keeps the old text and capacity.
    char* block = OvAllocateSize(newCapacity);
    if (keep) std::memcpy(block, buffer, length + 1);
    delete[] buffer;
    buffer = block;
    capacity = static_cast<uint32_t>(newCapacity);
  });
}

char* OvDeblank(char* text, bool leading, bool trailing) {
  if (text == nullptr)
    OvException::Raise("Invalid (null) pointer passed to OvDeblank", "OvDeblank");
  if (text[0] == '\0') return text;
  if (trailing) {
    size_t end = std::strlen(text);
    while (end > 0 && isBlank(text[end - 1])) --end;
    text[end] = '\0';
  }
  if (leading) {
    size_t start = 0;
    while (text[start] != '\0' && isBlank(text[start])) ++start;
    if (start > 0) std::memmove(text, text + start, std::strlen(text + start) + 1);
  }
  return text;
}
