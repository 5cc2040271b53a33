"""python3 -m tessel.dask: the program's command run on a Dask cluster.

The program's options read as the program reads them, the file read by the
workers in byte ranges by the program's own rules, the table smoothed in
tiles (tessel._tiled), and the program's result table, messages and exit
status. No work file and no log are written.
"""
from __future__ import annotations

import contextlib
import logging
import os
import sys
from typing import Any, Sequence

from . import _core

PROGRAM = "tessel"
BLOCK_SIZE = "32MiB"

HELP = """
Options of the cluster run (the program's options above work as they do there):
    --scheduler ADDRESS  Run on the Dask scheduler at ADDRESS (Dask's own
                         configuration applies, TLS included). Default: a
                         cluster on this machine, one worker process per core,
                         listening on 127.0.0.1 only.
    --workers N          Worker processes of that local cluster.
    --memory-limit SIZE  Memory of each of its workers (e.g. 1.5GiB).
    --dashboard ADDRESS  Serve its dashboard at ADDRESS (a port, or
                         127.0.0.1:PORT); off unless given.
    --tiles K            Spatial tiles (default: one per million points).
    --block-size SIZE    Bytes of the file each task reads (default 32MiB).
    --progress           Show Dask's progress bar on standard error.
    -h, --help           Show this message.

-f FILE is required: the workers read it, so it must be a path every worker
can read or a URL that fsspec reads. The result table goes to standard
output, as the program writes it; no work file and no log file are written.
A Dask scheduler runs whatever its clients send: never let one be reached
from an untrusted network.
"""

# The cluster run's own options, with whether each takes a value.
OWN = {"--scheduler": True, "--workers": True, "--memory-limit": True, "--dashboard": True,
       "--tiles": True, "--block-size": True, "--progress": False, "--help": False,
       "-h": False}


class UsageError(Exception):
    pass


def _split_arguments(arguments: Sequence[str]) -> tuple[dict, list[str]]:
    own: dict = {}
    program: list[str] = []
    words = list(arguments)
    while words:
        word = words.pop(0)
        name, _, value = word.partition("=")
        if name not in OWN:
            program.append(word)
            continue
        if OWN[name] and not value:
            if not words:
                raise UsageError(f"{name} needs a value")
            value = words.pop(0)
        own[name] = value if OWN[name] else True
    return own, program


def _positive(own: dict, name: str) -> int | None:
    if name not in own:
        return None
    try:
        value = int(own[name])
    except ValueError:
        raise UsageError(f"{name} takes a whole number, not {own[name]!r}") from None
    if value < 1:
        raise UsageError(f"{name} must be at least 1, got {value}")
    return value


def _write(stream: Any, data: bytes) -> None:
    stream.buffer.write(data)
    stream.buffer.flush()


def main(arguments: Sequence[str] | None = None) -> int:
    arguments = sys.argv[1:] if arguments is None else list(arguments)
    try:
        own, program = _split_arguments(arguments)
        workers = _positive(own, "--workers")
        tiles = _positive(own, "--tiles")
    except UsageError as error:
        sys.stderr.write(f"python3 -m tessel.dask: {error}\n")
        return 2
    if "--help" in own or "-h" in own:
        _write(sys.stderr, _core.usage(PROGRAM) + HELP.encode())
        return 0
    # The program's words as its command line gives them, bytes and all.
    settings = _core.parse_arguments([PROGRAM.encode()] + [os.fsencode(w) for w in program])
    _write(sys.stderr, settings["messages"])
    if not settings["proceed"]:
        _write(sys.stderr, _core.usage(PROGRAM) + HELP.encode())
        return 0 if settings["help"] else 2
    if settings["file"] is None:
        sys.stderr.write("python3 -m tessel.dask: -f FILE is required (the workers read it)\n")
        return 2
    # Standard error carries the program's messages only: Dask's own notes
    # (and the event loop's about its connections closing) are held back
    # unless they are errors.
    for name in ("distributed", "asyncio", "tornado"):
        logging.getLogger(name).setLevel(logging.CRITICAL if name == "asyncio" else logging.ERROR)
    try:
        with _cluster(own, workers) as client:
            return _run(settings, tiles, own.get("--block-size", BLOCK_SIZE),
                        "--progress" in own, client)
    except KeyboardInterrupt:
        sys.stderr.write("python3 -m tessel.dask: interrupted\n")
        return 130
    except UsageError as error:
        sys.stderr.write(f"python3 -m tessel.dask: {error}\n")
        return 1


@contextlib.contextmanager
def _cluster(own: dict, workers: int | None) -> Any:
    """A client of the given scheduler, or of a cluster on this machine that
    listens on 127.0.0.1 only and is shut down on every way out."""
    from distributed import Client, LocalCluster

    if "--scheduler" in own:
        try:
            client = Client(own["--scheduler"])
        except (OSError, TimeoutError) as error:
            raise UsageError(f"cannot reach the scheduler at {own['--scheduler']}: {error}") \
                from None
        with client:
            yield client
        return
    dashboard = own.get("--dashboard")
    if dashboard is not None and ":" not in dashboard:
        dashboard = f"127.0.0.1:{dashboard}"
    with LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                      processes=True, host="127.0.0.1", dashboard_address=dashboard,
                      memory_limit=own.get("--memory-limit", "auto"),
                      silence_logs=50) as cluster, Client(cluster) as client:
        yield client


def _read(data: bytes, reader: dict, start: bool, rows_before: int) -> dict:
    return _core.read_block(data, reader, start, rows_before)


def _meta(block: dict) -> tuple:
    return block["rows"], len(block["x"]), block["message"] is not None


def _points(block: dict) -> tuple:
    return block["x"], block["y"], block["rate"], block["weight"]


def _lines(block: dict, values: Any, marker: bytes) -> bytes:
    return _core.format_rows(values, block["ignored"], marker)


def _run(settings: dict, tiles: int | None, block_size: str, progress: bool,
         client: Any) -> int:
    import dask
    from dask import delayed
    from dask.bytes import read_bytes

    from ._tiled import smooth_parts

    path = os.fsdecode(settings["file"])
    try:
        _, blocks = read_bytes(path, delimiter=b"\n", blocksize=block_size, sample=False)
    except (OSError, ValueError):
        _write(sys.stderr, b"ERROR : Couldn't open file " + settings["file"] + b"\n")
        return 1
    blocks = blocks[0] if blocks else []
    reader = {k: settings[k] for k in ("names", "labels", "missing")}
    parsed = dask.persist(*[delayed(_read)(b, reader, i == 0, 0)
                            for i, b in enumerate(blocks)])
    metas = dask.compute(*[delayed(_meta)(p) for p in parsed])
    rows_before = 0
    for i, (rows, _, stopped) in enumerate(metas):
        if stopped:
            # The report again with the rows before the piece counted in.
            again = delayed(_read)(blocks[i], reader, i == 0, rows_before)
            _write(sys.stderr, dask.compute(again)[0]["message"])
            return 1
        rows_before += rows
    if rows_before == 0:
        sys.stderr.write("No input data detected.\n")
        return 1
    counts = [m[1] for m in metas]
    options = (settings["neighbors"], settings["triples"], settings["iterations"],
               settings["theta"])
    prelude, proceed = _core.prelude(sum(counts), *options)
    if not proceed:
        _write(sys.stdout, prelude)
        return 1
    values = smooth_parts([delayed(_points)(p) for p in parsed], counts, options, tiles)
    lines = dask.persist(*[delayed(_lines)(p, v, settings["missing"])
                           for p, v in zip(parsed, values)])
    if progress:
        from distributed import progress as bar

        with contextlib.redirect_stdout(sys.stderr):
            bar(*lines)
    try:
        _write(sys.stdout, prelude + (b"Smoothed Rate\n" if settings["names"] else b""))
        for piece in lines:
            _write(sys.stdout, dask.compute(piece)[0])
    except OSError as error:
        sys.stderr.write(f"ERROR : Couldn't write standard output: {os.strerror(error.errno)}\n")
        return 1
    return 0
