// End-to-end cases of the built program: every output byte and the exit
// status for command lines, both input layouts, reports and the engine's
// frame. The point sets here are small triangles whose values no smoothing
// changes, or run with -i 0, so each case pins the front end and frame only.
#include <gtest/gtest.h>

#include <string>

#include "e2e/expected_output.h"
#include "e2e/run_binary.h"

namespace {

// The usage text's first and last lines; its middle is the program's own
// constant, not repeated here.
const char kUsageStart[] = "\nUsage : tessel [-r] [-c] [-n max-neighbors] [-t max-triples]\n";
const char kUsageEnd[] = "    -?       Show this message.\n\n";

// Three points of a right triangle: no pair is near a straight line, so no
// point gets a triple and every value stays its rate.
const char kTriangle[] = "0,0,0.5,1\n1,0,0.25,2\n0,1,0.125,3\n";
const char kTriangleWork[] = "0,0,0.5,1\n1,0,0.25,2\n0,1,0.125,3\n";
const char kTriangleValues[] = "0.500000\n0.250000\n0.125000\n";
const char kTriangleStdin[] = "0\n0\n0.5\n1\n1\n0\n0.25\n2\n0\n1\n0.125\n3\n";

const char kTooBig[] =
    "One or more control parameters are too big:\n"
    "NN = %s: NTRIP = %s; NITER = %s\n"
    "The maximum values are:\n"
    "NN = 100; NTRIP = 80; NITER = 100\n";

std::string tooBig(const std::string& nn, const std::string& ntrip, const std::string& niter) {
  char text[512];
  std::snprintf(text, sizeof text, kTooBig, nn.c_str(), ntrip.c_str(), niter.c_str());
  return text;
}

struct Case {
  const char* name;
  RunSetup setup;
  std::string out, err, log, work;
  int status;
};

class Program : public ::testing::TestWithParam<Case> {};

TEST_P(Program, ProducesExactBytes) {
  const Case& c = GetParam();
  RunResult r = runTessel(c.setup);
  EXPECT_EQ(r.out, c.out) << "standard output";
  EXPECT_EQ(r.err, c.err) << "standard error";
  EXPECT_EQ(r.log, c.log) << "TSLog.txt";
  EXPECT_EQ(r.work, c.work) << "tessel_temp.txt";
  EXPECT_EQ(r.status, c.status) << "exit status";
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

RunSetup file(std::vector<std::string> args, const std::string& table) {
  RunSetup s;
  s.args = std::move(args);
  s.files["in.csv"] = table;
  return s;
}

RunSetup stdinput(std::vector<std::string> args, const std::string& input) {
  RunSetup s;
  s.args = std::move(args);
  s.input = input;
  return s;
}

const std::string kHeaderValues = std::string("Smoothed Rate\n") + kTriangleValues;
const std::string kWideRow(4999999, ',');  // 5,000,000 empty fields
const std::string kWideRowReport =
    "Invalid number of fields! : Expecting 4, got 5000000 : Row 1 : " + kWideRow + "\n\n";

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Program,
    ::testing::Values(
        Case{"UnknownLetterIsReportedAndSkipped", file({"-x", "5", "-f", "in.csv"}, kTriangle),
             kTriangleValues, "ERROR : Incorrect parameter setting X\n", kTriangleValues,
             kTriangleWork, 0},
        Case{"LoneDashHasEmptyLetter", file({"-", "-f", "in.csv"}, kTriangle), kTriangleValues,
             "ERROR : Incorrect parameter setting \n", kTriangleValues, kTriangleWork, 0},
        Case{"SlashAndCaseAndTrailingText", file({"/T", "90", "-N20", "300", "-f", "in.csv"}, kTriangle),
             tooBig("300", "90", "10"), "", "", kTriangleWork, 1},
        Case{"BlankBeforeOptionAndLastValueWins",
             file({" -i", "7", "-i", "150", "-n", "abc", "-f", "in.csv"}, kTriangle),
             tooBig("10", "7", "150"), "", "", kTriangleWork, 1},
        Case{"IntegerValuesSaturate", file({"-n", "99999999999", "-f", "in.csv"}, kTriangle),
             tooBig("2147483647", "7", "10"), "", "", kTriangleWork, 1},
        Case{"NegativeControlsRefused", file({"-n", "-99999999999", "-t", "-1", "-f", "in.csv"}, kTriangle),
             "One or more control parameters are negative:\nNN = -2147483648; NTRIP = -1\n"
             "The minimum values are:\nNN = 0; NTRIP = 0\n",
             "", "", kTriangleWork, 1},
        Case{"LimitsThemselvesAreAllowed",
             file({"-n", "100", "-t", "80", "-i", "100", "-f", "in.csv"}, kTriangle), kTriangleValues,
             "", kTriangleValues, kTriangleWork, 0},
        Case{"FileNameIsCutAtBlank", file({"-f", "in.csv extra"}, kTriangle), kTriangleValues, "",
             kTriangleValues, kTriangleWork, 0},
        Case{"InputFileMissing", file({"-f", "nope.csv"}, kTriangle), "",
             "ERROR : Couldn't open file nope.csv\n", "", "", 1}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    InputTable, Program,
    ::testing::Values(
        Case{"FileWithHeader", file({"-r", "-f", "in.csv"}, std::string("x,y,rate,w\n") + kTriangle),
             kHeaderValues, "", kHeaderValues, kTriangleWork, 0},
        Case{"FileWithLabelsTrimmedFieldsAndCrLf",
             file({"-c", "-f", "in.csv"}, "a b,0 , 0,0.5,\t1\r\nb,1,0,0.25,2\r\nc,0,1,0.125,3"),
             kTriangleValues, "", kTriangleValues, kTriangleWork, 0},
        Case{"StandardInput", stdinput({}, kTriangleStdin), kTriangleValues, "", kTriangleValues,
             kTriangleWork, 0},
        Case{"StandardInputHeaderAndLabels",
             stdinput({"-r", "-c"}, std::string("id\nx\ny\nr\nw\n") + "p\n0\n0\n0.5\n1\nq\n1\n0\n0.25\n2\n"
                                    "s\n0\n1\n0.125\n3\n"),
             kHeaderValues, "", kHeaderValues, kTriangleWork, 0},
        Case{"MissingValuesKeepTheirPlaces",
             file({"-r", "-m", "NA", "-f", "in.csv"},
                  "h\nNA,9,9,9\n0,0,0.5,1\n9,NA,9,9\n1,0,0.25,2\n0,1,0.125,3\n9,9,9,NA\n"),
             "Smoothed Rate\nNA\n0.500000\nNA\n0.250000\n0.125000\nNA\n", "",
             "Smoothed Rate\nNA\n0.500000\nNA\n0.250000\n0.125000\nNA\n", kTriangleWork, 0},
        Case{"EmptyFieldIsMissingByDefault", file({"-f", "in.csv"}, "0,0,0.5,1\n1,,3,4\n1,0,0.25,2\n0,1,0.125,3\n"),
             "0.500000\n\n0.250000\n0.125000\n", "", "0.500000\n\n0.250000\n0.125000\n", kTriangleWork, 0},
        Case{"LongFieldsAreReadWhole",
             file({"-f", "in.csv"}, "0,0,0." + std::string(150, '0') + "1,1\n1,0,0.25,2\n0,1,0.125,3\n"),
             "0.000000\n0.250000\n0.125000\n", "", "0.000000\n0.250000\n0.125000\n",
             "0,0,0." + std::string(150, '0') + "1,1\n1,0,0.25,2\n0,1,0.125,3\n", 0}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    InputErrors, Program,
    ::testing::Values(
        Case{"FieldCount", file({"-f", "in.csv"}, "0,0,0.5,1\n1,2,3\n"), "",
             "Invalid number of fields! : Expecting 4, got 3 : Row 2 : 1,2,3\n\n",
             "Invalid number of fields! : Expecting 4, got 3 : Row 2 : 1,2,3\n\n", "0,0,0.5,1\n", 1},
        Case{"WideRowIsRejectedWhole", file({"-f", "in.csv"}, kWideRow + "\n"), "", kWideRowReport,
             kWideRowReport, "", 1},
        Case{"InvalidDataInFile", file({"-r", "-f", "in.csv"}, "h\n1,2,abc,4\n"), "",
             "Invalid Data! : Row 2, Column 3 : abc", "Invalid Data! : Row 2, Column 3 : abc", "", 1},
        Case{"InvalidDataOnStandardInput", stdinput({}, "1\n2\nabc \n4\n"), "",
             "Invalid Data! : Row 1, Column 3 : abc \n", "Invalid Data! : Row 1, Column 3 : abc \n", "", 1},
        Case{"IncompleteLastRow", stdinput({}, "1\n2\n3\n4\n5\n"), "",
             "Invalid number of fields! : Vectors are of unequal length.",
             "Invalid number of fields! : Vectors are of unequal length.", "1,2,3,4\n", 1},
        Case{"NoInputData", stdinput({}, ""), "", "No input data detected.\n", "No input data detected.\n",
             "", 1}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    EngineFrame, Program,
    ::testing::Values(
        Case{"HeaderOnlyGivesNineZeroSizeReports", file({"-r", "-f", "in.csv"}, "x,y,r,w\n"),
             repeat(kZeroReport, 9) + "Smoothed Rate\n", "", "Smoothed Rate\n", "", 0},
        Case{"EmptyFileWithHeaderOption", file({"-r", "-f", "in.csv"}, ""),
             repeat(kZeroReport, 9) + "Smoothed Rate\n", "", "Smoothed Rate\n", "", 0},
        Case{"EveryRowIgnored", file({"-m", "NA", "-f", "in.csv"}, "NA,1,1,1\n2,NA,2,2\n"),
             repeat(kZeroReport, 9) + "NA\nNA\n", "", "NA\nNA\n", "", 0}),
    caseName);

// A directory as the input: it opens, but every read of it fails.
RunSetup directoryInput(std::vector<std::string> args, bool standardInput) {
  RunSetup s;
  s.args = std::move(args);
  s.files["d/"] = "";
  if (standardInput) {
    s.stdinFile = "d";
  } else {
    s.args.insert(s.args.end(), {"-f", "d"});
  }
  return s;
}

RunSetup withOutput(RunSetup s, const std::string& stdoutPath, long fileSizeLimit) {
  s.stdoutPath = stdoutPath;
  s.fileSizeLimit = fileSizeLimit;
  return s;
}

// Two trailing rows with a marker of `length` bytes: a table larger than
// the work file. Past the stdio buffer (4096 bytes) a failing destination
// refuses it at a write, below that only at the final flush or close.
RunSetup longMarkRun(size_t length, const std::string& stdoutPath, long fileSizeLimit) {
  const std::string mark(length, 'm');
  return withOutput(file({"-m", mark, "-f", "in.csv"},
                         kTriangle + mark + ",1,1,1\n1," + mark + ",1,1\n"),
                    stdoutPath, fileSizeLimit);
}
std::string longMarkTable(size_t length) {
  const std::string mark(length, 'm');
  return kTriangleValues + mark + "\n" + mark + "\n";
}
const char kFullOutput[] = "ERROR : Couldn't write standard output: No space left on device\n";
const char kLogRefused[] = "ERROR : Couldn't write log file TSLog.txt\n";

INSTANTIATE_TEST_SUITE_P(
    ReadAndWriteFailures, Program,
    ::testing::Values(
        Case{"DirectoryAsFile", directoryInput({}, false), "", "ERROR : Couldn't read file d\n", "",
             "", 1},
        Case{"DirectoryAsFileWithHeader", directoryInput({"-r"}, false), "",
             "ERROR : Couldn't read file d\n", "", "", 1},
        Case{"DirectoryAsStandardInput", directoryInput({}, true), "",
             "ERROR : Couldn't read standard input\n", "", "", 1},
        Case{"DirectoryAsStandardInputWithHeader", directoryInput({"-r"}, true), "",
             "ERROR : Couldn't read standard input\n", "", "", 1},
        Case{"FullStandardOutputAtTheFlush",
             withOutput(file({"-f", "in.csv"}, kTriangle), "/dev/full", 0), kAbsent, kFullOutput,
             kTriangleValues, kTriangleWork, 1},
        Case{"FullStandardOutputAtAWrite", longMarkRun(5000, "/dev/full", 0), kAbsent, kFullOutput,
             longMarkTable(5000), kTriangleWork, 1},
        Case{"LogOverTheFileSizeLimitAtAWrite", longMarkRun(5000, "", 1000), longMarkTable(5000),
             kLogRefused, longMarkTable(5000).substr(0, 1000), kTriangleWork, 1},
        Case{"LogOverTheFileSizeLimitAtItsClose", longMarkRun(1000, "", 1000), longMarkTable(1000),
             kLogRefused, longMarkTable(1000).substr(0, 1000), kTriangleWork, 1}),
    caseName);

TEST(ProgramFailures, WorkFileThatCannotBeCreated) {
  RunSetup setup = file({"-f", "in.csv"}, kTriangle);
  setup.files["tessel_temp.txt/"] = "";
  RunResult r = runTessel(setup);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR : Couldn't create work file tessel_temp.txt\n");
  EXPECT_EQ(r.log, "");
  EXPECT_EQ(r.status, 1);
}

TEST(ProgramFailures, LibraryExceptionIsReportedWithItsTrace) {
  // A program path in the UNC form without a share cannot be split.
  RunSetup setup = file({"-f", "in.csv"}, kTriangle);
  setup.argv0 = "\\\\srv";
  RunResult r = runTessel(setup);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR : Invalid UNC name\nSet() of OvFileName\n");
  EXPECT_EQ(r.log, kAbsent);
  EXPECT_EQ(r.work, kAbsent);
  EXPECT_EQ(r.status, 1);
}

// -?, a value option without its value, and both: the usage text, with the
// program's name from its path, on standard error and in the log; no work
// file.
TEST(Usage, GoesToStandardErrorAndTheLog) {
  const struct {
    std::vector<std::string> args;
    std::string argv0, name;
    int status;
  } cases[] = {{{"-n", "5", "-?"}, "", "tessel", 0},
               {{"-n"}, "", "tessel", 2},
               {{"/?", "-t"}, "/opt/x.1/prog.exe", "prog", 0}};
  for (const auto& c : cases) {
    RunSetup setup = stdinput(c.args, "");
    setup.argv0 = c.argv0;
    const RunResult r = runTessel(setup);
    std::string start = kUsageStart;
    start.replace(start.find("tessel"), 6, c.name);
    EXPECT_EQ(r.err.compare(0, start.size(), start), 0) << r.err;
    EXPECT_GT(r.err.size(), start.size() + sizeof kUsageEnd);
    EXPECT_EQ(r.err.compare(r.err.size() - (sizeof kUsageEnd - 1), std::string::npos, kUsageEnd), 0);
    EXPECT_EQ(r.log, r.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.work, kAbsent);
    EXPECT_EQ(r.status, c.status);
  }
}

}  // namespace
