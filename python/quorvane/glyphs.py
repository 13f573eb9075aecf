"""Astrological glyphs as SVG path data, drawn for this project.

Each glyph is a stroked outline (no fill) in a 20 x 20 box centred on the
origin, y pointing down, meant for a stroke about 1.6 units wide. Drawing
them as paths keeps the pictures independent of fonts: a machine without a
font holding the astrological symbols (most servers) renders them the same.
"""
from __future__ import annotations

# Half the side of the box every glyph is drawn in.
HALF = 10.0
STROKE = 1.6


def circle(cx: float, cy: float, r: float) -> str:
    """A full circle as two arcs (path data has no circle command)."""
    return (f"M{cx - r:g},{cy:g} A{r:g},{r:g} 0 1,0 {cx + r:g},{cy:g} "
            f"A{r:g},{r:g} 0 1,0 {cx - r:g},{cy:g}")


SUN = circle(0, 0, 8) + " " + circle(0, 0, 0.7)
MOON = "M-2.5,-7.6 A8,8 0 1,1 -2.5,7.6 A8.37,8.37 0 0,0 -2.5,-7.6 Z"
MERCURY = ("M-4,-9.5 A4,4 0 0,0 4,-9.5 " + circle(0, -1.5, 4) +
           " M0,2.5 L0,9.5 M-3,6 L3,6")
VENUS = circle(0, -3.5, 5.5) + " M0,2 L0,9.5 M-3.5,6 L3.5,6"
MARS = circle(-2, 2, 5.5) + " M1.9,-1.9 L8,-8 M3,-8 L8,-8 L8,-3"
JUPITER = "M-6,-6 C-6,-9.5 -0.5,-10 -0.5,-6 C-0.5,-2 -4,1 -7,3.5 L7,3.5 M3.5,-8.5 L3.5,9.5"
SATURN = ("M-6.5,-6.5 L0.5,-6.5 M-3,-9.5 L-3,5 M-3,0 C-3,-4 5,-4.5 5,0.5 "
          "C5,3.5 2,5 2,7.5 C2,9.5 4,9.8 5.5,8.5")
URANUS = ("M-6,-8.5 C-4,-5 -4,-1 -6,2.5 M6,-8.5 C4,-5 4,-1 6,2.5 M-5,-3 L5,-3 "
          "M0,-8.5 L0,4 " + circle(0, 6.5, 2.5))
NEPTUNE = ("M-6.5,-7.5 C-6.5,-0.5 6.5,-0.5 6.5,-7.5 M0,-9.5 L0,9.5 M-4,5.5 L4,5.5 "
           "M-8,-6 L-6.5,-8.5 L-5,-6 M-1.5,-7.5 L0,-9.5 L1.5,-7.5 M5,-6 L6.5,-8.5 L8,-6")
PLUTO = "M-4,-9 L-4,8 L5,8 M-4,-9 L0,-9 C5,-9 5,-1 0,-1 L-4,-1"
CHIRON = "M-1,-9.5 L-1,2.5 M-1,-3.5 L5,-9 M-1,-3.5 L4.5,1.5 " + circle(-1, 6, 3.5)
LILITH = ("M1.63,-8.94 A5.2,5.2 0 1,0 1.63,0.94 A5.44,5.44 0 0,1 1.63,-8.94 Z "
          "M0,1.2 L0,9.5 M-3.5,5.5 L3.5,5.5")
NORTH_NODE = ("M-4,4 C-9.5,-0.5 -7,-8.5 0,-8.5 C7,-8.5 9.5,-0.5 4,4 " +
              circle(-4.8, 6.2, 2.3) + " " + circle(4.8, 6.2, 2.3))
SOUTH_NODE = ("M-4,-4 C-9.5,0.5 -7,8.5 0,8.5 C7,8.5 9.5,0.5 4,-4 " +
              circle(-4.8, -6.2, 2.3) + " " + circle(4.8, -6.2, 2.3))
RETROGRADE = ("M-3.5,7 L-3.5,-7 L1,-7 C5.5,-7 5.5,0 1,0 L-3.5,0 M0,0 L5,7 "
              "M1.5,5.5 L5.5,2.5")

BODIES = {
    "Sun": SUN, "Moon": MOON, "Mercury": MERCURY, "Venus": VENUS, "Mars": MARS,
    "Jupiter": JUPITER, "Saturn": SATURN, "Uranus": URANUS, "Neptune": NEPTUNE,
    "Pluto": PLUTO, "Chiron": CHIRON, "Lilith": LILITH,
    "North Node": NORTH_NODE, "South Node": SOUTH_NODE,
}

SIGNS = [
    # Aries: two horns curling out of one stem.
    "M0,8.5 L0,-2 C0,-9 -8,-10 -8,-4 C-8,-1.5 -6.5,-0.5 -5,0.5 "
    "M0,-2 C0,-9 8,-10 8,-4 C8,-1.5 6.5,-0.5 5,0.5",
    # Taurus: the head and its horns.
    "M-8,-8 C-7,-1.5 7,-1.5 8,-8 " + circle(0, 3.5, 5.2),
    # Gemini: two pillars with their lintels.
    "M-7,-8 C-3,-6 3,-6 7,-8 M-7,8 C-3,6 3,6 7,8 M-3,-6.6 L-3,6.6 M3,-6.6 L3,6.6",
    # Cancer: two claws turned about each other.
    circle(-4.5, -3, 2.5) + " M-4.5,-5.5 C0,-8.5 6,-7.5 8.5,-3.5 " +
    circle(4.5, 3, 2.5) + " M4.5,5.5 C0,8.5 -6,7.5 -8.5,3.5",
    # Leo: a ring and the mane rolling into a tail.
    circle(-4.5, 4, 2.6) + " M-1.9,4 C-1.9,-1 -4.5,-3.5 -4.5,-5.5 C-4.5,-10 5,-10 5,-5 "
    "C5,-1 1,2 1,5.5 C1,9 5.5,9 7.5,6.5",
    # Virgo: three strokes, the last folding into a loop.
    "M-8.5,-6 L-8.5,6 M-8.5,-3 C-8.5,-7 -3.5,-7 -3.5,-3 L-3.5,6 "
    "M-3.5,-3 C-3.5,-7 1.5,-7 1.5,-3 L1.5,6.5 C1.5,9.5 8,9 8,3.5 C8,-1 3,0 0.5,4",
    # Libra: the scale beam over its base.
    "M-8.5,7 L8.5,7 M-8.5,3 L-3.5,3 C-7,0 -5,-7.5 0,-7.5 C5,-7.5 7,0 3.5,3 L8.5,3",
    # Scorpio: three strokes, the last ending in a sting.
    "M-8.5,-6 L-8.5,6 M-8.5,-3 C-8.5,-7 -4,-7 -4,-3 L-4,6 "
    "M-4,-3 C-4,-7 0.5,-7 0.5,-3 L0.5,5 C0.5,8 3,8.5 5,6.5 L8.5,3 M5.5,3 L8.5,3 L8.5,6",
    # Sagittarius: the arrow and its crossbar.
    "M-7.5,7.5 L7.5,-7.5 M0.5,-7.5 L7.5,-7.5 L7.5,-0.5 M-5,-1.5 L1.5,5",
    # Capricorn: the goat's V and the fish tail's loop.
    "M-9,-5 L-6,-7 L-2.5,5 L1.5,-5.5 C2.5,-8 6.5,-8 6.5,-4 C6.5,0 3,1.5 3,4.5 "
    "C3,8 7.5,8.5 8.5,5.5 C9.5,2.5 5.5,1 3,4",
    # Aquarius: two waves.
    "M-8.5,-1 L-4.25,-4.5 L0,-1 L4.25,-4.5 L8.5,-1 M-8.5,5 L-4.25,1.5 L0,5 L4.25,1.5 L8.5,5",
    # Pisces: two fish back to back, tied.
    "M-7,-8.5 C-2,-4 -2,4 -7,8.5 M7,-8.5 C2,-4 2,4 7,8.5 M-5,0 L5,0",
]


def body_path(name: str) -> str | None:
    """The glyph of a chart body, or None for a name drawn as text."""
    return BODIES.get(name)


def sign_path(index: int) -> str:
    return SIGNS[index % 12]


# Aspect glyphs in the same 20-unit box; aspects without one are lettered.
ASPECTS = {
    "Conjunction": circle(-2.5, 3.5, 4.5) + " M0.7,0.3 L7,-8",
    "Opposition": circle(-5, 5, 3) + " " + circle(5, -5, 3) + " M-2.9,2.9 L2.9,-2.9",
    "Trine": "M0,-8 L7.5,6 L-7.5,6 Z",
    "Square": "M-6.5,-6.5 L6.5,-6.5 L6.5,6.5 L-6.5,6.5 Z",
    "Sextile": "M0,-8.5 L0,8.5 M-7.4,-4.25 L7.4,4.25 M-7.4,4.25 L7.4,-4.25",
    "Semi-Sextile": "M-7,8 L7,8 M0,8 L0,-1 M-5,-8 L0,-1 L5,-8",
    "Quincunx": "M-7,-8 L7,-8 M0,-8 L0,1 M-5,8 L0,1 L5,8",
    "Semi-Square": "M-7,7 L7,7 M-7,7 L5,-7",
    "Sesquiquadrate": "M-7,7 L2,7 L2,-2 L-7,-2 Z M2,-2 L7,-8",
}
