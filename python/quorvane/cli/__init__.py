"""The `quorvane` command: charts and the other computations from a shell.

    quorvane chart "1990-07-14 08:30" --place "New York"
    quorvane chart "1990-07-14 08:30" 40.71 -74.01 --tz America/New_York --json > natal.json
    quorvane chart 2024-03-20T12:00Z 51.48 -0.0 --house-system K
    quorvane transit "2025-01-01 00:00" --place London --natal @natal.json
    quorvane astrocartography "1990-07-14 08:30" --place "New York" --geojson lines.json
    quorvane place Springfield
    quorvane events 2026 --kinds eclipses,lunations --place London --ics sky.ics
    quorvane eclipse 2026-08-12 --place Madrid
    quorvane jyotish "1990-07-14 08:30" --place Delhi --svg north --varga D9 --output d9.svg

A readable table by default, `--json` for the exact dict. Each group of
subcommands is a module of its own (`charts`, `ephemeris`, `predictive`)
over `common`; this one puts them under one parser and runs them.
"""
from __future__ import annotations

import argparse
import json
import sys
import warnings

import quorvane_engine

from ..serve import command as serve_command
from . import charts, doctor, ephemeris, mapping, pictures, predictive, sky
from ..options import UNKNOWN_OPTION, refuse_unknown_options, unknown_option
from .common import (BAD_INPUT, ENGINE_FAILED, EPILOG, NOT_AVAILABLE, OK, PROG, Failure,
                     Parser)
from .tables import text_lines

COMMANDS = {**charts.COMMANDS, **ephemeris.COMMANDS, **predictive.COMMANDS,
            **mapping.COMMANDS, **doctor.COMMANDS, **sky.COMMANDS, "serve": serve_command.run}


def build_parser() -> argparse.ArgumentParser:
    parser = Parser(
        prog=PROG, description="Astrology computations over JPL ephemeris kernels.",
        epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", action="version",
                        version=f"%(prog)s {doctor.version_line()}")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)
    charts.add_commands(commands)
    pictures.add_options(commands)
    ephemeris.add_commands(commands)
    predictive.add_commands(commands)
    mapping.add_commands(commands)
    sky.add_commands(commands)
    doctor.add_commands(commands)
    sub = commands.add_parser("serve", help="the chart service over HTTP, with a page at /",
                              description="the chart service over HTTP, with a page at /")
    serve_command.add_arguments(sub)
    return parser


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


def parse(parser: argparse.ArgumentParser, argv: list[str]) -> argparse.Namespace:
    """The arguments, where a command's open list of values (a birth's
    [LAT LON] and the moments after it) may go on after its options:
    argparse stops filling such a list at the first option."""
    args, extra = parser.parse_known_args(argv)
    listed = next((name for name in ("rest", "births") if hasattr(args, name)), None)
    if extra and (listed is None or any(e.startswith("--") for e in extra)):
        parser.error("unrecognized arguments: " + " ".join(extra))
    if extra:
        setattr(args, listed, getattr(args, listed) + extra)
    return args


def main(argv=None) -> int:
    parser = build_parser()
    try:
        args = parse(parser, joined_offsets(sys.argv[1:] if argv is None else list(argv)))
    except SystemExit as stop:  # argparse has printed its usage line
        return stop.code if isinstance(stop.code, int) else BAD_INPUT
    try:
        with warnings.catch_warnings():
            # An option text the engine does not know (an orb method in
            # --orbs) is refused rather than replaced by its default.
            refuse_unknown_options()
            result = COMMANDS[args.command](args)
        # The tables print beside a picture, unless the picture itself took
        # standard output.
        if pictures.write(args, result) and not args.json \
                and pictures.took_standard_output(args):
            return OK
    except UNKNOWN_OPTION as warning:
        if unknown_option(warning) is None:
            raise
        return fail(unknown_option(warning), BAD_INPUT)
    except Failure as failure:
        return fail(str(failure), failure.status)
    except serve_command.MissingExtra as missing:
        return fail(str(missing), NOT_AVAILABLE)
    except quorvane_engine.EngineError as error:
        return fail(str(error), ENGINE_FAILED)
    except (ValueError, TypeError, OverflowError) as error:
        return fail(for_the_command_line(str(error)), BAD_INPUT)
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


def for_the_command_line(message: str) -> str:
    """A library message as the command line's user acts on it: its
    keyword arguments become the options that set them."""
    return (message.replace("fold='first'", "--fold first")
            .replace("fold='second'", "--fold second"))
