"""Repeated calls of every public function and Engine method, with working
and with spoiled arguments, leave the process's memory flat: resident size
(/proc/self/statm), live objects (gc), allocated blocks and, on debug
builds, the total reference count.

The fast variant makes 10^4 calls per function; working calls of the
costly Engine methods are capped by time there (every call still converts
its arguments, and a spoiled call runs up to its error). The `slow`
variant (pytest -m slow) makes 10^4 working calls of each."""
from __future__ import annotations

import gc
import os
import pickle
import sys
import time

import pytest

import quorvane_engine as q
from tests.support.surface import Arguments, bad_variants, documented_errors, surface

CALLS = 10_000
SECONDS_OF_WORKING_CALLS = 1.0
MIN_WORKING_CALLS = 100
PAGE = os.sysconf("SC_PAGE_SIZE")
# ASan keeps freed memory in quarantine, so its resident size only grows.
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")

NAMES = [entry.name for entry in surface(q)]


def resident_bytes() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


class Usage:
    def __init__(self) -> None:
        gc.collect()
        self.resident = resident_bytes()
        self.objects = len(gc.get_objects())
        self.blocks = sys.getallocatedblocks()
        self.refs = sys.gettotalrefcount() if hasattr(sys, "gettotalrefcount") else 0

    def growth_since(self, before: "Usage") -> dict[str, int]:
        return {"resident": self.resident - before.resident, "objects": self.objects - before.objects,
                "blocks": self.blocks - before.blocks, "refs": self.refs - before.refs}


def assert_flat(once, calls: int) -> None:
    """Runs once(k) for k < calls in two rounds. A leak grows in every
    round; caches, free lists and allocator pools settle after a spurt, so
    the smaller of the two growths must stay under bounds that one leaked
    object (or 100 bytes) per call would far exceed."""
    half = calls // 2
    usage = [Usage()]
    for start in (0, half):
        for k in range(start, start + half):
            once(k)
        usage.append(Usage())
    rounds = [usage[1].growth_since(usage[0]), usage[2].growth_since(usage[1])]
    least = {key: min(r[key] for r in rounds) for key in rounds[0]}
    assert least["objects"] <= 30, rounds
    assert least["blocks"] <= half // 10, rounds
    assert least["refs"] <= 200, rounds
    if not UNDER_ASAN:
        assert least["resident"] <= 1024 * 1024, rounds


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def arguments(engine):
    return Arguments.from_engine(engine)


def entry_named(name, engine):
    return next(e for e in surface(q, engine) if e.name == name)


def call_quietly(function, args, kwargs, expected) -> None:
    try:
        function(*args, **kwargs)
    except expected:
        pass
    except OverflowError:
        pass  # from int arguments; test_hostile_input.py checks when


def run_calls(entry, arguments, working_calls, total_calls):
    args, kwargs = arguments.call(entry)
    spoiled = bad_variants(arguments, entry)
    expected = documented_errors(q)
    empty = q.Engine([])
    on_empty = getattr(empty, entry.name.split(".")[1]) if entry.on_engine else None

    stride = max(1, total_calls // working_calls)
    # Working calls alternate between the two result forms where there are two.
    forms = [{"json": False}, {"json": True}] if "json" in entry.names else [{}]

    def once(k: int) -> None:
        if k % stride == 0:  # spread over both rounds
            entry.function(*args, **kwargs, **forms[k // stride % len(forms)])
        elif on_empty is not None and k % 2:
            call_quietly(on_empty, args, kwargs, expected)  # a whole conversion, then no kernel
        else:
            bad_args, bad_kwargs = spoiled[k % len(spoiled)]
            call_quietly(entry.function, bad_args, bad_kwargs, expected)

    return once


def check_entry(name, engine, arguments, working_calls=None):
    entry = entry_named(name, engine)
    assert not arguments.unknown(entry), f"{name}: no working value for {arguments.unknown(entry)}"
    args, kwargs = arguments.call(entry)
    started = time.perf_counter()
    for _ in range(3):
        entry.function(*args, **kwargs)
    each = (time.perf_counter() - started) / 3
    if working_calls is None:
        working_calls = min(CALLS, max(MIN_WORKING_CALLS, int(SECONDS_OF_WORKING_CALLS / each)))
    once = run_calls(entry, arguments, working_calls, CALLS)
    # Warm-up: caches, free lists and interned texts settle first.
    for k in range(0, CALLS, CALLS // 200):
        once(k)
    assert_flat(once, CALLS)


@pytest.mark.parametrize("name", NAMES)
def test_calls_leave_memory_flat(name, engine, arguments):
    check_entry(name, engine, arguments)


@pytest.mark.slow
@pytest.mark.parametrize("name", NAMES)
def test_working_calls_leave_memory_flat(name, engine, arguments, request):
    # About a minute per Engine method: only when asked for (-m slow).
    selection = request.config.getoption("markexpr") or ""
    if "slow" not in selection or "not slow" in selection:
        pytest.skip("10^4 working calls each; run with -m slow")
    check_entry(name, engine, arguments, working_calls=CALLS)


def kernel_descriptors(path: str) -> int:
    target = os.path.realpath(path)
    count = 0
    for fd in os.listdir("/proc/self/fd"):
        try:
            if os.readlink(f"/proc/self/fd/{fd}") == target:
                count += 1
        except OSError:
            pass  # closed while listing
    return count


def test_engines_built_and_dropped_leave_memory_and_files_flat(de440, tmp_path):
    broken = tmp_path / "broken.bsp"
    broken.write_bytes(b"DAF/SPK " + bytes(1016))
    expected = documented_errors(q)
    calls = [
        lambda: q.Engine([de440]),
        lambda: q.Engine(kernels=[de440, de440]),
        lambda: q.Engine([]),
        lambda: q.Engine([de440]).kernels,
        lambda: q.Engine([de440]).coverage,
        lambda: q.Engine([de440]).supports(2451545.0),
        lambda: pickle.loads(pickle.dumps(q.Engine([de440]))),
        lambda: q.Engine(de440),  # a bare str
        lambda: q.Engine([de440, str(tmp_path / "missing.bsp")]),  # the first is opened, then dropped
        lambda: q.Engine([de440, str(broken)]),
        lambda: q.Engine([3]),
        lambda: q.Engine(None),
        lambda: q.Engine([de440], extra=1),
    ]
    opened = kernel_descriptors(de440)

    def once(k: int) -> None:
        try:
            calls[k % len(calls)]()
        except expected:
            pass

    for k in range(200):
        once(k)
    assert_flat(once, CALLS // 2)
    assert kernel_descriptors(de440) == opened


@pytest.mark.parametrize("leak", [
    lambda kept, k: kept.append(float(k)),       # one small object per call
    lambda kept, k: kept.append({"k": k}) if k % 20 == 0 else None,  # a dict now and then
    lambda kept, k: kept.append(bytes(200)) if k % 2 else None,   # raw memory
])
def test_the_check_sees_a_small_leak(leak):
    if UNDER_ASAN and sys.getallocatedblocks() == 0:
        pytest.skip("without pymalloc's block count and resident size only containers show")
    kept: list = []
    with pytest.raises(AssertionError):
        assert_flat(lambda k: leak(kept, k), CALLS)
