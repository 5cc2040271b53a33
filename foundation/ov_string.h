// OvString: the library's growable NUL-terminated 8-bit text. It owns its
// buffer (obtained through OvAllocate), grows by fixed rules in steps of 32
// bytes, and raises OvException with fixed messages on bad arguments.
// OvDeblank trims blanks (the bytes 0 to 32: control characters and the
// space; bytes from 0x80 up are text) in place.
#ifndef TESSEL_FOUNDATION_OV_STRING_H_
#define TESSEL_FOUNDATION_OV_STRING_H_

#include <cstdint>

enum ControlCode : uint8_t { ClearText = 0, NewLine = 1 };

class OvString {
 public:
  static const uint32_t growthCap = 1024;

  OvString(const char* text = nullptr);
  OvString(const OvString& other);
  virtual ~OvString();
  virtual OvString* Clone() const;

  OvString& operator=(const OvString& other);
  OvString& operator=(const char* text);

  const char* GetCString() const { return buffer; }
  operator const char*() const { return buffer; }
  uint32_t GetLength() const;
  uint32_t GetCapacity() const { return capacity; }
  uint32_t GetGrowthStep() const { return growthStep; }
  bool IsEmpty() const { return buffer[0] == '\0'; }

  // Writable element access for 0..GetLength() (the terminator included).
  char& operator[](uint32_t index);

  bool operator==(const OvString& other) const;
  bool operator==(const char* text) const;
  bool operator!=(const OvString& other) const { return !(*this == other); }
  bool operator!=(const char* text) const { return !(*this == text); }

  bool BeginsWith(const char* text) const;
  bool EndsWith(const char* text) const;
  bool EndsWith(char character) const;

  // Position of the first (or, with reverse, the last) match that begins at
  // or after start; -1 when there is none.
  int32_t Find(const char* pattern, uint32_t start = 0, bool reverse = false) const;
  int32_t Find(const OvString& pattern, uint32_t start = 0, bool reverse = false) const;
  int32_t Find(char pattern, uint32_t start = 0, bool reverse = false) const;

  OvString& Append(const char* text);
  OvString& Append(const OvString& text);
  OvString& Append(char character);
  OvString& Append(bool value);
  OvString& Append(short value);
  OvString& Append(int value);
  OvString& Append(long value);
  OvString& Append(unsigned short value);
  OvString& Append(unsigned int value);
  OvString& Append(unsigned long value);
  OvString& Append(double value);

  OvString& operator+=(const OvString& text);
  OvString& operator+=(const char* text);
  OvString& operator+=(char character);
  OvString& operator+=(short value);

  OvString& operator<<(const OvString& text);
  OvString& operator<<(const char* text);
  OvString& operator<<(bool value);
  OvString& operator<<(char character);
  OvString& operator<<(short value);
  OvString& operator<<(int value);
  OvString& operator<<(long value);
  OvString& operator<<(unsigned short value);
  OvString& operator<<(unsigned int value);
  OvString& operator<<(unsigned long value);
  OvString& operator<<(double value);
  OvString& operator<<(ControlCode code);

  void Insert(const char* text, uint32_t position);
  void Remove(uint32_t position, uint32_t count);
  void Truncate(uint32_t length);
  OvString GetSubstring(uint32_t lStart, int32_t lLength) const;
  void Deblank();

 private:
  void Init(uint32_t size);
  void copy(const char* text);
  void Reallocate(uint64_t newSize, bool keep);

  char* buffer;
  uint32_t growthStep;
  uint32_t capacity;
};

// Strips blanks from a writable C string in place and returns it.
char* OvDeblank(char* text, bool leading, bool trailing);

#endif  // TESSEL_FOUNDATION_OV_STRING_H_
