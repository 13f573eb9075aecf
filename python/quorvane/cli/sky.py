"""Subcommands of the sky's events: a calendar of a span, and a solar
eclipse seen from a place.

    quorvane events 2026 --kinds eclipses,lunations --place London
    quorvane events 2026 --until 2027 --tz Europe/Paris --ics sky.ics
    quorvane eclipse 2026-08-12 --place Madrid
"""
from __future__ import annotations

import functools
import re

from .. import casting, sky_events
from . import common as base

YEAR = re.compile(r"^-?\d{1,4}$")


def add_commands(commands) -> None:
    command = functools.partial(base.subcommand, commands)
    sub = command("events", "the sky's events over a span: eclipses, lunations, ingresses, "
                            "stations, void-of-course Moon, aspects, phenomena")
    sub.add_argument("start", help="a year (2026) or a local time (2026-03-01 00:00)")
    sub.add_argument("--until", metavar="WHEN",
                     help="a year (through its end) or a local time (default: a year on)")
    sub.add_argument("--kinds", help="groups or kinds, comma-separated (default: all): "
                                     "eclipses, lunations, ingresses, stations, "
                                     "void_of_course, aspects, phenomena")
    sub.add_argument("--bodies", help="bodies, comma-separated (default: all ten)")
    sub.add_argument("--void-of-course", default="traditional",
                     choices=["traditional", "modern"],
                     help="bodies the Moon's last aspect counts (default: the seven planets)")
    sub.add_argument("--ics", metavar="FILE", help="also write the events as an iCalendar file")
    where = sub.add_argument_group("time zone")
    where.add_argument("--tz", metavar="ZONE", help="IANA zone of the times (default UTC)")
    where.add_argument("--place", metavar="NAME", help="a place whose zone to use")
    base.add_zodiac(sub)

    sub = command("eclipse", "a solar eclipse seen from a place: contacts, maximum, magnitude")
    sub.add_argument("date", help="a date near the eclipse (2026-08-12), local")
    sub.add_argument("latitude", type=float, nargs="?", help="degrees north (or --place)")
    sub.add_argument("longitude", type=float, nargs="?", help="degrees east (or --place)")
    sub.add_argument("--place", metavar="NAME", help="a place by name")
    sub.add_argument("--tz", metavar="ZONE", help="IANA zone of the date and the times shown")
    sub.add_argument("--height", type=float, default=0.0, help="metres above the ellipsoid")


def local_time(text: str, end: bool = False) -> str:
    """A year as its first moment (or, for an end, the first of the next)."""
    if YEAR.match(text):
        return f"{int(text) + (1 if end else 0):04d}-01-01 00:00"
    return text if " " in text or "T" in text else f"{text} 00:00"


def listed(text):
    return [item.strip() for item in text.split(",") if item.strip()] if text else None


def run_events(args):
    start = local_time(args.start)
    if args.until:
        end = local_time(args.until, end=True)
    elif YEAR.match(args.start):
        end = local_time(args.start, end=True)
    else:
        raise base.Failure("give --until with a start that is not a year")
    found = sky_events.events(
        start, end, args.place, tz=args.tz, engine=base.open_engine(args),
        kinds=listed(args.kinds), bodies=listed(args.bodies),
        void_of_course=args.void_of_course, zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)
    if args.ics:
        with open(args.ics, "wb") as handle:
            handle.write(sky_events.events_to_ics(found))
    if args.json:
        return found
    return [{"local_time": e["local_time"][:19].replace("T", " "),
             "event": sky_events.title(e),
             "until": e["end"]["local_time"][:19].replace("T", " ") if e["end"] else "",
             "longitudes": " ".join(f"{x:.2f}" for x in e["longitudes"])}
            for e in found["events"]]


def run_eclipse(args):
    if (args.latitude is None) != (args.longitude is None):
        raise base.Failure("give both latitude and longitude, or --place")
    if args.latitude is None and not args.place:
        raise base.Failure("give latitude and longitude, or --place NAME")
    when = args.date if " " in args.date or "T" in args.date else f"{args.date} 12:00"
    inputs = casting.birth(when, args.place, tz=args.tz, latitude=args.latitude,
                           longitude=args.longitude)
    local = base.open_engine(args).solar_eclipse_at(inputs["utc"], inputs["latitude"],
                                                    inputs["longitude"], args.height)
    zone = sky_events.zone_of(inputs["timezone"])
    for key in ("C1", "C2", "maximum", "C3", "C4"):
        if local[key]:
            local[key]["local_time"] = sky_events.local(local[key]["moment"], zone)
    return {"input": inputs, **local}


COMMANDS = {"events": run_events, "eclipse": run_eclipse}
