// OvException and its subclasses: the foundation library's only way of
// reporting failure. An exception owns its message, origin and trace texts.
// OvTraced() carries the library's trace convention: every public operation
// runs its body through it, so an OvException passing through collects one
// trace line ("<operation> of <class>") and is rethrown unchanged otherwise.
#ifndef TESSEL_FOUNDATION_OV_EXCEPTION_H_
#define TESSEL_FOUNDATION_OV_EXCEPTION_H_

#include <cstdarg>
#include <cstdint>
#include <new>

// Wraps an already started argument list so that the constructor taking it
// cannot be confused with the variadic one.
struct OvArgList {
  va_list* args;
};

class OvException {
 public:
  // level is an 8-bit severity; it is taken as int so that the argument
  // list after it is well defined.
  OvException(const char* format = nullptr, const char* origin = nullptr, int level = 0, ...);
  OvException(OvArgList args, const char* format, const char* origin, signed char level);
  OvException(const OvException& other);
  OvException& operator=(const OvException& other);
  virtual const char* GetMessage() const;
  virtual ~OvException();

  const char* GetOrigin() const { return origin; }
  const char* GetTrace() const { return trace; }
  int32_t GetLevel() const { return level; }

  void SetMessage(const char* format, ...);
  void SetMessage(OvArgList args, const char* format);
  void SetOrigin(const char* text);
  void SetTrace(const char* text);
  void SetLevel(signed char newLevel) { level = newLevel; }

  // Appends "operation of className" (CR LF between lines). Never throws.
  void AddTraceEntry(const char* operation, const char* className) noexcept;
  // Joins strerror(errno) to the message, in front when systemTextFirst.
  void AppendSystemError(bool systemTextFirst);

  [[noreturn]] static void Raise(const char* format, const char* origin, ...);
  [[noreturn]] static void RaiseWithSystemError(const char* format, bool systemTextFirst,
                                                const char* origin, ...);

 private:
  char* message;
  char* origin;
  char* trace;
  int32_t level;
};

class OvMemoryException : public OvException, public std::bad_alloc {
 public:
  explicit OvMemoryException(const char* messageText);
  ~OvMemoryException() override;
};

class OvStringTokenizerException : public OvException {
 public:
  OvStringTokenizerException(const char* format, const char* origin);
};

// Runs body(); an OvException leaving it gets the trace entry
// "operation of className" and is rethrown. Other exceptions pass untouched.
template <class Body>
auto OvTraced(const char* operation, const char* className, Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (OvException& e) {
    e.AddTraceEntry(operation, className);
    throw;
  }
}

#endif  // TESSEL_FOUNDATION_OV_EXCEPTION_H_
