"""In a child interpreter: an address-space limit gives MemoryError; SIGINT stops a long call
with KeyboardInterrupt, its memory released, the interpreter going on (how soon: the bench)."""
import os
import signal
import subprocess
import sys
import threading
import time

import pytest

# Under a limit of 64 MiB more than is mapped, a call that needs more prints
# MemoryError. Then "ready" (inside the try, so that a signal that lands
# before the long call starts still ends in its handler), and how the long
# call ended: on KeyboardInterrupt, how much the resident memory grew,
# whether a following call works, and whether the run had reached its end
# (the last phase's report of its end), which a signal handled only after
# the call would show. The reports go to a dict's __setitem__, which runs no
# Python code: a Python callback would run the signal handler itself.
CHILD = """if 1:
    import resource, numpy as np, tessel
    statm = lambda field: int(open('/proc/self/statm').read().split()[field]) * 4096
    columns = list(np.random.default_rng(1).random((4, 3_000_000)) * 1000 + 1)
    tessel.smooth(*(c[:9] for c in columns), triples=0)  # loads what every call needs
    limits = resource.getrlimit(resource.RLIMIT_AS)
    resource.setrlimit(resource.RLIMIT_AS, (statm(0) + (64 << 20), limits[1]))
    try: tessel.smooth(*(c[:300_000] for c in columns), neighbors=100)
    except MemoryError: print("MemoryError", flush=True)
    resource.setrlimit(resource.RLIMIT_AS, limits)
    before = statm(1)
    shares = {}
    try:
        print("ready", flush=True)
        tessel.smooth(*columns, progress=shares.__setitem__)
        print("finished")
    except KeyboardInterrupt:
        grown = statm(1) - before
        goes_on = np.isfinite(tessel.smooth(*(c[:100] for c in columns))).all()
        print("KeyboardInterrupt", grown, goes_on,
              "completed" if shares.get("caller's order") == 1.0 else "stopped")
"""


# Too slow under the sanitizers, whose shadow memory also needs the address space.
@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="sanitizers")
@pytest.mark.parametrize("delay", [0.0, 0.3, 2.0])  # before, in and well into the run
def test_memory_error_and_sigint_in_a_long_call(delay):
    child = subprocess.Popen([sys.executable, "-c", CHILD], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    # Only a hang fails by time: two minutes for the whole child, one after the signal.
    watchdog = threading.Timer(120, child.kill)
    watchdog.start()
    try:
        assert child.stdout.readline() == "MemoryError\n"
        assert child.stdout.readline() == "ready\n"
        time.sleep(delay)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        watchdog.cancel()
        child.kill()
    assert (child.returncode, err) == (0, "")
    assert out.startswith("KeyboardInterrupt "), out
    grown = int(out.split()[1])
    # The run's arrays (hundreds of MiB) were released.
    assert out == f"KeyboardInterrupt {grown} True stopped\n" and grown < 64 << 20
