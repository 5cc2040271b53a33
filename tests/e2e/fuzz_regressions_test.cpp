// Replays the fuzz cases without a fuzzer: every regression case (an input
// that once found a fault) and every seed of fuzz/, through the same case
// decoders and checks as the libFuzzer targets. Tokenizer and reader cases
// run in-process; program cases run the built binary in a fresh directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "fuzz/program_case.h"
#include "fuzz/reader_case.h"
#include "fuzz/tokenizer_case.h"

namespace {

namespace fs = std::filesystem;

// The case files of one target, regressions first, in name order.
std::vector<fs::path> caseFiles(const std::string& target) {
  std::vector<fs::path> files;
  for (const char* kind : {"regressions", "corpus"}) {
    fs::path dir = fs::path(TESSEL_SOURCE_DIR) / "fuzz" / kind / target;
    if (!fs::is_directory(dir)) continue;
    std::vector<fs::path> some;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file()) some.push_back(entry.path());
    }
    std::sort(some.begin(), some.end());
    files.insert(files.end(), some.begin(), some.end());
  }
  return files;
}

const uint8_t* bytesOf(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

TEST(FuzzRegressions, TokenizerCases) {
  std::vector<fs::path> files = caseFiles("tokenizer");
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    std::string bytes = readFileBytes(file.string());
    ASSERT_NE(bytes, kAbsent) << file;
    EXPECT_EQ(tokenizer_case::runTokenizerCase(bytesOf(bytes), bytes.size()), "") << file;
  }
}

TEST(FuzzRegressions, ReaderCases) {
  std::vector<fs::path> files = caseFiles("reader");
  ASSERT_FALSE(files.empty());
  TempDir dir;
  for (const fs::path& file : files) {
    std::string bytes = readFileBytes(file.string());
    EXPECT_EQ(reader_case::runReaderCase(bytesOf(bytes), bytes.size(), dir.path()), "") << file;
  }
}

TEST(FuzzRegressions, ProgramCases) {
  std::vector<fs::path> files = caseFiles("program");
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    std::string bytes = readFileBytes(file.string());
    ASSERT_NE(bytes, kAbsent) << file;
    ASSERT_LE(bytes.size(), program_case::kMaxCaseSize) << file;
    program_case::ProgramCase c = program_case::decodeProgramCase(bytesOf(bytes), bytes.size());
    RunSetup setup;
    setup.args = c.args;
    setup.input = c.input;
    setup.files[program_case::kInputName] = c.input;
    if (c.source == program_case::Source::kWorkFile) setup.files[program_case::kWorkName] = c.input;
    RunResult result = runTessel(setup);
    EXPECT_EQ(program_case::checkProgramResult(c, result.status, result.out), "")
        << file << "\nstandard error:\n" << result.err;
  }
}

}  // namespace
