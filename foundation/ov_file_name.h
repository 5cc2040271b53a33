// OvFileName: a path split into drive, directory, file name and extension in
// the library's path syntax (backslash separators, "D:" drives, "\\srv\share"
// UNC prefixes). Set() first turns the path into a full absolute path; POSIX
// paths are joined to the current directory, normalised lexically and
// written with backslashes.
#ifndef TESSEL_FOUNDATION_OV_FILE_NAME_H_
#define TESSEL_FOUNDATION_OV_FILE_NAME_H_

#include "foundation/ov_string.h"

class OvFileName {
 public:
  OvFileName(const char* path = nullptr);
  OvFileName(const OvFileName& other);
  OvFileName& operator=(const OvFileName& other);
  virtual ~OvFileName();

  void Copy(const OvFileName& other);
  void Set(const char* path);
  void SetDrive(const char* text);
  void SetDirectory(const char* text);
  void SetFileName(const char* text);
  void SetExtension(const char* text);
  void SetLocation(const char* text);
  void ConvertToAbsolutePath();

  const char* GetDrive() const { return drive.GetCString(); }
  const char* GetDirectory() const { return directory.GetCString(); }
  const char* GetFileName() const { return fileName.GetCString(); }
  const char* GetExtension() const { return extension.GetCString(); }
  const char* GetFullPath();
  const char* GetLocation();
  const char* GetNameAndExtension();

 private:
  OvString drive;
  OvString directory;
  OvString fileName;
  OvString extension;
  OvString composed;
};

// The platform's full absolute path of `path` in the library's syntax.
// Returns false (errno set) when the current directory cannot be read.
bool OvFullPath(const char* path, OvString& result);

#endif  // TESSEL_FOUNDATION_OV_FILE_NAME_H_
