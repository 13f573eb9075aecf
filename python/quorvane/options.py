"""The chart options as the engine takes them, read from whatever carries
them as attributes: the command line's parsed arguments or a request of the
chart service. One reading, so both hand the engine the same options.
"""
from __future__ import annotations

ZODIAC = ("house_system", "house_obliquity", "zodiac_type", "ayanamsa")
CHART = ZODIAC + ("orb_settings", "dignity_scheme")


def zodiac_options(source) -> dict:
    """House system and obliquity, zodiac and ayanamsa: what a search over many moments takes."""
    return {name: getattr(source, name) for name in ZODIAC}


def chart_options(source) -> dict:
    """The zodiac options with the orb settings and the dignity scheme: what a chart takes."""
    return {name: getattr(source, name) for name in CHART}
