"""Ctrl-C and memory, in child interpreters: SIGINT stops a 3,000,000-point
call within 0.5 s with KeyboardInterrupt, the call's memory is released and
the interpreter goes on; an address-space limit gives MemoryError."""
import os
import signal
import subprocess
import sys
import time

import pytest

CHILD = """if 1:
    import time, numpy as np, tessel
    rss = lambda: int(open('/proc/self/statm').read().split()[1]) * 4096
    columns = list(np.random.default_rng(1).random((4, 3_000_000)) * 1000 + 1)
    before = rss()
    print("ready", flush=True)
    try:
        tessel.smooth(*columns)
    except KeyboardInterrupt:
        caught, grown = time.monotonic(), rss() - before
        goes_on = np.isfinite(tessel.smooth(*(c[:100] for c in columns))).all()
        print("interrupted", caught, grown, int(goes_on), flush=True)
"""
ASAN = "asan" in os.environ.get("LD_PRELOAD", "")


@pytest.fixture
def child():
    """Starts child interpreters; kills those still running at the end."""
    started = []
    yield lambda code: started.append(subprocess.Popen(
        [sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
        stdin=subprocess.DEVNULL, text=True)) or started[-1]
    for process in started:
        process.kill()
        process.wait()


@pytest.mark.skipif(ASAN, reason="too slow under the sanitizers")
@pytest.mark.parametrize("delay", [0.0, 0.3, 2.0])  # before, in and well into the run
def test_sigint_stops_a_long_call(child, delay):
    process = child(CHILD)
    assert process.stdout.readline() == "ready\n"
    time.sleep(delay)
    sent = time.monotonic()
    process.send_signal(signal.SIGINT)
    out, err = process.communicate(timeout=60)
    word, caught, grown, goes_on = out.split()
    assert word == "interrupted", err
    assert float(caught) - sent < 0.5
    assert int(grown) < 64 << 20  # the run's arrays (hundreds of MiB) were released
    assert goes_on == "1"


@pytest.mark.skipif(ASAN, reason="the sanitizers' shadow memory needs the address space")
def test_memory_error_under_an_address_space_limit(child):
    process = child("""if 1:
        import resource, numpy as np, tessel
        p, s = np.zeros(300000), tessel.smooth
        s([], [], [], []), s(p[:9], p[:9], p[:9], p[:9], triples=0)
        size = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()
        hard = resource.getrlimit(resource.RLIMIT_AS)[1]
        resource.setrlimit(resource.RLIMIT_AS, (size + (64 << 20), hard))
        try: s(p, p, p, p, neighbors=100)
        except MemoryError: print("MemoryError")""")
    assert process.communicate(timeout=60) == ("MemoryError\n", "")
