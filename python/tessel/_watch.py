"""The cluster command's guard against a cluster that cannot go on.

Dask waits for a lost scheduler to come back, for workers to join, and for
paused workers to free memory, without a limit. The command does not: a
thread looks at the client every half second and, when the scheduler has
been unreachable, the cluster without a worker, or every worker paused for
the run's timeout, interrupts the main thread, which ends the run with a
line that says what happened and what to do. Tasks that killed their
workers (Dask's KilledWorker) or ran out of memory end it the same way.
Processes the local cluster started are ended with it (reaped).
"""
from __future__ import annotations

import asyncio
import contextlib
import os
import signal
import threading
import time
from concurrent.futures import CancelledError
from multiprocessing import resource_tracker
from typing import Any, Callable, Iterator

CHECK_SECONDS = 0.5
GRACE_SECONDS = 30.0  # for the cluster's shutdown once the run has ended
SCHEDULER_LOST = "lost the cluster's scheduler: check that it runs, then run again"


class ClusterStopped(Exception):
    """The run cannot go on; str() says why and what to do. said: the
    message has been written already."""

    said = False


def _size(memory: int) -> str:
    from dask.utils import format_bytes

    return format_bytes(memory)


def _memory_message(memory: int | None, work: str) -> str:
    held = f" with {_size(memory)} each" if memory else ""
    what = f" ({work})" if work else ""
    return (f"the cluster's workers could not hold their work{held}{what}: give a larger "
            f"--memory-limit or more --tiles")


class Watch:
    """Looks at the client until stopped; interrupts the main thread once a
    problem has lasted `timeout` seconds."""

    def __init__(self, client: Any, timeout: float, memory: int | None, local: bool) -> None:
        self.client = client
        self.timeout = timeout
        self.memory = memory
        self.local = local
        self.work = ""  # what a worker holds, e.g. "tiles of about 1,000 points"
        self.reason: str | None = None
        self._stopped = threading.Event()
        self._lock = threading.Lock()
        self._thread = threading.Thread(target=self._watch, name="tessel-watch", daemon=True)

    def start(self) -> None:
        self._thread.start()

    def stop(self) -> None:
        with self._lock:
            self._stopped.set()

    def memory_message(self) -> str:
        return _memory_message(self.memory, self.work)

    def _problem(self) -> str | None:
        if self.client.status != "running":
            return SCHEDULER_LOST
        workers = self.client.scheduler_info().get("workers", {})
        if not workers:
            if self.local:
                return self.memory_message() if self.memory else \
                    (f"the cluster's workers have not run for {self.timeout:g} s: give "
                     f"--local-directory DIR to keep their log, workers.log, and see why")
            return (f"the cluster has had no worker for {self.timeout:g} s: start workers "
                    f"for it, then run again")
        if all(w.get("status") == "paused" for w in workers.values()):
            return self.memory_message()
        return None

    def _watch(self) -> None:
        since = None
        while not self._stopped.wait(CHECK_SECONDS):
            try:
                problem = self._problem()
            except Exception as error:  # the client itself failed
                problem = f"lost the cluster's scheduler: {error}"
            if problem is None:
                since = None
                continue
            since = since or time.monotonic()
            if time.monotonic() - since < self.timeout:
                continue
            with self._lock:
                if self._stopped.is_set():
                    return
                self.reason = problem
                # A signal wakes the main thread wherever it waits.
                os.kill(os.getpid(), signal.SIGINT)
            return


@contextlib.contextmanager
def watched(client: Any, timeout: float, memory: int | None, local: bool,
            say: Callable[[str], None]) -> Iterator[Watch]:
    """Runs the body under a Watch; turns its interruption, and tasks that
    killed their workers or ran out of memory, into ClusterStopped, whose
    message say() writes at once (before the cluster is shut down, which
    may take a while)."""
    from distributed import KilledWorker

    watch = Watch(client, timeout, memory, local)
    watch.start()
    try:
        yield watch
    except KeyboardInterrupt:
        watch.stop()
        if watch.reason is None:
            raise
        raise _stopped(watch.reason, say) from None
    except (KilledWorker, MemoryError):
        watch.stop()
        raise _stopped(watch.memory_message(), say) from None
    except (CancelledError, asyncio.CancelledError):
        # The client gives up what it waits for when it loses the scheduler.
        watch.stop()
        if client.status == "running":
            raise
        raise _stopped(SCHEDULER_LOST, say) from None
    finally:
        watch.stop()


def _stopped(reason: str, say: Callable[[str], None]) -> ClusterStopped:
    say(f"ERROR : {reason}\n")
    _deadline()
    stop = ClusterStopped(reason)
    stop.said = True
    return stop


def _deadline() -> None:
    """Bounds the shutdown of a cluster that cannot go on: after the grace
    period the processes the run started are ended and the run exits."""

    def end() -> None:
        time.sleep(GRACE_SECONDS)
        if _started is not None:
            _end_children(_started())
        os._exit(1)

    threading.Thread(target=end, name="tessel-deadline", daemon=True).start()


_started: Any = None  # the processes started under reaped(), while it runs


def _end_children(pids: set) -> None:
    import psutil

    processes = []
    for pid in pids:
        with contextlib.suppress(psutil.Error):
            process = psutil.Process(pid)
            process.terminate()
            processes.append(process)
    _, alive = psutil.wait_procs(processes, timeout=5)
    for process in alive:
        with contextlib.suppress(psutil.Error):
            process.kill()
    psutil.wait_procs(alive, timeout=5)


@contextlib.contextmanager
def reaped() -> Iterator[None]:
    """Ends, when the body is done, every process started under it that is
    still running (the local cluster's nannies, workers and helpers)."""
    import psutil

    me = psutil.Process()
    before = {p.pid for p in me.children(recursive=True)}

    def new() -> set:
        return {p.pid for p in me.children(recursive=True)} - before

    global _started
    _started = new
    try:
        yield
    finally:
        # multiprocessing's resource tracker ends once told to (it then
        # frees what the workers left); ended otherwise, it is started again
        # and complains.
        tracker = getattr(resource_tracker, "_resource_tracker", None)
        if getattr(tracker, "_pid", None) in new() and hasattr(tracker, "_stop"):
            with contextlib.suppress(OSError):
                tracker._stop()
        _end_children(new())
        _started = None
