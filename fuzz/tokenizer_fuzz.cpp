// libFuzzer target for OvStringTokenizer: every input is one tokenizer case
// (see tokenizer_case.h). A refused misuse is expected; a wrong token, a
// wrong count, an unexpected exception, a sanitizer report or a leak is a
// finding, and the first two stop the run here.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/tokenizer_case.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure = tokenizer_case::runTokenizerCase(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "tokenizer case failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
