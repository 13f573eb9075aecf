"""Astrocartography timings for one birth: all lines, parans and local
space from the engine, then the GeoJSON of them; median over repeats.

Usage: python bench/bench_astrocartography.py [--kernel PATH] [--count N]
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import quorvane_engine as q
from quorvane.astro_map import to_geojson

from tests.support.kernels import de440_path


def median_ms(work, count):
    times = []
    for _ in range(count):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return 1000 * statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=50)
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    birth = ("1990-07-14T12:30:00Z", None, "mundo", 40.71, -74.01)
    result = engine.astrocartography(*birth)
    points = sum(len(p) for line in result["lines"] for p in line["segments"])
    print(f"{len(result['lines'])} lines ({points} points), {len(result['parans'])} parans")
    print(f"engine (lines, parans, local space): "
          f"{median_ms(lambda: engine.astrocartography(*birth), args.count):.2f} ms")
    print(f"engine + GeoJSON: "
          f"{median_ms(lambda: to_geojson(engine.astrocartography(*birth)), args.count):.2f} ms")


if __name__ == "__main__":
    main()
