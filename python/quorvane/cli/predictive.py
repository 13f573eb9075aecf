"""Subcommands of the predictive and relationship techniques: returns,
the transit timeline, progressions, solar-arc and primary directions,
composite and Davison charts.

    quorvane return Sun "1990-07-14 08:30" --place "New York" --after 2025-01-01
    quorvane timeline 2025-01-01 2026-01-01 --birth "1990-07-14 08:30" --place London
    quorvane directions-primary "1990-07-14 08:30" --place London --key naibod
    quorvane davison 1990-07-15T05:30Z 51.5 -0.1 "1988-02-01 23:10" --place-b Paris
    quorvane releasing "1990-07-14 08:30" --place London --lot fortune --from 2020 --until 2030

Moments are read as `chart` reads them: local times in the zone of --tz,
of the --place or of the birth's coordinates (every moment of a command in
the birth's zone), or moments with their own offset; a date alone is its
midnight.
"""
from __future__ import annotations

import argparse
import functools

from .. import casting, predicting
from ..options import chart_options, zodiac_options
from . import common as base

PRIMARY_METHODS = ["placidus_mundane", "placidus_zodiacal", "placidus_pole", "regiomontanus",
                   "campanus", "topocentric"]
PRIMARY_KEYS = ["ptolemy", "naibod", "cardan", "true_solar_arc", "simmonite", "kepler"]
MOMENT_HELP = "local time (1990-07-14 08:30) or a moment with its offset"


def add_birth(parser: argparse.ArgumentParser, *moments: str) -> None:
    """The birth, its coordinates unless --place names it, then the command's other moments."""
    parser.add_argument("birth", type=base.moment, help=f"the birth: {MOMENT_HELP}")
    shown = " ".join(m.upper() for m in moments)
    parser.add_argument("rest", nargs="*", metavar=f"[LAT LON] {shown}".strip(),
                        help="birth latitude and longitude (degrees north and east; or "
                             "--place)" + (f", then {shown}: {MOMENT_HELP}" if moments else ""))
    parser.set_defaults(moment_names=moments)
    base.add_time_and_place(parser)


def add_two_births(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("births", nargs="+", metavar="MOMENT_A [LAT LON] MOMENT_B [LAT LON]",
                        help=f"the two births, each {MOMENT_HELP}, with its latitude and "
                             "longitude unless --place-a or --place-b names it")
    for side in ("a", "b"):
        base.add_time_and_place(parser, f"-{side}", f" of birth {side.upper()}")


def add_commands(commands) -> None:
    command = functools.partial(base.subcommand, commands)
    sub = command("return", "the next return of a body to its natal place, with its chart")
    sub.add_argument("body", help="Sun, Moon, Mercury ... Pluto")
    add_birth(sub)
    sub.add_argument("--after", type=base.moment, default="now",
                     help="moment to search from (default now)")
    sub.add_argument("--at", nargs=2, type=float, metavar=("LAT", "LON"),
                     help="cast the return chart here (default: the birthplace)")
    base.add_chart_options(sub)

    sub = command("returns", "every return of a body to its natal place over a span")
    sub.add_argument("body", help="Sun, Moon, Mercury ... Pluto")
    add_birth(sub, "start", "end")
    base.add_zodiac(sub)

    sub = command("timeline", "transit aspect passes, ingresses and stations over a span")
    sub.add_argument("start", type=base.moment, help=f"start of the span: {MOMENT_HELP}")
    sub.add_argument("end", type=base.moment, help=f"end of the span: {MOMENT_HELP}")
    natal = sub.add_mutually_exclusive_group(required=True)
    natal.add_argument("--natal", type=base.json_option, metavar="FILE",
                       help="the natal chart dict (as `chart --json` prints); inline JSON or @FILE")
    natal.add_argument("--birth", nargs="+", metavar="MOMENT [LAT LON]",
                       help="compute the natal chart of this moment, at these coordinates "
                            "or --place")
    sub.add_argument("--bodies", help="transiting bodies, comma-separated (default: all ten)")
    base.add_time_and_place(sub)
    base.add_chart_options(sub)

    sub = command("progressions", "the progressed chart of a birth for a date")
    add_birth(sub, "target")
    sub.add_argument("--angles", default="solar_arc", choices=["solar_arc", "naibod"],
                     help="how the angles progress (default solar_arc)")
    add_progression_kind(sub)
    base.add_chart_options(sub)

    add_releasing(command)

    sub = command("directions", "solar-arc directions and their exact aspects over a span")
    add_birth(sub, "start", "end")
    base.add_zodiac(sub)

    sub = command("directions-primary", "primary directions of a birth, sorted by arc")
    add_birth(sub)
    sub.add_argument("--method", default="placidus_zodiacal", choices=PRIMARY_METHODS,
                     help="default placidus_zodiacal")
    sub.add_argument("--key", default="naibod", choices=PRIMARY_KEYS, help="default naibod")
    sub.add_argument("--promissor-latitude", default="zero",
                     choices=["zero", "bianchini", "planet"],
                     help="latitude of zodiacal promissors (default zero)")
    sub.add_argument("--converse", default="traditional", choices=["traditional", "reverse"],
                     help="traditional: the significator carried to the promissor; reverse: "
                          "the promissor moved against primary motion (default traditional)")
    sub.add_argument("--start-age", type=float, default=0.0, help="years (default 0)")
    sub.add_argument("--end-age", type=float, default=100.0, help="years (default 100)")
    for name, shown in (("significators", "Ascendant,Midheaven,Sun,Moon,Fortune"),
                        ("promissors", "bodies, stars or bound lords"),
                        ("aspects", "conjunction,sextile,square,trine,opposition,antiscion,"
                                    "contra-antiscion,bound"),
                        ("families", "planets,aspects,antiscia,bounds,stars"),
                        ("directions", "direct,converse")):
        sub.add_argument(f"--{name}", help=f"comma-separated, among {shown} (default all)")

    sub = command("composite", "the composite (midpoint) chart of two births")
    add_two_births(sub)
    base.add_chart_options(sub)

    sub = command("davison", "the Davison chart of two births (midpoint moment and place)")
    add_two_births(sub)
    base.add_chart_options(sub)


def add_progression_kind(sub) -> None:
    sub.add_argument("--kind", default="secondary", choices=["secondary", "tertiary", "minor"],
                     help="a day for a year (secondary, the default), a day for a lunar month "
                          "(tertiary) or a lunar month for a year (minor)")
    sub.add_argument("--month", default="tropical", choices=["tropical", "synodic"],
                     help="the lunar month of tertiary and minor progressions: tropical "
                          "(27.321582 days, the default) or synodic (29.530589 days)")


def add_releasing(command) -> None:
    sub = command("releasing", "zodiacal releasing from the Lot of Spirit or Fortune")
    add_birth(sub)
    sub.add_argument("--lot", default="spirit", help="the lot released: spirit (default), "
                                                     "fortune, or another lot of the chart")
    sub.add_argument("--levels", type=int, default=2, choices=[1, 2, 3, 4],
                     help="how many levels of periods (default 2)")
    sub.add_argument("--from", dest="start", type=base.moment, default=None,
                     help="start of the span (default the birth): a year or " + MOMENT_HELP)
    sub.add_argument("--until", dest="end", type=base.moment, default=None,
                     help="end of the span (default 100 years after --from)")
    sub.add_argument("--year", default="360", choices=["360", "tropical"],
                     help="the level-1 year: 360 days (default) or tropical (365.24219 days)")
    sub.add_argument("--spirit-with-fortune", default="next_sign", choices=["next_sign", "own_sign"],
                     help="Spirit in Fortune's sign: release it from the next sign (Valens, "
                          "default) or its own")
    base.add_zodiac(sub)


# ------------------------------------------------------------------ reading

def number(text: str) -> float | None:
    try:
        return float(text)
    except ValueError:
        return None


def read_birth(args) -> dict:
    """The birth's options as `quorvane.birth` takes them; the command's
    other moments set on `args` by name."""
    rest, names = list(args.rest), args.moment_names
    if len(rest) == len(names) + 2:
        args.latitude, args.longitude = number(rest[0]), number(rest[1])
        if None in (args.latitude, args.longitude):
            raise base.Failure(f"latitude and longitude must be numbers, not {rest[0]!r} "
                               f"{rest[1]!r}")
        rest = rest[2:]
    elif len(rest) == len(names):
        args.latitude = args.longitude = None
    else:
        shown = " ".join(m.upper() for m in names)
        raise base.Failure(f"expected BIRTH [LAT LON] {shown}".strip()
                           + f", not {len(rest) + 1} values")
    for name, value in zip(names, rest):
        setattr(args, name, base.moment(value))
    base.note_midnight(args.birth, "the natal chart")
    return dict(when=args.birth, **base.where(args))


def birth_groups(values: list[str]) -> list[tuple[str, list[float]]]:
    """MOMENT [LAT LON] MOMENT [LAT LON] as (moment, coordinates) pairs."""
    groups: list[tuple[str, list[float]]] = []
    for value in values:
        if number(value) is not None and groups and len(groups[-1][1]) < 2:
            groups[-1][1].append(float(value))
        else:
            groups.append((value, []))
    if len(groups) != 2 or any(len(c) == 1 for _, c in groups):
        raise base.Failure("expected MOMENT_A [LAT LON] MOMENT_B [LAT LON]")
    return groups


def two_births(args) -> tuple[dict, dict]:
    births = []
    for side, (when, coordinates) in zip(("-a", "-b"), birth_groups(args.births)):
        lat, lon = coordinates or (None, None)
        setattr(args, f"latitude_{side[1]}", lat)
        setattr(args, f"longitude_{side[1]}", lon)
        base.note_midnight(when, f"birth {side[1].upper()}")
        births.append(casting.birth(base.moment(when), **base.where(args, side)))
    return births[0], births[1]


# ------------------------------------------------------------------ running

def run_return(args):
    birth = read_birth(args)
    return predicting.planet_return(args.body, after=args.after, at=args.at,
                                    engine=base.open_engine(args), **birth,
                                    **chart_options(args))


def run_returns(args):
    birth = read_birth(args)
    return predicting.returns(args.body, start=args.start, end=args.end,
                              engine=base.open_engine(args), **birth, **zodiac_options(args))


def run_timeline(args):
    engine = base.open_engine(args)
    if args.birth:
        when, *coordinates = args.birth
        if len(coordinates) not in (0, 2) or None in map(number, coordinates):
            raise base.Failure("--birth takes a moment, then latitude and longitude (numbers) "
                               "or --place")
        args.latitude, args.longitude = map(number, coordinates) if coordinates else (None, None)
        base.note_midnight(when, "the natal chart")
        natal = casting.natal(base.moment(when), engine=engine, **base.where(args),
                              **chart_options(args))
        zone = args.tz
    else:
        natal, zone = args.natal, args.tz
        if args.place:
            zone = zone or casting.locate(args.place, None, None)[0].timezone
    bodies = [b.strip() for b in args.bodies.split(",")] if args.bodies else None
    return predicting.transit_timeline(natal, args.start, args.end, tz=zone,
                                       offset=args.offset, fold=args.fold, engine=engine,
                                       bodies=bodies, orb_settings=args.orb_settings,
                                       zodiac_type=args.zodiac_type, ayanamsa=args.ayanamsa)


def run_progressions(args):
    birth = read_birth(args)
    return predicting.progressions(target=args.target, engine=base.open_engine(args),
                                   angle_method=args.angles, orb_settings=args.orb_settings,
                                   kind=args.kind, month=args.month,
                                   **birth, **zodiac_options(args))


def releasing_span(args, birth_text: str) -> tuple[str, str]:
    """--from and --until as moments: a bare year is its 1 January; the
    span defaults to a century from the birth."""
    def moment_of(text):
        return f"{text}-01-01" if text and text.isdigit() else text
    start = moment_of(args.start) or birth_text
    end = moment_of(args.end)
    if end is None:
        first = int(start[:4]) if start[:4].isdigit() else None
        if first is None:
            raise base.Failure("give --until with a --from that is not a date")
        end = f"{min(first + 100, 9999):04d}{start[4:10] or '-01-01'}"
    return start, end


def run_releasing(args):
    birth = read_birth(args)
    start, end = releasing_span(args, args.birth)
    return predicting.releasing(start=start, end=end, engine=base.open_engine(args),
                                lot=args.lot, levels=args.levels, year=args.year,
                                spirit_with_fortune=args.spirit_with_fortune, **birth,
                                **zodiac_options(args))


def run_directions(args):
    birth = read_birth(args)
    return predicting.directions(start=args.start, end=args.end,
                                 engine=base.open_engine(args), **birth, **zodiac_options(args))


def listed(text: str | None) -> list[str] | None:
    return [part.strip() for part in text.split(",") if part.strip()] if text else None


def run_primary_directions(args):
    birth = read_birth(args)
    filters = {name: listed(getattr(args, name)) for name in
               ("significators", "promissors", "aspects", "families", "directions")}
    return predicting.primary_directions(
        engine=base.open_engine(args), start_age=args.start_age, end_age=args.end_age,
        method=args.method, key=args.key, promissor_latitude=args.promissor_latitude,
        converse=args.converse, **filters, **birth)


def run_composite(args):
    return predicting.composite(*two_births(args), engine=base.open_engine(args),
                                orb_settings=args.orb_settings, **zodiac_options(args))


def run_davison(args):
    return predicting.davison(*two_births(args), engine=base.open_engine(args),
                              **chart_options(args))


COMMANDS = {
    "return": run_return,
    "returns": run_returns,
    "timeline": run_timeline,
    "progressions": run_progressions,
    "directions": run_directions,
    "releasing": run_releasing,
    "directions-primary": run_primary_directions,
    "composite": run_composite,
    "davison": run_davison,
}
