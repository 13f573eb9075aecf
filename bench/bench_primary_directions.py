"""Engine.primary_directions: every direction of a chart over 100 years
(all significators, promissor families, both directions), for each method
and for the keys that read the ephemeris beyond the birth, beside
Engine.chart of the same births as a yardstick from the same run. Births
are random moments and places within the polar circles; methods are
interleaved round by round so a busy machine slows all of them alike.
Prints the median wall time per call and the number of directions listed.

Usage: python bench/bench_primary_directions.py [--kernel PATH] [--count N] [--rounds R]
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.dirname(__file__))

import quorvane_engine as q

from bench_chart import moments
from tests.support.kernels import de440_path

METHODS = ["placidus_mundane", "placidus_zodiacal", "placidus_pole", "regiomontanus",
           "campanus", "topocentric"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=30)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    work = moments(args.count, seed=41)
    cases = {"chart (yardstick)": lambda m, la, lo: engine.chart(m, la, lo)}
    for method in METHODS:
        cases[method] = (lambda method: lambda m, la, lo: engine.primary_directions(
            m, la, lo, end_age=100, method=method))(method)
    for key in ("true_solar_arc", "simmonite"):
        cases[f"placidus_zodiacal, {key}"] = (lambda key: lambda m, la, lo: engine.primary_directions(
            m, la, lo, end_age=100, key=key))(key)
    per = {name: [] for name in cases}
    listed = {name: 0 for name in cases}
    names = list(cases)
    for round in range(args.rounds):
        order = names[round % len(names):] + names[:round % len(names)]
        for name in order:
            start = time.perf_counter()
            for moment, lat, lon in work:
                result = cases[name](moment, lat, lon)
                if isinstance(result, dict) and "directions" in result:
                    listed[name] = max(listed[name], len(result["directions"]))
            per[name].append((time.perf_counter() - start) / len(work) * 1e3)
    print(f"median wall time per call over {len(work)} births, {args.rounds} rounds")
    print(f"{'case':36} {'ms per call':>11} {'directions':>11}")
    for name in names:
        print(f"{name:36} {statistics.median(per[name]):11.2f} {listed[name] or '':>11}")


if __name__ == "__main__":
    main()
