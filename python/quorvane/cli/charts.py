"""The chart subcommands: chart, horary, transit, election, elections,
bazi, zi-wei and jyotish from a local time and place, and the place search."""
from __future__ import annotations

import argparse
import sys

import quorvane_engine

from .. import casting, places
from ..options import chart_options, zodiac_options
from .common import (Failure, Progress, add_chart_options, add_code_option, add_place,
                     add_zodiac, birth_chart, json_option, moment, note_midnight, open_engine,
                     subcommand, where)


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


def add_commands(commands) -> None:
    sub = chart_command(commands, "chart", "the chart of a moment and place")
    sub.add_argument("--chinese-calendar", action="store_true",
                     help="add the Chinese calendar of the moment")
    add_node(sub)
    add_structure_options(sub)

    sub = chart_command(commands, "horary", "a horary chart with its considerations and judgment")
    add_node(sub)
    sub.add_argument("--quesited-house", type=int, metavar="N",
                     help="house (1-12) of the matter asked about")

    sub = chart_command(commands, "transit",
                        "the sky of a moment with its aspects to natal positions")
    natal = sub.add_mutually_exclusive_group(required=True)
    natal.add_argument("--natal", type=json_option, metavar="FILE",
                       help="natal positions: a chart dict (as `chart --json` prints) or a "
                            "list of {name, ecliptic_longitude}; inline JSON or @FILE")
    natal.add_argument("--birth", nargs="+", metavar="MOMENT [LAT LON]",
                       help="compute the natal chart of this local time, at these "
                            "coordinates or --birth-place")
    sub.add_argument("--birth-place", metavar="NAME", help="the birth place by name")

    sub = chart_command(commands, "election", "the electional assessment of one moment")
    sub.add_argument("--criteria", type=json_option, metavar="JSON",
                     help="election criteria dict (inline or @FILE)")

    sub = subcommand(commands, "house-positions",
                     "the fractional house of each body, from its place on the sphere")
    add_place(sub)
    group = sub.add_argument_group("houses")
    add_code_option(group, "--house-system", "house_system", "P", "house system")
    group.add_argument("--house-obliquity", default="mean", choices=("mean", "true"),
                       help="obliquity of the houses: the IAU 1980 mean (default), or true")
    group.add_argument("--bodies", metavar="NAMES",
                       help="bodies joined by commas (default the chart's bodies)")

    sub = subcommand(commands, "elections",
                     "the best electional windows over a period (up to 92 days)")
    add_place(sub, "start", "end")
    add_zodiac(sub)
    sub.add_argument("--criteria", type=json_option, metavar="JSON",
                     help="election criteria dict (inline or @FILE)")
    sub.add_argument("--progress", action=argparse.BooleanOptionalAction, default=None,
                     help="show the elapsed time while searching (default: on a terminal)")

    sub = subcommand(commands, "bazi", "the Four Pillars of a birth")
    add_chinese_birth(sub)
    sub.add_argument("--luck-pillars", type=int, default=10, metavar="N",
                     help="number of ten-year luck pillars (default 10)")

    sub = subcommand(commands, "zi-wei", "the Zi Wei Dou Shu chart of a birth")
    add_chinese_birth(sub)
    sub.add_argument("--leap-month", default="split", help="split or same")

    add_jyotish(subcommand(commands, "jyotish",
                           "the Jyotish chart of a birth: rasi, vargas, dashas, "
                           "ashtakavarga, panchanga"))

    # No engine: --json alone, after the command's own arguments.
    sub = subcommand(commands, "place",
                     "places by name, its beginning or a near spelling, with their time zones", engine=False)
    sub.add_argument("name", help='a place name, optionally with its region or country '
                                  '("Springfield, IL")')
    sub.add_argument("--limit", type=int, default=10, metavar="N",
                     help="at most N places (default 10)")
    sub.add_argument("--json", action="store_true", help="print the result as JSON")


# The dasha years by name, and by their length in days.
DASHA_YEARS = {"julian": "julian", "tropical": "tropical", "savana": "savana",
               "365.25": "julian", "365.2422": "tropical", "360": "savana"}


def dasha_year(text: str) -> str:
    try:
        return DASHA_YEARS[text.strip().lower()]
    except KeyError:
        raise argparse.ArgumentTypeError(
            "julian (365.25), tropical (365.2422) or savana (360)") from None


def add_jyotish(sub) -> None:
    add_place(sub)
    group = sub.add_argument_group("jyotish options")
    add_code_option(group, "--ayanamsa", "ayanamsa", "lahiri", "ayanamsa")
    add_node(group)
    group.add_argument("--dasha-year", type=dasha_year, default="julian", metavar="YEAR",
                       help="the dasha year: julian (365.25 days, default), tropical "
                            "(365.2422) or savana (360); the length in days also works")
    group.add_argument("--house-division", default="whole_sign", choices=("whole_sign", "equal"),
                       help="whole signs from the lagna (default), or equal bhavas from its "
                            "degree")
    group.add_argument("--sunrise", default="disc_centre", choices=("disc_centre", "upper_limb"),
                       help="when the panchanga's day begins: the Sun's centre on the horizon "
                            "without refraction (default), or its upper limb with refraction")
    group.add_argument("--dasha-depth", type=int, default=2, metavar="N",
                       help="levels of the dasha periods: 1-3, or 1-5 with --dasha-from/--dasha-to")
    group.add_argument("--dasha-at", type=moment, metavar="MOMENT",
                       help="also the five levels of periods running at this local time")
    group.add_argument("--dasha-from", type=moment, metavar="MOMENT",
                       help="only the periods from this local time (with --dasha-to)")
    group.add_argument("--dasha-to", type=moment, metavar="MOMENT")
    group = sub.add_argument_group("pictures")
    group.add_argument("--svg", choices=("north", "south"),
                       help="draw the chart in the North or South Indian style")
    group.add_argument("--varga", default="D1", metavar="DN",
                       help="the divisional chart drawn (default D1; D9 the navamsa)")
    group.add_argument("--output", metavar="PATH", default="-",
                       help="where the picture goes (default '-': standard output); a "
                            "path ending in .png gets a PNG")
    group.add_argument("--theme", choices=("light", "dark"), default="light", help="picture colours")
    group.add_argument("--size", type=float, default=480, metavar="PIXELS",
                       help="picture side in pixels (default 480)")
    group.add_argument("--title", help="a caption for the picture")
    sub.set_defaults(png=None)


def chart_command(commands, name: str, help_text: str) -> argparse.ArgumentParser:
    """A command casting one chart: a moment, a place and the chart options."""
    sub = subcommand(commands, name, help_text)
    add_place(sub)
    add_chart_options(sub)
    return sub


def add_structure_options(parser) -> None:
    group = parser.add_argument_group("structure")
    group.add_argument("--structure", action="store_true",
                       help="add the chart's structure: aspect patterns, tallies, "
                            "dispositors, shape and midpoints")
    group.add_argument("--rulers", default="traditional", choices=("traditional", "modern"),
                       help="the dispositors' rulers (default traditional)")
    group.add_argument("--midpoint-orb", type=float, default=1.5, metavar="DEGREES",
                       help="orb of the midpoint trees (default 1.5)")
    group.add_argument("--harmonic", type=int, metavar="N",
                       help="add the Nth harmonic chart")


def with_structure(result: dict, args) -> dict:
    """The chart with the structure and harmonic blocks asked for."""
    if args.structure:
        result["structure"] = quorvane_engine.chart_structure(
            result, rulers=args.rulers, midpoint_orb=args.midpoint_orb)
    if args.harmonic is not None:
        result["harmonic_chart"] = quorvane_engine.harmonic_chart(result, args.harmonic)
    return result


def add_node(parser) -> None:
    parser.add_argument("--node", default="mean", choices=("mean", "true"),
                        help="the lunar nodes: mean (default) or true (of the osculating orbit)")


def cast(function, args, **options):
    """One of `quorvane.casting`'s functions of the command's moment and place."""
    note_midnight(args.moment)
    return function(args.moment, engine=open_engine(args), **where(args), **options)


def run_chart(args):
    return with_structure(cast(casting.natal, args, chinese_calendar=args.chinese_calendar,
                               node=args.node, **chart_options(args)), args)


def run_horary(args):
    return cast(casting.horary, args, quesited_house=args.quesited_house, node=args.node,
                **chart_options(args))


def run_transit(args):
    engine = open_engine(args)
    natal = birth_chart(args, engine) if args.birth else args.natal
    return casting.transit(natal, args.moment, engine=engine, **where(args),
                           **chart_options(args))


def run_house_positions(args):
    bodies = [b.strip() for b in args.bodies.split(",") if b.strip()] if args.bodies else None
    return cast(casting.house_positions, args, bodies=bodies, house_system=args.house_system,
                house_obliquity=args.house_obliquity)


def run_election(args):
    return cast(casting.election, args, criteria=args.criteria, **chart_options(args))


def run_elections(args):
    engine = open_engine(args)
    start = casting.birth(args.start, **where(args))
    end = casting.birth(args.end, **where(args))
    show = sys.stderr.isatty() if args.progress is None else args.progress
    with Progress("searching elections", sys.stderr, enabled=show):
        found = engine.elections(start["utc"], end["utc"], start["latitude"],
                                 start["longitude"], criteria=args.criteria,
                                 **zodiac_options(args))
    return {"input": {"start": start, "end": end}, **found}


def chinese_options(args) -> dict:
    return dict(solar_time=args.solar_time, zi_hour=args.zi_hour, sex=args.sex,
                year=args.year, date=args.date)


def run_bazi(args):
    return cast(casting.bazi, args, luck_pillars=args.luck_pillars, **chinese_options(args))


def run_zi_wei(args):
    return cast(casting.zi_wei, args, leap_month=args.leap_month, **chinese_options(args))


def run_jyotish(args):
    def utc(text):  # a dasha moment, read in the birth's zone
        return None if text is None else casting.birth(text, **where(args))["utc"]
    return cast(casting.jyotish, args, ayanamsa=args.ayanamsa, node=args.node,
                dasha_year=args.dasha_year, house_division=args.house_division,
                sunrise=args.sunrise, dasha_depth=args.dasha_depth,
                dasha_at=utc(args.dasha_at), dasha_from=utc(args.dasha_from),
                dasha_to=utc(args.dasha_to))


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
    "house-positions": run_house_positions,
    "elections": run_elections,
    "bazi": run_bazi,
    "zi-wei": run_zi_wei,
    "jyotish": run_jyotish,
    "place": run_place,
}
