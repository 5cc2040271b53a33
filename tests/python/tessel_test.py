"""The module tessel against the program (tessel_test.py PROGRAM SOURCE_DIR,
the module on PYTHONPATH): values, argument errors, memory."""
import math, os, subprocess, sys, tempfile

import numpy as np
import tessel

program, source = sys.argv[1:3]
example = os.path.join(source, "examples", "rates.csv")
table = np.genfromtxt(example, delimiter=",", skip_header=1)  # "NA" fields become NaN
results = []


def check(name, got, want):
    results.append(got == want)
    if got != want:
        print(f"FAIL {name}:\n  got  {got!r}\n  want {want!r}")


# The module against `tessel -r -m NA`, every value as "%lf"; odd runs take
# strided column views, even ones lists. Zero-size work areas (triples=0)
# make the program report them before its table.
FLAGS = {"neighbors": "-n", "triples": "-t", "iterations": "-i", "theta": "-a"}
work = tempfile.TemporaryDirectory()
for number, options in enumerate([{}, dict(neighbors=2, triples=1, iterations=3),
                                   dict(theta=170.0), dict(neighbors=1, triples=0),
                                   dict(neighbors=100, triples=80, iterations=100, theta=99.5)]):
    columns = [table[:, c] if number % 2 else table[:, c].tolist() for c in range(4)]
    values = tessel.smooth(*columns, **options)
    flags = [str(a) for k, v in options.items() for a in (FLAGS[k], v)]
    run = subprocess.run([program, "-r", "-m", "NA", "-f", example] + flags, capture_output=True,
                         cwd=work.name, stdin=subprocess.DEVNULL, text=True)
    check(f"run {options}", (run.stdout[run.stdout.find("Smoothed Rate\n"):], values.dtype),
          ("Smoothed Rate\n" + "".join("NA\n" if math.isnan(v) else "%lf\n" % v for v in values),
           "float64"))

# (columns, options, the ValueError's text)
ok = ([0.0, 1.0, 2.0],) * 4
for columns, options, want in [
    (ok[:3] + ([0.0, 1.0],), {}, "x, y, rate and weight differ in length: 3, 3, 3, 2"),
    (([[0.0]],) * 4, {}, "x, y, rate and weight must be 1-D"),
    (ok[:3] + ([1.0, -math.inf, math.nan],), {}, "weight holds an infinite value at row 1"),
    ((np.broadcast_to(0.0, 2**31),) * 4, {}, "2147483648 rows are more than 2147483647"),
    (ok, dict(theta=math.inf), "theta must be finite"),
] + [(ok, {name: v}, f"{name} must be between 0 and {top}, got {v}") for name, top, v in
     [("neighbors", 100, 101), ("neighbors", 100, -1), ("triples", 80, 81), ("iterations", 100, -1)]]:
    try:
        got = repr(tessel.smooth(*columns, **options))
    except Exception as e:
        got = f"{type(e).__name__}: {e}"
    check(f"error {options}", got, "ValueError: " + want)

# A child smooths empty and zero-size runs silently, then meets MemoryError
# under an address-space limit (which the sanitizers' shadow memory cannot
# live with).
if "asan" not in os.environ.get("LD_PRELOAD", ""):
    child = subprocess.run([sys.executable, "-c", """if 1:
        import resource, numpy as np, tessel
        p, s = np.zeros(300000), tessel.smooth
        s([], [], [], []), s(p[:9], p[:9], p[:9], p[:9], triples=0)
        size = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()
        hard = resource.getrlimit(resource.RLIMIT_AS)[1]
        resource.setrlimit(resource.RLIMIT_AS, (size + (64 << 20), hard))
        try: s(p, p, p, p, neighbors=100)
        except MemoryError: print("MemoryError")"""],
                           capture_output=True, text=True)
    check("memory", (child.stdout, child.stderr), ("MemoryError\n", ""))

print(f"{results.count(True)} passed, {results.count(False)} failed")
sys.exit(0 if all(results) else 1)
