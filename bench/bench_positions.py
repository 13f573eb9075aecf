"""Engine.positions next to skyfield doing the same vectorised work, in one run.

Ten bodies (Sun, Moon, Mercury to Pluto) at N random moments over 1600-2600:
apparent geocentric ecliptic longitude and latitude of date, distance, right
ascension and declination of date, at each moment and one hour later (what
the engine's speeds are made of). skyfield gets all N moments as one Time
array per instant. The rounds alternate engine and skyfield; medians of wall
and CPU time are printed (CPU time is the fairer figure on a loaded machine;
numpy may add threads of its own to skyfield's). A second engine figure is a
daily table of N consecutive days.

Usage: python bench/bench_positions.py [--kernel PATH] [--moments N] [--rounds R]
"""
import argparse
import os
import statistics
import sys
import time

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import quorvane_engine as q  # noqa: E402

from tests.support.kernels import de440_path  # noqa: E402

CODES = (10, 301, 199, 299, 4, 5, 6, 7, 8, 9)
NAMES = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune",
         "Pluto"]


def timed(work):
    wall, cpu = time.perf_counter(), time.process_time()
    work()
    return time.perf_counter() - wall, time.process_time() - cpu


def skyfield_work(kernel, ts, days):
    from skyfield.framelib import ecliptic_frame

    earth = kernel[399]
    targets = [kernel[code] for code in CODES]

    def run():
        for offset in (0.0, 1 / 24):
            observer = earth.at(ts.ut1_jd(days + offset))
            for target in targets:
                place = observer.observe(target).apparent()
                place.frame_latlon(ecliptic_frame)
                place.radec(epoch="date")
    return run


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--moments", type=int, default=100_000)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    from skyfield.api import load, load_file

    engine = q.Engine([args.kernel])
    kernel = load_file(args.kernel)
    ts = load.timescale(builtin=True)
    days = np.random.default_rng(26).uniform(2305448.0, 2670000.0, args.moments)
    daily = 2451545.0 + np.arange(float(args.moments)) % 365000.0
    figures = {"engine, random moments": [], "engine, daily table": [], "skyfield": []}
    for _ in range(args.rounds):
        figures["engine, random moments"].append(timed(lambda: engine.positions(days, NAMES)))
        figures["engine, daily table"].append(timed(lambda: engine.positions(daily, NAMES)))
        figures["skyfield"].append(timed(skyfield_work(kernel, ts, days)))
    per = 10 * args.moments
    print(f"10 bodies x {args.moments} moments, {args.rounds} rounds, load average "
          f"{os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
    medians = {}
    for label, runs in figures.items():
        wall = statistics.median(r[0] for r in runs)
        cpu = statistics.median(r[1] for r in runs)
        medians[label] = (wall, cpu)
        print(f"  {label:24s} wall {wall:8.2f} s   cpu {cpu:8.2f} s   "
              f"({cpu / per * 1e6:.2f} us cpu per body and moment)")
    sky_wall, sky_cpu = medians["skyfield"]
    wall, cpu = medians["engine, random moments"]
    print(f"  skyfield / engine: {sky_wall / wall:.1f}x wall, {sky_cpu / cpu:.1f}x cpu")


if __name__ == "__main__":
    main()
