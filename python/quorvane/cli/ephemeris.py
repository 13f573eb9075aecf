"""`quorvane ephemeris`: a table of positions over a span, one row a step.

    quorvane ephemeris 2025-01-01 2025-12-31 --step 1d
    quorvane ephemeris 2025-01-01 2025-01-31 --step 6h --bodies Sun,Moon,"True Node" --csv

The table reads like a printed monthly ephemeris (degree, sign, minute, R
when the body moves backwards); --csv gives every column of
Engine.positions, --json the same as lists. Long spans are computed in
chunks, with a progress line on a terminal.
"""
from __future__ import annotations

import argparse
import csv
import datetime
import json
import re
import sys

import quorvane_engine

from .common import open_engine, subcommand

SIGNS = "\u2648\u2649\u264a\u264b\u264c\u264d\u264e\u264f\u2650\u2651\u2652\u2653"
J2000 = datetime.datetime(2000, 1, 1, 12, tzinfo=datetime.timezone.utc)
UNITS = {"w": 7.0, "d": 1.0, "h": 1 / 24, "m": 1 / 1440}
CHUNK = 2000
MOST_ROWS = 5_000_000
COLUMNS = ("longitude", "latitude", "distance", "longitude_speed", "latitude_speed",
           "distance_speed", "right_ascension", "declination")


def add_commands(commands) -> None:
    parser = subcommand(commands, "ephemeris",
                        "a table of positions from one date to another (an ephemeris)")
    parser.add_argument("start", help="first moment: a UTC date or date-time (2025-01-01)")
    parser.add_argument("end", help="last moment (included when a step lands on it)")
    parser.add_argument("--step", default="1d", type=step_days,
                        help="time between rows: a number and w, d, h or m (default 1d)")
    parser.add_argument("--bodies", type=body_list, metavar="NAMES",
                        help="comma-separated names or NAIF codes "
                             "(default: the chart's fourteen bodies)")
    parser.add_argument("--zodiac", dest="zodiac_type", default="tropical",
                        help="tropical or sidereal (default tropical)")
    parser.add_argument("--ayanamsa", default="galcent_0sag",
                        help="ayanamsa of the sidereal zodiac (default galcent_0sag)")
    parser.add_argument("--heliocentric", action="store_true",
                        help="seen from the Sun instead of the Earth")
    parser.add_argument("--csv", action="store_true", help="every column as CSV")
    parser.add_argument("--progress", action=argparse.BooleanOptionalAction, default=None,
                        help="show how far the computation is (default: on a terminal)")


def step_days(text: str) -> float:
    match = re.fullmatch(r"\s*(\d+(?:\.\d*)?|\.\d+)\s*([wdhm])\s*", text)
    if not match or float(match[1]) <= 0:
        raise ValueError(f"not a step: {text!r}")
    return float(match[1]) * UNITS[match[2]]


step_days.__name__ = "step"


def body_list(text: str) -> list:
    return [int(item) if re.fullmatch(r"-?\d+", item.strip()) else item.strip()
            for item in text.split(",") if item.strip()]


body_list.__name__ = "body list"


def moment_text(text: str) -> str:
    if text == "now":
        return datetime.datetime.now(datetime.timezone.utc).isoformat()
    return text if "T" in text else text + "T00:00:00Z"


def date_of(jd: float) -> str:
    moment = J2000 + datetime.timedelta(days=jd - 2451545.0)
    moment = (moment + datetime.timedelta(seconds=30)).replace(second=0, microsecond=0)
    return moment.strftime("%Y-%m-%d %H:%M")


def zodiacal(longitude: float, speed: float) -> str:
    if longitude != longitude:  # NaN: Chiron outside its table
        return "-"
    minutes = round(longitude * 60.0) % 21600
    sign, rest = divmod(minutes, 1800)
    text = f"{rest // 60:2d}{SIGNS[sign]}{rest % 60:02d}"
    return text + (" R" if speed < 0 else "  ")


def moments(start: float, end: float, step: float) -> list[float]:
    count = int((end - start) / step + 1e-9) + 1 if end >= start else 0
    if count > MOST_ROWS:
        raise ValueError(f"{count} rows is more than {MOST_ROWS}: take a longer step")
    return [start + k * step for k in range(count)]


class ProgressLine:
    def __init__(self, total: int, stream, enabled: bool):
        self.total, self.stream, self.enabled = total, stream, enabled and total > CHUNK

    def show(self, done: int) -> None:
        if self.enabled:
            self.stream.write(f"\rephemeris: {100 * done // self.total:3d}% "
                              f"({done} of {self.total} moments)")
            self.stream.flush()

    def clear(self) -> None:
        if self.enabled:
            self.stream.write("\r" + " " * 60 + "\r")
            self.stream.flush()


def chunks(engine, days: list[float], args, progress: ProgressLine):
    options = dict(zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)
    if args.heliocentric:
        options["center"] = "heliocentric"
    for first in range(0, len(days), CHUNK):
        progress.show(first)
        yield engine.positions(days[first:first + CHUNK], args.bodies, **options)
    progress.clear()


def run(args):
    engine = open_engine(args)
    start = quorvane_engine.julian_day(moment_text(args.start))
    end = quorvane_engine.julian_day(moment_text(args.end))
    days = moments(start, end, args.step)
    enabled = sys.stderr.isatty() if args.progress is None else args.progress
    progress = ProgressLine(len(days), sys.stderr, enabled)
    out = sys.stdout
    if not args.json and not args.csv and hasattr(out, "reconfigure"):
        out.reconfigure(errors="replace")
    if args.json:
        collected = {}
        for result in chunks(engine, days, args, progress):
            collected.setdefault("bodies", result["bodies"])
            for key in ("jd",) + COLUMNS:
                collected.setdefault(key, []).extend(result[key].tolist())
        out.write(json.dumps(collected) + "\n")
        return None
    writer = csv.writer(out) if args.csv else None
    header_done = False
    for result in chunks(engine, days, args, progress):
        names = [str(name) for name in result["bodies"]]
        if not header_done:
            header_done = True
            if writer:
                writer.writerow(["date", "jd"] + [f"{n} {c}" for n in names for c in COLUMNS])
            else:
                out.write("Date (UT)        " + "".join(f"{n[:9]:>10}" for n in names) + "\n")
        for i, jd in enumerate(result["jd"].tolist()):
            if writer:
                values = [repr(float(result[c][i, j])) for j in range(len(names)) for c in COLUMNS]
                writer.writerow([date_of(jd), repr(jd)] + values)
            else:
                cells = (zodiacal(result["longitude"][i, j], result["longitude_speed"][i, j])
                         for j in range(len(names)))
                out.write(f"{date_of(jd)} " + "".join(f"{c:>10}" for c in cells) + "\n")
    return None


COMMANDS = {"ephemeris": run}  # prints its rows itself, as they come
