// OvException and its subclasses. Every text is owned and duplicated on
// copy; formatting measures the result first, so messages have no length
// limit. Storage for the texts comes from the plain heap, not OvAllocate,
// so that reporting a memory failure never needs the failing allocator.
#include "foundation/ov_exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

char* duplicateText(const char* text) {
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  char* copy = new char[length + 1];
  std::memcpy(copy, text, length + 1);
  return copy;
}

// Formats with printf conventions; a null format or a formatting error gives
// the empty text. The argument list is measured through a copy of it.
char* formatText(const char* format, va_list* args) {
  if (format == nullptr) return duplicateText("");
  va_list measure;
  va_copy(measure, *args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) return duplicateText("");
  char* text = new char[static_cast<size_t>(length) + 1];
  std::vsnprintf(text, static_cast<size_t>(length) + 1, format, *args);
  return text;
}

void replaceText(char*& field, char* replacement) {
  delete[] field;
  field = replacement;
}

}  // namespace

OvException::OvException(const char* format, const char* origin, int level, ...)
    : message(nullptr), origin(nullptr), trace(nullptr), level(static_cast<signed char>(level)) {
  va_list args;
  va_start(args, level);
  try {
    message = formatText(format, &args);
    this->origin = duplicateText(origin);
    trace = duplicateText("");
  } catch (...) {
    va_end(args);
    delete[] message;
    delete[] this->origin;
    throw;
  }
  va_end(args);
}

OvException::OvException(OvArgList args, const char* format, const char* origin, signed char level)
    : message(nullptr), origin(nullptr), trace(nullptr), level(level) {
  try {
    message = formatText(format, args.args);
    this->origin = duplicateText(origin);
    trace = duplicateText("");
  } catch (...) {
    delete[] message;
    delete[] this->origin;
    throw;
  }
}

OvException::OvException(const OvException& other)
    : message(nullptr), origin(nullptr), trace(nullptr), level(other.level) {
  try {
    message = duplicateText(other.message);
    origin = duplicateText(other.origin);
    trace = duplicateText(other.trace);
  } catch (...) {
    delete[] message;
    delete[] origin;
    throw;
  }
}

OvException& OvException::operator=(const OvException& other) {
  if (this == &other) return *this;
  OvException copy(other);
  std::swap(message, copy.message);
  std::swap(origin, copy.origin);
  std::swap(trace, copy.trace);
  level = other.level;
  return *this;
}

const char* OvException::GetMessage() const { return message; }

OvException::~OvException() {
  delete[] message;
  delete[] origin;
  delete[] trace;
}

void OvException::SetMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = nullptr;
  try {
    text = formatText(format, &args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  replaceText(message, text);
}

void OvException::SetMessage(OvArgList args, const char* format) {
  replaceText(message, formatText(format, args.args));
}

void OvException::SetOrigin(const char* text) { replaceText(origin, duplicateText(text)); }

void OvException::SetTrace(const char* text) { replaceText(trace, duplicateText(text)); }

void OvException::AddTraceEntry(const char* operation, const char* className) noexcept {
  static const char kSeparator[] = "\r\n";
  static const char kJoin[] = " of ";
  size_t oldLength = std::strlen(trace);
  size_t operationLength = operation ? std::strlen(operation) : 0;
  size_t classLength = className ? std::strlen(className) + (sizeof kJoin - 1) : 0;
  size_t separatorLength = oldLength > 0 ? sizeof kSeparator - 1 : 0;
  char* text =
      new (std::nothrow) char[oldLength + separatorLength + operationLength + classLength + 1];
  if (text == nullptr) return;  // the exception in flight keeps its former trace
  char* end = text;
  std::memcpy(end, trace, oldLength);
  end += oldLength;
  if (separatorLength > 0) {
    std::memcpy(end, kSeparator, separatorLength);
    end += separatorLength;
  }
  if (operation != nullptr) {
    std::memcpy(end, operation, operationLength);
    end += operationLength;
  }
  if (className != nullptr) {
    std::memcpy(end, kJoin, sizeof kJoin - 1);
    end += sizeof kJoin - 1;
    std::strcpy(end, className);
    end += classLength - (sizeof kJoin - 1);
  }
  *end = '\0';
  replaceText(trace, text);
}

void OvException::AppendSystemError(bool systemTextFirst) {
  // The platform's text for the last error, limited like a system message
  // table lookup.
  const size_t kLimit = 4096;
  const char* system = std::strerror(errno);
  size_t systemLength = system ? strnlen(system, kLimit) : 0;
  size_t messageLength = std::strlen(message);
  char* text = new char[systemLength + messageLength + 1];
  if (systemTextFirst) {
    std::memcpy(text, system, systemLength);
    std::memcpy(text + systemLength, message, messageLength);
  } else {
    std::memcpy(text, message, messageLength);
    std::memcpy(text + messageLength, system, systemLength);
  }
  text[systemLength + messageLength] = '\0';
  replaceText(message, text);
}

void OvException::Raise(const char* format, const char* origin, ...) {
  OvException error;
  va_list args;
  va_start(args, origin);
  try {
    error.SetMessage(OvArgList{&args}, format);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  error.SetOrigin(origin);
  throw error;
}

void OvException::RaiseWithSystemError(const char* format, bool systemTextFirst, const char* origin,
                                       ...) {
  int lastError = errno;  // building the object may disturb errno
  OvException error;
  va_list args;
  va_start(args, origin);
  try {
    error.SetMessage(OvArgList{&args}, format);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  error.SetOrigin(origin);
  errno = lastError;
  error.AppendSystemError(systemTextFirst);
  throw error;
}

OvMemoryException::OvMemoryException(const char* messageText) : OvException(nullptr, nullptr, 0) {
  SetMessage("%s", messageText ? messageText : "");
}

OvMemoryException::~OvMemoryException() {}

OvStringTokenizerException::OvStringTokenizerException(const char* format, const char* origin)
    : OvException(format, origin, 0) {}
