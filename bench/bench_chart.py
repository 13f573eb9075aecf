"""Engine.chart timings: median and 99th percentile at random moments and
places across the kernel, the throughput of two threads against one, and
the time the Chinese calendar adds.

Usage: python bench/bench_chart.py [--kernel PATH] [--count N]
"""
import argparse
import os
import random
import statistics
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import quorvane_engine as q

from tests.support.kernels import de440_path


def moments(count, seed=1):
    rng = random.Random(seed)
    out = []
    for _ in range(count):
        year = rng.randrange(1600, 2600)
        out.append((f"{year:04d}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}T"
                    f"{rng.randrange(24):02d}:{rng.randrange(60):02d}:00Z",
                    rng.uniform(-60, 60), rng.uniform(-180, 180)))
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=2000)
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    work = moments(args.count)
    times = []
    for moment, lat, lon in work:
        start = time.perf_counter()
        engine.chart(moment, lat, lon)
        times.append(time.perf_counter() - start)
    times.sort()
    print(f"Engine.chart: median {statistics.median(times) * 1e3:.3f} ms, "
          f"p99 {times[int(len(times) * 0.99)] * 1e3:.3f} ms over {len(times)} charts")

    def run(part):
        for moment, lat, lon in part:
            engine.chart(moment, lat, lon)

    start = time.perf_counter()
    run(work)
    single = len(work) / (time.perf_counter() - start)
    halves = [work[0::2], work[1::2]]
    threads = [threading.Thread(target=run, args=(h,)) for h in halves]
    start = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    double = len(work) / (time.perf_counter() - start)
    print(f"throughput: 1 thread {single:.0f}/s, 2 threads {double:.0f}/s "
          f"({double / single:.2f}x)")

    calendar_times = []
    for moment, lat, lon in work[:200]:
        start = time.perf_counter()
        engine.chart(moment, lat, lon, chinese_calendar=True)
        calendar_times.append(time.perf_counter() - start)
    plain = statistics.median(times[:200])
    with_calendar = statistics.median(calendar_times)
    print(f"with chinese_calendar=True: median {with_calendar * 1e3:.3f} ms "
          f"(the calendar adds {(with_calendar - plain) * 1e3:.3f} ms)")


if __name__ == "__main__":
    main()
