"""From a request's moment and place to what the engine takes: a UTC
moment and coordinates, with the zone and offset used (the `input` block).

Local times, place names and zones go through `quorvane.casting.birth`, so
the service reads birth data exactly as the library does. A UTC moment with
coordinates and nothing else takes a shorter road that looks nothing up:
it is most of the traffic, and no zone is involved in it.
"""
from __future__ import annotations

import quorvane_engine

from quorvane import casting


def plain_utc(when, latitude, longitude) -> dict:
    return {"local_time": None, "timezone": None, "zone_abbreviation": None,
            "utc_offset": None, "utc_offset_minutes": None, "utc": when.moment,
            "julian_day": quorvane_engine.julian_day(when.moment),
            "latitude": latitude, "longitude": longitude, "place": None}


def moment_at(when, place, latitude, longitude, needs_zone: bool = False) -> dict:
    """The inputs of `when` at a place (a name, a found `Place`, or None)
    and coordinates; `needs_zone` when the civil offset must be known even
    for a UTC moment (the Chinese charts)."""
    if (when.local is None and when.tz is None and when.utc_offset is None and place is None
            and not needs_zone):
        return plain_utc(when, latitude, longitude)
    return casting.birth(when.local if when.local is not None else when.moment, place,
                         tz=when.tz, latitude=latitude, longitude=longitude,
                         offset=when.utc_offset, fold=when.fold)


def resolve(request, needs_zone: bool = False) -> dict:
    """A request that is a moment and a place at once (a birth)."""
    return moment_at(request, request.place, request.latitude, request.longitude, needs_zone)


def period_at(request) -> tuple[dict, dict]:
    """The start and end of a search at the request's place, looked up once."""
    found = None
    if request.place is not None:
        found, _, _ = casting.locate(request.place, request.latitude, request.longitude)
    return tuple(moment_at(w, found, request.latitude, request.longitude)
                 for w in (request.start, request.end))


def sky(inputs: dict) -> tuple:
    return inputs["utc"], inputs["latitude"], inputs["longitude"]
