"""The predictive and relationship techniques from birth data as people
give it: returns, progressions, solar-arc and primary directions, the
transit timeline, composite and Davison charts.

    solar_return("1990-07-14 08:30", "New York", year=2025)
    progressions("1990-07-14 08:30", "New York", target="2025-07-14")
    releasing("1990-07-14 08:30", "London", start="2020-01-01", end="2030-01-01")
    davison(birth("1990-07-14 08:30", "New York"), birth("1988-02-01 23:10", "Paris"))

The birth goes through `casting.birth` as for `natal`; every other moment
(`after`, `start`, `end`, `target`) is a local time read in the birth's
zone (or `tz`, or `offset`), or a moment with its own offset; a date alone
is its midnight. Each returns the engine's dict with the resolved birth
under "input".
"""
from __future__ import annotations

from . import localtime
from .casting import birth, default_engine, natal_points, sky

ZODIAC = ("zodiac_type", "ayanamsa")


def planet_return(body, when, place=None, *, after, at=None, tz=None, latitude=None,
                  longitude=None, offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.planet_return`: the first return of `body` to its natal
    longitude after `after`, its chart cast at the birthplace or at `at`
    (latitude, longitude)."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    engine = engine or default_engine()
    where = at if at is not None else (inputs["latitude"], inputs["longitude"])
    found = engine.planet_return(body, natal_longitude(engine, inputs, body, options),
                                 same_zone(after, inputs, offset, fold), *where, **options)
    return {"input": inputs, **found}


def solar_return(when, place=None, *, year=None, after=None, **birth_and_options) -> dict:
    """The Sun's return of calendar `year` (the first after 1 January of
    it, local time), or the first after `after`; see `planet_return`."""
    if (year is None) == (after is None):
        raise ValueError("give year or after (not both)")
    if year is not None:
        if isinstance(year, bool) or not isinstance(year, int) or not 1 <= year <= 9998:
            raise ValueError(f"year is a whole number from 1 to 9998, not {year!r}")
        after = f"{year:04d}-01-01"
    return planet_return("Sun", when, place, after=after, **birth_and_options)


def returns(body, when, place=None, *, start, end, tz=None, latitude=None, longitude=None,
            offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.returns`: every return of `body` to its natal longitude
    between `start` and `end`."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    engine = engine or default_engine()
    span = [same_zone(m, inputs, offset, fold) for m in (start, end)]
    found = engine.returns(body, natal_longitude(engine, inputs, body, options), *span,
                           **{k: v for k, v in options.items() if k in ZODIAC})
    return {"input": inputs, **found}


def progressions(when, place=None, *, target, tz=None, latitude=None, longitude=None,
                 offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.progressions`: the progressed chart for `target`, secondary
    unless `kind` says "tertiary" or "minor"."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    utc, lat, lon = sky(inputs)
    found = (engine or default_engine()).progressions(
        utc, same_zone(target, inputs, offset, fold), lat, lon, **options)
    return {"input": inputs, **found}


def directions(when, place=None, *, start, end, tz=None, latitude=None, longitude=None,
               offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.solar_arc_directions`: the points directed to `start` and
    their exact aspects until `end`."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    utc, lat, lon = sky(inputs)
    span = [same_zone(m, inputs, offset, fold) for m in (start, end)]
    found = (engine or default_engine()).solar_arc_directions(utc, *span, lat, lon, **options)
    return {"input": inputs, **found}


def releasing(when, place=None, *, start, end, tz=None, latitude=None, longitude=None,
              offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.zodiacal_releasing`: the periods released from the lot
    (`lot`, default "spirit") that overlap `start`..`end`."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    utc, lat, lon = sky(inputs)
    span = [same_zone(m, inputs, offset, fold) for m in (start, end)]
    found = (engine or default_engine()).zodiacal_releasing(utc, lat, lon, *span, **options)
    return {"input": inputs, **found}


def primary_directions(when, place=None, *, tz=None, latitude=None, longitude=None,
                       offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.primary_directions`: the primary directions of the birth
    (`start_age`, `end_age`, `method`, `key` ... as the engine takes them)."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    utc, lat, lon = sky(inputs)
    found = (engine or default_engine()).primary_directions(utc, lat, lon, **options)
    return {"input": inputs, **found}


def transit_timeline(natal_chart, start, end, *, tz=None, offset=None, fold=None, engine=None,
                     **options) -> dict:
    """`Engine.transit_timeline` of a natal chart (as `natal` returns it)
    from `start` to `end`, local times read in `tz`, else the zone the
    chart was cast in (its "input"), or moments with their offsets."""
    zone = tz
    if zone is None and isinstance(natal_chart, dict):
        zone = (natal_chart.get("input") or {}).get("timezone")
    span = [localtime.resolve(m, zone, offset=offset, fold=fold).utc.isoformat()
            for m in (start, end)]
    chart = natal_chart if isinstance(natal_chart, dict) else natal_points(natal_chart)
    return (engine or default_engine()).transit_timeline(chart, *span, **options)


def composite(first: dict, second: dict, *, engine=None, **options) -> dict:
    """`Engine.composite` of two births as `casting.birth` resolves them."""
    found = (engine or default_engine()).composite(*sky(first), *sky(second), **options)
    return {"input": {"first": first, "second": second}, **found}


def davison(first: dict, second: dict, *, engine=None, **options) -> dict:
    """`Engine.davison` of two births as `casting.birth` resolves them."""
    found = (engine or default_engine()).davison(*sky(first), *sky(second), **options)
    return {"input": {"first": first, "second": second}, **found}


# ---------------------------------------------------------------- the parts

def same_zone(when, inputs: dict, offset=None, fold=None) -> str:
    """Another moment of a birth's computation, read where the birth was:
    in its zone, or at its explicit offset."""
    return localtime.resolve(when, inputs["timezone"], offset=offset, fold=fold).utc.isoformat()


def natal_longitude(engine, inputs: dict, body: str, options: dict) -> float:
    chart = engine.chart(*sky(inputs), **{k: v for k, v in options.items() if k in ZODIAC})
    for planet in chart["planets"]:
        if planet["name"] == body:
            return planet["ecliptic_longitude"]
    names = ", ".join(p["name"] for p in chart["planets"])
    raise ValueError(f"body: {body!r} is not a body of the chart ({names})")
