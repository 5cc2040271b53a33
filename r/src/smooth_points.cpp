// The R package's compiled entries: tessel_smooth_columns smooths four
// double vectors through the core's column entry (which checks the columns
// and the options and maps the missing rows), reporting the call's
// progress to an R function when it is given one and returning the per-row
// diagnostics on request; tessel_option_limits gives the options' limits
// as the core's header sets them.
//
// R's errors and interrupts leave a function by a long jump, which would skip
// the destructors of the C++ objects in between. So no R call that can jump
// is made unguarded while a C++ object with a destructor lives: every R
// vector the call fills is allocated before the first C++ object. The
// progress hook asks R for a pending interrupt inside R_ToplevelExec, which
// stops the jump there and reports it as a failed call. It calls the R
// progress function inside R_UnwindProtect, whose cleanup jumps back into
// the hook before any C++ frame is crossed; the hook then stops the run. A
// cancelled run or a C++ exception is caught, every C++ object is
// destroyed, and only then is R's interrupt raised, R's error called, or
// the progress function's jump (an error, an interrupt, a restart)
// continued, from the entry's outermost frame. What the core refuses in
// the columns or the options comes back to R as data, for R to word.
#include <Rcpp.h>

#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>

#include "tessel/tessel.h"

namespace {

// Run inside R_ToplevelExec: a pending interrupt jumps out of this function
// to R_ToplevelExec, which then returns FALSE.
void checkInterrupt(void*) { R_CheckUserInterrupt(); }

bool interruptPending() { return R_ToplevelExec(checkInterrupt, nullptr) == FALSE; }

// The R function that draws the progress, function(phase, share), and what
// a call of it left behind. It is called when the phase changes and at most
// every kRedraw otherwise: a redraw takes R half a millisecond to a
// millisecond and a half, so the bar costs under 1 % of the call.
struct ProgressCall {
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kRedraw = std::chrono::milliseconds(200);

  SEXP function = R_NilValue;  // R_NilValue when there is none
  SEXP continuation = R_NilValue;
  const char* phase = nullptr;  // the last call's phase name; null before it
  double share = 0.0;
  Clock::time_point last{};
  bool jumped = false;  // the call left by a jump, which continuation holds
};

SEXP callProgress(void* data) {
  const ProgressCall& call = *static_cast<const ProgressCall*>(data);
  SEXP phase = PROTECT(Rf_mkString(call.phase));
  SEXP share = PROTECT(Rf_ScalarReal(call.share));
  SEXP expression = PROTECT(Rf_lang3(call.function, phase, share));
  Rf_eval(expression, R_BaseEnv);
  UNPROTECT(3);
  return R_NilValue;
}

// R_UnwindProtect's cleanup: on a jump, back to reportProgress's setjmp.
void stopJump(void* data, Rboolean jump) {
  if (jump) std::longjmp(*static_cast<std::jmp_buf*>(data), 1);
}

// Calls the progress function; false when it left by a jump. No object with
// a destructor lives in this frame, which the long jump re-enters.
bool reportProgress(ProgressCall* call) {
  std::jmp_buf back;
  if (setjmp(back) != 0) {
    call->jumped = true;
    return false;
  }
  R_UnwindProtect(callProgress, call, stopJump, &back, call->continuation);
  return true;
}

// The core's progress hook: false (stop) when R has an interrupt pending or
// the progress function left by a jump. The progress function hears the
// phase and the share of the whole call when the phase changes, and at most
// every ProgressCall::kRedraw otherwise.
bool tellProgress(ProgressCall* progress, tessel::Phase phase, double share) {
  if (interruptPending()) return false;
  if (progress->function == R_NilValue) return true;
  const char* name = tessel::phaseName(phase);
  const ProgressCall::Clock::time_point now = ProgressCall::Clock::now();
  const bool samePhase = progress->phase != nullptr && std::strcmp(name, progress->phase) == 0;
  if (samePhase && now - progress->last < ProgressCall::kRedraw) return true;
  progress->phase = name;
  progress->share = tessel::runShare(phase, share);
  progress->last = now;
  return reportProgress(progress);
}

// What the core refused, copied out of its exception, which is gone before
// R builds the description.
struct Refusal {
  const char* kind = "";  // "option" or "column"
  const char* what = "";  // the option's name, or the columns' problem
  int64_t minimum = 0;    // an option's range
  int64_t maximum = 0;
  const char* column = nullptr;  // an infinite value's column; null otherwise
  int64_t row = -1;              // its row, from 0
  int64_t lengths[4] = {0, 0, 0, 0};
  char message[256] = "";  // the core's own wording
};

const char* problemName(tessel::ColumnError::Problem problem) {
  switch (problem) {
    case tessel::ColumnError::kLengthsDiffer:
      return "lengths differ";
    case tessel::ColumnError::kTooManyRows:
      return "too many rows";
    case tessel::ColumnError::kInfiniteValue:
      return "infinite value";
  }
  return "";
}

// A count as R gives it (a whole number, as a double) in int64_t; beyond
// that type's range the nearest end, which the core refuses as it refuses
// any count out of its own range.
int64_t countOf(double value) {
  if (value >= 9.2e18) return INT64_MAX;
  if (value <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(value);
}

constexpr int kDiagnosticColumns = 8;
const char* const kDiagnosticNames[kDiagnosticColumns] = {
    "neighbors",   "radius", "interior_triples", "end_triples", "low_screen",
    "high_screen", "held",   "last_change"};
const SEXPTYPE kDiagnosticTypes[kDiagnosticColumns] = {INTSXP,  REALSXP, INTSXP, INTSXP,
                                                       REALSXP, REALSXP, LGLSXP, INTSXP};

// The core's diagnostics into R vectors of n entries each, in
// kDiagnosticNames' order; held becomes logical.
void copyDiagnostics(const tessel::Diagnostics& d, R_xlen_t n, SEXP columns[]) {
  for (R_xlen_t i = 0; i < n; ++i) {
    const size_t k = static_cast<size_t>(i);
    INTEGER(columns[0])[i] = d.neighbors[k];
    REAL(columns[1])[i] = d.radius[k];
    INTEGER(columns[2])[i] = d.interior_triples[k];
    INTEGER(columns[3])[i] = d.end_triples[k];
    REAL(columns[4])[i] = d.low_screen[k];
    REAL(columns[5])[i] = d.high_screen[k];
    LOGICAL(columns[6])[i] = d.held[k] != 0 ? TRUE : FALSE;
    INTEGER(columns[7])[i] = d.last_change[k];
  }
}

// A named list of count protected values; the list itself unprotected.
SEXP namedList(const char* const names[], const SEXP values[], int count) {
  SEXP list = PROTECT(Rf_allocVector(VECSXP, count));
  SEXP listNames = PROTECT(Rf_allocVector(STRSXP, count));
  for (int i = 0; i < count; ++i) {
    SET_VECTOR_ELT(list, i, values[i]);
    SET_STRING_ELT(listNames, i, Rf_mkChar(names[i]));
  }
  Rf_setAttrib(list, R_NamesSymbol, listNames);
  UNPROTECT(2);
  return list;
}

// The refusal as R data: kind, what, minimum, maximum, column, row (from
// 1, as R counts), lengths, message.
SEXP describe(const Refusal& refusal) {
  const char* const names[] = {"kind",   "what", "minimum", "maximum",
                               "column", "row",  "lengths", "message"};
  SEXP values[8];
  values[0] = PROTECT(Rf_mkString(refusal.kind));
  values[1] = PROTECT(Rf_mkString(refusal.what));
  values[2] = PROTECT(Rf_ScalarReal(static_cast<double>(refusal.minimum)));
  values[3] = PROTECT(Rf_ScalarReal(static_cast<double>(refusal.maximum)));
  values[4] =
      PROTECT(refusal.column == nullptr ? Rf_ScalarString(NA_STRING) : Rf_mkString(refusal.column));
  values[5] =
      PROTECT(Rf_ScalarReal(refusal.row < 0 ? NA_REAL : static_cast<double>(refusal.row) + 1));
  values[6] = PROTECT(Rf_allocVector(REALSXP, 4));
  for (int c = 0; c < 4; ++c) REAL(values[6])[c] = static_cast<double>(refusal.lengths[c]);
  values[7] = PROTECT(Rf_mkString(refusal.message));
  SEXP list = namedList(names, values, 8);
  UNPROTECT(8);
  return list;
}

enum class Outcome { kDone, kInterrupted, kFailed, kJumped, kRefused };

}  // namespace

// x, y, rate, weight: double vectors (the core checks their lengths and
// values; a row with an NA or NaN is missing and comes back NA); counts:
// neighbors, triples and iterations, whole numbers as doubles; theta: a
// double; progress: NULL or an R function called as progress(phase, share)
// on R's thread, with the phase's name and the share of the whole call
// done; diagnostics: TRUE for the per-row diagnostics. Returns
// list(values, diagnostics, refused): diagnostics a named list of columns
// when asked for (else NULL); refused NULL, or what the core refused, as
// describe() lays it out (values then unset).
extern "C" SEXP tessel_smooth_columns(SEXP x, SEXP y, SEXP rate, SEXP weight, SEXP counts,
                                      SEXP theta, SEXP progress, SEXP diagnostics) {
  const SEXP inputs[4] = {x, y, rate, weight};
  for (const SEXP input : inputs) {
    if (TYPEOF(input) != REALSXP) Rf_error("smooth_rates: x, y, rate and weight must be doubles");
  }
  if (TYPEOF(counts) != REALSXP || Rf_xlength(counts) != 3 || TYPEOF(theta) != REALSXP ||
      Rf_xlength(theta) != 1) {
    Rf_error("smooth_rates: the options must be three counts and an angle, as doubles");
  }
  if (progress != R_NilValue && !Rf_isFunction(progress)) {
    Rf_error("smooth_rates: progress must be NULL or a function");
  }
  const bool wantDiagnostics = Rf_asLogical(diagnostics) == TRUE;
  const R_xlen_t n = Rf_xlength(x);
  // Allocated before any C++ object exists, since a failure jumps.
  int protectedCount = 0;
  SEXP values = PROTECT(Rf_allocVector(REALSXP, n));
  ++protectedCount;
  SEXP columns[kDiagnosticColumns] = {};
  if (wantDiagnostics) {
    for (int c = 0; c < kDiagnosticColumns; ++c) {
      columns[c] = PROTECT(Rf_allocVector(kDiagnosticTypes[c], n));
      ++protectedCount;
    }
  }
  ProgressCall call;
  call.function = progress;
  call.continuation = PROTECT(R_MakeUnwindCont());
  ++protectedCount;
  Refusal refusal;
  char message[256] = "";
  Outcome outcome = Outcome::kDone;
  try {
    auto view = [](SEXP column) {
      return tessel::ColumnView{REAL(column), static_cast<int64_t>(Rf_xlength(column)), 1};
    };
    tessel::OptionValues options;
    options.neighbors = countOf(REAL(counts)[0]);
    options.triples = countOf(REAL(counts)[1]);
    options.iterations = countOf(REAL(counts)[2]);
    options.theta = REAL(theta)[0];
    ProgressCall* const reported = &call;
    tessel::Diagnostics found;
    tessel::smooth(
        view(x), view(y), view(rate), view(weight), options, REAL(values),
        [reported](tessel::Phase phase, double share) {
          return tellProgress(reported, phase, share);
        },
        0, wantDiagnostics ? &found : nullptr);
    if (wantDiagnostics) copyDiagnostics(found, n, columns);
  } catch (const tessel::Cancelled&) {
    outcome = call.jumped ? Outcome::kJumped : Outcome::kInterrupted;
  } catch (const tessel::OptionError& e) {
    outcome = Outcome::kRefused;
    refusal.kind = "option";
    refusal.what = e.name();
    refusal.minimum = e.minimum();
    refusal.maximum = e.maximum();
    std::snprintf(refusal.message, sizeof refusal.message, "%s", e.what());
  } catch (const tessel::ColumnError& e) {
    outcome = Outcome::kRefused;
    refusal.kind = "column";
    refusal.what = problemName(e.problem());
    if (e.column() >= 0) refusal.column = tessel::columnName(e.column());
    refusal.row = e.row();
    for (int c = 0; c < 4; ++c) refusal.lengths[c] = e.length(c);
    std::snprintf(refusal.message, sizeof refusal.message, "%s", e.what());
  } catch (const std::bad_alloc&) {
    outcome = Outcome::kFailed;
    std::snprintf(message, sizeof message, "smooth_rates: not enough memory for the smoothing");
  } catch (const std::exception& e) {
    outcome = Outcome::kFailed;
    std::snprintf(message, sizeof message, "smooth_rates: %s", e.what());
  }
  // Every C++ object of the call is gone: R may jump from here on (a jump
  // resets R's protection stack).
  if (outcome == Outcome::kJumped) R_ContinueUnwind(call.continuation);
  if (outcome == Outcome::kInterrupted) Rf_onintr();
  if (outcome == Outcome::kFailed) Rf_error("%s", message);
  const char* const names[] = {"values", "diagnostics", "refused"};
  SEXP parts[3] = {values, R_NilValue, R_NilValue};
  if (outcome == Outcome::kRefused) {
    parts[2] = PROTECT(describe(refusal));
    ++protectedCount;
  } else {
    // A missing row's value, NaN from the core, is R's NA.
    double* out = REAL(values);
    for (R_xlen_t i = 0; i < n; ++i) {
      if (std::isnan(out[i])) out[i] = NA_REAL;
    }
    if (wantDiagnostics) {
      parts[1] = PROTECT(namedList(kDiagnosticNames, columns, kDiagnosticColumns));
      ++protectedCount;
    }
  }
  SEXP result = namedList(names, parts, 3);
  UNPROTECT(protectedCount);
  return result;
}

// The most neighbors, triples and iterations the core takes.
extern "C" SEXP tessel_option_limits() {
  const char* const names[] = {"neighbors", "triples", "iterations"};
  const int limits[] = {tessel::kMaxNN, tessel::kMaxNTRIP, tessel::kMaxNITER};
  SEXP result = PROTECT(Rf_allocVector(INTSXP, 3));
  SEXP resultNames = PROTECT(Rf_allocVector(STRSXP, 3));
  for (int i = 0; i < 3; ++i) {
    INTEGER(result)[i] = limits[i];
    SET_STRING_ELT(resultNames, i, Rf_mkChar(names[i]));
  }
  Rf_setAttrib(result, R_NamesSymbol, resultNames);
  UNPROTECT(2);
  return result;
}

namespace {

const R_CallMethodDef kCallMethods[] = {
    // Through void (*)(), the type that any function pointer may be cast to
    // and back without a warning.
    {"tessel_smooth_columns",
     reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(&tessel_smooth_columns)), 8},
    {"tessel_option_limits",
     reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(&tessel_option_limits)), 0},
    {nullptr, nullptr, 0},
};

}  // namespace

extern "C" void R_init_tessel(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCallMethods, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}
