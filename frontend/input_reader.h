// Reads the input table once, from the -f file (comma-separated rows) or
// from standard input (one field per line), and sorts every data row into a
// work-file line, an IgnoredRow, or a deferred error report that stops the
// run. A read that fails before the end of the input stops the run too
// (RunState::readFailed, with readOutOfMemory when a line did not fit in
// memory); a -f file that cannot be opened stops it with
// RunState::openFailed. A UTF-8 byte-order mark that opens either source is skipped, as
// spreadsheets write one. Closes the work file and the input before it
// returns.
#ifndef TESSEL_FRONTEND_INPUT_READER_H_
#define TESSEL_FRONTEND_INPUT_READER_H_

#include <cstdio>

#include "foundation/ov_string.h"
#include "frontend/run_state.h"

void readInputTable(const RunSettings& settings, RunState& state, std::FILE* workFile);

// The file layout's rows from an open stream, as readInputTable reads the -f
// file; neither stream is closed. startOfInput: the stream begins the input,
// so a byte-order mark is skipped and, with -r, the first line is the header;
// otherwise (a later piece of the same file) neither is looked for.
void readFileRows(const RunSettings& settings, RunState& state, std::FILE* input,
                  std::FILE* workFile, bool startOfInput = true);

// True for an optional "-", decimal digits with at most one ".", at least one
// digit, and a value within the double range. A final line feed or carriage
// return is removed from the text first.
bool isNumericField(OvString& text);

#endif  // TESSEL_FRONTEND_INPUT_READER_H_
