// End-to-end cases of the built program: every output byte and the exit
// status for command lines, the options' way into the input reader, the
// reports, the failures of reading and writing, and small point sets whose
// results were worked out by hand. Elsewhere the point set is a triangle
// whose values no smoothing changes, so the case pins the front end only
// (the reader's own outcomes are the reader model's, replayed from the fuzz
// corpus).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

#include "e2e/run_binary.h"
#include "frontend/command_line.h"

namespace {

// The allocator's report of a zero-size work area.
std::string zeroReports(int count) {
  std::string all;
  while (count-- > 0) {
    all += "\n\nERROR:   Allocating 0 Bytes.\n         Memory Allocation Error\n";
    all += "         PRESS ANY KEY TO CONTINUE";
  }
  return all;
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

// The usage text with a program name, as the front end writes it; its
// first line as it must be.
std::string usage(const std::string& name) {
  char* bytes = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&bytes, &size);
  writeUsage(stream, name.c_str());
  std::fclose(stream);
  const std::string text(bytes, size);
  std::free(bytes);
  EXPECT_EQ(text.find("\nUsage : " + name + " [-r] [-c] [-n max-neighbors] [-t max-triples]\n"),
            0u);
  return text;
}

// Five points on a line with rates 1, 5, 2, 8, 3.
const char kLine[] = "0,0,1,1\n1,0,5,1\n2,0,2,1\n3,0,8,1\n4,0,3,1\n";
// A point (rate 10) with two interior triples whose neighbours hold (2, 4)
// and (3, 5); every other point has one end triple through it.
const char kCross[] = "0,0,10,1\n1,0,2,1\n-1,0,4,1\n0,1.5,3,1\n0,-1.5,5,1\n";
const char kCrossHeavy[] = "0,0,10,2\n1,0,2,1\n-1,0,4,1\n0,1.5,3,1\n0,-1.5,5,1\n";
// A 3 x 3 grid of spacing 1; the corners' fourth neighbour is one of two
// points at distance 2, chosen by the tie order (lower index).
const char kGrid[] =
    "0,0,3,1\n1,0,7,1\n2,0,1,1\n0,1,8,1\n1,1,2,1\n2,1,9,1\n0,2,4,1\n1,2,6,1\n2,2,5,1\n";
const char kThree[] = "0,0,1,1\n1,0,5,1\n2,0,3,1\n";

Case smoothed(const char* name, std::vector<std::string> args, const char* points,
              std::string reports, std::string table) {
  args.insert(args.end(), {"-f", "in.csv"});
  return Case{name, fileRun(args, points), reports, table, "", points, 0};
}

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
  const bool full = fileSizeLimit == 0;
  return Case{name,
              setup,
              "",
              full ? "" : table,
              full ? "ERROR : Couldn't write standard output: No space left on device\n"
                   : "ERROR : Couldn't write log file TSLog.txt\n",
              kTriangle,
              1,
              full ? table : table.substr(0, 1000)};
}

// A run on the triangle in in.csv.
RunSetup onTriangle(std::vector<std::string> args) {
  args.insert(args.end(), {"-f", "in.csv"});
  return fileRun(args, kTriangle);
}

TEST(Program, ProducesExactBytes) {
  const char kMark[] = "\xEF\xBB\xBF";
  const std::string triangle = kTriangle, values = kTriangleValues, mark = kMark;
  const std::string tinyRate = "0,0,0." + std::string(400, '0') + "1,1\n1,0,0.25,2\n0,1,0.125,3\n";
  const std::string wideRow(4999999, ',');               // 5,000,000 empty fields
  const std::string longTable = pointTable("line", 40);  // 1,139 bytes
  const std::string fields = "0\n0\n0.5\n1\n1\n0\n0.25\n2\n0\n1\n0.125\n3\n";
  const std::string noLog = "ERROR : Couldn't create log file TSLog.txt\n";
  const char kWork[] = "tessel_temp.txt";
  const char kCreateRefused[] = "ERROR : Couldn't create work file tessel_temp.txt\n";
  const char kBadOutput[] = "ERROR : Couldn't write standard output: Bad file descriptor\n";
  const Case cases[] = {
      // The command line.
      {"UnknownLetters", onTriangle({"-x", "5", "-"}), "", values,
       "ERROR : Incorrect parameter setting X\nERROR : Incorrect parameter setting \n", triangle,
       0},
      {"SlashTrailingTextLastValueSaturation",
       fileRun({"/T", "90", " -i", "7", "-N20", "99999999999", "-i", "150", "-f", "in.csv"},
               kTriangle),
       "One or more control parameters are too big:\nNN = 2147483647: NTRIP = 90; NITER = 150\n"
       "The maximum values are:\nNN = 100; NTRIP = 80; NITER = 100\n",
       "", "", triangle, 1},
      {"NegativeControls", onTriangle({"-n", "-99999999999", "-t", "-1"}),
       "One or more control parameters are negative:\nNN = -2147483648; NTRIP = -1\n"
       "The minimum values are:\nNN = 0; NTRIP = 0\n",
       "", "", triangle, 1},
      {"LimitsAndNameCutAtBlank",
       fileRun({"-n", "100", "-t", "80", "-i", "100", "-f", "in.csv extra"}, kTriangle), "", values,
       "", triangle, 0},
      {"InputFileMissing", fileRun({"-f", "nope.csv"}, kTriangle), "", "",
       "ERROR : Couldn't open file nope.csv\n", "", 1},
      // A value option without its value, and -? with one: the usage text,
      // with the program's name from its path, and no work file.
      {"ValueMissing", stdinRun({"-n"}, ""), "", "", usage("tessel"), kAbsent, 2},
      {"HelpWins",
       with(stdinRun({"/?", "-t"}, ""), [](RunSetup& s) { s.argv0 = "/opt/x.1/prog.exe"; }), "", "",
       usage("prog"), kAbsent, 0},
      // -r, -c and -m reach the reader of either layout; missing rows keep
      // their places (first, last, in a row), whichever field holds the marker.
      {"FileHeaderLabelsMarker",
       fileRun({"-r", "-c", "-m", "NA", "-f", "in.csv"},
               "id,x,y,r,w\r\nl,9,NA,9,9\r\na b,0 , 0,0.5,\t1\r\nm,NA,9,9,9\nn,9,9,9,NA\n"
               "b,1,0,0.25,2\nc,0,1,0.125,3\no,9,9,NA,9"),
       "", "Smoothed Rate\nNA\n0.500000\nNA\nNA\n0.250000\n0.125000\nNA\n", "", triangle, 0},
      {"StdinHeaderLabelsEmpty",
       stdinRun({"-r", "-c"},
                "id\nx\ny\nr\nw\np\n0\n0\n0.5\n1\ne\n1\n\n3\n4\nq\n1\n0\n0.25\n2\n"
                "s\n0\n1\n0.125\n3\n"),
       "", "Smoothed Rate\n0.500000\n\n0.250000\n0.125000\n", "", triangle, 0},
      // A rate below the smallest double: its line leaves the mapped loading
      // of the work file for the line-by-line reading.
      {"TinyRate", fileRun({"-f", "in.csv"}, tinyRate), "", "0.000000\n0.250000\n0.125000\n", "",
       tinyRate, 0},
      // Bytes from 0x80 up are text: never trimmed from a field, not skipped
      // before an option word (the word "\xa0-n" with its value is skipped:
      // no NN of 200), and they may be the marker. A byte-order mark is
      // skipped only where it opens the input.
      {"EAcute", fileRun({"-f", "in.csv"}, "0,0,1,1\n1,0,5\xe9,1\n"), "", "",
       "Invalid Data! : Row 2, Column 3 : 5\xe9", "0,0,1,1\n", 1},
      {"EmDashAsMarker",
       fileRun({"-m", "\xe2\x80\x94", "-f", "in.csv"}, " \xe2\x80\x94\t,1,1,1\n" + triangle), "",
       "\xe2\x80\x94\n" + values, "", triangle, 0},
      {"NoBreakSpaceOption", onTriangle({"\xa0-n", "200"}), "", values, "", triangle, 0},
      {"MarkOpeningFile", fileRun({"-r", "-f", "in.csv"}, mark + "x,y\n" + triangle), "",
       "Smoothed Rate\n" + values, "", triangle, 0},
      {"MarkOpeningStdin", stdinRun({}, mark + fields), "", values, "", triangle, 0},
      {"MarkAlone", fileRun({"-f", "in.csv"}, kMark), "", "", "No input data detected.\n", "", 1},
      {"MarkInALaterRow", fileRun({"-f", "in.csv"}, "0,0,1,1\n" + mark + "1,0,5,1\n"), "", "",
       "Invalid Data! : Row 2, Column 1 : " + mark + "1", "0,0,1,1\n", 1},
      // The reader's reports (their texts are the reader model's).
      {"FieldCount", fileRun({"-f", "in.csv"}, "0,0,0.5,1\n1,2,3\n"), "", "",
       "Invalid number of fields! : Expecting 4, got 3 : Row 2 : 1,2,3\n\n", "0,0,0.5,1\n", 1},
      {"WideRow", fileRun({"-f", "in.csv"}, wideRow + "\n"), "", "",
       "Invalid number of fields! : Expecting 4, got 5000000 : Row 1 : " + wideRow + "\n\n", "", 1},
      // No points: nine zero-size work areas reported, then the table.
      {"EmptyWithHeader", fileRun({"-r", "-f", "in.csv"}, ""), zeroReports(9), "Smoothed Rate\n",
       "", "", 0},
      {"EveryRowIgnored", fileRun({"-m", "NA", "-f", "in.csv"}, "NA,1,1,1\n2,NA,2,2\n"),
       zeroReports(9), "NA\nNA\n", "", "", 0},
      // Smoothing. Interior points go to the neighbour screens; the ends to
      // the screens of values extrapolated with endFactor 2: 3*5-2*2 = 11 and
      // 3*8-2*2 = 20 raise them to their low screens 5 and 8.
      smoothed("LineOneIteration", {"-n", "2", "-i", "1"}, kLine, "",
               "5.000000\n2.000000\n5.000000\n3.000000\n8.000000\n"),
      // Screens 2.5 and 4.5 (means of equal-weight pairs); 10 > 4.5. The
      // outer points are raised to their low screen 10 (the centre's value).
      smoothed("InteriorClamped", {"-i", "1"}, kCross, "",
               "4.500000\n10.000000\n10.000000\n10.000000\n10.000000\n"),
      // c * w = 2 * 2 is not below W = 4: the centre keeps its value.
      smoothed("WeightHolds", {"-i", "1"}, kCrossHeavy, "",
               "10.000000\n10.000000\n10.000000\n10.000000\n10.000000\n"),
      // A corner sees 1 and 2 in its row (end triple, low screen from the
      // middle value); taking 6 instead of 2 would give 8 at corner 0.
      smoothed("GridTieOrder", {"-n", "4", "-i", "1"}, kGrid, "",
               "7.000000\n3.000000\n7.000000\n4.000000\n7.000000\n5.000000\n8.000000\n5."
               "000000\n9.000000\n"),
      // NTRIP 0: a zero-size request for every point's end values and
      // triples, then for both lists of both passes in each iteration.
      smoothed("NoTriplesAllowed", {"-t", "0", "-i", "2"}, kThree, zeroReports(6 + 2 * 4),
               "1.000000\n5.000000\n3.000000\n"),
      // NN 2 with two points acts as NN 1: both candidate buffers are
      // zero-size requests.
      smoothed("TwoPoints", {"-n", "2", "-i", "1"}, "0,0,1,1\n1,0,5,1\n", zeroReports(2),
               "1.000000\n5.000000\n"),
      // The work file as input (named through a link, or as standard input)
      // is refused before anything is overwritten; a link planted as the
      // work file is not followed (the victim is read through it, unchanged).
      {"InputThroughALink",
       stdinRun({"-f", "link.csv"}, "").file(kWork, triangle).link("link.csv", kWork), "", "",
       kCreateRefused, triangle, 1},
      {"InputOnStandardInput", stdinRun({}, "").file(kWork, triangle).input(kWork), "", "",
       kCreateRefused, triangle, 1},
      {"PlantedWorkFileLink", onTriangle({}).file("victim", "precious\n").link(kWork, "victim"), "",
       "", kCreateRefused, "precious\n", 1},
      // The directory itself as the input: it opens, but every read of it
      // fails, from the header line on. A work file over the file-size limit
      // is refused at a write.
      {"DirectoryAsFile", stdinRun({"-r", "-f", "."}, ""), "", "", "ERROR : Couldn't read file .\n",
       "", 1},
      {"DirectoryAsStdin", stdinRun({"-r"}, "").input("."), "", "",
       "ERROR : Couldn't read standard input\n", "", 1},
      {"WorkFileOverLimit",
       with(fileRun({"-f", "in.csv"}, longTable), [](RunSetup& s) { s.fileSizeLimit = 1000; }), "",
       "", "ERROR : Couldn't write work file tessel_temp.txt\n", longTable.substr(0, 1000), 1},
      refusedOutput("FullOutputAtTheFlush", 0, "/dev/full", 0),
      refusedOutput("FullOutputAtAWrite", 2034, "/dev/full", 0),
      refusedOutput("LogOverTheLimitAtTheClose", 1000, "", 1000),
      refusedOutput("LogOverTheLimitAtAWrite", 2034, "", 1000),
      // A program path in the UNC form without a share cannot be split: the
      // library's exception is reported with its trace, before anything is made.
      {"LibraryException", with(onTriangle({}), [](RunSetup& s) { s.argv0 = "\\\\srv"; }), "", "",
       "ERROR : Invalid UNC name\nSet() of OvFileName\n", kAbsent, 1, kAbsent},
      // A log that cannot be made is said first, before the command line's
      // own messages; the run goes on without it and ends with 1. A link
      // planted as the log is not followed, and an input that is the log
      // keeps its bytes (the harness reads the log through the link, or the
      // input itself).
      {"DirectoryAsLog", with(onTriangle({"-x"}), [](RunSetup& s) { s.dirs = {"TSLog.txt"}; }), "",
       values, noLog + "ERROR : Incorrect parameter setting X\n", triangle, 1, kAbsent},
      {"PlantedLogLink", onTriangle({}).file("victim", "precious\n").link("TSLog.txt", "victim"),
       "", values, noLog, triangle, 1, "precious\n"},
      {"InputFileIsTheLog", stdinRun({"-f", "TSLog.txt"}, "").file("TSLog.txt", triangle), "",
       values, noLog, triangle, 1, triangle},
      {"StdinIsTheLog", stdinRun({}, "").file("TSLog.txt", fields).input("TSLog.txt"), "", values,
       noLog, triangle, 1, fields},
      // A standard descriptor closed at the start stays unusable: no file the
      // run opens takes its number, so output to it is refused and input from
      // it fails, while the log and the work file hold what they should.
      {"StdoutClosed", onTriangle({}).closing({1}), "", "", kBadOutput, triangle, 1, values},
      {"StdinClosed", stdinRun({}, fields).closing({0}), "", "",
       "ERROR : Couldn't read standard input\n", "", 1},
      {"AllThreeClosed", stdinRun({}, fields).closing({0, 1, 2}), "", "", "", "", 1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = runTessel(c.setup);
    const std::string log = (c.err.rfind("ERROR : ", 0) == 0 ? "" : c.err) + c.table;
    // Standard output, standard error, TSLog.txt, tessel_temp.txt, exit status.
    EXPECT_EQ(std::make_tuple(r.out, r.err, r.log, r.work, r.status),
              std::make_tuple(c.reports + c.table, c.err, c.log.value_or(log), c.work, c.status));
  }
}

}  // namespace
