"""Ctrl-C and memory, in child interpreters: SIGINT stops a 3,000,000-point
call within 0.5 s with KeyboardInterrupt, the call's memory is released and
the interpreter goes on; an address-space limit gives MemoryError."""
import os
import signal
import subprocess
import sys
import time

import pytest

# Prints "ready", then on KeyboardInterrupt when it was caught, how much the
# resident memory grew, and whether a following call works.
CHILD = """if 1:
    import time, numpy as np, tessel
    rss = lambda: int(open('/proc/self/statm').read().split()[1]) * 4096
    columns = list(np.random.default_rng(1).random((4, 3_000_000)) * 1000 + 1)
    before = rss()
    print("ready", flush=True)
    try: tessel.smooth(*columns)
    except KeyboardInterrupt:
        caught, grown = time.monotonic(), rss() - before
        print(caught, grown, int(np.isfinite(tessel.smooth(*(c[:100] for c in columns))).all()))
"""
ASAN = "asan" in os.environ.get("LD_PRELOAD", "")


@pytest.fixture
def child():
    """A child interpreter running CHILD, killed at the end."""
    process = subprocess.Popen([sys.executable, "-c", CHILD], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    yield process
    process.kill()
    process.wait()


@pytest.mark.skipif(ASAN, reason="too slow under the sanitizers")
@pytest.mark.parametrize("delay", [0.0, 0.3, 2.0])  # before, in and well into the run
def test_sigint_stops_a_long_call(child, delay):
    assert child.stdout.readline() == "ready\n"
    time.sleep(delay)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    out, err = child.communicate(timeout=60)
    assert out, err
    caught, grown, goes_on = map(float, out.split())
    # The run's arrays (hundreds of MiB) were released.
    assert caught - sent < 0.5 and grown < 64 << 20 and goes_on == 1


@pytest.mark.skipif(ASAN, reason="the sanitizers' shadow memory needs the address space")
def test_memory_error_under_an_address_space_limit():
    # The first calls load what any call needs; the limit leaves 64 MiB more.
    done = subprocess.run([sys.executable, "-c", """if 1:
        import resource, numpy as np, tessel
        p, s = np.zeros(300000), tessel.smooth
        s([], [], [], []), s(p[:9], p[:9], p[:9], p[:9], triples=0)
        size = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()
        hard = resource.getrlimit(resource.RLIMIT_AS)[1]
        resource.setrlimit(resource.RLIMIT_AS, (size + (64 << 20), hard))
        try: s(p, p, p, p, neighbors=100)
        except MemoryError: print("MemoryError")"""], capture_output=True, text=True, timeout=60)
    assert (done.stdout, done.stderr) == ("MemoryError\n", "")
