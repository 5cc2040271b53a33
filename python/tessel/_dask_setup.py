"""Set-up of the processes of the local cluster that `python3 -m
tessel.dask` starts: the command's own process calls lean_versions() before
the cluster starts, and every worker imports this module as Dask's worker
preload, before it joins the scheduler.

A Dask process reports the versions of a few packages when it joins (a
worker to the scheduler, a client too), importing each package to ask it.
pandas is one of them: importing it costs about 0.4 s of CPU time in each
process, more than half of a worker's start-up, and the tasks of the
command never use it. The processes of a local cluster run one
installation, so the report cannot differ between them; the other
packages' versions are still reported and compared.
"""
from __future__ import annotations


def lean_versions() -> None:
    """Leaves pandas out of this process's version reports. Does nothing
    where Dask keeps that list otherwise."""
    try:
        from distributed import versions
        optional = versions.optional_packages
        if isinstance(optional, list):
            versions.optional_packages = [p for p in optional
                                          if not (isinstance(p, tuple) and p[:1] == ("pandas",))]
    except (ImportError, AttributeError):
        pass


lean_versions()
