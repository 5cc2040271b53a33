"""python3 -m tessel.dask: the program's command run on a Dask cluster.

The program's own front end (tessel._core, built from the program's C++)
reads the options, reads and checks the rows, decides how the run goes on
and says so, and formats the result table: its bytes, messages and exit
statuses are the program's, without the log and the work file. This module
only orchestrates: it starts a cluster on this machine (127.0.0.1 only, no
HTTP server open, a private scratch directory) or joins one, has the
workers read a regular -f file in byte ranges (any other input is read on
the client, as the program reads it), smooths the table in tiles
(tessel._tiled), writes the result in row order, and ends the run with a
message when the cluster cannot go on (tessel._watch).
"""
from __future__ import annotations

import contextlib
import logging
import os
import shutil
import sys
import tempfile
from typing import Any, Iterator, Sequence

from . import _core

PROGRAM = b"tessel"
NAME = "python3 -m tessel.dask"
BLOCK_SIZE = 32 << 20
TIMEOUT = 60.0

HELP = """
Options of the cluster run (the program's options above work as they do there):
    --scheduler ADDRESS  Run on the Dask scheduler at ADDRESS (tcp://HOST:PORT
                         or tls://HOST:PORT; Dask's own configuration applies,
                         TLS certificates included). Default: a cluster on
                         this machine, one worker process with a thread per
                         core, listening on 127.0.0.1 only, with no HTTP
                         server open.
    --workers N          Worker processes of that local cluster (the cores
                         shared out among their threads).
    --memory-limit SIZE  Memory of each of its workers (e.g. 1.5GiB).
    --local-directory DIR  Its workers' scratch space (default: a private
                         directory made for the run and removed after it).
    --dashboard ADDRESS  Serve its dashboard at ADDRESS (a port, or HOST:PORT;
                         the host is 127.0.0.1 unless given); off unless given.
    --tiles K            Spatial tiles (default: one per million points).
    --block-size SIZE    Bytes of the file each task reads (default 32MiB).
    --timeout SECONDS    How long the run waits for a cluster that cannot go on
                         (no scheduler, no worker, workers out of memory)
                         before it ends with a message (default 60).
    --progress           Show Dask's progress bar on standard error.
    -h, --help           Show this message.

A regular -f file is read by the workers, so it must lie at the same path on
every worker; standard input and any other source are read on this machine.
The result table goes to standard output, as the program writes it; no work
file and no log file are written. A Dask scheduler runs whatever its clients
send: never let one be reached from an untrusted network.
"""

# The cluster run's own options, with whether each takes a value.
OWN = {"--scheduler": True, "--workers": True, "--memory-limit": True, "--dashboard": True,
       "--tiles": True, "--block-size": True, "--timeout": True, "--local-directory": True,
       "--progress": False, "--help": False, "-h": False}
LOCAL_ONLY = ("--workers", "--memory-limit", "--dashboard", "--local-directory")


class UsageError(Exception):
    pass


def _split_arguments(arguments: Sequence[str]) -> tuple[dict, list[str]]:
    own: dict = {}
    program: list[str] = []
    words = list(arguments)
    while words:
        word = words.pop(0)
        name, equals, value = word.partition("=")
        if name not in OWN:
            program.append(word)
            continue
        if not OWN[name]:
            if equals:
                raise UsageError(f"{name} takes no value")
            own[name] = True
            continue
        if not equals:
            if not words:
                raise UsageError(f"{name} needs a value")
            value = words.pop(0)
        own[name] = value
    return own, program


def _whole(name: str, text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise UsageError(f"{name} takes a whole number, not {text!r}") from None
    if value < 1:
        raise UsageError(f"{name} must be at least 1, got {value}")
    return value


def _size(name: str, text: str) -> int:
    from dask.utils import parse_bytes

    try:
        value = parse_bytes(text)
    except (ValueError, TypeError):
        raise UsageError(f"{name} takes a size such as 64MiB, not {text!r}") from None
    if value < 1:
        raise UsageError(f"{name} must be at least 1 byte, got {text!r}")
    return int(value)


def _address(text: str) -> str:
    from distributed.comm import parse_address, parse_host_port

    try:
        scheme, location = parse_address(text, strict=True)
        if scheme not in ("tcp", "tls"):
            raise ValueError(scheme)
        parse_host_port(location)
    except (ValueError, TypeError):
        raise UsageError(f"--scheduler takes tcp://HOST:PORT or tls://HOST:PORT, not {text!r}") \
            from None
    return text


def _dashboard(text: str) -> str:
    host, colon, port = text.rpartition(":")
    if not colon:
        host = "127.0.0.1"
    try:
        number = int(port)
    except ValueError:
        number = -1
    if not 0 <= number <= 65535 or (colon and not host):
        raise UsageError(f"--dashboard takes a port or HOST:PORT, not {text!r}")
    return f"{host}:{number}"


def _check(own: dict) -> dict:
    """The run's own options, each checked before any work starts."""
    if "--scheduler" in own:
        given = [name for name in LOCAL_ONLY if name in own]
        if given:
            raise UsageError(f"{given[0]} applies to the local cluster, not with --scheduler")
    checked = {
        "scheduler": _address(own["--scheduler"]) if "--scheduler" in own else None,
        "workers": _whole("--workers", own["--workers"]) if "--workers" in own else None,
        "tiles": _whole("--tiles", own["--tiles"]) if "--tiles" in own else None,
        "block": _size("--block-size", own["--block-size"]) if "--block-size" in own
        else BLOCK_SIZE,
        "memory": _size("--memory-limit", own["--memory-limit"]) if "--memory-limit" in own
        else None,
        "dashboard": _dashboard(own["--dashboard"]) if "--dashboard" in own else None,
        "directory": own.get("--local-directory"),
        "timeout": TIMEOUT,
        "progress": "--progress" in own,
    }
    if "--timeout" in own:
        try:
            timeout = float(own["--timeout"])
        except ValueError:
            timeout = -1.0
        if not 0 < timeout < 1e6:
            raise UsageError(f"--timeout takes a number of seconds, not {own['--timeout']!r}")
        checked["timeout"] = timeout
    directory = checked["directory"]
    if directory is not None and not os.path.isdir(directory):
        raise UsageError(f"--local-directory: {directory!r} is not a directory")
    return checked


class _Streams:
    """Standard output and error written by descriptor, as the program
    writes them: bytes unchanged, standard output's failure kept. While the
    local cluster's processes run they write to descriptors of their own
    (set aside), so that nothing of theirs mixes with the run's."""

    def __init__(self) -> None:
        self.output_error = 0
        self.fds = (1, 2)

    def out(self, data: bytes) -> None:
        if self.output_error:
            return
        try:
            _write_all(self.fds[0], data)
        except OSError as error:
            self.output_error = error.errno or 5

    def err(self, data: bytes | str) -> None:
        with contextlib.suppress(OSError):
            _write_all(self.fds[1], data.encode() if isinstance(data, str) else data)

    @contextlib.contextmanager
    def set_aside(self, path: str) -> Iterator[None]:
        """Processes started in the body inherit standard output and error
        that go to the file path; the run writes to its own through copies."""
        log = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND | os.O_CLOEXEC, 0o600)
        saved = (os.dup(1), os.dup(2))
        try:
            os.dup2(log, 1)
            os.dup2(log, 2)
            self.fds = saved
            yield
        finally:
            self.fds = (1, 2)
            os.dup2(saved[0], 1)
            os.dup2(saved[1], 2)
            for fd in (log, *saved):
                os.close(fd)


def _write_all(fd: int, data: bytes) -> None:
    view = memoryview(data)
    while view:
        view = view[os.write(fd, view):]


def main(arguments: Sequence[str] | None = None) -> int:
    arguments = sys.argv[1:] if arguments is None else list(arguments)
    # Before anything opens a file: a closed standard descriptor stays closed
    # to the run's writes instead of taking the next file's number.
    _core.reserve_standard_descriptors()
    streams = _Streams()
    try:
        own, program = _split_arguments(arguments)
        if "--help" in own or "-h" in own:
            streams.err(_core.usage([PROGRAM]) + HELP.encode())
            return _core.EXIT_SUCCESS
        checked = _check(own)
    except UsageError as error:
        streams.err(f"{NAME}: {error}\n")
        return _core.EXIT_USAGE
    argv = [PROGRAM] + [os.fsencode(word) for word in program]
    line = _core.command_line(argv)
    streams.err(line["messages"])
    if not line["proceed"]:
        streams.err(_core.usage(argv))
        return line["status"]
    # Standard error carries the program's messages and the run's own:
    # Dask's log (and the event loop's notes about its connections) are
    # held back; what went wrong with the cluster is said once, by the run.
    import distributed  # noqa: F401 (it sets up its loggers when imported)

    for name in ["asyncio", "tornado", *logging.root.manager.loggerDict]:
        if name.split(".")[0] in ("distributed", "asyncio", "tornado"):
            logging.getLogger(name).setLevel(logging.CRITICAL + 1)
    from ._watch import ClusterStopped, watched

    try:
        with _cluster(checked, streams) as (client, memory):
            with watched(client, checked["timeout"], memory,
                         checked["scheduler"] is None, streams.err) as watch:
                return _run(argv, line, checked, client, streams, watch)
    except ClusterStopped as stop:
        if not stop.said:
            streams.err(f"ERROR : {stop}\n")
        return _core.EXIT_FAILURE
    except KeyboardInterrupt:
        streams.err(f"{NAME}: interrupted\n")
        return 130


def _huge_page_tunables(tunables: str) -> str:
    """GLIBC_TUNABLES with malloc's huge pages asked for, unless it already
    says whether to use them."""
    names = [item.split("=", 1)[0] for item in tunables.split(":") if item]
    if "glibc.malloc.hugetlb" in names:
        return tunables
    return ":".join(([tunables] if tunables else []) + ["glibc.malloc.hugetlb=1"])


@contextlib.contextmanager
def _cluster(checked: dict, streams: _Streams) -> Iterator[tuple[Any, int | None]]:
    """A client of the given scheduler, or of a cluster on this machine,
    and the memory limit of its workers when known. The local cluster
    listens on 127.0.0.1 only, keeps every HTTP server closed unless a
    dashboard is asked for, works in a private scratch directory, and is
    shut down, its processes with it, on every way out. What those
    processes print goes to "workers.log" in the scratch directory."""
    import dask
    from distributed import Client

    from ._watch import ClusterStopped

    if checked["scheduler"] is not None:
        try:
            client = Client(checked["scheduler"], timeout=checked["timeout"])
        except Exception as error:  # whatever Dask says of an address it cannot reach
            raise ClusterStopped(f"cannot reach the scheduler at {checked['scheduler']}: "
                                 f"{error}") from None
        with client:
            yield client, None
        return
    from distributed import LocalCluster

    from ._dask_setup import lean_versions
    from ._watch import reaped

    lean_versions()
    dashboard = checked["dashboard"]
    scratch = checked["directory"] or tempfile.mkdtemp(prefix="tessel-dask-")
    # The core smooths a tile on every core of the machine, so one worker
    # process is enough; more only move the tiles between processes and
    # start more interpreters (10,000,000 points: 0.83 times the
    # core-seconds of one process per core, bench/README.md).
    workers = checked["workers"] or 1
    threads = max(1, (os.cpu_count() or 1) // workers)
    # With no dashboard the HTTP servers that Dask always starts serve
    # nothing; the workers' are never dashboards. A worker out of memory is
    # restarted rather than paused, so that a task that cannot fit fails.
    # Dask starts its workers with MALLOC_TRIM_THRESHOLD_ set, so that they
    # give freed memory back; that also fixes glibc's mmap threshold at
    # 128 KiB, and every array of a tile is then mapped afresh and faulted
    # in page by page, which doubled the halo work's CPU time. Arrays of up
    # to 32 MiB come from the heap instead. Its top is trimmed only past
    # 64 MiB free, so that the next tile's arrays take the pages the last
    # one freed instead of faulting fresh ones in, and glibc advises what
    # it maps onto huge pages: half the page faults at 10,000,000 points.
    environ = dict(dask.config.get("distributed.nanny.pre-spawn-environ", {}) or {})
    environ["MALLOC_MMAP_THRESHOLD_"] = 32 << 20
    environ["MALLOC_TRIM_THRESHOLD_"] = 64 << 20
    environ["GLIBC_TUNABLES"] = _huge_page_tunables(
        str(environ.get("GLIBC_TUNABLES", os.environ.get("GLIBC_TUNABLES", ""))))
    settings = {"distributed.worker.memory.pause": False,
                "distributed.scheduler.allowed-failures": 2,
                "distributed.nanny.pre-spawn-environ": environ,
                # Between processes of one machine compressing what they
                # send costs CPU time and saves nothing.
                "distributed.comm.compression": None,
                # A worker's statistical profiler walks its threads' stacks
                # every 10 ms on its event loop, holding the interpreter's
                # lock (without it, 0.96 to 0.98 times the core-seconds);
                # only a dashboard shows what it gathers.
                "distributed.worker.profile.enabled": dashboard is not None,
                # Each worker sets itself up as the command's process did.
                "distributed.worker.preload":
                    list(dask.config.get("distributed.worker.preload", []) or [])
                    + ["tessel._dask_setup"]}
    if dashboard is None:
        settings.update({"distributed.scheduler.http.routes": [],
                         "distributed.worker.http.routes": []})
    try:
        with dask.config.set(settings), streams.set_aside(os.path.join(scratch, "workers.log")), \
                reaped():
            with LocalCluster(n_workers=workers, threads_per_worker=threads, processes=True,
                              host="127.0.0.1", scheduler_port=0,
                              dashboard_address=dashboard or "127.0.0.1:0",
                              scheduler_kwargs={"dashboard": dashboard is not None},
                              worker_dashboard_address="127.0.0.1:0",
                              memory_limit=checked["memory"] or "auto",
                              local_directory=scratch, silence_logs=logging.CRITICAL) as cluster:
                with Client(cluster) as client:
                    yield client, checked["memory"]
    finally:
        if checked["directory"] is None:
            shutil.rmtree(scratch, ignore_errors=True)


def _read_range(argv: list, path: bytes, offset: int, length: int, rows_before: int) -> dict:
    return _core.read_range(argv, path, offset, length, rows_before)


def _meta(block: dict) -> tuple:
    return block["rows"], len(block["x"]), block["stopped"]


def _points(block: dict) -> tuple:
    return block["x"], block["y"], block["rate"], block["weight"]


def _lines(block: dict, values: Any, marker: bytes) -> bytes:
    return _core.result_lines(values, block["ignored"], marker)


def _run(argv: list, line: dict, checked: dict, client: Any, streams: _Streams,
         watch: Any) -> int:
    import dask
    from dask import delayed

    from ._tiled import POINTS_PER_TILE, smooth_parts

    size = _core.regular_size(argv)
    if size is None:
        # A source that cannot be cut into ranges: read whole, here.
        block = _core.read_input(argv)
        blocks = client.scatter([block])
        ranges = None
    else:
        # The workers' current directories are not the client's.
        path = os.path.abspath(line["file"])
        step = checked["block"]
        ranges = [(path, offset, step) for offset in range(0, max(size, 1), step)]
        blocks = list(client.persist([delayed(_read_range)(argv, *piece, 0)
                                      for piece in ranges]))
    metas = dask.compute(*[delayed(_meta)(b) for b in blocks])
    rows_before = 0
    stopped = None
    for i, (rows, _, stop) in enumerate(metas):
        if stop:
            # The block again with the rows before it counted in, so that its
            # report names the file's own row number.
            stopped = dask.compute(delayed(_read_range)(argv, *ranges[i], rows_before))[0] \
                if ranges is not None else blocks[i].result()
            break
        rows_before += rows
    errors, report, output, status, smooth = _core.conclude(argv, rows_before, stopped)
    streams.err(errors + report)
    streams.out(output)
    if not smooth:
        return status
    counts = [m[1] for m in metas]
    prelude, status = _core.result_prelude(argv, sum(counts))
    if status is not None:
        streams.out(prelude)
        return status
    options = (line["neighbors"], line["triples"], line["iterations"], line["theta"])
    tiles = checked["tiles"] or -(-sum(counts) // POINTS_PER_TILE)
    watch.work = f"tiles of about {-(-sum(counts) // max(1, tiles)):,} points"
    values = smooth_parts([delayed(_points)(b) for b in blocks], counts, options, tiles)
    lines = client.persist([delayed(_lines)(b, v, line["missing"])
                            for b, v in zip(blocks, values)])
    if checked["progress"]:
        from distributed import progress as bar

        with open(streams.fds[1], "w", closefd=False) as err, contextlib.redirect_stdout(err):
            bar(lines)
    # Nothing is written before the first piece is ready, so that a run the
    # cluster cannot finish writes no table at all, as a rule.
    for k, piece in enumerate(lines):
        text = dask.compute(piece)[0]
        streams.out(prelude + text if k == 0 else text)
    if streams.output_error:
        streams.err(_core.output_error(streams.output_error))
        return _core.EXIT_FAILURE
    return _core.EXIT_SUCCESS
