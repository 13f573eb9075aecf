"""The chart options as the engine takes them, read from whatever carries
them as attributes: the command line's parsed arguments or a request of the
chart service. One reading, so both hand the engine the same options.

The engine reads an option text it does not know as its default with a
warning; the command line and the service refuse it instead
(`refuse_unknown_options`, `unknown_option`).
"""
from __future__ import annotations

import warnings

import quorvane_engine

ZODIAC = ("house_system", "house_obliquity", "zodiac_type", "ayanamsa")
CHART = ZODIAC + ("orb_settings", "dignity_scheme")

# The engine's warning of an option text it does not know ("unknown orb
# method 'junk': using ... instead; accepted: ..."); a UserWarning where
# the engine has no class of its own for it.
UNKNOWN_OPTION = getattr(quorvane_engine, "UnknownOptionWarning", UserWarning)


def zodiac_options(source) -> dict:
    """House system and obliquity, zodiac and ayanamsa: what a search over many moments takes."""
    return {name: getattr(source, name) for name in ZODIAC}


def chart_options(source) -> dict:
    """The zodiac options with the orb settings and the dignity scheme: what a chart takes."""
    return {name: getattr(source, name) for name in CHART}


def refuse_unknown_options() -> None:
    """From now on, in every thread, an unknown option text raises its
    warning as an error rather than falling back to the default."""
    warnings.filterwarnings("error", message="unknown ", category=UNKNOWN_OPTION)


def unknown_option(error: BaseException) -> str | None:
    """The refusal of an unknown option text ("unknown orb method 'junk';
    accepted: ..."), or None when `error` is something else."""
    text = str(error)
    if not isinstance(error, UNKNOWN_OPTION) or not text.startswith("unknown "):
        return None
    what, _, rest = text.partition(": using ")
    accepted = rest.partition("accepted: ")[2]
    return f"{what}; accepted: {accepted}" if accepted else what
