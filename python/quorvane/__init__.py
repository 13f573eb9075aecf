"""quorvane: the Python side of the quorvane_engine extension module.

What belongs in Python rather than in the computation library lives here:
the command line (`quorvane.cli`), birth data as people give it (`places`
by name, `localtime` to UTC, and `natal` and the other charts cast from
them), and pictures of charts.

    import quorvane
    chart = quorvane.natal("1990-07-14 08:30", "New York")
    chart["input"]["utc"]          # '1990-07-14T12:30:00+00:00'
    quorvane.solar_return("1990-07-14 08:30", "New York", year=2025)
"""
from quorvane_engine import __version__

from . import localtime, places
from .astro_map import astrocartography, relocate, to_geojson
from .casting import (bazi, birth, default_engine, election, horary, jyotish, natal, transit,
                      zi_wei)
from .errors import AmbiguousTimeError, LocalTimeError, NonexistentTimeError, PlaceNotFound
from .localtime import to_utc
from .places import Place
from .predicting import (composite, davison, directions, planet_return, primary_directions,
                         progressions, releasing, returns, solar_return, transit_timeline)
from .sky_events import events, events_to_ics

__all__ = [
    "__version__", "localtime", "places", "Place", "to_utc", "birth", "natal", "horary",
    "election", "transit", "astrocartography", "relocate", "to_geojson", "bazi", "zi_wei", "jyotish", "default_engine", "events",
    "events_to_ics", "PlaceNotFound",
    "LocalTimeError", "NonexistentTimeError", "AmbiguousTimeError", "planet_return",
    "solar_return", "returns", "progressions", "directions", "primary_directions", "transit_timeline",
    "composite", "davison", "releasing",
]
