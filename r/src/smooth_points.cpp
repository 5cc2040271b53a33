// The R package's one compiled entry: smooths complete rows (the R side has
// dropped the rows with an NA and checked every argument) on a Workspace of
// its own and returns one value per row.
//
// R's errors and interrupts leave a function by a long jump, which would skip
// the destructors of the C++ objects in between. So no R call that can jump
// is made while a C++ object with a destructor lives: the progress hook asks
// R for a pending interrupt inside R_ToplevelExec, which stops the jump there
// and reports it as a failed call; a cancelled run or a C++ exception is
// caught, every C++ object is destroyed, and only then is R's interrupt
// raised or R's error called, from the entry's outermost frame.
#include <Rcpp.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "tessel/tessel.h"

namespace {

// Run inside R_ToplevelExec: a pending interrupt jumps out of this function
// to R_ToplevelExec, which then returns FALSE.
void checkInterrupt(void*) { R_CheckUserInterrupt(); }

bool interruptPending() { return R_ToplevelExec(checkInterrupt, nullptr) == FALSE; }

enum class Outcome { kDone, kInterrupted, kFailed };

// Smooths the n rows of the four columns into out. Throws what the core
// throws: tessel::Cancelled when R has an interrupt pending, std::bad_alloc
// when memory runs out.
void smoothInto(const double* const columns[4], int32_t n, const tessel::SmoothingOptions& options,
                double* out) {
  tessel::RaisingAllocation policy;
  tessel::Workspace ws(policy);
  ws.setProgress([](tessel::Phase, double) { return !interruptPending(); });
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
// core's limits; theta: a finite double. Returns the smoothed values.
extern "C" SEXP tessel_smooth_points(SEXP x, SEXP y, SEXP rate, SEXP weight, SEXP neighbors,
                                     SEXP triples, SEXP iterations, SEXP theta) {
  const SEXP inputs[4] = {x, y, rate, weight};
  for (const SEXP input : inputs) {
    if (TYPEOF(input) != REALSXP || Rf_xlength(input) != Rf_xlength(x)) {
      Rf_error("smooth_rates: x, y, rate and weight must be double vectors of one length");
    }
  }
  const R_xlen_t n = Rf_xlength(x);
  if (n > INT32_MAX) Rf_error("smooth_rates: more than %d rows", INT32_MAX);
  // Allocated before any C++ object exists, since a failure jumps.
  SEXP result = PROTECT(Rf_allocVector(REALSXP, n));
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
    smoothInto(columns, static_cast<int32_t>(n), options, REAL(result));
  } catch (const tessel::Cancelled&) {
    outcome = Outcome::kInterrupted;
  } catch (const std::bad_alloc&) {
    outcome = Outcome::kFailed;
    std::snprintf(message, sizeof message, "smooth_rates: not enough memory for the smoothing");
  } catch (const std::exception& e) {
    outcome = Outcome::kFailed;
    std::snprintf(message, sizeof message, "smooth_rates: %s", e.what());
  }
  UNPROTECT(1);
  // Every C++ object of the call is gone: R may jump from here on.
  if (outcome == Outcome::kInterrupted) Rf_onintr();
  if (outcome == Outcome::kFailed) Rf_error("%s", message);
  return result;
}

namespace {

const R_CallMethodDef kCallMethods[] = {
    // Through void (*)(), the type that any function pointer may be cast to
    // and back without a warning.
    {"tessel_smooth_points",
     reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(&tessel_smooth_points)), 8},
    {nullptr, nullptr, 0},
};

}  // namespace

extern "C" void R_init_tessel(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCallMethods, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}
