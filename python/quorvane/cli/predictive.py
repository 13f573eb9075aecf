"""Subcommands of the predictive and relationship techniques: returns,
the transit timeline, progressions, solar-arc directions, composite and
Davison charts.

    quorvane return Sun 1990-07-15T05:30Z 51.5 -0.1 --after 2025-01-01T00:00Z
    quorvane timeline 2025-01-01T00:00Z 2026-01-01T00:00Z --birth 1990-07-15T05:30Z 51.5 -0.1
    quorvane davison 1990-07-15T05:30Z 51.5 -0.1 1988-02-01T22:10Z 48.85 2.35
"""
from __future__ import annotations

import argparse
import functools

from ..options import chart_options, zodiac_options
from . import common as base


def add_birth(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("birth", type=base.moment, help="UTC moment of birth")
    parser.add_argument("latitude", type=float, help="birth latitude, degrees north")
    parser.add_argument("longitude", type=float, help="birth longitude, degrees east")


def add_two_births(parser: argparse.ArgumentParser) -> None:
    for side in ("a", "b"):
        parser.add_argument(f"moment_{side}", type=base.moment, help=f"UTC moment of birth {side.upper()}")
        parser.add_argument(f"latitude_{side}", type=float, help="degrees north")
        parser.add_argument(f"longitude_{side}", type=float, help="degrees east")


def add_commands(commands) -> None:
    command = functools.partial(base.subcommand, commands)
    sub = command("return", "the next return of a body to its natal place, with its chart")
    sub.add_argument("body", help="Sun, Moon, Mercury ... Pluto")
    add_birth(sub)
    sub.add_argument("--after", type=base.moment, default="now", help="UTC moment to search from")
    sub.add_argument("--at", nargs=2, type=float, metavar=("LAT", "LON"),
                     help="cast the return chart here (default: the birthplace)")
    base.add_chart_options(sub)

    sub = command("returns", "every return of a body to its natal place over a span")
    sub.add_argument("body", help="Sun, Moon, Mercury ... Pluto")
    add_birth(sub)
    sub.add_argument("start", type=base.moment, help="UTC moment the span starts")
    sub.add_argument("end", type=base.moment, help="UTC moment the span ends")
    base.add_zodiac(sub)

    sub = command("timeline", "transit aspect passes, ingresses and stations over a span")
    sub.add_argument("start", type=base.moment, help="UTC moment the span starts")
    sub.add_argument("end", type=base.moment, help="UTC moment the span ends")
    natal = sub.add_mutually_exclusive_group(required=True)
    natal.add_argument("--natal", type=base.json_option, metavar="FILE",
                       help="the natal chart dict (as `chart --json` prints); inline JSON or @FILE")
    natal.add_argument("--birth", nargs=3, metavar=("MOMENT", "LAT", "LON"),
                       help="compute the natal chart of this moment and place")
    sub.add_argument("--bodies", help="transiting bodies, comma-separated (default: all ten)")
    base.add_chart_options(sub)

    sub = command("progressions", "the secondary progressed chart of a birth for a date")
    add_birth(sub)
    sub.add_argument("target", type=base.moment, help="UTC moment progressed to")
    sub.add_argument("--angles", default="solar_arc", choices=["solar_arc", "naibod"],
                     help="how the angles progress (default solar_arc)")
    base.add_chart_options(sub)

    sub = command("directions", "solar-arc directions and their exact aspects over a span")
    add_birth(sub)
    sub.add_argument("start", type=base.moment, help="UTC moment directed to")
    sub.add_argument("end", type=base.moment, help="UTC moment the span of exact aspects ends")
    base.add_zodiac(sub)

    sub = command("composite", "the composite (midpoint) chart of two births")
    add_two_births(sub)
    base.add_chart_options(sub)

    sub = command("davison", "the Davison chart of two births (midpoint moment and place)")
    add_two_births(sub)
    base.add_chart_options(sub)


def natal_chart(engine, args) -> dict:
    return engine.chart(args.birth, args.latitude, args.longitude,
                        zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)


def natal_longitude(engine, args) -> float:
    for planet in natal_chart(engine, args)["planets"]:
        if planet["name"] == args.body:
            return planet["ecliptic_longitude"]
    raise base.Failure(f"{args.body} is not a body with returns")


def run_return(args):
    engine = base.open_engine(args)
    latitude, longitude = args.at if args.at else (args.latitude, args.longitude)
    return engine.planet_return(args.body, natal_longitude(engine, args), args.after,
                                latitude, longitude, **chart_options(args))


def run_returns(args):
    engine = base.open_engine(args)
    return engine.returns(args.body, natal_longitude(engine, args), args.start, args.end,
                          zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)


def run_timeline(args):
    engine = base.open_engine(args)
    if args.birth:
        birth, lat, lon = args.birth
        try:
            lat, lon = float(lat), float(lon)
        except ValueError:
            raise base.Failure(f"--birth: latitude and longitude must be numbers, not "
                               f"{args.birth[1]!r} {args.birth[2]!r}") from None
        natal = engine.chart(base.moment(birth), lat, lon, **chart_options(args))
    else:
        natal = args.natal
    bodies = [b.strip() for b in args.bodies.split(",")] if args.bodies else None
    return engine.transit_timeline(natal, args.start, args.end, bodies=bodies,
                                   orb_settings=args.orb_settings,
                                   zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)


def run_progressions(args):
    return base.open_engine(args).progressions(
        args.birth, args.target, args.latitude, args.longitude, angle_method=args.angles,
        orb_settings=args.orb_settings, **zodiac_options(args))


def run_directions(args):
    return base.open_engine(args).solar_arc_directions(
        args.birth, args.start, args.end, args.latitude, args.longitude, **zodiac_options(args))


def two_births(args) -> list:
    return [args.moment_a, args.latitude_a, args.longitude_a,
            args.moment_b, args.latitude_b, args.longitude_b]


def run_composite(args):
    return base.open_engine(args).composite(*two_births(args), orb_settings=args.orb_settings,
                                            **zodiac_options(args))


def run_davison(args):
    return base.open_engine(args).davison(*two_births(args), **chart_options(args))


COMMANDS = {
    "return": run_return,
    "returns": run_returns,
    "timeline": run_timeline,
    "progressions": run_progressions,
    "directions": run_directions,
    "composite": run_composite,
    "davison": run_davison,
}
