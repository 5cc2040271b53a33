// The R package's one compiled entry: smooths complete rows (the R side has
// dropped the rows with an NA and checked every argument) on a Workspace of
// its own and returns one value per row, reporting the run's progress to an
// R function when it is given one.
//
// R's errors and interrupts leave a function by a long jump, which would skip
// the destructors of the C++ objects in between. So no R call that can jump
// is made unguarded while a C++ object with a destructor lives. The progress
// hook asks R for a pending interrupt inside R_ToplevelExec, which stops the
// jump there and reports it as a failed call. It calls the R progress
// function inside R_UnwindProtect, whose cleanup jumps back into the hook
// before any C++ frame is crossed; the hook then stops the run. A cancelled
// run or a C++ exception is caught, every C++ object is destroyed, and only
// then is R's interrupt raised, R's error called, or the progress function's
// jump (an error, an interrupt, a restart) continued, from the entry's
// outermost frame.
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
// every kRedraw otherwise: a redraw costs R about half a millisecond.
struct ProgressCall {
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kRedraw = std::chrono::milliseconds(100);

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

enum class Outcome { kDone, kInterrupted, kFailed, kJumped };

// Smooths the n rows of the four columns into out, telling progress.function
// (when there is one) the phase and the share of the whole run done. Throws
// what the core throws: tessel::Cancelled when R has an interrupt pending or
// the progress function jumped, std::bad_alloc when memory runs out.
void smoothInto(const double* const columns[4], int32_t n, const tessel::SmoothingOptions& options,
                ProgressCall* progress, double* out) {
  tessel::RaisingAllocation policy;
  tessel::Workspace ws(policy);
  ws.setProgress([progress](tessel::Phase phase, double share) {
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
  });
  ws.allocate(n, options);
  ws.forEachChunk(n, 4096, [&](int32_t begin, int32_t end) {
    for (int32_t i = begin; i < end; ++i) {
      ws.loadPoint(i, columns[0][i], columns[1][i], columns[2][i], columns[3][i]);
    }
  });
  ws.run();
  const double* values = ws.values();
  for (int32_t i = 0; i < n; ++i) out[i] = values[i];
}

}  // namespace

// x, y, rate, weight: double vectors of one length without NA, NaN or an
// infinite value; neighbors, triples, iterations: integers within the
// core's limits; theta: a finite double; progress: NULL or an R function
// called as progress(phase, share) about every 20 ms of the run, on R's
// thread, with the phase's name and the share of the whole run done (only
// growing, from 0). Returns the smoothed values.
extern "C" SEXP tessel_smooth_points(SEXP x, SEXP y, SEXP rate, SEXP weight, SEXP neighbors,
                                     SEXP triples, SEXP iterations, SEXP theta, SEXP progress) {
  const SEXP inputs[4] = {x, y, rate, weight};
  for (const SEXP input : inputs) {
    if (TYPEOF(input) != REALSXP || Rf_xlength(input) != Rf_xlength(x)) {
      Rf_error("smooth_rates: x, y, rate and weight must be double vectors of one length");
    }
  }
  const R_xlen_t n = Rf_xlength(x);
  if (n > INT32_MAX) Rf_error("smooth_rates: more than %d rows", INT32_MAX);
  if (progress != R_NilValue && !Rf_isFunction(progress)) {
    Rf_error("smooth_rates: progress must be NULL or a function");
  }
  // Allocated before any C++ object exists, since a failure jumps.
  SEXP result = PROTECT(Rf_allocVector(REALSXP, n));
  ProgressCall call;
  call.function = progress;
  call.continuation = PROTECT(R_MakeUnwindCont());
  char message[256] = "";
  Outcome outcome = Outcome::kDone;
  try {
    const double* const columns[4] = {REAL(x), REAL(y), REAL(rate), REAL(weight)};
    for (const double* column : columns) {
      for (R_xlen_t i = 0; i < n; ++i) {
        if (!std::isfinite(column[i])) throw std::invalid_argument("a value is not finite");
      }
    }
    tessel::SmoothingOptions options;
    options.NN = Rcpp::as<int32_t>(neighbors);
    options.NTRIP = Rcpp::as<int32_t>(triples);
    options.NITER = Rcpp::as<int32_t>(iterations);
    options.ThetaStar = Rcpp::as<double>(theta);
    if (tessel::checkLimits(options.NN, options.NTRIP, options.NITER) !=
            tessel::LimitCheck::kWithinLimits ||
        options.NITER < 0 || !std::isfinite(options.ThetaStar)) {
      throw std::invalid_argument("an option is out of range");
    }
    smoothInto(columns, static_cast<int32_t>(n), options, &call, REAL(result));
  } catch (const tessel::Cancelled&) {
    outcome = call.jumped ? Outcome::kJumped : Outcome::kInterrupted;
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
  UNPROTECT(2);
  if (outcome == Outcome::kInterrupted) Rf_onintr();
  if (outcome == Outcome::kFailed) Rf_error("%s", message);
  return result;
}

namespace {

const R_CallMethodDef kCallMethods[] = {
    // Through void (*)(), the type that any function pointer may be cast to
    // and back without a warning.
    {"tessel_smooth_points",
     reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(&tessel_smooth_points)), 9},
    {nullptr, nullptr, 0},
};

}  // namespace

extern "C" void R_init_tessel(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCallMethods, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}
