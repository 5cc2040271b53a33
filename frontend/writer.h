// The result writer: the table of one run, from the engine's values and
// the front end's ignored rows, to standard output and the run log.
#ifndef TESSEL_FRONTEND_WRITER_H_
#define TESSEL_FRONTEND_WRITER_H_

#include <cstdint>
#include <cstdio>

#include "frontend/ignored_rows.h"

// The header line of the result table, written with -r.
extern const char kResultHeader[];

// Writes the result table (optional header, one line per input data row)
// from the N values to standard output and the same table to the log when
// it is open. Returns 0 when standard output took the whole table, else the
// errno of its first failed write or flush.
int writeResults(int32_t N, const char* missingText, const IgnoredRowList& ignoredRows,
                 const char* headerMark, std::FILE* log, const double* values);

#endif  // TESSEL_FRONTEND_WRITER_H_
