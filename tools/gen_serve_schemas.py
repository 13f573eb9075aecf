"""Writes python/quorvane/serve/schemas.json: a JSON Schema of every result
dict the chart service answers with, inferred from real calls over the JPL
DE440 kernel (the sample calls of gen_reference.py, and a few more so that
fields that are null in one chart show their type in another). The service
puts them in its OpenAPI document; tests/python/test_serve.py checks real
answers against them.

Usage: python tools/gen_serve_schemas.py
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import quorvane_engine as q  # noqa: E402

from gen_reference import MOMENT, PLACE, de440_path, samples  # noqa: E402

OUTPUT = os.path.join(HERE, "..", "python", "quorvane", "serve", "schemas.json")
# Reference sample name -> the service's result name.
NAMES = {"Engine.chart": "chart", "Engine.horary": "horary", "Engine.transit": "transit",
         "Engine.election": "election", "Engine.elections": "elections",
         "synastry": "synastry", "derived_chart": "derived_chart", "time_lords": "time_lords",
         "bazi": "bazi", "zi_wei": "zi_wei", "Engine.astrocartography": "astrocartography",
         "Engine.house_positions": "house_positions",
         "Engine.zodiacal_releasing": "zodiacal_releasing", "Engine.progressions": "progressions",
         "Engine.primary_directions": "primary_directions", "Engine.jyotish": "jyotish"}


def more_samples(engine):
    sidereal = dict(zodiac_type="sidereal", ayanamsa="lahiri")
    south = (-33.87, 151.21)
    chart = engine.chart("1990-07-14T12:30Z", *south, chinese_calendar=True, **sidereal)
    yield "chart", chart
    yield "chart", engine.chart(MOMENT, *PLACE)
    yield "horary", engine.horary("1990-07-14T12:30Z", *south, **sidereal)
    yield "transit", engine.transit(chart["planets"], MOMENT, *PLACE, **sidereal)
    yield "election", engine.election("1990-07-14T12:30Z", *south, **sidereal)
    yield "derived_chart", q.derived_chart(chart, 4, "mother")
    yield "chart_structure", {**q.chart_structure(chart), "harmonic_chart": q.harmonic_chart(chart, 7)}
    yield "chart_structure", {**q.chart_structure(engine.chart(MOMENT, *PLACE), rulers="modern"),
                              "harmonic_chart": None}
    calendar = chart["chinese_calendar"]
    yield "bazi", q.bazi(calendar, "1990-07-14T12:30Z", south[1], 600, sex="male",
                         year=2024, date="2024-02-10")
    yield "zi_wei", q.zi_wei(calendar, "1990-07-14T12:30Z", south[1], 600, sex="male",
                             year=2024, date="2024-02-10")
    yield "astrocartography", engine.astrocartography("1990-07-14T12:30Z", None, "zodiaco",
                                                      *south)
    yield "house_positions", engine.house_positions("1990-07-14T12:30Z", *south, None, "G",
                                                    "true")
    yield "progressions", engine.progressions("1990-07-14T12:30Z", MOMENT, *south, kind="minor",
                                              month="synodic", angle_method="naibod")
    yield "zodiacal_releasing", engine.zodiacal_releasing(
        "1990-07-14T12:30Z", *south, "2000-01-01T00:00Z", "2040-01-01T00:00Z", lot="fortune",
        levels=2, year="tropical")
    yield "primary_directions", engine.primary_directions("1990-07-14T12:30Z", *south,
                                                          key="true_solar_arc", end_age=20)
    from quorvane.serve import work
    from quorvane.serve.models import EclipseAtRequest, EventsRequest
    yield "events", work.events(engine, EventsRequest(
        start={"local": "2024-03-20 00:00"}, end={"local": "2024-04-10 00:00"},
        tz="Europe/London"))
    yield "eclipse_at", work.eclipse_at(engine, EclipseAtRequest(
        moment="2024-04-08T12:00:00Z", latitude=32.78, longitude=-96.8))
    yield "eclipse_at", work.eclipse_at(engine, EclipseAtRequest(
        local="2024-04-08 12:00", place="Paris"))
    for year, date in ((2025, None), (None, "2025-06-01")):
        yield "bazi", q.bazi(calendar, "1990-07-14T12:30Z", south[1], 600, year=year, date=date)
        yield "zi_wei", q.zi_wei(calendar, "1990-07-14T12:30Z", south[1], 600, year=year,
                                 date=date)


def json_type(value) -> str:
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "boolean"
    if isinstance(value, int):
        return "integer"
    if isinstance(value, float):
        return "number"
    if isinstance(value, str):
        return "string"
    return "array" if isinstance(value, list) else "object"


def schema_of(values: list) -> dict:
    """The narrowest schema every one of `values` satisfies."""
    types = {json_type(v) for v in values}
    if {"integer", "number"} <= types:
        types.discard("integer")
    schema = {}
    if types == {"null"}:
        return {"description": "null in every sample"}
    schema["type"] = sorted(types)[0] if len(types) == 1 else sorted(types)
    objects = [v for v in values if isinstance(v, dict)]
    if objects:
        keys = list(dict.fromkeys(k for o in objects for k in o))
        schema["properties"] = {k: schema_of([o[k] for o in objects if k in o]) for k in keys}
        schema["required"] = [k for k in keys if all(k in o for o in objects)]
    items = [item for v in values if isinstance(v, list) for item in v]
    if "array" in types:
        schema["items"] = schema_of(items) if items else {}
    return schema


def main():
    engine = q.Engine([de440_path()])
    found = {}
    for title, value in samples(engine):
        if title in NAMES:
            found.setdefault(NAMES[title], []).append(value)
    for name, value in more_samples(engine):
        found.setdefault(name, []).append(value)
    document = {
        "generator": "tools/gen_serve_schemas.py (run it again after the result dicts change)",
        "schemas": {name: schema_of(values) for name, values in sorted(found.items())},
    }
    with open(OUTPUT, "w", encoding="utf-8") as handle:
        json.dump(document, handle, indent=1, ensure_ascii=False)
        handle.write("\n")


if __name__ == "__main__":
    main()
