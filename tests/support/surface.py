"""The public surface of quorvane_engine, discovered at run time, with
working arguments for every parameter name it uses.

The robustness tests (leaks, hostile input, threads) walk whatever the
module has: every public function and every public Engine method, read
from their text signatures. Arguments are chosen by parameter name, so a
new function or method is covered as soon as its parameter names are known
here; `unknown_parameters` lists the ones that are not.
"""
from __future__ import annotations

import datetime
import inspect
from dataclasses import dataclass, field
from typing import Any, Callable

MOMENT = "2024-03-20T12:00:00Z"
HOUR_LATER = "2024-03-20T13:00:00Z"

ERRORS_OF_JSON = ({"x": float("nan")}, [float("inf")])


@dataclass
class Entry:
    """One public function or Engine method."""

    name: str  # "julian_day", "Engine.chart"
    function: Callable[..., Any]
    parameters: list[inspect.Parameter]
    on_engine: bool

    @property
    def required(self) -> list[str]:
        return [p.name for p in self.parameters if p.default is inspect.Parameter.empty]

    @property
    def names(self) -> list[str]:
        return [p.name for p in self.parameters]


def _parameters(function) -> list[inspect.Parameter]:
    parameters = list(inspect.signature(function).parameters.values())
    return [p for p in parameters if p.name != "self"]


def surface(module, engine=None) -> list[Entry]:
    """Every public function of `module` and every public method of its
    Engine (bound to `engine` when given), in name order."""
    found: list[Entry] = []
    for name in sorted(vars(module)):
        value = getattr(module, name)
        if name.startswith("_") or isinstance(value, type) or not callable(value):
            continue
        found.append(Entry(name, value, _parameters(value), False))
    for name in sorted(vars(module.Engine)):
        if name.startswith("_"):
            continue
        method = getattr(module.Engine, name)
        if not callable(method):
            continue  # properties
        bound = getattr(engine, name) if engine is not None else method
        found.append(Entry(f"Engine.{name}", bound, _parameters(method), True))
    return found


@dataclass
class Arguments:
    """Working values by parameter name, built once from a real chart."""

    values: dict[str, Any] = field(default_factory=dict)

    @classmethod
    def from_engine(cls, engine) -> "Arguments":
        chart = engine.chart(MOMENT, 51.5, -0.1, chinese_calendar=True)
        planets = [{"name": p["name"], "ecliptic_longitude": p["ecliptic_longitude"]}
                   for p in chart["planets"]]
        calendar = chart.pop("chinese_calendar")
        values = {
            "moment": MOMENT, "birth": "1990-07-15T05:30:00Z",
            "start": MOMENT, "end": HOUR_LATER,
            "latitude": 51.5, "longitude": -0.1,
            "jd": 2451545.0,
            "chart": chart, "base_chart": chart, "root_house": 5,
            "natal_planets": planets, "chart_a_planets": planets,
            "chart_b_planets": planets[::-1],
            "sun_longitude": 117.3, "ascendant_longitude": 201.9,
            "calendar": calendar, "utc_offset_minutes": 480.0,
            "house_system": "P", "house_obliquity": "mean", "node": "true",
            "zodiac_type": "tropical", "ayanamsa": "galcent_0sag",
            "orb_settings": chart["orb_settings"], "dignity_scheme": "lilly",
            "chinese_calendar": False, "quesited_house": 7, "custom_name": None,
            "criteria": {"purpose": "travel", "local_hours": {"from": 8, "to": 18},
                         "utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": 60}],
                         "step_minutes": 30, "min_score": 0, "max_results": 3,
                         "natal": planets[:3]},
            "solar_time": True, "zi_hour": "next_day", "sex": None, "luck_pillars": 10,
            "year": None, "date": None, "leap_month": "split",
            "moments": [MOMENT, HOUR_LATER], "bodies": ["Sun", "Moon"],
            "center": "geocentric", "height": 0.0, "correction": "apparent", "threads": 2,
            "positions": engine.positions([MOMENT, HOUR_LATER], ["Sun", "Moon"]), "orb": 1.0,
            "body": "Sun", "natal_longitude": 117.3, "after": MOMENT, "target": MOMENT,
            "natal_chart": {"planets": planets[:4], "houses": chart["houses"]},
            "angle_method": "solar_arc", "kind": "tertiary", "month": "synodic", "mode": "mundo",
            "lot": "fortune", "levels": 3, "spirit_with_fortune": "own_sign",
            "kinds": ["lunations", "eclipses"], "void_of_course": "traditional",
            "moment_a": MOMENT, "latitude_a": 51.5, "longitude_a": -0.1,
            "moment_b": "1990-07-15T05:30:00Z", "latitude_b": 48.85, "longitude_b": 2.35,
            "rulers": "modern", "midpoint_orb": 2.0, "n": 5,
            "start_age": 0.0, "end_age": 30.0, "method": "regiomontanus", "key": "naibod",
            "promissor_latitude": "bianchini", "converse": "reverse",
            "significators": ["Ascendant", "Sun"], "promissors": None, "aspects": None,
            "families": None, "directions": None,
            "dasha_year": "tropical", "house_division": "equal", "sunrise": "upper_limb",
            "dasha_depth": 3, "dasha_at": HOUR_LATER, "dasha_from": None, "dasha_to": None,
            "json": False,
        }
        return cls(values)

    def call(self, entry: Entry) -> tuple[list[Any], dict[str, Any]]:
        """Positional values for the required parameters, no keywords."""
        return [self.values[name] for name in entry.required], {}

    def unknown(self, entry: Entry) -> list[str]:
        return [name for name in entry.names if name not in self.values]


def bad_variants(args: Arguments, entry: Entry) -> list[tuple[list[Any], dict[str, Any]]]:
    """Calls with one argument spoiled at a time: wrong types, unreadable
    moments and JSON, out-of-range numbers, and a missing argument."""
    base, _ = args.call(entry)
    spoilers = [None, object(), "not a moment", 10**30, -1, float("nan"),
                datetime.date(2000, 1, 1), *ERRORS_OF_JSON, {"planets": 3}, ["x", {}]]
    calls: list[tuple[list[Any], dict[str, Any]]] = []
    for name in entry.names:
        for spoiler in spoilers:
            if name in entry.required:
                spoiled = list(base)
                spoiled[entry.required.index(name)] = spoiler
                calls.append((spoiled, {}))
            else:
                calls.append((list(base), {name: spoiler}))
    if base:
        calls.append((base[:-1], {}))  # a required argument missing
    calls.append((list(base), {"no_such_argument": 1}))
    return calls


def documented_errors(module) -> tuple[type[BaseException], ...]:
    return (ValueError, TypeError, AttributeError, module.EngineError)


def overflow_allowed(args: list[Any], kwargs: dict[str, Any]) -> bool:
    """OverflowError comes only from converting an int (a float argument, an
    int argument with a range, a datetime field) or from datetime's own
    astimezone near the ends of its range."""
    for value in [*args, *kwargs.values()]:
        if isinstance(value, int) and not isinstance(value, bool):
            return True
        if isinstance(value, datetime.datetime) and value.tzinfo is not None:
            return True
    return False
