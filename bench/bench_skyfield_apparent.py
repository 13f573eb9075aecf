"""skyfield doing what one call of the engine's planets_and_sidereal_time
does: ten apparent geocentric ecliptic places of date at two instants one
hour apart, at random dates. Prints the median per call.

Usage: python bench/bench_skyfield_apparent.py [--kernel PATH] [--count N]
"""
import argparse
import os
import random
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

from skyfield.api import load, load_file
from skyfield.framelib import ecliptic_frame

from tests.support.kernels import de440_path

BODIES = (10, 301, 199, 299, 4, 5, 6, 7, 8, 9)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=200)
    args = parser.parse_args()
    kernel = load_file(args.kernel)
    ts = load.timescale(builtin=True)
    earth = kernel[399]
    targets = [kernel[code] for code in BODIES]
    rng = random.Random(7)
    times = []
    for _ in range(args.count):
        jd = rng.uniform(2305448.0, 2670000.0)
        start = time.perf_counter()
        for t in (ts.ut1_jd(jd), ts.ut1_jd(jd + 1 / 24)):
            observer = earth.at(t)
            for target in targets:
                observer.observe(target).apparent().frame_latlon(ecliptic_frame)
        times.append(time.perf_counter() - start)
    print(f"skyfield, ten apparent places at two instants: median "
          f"{statistics.median(times) * 1e3:.3f} ms per call over {len(times)} calls")


if __name__ == "__main__":
    main()
