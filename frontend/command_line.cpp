#include "frontend/command_line.h"

#include "frontend/driver.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace {

const char kUsage[] =
    "\n"
    "Usage : %s [-r] [-c] [-n max-neighbors] [-t max-triples]\n"
    "             [-i iterations] [-a thetastar-degrees]\n"
    "             [-f filename] [-m missing]\n"
    "\n"
    "Options:\n"
    "    -r       First row contains field names.\n"
    "    -c       First column contains row labels.\n"
    "    -n       Maximum number of nearest neighbors to use for smoothing\n"
    "             (default 10).\n"
    "    -t       Maximum number of triples per data point\n"
    "             (default 7).\n"
    "    -i       Number of iterations to perform\n"
    "             (default 10).\n"
    "    -a       Threshold angle in degrees a.k.a. ThetaStar\n"
    "             (default 135).\n"
    "    -f       Input filename\n"
    "             (default redirection).\n"
    "    -m       Ignore records containing missing values\n"
    "             (default blank space or null character).\n"
    "    -?       Show this message.\n"
    "\n";

// Before an option word's first character: the control characters and the
// space, as OvDeblank trims them.
bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// "%d": leading white space, optional sign, decimal digits; values beyond
// the int range saturate. Without digits the target stays unchanged.
void convertInt(const char* text, int32_t& target) {
  while (isSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  if (!std::isdigit(static_cast<unsigned char>(*text))) return;
  int64_t value = 0;
  const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    if (value < limit) value = value * 10 + (*text - '0');
    if (value > limit) value = limit;
  }
  target = static_cast<int32_t>(negative ? -value : value);
}

// "%lf": as strtod converts in the C locale.
void convertDouble(const char* text, double& target) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end != text) target = value;
}

// "%s": the text up to its first white space, after leading white space.
void convertWord(const char* text, std::string& target) {
  while (isSpace(*text)) ++text;
  const char* end = text;
  while (*end != '\0' && !isSpace(*end)) ++end;
  if (end != text) target.assign(text, end);
}

}  // namespace

void writeUsage(std::FILE* stream, const char* programName) {
  std::fprintf(stream, kUsage, programName);
}

void parseCommandLine(int argc, char** argv, RunSettings& settings, RunState& state) {
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    while (*word != '\0' && isBlank(*word)) ++word;
    if (*word != '-' && *word != '/') continue;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[1])));
    switch (letter) {
      case '?':
        state.proceed = false;
        state.helpRequested = true;
        continue;
      case 'R':
        settings.firstRowHasNames = true;
        settings.headerMark = " ";
        continue;
      case 'C':
        settings.firstColumnHasLabels = true;
        settings.fieldsPerRow = 5;
        continue;
      case 'N':
      case 'T':
      case 'I':
      case 'A':
      case 'F':
      case 'M':
        break;
      default: {
        state.commandLineMessages += "ERROR : Incorrect parameter setting ";
        if (letter != '\0') state.commandLineMessages += letter;
        state.commandLineMessages += "\n";
        continue;
      }
    }
    if (i + 1 >= argc) {
      state.proceed = false;
      continue;
    }
    const char* value = argv[++i];
    switch (letter) {
      case 'N':
        convertInt(value, settings.NN);
        break;
      case 'T':
        convertInt(value, settings.NTRIP);
        break;
      case 'I':
        convertInt(value, settings.NITER);
        break;
      case 'A':
        convertDouble(value, settings.ThetaStar);
        break;
      case 'F':
        convertWord(value, settings.inputFileName);
        settings.readFromFile = true;
        break;
      case 'M':
        convertWord(value, settings.missingText);
        break;
    }
  }
}

int usageStatus(const RunState& state) {
  return state.helpRequested ? kExitSuccess : kExitUsageError;
}
