// The work file "tessel_temp.txt" that carries the good rows, as text, from
// the input reader to the loader (loader.h): one line "x,y,rate,weight" per
// point, line k being point k. It is left in the current directory.
// WorkFile owns the descriptor through which the run writes the work file
// and reads it back, so that the loader reads the very file the reader
// wrote, whatever is put in its name's place meanwhile.
// Also the safe creation of the files a run writes in that directory.
#ifndef TESSEL_FRONTEND_WORK_FILE_H_
#define TESSEL_FRONTEND_WORK_FILE_H_

#include <cstdio>

extern const char kWorkFileName[];

class WorkFile {
 public:
  WorkFile() = default;
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  // Creates the work file anew, or empties the regular file of its name,
  // without following a symbolic link and without waiting at the open (a
  // FIFO planted there); returns a stream that writes it, which the caller
  // closes, or null when it cannot be created. Anything but a regular file
  // in its place (a FIFO, a socket, a device) is refused as it is.
  std::FILE* create();
  // The descriptor of the file create() made, open for reading and
  // writing; -1 before.
  int descriptor() const { return fd; }

 private:
  int fd = -1;
};

// True when the open file `descriptor`, or the file at `path`, is the
// existing work file itself (same device and inode): creating the work file
// would destroy that input.
bool isWorkFile(int descriptor);
bool isWorkFile(const char* path);

// Appends one point's line; false when the write failed.
bool writeWorkRow(std::FILE* workFile, const char* x, const char* y, const char* rate,
                  const char* weight);

#endif  // TESSEL_FRONTEND_WORK_FILE_H_
