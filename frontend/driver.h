// The run driver: one run of the program from the command line to its exit
// status. It owns the run log "TSLog.txt", the run's settings and state.
#ifndef TESSEL_FRONTEND_DRIVER_H_
#define TESSEL_FRONTEND_DRIVER_H_

// Exit statuses.
const int kExitSuccess = 0;     // result table written, or usage asked for
const int kExitFailure = 1;     // the run ended without a result table, or its
                                // table or log could not be written whole
const int kExitUsageError = 2;  // a value option lacked its value

// Runs the program; returns its exit status. Library exceptions are caught
// and reported on standard error (status 1).
int runProgram(int argc, char** argv);

#endif  // TESSEL_FRONTEND_DRIVER_H_
