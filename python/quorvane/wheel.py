"""Chart wheels as SVG: a natal wheel, and a bi-wheel of transits or of a
partner's planets round a natal chart.

The input is the engine's own dicts (`Engine.chart`, `Engine.transit`,
`synastry`), the output SVG text; `to_png` turns it into PNG bytes. The
wheel turns so that the Ascendant is on the left, and longitudes run
counter-clockwise from it, as charts are read.

    import quorvane.wheel as wheel
    svg = wheel.natal_svg(engine.chart(moment, lat, lon), size=800, theme="dark")
    png = wheel.to_png(svg, scale=2)

Each body is drawn as a group (class "body", data-name, data-longitude)
holding a tick at its true longitude, its glyph where it was spread to and
a leader between them, so that a reader or a program can find it again.
"""
from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Callable, Iterable, Sequence

from . import glyphs, wheel_tables
from .chinese_pictures import bazi_svg, zi_wei_svg
from .dial import dial_svg
from .indian_chart import house_chart_svg, jyotish_svg
from .spread import spread
from .svg import add, document, polar, serialise, text, text_width, to_png
from .themes import Theme, theme_of

__all__ = ["natal_svg", "bi_wheel_svg", "dial_svg", "zi_wei_svg", "bazi_svg", "jyotish_svg",
           "house_chart_svg", "to_png"]

ANGLES = ("Ascendant", "Midheaven")
ANGLE_LABELS = {"Ascendant": "AC", "Midheaven": "MC"}
MAJOR_ASPECTS = ("Conjunction", "Sextile", "Square", "Trine", "Opposition")
HOUSE_SYSTEMS = {"P": "Placidus", "K": "Koch", "R": "Regiomontanus", "C": "Campanus",
                 "T": "Topocentric", "B": "Alcabitius", "M": "Morinus", "O": "Porphyry",
                 "E": "Equal", "V": "Vehlow", "W": "Whole sign", "D": "Equal MC",
                 "N": "Equal Aries", "X": "Meridian", "H": "Horizontal",
                 "F": "Carter poli-equatorial", "U": "Krusinski-Pisa-Goelzer", "Y": "APC",
                 "S": "Sripati", "I": "Sunshine", "L": "Pullen sinusoidal delta",
                 "Q": "Pullen sinusoidal ratio", "G": "Gauquelin"}
NAMED_SYSTEMS = "DNXHFUYSILQG"  # read by name as well as by letter
SQRT2 = math.sqrt(2.0)
PATTERN_ASPECT = {"grand_trine": "Trine", "kite": "Sextile", "t_square": "Square",
                  "grand_cross": "Opposition", "yod": "Quincunx",
                  "mystic_rectangle": "Opposition", "grand_sextile": "Sextile"}


# ------------------------------------------------------------------ inputs

@dataclass(frozen=True)
class Point:
    """One body to draw: its name, true longitude and motion."""

    name: str
    longitude: float
    retrograde: bool = False
    # Degree and minute as the engine split them, so the picture reads as its tables do.
    split: tuple | None = None

    @property
    def degree(self) -> int:
        return self.split[0] if self.split else int(self.longitude % 30.0)

    @property
    def minute(self) -> int:
        return self.split[1] if self.split else min(59, int((self.longitude % 1.0) * 60.0))

    @property
    def sign(self) -> int:
        return int(self.longitude // 30.0) % 12


def points_of(placements: Iterable[dict], angles: bool = False) -> list[Point]:
    """The bodies of a placement list; the Ascendant and Midheaven only when `angles`."""
    out = []
    for p in placements:
        if not isinstance(p, dict) or not isinstance(p.get("name"), str) \
                or "ecliptic_longitude" not in p:
            raise ValueError(f"a placement needs a name (a text) and an ecliptic_longitude, "
                             f"not {shown(p)}")
        if p["name"] in ANGLES and not angles:
            continue
        longitude = degrees_of(p, "ecliptic_longitude")
        split = ((int(degrees_of(p, "degree")), int(degrees_of(p, "minute")))
                 if "degree" in p and "minute" in p else None)
        out.append(Point(p["name"], longitude % 360.0, bool(p.get("is_retrograde", False)),
                         split))
    return out


def degrees_of(entry: dict, key: str) -> float:
    """A finite number of a placement or cusp, or a ValueError naming it."""
    value = entry.get(key)
    if isinstance(value, bool) or not isinstance(value, (int, float)) \
            or not math.isfinite(value):
        raise ValueError(f"{key} of {entry.get('name', 'a placement')!r} must be a finite "
                         f"number, not {value!r}")
    return float(value)


def shown(value, limit: int = 80) -> str:
    text = repr(value)
    return text if len(text) <= limit else text[:limit] + "..."


def require_chart(chart, what: str = "chart") -> None:
    if not isinstance(chart, dict) or not isinstance(chart.get("planets"), list):
        raise ValueError(f"the {what} must be a chart dict with a \"planets\" list")


def angle_of(chart: dict, name: str, fallback_house: int) -> float:
    for p in chart.get("planets", []):
        if isinstance(p, dict) and p.get("name") == name:
            return degrees_of(p, "ecliptic_longitude") % 360.0
    houses = cusps_of(chart)
    if houses:
        return houses[fallback_house - 1]
    return 0.0 if name == "Ascendant" else 270.0


def cusps_of(chart: dict) -> list[float]:
    """The cusp longitudes of a chart: twelve, or Gauquelin's 36 sector
    boundaries (sectors 1 and 10 start at the Ascendant and the Midheaven, as
    houses 1 and 10 do); none when it has no houses."""
    houses = chart.get("houses") or []
    if not isinstance(houses, list) or len(houses) not in (12, 36):
        return []
    if not all(isinstance(h, dict) for h in houses):
        raise ValueError("houses must be a list of twelve (or Gauquelin's 36) dicts with an "
                         "ecliptic_longitude")
    return [degrees_of(h, "ecliptic_longitude") % 360.0 for h in houses]


def used_house_system(chart: dict) -> str:
    """The system the chart's houses were cast in (older charts say only
    the one asked for)."""
    given = chart.get("house_system", "P")
    if not isinstance(given, str):
        raise TypeError(f"house_system is a code or a name (a text), not {given!r}")
    return chart.get("house_system_used") or given


def houses_caption(chart: dict) -> str:
    name = house_system_name(used_house_system(chart))
    return f"{name} sectors" if name == "Gauquelin" else f"{name} houses"


def house_system_name(code: str) -> str:
    if not isinstance(code, str):
        raise TypeError(f"house_system is a code or a name (a text), not {code!r}")
    # As the engine reads the code: a newer system's name, or else its first
    # letter, any case; anything else is Placidus.
    squeezed = "".join(c for c in code.lower() if c not in " -_")
    named = [name for letter, name in HOUSE_SYSTEMS.items() if letter in NAMED_SYSTEMS
             and len(squeezed) >= 4 and "".join(c for c in name.lower() if c not in " -_")
             .startswith(squeezed)]
    if len(named) == 1 and not HOUSE_SYSTEMS.get(code.strip()[:1].upper(), "").lower() \
            .replace(" ", "").startswith(squeezed):
        return named[0]
    letter = code.strip()[:1].upper()
    return HOUSE_SYSTEMS.get(letter, "Placidus")


def zodiac_lines(chart: dict) -> list[str]:
    if chart.get("zodiac_type") == "sidereal":
        name = chart.get("ayanamsa_name") or chart.get("ayanamsa") or ""
        value = chart.get("ayanamsa_formatted")
        return ["Sidereal zodiac", f"{name} {value}".strip() if value else name]
    return ["Tropical zodiac"]


def aspect_filter(aspects) -> Callable[[dict], bool]:
    """Which aspect lines to draw: "all", "major", "none", or a collection of aspect names."""
    if aspects is None or aspects == "all":
        return lambda a: True
    if aspects == "major":
        return lambda a: a.get("is_major", a.get("aspect_type") in MAJOR_ASPECTS)
    if aspects == "none":
        return lambda a: False
    if isinstance(aspects, str):
        raise ValueError(f'aspects must be "all", "major", "none" or a list of names, not {aspects!r}')
    names = set(aspects)
    return lambda a: a.get("aspect_type") in names


# ---------------------------------------------------------------- geometry

@dataclass(frozen=True)
class Geometry:
    """Where a longitude is drawn: the Ascendant at the left, counter-clockwise."""

    cx: float
    cy: float
    radius: float       # the outer edge of the zodiac ring
    ascendant: float

    def screen(self, longitude: float) -> float:
        return 180.0 + longitude - self.ascendant

    def at(self, r: float, longitude: float) -> tuple:
        return polar(self.cx, self.cy, r, self.screen(longitude))


LABEL_SAMPLES = {"degree": "29°", "minute": "59′"}


def extent(width: float, height: float, screen_degrees: float) -> float:
    """Half the length of a box's shadow on the radius through it."""
    angle = math.radians(screen_degrees)
    return 0.5 * (width * abs(math.cos(angle)) + height * abs(math.sin(angle)))


@dataclass(frozen=True)
class Band:
    """A ring of bodies: a tick at the true longitude, the glyph, then labels under it.

    The labels stack inwards along the radius; how much room each takes
    depends on the direction, since a label is wider than it is tall.
    """

    outer: float
    tick: float
    glyph_radius: float
    glyph: float                 # side of a glyph's box
    items: tuple                 # (kind, size): "degree", "sign", "minute", "retrograde"
    pad: float

    def box(self, kind: str, size: float) -> tuple[float, float]:
        if kind in LABEL_SAMPLES:
            return text_width(LABEL_SAMPLES[kind], size), size
        return size, size

    def stack(self, screen_degrees: float) -> list:
        """(kind, radius, size) of each label of a glyph drawn in this direction."""
        edge = self.glyph_radius - extent(self.glyph, self.glyph, screen_degrees) - self.pad
        out = []
        for kind, size in self.items:
            half = extent(*self.box(kind, size), screen_degrees)
            out.append((kind, edge - half, size))
            edge -= 2 * half + self.pad
        return out

    @property
    def inner(self) -> float:
        """The radius the deepest label reaches, in whatever direction."""
        kind, size = self.items[-1]
        return min(self.stack(d)[-1][1] - extent(*self.box(kind, size), d)
                   for d in range(0, 91, 5)) - self.pad

    def gap(self) -> float:
        """Degrees two neighbours need so that no box of theirs can overlap.

        Two axis-aligned boxes whose centres are a chord c apart cannot meet
        when c is at least the diagonal of one; the chord's direction turns
        with the angle, so the diagonal is what it takes everywhere.
        """
        def angle(chord: float, r: float) -> float:
            return math.degrees(2.0 * math.asin(min(1.0, chord / (2.0 * r))))

        needs = [angle(self.glyph * SQRT2, self.glyph_radius)]
        lowest = [min(radii) for radii in zip(*([r for _, r, _ in self.stack(d)]
                                                for d in range(0, 91, 5)))]
        for (kind, size), r in zip(self.items, lowest):
            needs.append(angle(math.hypot(*self.box(kind, size)), r))
        return max(needs) * 1.05


def band(outer: float, unit: float, glyph: float, font: float, kinds: Sequence[str]) -> Band:
    tick = 0.028 * unit
    glyph_radius = outer - tick - 0.014 * unit - glyph / 2.0
    items = tuple((kind, font if kind in LABEL_SAMPLES else 0.9 * font) for kind in kinds)
    return Band(outer, tick, glyph_radius, glyph, items, 0.006 * unit)


@dataclass(frozen=True)
class Layout:
    size: float
    geometry: Geometry
    zodiac_inner: float
    sign_glyph: float
    bands: tuple
    aspect_radius: float
    house_radius: float         # where the house numbers sit


def natal_layout(size: float, ascendant: float) -> Layout:
    unit = 0.44 * size
    zodiac_inner = 0.845 * unit
    ring = band(zodiac_inner, unit, 0.078 * unit, 0.04 * unit,
                ("degree", "sign", "minute", "retrograde"))
    aspect_radius = ring.inner - 0.065 * unit
    return Layout(size, Geometry(size / 2, size / 2, unit, ascendant), zodiac_inner,
                  0.085 * unit, (ring,), aspect_radius, ring.inner - 0.0325 * unit)


def bi_wheel_layout(size: float, ascendant: float) -> Layout:
    # Slimmer rings than a natal wheel's, so the aspect web in the middle
    # stays as large as a natal chart's: the minutes are in the tables too.
    unit = 0.44 * size
    zodiac_inner = 0.92 * unit
    kinds = ("degree", "minute", "retrograde")
    outer = band(zodiac_inner, unit, 0.052 * unit, 0.027 * unit, kinds)
    inner = band(outer.inner, unit, 0.052 * unit, 0.027 * unit, kinds)
    aspect_radius = inner.inner - 0.035 * unit
    return Layout(size, Geometry(size / 2, size / 2, unit, ascendant), zodiac_inner,
                  0.055 * unit, (outer, inner), aspect_radius, inner.inner - 0.0175 * unit)


# ----------------------------------------------------------------- drawing

def glyph(parent, name: str, x: float, y: float, side: float, colour: str,
          path: str | None = None, class_: str = "glyph"):
    """A glyph in its 20-unit box, centred on (x, y); names without one are lettered."""
    scale = side / (2 * glyphs.HALF)
    group = add(parent, "g", class_=class_,
                transform=f"translate({x:.2f} {y:.2f}) scale({scale:.4f})")
    path = path if path is not None else glyphs.body_path(name)
    if path:
        add(group, "path", d=path, fill="none", stroke=colour, stroke_width=glyphs.STROKE,
            stroke_linecap="round", stroke_linejoin="round")
    else:
        label = ANGLE_LABELS.get(name, name[:2])
        text(group, 0.0, 0.0, label, 11.0, colour, weight="bold")
    return group


def line(parent, a: tuple, b: tuple, stroke: str, width: float, **attrs):
    return add(parent, "line", x1=a[0], y1=a[1], x2=b[0], y2=b[1], stroke=stroke,
               stroke_width=width, **attrs)


def sector(geometry: Geometry, r_outer: float, r_inner: float, start: float, end: float) -> str:
    """Path data of the ring between two radii from longitude `start` to `end` (under 180°)."""
    (x1, y1), (x2, y2) = geometry.at(r_outer, start), geometry.at(r_outer, end)
    (x3, y3), (x4, y4) = geometry.at(r_inner, end), geometry.at(r_inner, start)
    return (f"M{x1:.2f},{y1:.2f} A{r_outer:.2f},{r_outer:.2f} 0 0,0 {x2:.2f},{y2:.2f} "
            f"L{x3:.2f},{y3:.2f} A{r_inner:.2f},{r_inner:.2f} 0 0,1 {x4:.2f},{y4:.2f} Z")


def circle(parent, g: Geometry, r: float, stroke: str, width: float, fill: str = "none", **attrs):
    return add(parent, "circle", cx=g.cx, cy=g.cy, r=float(r), fill=fill, stroke=stroke,
               stroke_width=width, **attrs)


def draw_zodiac(root, layout: Layout, theme: Theme) -> None:
    g, unit = layout.geometry, layout.geometry.radius
    ring = add(root, "g", class_="zodiac")
    sign_radius = (g.radius + layout.zodiac_inner) / 2
    for sign in range(12):
        element = sign % 4
        add(ring, "path", d=sector(g, g.radius, layout.zodiac_inner, 30 * sign, 30 * sign + 30),
            fill=theme.element_fill[element], stroke=theme.line, stroke_width=0.8,
            class_="sign", data_sign=sign)
        x, y = g.at(sign_radius, 30 * sign + 15)
        glyph(ring, "", x, y, layout.sign_glyph, theme.element_ink[element],
              path=glyphs.sign_path(sign), class_="sign-glyph")
    # Degree ticks on the inner edge, longer each 5° and 10°.
    paths: dict[int, list[str]] = {1: [], 5: [], 10: []}
    for degree in range(360):
        step = 10 if degree % 10 == 0 else 5 if degree % 5 == 0 else 1
        length = {1: 0.018, 5: 0.032, 10: 0.045}[step] * unit
        (x1, y1), (x2, y2) = g.at(layout.zodiac_inner, degree), g.at(layout.zodiac_inner + length, degree)
        paths[step].append(f"M{x1:.2f},{y1:.2f} L{x2:.2f},{y2:.2f}")
    for step, parts in paths.items():
        add(ring, "path", d=" ".join(parts), stroke=theme.line if step > 1 else theme.muted,
            stroke_width=0.9 if step > 1 else 0.6, fill="none", class_="ticks")
    circle(ring, g, g.radius, theme.line, 1.2)
    circle(ring, g, layout.zodiac_inner, theme.line, 1.0)


def draw_houses(root, layout: Layout, chart: dict, theme: Theme, outer: float) -> None:
    g = layout.geometry
    cusps = cusps_of(chart)
    group = add(root, "g", class_="houses")
    circle(group, g, layout.aspect_radius, theme.line, 1.0, fill=theme.aspect_fill)
    circle(group, g, layout.house_radius + (layout.house_radius - layout.aspect_radius), theme.line, 0.8)
    if len(cusps) == 36:
        draw_sectors(group, layout, cusps, theme, outer)
        return
    if not cusps:
        return
    for number, cusp in enumerate(cusps, 1):
        line(group, g.at(outer, cusp), g.at(layout.aspect_radius, cusp), theme.line,
             1.0, class_="cusp", data_house=number)
        following = cusps[number % 12]
        middle = cusp + ((following - cusp) % 360.0) / 2.0
        x, y = g.at(layout.house_radius, middle)
        text(group, x, y, str(number), 0.032 * g.radius, theme.muted, class_="house-number")


def draw_sectors(group, layout: Layout, sectors: list[float], theme: Theme,
                 outer: float) -> None:
    """Gauquelin's 36 sectors: a thin line at each boundary, a firmer one at
    every third (the Placidus cusps), and the numbers of sectors 1, 4, ..., 34.
    The sectors run with the diurnal motion, against the zodiac."""
    g = layout.geometry
    bounds = sectors
    for number, start in enumerate(bounds, 1):
        third = number % 3 == 1
        line(group, g.at(outer, start), g.at(layout.aspect_radius, start),
             theme.line if third else theme.muted, 1.0 if third else 0.45, class_="sector",
             data_sector=number)
        if third:
            end = bounds[number % 36]
            middle = start - ((start - end) % 360.0) / 2.0
            x, y = g.at(layout.house_radius, middle)
            text(group, x, y, str(number), 0.026 * g.radius, theme.muted, class_="sector-number")


def draw_axes(root, layout: Layout, chart: dict, theme: Theme) -> None:
    """The Ascendant-Descendant and Midheaven-Imum Coeli axes.

    Each is drawn in two pieces that leave the rings of glyphs alone: a stub
    outside the zodiac carrying the label, and the line across the aspect
    disc up to the innermost label of the innermost ring of bodies.
    """
    g, unit = layout.geometry, layout.geometry.radius
    group = add(root, "g", class_="axes")
    reach = min(ring.inner for ring in layout.bands)
    for name, longitude, ends in (
            ("Ascendant", angle_of(chart, "Ascendant", 1), ("ASC", "DSC")),
            ("Midheaven", angle_of(chart, "Midheaven", 10), ("MC", "IC"))):
        for label, lon in ((ends[0], longitude), (ends[1], longitude + 180.0)):
            axis_name = name if label == ends[0] else "opposite " + name
            width = 2.2 if label == ends[0] else 1.4
            for inner, outer in ((unit, unit * 1.035), (layout.aspect_radius, reach)):
                line(group, g.at(inner, lon), g.at(outer, lon), theme.angle, width,
                     class_="axis", data_name=axis_name, data_longitude=f"{lon % 360.0:.6f}")
            x, y = g.at(unit * 1.075, lon)
            text(group, x, y, label, 0.036 * unit, theme.angle, weight="bold", class_="axis-label")


def draw_band(root, layout: Layout, ring: Band, points: Sequence[Point], theme: Theme,
              which: str) -> None:
    g = layout.geometry
    group = add(root, "g", class_=f"bodies {which}")
    shown = spread([p.longitude for p in points], ring.gap())
    for point, display in zip(points, shown):
        body = add(group, "g", class_="body", data_name=point.name,
                   data_longitude=f"{point.longitude:.6f}", data_ring=which)
        root_of_tick = ring.outer - ring.tick
        line(body, g.at(ring.outer, point.longitude), g.at(root_of_tick, point.longitude),
             theme.foreground, 1.2, class_="tick")
        line(body, g.at(root_of_tick, point.longitude),
             g.at(ring.glyph_radius + 0.55 * ring.glyph, display), theme.muted, 0.7,
             class_="leader")
        x, y = g.at(ring.glyph_radius, display)
        glyph(body, point.name, x, y, ring.glyph, theme.foreground)
        for kind, r, size in ring.stack(g.screen(display)):
            x, y = g.at(r, display)
            if kind == "degree":
                text(body, x, y, f"{point.degree}°", size, theme.foreground, class_="degree")
            elif kind == "minute":
                text(body, x, y, f"{point.minute:02d}′", size, theme.muted, class_="minute")
            elif kind == "sign":
                glyph(body, "", x, y, size, theme.element_ink[point.sign % 4],
                      path=glyphs.sign_path(point.sign), class_="sign-glyph")
            elif kind == "retrograde" and point.retrograde:
                glyph(body, "", x, y, size, theme.retrograde, path=glyphs.RETROGRADE,
                      class_="retrograde")


def draw_aspects(root, layout: Layout, aspects: Iterable[dict], first: dict, second: dict,
                 theme: Theme, wanted) -> list[str]:
    """Lines between the true longitudes on the inner circle; returns the types drawn.

    `first` and `second` map body names to longitudes for `body1` and `body2`
    (the same map in one chart; the outer and the inner one in a bi-wheel).
    Aspects to anything not drawn (fixed stars) are left out.
    """
    g = layout.geometry
    group = add(root, "g", class_="aspects")
    drawn = []
    for aspect in aspects:
        a, b = first.get(aspect.get("body1")), second.get(aspect.get("body2"))
        if a is None or b is None or not wanted(aspect):
            continue
        kind = aspect.get("aspect_type", "")
        major = aspect.get("is_major", kind in MAJOR_ASPECTS)
        line(group, g.at(layout.aspect_radius, a), g.at(layout.aspect_radius, b),
             theme.aspects.get(kind, theme.muted), 1.5 if major else 1.0,
             stroke_dasharray=None if major else "5 3", stroke_linecap="round",
             class_="aspect", data_aspect=kind, data_bodies=f"{aspect['body1']}|{aspect['body2']}",
             opacity="0.9")
        if kind not in drawn:
            drawn.append(kind)
    return drawn


def draw_corners(root, size: float, theme: Theme, top_left: Sequence[str],
                 top_right: Sequence[str], bottom_left: Sequence[str], legend: Sequence[str]):
    font = max(9.0, 0.017 * size)
    step = 1.35 * font
    pad = 0.02 * size
    for i, content in enumerate(top_left):
        text(root, pad, pad + i * step + font / 2, content, font * (1.15 if i == 0 else 1.0),
             theme.foreground, anchor="start", weight="bold" if i == 0 else None, class_="caption")
    for i, content in enumerate(top_right):
        text(root, size - pad, pad + i * step + font / 2, content, font, theme.foreground,
             anchor="end", class_="caption zodiac-label")
    for i, content in enumerate(reversed(bottom_left)):
        text(root, pad, size - pad - i * step - font / 2, content, font, theme.muted,
             anchor="start", class_="caption")
    # A key to the aspect lines, bottom right, majors first.
    known = list(MAJOR_ASPECTS) + ["Semi-Sextile", "Quincunx"]
    legend = sorted(legend, key=lambda k: known.index(k) if k in known else len(known))
    for i, kind in enumerate(reversed(legend)):
        y = size - pad - i * step - font / 2
        major = kind in MAJOR_ASPECTS
        x_end = size - pad
        line(root, (x_end - 2.2 * font, y), (x_end, y), theme.aspects.get(kind, theme.muted),
             1.5 if major else 1.0, stroke_dasharray=None if major else "5 3")
        text(root, x_end - 2.6 * font, y, kind, font * 0.95, theme.muted, anchor="end",
             class_="legend")


def start(size: float, theme: Theme, label: str, below: float = 0.0):
    """The canvas: the wheel's square, and `below` more pixels under it for the tables."""
    size = float(size)
    if not (100.0 <= size <= 10000.0):
        raise ValueError(f"size must be between 100 and 10000 pixels, not {size:g}")
    height = size + float(below)
    root = document(size, height, role="img", aria_label=label)
    add(root, "title", label)
    add(root, "rect", x=0.0, y=0.0, width=size, height=height, fill=theme.background)
    return root


def caption(title) -> list[str]:
    if title is None:
        return []
    return [title] if isinstance(title, str) else [str(t) for t in title]


# -------------------------------------------------------------------- API

def structure_of(chart: dict) -> dict | None:
    """The chart's tallies and patterns from the engine, or None for a chart it cannot read."""
    import quorvane_engine
    try:
        return quorvane_engine.chart_structure(chart)
    except (ValueError, TypeError, KeyError):
        return None


def sentence(words: str) -> str:
    words = words.strip()
    return words[:1].upper() + words[1:]


def chart_blocks(chart: dict, font: float, theme: Theme, wanted, heading: str = "",
                 grid: bool = True) -> list:
    """The positions, cusps, aspect grid and tallies of one chart."""
    placements = [p for p in chart.get("planets", []) if p.get("name") not in ANGLES]
    names = [p["name"] for p in placements]
    blocks = [wheel_tables.positions_block(placements, font, theme,
                                           sentence(f"{heading} positions"))]
    houses = chart.get("houses") or []
    if len(houses) == 12:
        blocks.append(wheel_tables.cusps_block(houses, font, theme))
    tallies = wheel_tables.tallies_block(structure_of(chart), chart.get("lunar_status"),
                                         font, theme)
    if not grid:
        return blocks + [tallies]
    shown_aspects = [a for a in chart.get("aspects", []) if wanted(a)]
    grid_block = wheel_tables.grid_block(names, names, shown_aspects, font, theme, True,
                                         sentence(f"{heading} aspects"))
    return blocks + wheel_tables.tucked(grid_block, tallies, wheel_tables.CELL * font,
                                        wheel_tables.TOP * font)


def header_block(chart: dict, name, size: float, font: float, theme: Theme):
    lines = wheel_tables.header_lines(chart, name, houses_caption(chart), zodiac_lines(chart))
    return wheel_tables.header_block(lines, size - 3.2 * font, font, theme)


def natal_svg(chart: dict, *, size: float = 800, theme="light", aspects="all",
              title=None, name: str | None = None, header: bool = True,
              tables: bool = True, patterns: bool = False) -> str:
    """The wheel of one chart (an `Engine.chart` dict, horary and election charts too) as SVG text.

    `aspects` is "all", "major", "none" or a collection of aspect names;
    `theme` "light" or "dark"; `title` a line or a list of lines for the
    top-left corner. Sidereal charts say so, with their ayanamsa.

    Under the wheel, `header` writes `name`, the local date and time with
    its zone and the place (from the chart's "input" when it has one), the
    house system used and the zodiac; `tables` the positions, cusps, aspect
    grid (orb, A applying or S separating), element and mode tallies and
    the lunar phase. `patterns` outlines the chart's aspect patterns.
    """
    require_chart(chart)
    theme = theme_of(theme)
    wanted = aspect_filter(aspects)
    layout = natal_layout(size, angle_of(chart, "Ascendant", 1))
    points = points_of(chart.get("planets", []))   # refuses a malformed chart before the tables
    font = wheel_tables.font_of(layout.size)
    blocks = [header_block(chart, name, layout.size, font, theme)] if header else []
    if tables:
        blocks += chart_blocks(chart, font, theme, wanted)
    below, draw_panel = wheel_tables.panel(blocks, layout.size, font)
    root = start(layout.size, theme, "natal chart wheel", below)
    draw_zodiac(root, layout, theme)
    draw_houses(root, layout, chart, theme, layout.zodiac_inner)
    positions = {p.name: p.longitude for p in points_of(chart.get("planets", []), angles=True)}
    drawn = draw_aspects(root, layout, chart.get("aspects", []), positions, positions, theme,
                         wanted)
    if patterns:
        draw_patterns(root, layout, structure_of(chart), positions, theme)
    draw_axes(root, layout, chart, theme)
    draw_band(root, layout, layout.bands[0], points, theme, "natal")
    draw_corners(root, layout.size, theme, caption(title), zodiac_lines(chart),
                 [houses_caption(chart)], drawn)
    draw_panel(root, layout.size)
    return serialise(root)


def draw_patterns(root, layout: Layout, structure: dict | None, positions: dict,
                  theme: Theme) -> None:
    """Each aspect pattern as a coloured outline through its members' places on the aspect disc."""
    if not structure:
        return
    g = layout.geometry
    group = add(root, "g", class_="patterns")
    for found in structure.get("aspect_patterns") or []:
        members = [m for m in found.get("members", []) if m in positions]
        if len(members) < 3 or not found.get("aspects"):
            continue  # a stellium is a crowd in one place, not a figure
        # Round the circle in longitude order, so the outline never crosses itself.
        members.sort(key=lambda m: positions[m])
        corners = [g.at(layout.aspect_radius * 0.97, positions[m]) for m in members]
        # Each figure in the colour of the aspect that makes it what it is.
        colour = theme.aspects.get(PATTERN_ASPECT.get(found.get("type"), ""), theme.foreground)
        add(group, "polygon", points=" ".join(f"{x:.2f},{y:.2f}" for x, y in corners),
            fill=colour, fill_opacity="0.12", stroke=colour, stroke_width=2.6,
            stroke_linejoin="round", class_="pattern", data_pattern=found.get("type", ""),
            data_members="|".join(members))


def outer_points(outer) -> list[dict]:
    if isinstance(outer, dict):
        for key in ("transit_planets", "planets"):
            if key in outer:
                return outer[key]
        raise ValueError('the outer chart needs "planets" or "transit_planets"')
    return list(outer)


def bi_wheel_svg(inner_chart: dict, outer, cross_aspects: Sequence[dict] | None = None, *,
                 size: float = 800, theme="light", aspects="all", title=None,
                 labels: Sequence[str] | None = None, name: str | None = None,
                 header: bool = True, tables: bool = True) -> str:
    """Two charts on one wheel: the inner chart's houses and planets inside, the outer's round them.

    `outer` is a transit dict (`Engine.transit`), a second chart dict
    (synastry) or a list of placements. `cross_aspects` default to the
    transit's own, or for a chart to `quorvane_engine.synastry` of the two
    (outer planets as the overlay); each is drawn between its outer body
    (`body1`) and inner body (`body2`). `labels` name the two rings
    (default "Natal" and "Transit" for a transit, else "Inner" and "Outer").
    `header` and `tables` are as for `natal_svg`: the inner chart's header,
    then each chart's positions (the outer one's cusps, tallies and grid too
    when it is a whole chart) and the grid of cross-aspects.
    """
    require_chart(inner_chart, "inner chart")
    theme = theme_of(theme)
    wanted = aspect_filter(aspects)
    placements = outer_points(outer)
    is_transit = isinstance(outer, dict) and "transit_planets" in outer
    if cross_aspects is None:
        if isinstance(outer, dict) and "cross_aspects" in outer:
            cross_aspects = outer["cross_aspects"]
        else:
            import quorvane_engine
            cross_aspects = quorvane_engine.synastry(inner_chart["planets"],
                                                     placements)["cross_aspects"]
    if labels is None:
        labels = ("Natal", "Transit") if is_transit else ("Inner", "Outer")
    if isinstance(labels, str) or len(labels) != 2 or not all(isinstance(x, str) for x in labels):
        raise ValueError(f"labels name the two rings: two texts, not {shown(labels)}")
    layout = bi_wheel_layout(size, angle_of(inner_chart, "Ascendant", 1))
    inner_points = points_of(inner_chart.get("planets", []))
    # The outer chart's angles are drawn as bodies: its houses are not drawn.
    outer_list = points_of(placements, angles=True)
    font = wheel_tables.font_of(layout.size)
    blocks = [header_block(inner_chart, name, layout.size, font, theme)] if header else []
    if tables:
        blocks += chart_blocks(inner_chart, font, theme, wanted, labels[0])
        if isinstance(outer, dict) and isinstance(outer.get("planets"), list):
            blocks += chart_blocks(outer, font, theme, wanted, labels[1])
        else:
            blocks.append(wheel_tables.positions_block(
                [p for p in placements if p.get("name") not in ANGLES], font, theme,
                f"{labels[1]} positions"))
        outer_names = [p["name"] for p in placements]
        inner_names = [p["name"] for p in inner_chart["planets"] if p["name"] not in ANGLES]
        blocks.append(wheel_tables.grid_block(
            inner_names, outer_names, [a for a in cross_aspects if wanted(a)], font, theme,
            False, f"{labels[1]} to {labels[0]}"))
    below, draw_panel = wheel_tables.panel(blocks, layout.size, font)
    root = start(layout.size, theme, "bi-wheel", below)
    draw_zodiac(root, layout, theme)
    outer_band, inner_band = layout.bands
    draw_houses(root, layout, inner_chart, theme, inner_band.outer)
    circle(root, layout.geometry, inner_band.outer, theme.line, 1.0)
    inner_at = {p.name: p.longitude for p in points_of(inner_chart.get("planets", []), angles=True)}
    outer_at = {p.name: p.longitude for p in outer_list}
    drawn = draw_aspects(root, layout, cross_aspects, outer_at, inner_at, theme, wanted)
    draw_axes(root, layout, inner_chart, theme)
    draw_band(root, layout, outer_band, outer_list, theme, "outer")
    draw_band(root, layout, inner_band, inner_points, theme, "inner")
    rings = [f"inner: {labels[0]}", f"outer: {labels[1]}"]
    draw_corners(root, layout.size, theme, caption(title) + rings, zodiac_lines(inner_chart),
                 [houses_caption(inner_chart)], drawn)
    draw_panel(root, layout.size)
    return serialise(root)
