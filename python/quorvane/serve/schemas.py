"""Response schemas for the OpenAPI document: the engine's result dicts
(generated into schemas.json by tools/gen_serve_schemas.py from real calls)
and the `input` block that the service adds.
"""
from __future__ import annotations

import functools
import json
import pathlib

SCHEMAS = pathlib.Path(__file__).with_name("schemas.json")

NULLABLE_TEXT = {"type": ["string", "null"]}
NULLABLE_NUMBER = {"type": ["number", "null"]}
PLACE = {
    "type": "object",
    "properties": {"name": {"type": "string"}, "country": {"type": "string"},
                   "country_code": {"type": "string"},
                   "admin1": {"type": "string", "description": "state, in the United States"},
                   "latitude": {"type": "number"}, "longitude": {"type": "number"},
                   "timezone": {"type": "string", "description": "IANA zone"},
                   "population": {"type": "integer"}, "admin1_code": {"type": "string"},
                   "geonameid": {"type": "integer"},
                   "match": {"enum": ["name", "prefix", "word", "near"],
                             "description": "a whole name, a name that starts with the text, "
                                            "a name with a word that does, or a name one "
                                            "letter off it"}},
    "required": ["name", "country", "country_code", "admin1", "latitude", "longitude",
                 "timezone", "population", "admin1_code", "geonameid"],
}
RESOLVED = {
    "type": "object",
    "description": "the inputs as the engine got them; the zone fields are null for a UTC "
                   "moment given with coordinates alone",
    "properties": {
        "local_time": dict(NULLABLE_TEXT, description="the civil time, ISO"),
        "timezone": dict(NULLABLE_TEXT, description="IANA zone used"),
        "zone_abbreviation": NULLABLE_TEXT,
        "utc_offset": dict(NULLABLE_TEXT, description="+HH:MM"),
        "utc_offset_minutes": NULLABLE_NUMBER,
        "utc": {"type": "string", "description": "the UTC moment"},
        "julian_day": {"type": "number", "description": "UT Julian day"},
        "latitude": {"type": "number"},
        "longitude": {"type": "number"},
        "place": {"anyOf": [PLACE, {"type": "null"}], "description": "the place found by name"},
    },
}
RESOLVED["required"] = list(RESOLVED["properties"])
NULLABLE_RESOLVED = {"anyOf": [RESOLVED, {"type": "null"}]}

# The `input` block of each result, when it is not one resolved birth.
INPUTS = {
    "transit": {"type": "object",
                "properties": dict(RESOLVED["properties"], natal=NULLABLE_RESOLVED),
                "required": RESOLVED["required"] + ["natal"]},
    "synastry": {"type": "object", "properties": {"a": NULLABLE_RESOLVED, "b": NULLABLE_RESOLVED},
                 "required": ["a", "b"]},
    "elections": {"type": "object", "properties": {"start": RESOLVED, "end": RESOLVED},
                  "required": ["start", "end"]},
}
# A span's end of the sky's events: a moment in a zone, no place.
MOMENT_ONLY = dict(RESOLVED, properties=dict(RESOLVED["properties"], latitude=NULLABLE_NUMBER,
                                             longitude=NULLABLE_NUMBER))
INPUTS["events"] = {"type": "object",
                    "properties": {"start": MOMENT_ONLY, "end": MOMENT_ONLY,
                                   "timezone": {"type": "string",
                                                "description": "zone of the local times"}},
                    "required": ["start", "end", "timezone"]}
PLACES = {"type": "array", "items": PLACE}


@functools.lru_cache(maxsize=None)
def generated() -> dict:
    with open(SCHEMAS, encoding="utf-8") as handle:
        return json.load(handle)["schemas"]


@functools.lru_cache(maxsize=None)
def result(name: str) -> dict:
    """The schema of one endpoint's answer."""
    if name == "places":
        return PLACES
    schema = json.loads(json.dumps(generated()[name]))  # a copy to extend
    schema["properties"]["input"] = INPUTS.get(name, RESOLVED)
    schema["required"].append("input")
    return schema


def responses(name: str) -> dict:
    return {200: {"description": "the result",
                  "content": {"application/json": {"schema": result(name)}}},
            400: {"description": "malformed JSON"},
            413: {"description": "request body too large"},
            422: {"description": "bad input, with the reason in `detail`"},
            501: {"description": "not available in this build"},
            503: {"description": "the computation took too long"}}
