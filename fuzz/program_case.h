// One whole-program fuzz case: decodes a byte string into command-line
// arguments and an input table, and checks a run's exit status and result
// table against what those arguments ask for. Shared by the libFuzzer
// target (in-process runs) and the regression replay test (runs of the
// built binary); the caller owns the bytes and the run's outputs.
//
// Layout of a case: the first line holds option words separated by blanks,
// everything after its line feed is the input table, which is both the
// file "in.csv" and standard input. A word is an option letter (optionally
// after "/", and in either case) followed by its value:
//   r c ?      the flags; anything after the letter is kept in the option
//   n t i      a count: a number, wrapped into a small range (n -2..12,
//              t -1..8, i -1..3); "!" one above the limit, "!!" a huge
//              value, "-!" a huge negative one; a text without digits is
//              passed as it is; "$" as the last word leaves out the value
//   a m        the value as it is
//   f          "-f in.csv"; "fx" a file that does not exist; "fw" the work
//              file itself, which then holds the table too (it must be
//              refused, not emptied)
//   others     an unknown option letter
#ifndef TESSEL_FUZZ_PROGRAM_CASE_H_
#define TESSEL_FUZZ_PROGRAM_CASE_H_

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace program_case {

const char kInputName[] = "in.csv";
const char kMissingName[] = "no-such-input.csv";
const char kWorkName[] = "tessel_temp.txt";
const size_t kMaxWords = 16;
// Larger cases are not run: they would only make slow runs, and the point
// count (hence the engine's N-squared tables) stays small by construction.
const size_t kMaxCaseSize = 16384;

enum class Source { kStandardInput, kTable, kMissingFile, kWorkFile };

struct ProgramCase {
  std::vector<std::string> args;  // after the program name
  std::string input;              // the table: in.csv and standard input
  // What the arguments set, as the command line reads them.
  bool help = false;
  bool valueMissing = false;
  bool header = false;
  bool labels = false;
  Source source = Source::kStandardInput;
  std::string missingText;
};

inline std::string countText(char letter, const std::string& rest) {
  int64_t low = letter == 'n' ? -2 : -1;
  int64_t high = letter == 'n' ? 12 : letter == 't' ? 8 : 3;
  int64_t limit = letter == 't' ? 80 : 100;
  if (rest == "!") return std::to_string(limit + 1);
  if (rest == "!!") return "99999999999";
  if (rest == "-!") return "-99999999999";
  size_t p = 0;
  bool negative = false;
  if (p < rest.size() && rest[p] == '-') {
    negative = true;
    ++p;
  }
  int64_t value = 0;
  size_t digits = 0;
  while (p < rest.size() && std::isdigit(static_cast<unsigned char>(rest[p]))) {
    if (digits < 9) value = value * 10 + (rest[p] - '0');
    ++digits;
    ++p;
  }
  if (digits == 0) {
    // No number: keep the text but never let a digit through.
    std::string text;
    for (char c : rest) {
      if (!std::isdigit(static_cast<unsigned char>(c))) text += c;
    }
    return text;
  }
  if (negative) value = -value;
  int64_t span = high - low + 1;
  int64_t wrapped = low + (((value - low) % span) + span) % span;
  std::string suffix;
  for (char c : rest.substr(p)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) suffix += c;
  }
  return std::to_string(wrapped) + suffix;
}

// "%s" as the command line reads it: the first blank-free word; an empty
// one keeps the previous text.
inline void readWord(const std::string& value, std::string& target) {
  size_t from = 0;
  while (from < value.size() && std::isspace(static_cast<unsigned char>(value[from]))) ++from;
  size_t to = from;
  while (to < value.size() && value[to] != '\0' &&
         !std::isspace(static_cast<unsigned char>(value[to]))) {
    ++to;
  }
  if (to > from) target = value.substr(from, to - from);
}

inline ProgramCase decodeProgramCase(const uint8_t* data, size_t size) {
  ProgramCase c;
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t lineEnd = all.find('\n');
  std::string options = all.substr(0, lineEnd);
  c.input = lineEnd == std::string::npos ? std::string() : all.substr(lineEnd + 1);

  std::vector<std::string> words;
  size_t p = 0;
  while (p < options.size() && words.size() < kMaxWords) {
    size_t end = options.find(' ', p);
    if (end == std::string::npos) end = options.size();
    if (end > p) words.push_back(options.substr(p, end - p));
    p = end + 1;
  }
  for (size_t w = 0; w < words.size(); ++w) {
    std::string word = words[w];
    std::string prefix = "-";
    if (word[0] == '/' && word.size() > 1) {
      prefix = "/";
      word = word.substr(1);
    }
    char letter = word[0];
    std::string rest = word.substr(1);
    std::string option = prefix + letter;
    switch (std::tolower(static_cast<unsigned char>(letter))) {
      case 'r':
        c.header = true;
        c.args.push_back(option + rest);
        break;
      case 'c':
        c.labels = true;
        c.args.push_back(option + rest);
        break;
      case '?':
        c.help = true;
        c.args.push_back(option + rest);
        break;
      case 'n':
      case 't':
      case 'i':
        c.args.push_back(option);
        if (rest == "$" && w + 1 == words.size()) {
          c.valueMissing = true;
        } else {
          c.args.push_back(countText(static_cast<char>(std::tolower(letter)), rest));
        }
        break;
      case 'a':
        c.args.push_back(option);
        c.args.push_back(rest);
        break;
      case 'm':
        c.args.push_back(option);
        c.args.push_back(rest);
        readWord(rest, c.missingText);
        break;
      case 'f':
        c.args.push_back(option);
        if (rest == "x") {
          c.args.push_back(kMissingName);
          c.source = Source::kMissingFile;
        } else if (rest == "w") {
          c.args.push_back(kWorkName);
          c.source = Source::kWorkFile;
        } else {
          c.args.push_back(kInputName);
          c.source = Source::kTable;
        }
        break;
      default:
        c.args.push_back(option + rest);
        break;
    }
  }
  return c;
}

// Lines as the reader sees them: every line feed ends one, and a last line
// without one still counts.
inline size_t countLines(const std::string& text) {
  size_t lines = 0;
  for (char ch : text) lines += ch == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines;
}

inline bool isValueLine(const std::string& line) {
  if (line == "inf" || line == "-inf" || line == "nan" || line == "-nan") return true;
  size_t p = line[0] == '-' ? 1 : 0;
  size_t digits = 0;
  while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) ++p, ++digits;
  if (digits == 0 || p >= line.size() || line[p] != '.') return false;
  return line.size() - p - 1 == 6 &&
         line.find_first_not_of("0123456789", p + 1) == std::string::npos;
}

// Checks a finished run; returns an empty text, or what went wrong. `out`
// is everything the run wrote to standard output.
inline std::string checkProgramResult(const ProgramCase& c, int status, std::string out) {
  if (status != 0 && status != 1 && status != 2) {
    return "exit status " + std::to_string(status);
  }
  if (c.help || c.valueMissing) {
    int want = c.help ? 0 : 2;
    if (status != want) return "usage run ended with status " + std::to_string(status);
    if (!out.empty()) return "usage run wrote to standard output";
    return std::string();
  }
  if (status == 2) return "status 2 without a usage error";
  if (status != 0) return std::string();

  // A successful run: the zero-size reports of the engine's allocator may
  // come first; then the header when asked for, and one line per data row.
  const std::string zeroReport =
      "\n\nERROR:   Allocating 0 Bytes.\n         Memory Allocation Error\n"
      "         PRESS ANY KEY TO CONTINUE";
  while (out.compare(0, zeroReport.size(), zeroReport) == 0) out.erase(0, zeroReport.size());
  if (c.header) {
    const std::string title = "Smoothed Rate\n";
    if (out.compare(0, title.size(), title) != 0) return "result table without its header";
    out.erase(0, title.size());
  }
  if (!out.empty() && out.back() != '\n') return "result table without a final line feed";

  size_t rows = 0;
  size_t lines = countLines(c.input);
  size_t perRow = c.labels ? 5 : 4;
  switch (c.source) {
    case Source::kMissingFile:
      return "a missing input file gave status 0";
    case Source::kWorkFile:
      return "an input that is the work file itself gave status 0";
    case Source::kTable:
      rows = c.header ? (lines > 0 ? lines - 1 : 0) : lines;
      break;
    case Source::kStandardInput: {
      size_t data = c.header ? (lines > perRow ? lines - perRow : 0) : lines;
      if (data % perRow != 0) return "an incomplete last row gave status 0";
      rows = data / perRow;
      break;
    }
  }
  size_t written = 0;
  for (size_t from = 0; from < out.size(); ++written) {
    size_t end = out.find('\n', from);
    std::string line = out.substr(from, end - from);
    if (line != c.missingText && !isValueLine(line)) {
      return "result line " + std::to_string(written + 1) + " is \"" + line + "\"";
    }
    from = end + 1;
  }
  if (written != rows) {
    return std::to_string(written) + " result lines for " + std::to_string(rows) + " data rows";
  }
  return std::string();
}

}  // namespace program_case

#endif  // TESSEL_FUZZ_PROGRAM_CASE_H_
