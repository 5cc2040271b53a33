// The command line: options -r -c -n -t -i -a -f -m -? ("/" may replace "-",
// letters are case-insensitive, a value is always the next argument, the
// last value wins) and the usage text. The command line's own messages
// are kept in RunState::commandLineMessages for the driver to write, since
// the run log comes first.
#ifndef TESSEL_FRONTEND_COMMAND_LINE_H_
#define TESSEL_FRONTEND_COMMAND_LINE_H_

#include <cstdio>

#include "frontend/run_state.h"

void parseCommandLine(int argc, char** argv, RunSettings& settings, RunState& state);

// The exit status of a run that stops at its command line (proceed false):
// success when the usage text was asked for, a usage error otherwise.
int usageStatus(const RunState& state);

// Writes the usage text, with the program's name in it, to one stream.
void writeUsage(std::FILE* stream, const char* programName);

#endif  // TESSEL_FRONTEND_COMMAND_LINE_H_
