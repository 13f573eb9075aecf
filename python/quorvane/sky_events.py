"""The sky's events in local time, and as an iCalendar file.

    events("2026-01-01", "2027-01-01", "London", kinds=["eclipses", "lunations"])
    events_to_ics(events(...)["events"])

`events` resolves the span's ends like a birth (`casting.birth`: a place by
name, or coordinates; or only a zone, UTC when none is given), calls
`Engine.events` and gives every moment its local time in that zone.
`events_to_ics` writes one VEVENT per event (a period, such as a
void-of-course Moon, as a span) with a UID made of the event's kind, bodies
and minute, so that importing a later export again updates the same entries.
"""
from __future__ import annotations

import datetime as _dt
import json
from zoneinfo import ZoneInfo

import quorvane_engine

from . import localtime
from .casting import birth, default_engine

_TITLES = {
    "new_moon": "New Moon", "first_quarter": "First Quarter Moon", "full_moon": "Full Moon",
    "last_quarter": "Last Quarter Moon", "march_equinox": "March equinox",
    "june_solstice": "June solstice", "september_equinox": "September equinox",
    "december_solstice": "December solstice", "void_of_course": "Moon void of course",
}


def events(start, end, place=None, *, tz=None, latitude=None, longitude=None, engine=None,
           **options) -> dict:
    """`Engine.events` between two local times; "input" holds the resolved
    ends, and every event (and a period's end) gains "local_time"."""
    first = _resolve(start, place, tz, latitude, longitude)
    last = _resolve(end, place, first["timezone"] or tz, first["latitude"], first["longitude"])

    found = (engine or default_engine()).events(first["utc"], last["utc"], **options)
    zone = zone_of(first["timezone"])
    for event in found:
        event["local_time"] = local(event["moment"], zone)
        if event["end"]:
            event["end"]["local_time"] = local(event["end"]["moment"], zone)
    return {"input": {"start": first, "end": last}, "events": found}


def _resolve(when, place, tz, latitude, longitude) -> dict:
    """A span's end like a birth's inputs; with no place, only a zone (UTC by default)."""
    if place is not None or latitude is not None:
        return birth(when, place, tz=tz, latitude=latitude, longitude=longitude)
    return resolve_moment(when, tz)


def resolve_moment(when, tz=None) -> dict:
    """A local time (or a moment with its offset) read in `tz`, UTC by default."""
    moment = localtime.resolve(when, tz or "UTC")
    return {"local_time": moment.wall.isoformat(), "timezone": moment.zone,
            "zone_abbreviation": moment.abbreviation,
            "utc_offset": localtime.format_offset(moment.offset),
            "utc_offset_minutes": moment.offset.total_seconds() / 60,
            "utc": moment.utc.isoformat(), "julian_day": quorvane_engine.julian_day(moment.utc),
            "latitude": None, "longitude": None, "place": None}


def zone_of(name):
    return ZoneInfo(name) if name else _dt.timezone.utc


def local(moment: str, zone) -> str:
    """An engine moment (ISO, UTC) as the wall time of `zone`, with its offset."""
    return _dt.datetime.fromisoformat(moment).astimezone(zone).isoformat()


def title(event: dict) -> str:
    """A short line naming the event, as a calendar shows it."""
    kind, bodies, details = event["kind"], event["bodies"], event["details"]
    if kind in _TITLES:
        return _TITLES[kind]
    if kind == "ingress":
        verb = "re-enters" if details.get("retrograde") else "enters"
        return f"{bodies[0]} {verb} {details['sign']}"
    if kind.endswith("_station"):
        return f"{bodies[0]} stations {kind.split('_')[0]}"
    if event["group"] == "aspects":
        return f"{bodies[0]} {details['aspect'].lower()} {bodies[1]}"
    if kind.endswith("_eclipse"):
        member = f", member {details['saros_member']:.0f}" if "saros_member" in details else ""
        return (f"{details['type'].capitalize()} {kind.replace('_', ' ')}"
                f" (Saros {details['saros']:.0f}{member})")
    return f"{bodies[0]} {kind.replace('_', ' ')}"


def uid(event: dict) -> str:
    """Stable across exports: kind, bodies and the minute of the moment."""
    minute = event["moment"][:16].replace("-", "").replace(":", "")
    return f"{event['kind']}-{'-'.join(event['bodies'])}-{minute}@quorvane".replace(" ", "_")


def events_to_ics(found, *, name: str = "Sky events") -> bytes:
    """An iCalendar file of events (a list from `Engine.events`, or the
    dict `events` returns), one VEVENT each."""
    from icalendar import Calendar, Event

    if isinstance(found, dict):
        found = found["events"]
    calendar = Calendar()
    calendar.add("prodid", "-//quorvane//sky events//EN")
    calendar.add("version", "2.0")
    calendar.add("x-wr-calname", name)
    for event in found:
        entry = Event()
        start = _dt.datetime.fromisoformat(event["moment"]).replace(microsecond=0)
        entry.add("uid", uid(event))
        entry.add("summary", title(event))
        entry.add("dtstamp", start)
        entry.add("dtstart", start)
        end = event["end"]
        entry.add("dtend", _dt.datetime.fromisoformat(end["moment"]).replace(microsecond=0)
                  if end else start)
        entry.add("categories", [event["group"]])
        entry.add("description", json.dumps({"kind": event["kind"], "bodies": event["bodies"],
                                             "longitudes": event["longitudes"],
                                             "details": event["details"]}))
        calendar.add_component(entry)
    return calendar.to_ical()
