"""Colours of the pictures: a light and a dark theme."""
from __future__ import annotations

from dataclasses import dataclass, field


@dataclass(frozen=True)
class Theme:
    name: str
    background: str
    foreground: str
    muted: str          # ticks, minor lines, secondary text
    line: str           # ring circles and cusp lines
    angle: str          # the Ascendant and Midheaven axes
    retrograde: str
    aspect_fill: str    # the disc the aspect lines are drawn on
    # Fire, earth, air, water: the sign band's fill and the glyph colour.
    element_fill: tuple
    element_ink: tuple
    aspects: dict = field(default_factory=dict)
    # Wood, fire, earth, metal, water (the Chinese five phases).
    phases: dict = field(default_factory=dict)
    malefic: str = "#b03030"
    minor_star: str = "#777777"


LIGHT = Theme(
    name="light", background="#ffffff", foreground="#1d1d1f", muted="#8a8a8e",
    line="#55555a", angle="#1d1d1f", retrograde="#c0392b", aspect_fill="#fbfbf8",
    element_fill=("#fbe3dc", "#ece4d3", "#fbf4d2", "#dde9f6"),
    element_ink=("#c0392b", "#7a5a2b", "#b08900", "#2463a6"),
    aspects={"Conjunction": "#b08900", "Opposition": "#c0392b", "Square": "#d35400",
             "Trine": "#1e8449", "Sextile": "#2471a3", "Semi-Sextile": "#48a868",
             "Quincunx": "#8e44ad"},
    phases={"wood": "#2e8b57", "fire": "#c0392b", "earth": "#9a6b2f", "metal": "#7f8c8d",
            "water": "#2463a6"},
    malefic="#b03030", minor_star="#6f6f73",
)

DARK = Theme(
    name="dark", background="#16171d", foreground="#e8e6e3", muted="#8d8f98",
    line="#9a9ca5", angle="#f2f0ea", retrograde="#ff7b6b", aspect_fill="#1d1f27",
    element_fill=("#4a2420", "#3b3226", "#45401f", "#1f3147"),
    element_ink=("#ff8a70", "#d8b27a", "#f0d060", "#7fb5ff"),
    aspects={"Conjunction": "#f0d060", "Opposition": "#ff6b5b", "Square": "#ff9f43",
             "Trine": "#4cd08a", "Sextile": "#5dade2", "Semi-Sextile": "#7dcea0",
             "Quincunx": "#c39bd3"},
    phases={"wood": "#5fd08a", "fire": "#ff7b6b", "earth": "#d8b27a", "metal": "#c8ccd0",
            "water": "#7fb5ff"},
    malefic="#ff7b6b", minor_star="#9a9ca5",
)

THEMES = {"light": LIGHT, "dark": DARK}


def theme_of(name) -> Theme:
    """A theme by name ("light" or "dark"), or a Theme passed as it is."""
    if isinstance(name, Theme):
        return name
    try:
        return THEMES[name]
    except KeyError:
        raise ValueError(f"theme must be one of {', '.join(THEMES)}, not {name!r}") from None
