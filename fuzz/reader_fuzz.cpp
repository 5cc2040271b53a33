// libFuzzer target for the input reader: each input is a reader case (see
// reader_case.h), read in-process from a file or from standard input and
// checked against the model of the two layouts. A difference, a crash, a
// sanitizer report or a leak is a finding. The case's files go to a private
// temporary directory, removed at exit.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/reader_case.h"

namespace {

std::string workDirectory;

void removeWorkDirectory() {
  for (const char* name : {"/in.csv", "/work.txt"}) unlink((workDirectory + name).c_str());
  rmdir(workDirectory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/tessel-reader-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    std::perror("tessel reader fuzz: temporary directory");
    std::exit(1);
  }
  workDirectory = dir;
  std::atexit(removeWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure = reader_case::runReaderCase(data, size, workDirectory);
  if (!failure.empty()) {
    std::fprintf(stderr, "reader case failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
