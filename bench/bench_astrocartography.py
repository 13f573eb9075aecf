"""Astrocartography timings for one birth: all lines, parans and local
space from the engine, then with the GeoJSON of them, then the SVG map;
medians over repeats.

With --old, an older build runs beside this one, each in its own worker
process with calls alternating so both see the same load, and the parans
of the two are compared over random births: pairs of angles found by one
build only, and the largest difference of latitude and longitude.

Usage: python bench/bench_astrocartography.py [--kernel PATH] [--count N]
           [--old PATHS [--births N]]
PATHS: the directories to put first on the older worker's import path,
joined with os.pathsep (its quorvane_engine, and its quorvane package for
the GeoJSON and the map).
"""
import argparse
import json
import os
import random
import statistics
import subprocess
import sys
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
BIRTH = ["1990-07-14T12:30:00Z", None, "mundo", 40.71, -74.01]
STAGES = ("engine (lines, parans, local space)", "engine + GeoJSON", "engine + SVG map")


def worker(kernel):
    import quorvane_engine as q
    from quorvane.astro_map import to_geojson
    from quorvane.world_map import map_svg

    engine = q.Engine([kernel])
    work = [lambda args: engine.astrocartography(*args),
            lambda args: to_geojson(engine.astrocartography(*args)),
            lambda args: map_svg(engine.astrocartography(*args))]
    print(json.dumps(q.__file__), flush=True)
    for line in sys.stdin:
        task = json.loads(line)
        if task["op"] == "parans":
            print(json.dumps(engine.astrocartography(*task["args"])["parans"]), flush=True)
            continue
        start = time.perf_counter()
        work[task["stage"]](task["args"])
        print(json.dumps(time.perf_counter() - start), flush=True)


def random_births(count, seed=41):
    rng = random.Random(seed)
    return [[f"{rng.randint(1600, 2500):04d}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}T"
             f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}Z",
             None, rng.choice(("mundo", "zodiaco"))] for _ in range(count)]


def by_kind(parans):
    kinds = {}
    for p in parans:
        key = (p["first"], p["first_angle"], p["second"], p["second_angle"])
        kinds.setdefault(key, []).append((p["latitude"], p["longitude"]))
    return {key: sorted(found) for key, found in kinds.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kernel")
    parser.add_argument("--count", type=int, default=50)
    parser.add_argument("--old", help="import path of the older build (see above)")
    parser.add_argument("--births", type=int, default=2000)
    parser.add_argument("--worker", action="store_true")
    args = parser.parse_args()
    if args.kernel is None:
        sys.path.insert(0, ROOT)
        from tests.support.kernels import de440_path
        args.kernel = de440_path()
    if args.worker:
        worker(args.kernel)
        return

    def spawn(path):
        env = dict(os.environ)
        if path:
            env["PYTHONPATH"] = path + os.pathsep + env.get("PYTHONPATH", "")
        return subprocess.Popen([sys.executable, __file__, "--worker", "--kernel", args.kernel],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)

    builds = {"new": spawn(None)}
    if args.old:
        builds["old"] = spawn(args.old)
    files = {name: json.loads(p.stdout.readline()) for name, p in builds.items()}
    for name, file in files.items():
        print(f"{name}: {file}")
    if args.old and files["old"] == files["new"]:
        sys.exit("both workers import the same module: does --old hold a build?")

    def run(name, task):
        process = builds[name]
        process.stdin.write(json.dumps(task) + "\n")
        process.stdin.flush()
        return json.loads(process.stdout.readline())

    parans = run("new", {"op": "parans", "args": BIRTH})
    print(f"one birth: {len(parans)} parans; medians of {args.count} calls")
    for stage, label in enumerate(STAGES):
        times = {name: [] for name in builds}
        for i in range(args.count + 2):  # the first two warm up
            for name in (sorted(builds) if i % 2 else sorted(builds, reverse=True)):
                seconds = run(name, {"op": "time", "stage": stage, "args": BIRTH})
                if i >= 2:
                    times[name].append(seconds)
        medians = {name: 1000 * statistics.median(t) for name, t in times.items()}
        shown = ", ".join(f"{name} {ms:.2f} ms" for name, ms in sorted(medians.items(), reverse=True))
        ratio = f", old / new {medians['old'] / medians['new']:.1f}" if args.old else ""
        print(f"{label}: {shown}{ratio}")

    if not args.old:
        return
    only = {"old": 0, "new": 0}
    worst_lat = worst_lon = 0.0
    worst_at = None
    for birth in random_births(args.births):
        found = {name: by_kind(run(name, {"op": "parans", "args": birth})) for name in builds}
        for key in found["old"].keys() | found["new"].keys():
            old, new = found["old"].get(key, []), found["new"].get(key, [])
            if len(old) != len(new):
                only["old" if len(old) > len(new) else "new"] += abs(len(old) - len(new))
                print(f"  {birth[0]} {birth[2]} {key}: old {old}, new {new}")
                continue
            for (lat0, lon0), (lat1, lon1) in zip(old, new):
                lon_gap = abs((lon1 - lon0 + 180.0) % 360.0 - 180.0)
                if abs(lat1 - lat0) > worst_lat:
                    worst_lat, worst_at = abs(lat1 - lat0), (birth[0], birth[2], key)
                worst_lon = max(worst_lon, lon_gap)
    print(f"parans over {args.births} random births (1600-2500, mundo or zodiaco): "
          f"{only['old']} found by the old build only, {only['new']} by the new only; "
          f"largest difference {worst_lat:.3g} deg of latitude ({worst_at}), "
          f"{worst_lon:.3g} deg of longitude")
    for process in builds.values():
        process.stdin.close()
        process.wait()


if __name__ == "__main__":
    main()
