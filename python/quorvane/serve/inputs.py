"""From a request's moment and place to what the engine takes: a UTC text
and coordinates, with the zone and offset that were used.

Place names and local civil time go through `quorvane.places` and
`quorvane.localtime`; a build without them still serves UTC moments with
coordinates, and says so (501) when asked for the rest.
"""
from __future__ import annotations

import datetime
from dataclasses import asdict, dataclass
from typing import Optional

from quorvane.serve.models import When, Where


class Unavailable(Exception):
    """A feature this build does not have."""


def places_module():
    try:
        from quorvane import places
    except ImportError:
        raise Unavailable("place search is not available in this build") from None
    return places


def localtime_module():
    try:
        from quorvane import localtime
    except ImportError:
        raise Unavailable("local civil time is not available in this build; "
                          "give a UTC moment") from None
    return localtime


@dataclass
class Spot:
    latitude: float
    longitude: float
    place: Optional[str] = None  # the place found for a name
    zone: Optional[str] = None   # its IANA zone


@dataclass
class Resolved:
    """The inputs of one chart as the engine got them (the `input` key)."""

    moment: str
    latitude: float
    longitude: float
    place: Optional[str] = None
    tz: Optional[str] = None
    local: Optional[str] = None
    utc_offset: Optional[float] = None  # minutes ahead of UTC, when known

    def as_dict(self) -> dict:
        return asdict(self)


def spot(where: Where) -> Spot:
    if where.place is None:
        return Spot(where.latitude, where.longitude)
    found = places_module().find(where.place)
    name = ", ".join(part for part in (found.name, found.admin1, found.country) if part)
    latitude = found.latitude if where.latitude is None else where.latitude
    longitude = found.longitude if where.longitude is None else where.longitude
    return Spot(latitude, longitude, name, found.timezone)


def zone_of(when: When, at: Spot, required: bool) -> Optional[str]:
    """The zone given, or the place's; when `required`, else the zone at the
    coordinates."""
    zone = when.tz or at.zone
    if zone is None and required:
        zone = places_module().timezone_at(at.latitude, at.longitude)
    return zone


def utc_text(moment: datetime.datetime) -> str:
    return moment.astimezone(datetime.timezone.utc).isoformat()


def offset_minutes(moment_utc: str, zone: str) -> float:
    """Minutes that the civil time of `zone` was ahead of UTC at the moment."""
    from zoneinfo import ZoneInfo

    utc = datetime.datetime.fromisoformat(moment_utc.replace("Z", "+00:00"))
    return utc.astimezone(ZoneInfo(zone)).utcoffset().total_seconds() / 60


def moment_of(when: When, at: Spot) -> Resolved:
    """The UTC moment of `when` at `at`."""
    resolved = Resolved(when.moment or "", at.latitude, at.longitude, at.place, local=when.local)
    if when.local is None:
        resolved.tz = zone_of(when, at, required=False)
        if when.utc_offset is not None:
            resolved.utc_offset = when.utc_offset
        return resolved
    localtime = localtime_module()
    if when.utc_offset is not None:
        moment = localtime.to_utc(when.local, offset=datetime.timedelta(minutes=when.utc_offset))
        resolved.utc_offset = when.utc_offset
    else:
        resolved.tz = zone_of(when, at, required=True)
        fold = {"first": 0, "second": 1, None: None}[when.fold]
        moment = localtime.to_utc(when.local, resolved.tz, fold=fold)
    resolved.moment = utc_text(moment)
    return resolved


def resolve(request) -> Resolved:
    """A request that is a `When` and a `Where` at once (a birth)."""
    return moment_of(request, spot(request))


def with_offset(resolved: Resolved) -> float:
    """The UTC offset in minutes the Chinese charts need: given, or from the zone."""
    if resolved.utc_offset is None:
        if resolved.tz is None:
            try:
                resolved.tz = places_module().timezone_at(resolved.latitude, resolved.longitude)
            except Unavailable:
                raise ValueError("give utc_offset or tz: the Chinese charts need the civil "
                                 "time's offset from UTC") from None
        resolved.utc_offset = offset_minutes(resolved.moment, resolved.tz)
    return resolved.utc_offset
