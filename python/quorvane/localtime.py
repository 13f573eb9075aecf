"""Local civil time to a UTC moment, through the IANA time zone database.

    to_utc("1990-07-14 08:30", "America/New_York")   # 12:30 UTC
    to_utc("1990-07-14 08:30", offset="+05:30")
    to_utc("2024-10-27 02:30", "Europe/Berlin", fold="second")

The zone rules are `zoneinfo`'s (the system's database, or the `tzdata`
package where there is none), historical rules and local mean time included.
A time skipped by a clock change raises NonexistentTimeError with the
nearest valid times; a time that happened twice raises AmbiguousTimeError
unless `fold` says which reading is meant.
"""
from __future__ import annotations

import dataclasses
import datetime
import math
import re
import zoneinfo

from .errors import AmbiguousTimeError, NonexistentTimeError

UTC = datetime.timezone.utc
EPOCH = datetime.datetime(1970, 1, 1, tzinfo=UTC)

FOLDS = {None: None, 0: 0, 1: 1, "first": 0, "second": 1}

OFFSET_TEXT = re.compile(
    r"(?:UTC|GMT)?\s*(?P<sign>[+-])(?P<hours>\d{1,2})(?::?(?P<minutes>\d{2}))?"
    r"(?::?(?P<seconds>\d{2}))?")


@dataclasses.dataclass(frozen=True)
class LocalMoment:
    """One moment as the clock on the wall showed it and as UTC.

    `offset` is the civil time's lead on UTC; `zone` the IANA name the rules
    came from (None for a bare offset); `abbreviation` the zone's name for
    the offset in force ("EDT", "LMT"), when the zone's rules gave it.
    """
    wall: datetime.datetime
    utc: datetime.datetime
    offset: datetime.timedelta
    zone: str | None
    abbreviation: str | None


def to_utc(local, tz=None, *, offset=None, fold=None) -> datetime.datetime:
    """The aware UTC datetime of a wall-clock time in zone `tz` (an IANA
    name) or at an explicit UTC `offset` ("+05:30", minutes, a timedelta).

    `local` is a text ("1990-07-14 08:30", "1990-07-14T08:30:00") or a
    datetime; one that carries its own offset ("...+02:00", "...Z", an aware
    datetime) is that moment whatever `tz` says. `fold` picks the reading of
    a time that happened twice: 0 or "first", 1 or "second".
    """
    return resolve(local, tz, offset=offset, fold=fold).utc


def resolve(local, tz=None, *, offset=None, fold=None) -> LocalMoment:
    """`to_utc` with the wall time, offset and zone that were used.

    An explicit `offset` wins over the zone's rules (records of births
    often give the offset that was kept, which the database may not know);
    with an aware `local` it is taken as the civil offset of the record.
    """
    when = parse_local(local)
    lead = None if offset is None else parse_offset(offset)
    zone = None if tz is None else time_zone(tz)
    choice = parse_fold(fold)
    try:
        return reading(when, lead, zone, choice)
    except OverflowError:
        # datetime ends at years 1 and 9999: an offset or a zone reading
        # that crosses either end has no datetime to give.
        raise ValueError(f"{when.replace(tzinfo=None).isoformat(' ')} is too near the ends of "
                         "the calendar (years 1 and 9999) to read in a time zone") from None


def reading(when, lead, zone, choice) -> LocalMoment:
    if when.tzinfo is not None:
        utc = when.astimezone(UTC)
        if lead is None:
            lead = utc.astimezone(zone).utcoffset() if zone else when.utcoffset()
    elif lead is not None:
        utc = (when - lead).replace(tzinfo=UTC)
    elif zone is not None:
        utc = zone_reading(when, zone, choice).astimezone(UTC)
        lead = utc.astimezone(zone).utcoffset()
    else:
        raise ValueError(f"{format_wall(when)} has no time zone: give tz (an IANA name "
                         "such as Europe/Paris) or a UTC offset")
    abbreviation = None
    if zone is not None:
        zoned = utc.astimezone(zone)
        if zoned.utcoffset() == lead:
            abbreviation = zoned.tzname()
    wall = (utc + lead).replace(tzinfo=None)
    return LocalMoment(wall, utc, lead, zone_name(zone), abbreviation)


# ------------------------------------------------------------------ reading

def parse_local(local) -> datetime.datetime:
    """A datetime from a text or a datetime; naive unless it names an offset."""
    if isinstance(local, datetime.datetime):
        return local
    if isinstance(local, datetime.date):
        return datetime.datetime(local.year, local.month, local.day)
    if not isinstance(local, str):
        raise TypeError(f"a local time is a text or a datetime, not {type(local).__name__}")
    text = local.strip()
    if text[-1:] in ("Z", "z"):
        text = text[:-1] + "+00:00"
    try:
        return datetime.datetime.fromisoformat(text)
    except ValueError as error:
        why = str(error)
        if why.startswith("Invalid isoformat"):
            why = "expected for example 1990-07-14 08:30"
        raise ValueError(f"not a date and time: {local!r} ({why})") from None


def parse_offset(offset) -> datetime.timedelta:
    """A UTC offset from "+05:30", "-0500", "UTC+5", minutes or a timedelta."""
    if isinstance(offset, datetime.timedelta):
        lead = offset
    elif isinstance(offset, (int, float)) and not isinstance(offset, bool):
        # A day either way first: timedelta itself overflows far beyond it.
        if not math.isfinite(offset) or abs(offset) >= 24 * 60:
            raise ValueError(f"a UTC offset is less than a day (minutes from -1439 to 1439), "
                             f"not {offset!r}")
        lead = datetime.timedelta(minutes=offset)
    elif isinstance(offset, str):
        lead = offset_from_text(offset)
    else:
        raise TypeError(f"a UTC offset is a text, minutes or a timedelta, not "
                        f"{type(offset).__name__}")
    if abs(lead) >= datetime.timedelta(hours=24):
        raise ValueError(f"a UTC offset is less than a day: {offset!r}")
    return lead


def offset_from_text(text: str) -> datetime.timedelta:
    stripped = text.strip()
    if stripped.upper() in ("Z", "UTC", "GMT"):
        return datetime.timedelta(0)
    match = OFFSET_TEXT.fullmatch(stripped)
    if not match:
        raise ValueError(f"not a UTC offset: {text!r} (expected for example +05:30)")
    # "+05:99" is no clock reading; carrying it into the hour would hide a typo.
    if int(match["minutes"] or 0) > 59 or int(match["seconds"] or 0) > 59:
        raise ValueError(f"not a UTC offset: {text!r} (minutes and seconds run to 59)")
    lead = datetime.timedelta(hours=int(match["hours"]), minutes=int(match["minutes"] or 0),
                              seconds=int(match["seconds"] or 0))
    return -lead if match["sign"] == "-" else lead


def parse_fold(fold) -> int | None:
    try:
        return FOLDS[fold]
    except (KeyError, TypeError):
        raise ValueError(f"fold is 0 or 'first', 1 or 'second', not {fold!r}") from None


def time_zone(tz) -> datetime.tzinfo:
    """A zone from its IANA name (a tzinfo is taken as it is)."""
    if isinstance(tz, datetime.tzinfo):
        return tz
    if not isinstance(tz, str):
        raise TypeError(f"a time zone is an IANA name, not {type(tz).__name__}")
    try:
        return zoneinfo.ZoneInfo(tz)
    except (zoneinfo.ZoneInfoNotFoundError, ValueError, OSError):
        # OSError: a folder of the database (Etc, America) or a name too
        # long for a file name; neither is a zone.
        raise ValueError(f"unknown time zone: {shortened(tz)!r} (expected an IANA name such as "
                         "America/New_York)") from None


def shortened(text: str, limit: int = 60) -> str:
    """A text as an error message repeats it: long ones cut, with their length."""
    return text if len(text) <= limit else f"{text[:limit]}... ({len(text)} characters)"


def zone_name(zone) -> str | None:
    if zone is None:
        return None
    return getattr(zone, "key", None) or str(zone)


# ------------------------------------------------------- gaps and overlaps

def zone_reading(wall: datetime.datetime, zone, fold: int | None) -> datetime.datetime:
    """The aware datetime of a naive wall time in a zone, refusing a time
    the clocks skipped and, unless `fold` is given, one they showed twice."""
    readings = [wall.replace(tzinfo=zone, fold=f) for f in (0, 1)]
    if readings[0].utcoffset() == readings[1].utcoffset():
        return readings[0]
    # A reading is real when the zone shows it again for its UTC moment.
    real = [r.astimezone(UTC).astimezone(zone).replace(tzinfo=None) == wall for r in readings]
    if all(real):
        first, second = sorted(r.astimezone(UTC) for r in readings)
        if fold is None:
            raise ambiguous(wall, zone, first, second)
        return (first, second)[fold].astimezone(zone)
    raise nonexistent(wall, zone, readings)


def ambiguous(wall, zone, first, second) -> AmbiguousTimeError:
    def reading(moment):
        zoned = moment.astimezone(zone)
        return (f"{format_offset(zoned.utcoffset(), 'UTC')} ({zoned.tzname()}, "
                f"{format_wall(moment.replace(tzinfo=None))} UTC)")
    message = (f"{format_wall(wall)} happened twice in {zone_name(zone)}: first at "
               f"{reading(first)}, then at {reading(second)}; say which with "
               "fold='first' or fold='second'")
    return AmbiguousTimeError(message, first, second)


def nonexistent(wall, zone, readings) -> NonexistentTimeError:
    # fold=0 reads a skipped time with the offset before the change, fold=1
    # with the one after; the change lies between the two UTC moments.
    earlier, later = sorted(r.astimezone(UTC) for r in readings)
    transition = transition_between(earlier, later, zone)
    old = (transition - datetime.timedelta(seconds=1)).astimezone(zone).utcoffset()
    new = transition.astimezone(zone).utcoffset()
    gap_start = (transition + old).replace(tzinfo=None)
    gap_end = (transition + new).replace(tzinfo=None)
    # The nearest valid times to the second when the time was given so.
    precise = bool(wall.second or wall.microsecond)
    before = gap_start - datetime.timedelta(seconds=1 if precise else 60)
    message = (f"{format_wall(wall)} does not exist in {zone_name(zone)}: the clocks went "
               f"forward from {format_wall(gap_start)} to {format_wall(gap_end)} "
               f"({format_offset(old, 'UTC')} to {format_offset(new, 'UTC')}); the nearest "
               f"valid times are {format_wall(before, precise)} and "
               f"{format_wall(gap_end, precise)}")
    return NonexistentTimeError(message, before, gap_end, transition)


def transition_between(earlier, later, zone) -> datetime.datetime:
    """The first whole UTC second after `earlier` whose offset differs
    (the database changes offsets on whole seconds)."""
    def offset_at(seconds):
        return (EPOCH + datetime.timedelta(seconds=seconds)).astimezone(zone).utcoffset()
    low = math.floor((earlier - EPOCH).total_seconds())
    high = math.ceil((later - EPOCH).total_seconds())
    before = offset_at(low)
    while high - low > 1:
        middle = (low + high) // 2
        if offset_at(middle) == before:
            low = middle
        else:
            high = middle
    return EPOCH + datetime.timedelta(seconds=high)


# ---------------------------------------------------------------- display

def format_offset(lead: datetime.timedelta, prefix: str = "") -> str:
    """"+05:30", "-04:56:02" (seconds only where there are some)."""
    seconds = round(lead.total_seconds())
    sign = "-" if seconds < 0 else "+"
    hours, rest = divmod(abs(seconds), 3600)
    minutes, seconds = divmod(rest, 60)
    text = f"{prefix}{sign}{hours:02d}:{minutes:02d}"
    return text + f":{seconds:02d}" if seconds else text


def format_wall(wall: datetime.datetime, precise: bool = False) -> str:
    precise = precise or bool(wall.second or wall.microsecond)
    return wall.strftime("%Y-%m-%d %H:%M:%S" if precise else "%Y-%m-%d %H:%M")
