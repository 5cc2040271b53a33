// End-to-end cases of the built program: every output byte and the exit
// status for command lines, the options' way into the input reader, the
// reports, the failures of reading and writing, and the protection of the
// log and the work file. The point set is mostly a triangle whose values no
// smoothing changes, so a case pins the front end only (the reader's
// outcomes are replayed from the fuzz corpus, the values are the engine
// suite's and r_expected's).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

#include "e2e/run_binary.h"
#include "frontend/command_line.h"

namespace {

// The allocator's report of a zero-size work area, count times.
std::string zeroReports(int count) {
  std::string all;
  while (count-- > 0)
    all +=
        "\n\nERROR:   Allocating 0 Bytes.\n         Memory Allocation Error\n"
        "         PRESS ANY KEY TO CONTINUE";
  return all;
}

struct Case {
  const char* name;
  RunSetup setup;
  std::string reports;  // standard output before the table, not logged
  std::string table;    // the result table
  std::string err, work;
  int status;
  // The log when it is not the rule's: the reports that are not "ERROR : "
  // lines, then the table.
  std::optional<std::string> log = std::nullopt;
};

// The usage text with a program name, its first line as it must be.
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

// A full standard output, or a log over the file-size limit, refused at the
// final flush or close (a table shorter than the stdio buffer), or at the
// write of the last line feed that fills the buffer exactly (markBytes 2034).
Case refusedOutput(const char* name, size_t markBytes, bool fullOutput) {
  const std::string mark(markBytes, 'm'), table = kTriangleValues + mark + "\n" + mark + "\n";
  const std::string rows = kTriangle + mark + ",1,1,1\n1," + mark + ",1,1\n";
  Case c{name,
         fileRun({"-m", mark, "-f", "in.csv"}, rows),
         "",
         "",
         "ERROR : Couldn't write standard output: No space left on device\n",
         kTriangle,
         1,
         table};
  if (fullOutput) {
    c.setup.stdoutPath = "/dev/full";
  } else {
    c.setup.fileSizeLimit = 1000;
    c.table = table;
    c.err = "ERROR : Couldn't write log file TSLog.txt\n";
    c.log = table.substr(0, 1000);
  }
  return c;
}

RunSetup onTriangle(std::vector<std::string> args) {
  args.insert(args.end(), {"-f", "in.csv"});
  return fileRun(args, kTriangle);
}

TEST(Program, ProducesExactBytes) {
  const std::string triangle = kTriangle, values = kTriangleValues, mark = "\xEF\xBB\xBF";
  const std::string tinyRate = "0,0,0." + std::string(400, '0') + "1,1\n1,0,0.25,2\n0,1,0.125,3\n";
  const std::string wideRow(4999999, ',');               // 5,000,000 empty fields
  const std::string longTable = pointTable("line", 40);  // 1,139 bytes
  const std::string two = "0,0,1,1\n1,0,5,1\n", three = two + "2,0,3,1\n";
  const std::string fields = "0\n0\n0.5\n1\n1\n0\n0.25\n2\n0\n1\n0.125\n3\n";
  const std::string noLog = "ERROR : Couldn't create log file TSLog.txt\n";
  const char kWork[] = "tessel_temp.txt";
  const char kCreateRefused[] = "ERROR : Couldn't create work file tessel_temp.txt\n";
  const char kNoStdin[] = "ERROR : Couldn't read standard input\n";
  const Case cases[] = {
      // The command line. A count without digits keeps its default (with NTRIP 0
      // the zero-size work areas would be reported).
      {"UnknownLetters", onTriangle({"-x", "5", "-", "-t", "none"}), "", values,
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
      // A value option without its value, and -? with one: the usage text
      // with the name from the program's path, and no work file.
      {"ValueMissing", stdinRun({"-n"}, ""), "", "", usage("tessel"), kAbsent, 2},
      {"HelpWins",
       with(stdinRun({"/?", "-t"}, ""), [](RunSetup& s) { s.argv0 = "/opt/x.1/prog.exe"; }), "", "",
       usage("prog"), kAbsent, 0},
      // -r, -c and -m reach the reader; missing rows keep their places.
      {"FileHeaderLabelsMarker",
       fileRun({"-r", "-c", "-m", "NA", "-f", "in.csv"},
               "id,x,y,r,w\r\nl,9,NA,9,9\r\na b,0 , 0,0.5,\t1\r\nm,NA,9,9,9\nn,9,9,9,NA\n"
               "b,1,0,0.25,2\nc,0,1,0.125,3\no,9,9,NA,9"),
       "", "Smoothed Rate\nNA\n0.500000\nNA\nNA\n0.250000\n0.125000\nNA\n", "", triangle, 0},
      // A rate below the smallest double leaves the mapped loading of the
      // work file for the line-by-line reading.
      {"TinyRate", fileRun({"-f", "in.csv"}, tinyRate), "", "0.000000\n0.250000\n0.125000\n", "",
       tinyRate, 0},
      // Bytes from 0x80 up are text: they may be the marker, and are not
      // skipped before an option word (no NN of 200). A byte-order mark
      // opening the input is skipped, even when it is all there is.
      {"EmDashAsMarker",
       fileRun({"-m", "\xe2\x80\x94", "-f", "in.csv"}, " \xe2\x80\x94\t,1,1,1\n" + triangle), "",
       "\xe2\x80\x94\n" + values, "", triangle, 0},
      {"NoBreakSpaceOption", onTriangle({"\xa0-n", "200"}), "", values, "", triangle, 0},
      {"MarkOpeningFile", fileRun({"-r", "-f", "in.csv"}, mark + "x,y\n" + triangle), "",
       "Smoothed Rate\n" + values, "", triangle, 0},
      {"MarkAlone", fileRun({"-f", "in.csv"}, mark), "", "", "No input data detected.\n", "", 1},
      {"WideRow", fileRun({"-f", "in.csv"}, wideRow + "\n"), "", "",
       "Invalid number of fields! : Expecting 4, got 5000000 : Row 1 : " + wideRow + "\n\n", "", 1},
      // Zero-size work areas: nine without points; with NTRIP 0 every
      // point's end values and triples, then both lists of both passes per
      // iteration; NN 2 with two points acts as NN 1.
      {"EmptyWithHeader", fileRun({"-r", "-f", "in.csv"}, ""), zeroReports(9), "Smoothed Rate\n",
       "", "", 0},
      {"EveryRowIgnored", fileRun({"-m", "NA", "-f", "in.csv"}, "NA,1,1,1\n2,NA,2,2\n"),
       zeroReports(9), "NA\nNA\n", "", "", 0},
      {"NoTriplesAllowed", fileRun({"-t", "0", "-i", "2", "-f", "in.csv"}, three),
       zeroReports(6 + 2 * 4), "1.000000\n5.000000\n3.000000\n", "", three, 0},
      {"TwoPoints", fileRun({"-n", "2", "-i", "1", "-f", "in.csv"}, two), zeroReports(2),
       "1.000000\n5.000000\n", "", two, 0},
      // The work file as input (through a link, or as standard input) is
      // refused before it is emptied; a link planted as the work file is not
      // followed (the harness reads the victim through it).
      {"InputThroughALink",
       stdinRun({"-f", "link.csv"}, "").file(kWork, triangle).link("link.csv", kWork), "", "",
       kCreateRefused, triangle, 1},
      {"InputOnStandardInput", stdinRun({}, "").file(kWork, triangle).input(kWork), "", "",
       kCreateRefused, triangle, 1},
      {"PlantedWorkFileLink", onTriangle({}).file("victim", "precious\n").link(kWork, "victim"), "",
       "", kCreateRefused, "precious\n", 1},
      // A FIFO there, whose open for writing would wait for a reader, is
      // refused as it is (still no regular file), without waiting.
      {"PlantedWorkFileFifo",
       with(onTriangle({}), [](RunSetup& s) { s.fifos = {"tessel_temp.txt"}; }), "", "",
       kCreateRefused, kAbsent, 1},
      // A directory as the input fails at its first read; a work file over
      // the file-size limit is refused at a write.
      {"DirectoryAsFile", stdinRun({"-r", "-f", "."}, ""), "", "", "ERROR : Couldn't read file .\n",
       "", 1},
      {"DirectoryAsStdin", stdinRun({"-r"}, "").input("."), "", "", kNoStdin, "", 1},
      {"WorkFileOverLimit",
       with(fileRun({"-f", "in.csv"}, longTable), [](RunSetup& s) { s.fileSizeLimit = 1000; }), "",
       "", "ERROR : Couldn't write work file tessel_temp.txt\n", longTable.substr(0, 1000), 1},
      refusedOutput("FullOutputAtTheFlush", 0, true),
      refusedOutput("FullOutputAtAWrite", 2034, true),
      refusedOutput("LogOverTheLimitAtTheClose", 1000, false),
      refusedOutput("LogOverTheLimitAtAWrite", 2034, false),
      // A UNC program path without a share: the library's exception with
      // its trace, before anything is made.
      {"LibraryException", with(onTriangle({}), [](RunSetup& s) { s.argv0 = "\\\\srv"; }), "", "",
       "ERROR : Invalid UNC name\nSet() of OvFileName\n", kAbsent, 1, kAbsent},
      // A log that cannot be made is said first; the run goes on without it
      // and ends with 1. A planted link is not followed, and an input that
      // is the log keeps its bytes.
      {"DirectoryAsLog", with(onTriangle({"-x"}), [](RunSetup& s) { s.dirs = {"TSLog.txt"}; }), "",
       values, noLog + "ERROR : Incorrect parameter setting X\n", triangle, 1, kAbsent},
      {"PlantedLogLink", onTriangle({}).file("victim", "precious\n").link("TSLog.txt", "victim"),
       "", values, noLog, triangle, 1, "precious\n"},
      {"InputFileIsTheLog", stdinRun({"-f", "TSLog.txt"}, "").file("TSLog.txt", triangle), "",
       values, noLog, triangle, 1, triangle},
      {"StdinIsTheLog", stdinRun({}, "").file("TSLog.txt", fields).input("TSLog.txt"), "", values,
       noLog, triangle, 1, fields},
      // A standard descriptor closed at the start stays unusable: no file
      // the run opens takes its number.
      {"StdoutClosed", onTriangle({}).closing({1}), "", "",
       "ERROR : Couldn't write standard output: Bad file descriptor\n", triangle, 1, values},
      {"StdinClosed", stdinRun({}, fields).closing({0}), "", "", kNoStdin, "", 1},
      {"AllThreeClosed", stdinRun({}, fields).closing({0, 1, 2}), "", "", "", "", 1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = runTessel(c.setup);
    const std::string log = (c.err.rfind("ERROR : ", 0) == 0 ? "" : c.err) + c.table;
    EXPECT_EQ(std::make_tuple(r.out, r.err, r.log, r.work, r.status),
              std::make_tuple(c.reports + c.table, c.err, c.log.value_or(log), c.work, c.status));
  }
}

}  // namespace
