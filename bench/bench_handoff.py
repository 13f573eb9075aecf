"""The hand-off of a chart to Python: the record's own objects against the
way results were handed over before (JSON text, then json.loads), and the
whole Engine.chart both ways, in one run.

Usage: python bench/bench_handoff.py [--kernel PATH] [--count N] [--cpp BUILD/bench/handoff_bench]

With --cpp, the library-only costs of the same charts (computing, writing
the text, and the old tree-then-dump writing) come from the C++ benchmark,
and the hand-off alone is the whole call less the computation.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import quorvane_engine as q

from bench.bench_chart import moments
from tests.support.kernels import de440_path


def median_us(function, work):
    times = []
    for item in work:
        start = time.thread_time()
        function(*item)
        times.append(time.thread_time() - start)
    return statistics.median(times) * 1e6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel", default=de440_path())
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--cpp", default=None)
    args = parser.parse_args()
    engine = q.Engine([args.kernel])
    work = moments(args.count)
    texts = [(engine.chart(*w, json=True),) for w in work]
    # Alternating passes, so both paths see the same machine.
    objects, text, loads = [], [], []
    for _ in range(3):
        objects.append(median_us(engine.chart, work))
        text.append(median_us(lambda *w: engine.chart(*w, json=True), work))
        loads.append(median_us(json.loads, texts))
    objects, text, loads = min(objects), min(text), min(loads)
    old_whole = text + loads
    print(f"Engine.chart -> objects:             median {objects:7.1f} us")
    print(f"Engine.chart(json=True) + json.loads: median {old_whole:7.1f} us "
          f"(text {text:.1f} + json.loads {loads:.1f})")
    print(f"whole chart: {old_whole / objects:.2f}x faster as objects")
    if args.cpp:
        lines = "".join(f"{m} {lat!r} {lon!r}\n" for m, lat, lon in work)
        done = subprocess.run([args.cpp, f"--kernel={args.kernel}"], input=lines, text=True,
                              capture_output=True, check=True)
        cpp = dict(pair.split("=") for pair in done.stdout.split())
        compute, write, tree = (float(cpp[k]) for k in ("compute", "text", "tree_and_dump"))
        handoff_objects = objects - compute
        handoff_old = tree + loads
        print(f"library: compute {compute:.1f} us, text {write:.1f} us, old tree+dump {tree:.1f} us "
              f"({cpp['bytes']} bytes)")
        print(f"hand-off: objects {handoff_objects:.1f} us (call less computation); "
              f"old tree+dump+json.loads {handoff_old:.1f} us: {handoff_old / handoff_objects:.1f}x")


if __name__ == "__main__":
    main()
