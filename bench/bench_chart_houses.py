"""Engine.chart in every house system beside the Placidus chart, in one run:
the same random moments and places (within the polar circles) for each
system, interleaved round by round so that a busy machine slows all of them
alike, each round beginning with another. Prints the median thread CPU time of a chart, its ratio to Placidus,
and Engine.house_positions of the chart's fourteen bodies the same way.

Usage: python bench/bench_chart_houses.py [--kernel PATH] [--count N] [--rounds R]
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--rounds", type=int, default=9)
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    work = moments(args.count, seed=37)
    codes = [c["code"] for c in q.option_codes()["house_system"]]
    calls = {"chart": engine.chart, "house_positions": engine.house_positions}
    per = {(what, code): [] for what in calls for code in codes}
    for round in range(args.rounds):
        # Each round starts with another system, so none is always the first.
        order = codes[round % len(codes):] + codes[:round % len(codes)]
        for what, call in calls.items():
            for code in order:
                start = time.thread_time_ns()
                for moment, lat, lon in work:
                    call(moment, lat, lon, house_system=code)
                per[what, code].append((time.thread_time_ns() - start) / len(work) / 1e3)
    for what in calls:
        placidus = statistics.median(per[what, "P"])
        print(f"Engine.{what}: median thread CPU time per call over {len(work)} calls, "
              f"{args.rounds} rounds")
        print(f"{'code':4} {'us per call':>12} {'/ P':>7}")
        for code in codes:
            m = statistics.median(per[what, code])
            print(f"{code:4} {m:12.1f} {m / placidus:7.3f}")


if __name__ == "__main__":
    main()
