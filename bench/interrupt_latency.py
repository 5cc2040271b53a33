"""Times Ctrl-C in a long call: a child interpreter smooths 3,000,000 uniform
points with default options, the parent sends it SIGINT some way into the
call (0.5, 1.0, ... 2.5 s after the child says it starts, in turn), and the
child prints its clock when the interrupt condition reaches it. Prints, per
language, the median time from signal to condition and the range over the
runs.

  python3 bench/interrupt_latency.py BUILD_DIR [RUNS]   (default 5 runs)

Python runs the package in BUILD_DIR/python; R runs when Rscript is there
and the package is installed in BUILD_DIR/r/lib (make r-test), else says
it is skipped. A run whose call was not interrupted shows as failed.
"""
import glob
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time

POINTS = 3_000_000

# The child prints "ready" just before the call and, on the interrupt, the
# clock that the parent reads when it sends the signal.
PYTHON_CHILD = f"""if 1:
    import time, numpy as np, tessel
    columns = list(np.random.default_rng(7).random((4, {POINTS})) * 1000 + 1)
    tessel.smooth(*(c[:9] for c in columns), triples=0)
    try:
        print("ready", flush=True)
        tessel.smooth(*columns)
        print("finished")
    except KeyboardInterrupt:
        print(repr(time.monotonic()))
"""

# R has no monotonic clock: both sides read the wall clock.
R_CHILD = f"""
library(tessel, lib.loc = commandArgs(trailingOnly = TRUE)[[1]])
set.seed(7); n <- {POINTS}
x <- runif(n) * 1000 + 1; y <- runif(n) * 1000 + 1
r <- runif(n) * 1000 + 1; w <- runif(n) * 1000 + 1
invisible(smooth_rates(x[1:9], y[1:9], r[1:9], w[1:9], triples = 0))
tryCatch({{
  cat("ready\\n"); flush(stdout())
  smooth_rates(x, y, r, w)
  cat("finished\\n")
}}, interrupt = function(e) cat(sprintf("%.6f\\n", as.numeric(Sys.time()))))
"""


def one_run(command, env, delay, clock):
    """Seconds from SIGINT to the child's interrupt condition, or None."""
    child = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, text=True)
    try:
        if child.stdout.readline() != "ready\n":
            return None
        time.sleep(delay)
        sent = clock()
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=120)
    except subprocess.TimeoutExpired:
        return None
    finally:
        child.kill()
        child.wait()
    try:
        return float(out) - sent
    except ValueError:
        return None


def report(name, command, env, clock, runs):
    times = [one_run(command, env, 0.5 * (i % 5 + 1), clock) for i in range(runs)]
    done = [t for t in times if t is not None]
    failed = len(times) - len(done)
    line = f"Ctrl-C, {name}, N = {POINTS}: "
    if done:
        line += (f"median {statistics.median(done):.3f} s "
                 f"({min(done):.3f} to {max(done):.3f} s, {len(done)} runs)")
    if failed:
        line += f"{', ' if done else ''}{failed} runs failed"
    print(line, flush=True)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    package = os.path.join(build, "python")
    if glob.glob(os.path.join(package, "tessel", "_core*.so")):
        env = dict(os.environ, PYTHONPATH=package)
        report("Python", [sys.executable, "-c", PYTHON_CHILD], env, time.monotonic, runs)
    else:
        print("Ctrl-C, Python: skipped (make python builds the package into build/python)")
    lib = os.path.join(build, "r", "lib")
    rscript = shutil.which("Rscript")
    if rscript and os.path.isdir(os.path.join(lib, "tessel")):
        report("R", [rscript, "--vanilla", "-e", R_CHILD, lib], dict(os.environ),
               time.time, runs)
    else:
        print("Ctrl-C, R: skipped (make r-test installs the package into build/r/lib)")


if __name__ == "__main__":
    main()
