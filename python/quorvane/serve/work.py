"""What each endpoint computes, as plain functions of an Engine and a
request model, run on a worker thread. Each result is the engine's dict,
with the resolved inputs under `input` where the request had a birth.
"""
from __future__ import annotations

import quorvane_engine

from quorvane.serve import limits
from quorvane.serve.inputs import Resolved, moment_of, resolve, spot, with_offset
from quorvane.serve.models import (
    BaziRequest, ChartRequest, DerivedRequest, ElectionRequest, ElectionsRequest,
    HoraryRequest, Natal, SynastryRequest, TimeLordsRequest, TransitRequest, ZiWeiRequest)


def chart_options(request) -> dict:
    return dict(house_system=request.house_system, zodiac_type=request.zodiac_type,
                ayanamsa=request.ayanamsa, orb_settings=request.orb_settings,
                dignity_scheme=request.dignity_scheme)


def zodiac(request) -> dict:
    return dict(house_system=request.house_system, zodiac_type=request.zodiac_type,
                ayanamsa=request.ayanamsa)


def with_input(result: dict, resolved) -> dict:
    result["input"] = resolved.as_dict() if isinstance(resolved, Resolved) else resolved
    return result


def cast(engine, request, at: Resolved, chinese_calendar=False) -> dict:
    return engine.chart(at.moment, at.latitude, at.longitude,
                        chinese_calendar=chinese_calendar, **chart_options(request))


def chart(engine, request: ChartRequest) -> dict:
    at = resolve(request)
    return with_input(cast(engine, request, at, request.chinese_calendar), at)


def horary(engine, request: HoraryRequest) -> dict:
    at = resolve(request)
    return with_input(engine.horary(at.moment, at.latitude, at.longitude,
                                    quesited_house=request.quesited_house,
                                    chinese_calendar=request.chinese_calendar,
                                    **chart_options(request)), at)


def natal(engine, given: Natal, options) -> tuple[list, object]:
    """The natal planets, and the resolved birth when one was given."""
    if given.planets is not None:
        return [p.model_dump() for p in given.planets], None
    at = resolve(given.birth)
    planets = engine.chart(at.moment, at.latitude, at.longitude, **options)["planets"]
    return planets, at.as_dict()


def transit(engine, request: TransitRequest) -> dict:
    options = chart_options(request)
    planets, birth = natal(engine, request.natal, options)
    at = resolve(request)
    result = engine.transit(planets, at.moment, at.latitude, at.longitude, **options)
    return with_input(result, dict(at.as_dict(), natal=birth))


def synastry(engine, request: SynastryRequest) -> dict:
    options = dict(zodiac(request), orb_settings=request.orb_settings)
    a, birth_a = natal(engine, request.a, options)
    b, birth_b = natal(engine, request.b, options)
    return with_input(quorvane_engine.synastry(a, b, orb_settings=request.orb_settings),
                      {"a": birth_a, "b": birth_b})


def election(engine, request: ElectionRequest) -> dict:
    at = resolve(request)
    return with_input(engine.election(at.moment, at.latitude, at.longitude,
                                      criteria=request.criteria, **chart_options(request)), at)


def period(start: Resolved, end: Resolved, most_days: float, what: str) -> None:
    days = quorvane_engine.julian_day(end.moment) - quorvane_engine.julian_day(start.moment)
    if days < 0:
        raise ValueError(f"{what}: the end is before the start")
    if days > most_days:
        raise ValueError(f"{what}: at most {most_days:g} days from start to end, "
                         f"not {days:.1f}")


def elections(engine, request: ElectionsRequest) -> dict:
    at = spot(request)
    start, end = moment_of(request.start, at), moment_of(request.end, at)
    period(start, end, limits.MAX_ELECTION_DAYS, "elections")
    result = engine.elections(start.moment, end.moment, at.latitude, at.longitude,
                              criteria=request.criteria, **zodiac(request))
    return with_input(result, {"start": start.as_dict(), "end": end.as_dict()})


def derived(engine, request: DerivedRequest) -> dict:
    at = resolve(request)
    base = cast(engine, request, at)
    return with_input(quorvane_engine.derived_chart(base, request.root_house,
                                                    request.custom_name), at)


def longitude_of(chart: dict, name: str) -> float:
    return next(p["ecliptic_longitude"] for p in chart["planets"] if p["name"] == name)


def time_lords(engine, request: TimeLordsRequest) -> dict:
    place = spot(request)
    at = moment_of(request, place)
    start, end = moment_of(request.start, place), moment_of(request.end, place)
    period(start, end, limits.MAX_TIME_LORD_YEARS * 365.25, "time lords")
    natal = engine.chart(at.moment, at.latitude, at.longitude)
    result = quorvane_engine.time_lords(at.moment, longitude_of(natal, "Sun"),
                                        longitude_of(natal, "Ascendant"),
                                        start.moment, end.moment)
    return with_input(result, at)


def chinese(engine, request, at: Resolved) -> tuple:
    calendar = engine.chart(at.moment, at.latitude, at.longitude,
                            chinese_calendar=True)["chinese_calendar"]
    options = dict(solar_time=request.solar_time, zi_hour=request.zi_hour, sex=request.sex,
                   year=request.year, date=request.date)
    return (calendar, at.moment, at.longitude, with_offset(at)), options


def bazi(engine, request: BaziRequest) -> dict:
    at = resolve(request)
    args, options = chinese(engine, request, at)
    return with_input(quorvane_engine.bazi(*args, luck_pillars=request.luck_pillars,
                                           **options), at)


def zi_wei(engine, request: ZiWeiRequest) -> dict:
    at = resolve(request)
    args, options = chinese(engine, request, at)
    return with_input(quorvane_engine.zi_wei(*args, leap_month=request.leap_month,
                                             **options), at)
