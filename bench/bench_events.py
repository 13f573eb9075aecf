"""Engine.events over a year and a century (every kind of event), and all
the eclipses of 1600-2600; medians of wall and CPU time over the rounds,
with the number of events found.

Usage: python bench/bench_events.py [--kernel PATH] [--rounds R]
"""
import argparse
import os
import statistics
import sys
import time
from collections import Counter

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import quorvane_engine as q  # noqa: E402

from tests.support.kernels import de440_path  # noqa: E402

CASES = [
    ("a year, every kind (2026)", "2026-01-01T00:00:00Z", "2027-01-01T00:00:00Z", None),
    ("a century, every kind (1950-2050)", "1950-01-01T00:00:00Z", "2050-01-01T00:00:00Z", None),
    ("all eclipses 1600-2600", "1600-01-01T00:00:00Z", "2600-01-01T00:00:00Z", ["eclipses"]),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=None)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    engine = q.Engine([args.kernel or de440_path()])
    for label, start, end, kinds in CASES:
        walls, cpus = [], []
        for _ in range(args.rounds):
            wall, cpu = time.perf_counter(), time.process_time()
            found = engine.events(start, end, kinds=kinds)
            walls.append(time.perf_counter() - wall)
            cpus.append(time.process_time() - cpu)
        groups = Counter(e["group"] for e in found)
        print(f"{label}: {len(found)} events, wall {statistics.median(walls):.3f} s, "
              f"CPU {statistics.median(cpus):.3f} s  {dict(groups)}")


if __name__ == "__main__":
    main()
