// Texts the program writes that several end-to-end suites expect.
#ifndef TESSEL_TESTS_E2E_EXPECTED_OUTPUT_H_
#define TESSEL_TESTS_E2E_EXPECTED_OUTPUT_H_

#include <string>

// The allocator's report of a zero-size request.
inline const char kZeroReport[] =
    "\n\nERROR:   Allocating 0 Bytes.\n         Memory Allocation Error\n"
    "         PRESS ANY KEY TO CONTINUE";

inline std::string repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

#endif  // TESSEL_TESTS_E2E_EXPECTED_OUTPUT_H_
