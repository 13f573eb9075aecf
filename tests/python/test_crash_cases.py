"""Inputs and changes on disk that once crashed the process, hung it, or
passed for a result. Each case runs in an interpreter of its own, so that a
crash fails its test and not the run; each checks the exception it gets and
then that the same process still computes the right chart."""
from __future__ import annotations

import json
import os
import subprocess
import sys
import textwrap

import pytest

from tests.support import spk_writer
from tests.support.kernels import de440_path

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
MARCH_2024 = 2460390.0  # the excerpt's kernel covers 2024-03-05 to 2024-04-24

PRELUDE = """
import json, os, shutil, sys, threading, time
import quorvane_engine as q
KERNEL, SCRATCH, DE440 = sys.argv[1:4]
MOMENT = "2024-03-20T12:00:00Z"
def chart(engine):
    return engine.chart(MOMENT, 51.5, -0.1)
REFERENCE = chart(q.Engine([KERNEL]))
def outcome(call):
    try:
        call()
    except Exception as error:
        return [type(error).__name__, str(error)]
    return ["no error", ""]
results = {}
"""

EPILOGUE = """
assert chart(q.Engine([KERNEL])) == REFERENCE
print(json.dumps(results))
"""


@pytest.fixture(scope="module")
def kernel(de440, tmp_path_factory):
    """Fifty days of DE440, every body of a chart, in about 60 kB."""
    path = tmp_path_factory.mktemp("excerpt") / "excerpt.bsp"
    path.write_bytes(spk_writer.excerpt(de440, MARCH_2024 - 25, MARCH_2024 + 25))
    return str(path)


def run(kernel, tmp_path, body, timeout=60):
    """Runs the case in a new interpreter; its `results` dict."""
    script = PRELUDE + textwrap.dedent(body) + EPILOGUE
    done = subprocess.run([sys.executable, "-c", script, kernel, str(tmp_path), de440_path()],
                          cwd=ROOT, capture_output=True, text=True, timeout=timeout)
    assert done.returncode == 0, done.stderr[-3000:]
    return json.loads(done.stdout.splitlines()[-1])


def test_a_kernel_changed_under_an_engine_fails_calls_until_it_is_back(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        k = os.path.join(SCRATCH, "k.bsp")
        shutil.copy(KERNEL, k)
        size = os.path.getsize(k)
        e = q.Engine([k])
        os.truncate(k, 1 << 12)  # the summaries stay, the data goes
        results["truncated"] = outcome(lambda: chart(e))
        os.truncate(k, size)  # grown again with zeros
        results["zeroed"] = outcome(lambda: chart(e))
        shutil.copy(KERNEL, k)
        results["restored"] = chart(e) == REFERENCE
    """)
    changed = "SPK I/O error: k.bsp: the file changed on disk since it was opened"
    assert results["truncated"] == ["EngineError", changed]
    assert results["zeroed"] == ["EngineError", changed]
    assert results["restored"] is True


def test_kernel_rewritten_in_a_loop_while_two_threads_compute(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        k = os.path.join(SCRATCH, "k.bsp")
        shutil.copy(KERNEL, k)
        e = q.Engine([k])
        stop = False
        seen = {"right": 0, "errors": set(), "wrong": 0}
        def compute():
            while not stop:
                try:
                    right = chart(e) == REFERENCE
                    seen["right" if right else "wrong"] += 1
                except q.EngineError as error:
                    seen["errors"].add(str(error).split(": ")[0])
        threads = [threading.Thread(target=compute) for _ in range(2)]
        for t in threads:
            t.start()
        end = time.monotonic() + 3
        rounds = 0
        while time.monotonic() < end:
            os.truncate(k, 1 << 14 if rounds % 2 else 0)
            time.sleep(0.002)
            shutil.copy(KERNEL, k)
            # Later than a tick of the file clock, and now and then long
            # enough for whole charts.
            time.sleep(0.01 if rounds % 4 else 0.1)
            rounds += 1
        stop = True
        for t in threads:
            t.join()
        results.update(rounds=rounds, right=seen["right"], wrong=seen["wrong"],
                       errors=sorted(seen["errors"]), after=chart(e) == REFERENCE)
    """)
    assert results["rounds"] > 20
    assert results["wrong"] == 0
    assert results["right"] > 0
    assert results["errors"] == ["SPK I/O error"]
    assert results["after"] is True


def test_paths_that_are_not_regular_files_are_refused_at_once(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        fifo = os.path.join(SCRATCH, "fifo")
        os.mkfifo(fifo)
        results["fifo"] = outcome(lambda: q.Engine([fifo]))
        results["device"] = outcome(lambda: q.Engine(["/dev/zero"]))
    """, timeout=30)
    assert results["fifo"] == ["EngineError", f"{tmp_path}/fifo: SPK I/O error: not a regular file"]
    assert results["device"] == ["EngineError", "/dev/zero: SPK I/O error: not a regular file"]


def test_kernel_lists_are_read_item_by_item_and_allocations_fail_cleanly(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        import resource
        class Boastful:
            # Claims 2**40 paths and holds two.
            def __len__(self):
                return 2**40
            def __getitem__(self, i):
                if i < 2:
                    return KERNEL
                raise IndexError(i)
        results["billion"] = outcome(lambda: q.Engine(range(10**9)))
        results["huge"] = outcome(lambda: q.Engine(range(2**62)))
        results["boastful"] = len(q.Engine(Boastful()).kernels)
        # Aspects of 1500 x 1500 conjunct points would need far more than
        # 400 MB: such lists are refused before anything is allocated.
        # (AddressSanitizer's allocator aborts when memory runs out.)
        if "libasan" not in os.environ.get("LD_PRELOAD", ""):
            soft, hard = resource.getrlimit(resource.RLIMIT_AS)
            with open("/proc/self/statm") as f:
                used = int(f.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
            resource.setrlimit(resource.RLIMIT_AS, (used + (400 << 20), hard))
            points = [{"name": "Sun", "ecliptic_longitude": 1.0}] * 1500
            results["memory"] = outcome(lambda: q.synastry(points, points))
            resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    """)
    not_a_path = "expected str, bytes or os.PathLike object, not int"
    assert results["billion"] == ["TypeError", not_a_path]
    assert results["huge"] == ["TypeError", not_a_path]
    assert results["boastful"] == 2
    if "libasan" not in os.environ.get("LD_PRELOAD", ""):
        assert results["memory"][0] == "ValueError" and "at most 200" in results["memory"][1]


def test_deep_nesting_is_refused_before_any_recursive_code(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        sys.setrecursionlimit(10**6)
        def nested(depth):
            value = []
            for _ in range(depth):
                value = [value]
            return value
        deep, shallow = nested(50_000), nested(250)  # json.dumps itself fails near 100,000
        e = q.Engine([KERNEL])
        calendar = q.Engine([DE440]).chart(MOMENT, 51.5, -0.1,
                                           chinese_calendar=True)["chinese_calendar"]
        for depth, value in (("deep", deep), ("shallow", shallow)):
            results["orbs", depth] = outcome(lambda: e.chart(MOMENT, 51.5, -0.1,
                                                            orb_settings={"x": value}))
            results["chart", depth] = outcome(lambda: q.derived_chart({**REFERENCE, "x": value}, 5))
            results["criteria", depth] = outcome(lambda: e.election(MOMENT, 51.5, -0.1,
                                                                    criteria={"x": value}))
            results["calendar", depth] = outcome(
                lambda: q.bazi({**calendar, "x": value}, MOMENT, 120, 480))
        results = {" ".join(key): value for key, value in results.items()}
    """)
    too_deep = "JSON nested deeper than 256 levels at character "
    for name in ("orbs", "chart", "criteria", "calendar"):
        kind, message = results[f"{name} deep"]
        assert kind == "ValueError" and too_deep in message, (name, message)
        # 250 levels pass the limit and fail (or not) on their meaning.
        assert too_deep not in results[f"{name} shallow"][1]
    assert results["orbs shallow"] == ["no error", ""]
    assert results["criteria shallow"][1].startswith("election criteria: unknown field `x`")


def test_numbers_and_messages_that_used_to_mislead(de440, kernel, tmp_path):
    zeroed = tmp_path / "zeroed.bsp"
    zeroed.write_bytes(spk_writer.excerpt(de440, MARCH_2024 - 25, MARCH_2024 + 25,
                                          coefficients=lambda c: c * 0.0))
    results = run(kernel, tmp_path, f"""
        nan, inf = float("nan"), float("inf")
        for value in (nan, inf, -inf):
            results["degree", repr(value)] = outcome(lambda: q.degree_qualities(value))
            results["lords", repr(value)] = outcome(
                lambda: q.time_lords("1990-07-15T05:30:00Z", value, 10.0, MOMENT, MOMENT))
        e, d = q.Engine([KERNEL]), q.Engine([DE440])
        calendar = d.chart(MOMENT, 51.5, -0.1, chinese_calendar=True)["chinese_calendar"]
        for value in (nan, inf, 1e308, 1081.0):
            results["bazi", repr(value)] = outcome(lambda: q.bazi(calendar, MOMENT, 120, value))
            results["zi_wei", repr(value)] = outcome(lambda: q.zi_wei(calendar, MOMENT, 120, value))
        results["bazi", "1080"] = outcome(lambda: q.bazi(calendar, MOMENT, 120, 1080))
        results["nul"] = outcome(lambda: q.julian_day("2024-03-20T03:06:00\\x00Z"))
        results["nul criteria"] = outcome(lambda: e.election(MOMENT, 51.5, -0.1,
                                                             criteria={{"a\\x00b": 1}}))
        for at in ("1549-12-31T01:00:00Z", "1549-12-31T04:00:00Z", "1550-01-01T04:00:00Z"):
            results["first hours", at] = outcome(
                lambda: d.chart(at, 51.5, -0.1, chinese_calendar=True))
        z = q.Engine([{str(zeroed)!r}]).chart(MOMENT, 51.5, -0.1)
        results["zeroed"] = sorted(z["unavailable_bodies"]), [
            p["name"] for p in z["planets"] if p["ecliptic_longitude"] is None]
        results = {{" ".join(k) if isinstance(k, tuple) else k: v for k, v in results.items()}}
    """)
    for value in ("nan", "inf", "-inf"):
        assert results[f"degree {value}"] == [
            "ValueError", f"degree_qualities() argument 'longitude' must be a finite number, "
                          f"not {value}"]
        assert results[f"lords {value}"] == [
            "ValueError", f"time_lords() argument 'sun_longitude' must be a finite number, "
                          f"not {value}"]
    for function in ("bazi", "zi_wei"):
        for value in ("nan", "inf", "1e+308", "1081.0"):
            assert results[f"{function} {value}"] == [
                "ValueError", f"{function}() argument 'utc_offset_minutes' must be a number from "
                              f"-1080 to 1080 minutes, not {value}"]
    assert results["bazi 1080"] == ["no error", ""]
    assert results["nul"] == ["ValueError", "invalid UTC date-time: 2024-03-20T03:06:00\x00Z"]
    assert "a\x00b" in results["nul criteria"][1]
    kernel_bodies = ["Jupiter", "Mars", "Mercury", "Moon", "Neptune", "Pluto", "Saturn", "Sun",
                     "Uranus", "Venus"]
    assert results["zeroed"] == [kernel_bodies, []]
    for at in ("1549-12-31T01:00:00Z", "1549-12-31T04:00:00Z", "1550-01-01T04:00:00Z"):
        assert results[f"first hours {at}"][0] == "EphemerisRangeError"



def test_many_orb_keys_merge_in_linear_time(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        e = q.Engine([KERNEL])
        orbs = {"planet_orbs": {f"P{i}": 1.0 for i in range(200_000)}}
        orbs["planet_orbs"]["Sun"] = 3.0
        start = time.perf_counter()
        merged = e.chart(MOMENT, 51.5, -0.1, orb_settings=orbs)["orb_settings"]["planet_orbs"]
        results["seconds"] = time.perf_counter() - start
        names = list(merged)
        results["order"] = names[:2] + names[16:18] + names[-1:]
        results["sun"], results["count"] = merged["Sun"], len(merged)
    """)
    # Quadratic merging took minutes here; linear takes well under a second.
    assert results["seconds"] < 15
    assert results["order"] == ["Sun", "Moon", "P0", "P1", "P199999"]
    assert results["sun"] == 3.0 and results["count"] == 200_016


def test_module_functions_release_the_interpreter_lock(kernel, tmp_path):
    results = run(kernel, tmp_path, """
        # 2000 declinations 0.05 degrees apart, no two equal nor opposite:
        # with orb 0 no pair is an aspect, so the time goes to the
        # comparisons, not the result.
        import numpy
        row = -49.987 + 0.05 * numpy.arange(2000)
        table = {"declination": numpy.tile(row, (150, 1)), "obliquity": numpy.full(150, 23.4),
                 "bodies": [f"P{i}" for i in range(2000)]}
        wakes = []
        done = threading.Event()
        def call():
            try:
                start = time.perf_counter()
                results["aspects"] = len(q.declination_aspects(table, orb=0.0)["aspects"])
                results["call"] = time.perf_counter() - start
            finally:
                done.set()
        worker = threading.Thread(target=call)
        worker.start()
        while not done.is_set():
            wakes.append(time.perf_counter())
            time.sleep(0.001)
        worker.join()
        results["gap"] = max(later - earlier for earlier, later in zip(wakes, wakes[1:]))
    """)
    assert results["aspects"] == 0
    # Holding the lock, the call would keep this thread asleep throughout.
    assert results["call"] > 0.05
    assert results["gap"] < 0.5 * results["call"], results
