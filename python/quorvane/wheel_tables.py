"""The tables drawn under a wheel: a header, positions, house cusps, the
aspect grid, element and mode tallies with the lunar phase.

Each table is a block that knows its size; `panel` lays the blocks out in
rows across the wheel's width, and the canvas grows downwards to hold them,
so that the wheel keeps its place and size.
"""
from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Callable, Sequence

from . import glyphs
from .svg import add, text, text_width
from .themes import Theme

SIGN_NAMES = ("Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo", "Libra", "Scorpio",
              "Sagittarius", "Capricorn", "Aquarius", "Pisces")
ELEMENTS = ("Fire", "Earth", "Air", "Water")
MODES = ("Cardinal", "Fixed", "Mutable")
CELL, TOP = 2.7, 1.4     # an aspect grid's cell and heading, in font sizes


@dataclass
class Block:
    """A table: its size, and how to draw it with its top-left corner at (x, y)."""

    width: float
    height: float
    draw: Callable[[object, float, float], None]


def font_of(size: float) -> float:
    return max(9.0, 0.017 * size)


def glyph_at(parent, path: str | None, label: str, x: float, y: float, side: float,
             colour: str, class_: str, **attrs):
    """A path glyph in its 20-unit box centred on (x, y), or a short label when there is none."""
    group = add(parent, "g", class_=class_,
                transform=f"translate({x:.2f} {y:.2f}) scale({side / (2 * glyphs.HALF):.4f})",
                **attrs)
    if path:
        add(group, "path", d=path, fill="none", stroke=colour, stroke_width=glyphs.STROKE,
            stroke_linecap="round", stroke_linejoin="round")
    else:
        text(group, 0.0, 0.0, label, 9.0, colour, weight="bold")
    return group


def body_glyph(parent, name: str, x, y, side, colour, class_: str = "table-glyph"):
    label = {"Ascendant": "AC", "Midheaven": "MC"}.get(name, name[:2])
    return glyph_at(parent, glyphs.body_path(name), label, x, y, side, colour, class_,
                    data_name=name)


def degrees_minutes(entry: dict) -> str:
    if "degree" in entry and "minute" in entry:
        return f"{int(entry['degree'])}°{int(entry['minute']):02d}′"
    within = entry["ecliptic_longitude"] % 30.0
    return f"{int(within)}°{min(59, int(within % 1.0 * 60)):02d}′"


def orb_text(orb: float) -> str:
    minutes = round(abs(orb) * 60)
    return f"{minutes // 60}°{minutes % 60:02d}"


# ------------------------------------------------------------------ blocks

def header_block(lines: Sequence[str], width: float, font: float, theme: Theme) -> Block:
    step = 1.4 * font

    def draw(parent, x, y):
        group = add(parent, "g", class_="header")
        for i, content in enumerate(lines):
            text(group, x, y + (i + 0.5) * step, content, font * (1.1 if i == 0 else 1.0),
                 theme.foreground if i == 0 else theme.muted, anchor="start",
                 weight="bold" if i == 0 else None, class_="header-line")
    return Block(width, step * len(lines), draw)


def positions_block(placements: Sequence[dict], font: float, theme: Theme,
                    heading: str = "Positions") -> Block:
    """Glyph, sign, degree and minute, house and R for retrograde, a row each."""
    step, side = 1.45 * font, 1.05 * font
    columns = (0.0, 1.6 * font, 3.0 * font, 7.4 * font, 9.0 * font)
    width = max(10.2 * font, text_width(heading, font, bold=True))

    def draw(parent, x, y):
        group = add(parent, "g", class_="table positions")
        text(group, x, y + 0.5 * step, heading, font, theme.foreground, anchor="start",
             weight="bold", class_="table-heading")
        for i, p in enumerate(placements, 1):
            row = y + (i + 0.5) * step
            body_glyph(group, p["name"], x + columns[0] + side / 2, row, side, theme.foreground)
            sign = int(p["ecliptic_longitude"] % 360.0 // 30.0)
            glyph_at(group, glyphs.sign_path(sign), "", x + columns[1] + side / 2, row,
                     0.9 * side, theme.element_ink[sign % 4], "table-sign")
            text(group, x + columns[2], row, degrees_minutes(p), font, theme.foreground,
                 anchor="start", class_="table-text")
            if p.get("house"):
                text(group, x + columns[3], row, str(p["house"]), font, theme.muted,
                     anchor="start", class_="table-text")
            if p.get("is_retrograde"):
                text(group, x + columns[4], row, "R", font, theme.retrograde, anchor="start",
                     class_="table-text retrograde-mark")
    return Block(width, step * (len(placements) + 1), draw)


def cusps_block(houses: Sequence[dict], font: float, theme: Theme) -> Block:
    step, side = 1.45 * font, 0.95 * font
    width = 8.2 * font

    def draw(parent, x, y):
        group = add(parent, "g", class_="table cusps")
        text(group, x, y + 0.5 * step, "Cusps", font, theme.foreground, anchor="start",
             weight="bold", class_="table-heading")
        for i, h in enumerate(houses, 1):
            row = y + (i + 0.5) * step
            text(group, x, row, str(i), font, theme.muted, anchor="start", class_="table-text")
            sign = int(h["ecliptic_longitude"] % 360.0 // 30.0)
            glyph_at(group, glyphs.sign_path(sign), "", x + 2.0 * font + side / 2, row, side,
                     theme.element_ink[sign % 4], "table-sign")
            text(group, x + 3.6 * font, row, degrees_minutes(h), font, theme.foreground,
                 anchor="start", class_="table-text")
    return Block(width, step * (len(houses) + 1), draw)


def grid_block(rows: Sequence[str], columns: Sequence[str], aspects: Sequence[dict],
               font: float, theme: Theme, triangle: bool, heading: str) -> Block:
    """An aspect grid: a glyph per aspect with its orb and A or S (applying,
    separating) where the aspect says.

    `triangle` draws one chart's grid, each pair once under the diagonal of
    body glyphs; otherwise the rows are one chart's bodies and the columns
    the other's, each along its edge.
    """
    cell = CELL * font
    found = {}
    for a in aspects:
        pair = (a.get("body1"), a.get("body2"))
        found.setdefault(pair, a)
        if triangle:  # one chart: either order names the same pair
            found.setdefault(pair[::-1], a)
    count = len(rows) + (0 if triangle else 1)
    width = max(cell * (len(columns) + (0 if triangle else 1)),
                text_width(heading, font, bold=True))
    top = TOP * font

    def draw(parent, x, y):
        group = add(parent, "g", class_="table aspect-grid")
        text(group, x, y + 0.5 * top, heading, font, theme.foreground, anchor="start",
             weight="bold", class_="table-heading")
        y0 = y + top
        lines = []
        if triangle:
            for i, name in enumerate(rows):
                cx, cy = x + (i + 0.5) * cell, y0 + (i + 0.5) * cell
                body_glyph(group, name, cx, cy, 0.6 * cell, theme.foreground, "grid-body")
                lines.append(f"M{x:.2f},{y0 + (i + 1) * cell:.2f} h{(i + 1) * cell:.2f}")
                lines.append(f"M{x + i * cell:.2f},{y0 + i * cell:.2f} v{(len(rows) - i) * cell:.2f}")
            lines.append(f"M{x + len(rows) * cell:.2f},{y0 + (len(rows) - 1) * cell:.2f} "
                         f"v{cell:.2f}")
            lines.append(f"M{x:.2f},{y0:.2f} h{cell:.2f}")
            pairs = [(i, j, rows[i], rows[j]) for i in range(len(rows)) for j in range(i)]
        else:
            for j, name in enumerate(columns):
                body_glyph(group, name, x + (j + 1.5) * cell, y0 + 0.5 * cell, 0.6 * cell,
                           theme.foreground, "grid-body column")
            for i, name in enumerate(rows):
                body_glyph(group, name, x + 0.5 * cell, y0 + (i + 1.5) * cell, 0.6 * cell,
                           theme.foreground, "grid-body row")
            for k in range(len(rows) + 2):
                lines.append(f"M{x:.2f},{y0 + k * cell:.2f} h{width:.2f}")
            for k in range(len(columns) + 2):
                lines.append(f"M{x + k * cell:.2f},{y0:.2f} v{(len(rows) + 1) * cell:.2f}")
            pairs = [(i + 1, j + 1, columns[j], rows[i]) for i in range(len(rows))
                     for j in range(len(columns))]
        add(group, "path", d=" ".join(lines), fill="none", stroke=theme.line,
            stroke_width=0.5, class_="grid-lines")
        for i, j, first, second in pairs:
            aspect = found.get((first, second))
            if aspect is None:
                continue
            kind = aspect.get("aspect_type", "")
            cx, cy = x + (j + 0.5) * cell, y0 + (i + 0.5) * cell
            colour = theme.aspects.get(kind, theme.muted)
            glyph_at(group, glyphs.ASPECTS.get(kind), kind[:2], cx, cy - 0.17 * cell,
                     0.4 * cell, colour, "grid-aspect", data_aspect=kind,
                     data_bodies=f"{aspect['body1']}|{aspect['body2']}")
            motion = aspect.get("is_applying")
            mark = "" if motion is None else ("A" if motion else "S")
            text(group, cx, cy + 0.27 * cell, orb_text(aspect.get("orb", 0.0)) + mark,
                 0.3 * cell, theme.muted, class_="grid-orb")
    return Block(width, top + cell * count, draw)


def tallies_block(structure: dict | None, lunar: dict | None, font: float,
                  theme: Theme) -> Block | None:
    """Elements and modes (count, and weighted in brackets) and the lunar phase."""
    lines: list[tuple[str, bool]] = []
    tallies = (structure or {}).get("tallies") or {}
    plain, weighted = tallies.get("unweighted") or {}, tallies.get("weighted") or {}
    for title, group_key, names in (("Elements", "elements", ELEMENTS),
                                    ("Modes", "modes", MODES)):
        counts, heavy = plain.get(group_key), weighted.get(group_key) or {}
        if not counts:
            continue
        lines.append((title, True))
        for name in names:
            lines.append((f"{name}  {counts.get(name, 0):g}  ({heavy.get(name, 0):g})", False))
    if lunar and lunar.get("phase_name"):
        lines.append(("Lunar phase", True))
        lines.append((lunar["phase_name"], False))
        if "illumination_percentage" in lunar:
            lines.append((f"{lunar['illumination_percentage']:.0f}% lit, day "
                          f"{lunar.get('moon_age_days', 0):.1f}", False))
    if not lines:
        return None
    step = 1.45 * font
    width = max(text_width(content, font, bold) for content, bold in lines)

    def draw(parent, x, y):
        group = add(parent, "g", class_="table tallies")
        for i, (content, bold) in enumerate(lines):
            text(group, x, y + (i + 0.5) * step, content, font,
                 theme.foreground if bold else theme.muted, anchor="start",
                 weight="bold" if bold else None,
                 class_="table-heading" if bold else "table-text")
    return Block(width, step * len(lines), draw)


def tucked(grid: Block, other: Block | None, cell: float, top: float) -> list:
    """`other` drawn in the empty corner above a triangular grid's diagonal
    when it fits there, else the two side by side."""
    if other is None:
        return [grid]
    rows_taken = math.ceil((other.height - top) / cell) if other.height > top else 0
    left = grid.width - other.width
    if left < (rows_taken + 1) * cell:
        return [grid, other]

    def draw(parent, x, y):
        grid.draw(parent, x, y)
        other.draw(parent, x + left, y)
    return [Block(grid.width, grid.height, draw)]


# ------------------------------------------------------------------ layout

def panel(blocks: Sequence[Block | None], width: float, font: float) -> tuple[float, Callable]:
    """Rows of blocks across `width`: the height they take, and how to draw them from a top."""
    gap = 1.6 * font
    placed, x, y, row_height = [], gap, 0.0, 0.0
    for block in blocks:
        if block is None:
            continue
        if x > gap and x + block.width > width - gap:
            x, y, row_height = gap, y + row_height + gap, 0.0
        placed.append((block, x, y))
        x += block.width + gap
        row_height = max(row_height, block.height)
    height = y + row_height + gap if placed else 0.0

    def draw(parent, top):
        for block, bx, by in placed:
            block.draw(parent, bx, top + by)
    return height, draw


def header_lines(chart: dict, name: str | None, houses: str, zodiac: Sequence[str]) -> list[str]:
    """Name, local date and time with the zone, place and coordinates, houses and zodiac."""
    lines = [name] if name else []
    given = chart.get("input") if isinstance(chart.get("input"), dict) else {}
    when = given.get("local_time") or given.get("utc")
    if when:
        moment = str(when).replace("T", " ")[:16]
        zone = " ".join(str(z) for z in (given.get("zone_abbreviation"), given.get("timezone"))
                        if z)
        offset = given.get("utc_offset")
        if not given.get("local_time"):
            zone = "UTC"
        lines.append(" ".join(part for part in (moment, zone, f"(UTC{offset})" if offset
                                                else "") if part))
    where = []
    place = given.get("place")
    if isinstance(place, dict) and place.get("name"):
        where.append(", ".join(str(p) for p in (place["name"], place.get("country")) if p))
    if isinstance(given.get("latitude"), (int, float)) and \
            isinstance(given.get("longitude"), (int, float)):
        lat, lon = given["latitude"], given["longitude"]
        where.append(f"{abs(lat):.4f}°{'N' if lat >= 0 else 'S'} "
                     f"{abs(lon):.4f}°{'E' if lon >= 0 else 'W'}")
    if where:
        lines.append("  ".join(where))
    lines.append(", ".join([houses] + [z for z in zodiac if z]))
    return lines
