// RunSettings (filled from the command line before any input is read) and
// RunState (the outcome of one run). Both belong to the run driver; RunState
// holds the list of IgnoredRow records for the whole run.
#ifndef TESSEL_FRONTEND_RUN_STATE_H_
#define TESSEL_FRONTEND_RUN_STATE_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/ov_file_name.h"
#include "foundation/ov_string.h"
#include "frontend/ignored_rows.h"

class ConsoleProgress;

struct RunSettings {
  bool firstRowHasNames = false;      // -r
  bool firstColumnHasLabels = false;  // -c
  int16_t fieldsPerRow = 4;           // 5 with -c
  int32_t NN = 10;                    // -n
  int32_t NTRIP = 7;                  // -t
  int32_t NITER = 10;                 // -i
  double ThetaStar = 135.0;           // -a, degrees
  std::string inputFileName;          // -f
  bool readFromFile = false;          // -f
  std::string missingText;            // -m
  OvString headerMark;                // -r sets " "
};

struct RunState {
  RunState() = default;
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  bool proceed = true;
  bool helpRequested = false;       // -? was given
  std::string commandLineMessages;  // for standard error, after the log's creation
  bool logMissing = false;          // the run log could not be created
  int32_t rowNumber = 0;
  int32_t pointCount = 0;
  bool invalidData = false;
  bool openFailed = false;       // the -f file could not be opened
  bool workFileFailed = false;   // a work-file write or its close failed
  bool readFailed = false;       // reading the input failed before its end
  bool readOutOfMemory = false;  // ... because a line did not fit in memory
  OvString errorTitle;
  OvString errorDetail;
  IgnoredRowList ignoredRows;
  OvFileName programName;
  std::FILE* log = nullptr;
  ConsoleProgress* progress = nullptr;  // the run's progress line, while reading
};

#endif  // TESSEL_FRONTEND_RUN_STATE_H_
