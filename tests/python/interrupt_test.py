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
    def rss():
        return int(open('/proc/self/statm').read().split()[1]) * 4096
    rng = np.random.default_rng(1)
    n = 3_000_000
    columns = [rng.random(n) * 1000, rng.random(n) * 1000, rng.random(n), rng.random(n) + 1]
    before = rss()
    print("ready", flush=True)
    try:
        tessel.smooth(*columns)
        print("finished", flush=True)
    except KeyboardInterrupt:
        caught = time.monotonic()
        grown = rss() - before
        small = tessel.smooth(columns[0][:100], columns[1][:100], columns[2][:100],
                              columns[3][:100])
        print("interrupted", caught, grown, int(np.isfinite(small).all()), flush=True)
"""


@pytest.fixture
def child():
    """A child interpreter with the package on its path, stopped at the end."""
    started = []

    def start(code):
        process = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
        started.append(process)
        return process
    yield start
    for process in started:
        if process.poll() is None:
            process.kill()
        process.wait(timeout=10)


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="too slow under the sanitizers")
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


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizers' shadow memory needs the address space")
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
