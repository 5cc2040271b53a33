"""tessel.dask against the program, byte for byte, on every layout, tile count and input;
its own options, loopback-only local clusters, lost clusters, TLS. Servers bind 127.0.0.1."""
import itertools
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import numpy as np
import pandas as pd
import pytest

dask = pytest.importorskip("dask", reason="dask not installed (tools/install-deps)")
dd = pytest.importorskip("dask.dataframe", reason="dask not installed (tools/install-deps)")
distributed = pytest.importorskip("distributed", reason="distributed not installed")
psutil = pytest.importorskip("psutil", reason="psutil not installed")
import tessel  # noqa: E402
import tessel.dask  # noqa: E402
import tessel._tiled  # noqa: E402
from conftest import EXAMPLE, assert_same_diagnostics, example_diagnostics  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAM = os.path.abspath(os.environ.get("TESSEL_PROGRAM", os.path.join(ROOT, "build", "tessel")))
LAYOUTS = ("uniform", "towns", "outlier", "skewed", "line", "lattice", "shared")
ENV = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
HANG = 120  # seconds: only a bound that catches a hang
# Dask's HTTP servers listen on every interface unless given an address.
LOOPBACK_HTTP = ["--no-dashboard", "--dashboard-address", "127.0.0.1:0"]


def run(command, cwd, stdin=subprocess.DEVNULL, close_stdout=False, timeout=HANG, env=ENV):
    if close_stdout:
        command = ["sh", "-c", 'exec "$@" >&-', "sh", *command]
    done = subprocess.run(command, cwd=cwd, capture_output=True, stdin=stdin, timeout=timeout,
                          env=env)
    return done.returncode, done.stdout, done.stderr


def command(*arguments):
    return [sys.executable, "-m", "tessel.dask", *arguments]


def make_points(path, count, seed, layout):
    with open(path, "wb") as out:
        subprocess.run([os.path.join(os.path.dirname(PROGRAM), "make_points"), str(count),
                        str(seed), layout], stdout=out, check=True)
    return path


@pytest.fixture(scope="module")
def cluster():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1",
                                  dashboard_address="127.0.0.1:0",
                                  scheduler_kwargs={"dashboard": False},
                                  worker_dashboard_address="127.0.0.1:0",
                                  silence_logs=50) as local, \
            distributed.Client(local) as client:
        yield local.scheduler_address, client


@pytest.fixture(scope="module")
def long_table(tmp_path_factory):  # its run with the heaviest options takes seconds
    return make_points(tmp_path_factory.mktemp("long") / "long.csv", 50000, 9, "uniform")


def until(check):  # polls check() until it holds or HANG seconds pass; its last answer
    deadline = time.monotonic() + HANG
    while not (answer := check()) and time.monotonic() < deadline:
        time.sleep(0.1)
    return answer


def wait_for_smoothing(client):  # until a tile is being smoothed
    until(lambda: client.run_on_scheduler(lambda dask_scheduler: any(
        "smooth_tile" in str(key) for key, task in dask_scheduler.tasks.items()
        if task.state == "processing")))


def idle(client):  # whether the scheduler holds no task (within HANG seconds)
    return until(lambda: client.run_on_scheduler(lambda dask_scheduler: not dask_scheduler.tasks))


@pytest.fixture(scope="module")
def tables(tmp_path_factory):  # per layout, 4,000 points
    work = tmp_path_factory.mktemp("layouts")
    return {layout: make_points(work / f"{layout}.csv", 4000, seed, layout)
            for seed, layout in enumerate(LAYOUTS)}


# Few iterations and many tiles show a halo or a neighbour ball cut short;
# the shared and lattice layouts' ties show a row order lost across tiles.
OPTIONS = {1: [], 16: ["-i", "1"], 9: ["-i", "2", "-n", "4", "-t", "3"], 5: ["-n", "25", "-i", "3"]}


@pytest.mark.parametrize("layout", LAYOUTS)
def test_the_command_and_smooth_frame_give_the_programs_values(cluster, tables, layout):
    address, client = cluster
    path = tables[layout]
    table = pd.read_csv(path)
    rng = np.random.default_rng(len(layout))
    for tiles, options in OPTIONS.items():
        assert run(command("-r", *options, "-f", str(path), "--tiles", str(tiles), "--scheduler",
                           address, "--block-size", "20KiB"), path.parent) == \
            run([PROGRAM, "-r", *options, "-f", str(path)], path.parent), (options, tiles)
    whole = tessel.smooth(table.x, table.y, table.rate, table.weight, iterations=2)
    frame = dd.from_pandas(table.set_index(table.index * 3), npartitions=int(rng.integers(1, 9)))
    series = tessel.dask.smooth_frame(frame, "rate", "weight", tiles=12, iterations=2)
    assert series.divisions == frame.divisions
    values = series.compute()
    assert values.index.equals(frame.index.compute())
    assert values.to_numpy().tobytes() == whole.tobytes()


@pytest.mark.parametrize("iterations", [10, 0])  # 0: the neighbours still from other tiles
def test_smooth_frame_gives_the_whole_tables_diagnostics(cluster, iterations):
    table = pd.read_csv(EXAMPLE)
    table = table.set_axis(np.random.default_rng(6).permutation(len(table)) * 2)
    options = dict(x="x_km", y="y_km", iterations=iterations, diagnostics=True)
    frame = dd.from_pandas(table, npartitions=5, sort=False)
    got = tessel.dask.smooth_frame(frame, "rate_per_1000", "population", tiles=6,
                                   **options).compute()
    whole = tessel.smooth_frame(table, "rate_per_1000", "population", **options)
    assert got.index.equals(table.index) and got["smoothed"].equals(whole["smoothed"])
    assert_same_diagnostics(got, example_diagnostics() if iterations else {
        name: column.to_numpy(np.float64) for name, column in whole.items() if name != "smoothed"})


@pytest.mark.parametrize("layout", ["uniform", "towns", "shared"])
def test_narrow_strips_answer_as_the_whole_tile(tables, monkeypatch, layout):
    # Strips a tenth and a third as wide as the default: many queries reach
    # past them to the whole tile's index, others stay in them. In this
    # process, so that the narrower width holds.
    table = pd.read_csv(tables[layout])
    for width, iterations in itertools.product((0.1, 0.3), (1, 10)):
        monkeypatch.setattr(tessel._tiled, "STRIP_BOUNDS", width)
        whole = tessel.smooth(table.x, table.y, table.rate, table.weight, iterations=iterations)
        with dask.config.set(scheduler="sync"):
            got = tessel.dask.smooth_frame(dd.from_pandas(table, npartitions=2), "rate", "weight",
                                           tiles=3, iterations=iterations).compute()
        assert got.to_numpy().tobytes() == whole.tobytes(), (width, iterations)
    # Tiles of a point or two, whose strips hold all or none of them.
    for n in range(2, 6):
        part = table.head(n)
        whole = tessel.smooth(part.x, part.y, part.rate, part.weight)
        with dask.config.set(scheduler="sync"):
            got = tessel.dask.smooth_frame(dd.from_pandas(part, npartitions=1), "rate", "weight",
                                           tiles=n).compute()
        assert got.to_numpy().tobytes() == whole.tobytes(), n


def test_smooth_frame_names_an_infinite_values_row_by_its_label(cluster):
    table = pd.DataFrame({"x": [0.0, 1, 2, 3], "y": [0.0, 1, 0, 1], "rate": [np.nan, np.inf, 2, 3],
                          "weight": 1.0}, index=[10, 20, 30, 40])
    with pytest.raises(ValueError, match="holds an infinite value at row 20$") as refusal:
        tessel.dask.smooth_frame(dd.from_pandas(table, npartitions=2), "rate", "weight")
    # The cluster keeps nothing of the call, while its traceback still lives.
    assert refusal.tb is not None and idle(cluster[1])


FEW = "".join(f"{i % 7},{i // 7}.5,{i % 5},{1 + i % 3}\n" for i in range(60))
# name: (file bytes, options, how the input reaches both); the command must do
# what the program does, byte for byte, status and all.
CASES = {
    "late invalid field": (FEW + "5,x,1,1\n" + FEW, [], "file"),
    "late field count": (FEW * 3 + "5,1\n", [], "file"),
    "labels": ("".join(f"r{i},{FEW.splitlines()[i]}\n" for i in range(60)) + "z,1,1,q,1\n",
               ["-c"], "file"),
    "missing rows at the edges": ("NA,1,1,1\n" + FEW + "1,NA,2,2\n" + FEW + "1,1,1,NA\n",
                                  ["-m", "NA", "-r"], "file"),
    "every row missing": ("NA,1,1,1\n1,NA,1,1\n", ["-m", "NA"], "file"),
    "header only": ("x,y,rate,weight\n", ["-r"], "file"),
    "empty with a header row": ("", ["-r"], "file"),
    "no data": ("", [], "file"),
    **{" ".join(o): (FEW, o, "file") for o in (["-n", "0"], ["-t", "0", "-r"], ["-n", "101"],
       ["-t", "-1"], ["-i", "-5", "-r"], ["-a", "nan"], ["-a", "inf"], ["-a", "1e400"])},
    "mark and carriage returns": ("\ufeff" + FEW.replace("\n", "\r\n"), [], "file"),
    "NUL": (FEW + "1,2,3\x00,4\n" + FEW, [], "file"),
    **{" ".join(o): ("", o, "none") for o in (["-f", "."], ["-f", "absent.csv"], ["-f"], ["-?"])},
    "standard input, one field per line": ("\n".join(FEW.replace("\n", ",").split(",")),
                                           ["-r"], "stdin"),
    "a pipe as the file": (FEW, ["-f", "/dev/stdin"], "pipe"),
    "standard output closed": (FEW, [], "closed"),
}


@pytest.mark.parametrize("name", CASES)
def test_the_command_says_what_the_program_says(cluster, tmp_path, name):
    text, options, how = CASES[name]
    (tmp_path / "t.csv").write_bytes(text.encode())
    words = options + (["-f", "t.csv"] if how in ("file", "closed") else [])
    own = ["--scheduler", cluster[0], "--block-size", "97"]

    def both(program):
        if how in ("stdin", "pipe"):
            with open(tmp_path / "t.csv", "rb") as source:
                if how == "stdin":
                    return run(program, tmp_path, stdin=source)
                feeder = subprocess.Popen(["cat"], stdin=source, stdout=subprocess.PIPE)
                try:
                    return run(program, tmp_path, stdin=feeder.stdout)
                finally:
                    feeder.stdout.close()
                    feeder.wait(timeout=HANG)
        return run(program, tmp_path, close_stdout=how == "closed")

    expected = both([PROGRAM, *words])
    got = both(command(*words, *own))
    assert got == expected
    assert b"Traceback" not in got[2]


@pytest.mark.parametrize("options,says", [
    (["--block-size", "-5"], b"--block-size must be at least 1 byte"),
    (["--memory-limit", "abc"], b"--memory-limit takes a size"),
    (["--workers", "0"], b"--workers must be at least 1"),
    (["--tiles", "two"], b"--tiles takes a whole number"),
    (["--scheduler", "http://127.0.0.1:8786"], b"--scheduler takes tcp://HOST:PORT"),
    (["--scheduler", "tcp://127.0.0.1:1", "--workers", "2"], b"--workers applies to the local"),
    (["--dashboard", "x"], b"--dashboard takes a port"),
    (["--timeout", "0"], b"--timeout takes a number of seconds"),
    (["--local-directory", "/nonexistent"], b"--local-directory: '/nonexistent' is not"),
])
def test_the_commands_own_options_are_checked_before_any_work(tmp_path, options, says):
    (tmp_path / "t.csv").write_bytes(FEW.encode())
    code, out, err = run(command("-f", "t.csv", *options), tmp_path, timeout=60)
    assert (code, out) == (2, b"")
    assert err.startswith(b"python3 -m tessel.dask: " + says) and err.count(b"\n") == 1


def tree(pid):
    try:
        root = psutil.Process(pid)
        return [root] + root.children(recursive=True)
    except psutil.NoSuchProcess:
        return []


def listening(process):
    try:
        return {c.laddr.ip for c in process.connections("inet") if c.status == psutil.CONN_LISTEN}
    except psutil.Error:
        return set()


def allocator(process):
    try:
        environ = process.environ()
    except psutil.Error:
        return None
    return tuple(environ.get(name) for name in
                 ("MALLOC_MMAP_THRESHOLD_", "MALLOC_TRIM_THRESHOLD_", "GLIBC_TUNABLES"))


@pytest.mark.parametrize("dashboard", [[], ["--dashboard", "0"]])
def test_a_local_run_listens_on_loopback_only_and_leaves_nothing(tables, tmp_path, dashboard):
    path = tables["uniform"]
    expected = run([PROGRAM, "-r", "-n", "40", "-i", "40", "-f", str(path)], tmp_path)
    running = subprocess.Popen(command("-r", "-n", "40", "-i", "40", "-f", str(path),
                                       "--workers", "2", *dashboard),
                               cwd=tmp_path, env=dict(ENV, TMPDIR=str(tmp_path)),
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    seen, addresses, allocators = {}, set(), set()
    deadline = time.monotonic() + HANG
    while running.poll() is None and time.monotonic() < deadline:
        processes = tree(running.pid)
        seen.update((p.pid, p) for p in processes)
        addresses = addresses.union(*map(listening, processes))
        allocators.update(map(allocator, processes))
        time.sleep(0.2)
    out, err = running.communicate(timeout=HANG)
    assert (running.returncode, out, err) == expected
    # The scheduler, the nannies and the workers listened, all on loopback.
    assert addresses and addresses <= {"127.0.0.1", "::1"}, addresses
    # The workers kept freed memory for the next arrays, on huge pages.
    assert (str(32 << 20), str(64 << 20), "glibc.malloc.hugetlb=1") in allocators, allocators
    assert not [p for p in seen.values() if p.is_running() and p.status() != "zombie"]
    # The private scratch directory (made under TMPDIR) is gone with the run.
    assert not [name for name in os.listdir(tmp_path) if name.startswith("tessel-dask-")]


def test_a_worker_that_cannot_hold_its_work_ends_the_run(tables, tmp_path):
    path = tables["uniform"]
    code, out, err = run(command("-r", "-f", str(path), "--workers", "1", "--memory-limit", "1MiB",
                                 "--timeout", "10"), tmp_path)
    assert (code, out) == (1, b"")
    # The tiles' size is told once the rows are read (a worker may fail before).
    assert re.fullmatch(rb"ERROR : the cluster's workers could not hold their work with 1.00 MiB"
                        rb" each( \(tiles of about 4,000 points\))?: give a larger --memory-limit"
                        rb" or more --tiles\n", err), err


def start(arguments, tmp_path, name):
    return subprocess.Popen(arguments, env=ENV, stdout=open(tmp_path / f"{name}.log", "wb"),
                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)


def stop(processes):
    for process in processes:
        process.terminate()
    for process in processes:
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=30)


def start_cluster(tmp_path, started, workers, options, worker_options=()):
    """A dask-scheduler and dask-worker processes on 127.0.0.1; its address."""
    info = tmp_path / "s.json"
    started.append(start(["dask-scheduler", "--host", "127.0.0.1", "--port", "0",
                          *LOOPBACK_HTTP, "--scheduler-file", str(info), *options],
                         tmp_path, "scheduler"))
    for k in range(workers):
        started.append(start(["dask-worker", "--scheduler-file", str(info), "--host", "127.0.0.1",
                              "--nthreads", "1", *LOOPBACK_HTTP, *options[2:], *worker_options],
                             tmp_path, k))
    deadline = time.monotonic() + HANG
    while time.monotonic() < deadline:
        if info.exists() and info.stat().st_size:
            return json.loads(info.read_text())["address"]
        time.sleep(0.2)
    raise TimeoutError("no scheduler")


@pytest.mark.parametrize("lose", ["worker", "scheduler"])
def test_a_cluster_that_goes_away_ends_the_run(long_table, tmp_path, lose):
    started = []
    try:
        address = start_cluster(tmp_path, started, 1, ["--protocol", "tcp"], ["--no-nanny"])
        with distributed.Client(address, timeout=HANG) as client:
            client.wait_for_workers(1, timeout=HANG)
            running = subprocess.Popen(command("-r", "-f", str(long_table), "-n", "100", "-t", "80",
                                               "-i", "100", "--scheduler", address,
                                               "--timeout", "5"),
                                       env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            wait_for_smoothing(client)
        started[1 if lose == "worker" else 0].kill()
        out, err = running.communicate(timeout=HANG)
        said = {"worker": b"the cluster has had no worker for 5 s: start workers for it",
                "scheduler": b"lost the cluster's scheduler: check that it runs"}[lose]
        assert (running.returncode, out, err) == (1, b"", b"ERROR : %s, then run again\n" % said)
    finally:
        stop(started)


def test_tls_scheduler_and_workers(tables, tmp_path):
    if shutil.which("openssl") is None:
        pytest.skip("openssl not installed")
    path = tables["towns"]
    # One certificate for 127.0.0.1, its own authority, for every party.
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-keyout", "key.pem", "-out", "cert.pem", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"],
                   cwd=tmp_path, check=True, capture_output=True)
    cert, key = str(tmp_path / "cert.pem"), str(tmp_path / "key.pem")
    started = []
    try:
        address = start_cluster(tmp_path, started, 2, ["--protocol", "tls", "--tls-ca-file", cert,
                                                      "--tls-cert", cert, "--tls-key", key])
        assert address.startswith("tls://127.0.0.1:")
        env = dict(ENV, DASK_DISTRIBUTED__COMM__REQUIRE_ENCRYPTION="True",
                   DASK_DISTRIBUTED__COMM__TLS__CA_FILE=cert,
                   DASK_DISTRIBUTED__COMM__TLS__CLIENT__CERT=cert,
                   DASK_DISTRIBUTED__COMM__TLS__CLIENT__KEY=key)
        assert run(command("-r", "-f", str(path), "--tiles", "3", "--scheduler", address),
                   tmp_path, env=env) == run([PROGRAM, "-r", "-f", str(path)], tmp_path)
        # Without the certificates the scheduler is not reached.
        code, out, err = run(command("-r", "-f", str(path), "--scheduler", address,
                                     "--timeout", "5"), tmp_path)
        assert (code, out) == (1, b"") and err.startswith(b"ERROR : cannot reach the scheduler")
    finally:
        stop(started)


def test_an_interrupted_run_frees_the_cluster(cluster, long_table, tmp_path):
    address, client = cluster
    running = subprocess.Popen(command("-r", "-f", str(long_table), "-n", "100", "-t", "80",
                                       "-i", "100", "--tiles", "4", "--scheduler", address),
                               env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    wait_for_smoothing(client)
    running.send_signal(signal.SIGINT)
    out, err = running.communicate(timeout=HANG)
    assert (running.returncode, out, err) == (130, b"", b"python3 -m tessel.dask: interrupted\n")
    assert idle(client)
