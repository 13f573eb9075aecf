"""Charts per second: serially, with 2 threads on one Engine, and with a
2-process pool (the Engine pickled to the workers).

Usage: python bench/bench_scale.py [--kernel PATH] [--count N]
"""
import argparse
import concurrent.futures
import os
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.dirname(__file__))

import quorvane_engine as q

from bench_chart import moments
from tests.support.kernels import de440_path


def chart_of(engine, item):
    moment, lat, lon = item
    return engine.chart(moment, lat, lon)


def charts(engine, items):
    return [chart_of(engine, item) for item in items]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=10000)
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    work = moments(args.count, seed=3)

    start = time.perf_counter()
    charts(engine, work)
    serial = len(work) / (time.perf_counter() - start)

    halves = [work[0::2], work[1::2]]
    threads = [threading.Thread(target=charts, args=(engine, h)) for h in halves]
    start = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    threaded = len(work) / (time.perf_counter() - start)

    chunks = [work[i:i + 250] for i in range(0, len(work), 250)]
    with concurrent.futures.ProcessPoolExecutor(max_workers=2) as pool:
        list(pool.map(charts, [engine] * 2, [chunks[0][:10]] * 2))  # start the workers
        start = time.perf_counter()
        list(pool.map(charts, [engine] * len(chunks), chunks))
        pooled = len(work) / (time.perf_counter() - start)

    print(f"{len(work)} charts: serial {serial:.0f}/s, 2 threads {threaded:.0f}/s "
          f"({threaded / serial:.2f}x), 2-process pool {pooled:.0f}/s ({pooled / serial:.2f}x)")


if __name__ == "__main__":
    main()
