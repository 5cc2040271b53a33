"""tessel.dask against the program: smooth_frame and the command give the
program's values and bytes on every layout and tile count, its messages on
bad input; a real scheduler and workers; a cancelled run frees the cluster.
Every server binds 127.0.0.1 and is stopped at the end."""
import os
import signal
import subprocess
import sys
import time

import numpy as np
import pandas as pd
import pytest

dd = pytest.importorskip("dask.dataframe", reason="dask not installed (tools/install-deps)")
distributed = pytest.importorskip("distributed", reason="distributed not installed")
import tessel  # noqa: E402
import tessel.dask  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAM = os.path.abspath(os.environ.get("TESSEL_PROGRAM", os.path.join(ROOT, "build", "tessel")))
LAYOUTS = ("uniform", "towns", "outlier", "skewed", "line", "lattice", "shared")
TILES = (1, 2, 7, 16)
ENV = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))


def run(command, cwd, timeout=300):
    done = subprocess.run(command, cwd=cwd, capture_output=True, stdin=subprocess.DEVNULL,
                          timeout=timeout, env=ENV)
    return done.returncode, done.stdout, done.stderr


def command(*arguments):
    return [sys.executable, "-m", "tessel.dask", *arguments]


@pytest.fixture(scope="module")
def cluster():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=50) as local, \
            distributed.Client(local) as client:
        yield local.scheduler_address, client


@pytest.fixture(scope="module")
def tables(tmp_path_factory):
    """Per layout: a table of 10,000 points and the program's run on it."""
    work = tmp_path_factory.mktemp("layouts")
    found = {}
    for seed, layout in enumerate(LAYOUTS):
        path = work / f"{layout}.csv"
        with open(path, "wb") as out:
            subprocess.run([os.path.join(os.path.dirname(PROGRAM), "make_points"), "10000",
                            str(seed), layout], stdout=out, check=True)
        found[layout] = path, run([PROGRAM, "-r", "-f", str(path)], work)
    return found


@pytest.mark.parametrize("layout", LAYOUTS)
def test_the_command_and_smooth_frame_give_the_programs_values(cluster, tables, layout):
    address, client = cluster
    path, expected = tables[layout]
    table = pd.read_csv(path)
    whole = tessel.smooth(table.x, table.y, table.rate, table.weight)
    rng = np.random.default_rng(len(layout))
    for tiles in TILES:
        assert run(command("-r", "-f", str(path), "--tiles", str(tiles), "--scheduler", address,
                           "--block-size", "64KiB"), path.parent) == expected, tiles
        frame = dd.from_pandas(table.set_index(table.index * 3), npartitions=int(rng.integers(1, 9)))
        series = tessel.dask.smooth_frame(frame, "rate", "weight", tiles=tiles)
        assert series.divisions == frame.divisions
        values = series.compute()
        assert values.index.equals(frame.index.compute())
        assert values.to_numpy().tobytes() == whole.tobytes(), tiles


FEW = "".join(f"{i % 7},{i // 7}.5,{i % 5},{1 + i % 3}\n" for i in range(60))
CASES = {  # name: (file bytes, options); the command must do what the program does
    "late invalid field": (FEW + "5,x,1,1\n" + FEW, []),
    "late field count": (FEW * 3 + "5,1\n", []),
    "labels": ("".join(f"r{i},{FEW.splitlines()[i]}\n" for i in range(60)) + "z,1,1,q,1\n",
               ["-c"]),
    "missing rows at the edges": ("NA,1,1,1\n" + FEW + "1,NA,2,2\n" + FEW + "1,1,1,NA\n",
                                  ["-m", "NA", "-r"]),
    "header only": ("x,y,rate,weight\n", ["-r"]),
    "no data": ("", []),
    "no neighbours": (FEW, ["-n", "0"]),
    "too big": (FEW, ["-n", "101"]),
    "mark and carriage returns": ("\ufeff" + FEW.replace("\n", "\r\n"), []),
    "NUL": (FEW + "1,2,3\x00,4\n" + FEW, []),
}


@pytest.mark.parametrize("name", CASES)
def test_the_command_says_what_the_program_says(cluster, tmp_path, name):
    text, options = CASES[name]
    (tmp_path / "t.csv").write_bytes(text.encode())
    expected = run([PROGRAM, *options, "-f", "t.csv"], tmp_path)
    got = run(command(*options, "-f", "t.csv", "--scheduler", cluster[0], "--block-size", "97"),
              tmp_path)
    assert got == expected
    assert run(command("-f", "absent.csv", "--scheduler", cluster[0]), tmp_path) == \
        run([PROGRAM, "-f", "absent.csv"], tmp_path)


def test_a_real_scheduler_and_workers(tables, tmp_path):
    path, expected = tables["towns"]
    started = []
    try:
        started.append(subprocess.Popen(
            ["dask-scheduler", "--host", "127.0.0.1", "--port", "0", "--no-dashboard",
             "--scheduler-file", str(tmp_path / "s.json")], env=ENV, stderr=subprocess.DEVNULL))
        for _ in range(2):
            started.append(subprocess.Popen(
                ["dask-worker", "--scheduler-file", str(tmp_path / "s.json"), "--host",
                 "127.0.0.1", "--nthreads", "1", "--no-dashboard"], env=ENV,
                stderr=subprocess.DEVNULL))
        with distributed.Client(scheduler_file=str(tmp_path / "s.json"), timeout=60) as client:
            client.wait_for_workers(2, timeout=60)
            address = client.scheduler.address
        assert run(command("-r", "-f", str(path), "--tiles", "3", "--scheduler", address),
                   tmp_path) == expected
    finally:
        for process in started:
            process.terminate()
        for process in started:
            process.wait(timeout=30)


def test_an_interrupted_run_frees_the_cluster(cluster, tables, tmp_path):
    address, client = cluster
    path, _ = tables["uniform"]
    running = subprocess.Popen(command("-r", "-f", str(path), "-n", "100", "-t", "80", "-i", "100",
                                       "--tiles", "4", "--scheduler", address),
                               env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    tasks = lambda: client.run_on_scheduler(lambda dask_scheduler: len(dask_scheduler.tasks))
    deadline = time.monotonic() + 60
    while tasks() == 0 and time.monotonic() < deadline:
        time.sleep(0.05)
    running.send_signal(signal.SIGINT)
    out, err = running.communicate(timeout=60)
    assert (running.returncode, out, err) == (130, b"", b"python3 -m tessel.dask: interrupted\n")
    while tasks() and time.monotonic() < deadline + 30:
        time.sleep(0.1)
    assert tasks() == 0
