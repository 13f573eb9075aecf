"""What each endpoint computes, as plain functions of an Engine and a
request model, run on a worker thread. Each result is the engine's dict,
with the resolved inputs under `input` where the request had a birth; the
engine writes it as JSON text itself, and the inputs are put in front.
"""
from __future__ import annotations

import datetime
import json
from zoneinfo import ZoneInfo

import quorvane_engine

from quorvane import casting, sky_events
from quorvane.options import chart_options, zodiac_options
from quorvane.serve import limits
from quorvane.serve.inputs import moment_at, period_at, resolve, sky
from quorvane.serve.models import (
    AstrocartographyRequest, BaziRequest, ChartRequest, DerivedRequest, EclipseAtRequest,
    ElectionRequest, ElectionsRequest, EventsRequest, HoraryRequest, HousePositionsRequest,
    JyotishRequest, Natal, PrimaryDirectionsRequest, ProgressionsRequest, ReleasingRequest,
    StructureRequest, SynastryRequest, TimeLordsRequest, TransitRequest, ZiWeiRequest)


class Encoded(bytes):
    """A response body already written as JSON."""


def with_input(text: str, inputs) -> Encoded:
    """The engine's JSON text of a result (an object), with the inputs
    first, as quorvane.casting writes them: a saved result says when and
    where. Spliced as text, so the result is not written twice."""
    front = json.dumps({"input": inputs}, ensure_ascii=False, allow_nan=False,
                       separators=(",", ":"))
    rest = text[1:]
    return Encoded((front[:-1] + ("}" if rest == "}" else "," + rest)).encode())


def cast(engine, request, at: dict, chinese_calendar=False, json=False):
    return engine.chart(*sky(at), chinese_calendar=chinese_calendar, json=json,
                        node=getattr(request, "node", "mean"), **chart_options(request))


def chart(engine, request: ChartRequest) -> Encoded:
    at = resolve(request)
    return with_input(cast(engine, request, at, request.chinese_calendar, json=True), at)


def structure(engine, request: StructureRequest) -> dict:
    """The chart's structure, and its harmonic chart when one is asked for."""
    at = resolve(request)
    chart = cast(engine, request, at, request.chinese_calendar)
    found = quorvane_engine.chart_structure(chart, rulers=request.rulers,
                                            midpoint_orb=request.midpoint_orb)
    found["harmonic_chart"] = (None if request.harmonic is None
                               else quorvane_engine.harmonic_chart(chart, request.harmonic))
    return {"input": at, **found}


def horary(engine, request: HoraryRequest) -> Encoded:
    at = resolve(request)
    return with_input(engine.horary(*sky(at), quesited_house=request.quesited_house,
                                    chinese_calendar=request.chinese_calendar, node=request.node,
                                    json=True, **chart_options(request)), at)


def natal(engine, given: Natal, options) -> tuple[list, object]:
    """The natal planets, and the resolved birth when one was given."""
    if given.planets is not None:
        return [p.model_dump() for p in given.planets], None
    at = resolve(given.birth)
    return engine.chart(*sky(at), **options)["planets"], at


def transit(engine, request: TransitRequest) -> Encoded:
    options = chart_options(request)
    planets, birth = natal(engine, request.natal, options)
    at = resolve(request)
    return with_input(engine.transit(planets, *sky(at), json=True, **options),
                      dict(at, natal=birth))


def synastry(engine, request: SynastryRequest) -> Encoded:
    options = dict(zodiac_options(request), orb_settings=request.orb_settings)
    a, birth_a = natal(engine, request.a, options)
    b, birth_b = natal(engine, request.b, options)
    return with_input(quorvane_engine.synastry(a, b, orb_settings=request.orb_settings,
                                               json=True),
                      {"a": birth_a, "b": birth_b})


def election(engine, request: ElectionRequest) -> Encoded:
    at = resolve(request)
    return with_input(engine.election(*sky(at), criteria=request.criteria, json=True,
                                      **chart_options(request)), at)


def period(start: dict, end: dict, most_days: float, what: str) -> None:
    days = end["julian_day"] - start["julian_day"]
    if days < 0:
        raise ValueError(f"{what}: the end is before the start")
    if days > most_days:
        raise ValueError(f"{what}: at most {most_days:g} days from start to end, "
                         f"not {days:.1f}")


def zone_offsets(zone: str, start: str, end: str) -> list[dict]:
    """The zone's UTC offsets over a period, as election criteria take
    them: the one at the start, then one from each change of the clocks
    (found to the second between samples six hours apart)."""
    tz = ZoneInfo(zone)

    def minutes(moment):
        return round(moment.astimezone(tz).utcoffset().total_seconds() / 60)

    def text(moment):
        return moment.strftime("%Y-%m-%dT%H:%M:%SZ")

    first = datetime.datetime.fromisoformat(start.replace("Z", "+00:00"))
    last = datetime.datetime.fromisoformat(end.replace("Z", "+00:00"))
    found = [{"from": text(first), "minutes": minutes(first)}]
    step, before = datetime.timedelta(hours=6), first
    while before < last:
        after = min(before + step, last)
        if minutes(after) != minutes(before):
            low, high = before, after
            while high - low > datetime.timedelta(seconds=1):
                middle = low + datetime.timedelta(seconds=(high - low).total_seconds() // 2)
                low, high = (middle, high) if minutes(middle) == minutes(low) else (low, middle)
            found.append({"from": text(high), "minutes": minutes(high)})
        before = after
    return found


def local_criteria(criteria, start: dict, end: dict):
    """Local hours are the place's clock: give the search the zone's offsets
    when the caller gave hours and no offsets of their own."""
    if (isinstance(criteria, dict) and criteria.get("local_hours") is not None
            and "utc_offsets" not in criteria and start["timezone"]):
        return dict(criteria, utc_offsets=zone_offsets(start["timezone"], start["utc"],
                                                       end["utc"]))
    return criteria


def elections(engine, request: ElectionsRequest) -> Encoded:
    start, end = period_at(request)
    period(start, end, limits.MAX_ELECTION_DAYS, "elections")
    criteria = local_criteria(request.criteria, start, end)
    result = engine.elections(start["utc"], end["utc"], start["latitude"], start["longitude"],
                              criteria=criteria, json=True, **zodiac_options(request))
    return with_input(result, {"start": start, "end": end})


def derived(engine, request: DerivedRequest) -> Encoded:
    at = resolve(request)
    base = cast(engine, request, at)
    return with_input(quorvane_engine.derived_chart(base, request.root_house,
                                                    request.custom_name, json=True), at)


def longitude_of(chart: dict, name: str) -> float:
    return next(p["ecliptic_longitude"] for p in chart["planets"] if p["name"] == name)


def time_lords(engine, request: TimeLordsRequest) -> Encoded:
    at = resolve(request)
    start, end = period_at(request)
    period(start, end, limits.MAX_TIME_LORD_YEARS * 365.25, "time lords")
    natal = engine.chart(*sky(at))
    result = quorvane_engine.time_lords(at["utc"], longitude_of(natal, "Sun"),
                                        longitude_of(natal, "Ascendant"),
                                        start["utc"], end["utc"], json=True)
    return with_input(result, at)


def progressions(engine, request: ProgressionsRequest) -> Encoded:
    at = resolve(request)
    utc, latitude, longitude = sky(at)
    target = moment_at(request.target, request.place, request.latitude, request.longitude)
    result = engine.progressions(utc, target["utc"], latitude, longitude,
                                 angle_method=request.angle_method, kind=request.kind,
                                 month=request.month, orb_settings=request.orb_settings,
                                 json=True, **zodiac_options(request))
    return with_input(result, at)


def releasing(engine, request: ReleasingRequest) -> Encoded:
    at = resolve(request)
    start, end = period_at(request)
    years = limits.MAX_TIME_LORD_YEARS if request.levels <= 2 else limits.MAX_FINE_RELEASING_YEARS
    period(start, end, years * 365.25, "zodiacal releasing")
    result = engine.zodiacal_releasing(*sky(at), start["utc"], end["utc"], lot=request.lot,
                                       levels=request.levels, year=request.year,
                                       spirit_with_fortune=request.spirit_with_fortune, json=True,
                                       **zodiac_options(request))
    return with_input(result, at)


def primary_directions(engine, request: PrimaryDirectionsRequest) -> Encoded:
    at = resolve(request)
    options = request.model_dump(include={
        "start_age", "end_age", "method", "key", "promissor_latitude", "converse",
        "dignity_scheme", "significators", "promissors", "aspects", "families", "directions"})
    return with_input(engine.primary_directions(*sky(at), **options, json=True), at)


def chinese(engine, request, at: dict) -> tuple:
    calendar = engine.chart(*sky(at), chinese_calendar=True)["chinese_calendar"]
    options = dict(solar_time=request.solar_time, zi_hour=request.zi_hour, sex=request.sex,
                   year=request.year, date=request.date)
    return (calendar, at["utc"], at["longitude"], at["utc_offset_minutes"]), options


def bazi(engine, request: BaziRequest) -> Encoded:
    at = resolve(request, needs_zone=True)
    args, options = chinese(engine, request, at)
    return with_input(quorvane_engine.bazi(*args, luck_pillars=request.luck_pillars, json=True,
                                           **options), at)


def zi_wei(engine, request: ZiWeiRequest) -> Encoded:
    at = resolve(request, needs_zone=True)
    args, options = chinese(engine, request, at)
    return with_input(quorvane_engine.zi_wei(*args, leap_month=request.leap_month, json=True,
                                             **options), at)


def jyotish(engine, request: JyotishRequest):
    """The Jyotish chart; with `svg`, its picture as well (text under "svg")."""
    at = resolve(request)
    found = None
    if request.place is not None:
        found, _, _ = casting.locate(request.place, request.latitude, request.longitude)

    def utc(when):  # a dasha moment, read at the birth place
        if when is None:
            return None
        return moment_at(when, found, request.latitude, request.longitude)["utc"]

    options = dict(ayanamsa=request.ayanamsa, node=request.node, dasha_year=request.dasha_year,
                   house_division=request.house_division, sunrise=request.sunrise,
                   dasha_depth=request.dasha_depth, dasha_at=utc(request.dasha_at),
                   dasha_from=utc(request.dasha_from), dasha_to=utc(request.dasha_to))
    if request.svg is None:
        return with_input(engine.jyotish(*sky(at), json=True, **options), at)
    result = {"input": at, **engine.jyotish(*sky(at), **options)}
    from quorvane import wheel  # the Indian pictures come with the wheel module
    result["svg"] = wheel.jyotish_svg(result, varga=request.varga, style=request.svg,
                                      size=request.size, theme=request.theme)
    return result


def astrocartography(engine, request: AstrocartographyRequest) -> Encoded:
    """Lines, parans and the local space of the birth place."""
    at = resolve(request)
    return with_input(engine.astrocartography(at["utc"], request.bodies, request.mode,
                                              at["latitude"], at["longitude"], json=True), at)


def house_positions(engine, request: HousePositionsRequest) -> Encoded:
    """The fractional house of each body, from its place on the sphere."""
    at = resolve(request)
    return with_input(engine.house_positions(at["utc"], at["latitude"], at["longitude"],
                                             request.bodies, request.house_system,
                                             request.house_obliquity, json=True), at)


def when_text(when) -> tuple[str, object]:
    return (when.local if when.local is not None else when.moment), when.tz


def events(engine, request: EventsRequest) -> dict:
    (start, start_tz), (end, end_tz) = when_text(request.start), when_text(request.end)
    zone = request.tz or start_tz or end_tz
    first = sky_events.resolve_moment(start, start_tz or zone)
    last = sky_events.resolve_moment(end, end_tz or zone)
    period(first, last, limits.MAX_EVENT_DAYS, "events")
    bodies = [b for b in request.bodies] if request.bodies else None
    found = engine.events(first["utc"], last["utc"], kinds=request.kinds, bodies=bodies,
                          zodiac_type=request.zodiac_type, ayanamsa=request.ayanamsa,
                          void_of_course=request.void_of_course)
    local_zone = sky_events.zone_of(zone)
    for event in found:
        event["local_time"] = sky_events.local(event["moment"], local_zone)
        if event["end"]:
            event["end"]["local_time"] = sky_events.local(event["end"]["moment"], local_zone)
    return {"input": {"start": first, "end": last, "timezone": zone or "UTC"}, "events": found}


def eclipse_at(engine, request: EclipseAtRequest) -> dict:
    at = resolve(request)
    local = engine.solar_eclipse_at(at["utc"], at["latitude"], at["longitude"], request.height)
    zone = sky_events.zone_of(at["timezone"])
    for key in ("C1", "C2", "maximum", "C3", "C4"):
        if local[key]:
            local[key]["local_time"] = sky_events.local(local[key]["moment"], zone)
    return {"input": at, **local}
