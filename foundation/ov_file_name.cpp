// OvFileName: splits a full path into drive, directory, file name and
// extension, and keeps each component in its normal form. OvFullPath turns
// a path into a full absolute path in the library's syntax: drive-letter,
// UNC and rooted backslash paths are kept as they are; POSIX paths are
// joined to the current directory, normalised lexically and written with
// backslashes, without touching the file system.
#include "foundation/ov_file_name.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"

namespace {

const char kClass[] = "OvFileName";

bool isInvalidPathCharacter(char c) {
  return c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\' || c == '|';
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Adds the "/"-separated segments of path to result ("\seg1\seg2..."),
// dropping empty and "." segments and letting ".." remove the previous one
// (never climbing above the root).
void addSegments(const char* path, OvString& result) {
  while (*path != '\0') {
    const char* end = std::strchr(path, '/');
    size_t length = end ? static_cast<size_t>(end - path) : std::strlen(path);
    if (length == 2 && path[0] == '.' && path[1] == '.') {
      int32_t last = result.Find('\\', 0, true);
      if (last >= 0) result.Truncate(static_cast<uint32_t>(last));
    } else if (length > 0 && !(length == 1 && path[0] == '.')) {
      result.Append('\\');
      OvString segment(path);
      segment.Truncate(static_cast<uint32_t>(length));
      result.Append(segment);
    }
    path += length;
    if (*path == '/') ++path;
  }
}

// Splits w (a full path without file name) into drive and directory.
void splitLocation(OvFileName& name, OvString& w) {
  if (w.BeginsWith("\\\\")) {
    int32_t p = w.Find('\\', 2);
    if (p < 0) OvException::Raise("Invalid UNC name", kClass);
    int32_t q = w.Find('\\', static_cast<uint32_t>(p) + 3);
    if (q < 0) OvException::Raise("Invalid UNC name", kClass);
    name.SetDrive(w.GetSubstring(0, q));
    w.Remove(0, static_cast<uint32_t>(q));
  } else if (w.Find(':') == 1) {
    name.SetDrive(w.GetSubstring(0, 2));
    w.Remove(0, 2);
  } else {
    name.SetDrive("");
  }
  name.SetDirectory(w);
}

}  // namespace

bool OvFullPath(const char* path, OvString& result) {
  if (path == nullptr) {
    errno = EINVAL;
    return false;
  }
  // Drive-letter, UNC and rooted backslash paths are already in the
  // library's syntax (a rooted one is what the split of a POSIX path gives
  // back, so composing and converting again must not change it).
  if ((isLetter(path[0]) && path[1] == ':') || path[0] == '\\') {
    result = path;
    return true;
  }
  OvString combined;
  if (path[0] != '/') {
    size_t size = 256;
    for (;;) {
      char* directory = OvAllocateSize(size);
      if (getcwd(directory, size) != nullptr) {
        combined = directory;
        delete[] directory;
        break;
      }
      int error = errno;
      delete[] directory;
      if (error != ERANGE) {
        errno = error;
        return false;
      }
      size *= 2;
    }
    combined.Append('/');
  }
  combined.Append(path);
  OvString normal;
  addSegments(combined, normal);
  if (normal.IsEmpty()) normal = "\\";
  result = normal;
  return true;
}

OvFileName::OvFileName(const char* path) {
  OvTraced("Constructor", kClass, [&] {
    if (path != nullptr) Set(path);
  });
}

OvFileName::OvFileName(const OvFileName& other) {
  OvTraced("Copy Constructor", kClass, [&] { Copy(other); });
}

OvFileName& OvFileName::operator=(const OvFileName& other) {
  OvTraced("Assignment operator", kClass, [&] {
    if (this != &other) Copy(other);
  });
  return *this;
}

OvFileName::~OvFileName() {}

void OvFileName::Copy(const OvFileName& other) {
  OvTraced("Copy", "OvFilename", [&] {
    SetDrive(other.drive);
    SetDirectory(other.directory);
    SetFileName(other.fileName);
    SetExtension(other.extension);
  });
}

void OvFileName::Set(const char* path) {
  OvTraced("Set()", kClass, [&] {
    if (path == nullptr) OvException::Raise("Null pointer", kClass);
    OvString w;
    if (path[0] != '\0' && !OvFullPath(path, w)) {
      OvException::RaiseWithSystemError("Could not get full path name -- ", false, kClass);
    }
    w.Deblank();

    // Extension: the last dot, unless a separator follows it.
    int32_t dot = w.Find('.', 0, true);
    bool isExtension = dot >= 0;
    for (const char* c = w.GetCString() + (dot >= 0 ? dot : 0); isExtension && *c != '\0'; ++c) {
      if (isInvalidPathCharacter(*c)) isExtension = false;
    }
    if (isExtension) {
      SetExtension(w.GetCString() + dot);
      w.Truncate(static_cast<uint32_t>(dot));
    } else {
      SetExtension("");
    }

    // File name: after the last backslash, or else after the last colon.
    int32_t separator = w.Find('\\', 0, true);
    if (separator < 0) separator = w.Find(':', 0, true);
    if (separator >= 0) {
      SetFileName(w.GetCString() + separator + 1);
      w.Truncate(static_cast<uint32_t>(separator) + 1);
    } else {
      SetFileName(w);
      w.Truncate(0);
    }

    splitLocation(*this, w);
  });
}

void OvFileName::SetDrive(const char* text) {
  OvTraced("SetDrive()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Null parameter", kClass);
    drive = text;
    if (!drive.IsEmpty() && !drive.BeginsWith("\\\\") && !drive.EndsWith(':')) drive.Append(':');
  });
}

void OvFileName::SetDirectory(const char* text) {
  OvTraced("SetDirectory()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Null parameter", kClass);
    directory = text;
    if (!directory.IsEmpty() && !directory.EndsWith('\\')) directory.Append('\\');
  });
}

void OvFileName::SetFileName(const char* text) {
  OvTraced("SetFileName()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Null parameter", kClass);
    fileName = text;
  });
}

void OvFileName::SetExtension(const char* text) {
  OvTraced("SetExtension()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Null parameter", kClass);
    extension = text;
    if (!extension.IsEmpty() && !extension.BeginsWith(".")) extension.Insert(".", 0);
  });
}

void OvFileName::SetLocation(const char* text) {
  OvTraced("SetLocation()", kClass, [&] {
    if (text == nullptr) OvException::Raise("Null parameter", kClass);
    OvString w(text);
    w.Deblank();
    splitLocation(*this, w);
  });
}

void OvFileName::ConvertToAbsolutePath() {
  OvTraced("ConvertToAbsolutePath()", kClass, [&] {
    OvString current(GetFullPath());
    OvString full;
    if (!current.IsEmpty() && !OvFullPath(current, full)) {
      OvException::RaiseWithSystemError("Could not get full path name -- ", false, kClass);
    }
    Set(full);
  });
}

const char* OvFileName::GetFullPath() {
  composed << ClearText << drive << directory << fileName << extension;
  return composed.GetCString();
}

const char* OvFileName::GetLocation() {
  composed << ClearText << drive << directory;
  return composed.GetCString();
}

const char* OvFileName::GetNameAndExtension() {
  composed << ClearText << fileName << extension;
  return composed.GetCString();
}
