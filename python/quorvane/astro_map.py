"""Astrocartography from birth data as people give it, the lines as
GeoJSON, and the chart of the same moment at another place.

    lines = astrocartography("1990-07-14 08:30", "New York")
    to_geojson(lines)                     # a FeatureCollection (RFC 7946)
    relocate(natal("1990-07-14 08:30", "New York"), "Paris")

The computation is `Engine.astrocartography` (see its reference for the
conventions); this module resolves the local time and the place once, as
`casting.birth` does, and passes the birth place for the local-space lines.
"""
from __future__ import annotations

from . import casting


def astrocartography(when, place=None, *, tz=None, latitude=None, longitude=None, offset=None,
                     fold=None, engine=None, bodies=None, mode="mundo") -> dict:
    """`Engine.astrocartography` of a birth given in local time (see
    `casting.birth`), with local space from the birth place and the inputs
    under "input"."""
    inputs = casting.birth(when, place, tz=tz, latitude=latitude, longitude=longitude,
                           offset=offset, fold=fold)
    result = (engine or casting.default_engine()).astrocartography(
        inputs["utc"], bodies, mode, inputs["latitude"], inputs["longitude"])
    return {"input": inputs, **result}


def to_geojson(result: dict) -> dict:
    """The lines of an astrocartography result as a GeoJSON FeatureCollection:
    one LineString per piece of a line (the engine already cuts them at the
    antimeridian, as RFC 7946 asks), properties body, angle and mode; the
    local-space circles with angle "local space"; the parans as Points where
    the two lines cross at the moment."""
    mode = result["mode"]
    features = []

    def line(coordinates, properties):
        features.append({"type": "Feature", "properties": properties,
                         "geometry": {"type": "LineString",
                                      "coordinates": [list(p) for p in coordinates]}})

    for entry in result["lines"]:
        for piece in entry["segments"]:
            line(piece, {"body": entry["body"], "angle": entry["angle"], "mode": mode})
    space = result.get("local_space")
    if space:
        for entry in space["lines"]:
            for piece in entry["segments"]:
                line(piece, {"body": entry["body"], "angle": "local space", "mode": mode,
                             "azimuth": entry["azimuth"]})
    for paran in result["parans"]:
        features.append({
            "type": "Feature",
            "properties": {"body": paran["first"], "angle": paran["first_angle"],
                           "other_body": paran["second"], "other_angle": paran["second_angle"],
                           "mode": mode, "paran_latitude": paran["latitude"]},
            "geometry": {"type": "Point",
                         "coordinates": [paran["longitude"], paran["latitude"]]}})
    return {"type": "FeatureCollection", "features": features}


def relocate(chart_or_birth: dict, place=None, *, latitude=None, longitude=None, engine=None,
             **chart_options) -> dict:
    """The chart of the same moment cast at another place.

    `chart_or_birth` is a chart with its inputs (`casting.natal`), or the
    inputs themselves (`casting.birth`); `place` a name or a `places.Place`,
    or `latitude` and `longitude` instead. The result is `Engine.chart` of
    the birth's UTC moment at the new place, with "input" echoing the birth
    ("birth") and the place used ("place", "latitude", "longitude")."""
    birth = chart_or_birth.get("input", chart_or_birth)
    if not isinstance(birth, dict) or "utc" not in birth:
        raise ValueError('relocate() needs a chart with its "input" (quorvane.natal) or the '
                         "inputs of a birth (quorvane.birth)")
    found, latitude, longitude = casting.locate(place, latitude, longitude)
    chart = (engine or casting.default_engine()).chart(birth["utc"], latitude, longitude,
                                                       **chart_options)
    inputs = {"birth": birth, "place": found.as_dict() if found else None,
              "latitude": latitude, "longitude": longitude}
    return {"input": inputs, **chart}
