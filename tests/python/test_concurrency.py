"""Threads sharing one Engine: every method and function that exists, mixed
in different orders on several threads, gives exactly the results (and the
errors) of a serial run. An Engine collected with no call in flight closes
its kernel files; one dropped while a call runs closes them after it."""
from __future__ import annotations

import gc
import json
import os
import random
import threading

import pytest

import quorvane_engine as q
from tests.support.surface import Arguments, surface

THREADS = 4
ROUNDS = 3
MOMENTS = ["2024-03-20T12:00:00Z", "1899-12-31T23:59:59Z", "2031-07-04T03:15:00Z"]
PLACES = [(51.5, -0.1), (-33.9, 151.2), (66.6, 25.7)]


def outcome(function, args, kwargs):
    """A call's result as comparable text, or its error's type and text."""
    try:
        return ("result", json.dumps(function(*args, **kwargs),
                                     default=lambda array: array.tolist()))
    except Exception as error:  # compared, not judged, here
        return ("error", type(error).__name__, str(error))


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def calls(engine):
    """Working calls of every entry at several moments and places, with
    options and failures mixed in, so that a result handed to the wrong
    caller would show."""
    arguments = Arguments.from_engine(engine)
    found = []
    for entry in surface(q, engine):
        assert not arguments.unknown(entry), f"{entry.name}: {arguments.unknown(entry)}"
        args, _ = arguments.call(entry)
        found.append((entry.function, args, {}))
        for moment, (lat, lon) in zip(MOMENTS, PLACES):
            varied = [moment if name in ("moment", "birth", "start") else
                      lat if name == "latitude" else lon if name == "longitude" else value
                      for name, value in zip(entry.required, args)]
            found.append((entry.function, varied, {}))
        if entry.on_engine and "moment" in entry.required:
            far = [("3000-01-01T00:00:00Z" if name == "moment" else value)
                   for name, value in zip(entry.required, args)]
            found.append((entry.function, far, {}))  # beyond the kernel
        if "house_system" in entry.names:
            found.append((entry.function, args, {"house_system": "W", "zodiac_type": "sidereal",
                                                 "ayanamsa": "lahiri"}))
        if "dignity_scheme" in entry.names:
            found.append((entry.function, args, {"dignity_scheme": "dorothean"}))
    return found


def test_threads_sharing_an_engine_get_the_serial_results(calls):
    serial = [outcome(*call) for call in calls]
    assert any(o[0] == "result" for o in serial) and any(o[0] == "error" for o in serial)
    mismatches = []
    start = threading.Barrier(THREADS)

    def worker(seed: int) -> None:
        order = list(range(len(calls)))
        random.Random(seed).shuffle(order)
        start.wait()
        for _ in range(ROUNDS):
            for i in order:
                got = outcome(*calls[i])
                if got != serial[i]:
                    mismatches.append((i, got[:2], serial[i][:2]))

    threads = [threading.Thread(target=worker, args=(seed,)) for seed in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not mismatches


def test_engines_load_in_parallel(de440):
    engines = [None] * THREADS

    def load(i: int) -> None:
        engines[i] = q.Engine([de440, de440])

    threads = [threading.Thread(target=load, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(e is not None and e.kernels == engines[0].kernels for e in engines)


def kernel_descriptors(path: str) -> int:
    target = os.path.realpath(path)
    count = 0
    for fd in os.listdir("/proc/self/fd"):
        try:
            count += os.readlink(f"/proc/self/fd/{fd}") == target
        except OSError:
            pass
    return count


def test_a_collected_engine_closes_its_files(de440):
    gc.collect()
    before = kernel_descriptors(de440)
    engine = q.Engine([de440, de440])
    assert kernel_descriptors(de440) == before + 2
    engine.chart("2024-03-20T12:00:00Z", 51.5, -0.1)
    del engine
    gc.collect()
    assert kernel_descriptors(de440) == before


def test_an_engine_dropped_during_a_call_closes_its_files_after_it(de440):
    gc.collect()
    before = kernel_descriptors(de440)
    engine = q.Engine([de440])
    results = []
    started = threading.Event()

    def compute(method) -> None:
        started.set()
        results.append(method("2024-01-01T00:00:00Z", "2024-03-01T00:00:00Z", 51.5, -0.1))

    # A two-month search runs long enough to be in flight when the last
    # outside reference goes.
    thread = threading.Thread(target=compute, args=(engine.elections,))
    thread.start()
    started.wait()
    del engine
    gc.collect()
    thread.join()
    assert isinstance(results[0], dict)
    gc.collect()
    assert kernel_descriptors(de440) == before
