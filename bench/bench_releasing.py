"""Engine.zodiacal_releasing and the progressions of each kind: medians over
random births, beside the natal chart (the cost of the lots alone) and,
with --old DIR (a directory holding an older build of quorvane_engine),
that build's secondary progressions in the same run.

Usage: python bench/bench_releasing.py [--kernel PATH] [--count N] [--old DIR]
"""
import argparse
import json
import os
import random
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import quorvane_engine as q

from tests.support.kernels import de440_path


def births(count, seed=3):
    rng = random.Random(seed)
    return [(f"{rng.randrange(1930, 2010):04d}-{rng.randrange(1, 13):02d}-"
             f"{rng.randrange(1, 29):02d}T{rng.randrange(24):02d}:{rng.randrange(60):02d}:00Z",
             rng.uniform(-60, 60), rng.uniform(-180, 180)) for _ in range(count)]


def median_ms(call, work):
    times = []
    for item in work:
        t = time.perf_counter()
        call(*item)
        times.append(time.perf_counter() - t)
    return statistics.median(times) * 1e3


def old_secondary(directory, kernel, count):
    """The older build's secondary progressions, timed in its own process."""
    code = ("import sys, json, time, statistics; sys.path.insert(0, sys.argv[1]);"
            "import quorvane_engine as q; e = q.Engine([sys.argv[2]]);"
            "work = json.loads(sys.argv[3]); times = [];\n"
            "for b, lat, lon in work:\n"
            "    t = time.perf_counter(); e.progressions(b, '2024-01-01T00:00Z', lat, lon);"
            " times.append(time.perf_counter() - t)\n"
            "print(statistics.median(times) * 1e3)")
    done = subprocess.run([sys.executable, "-c", code, directory, kernel,
                           json.dumps(births(count))], capture_output=True, text=True, check=True)
    return float(done.stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--old", help="directory of an older build, for its secondary progressions")
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    work = births(args.count)
    rows = [
        ("Engine.chart (the lots' natal chart)", lambda b, lat, lon: engine.chart(b, lat, lon)),
        ("zodiacal_releasing, 4 levels over a year",
         lambda b, lat, lon: engine.zodiacal_releasing(b, lat, lon, "2024-01-01T00:00Z",
                                                       "2025-01-01T00:00Z")),
        ("zodiacal_releasing, 2 levels over 100 years",
         lambda b, lat, lon: engine.zodiacal_releasing(b, lat, lon, b, "2110-01-01T00:00Z",
                                                       levels=2)),
    ]
    for kind in ("secondary", "tertiary", "minor"):
        rows.append((f"progressions, {kind}",
                     lambda b, lat, lon, kind=kind: engine.progressions(
                         b, "2024-01-01T00:00Z", lat, lon, kind=kind)))
    for name, call in rows:
        print(f"{name:46s} {median_ms(call, work):8.3f} ms")
    if args.old:
        print(f"{'progressions, secondary (old build)':46s} "
              f"{old_secondary(args.old, args.kernel, args.count):8.3f} ms")


if __name__ == "__main__":
    main()
