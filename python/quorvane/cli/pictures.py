"""The picture options of the command line: --svg, --png and how they look.

The commands that draw get them once their own arguments are in
(`add_options`); `write(args, result)` draws after computing.
"""
from __future__ import annotations

import argparse
import sys

from .common import NOT_AVAILABLE, Failure, birth_chart, open_engine

THEMES = ("light", "dark")
# The commands with a picture: a wheel for the charts, a grid for the Chinese ones.
DRAWN = ("chart", "transit", "bazi", "zi-wei")


def add_options(commands) -> None:
    for name in DRAWN:
        add_picture_options(commands.choices[name])


def add_picture_options(parser: argparse.ArgumentParser) -> None:
    group = parser.add_argument_group("pictures")
    group.add_argument("--svg", metavar="PATH",
                       help="also draw the chart as SVG into PATH ('-': standard output)")
    group.add_argument("--png", metavar="PATH",
                       help="also draw the chart as PNG into PATH ('-': standard output)")
    group.add_argument("--theme", choices=THEMES, default="light", help="picture colours")
    group.add_argument("--size", type=float, default=800, metavar="PIXELS",
                       help="picture width in pixels (default 800)")
    group.add_argument("--aspects", default="all", metavar="WHICH",
                       help="aspect lines to draw: all, major, none, or names joined by "
                            "commas (Trine,Square)")
    group.add_argument("--title", help="a caption for the picture")
    if parser.prog.split()[-1] == "chart":
        group.add_argument("--name", help="whose chart: shown in the wheel's header")
        group.add_argument("--patterns", action="store_true",
                           help="outline the aspect patterns (grand trines, T-squares, ...)")
        group.add_argument("--wheel-only", action="store_true",
                           help="the wheel alone, without its header and tables")
        group.add_argument("--dial", action="store_true",
                           help="draw the 90-degree dial with the midpoints instead of the wheel")


def aspects_option(text: str):
    if text in ("all", "major", "none"):
        return text
    return [name.strip() for name in text.split(",") if name.strip()]


def natal_chart_for_transit(args):
    """The natal chart a transit is drawn round: --natal's chart dict, or --birth's chart."""
    if getattr(args, "birth", None):
        return birth_chart(args, open_engine(args))
    natal = args.natal
    if isinstance(natal, dict) and "houses" in natal and "planets" in natal:
        return natal
    raise ValueError("a transit picture needs the natal chart: pass --natal with a chart dict "
                     "(chart --json) or --birth")


def svg_of(args, result) -> str:
    from .. import wheel
    options = dict(theme=args.theme, title=args.title)
    if args.command == "bazi":
        return wheel.bazi_svg(result, width=args.size, **options)
    if args.command == "zi-wei":
        return wheel.zi_wei_svg(result, size=args.size, **options)
    options.update(size=args.size, aspects=aspects_option(args.aspects))
    if args.command == "transit":
        natal = natal_chart_for_transit(args)
        return wheel.bi_wheel_svg(natal, result, **options)
    if args.dial:
        return wheel.dial_svg(result, size=args.size, **options_without(options, "aspects", "size"))
    return wheel.natal_svg(result, name=args.name, patterns=args.patterns,
                           header=not args.wheel_only, tables=not args.wheel_only, **options)


def options_without(options: dict, *names: str) -> dict:
    return {k: v for k, v in options.items() if k not in names}


def took_standard_output(args) -> bool:
    """Whether a picture went to standard output, where no table may follow."""
    if args.command == "jyotish":
        return bool(args.svg) and args.output == "-"
    return "-" in (args.svg, args.png)


def write_jyotish(args, result) -> bool:
    """The North or South Indian picture of one varga (`--svg STYLE`)."""
    if not args.svg:
        return False
    if args.json and args.output == "-":
        raise Failure("only one output may go to standard output (-): the SVG or --json")
    from .. import wheel  # the Indian pictures come with the wheel module
    svg = wheel.jyotish_svg(result, varga=args.varga, style=args.svg, size=args.size,
                            theme=args.theme, title=args.title)
    if args.output.lower().endswith(".png"):
        write_file(args.output, png_of(svg))
    else:
        write_file(args.output, svg.encode("utf-8"))
    return True


def write(args, result) -> bool:
    """Writes the pictures asked for; True when there was one."""
    if args.command == "jyotish":
        return write_jyotish(args, result)
    if not (getattr(args, "svg", None) or getattr(args, "png", None)):
        return False
    if "-" in (args.svg, args.png) and (args.json or args.svg == args.png):
        raise Failure("only one output may go to standard output (-): the SVG, the PNG "
                      "or --json")
    svg = svg_of(args, result)
    if args.svg:
        write_file(args.svg, svg.encode("utf-8"))
    if args.png:
        write_file(args.png, png_of(svg))
    return True


def png_of(svg: str) -> bytes:
    from ..svg import to_png
    try:
        return to_png(svg)
    except RuntimeError as missing:  # no cairosvg here
        raise Failure(str(missing), NOT_AVAILABLE) from None


def write_file(path: str, data: bytes) -> None:
    """Writes `data` into the file at `path`, or to standard output for '-'."""
    if path == "-":
        try:
            sys.stdout.buffer.write(data)
            sys.stdout.flush()
        except BrokenPipeError:  # the reader stopped early
            sys.stdout = None
        return
    try:
        with open(path, "wb") as handle:
            handle.write(data)
    except OSError as error:
        raise ValueError(f"{path}: {error.strerror or error}") from None
