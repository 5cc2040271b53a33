// The work file "tessel_temp.txt" that carries the good rows, as text, from
// the input reader to the loader (loader.h): one line "x,y,rate,weight" per
// point, line k being point k. It is left in the current directory.
// Also the safe creation of the files a run writes in that directory.
#ifndef TESSEL_FRONTEND_WORK_FILE_H_
#define TESSEL_FRONTEND_WORK_FILE_H_

#include <cstdio>

extern const char kWorkFileName[];

// Creates (or empties) a file for writing without following a symbolic link
// planted in its place; null when that is not possible.
std::FILE* createOutputFile(const char* name);

// Creates the work file anew for writing; null when it cannot be created.
std::FILE* createWorkFile();

// True when the open file `descriptor`, or the file at `path`, is the
// existing work file itself (same device and inode): creating the work file
// would destroy that input.
bool isWorkFile(int descriptor);
bool isWorkFile(const char* path);

// Appends one point's line; false when the write failed.
bool writeWorkRow(std::FILE* workFile, const char* x, const char* y, const char* rate,
                  const char* weight);

#endif  // TESSEL_FRONTEND_WORK_FILE_H_
