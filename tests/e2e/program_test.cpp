// End-to-end cases of the built program: every output byte and the exit
// status for command lines, the options' way into the input reader, the
// reports, the failures of reading and writing, and small point sets whose
// results were worked out by hand. Elsewhere the point set is a triangle
// whose values no smoothing changes, so the case pins the front end only
// (the reader's own outcomes are the reader model's, replayed from the fuzz
// corpus).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "e2e/run_binary.h"
#include "frontend/command_line.h"

namespace {

// Three points of a right triangle: no pair is near a straight line, so no
// point gets a triple and every value stays its rate.
const char kTriangle[] = "0,0,0.5,1\n1,0,0.25,2\n0,1,0.125,3\n";
const char kTriangleValues[] = "0.500000\n0.250000\n0.125000\n";

// The allocator's report of a zero-size work area.
std::string zeroReports(int count) {
  std::string all;
  for (int k = 0; k < count; ++k) {
    all +=
        "\n\nERROR:   Allocating 0 Bytes.\n         Memory Allocation Error\n         PRESS ANY "
        "KEY TO CONTINUE";
  }
  return all;
}

std::string tooBig(const std::string& nn, const std::string& ntrip, const std::string& niter) {
  return "One or more control parameters are too big:\nNN = " + nn + ": NTRIP = " + ntrip +
         "; NITER = " + niter + "\nThe maximum values are:\nNN = 100; NTRIP = 80; NITER = 100\n";
}

struct Case {
  const char* name;
  RunSetup setup;
  std::string reports;  // standard output before the table, not logged
  std::string table;    // the result table
  std::string err, work;
  int status;
  // The log when it is not the rule's: the front end's reports that are not
  // "ERROR : " lines, then the table.
  std::optional<std::string> log = std::nullopt;
};

class Program : public ::testing::TestWithParam<Case> {};

TEST_P(Program, ProducesExactBytes) {
  const Case& c = GetParam();
  RunResult r = runTessel(c.setup);
  EXPECT_EQ(r.out, c.reports + c.table) << "standard output";
  EXPECT_EQ(r.err, c.err) << "standard error";
  EXPECT_EQ(r.log, c.log.value_or((c.err.rfind("ERROR : ", 0) == 0 ? "" : c.err) + c.table))
      << "TSLog.txt";
  EXPECT_EQ(r.work, c.work) << "tessel_temp.txt";
  EXPECT_EQ(r.status, c.status) << "exit status";
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

// The usage text with a program name, as the front end writes it; its
// first and last lines as they must be.
std::string usage(const std::string& name) {
  std::FILE* stream = std::tmpfile();
  writeUsage(stream, name.c_str());
  std::string text(static_cast<size_t>(std::ftell(stream)), '\0');
  std::rewind(stream);
  EXPECT_EQ(std::fread(&text[0], 1, text.size(), stream), text.size());
  std::fclose(stream);
  EXPECT_EQ(text.find("\nUsage : " + name + " [-r] [-c] [-n max-neighbors] [-t max-triples]\n"),
            0u);
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 3)),
            "\n    -?       Show this message.\n\n");
  return text;
}

const std::string kWideRow(4999999, ',');  // 5,000,000 empty fields

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Program,
    ::testing::Values(
        Case{"UnknownLettersAreReportedAndSkipped",
             fileRun({"-x", "5", "-", "-f", "in.csv"}, kTriangle), "", kTriangleValues,
             "ERROR : Incorrect parameter setting X\nERROR : Incorrect parameter setting \n",
             kTriangle, 0},
        Case{"SlashCaseTrailingTextBlankAndLastValueWins",
             fileRun({"/T", "90", " -i", "7", "-N20", "300", "-i", "150", "-f", "in.csv"},
                     kTriangle),
             tooBig("300", "90", "150"), "", "", kTriangle, 1},
        Case{"IntegerValuesSaturate", fileRun({"-n", "99999999999", "-f", "in.csv"}, kTriangle),
             tooBig("2147483647", "7", "10"), "", "", kTriangle, 1},
        Case{"NegativeControlsRefused",
             fileRun({"-n", "-99999999999", "-t", "-1", "-f", "in.csv"}, kTriangle),
             "One or more control parameters are negative:\nNN = -2147483648; NTRIP = -1\n"
             "The minimum values are:\nNN = 0; NTRIP = 0\n",
             "", "", kTriangle, 1},
        Case{"LimitsThemselvesAreAllowed",
             fileRun({"-n", "100", "-t", "80", "-i", "100", "-f", "in.csv"}, kTriangle), "",
             kTriangleValues, "", kTriangle, 0},
        Case{"FileNameIsCutAtBlank", fileRun({"-f", "in.csv extra"}, kTriangle), "",
             kTriangleValues, "", kTriangle, 0},
        Case{"InputFileMissing", fileRun({"-f", "nope.csv"}, kTriangle), "", "",
             "ERROR : Couldn't open file nope.csv\n", "", 1},
        // A value option without its value, and -? with one: the usage
        // text, with the program's name from its path, and no work file.
        Case{"ValueMissing", stdinRun({"-n"}, ""), "", "", usage("tessel"), kAbsent, 2},
        Case{"HelpWinsOverMissingValue",
             with(stdinRun({"/?", "-t"}, ""), [](RunSetup& s) { s.argv0 = "/opt/x.1/prog.exe"; }),
             "", "", usage("prog"), kAbsent, 0}),
    caseName);

const std::string kTinyRate = "0,0,0." + std::string(400, '0') + "1,1\n1,0,0.25,2\n0,1,0.125,3\n";

// -r, -c and -m reach the reader of either layout; missing rows keep their
// places (first, last, in a row), whichever field holds the marker.
INSTANTIATE_TEST_SUITE_P(
    InputTable, Program,
    ::testing::Values(
        Case{"FileWithHeaderLabelsAndMarker",
             fileRun({"-r", "-c", "-m", "NA", "-f", "in.csv"},
                     "id,x,y,r,w\r\nl,9,NA,9,9\r\na b,0 , 0,0.5,\t1\r\nm,NA,9,9,9\nn,9,9,9,NA\n"
                     "b,1,0,0.25,2\nc,0,1,0.125,3\no,9,9,NA,9"),
             "", "Smoothed Rate\nNA\n0.500000\nNA\nNA\n0.250000\n0.125000\nNA\n", "", kTriangle, 0},
        Case{"StandardInputHeaderLabelsAndEmptyField",
             stdinRun({"-r", "-c"},
                      "id\nx\ny\nr\nw\np\n0\n0\n0.5\n1\ne\n1\n\n3\n4\nq\n1\n0\n0.25\n2\n"
                      "s\n0\n1\n0.125\n3\n"),
             "", "Smoothed Rate\n0.500000\n\n0.250000\n0.125000\n", "", kTriangle, 0},
        // A rate below the smallest double: its line leaves the mapped
        // loading of the work file for the line-by-line reading.
        Case{"RateBelowTheSmallestDouble", fileRun({"-f", "in.csv"}, kTinyRate), "",
             "0.000000\n0.250000\n0.125000\n", "", kTinyRate, 0}),
    caseName);

// Bytes from 0x80 up are text: never trimmed from a field or skipped
// before an option word, so they are no number (the option word "\xa0-n"
// with its value is skipped: no NN of 200), and they may be the marker. A
// byte-order mark is skipped only where it opens the input.
Case invalidField(const char* name, const std::string& row, const std::string& field, int column) {
  return Case{name,
              fileRun({"-f", "in.csv"}, "0,0,1,1\n" + row),
              "",
              "",
              "Invalid Data! : Row 2, Column " + std::to_string(column) + " : " + field,
              "0,0,1,1\n",
              1};
}
Case invalidField(const char* name, const std::string& field) {
  return invalidField(name, "1,0," + field + ",1\n", field, 3);
}

const char kMark[] = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    TextBytes, Program,
    ::testing::Values(
        invalidField("LatinSmallEAcute", "5\xe9"), invalidField("EuroSign", "12\xe2\x82\xac"),
        invalidField("EmDash", "\xe2\x80\x94"),
        Case{"EmDashAsMarker",
             fileRun({"-m", "\xe2\x80\x94", "-f", "in.csv"},
                     " \xe2\x80\x94\t,1,1,1\n" + std::string(kTriangle)),
             "", "\xe2\x80\x94\n" + std::string(kTriangleValues), "", kTriangle, 0},
        Case{"NoBreakSpaceBeforeAnOption", fileRun({"\xa0-n", "200", "-f", "in.csv"}, kTriangle),
             "", kTriangleValues, "", kTriangle, 0},
        Case{"ByteOrderMarkOpeningAFile",
             fileRun({"-r", "-f", "in.csv"}, kMark + std::string("x,y\n") + kTriangle), "",
             "Smoothed Rate\n" + std::string(kTriangleValues), "", kTriangle, 0},
        Case{"ByteOrderMarkOpeningStandardInput",
             stdinRun({}, kMark + std::string("0\n0\n0.5\n1\n1\n0\n0.25\n2\n"
                                              "0\n1\n0.125\n3\n")),
             "", kTriangleValues, "", kTriangle, 0},
        Case{"ByteOrderMarkAloneIsNoLine", fileRun({"-f", "in.csv"}, kMark), "", "",
             "No input data detected.\n", "", 1},
        invalidField("ByteOrderMarkInALaterRow", kMark + std::string("1,0,5,1\n"),
                     kMark + std::string("1"), 1)),
    caseName);

// Every reader report goes out the same way (its texts are the reader
// model's); the front end's own reports follow.
INSTANTIATE_TEST_SUITE_P(
    InputErrors, Program,
    ::testing::Values(
        Case{"FieldCount", fileRun({"-f", "in.csv"}, "0,0,0.5,1\n1,2,3\n"), "", "",
             "Invalid number of fields! : Expecting 4, got 3 : Row 2 : 1,2,3\n\n", "0,0,0.5,1\n",
             1},
        Case{"WideRowIsRejectedWhole", fileRun({"-f", "in.csv"}, kWideRow + "\n"), "", "",
             "Invalid number of fields! : Expecting 4, got 5000000 : Row 1 : " + kWideRow + "\n\n",
             "", 1},
        Case{"NoInputData", stdinRun({}, ""), "", "", "No input data detected.\n", "", 1},
        // No points: nine zero-size work areas reported, then the table.
        Case{"EmptyFileWithHeaderOption", fileRun({"-r", "-f", "in.csv"}, ""), zeroReports(9),
             "Smoothed Rate\n", "", "", 0},
        Case{"EveryRowIgnored", fileRun({"-m", "NA", "-f", "in.csv"}, "NA,1,1,1\n2,NA,2,2\n"),
             zeroReports(9), "NA\nNA\n", "", "", 0}),
    caseName);

// Five points on a line with rates 1, 5, 2, 8, 3.
const char kLine[] = "0,0,1,1\n1,0,5,1\n2,0,2,1\n3,0,8,1\n4,0,3,1\n";
const char kLineRates[] = "1.000000\n5.000000\n2.000000\n8.000000\n3.000000\n";
// A point (rate 10) with two interior triples whose neighbours hold (2, 4)
// and (3, 5); every other point has one end triple through it.
const char kCross[] = "0,0,10,1\n1,0,2,1\n-1,0,4,1\n0,1.5,3,1\n0,-1.5,5,1\n";
const char kCrossHeavy[] = "0,0,10,2\n1,0,2,1\n-1,0,4,1\n0,1.5,3,1\n0,-1.5,5,1\n";
// A 3 x 3 grid of spacing 1; the corners' fourth neighbour is one of two
// points at distance 2, chosen by the tie order (lower index).
const char kGrid[] =
    "0,0,3,1\n1,0,7,1\n2,0,1,1\n0,1,8,1\n1,1,2,1\n2,1,9,1\n0,2,4,1\n1,2,6,1\n2,2,5,1\n";
// Points 0 and 1 coincide.
const char kCoincident[] = "0,0,1,1\n0,0,5,1\n1,0,2,1\n2,0,9,1\n3,0,4,1\n";
const char kThree[] = "0,0,1,1\n1,0,5,1\n2,0,3,1\n";

Case smoothed(const char* name, std::vector<std::string> args, const char* points,
              std::string reports, std::string table) {
  args.insert(args.end(), {"-f", "in.csv"});
  return Case{name, fileRun(args, points), reports, table, "", points, 0};
}

INSTANTIATE_TEST_SUITE_P(
    Smoothing, Program,
    ::testing::Values(
        // Interior points go to the neighbour screens; the ends to the
        // screens of values extrapolated with endFactor 2: 3*5-2*2 = 11 and
        // 3*8-2*2 = 20 raise them to their low screens 5 and 8.
        smoothed("LineOneIteration", {"-n", "2", "-i", "1"}, kLine, "",
                 "5.000000\n2.000000\n5.000000\n3.000000\n8.000000\n"),
        // Screens 2.5 and 4.5 (means of equal-weight pairs); 10 > 4.5. The
        // outer points are raised to their low screen 10 (the centre's value).
        smoothed("InteriorPointClampedToHighScreen", {"-i", "1"}, kCross, "",
                 "4.500000\n10.000000\n10.000000\n10.000000\n10.000000\n"),
        // c * w = 2 * 2 is not below W = 4: the centre keeps its value.
        smoothed("WeightHoldsTheValue", {"-i", "1"}, kCrossHeavy, "",
                 "10.000000\n10.000000\n10.000000\n10.000000\n10.000000\n"),
        smoothed("ThetaStar180KeepsEveryRate", {"-n", "2", "-a", "180"}, kLine, "", kLineRates),
        smoothed("NegativeIterationsActAsNone", {"-n", "2", "-i", "-4"}, kLine, "", kLineRates),
        // A corner sees 1 and 2 in its row (end triple, low screen from the
        // middle value); taking 6 instead of 2 would give 8 at corner 0.
        smoothed("GridFollowsTheTieOrder", {"-n", "4", "-i", "1"}, kGrid, "",
                 "7.000000\n3.000000\n7.000000\n4.000000\n7.000000\n5.000000\n8.000000\n5."
                 "000000\n9.000000\n"),
        // Pairs with a zero distance are skipped: point 2 gets the triples
        // (0, 3) and (1, 3), low screen (1 + 5) / 2 = 3.
        smoothed("CoincidentPointsAreSkipped", {"-n", "3", "-i", "1"}, kCoincident, "",
                 "1.000000\n2.000000\n3.000000\n4.000000\n9.000000\n"),
        // NN 10 with three points acts as NN 2.
        smoothed("FewerPointsThanNeighbours", {"-i", "1"}, kThree, "",
                 "5.000000\n3.000000\n5.000000\n"),
        // NTRIP 0: a zero-size request for every point's end values and
        // triples, then for both lists of both passes in each iteration.
        smoothed("NoTriplesAllowed", {"-t", "0", "-i", "2"}, kThree, zeroReports(6 + 2 * 4),
                 "1.000000\n5.000000\n3.000000\n"),
        // NN 2 with two points acts as NN 1: both candidate buffers are
        // zero-size requests.
        smoothed("TwoPointsHaveOneNeighbour", {"-n", "2", "-i", "1"}, "0,0,1,1\n1,0,5,1\n",
                 zeroReports(2), "1.000000\n5.000000\n")),
    caseName);

const char kCreateRefused[] = "ERROR : Couldn't create work file tessel_temp.txt\n";

// The work file as input (named through a link, or as standard input) is
// refused before anything is overwritten; a link planted as the work file is
// not followed (the victim is read through it, unchanged).
INSTANTIATE_TEST_SUITE_P(WorkFileProtection, Program,
                         ::testing::Values(Case{"InputThroughALink",
                                                with(stdinRun({"-f", "link.csv"}, ""),
                                                     [](RunSetup& s) {
                                                       s.files["tessel_temp.txt"] = kTriangle;
                                                       s.links["link.csv"] = "tessel_temp.txt";
                                                     }),
                                                "", "", kCreateRefused, kTriangle, 1},
                                           Case{"InputOnStandardInput",
                                                with(stdinRun({}, ""),
                                                     [](RunSetup& s) {
                                                       s.files["tessel_temp.txt"] = kTriangle;
                                                       s.stdinFile = "tessel_temp.txt";
                                                     }),
                                                "", "", kCreateRefused, kTriangle, 1},
                                           Case{"PlantedWorkFileLink",
                                                with(fileRun({"-f", "in.csv"}, kTriangle),
                                                     [](RunSetup& s) {
                                                       s.files["victim"] = "precious\n";
                                                       s.links["tessel_temp.txt"] = "victim";
                                                     }),
                                                "", "", kCreateRefused, "precious\n", 1}),
                         caseName);

// The directory itself as the input: it opens, but every read of it fails,
// from the header line on. A work file over the file-size limit is refused
// at a write.
const std::string kLongTable = pointTable("line", 40);  // 1,139 bytes

INSTANTIATE_TEST_SUITE_P(
    ReadAndWriteFailures, Program,
    ::testing::Values(Case{"DirectoryAsFileWithHeader", stdinRun({"-r", "-f", "."}, ""), "", "",
                           "ERROR : Couldn't read file .\n", "", 1},
                      Case{"DirectoryAsStandardInputWithHeader",
                           with(stdinRun({"-r"}, ""), [](RunSetup& s) { s.stdinFile = "."; }), "",
                           "", "ERROR : Couldn't read standard input\n", "", 1},
                      Case{"WorkFileOverTheFileSizeLimit",
                           with(fileRun({"-f", "in.csv"}, kLongTable),
                                [](RunSetup& s) { s.fileSizeLimit = 1000; }),
                           "", "", "ERROR : Couldn't write work file tessel_temp.txt\n",
                           kLongTable.substr(0, 1000), 1}),
    caseName);

// A full standard output and a log over the file-size limit, refused only
// at the final flush or close (a table shorter than the stdio buffer of 4096
// bytes), or at a write that leaves nothing to flush or close (a table whose
// last write, its line feed, finds the buffer exactly full). Two trailing
// rows with a marker of `markBytes` bytes make the table that long.
Case refusedOutput(const char* name, size_t markBytes, const char* stdoutPath, long fileSizeLimit) {
  const std::string mark(markBytes, 'm');
  RunSetup setup =
      fileRun({"-m", mark, "-f", "in.csv"}, kTriangle + mark + ",1,1,1\n1," + mark + ",1,1\n");
  setup.stdoutPath = stdoutPath;
  setup.fileSizeLimit = fileSizeLimit;
  const std::string table = kTriangleValues + mark + "\n" + mark + "\n";
  if (fileSizeLimit == 0) {
    return Case{name,
                setup,
                "",
                "",
                "ERROR : Couldn't write standard output: No space left on device\n",
                kTriangle,
                1,
                table};
  }
  return Case{name,
              setup,
              "",
              table,
              "ERROR : Couldn't write log file TSLog.txt\n",
              kTriangle,
              1,
              table.substr(0, 1000)};
}

// A program path in the UNC form without a share cannot be split: the
// library's exception is reported with its trace, before anything is made.
INSTANTIATE_TEST_SUITE_P(
    OutputFailures, Program,
    ::testing::Values(
        refusedOutput("FullOutputAtTheFlush", 0, "/dev/full", 0),
        refusedOutput("FullOutputAtAWrite", 2034, "/dev/full", 0),
        refusedOutput("LogOverTheLimitAtTheClose", 1000, "", 1000),
        refusedOutput("LogOverTheLimitAtAWrite", 2034, "", 1000),
        Case{"LibraryExceptionWithItsTrace",
             with(fileRun({"-f", "in.csv"}, kTriangle), [](RunSetup& s) { s.argv0 = "\\\\srv"; }),
             "", "", "ERROR : Invalid UNC name\nSet() of OvFileName\n", kAbsent, 1, kAbsent}),
    caseName);

const char kNoLog[] = "ERROR : Couldn't create log file TSLog.txt\n";
const char kTriangleFields[] = "0\n0\n0.5\n1\n1\n0\n0.25\n2\n0\n1\n0.125\n3\n";

// A log that cannot be made is said first, before the command line's own
// messages; the run goes on without it and ends with 1. A link planted as
// the log is not followed, and an input that is the log keeps its bytes
// (the harness reads the log through the link, or the input itself).
INSTANTIATE_TEST_SUITE_P(
    LogNotCreated, Program,
    ::testing::Values(Case{"DirectoryNamedAsTheLog",
                           with(fileRun({"-x", "-f", "in.csv"}, kTriangle),
                                [](RunSetup& s) { s.dirs = {"TSLog.txt"}; }),
                           "", kTriangleValues,
                           kNoLog + std::string("ERROR : Incorrect parameter setting X\n"),
                           kTriangle, 1, kAbsent},
                      Case{"DirectoryNamedAsTheLogWithHelp",
                           with(stdinRun({"-?"}, ""), [](RunSetup& s) { s.dirs = {"TSLog.txt"}; }),
                           "", "", kNoLog + usage("tessel"), kAbsent, 1, kAbsent},
                      Case{"PlantedLogLink",
                           with(fileRun({"-f", "in.csv"}, kTriangle),
                                [](RunSetup& s) {
                                  s.files["victim"] = "precious\n";
                                  s.links["TSLog.txt"] = "victim";
                                }),
                           "", kTriangleValues, kNoLog, kTriangle, 1, "precious\n"},
                      Case{"InputFileIsTheLog",
                           with(stdinRun({"-f", "TSLog.txt"}, ""),
                                [](RunSetup& s) { s.files["TSLog.txt"] = kTriangle; }),
                           "", kTriangleValues, kNoLog, kTriangle, 1, kTriangle},
                      Case{"StandardInputIsTheLog",
                           with(stdinRun({}, ""),
                                [](RunSetup& s) {
                                  s.files["TSLog.txt"] = kTriangleFields;
                                  s.stdinFile = "TSLog.txt";
                                }),
                           "", kTriangleValues, kNoLog, kTriangle, 1, kTriangleFields}),
    caseName);

// A standard descriptor closed at the start stays unusable: no file the
// run opens takes its number, so output to it is refused and input from it
// fails, while the log and the work file hold what they should.
const char kBadOutput[] = "ERROR : Couldn't write standard output: Bad file descriptor\n";

INSTANTIATE_TEST_SUITE_P(ClosedDescriptors, Program,
                         ::testing::Values(Case{"StandardOutputClosed",
                                                with(fileRun({"-f", "in.csv"}, kTriangle),
                                                     [](RunSetup& s) { s.closedFds = {1}; }),
                                                "", "", kBadOutput, kTriangle, 1, kTriangleValues},
                                           Case{"StandardInputClosed",
                                                with(stdinRun({}, kTriangleFields),
                                                     [](RunSetup& s) { s.closedFds = {0}; }),
                                                "", "", "ERROR : Couldn't read standard input\n",
                                                "", 1},
                                           Case{"BothClosed",
                                                with(fileRun({"-f", "in.csv"}, kTriangle),
                                                     [](RunSetup& s) {
                                                       s.closedFds = {0, 1};
                                                     }),
                                                "", "", kBadOutput, kTriangle, 1, kTriangleValues},
                                           Case{"AllThreeClosedReadingStandardInput",
                                                with(stdinRun({}, kTriangleFields),
                                                     [](RunSetup& s) {
                                                       s.closedFds = {0, 1, 2};
                                                     }),
                                                "", "", "", "", 1, ""}),
                         caseName);

}  // namespace
