"""The Indian chart pictures: the North Indian diamond and the South Indian
square, for the rasi chart or any divisional chart, as SVG text.

`house_chart_svg` draws any placements (label -> sign); `jyotish_svg` reads
the engine's `jyotish` dict and adds the degrees, retrograde marks and the
ayanamsa. In the North Indian chart the houses stay in place and carry
their sign's number (Aries 1); in the South Indian chart the signs stay in
place and the Lagna's cell is marked.
"""
from __future__ import annotations

import math
from typing import Mapping, Sequence

from .svg import add, document, serialise, text, text_width
from .themes import Theme, theme_of

SIGNS = ("Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo", "Libra", "Scorpio",
         "Sagittarius", "Capricorn", "Aquarius", "Pisces")
STYLES = ("north", "south")
# The customary two-letter names of the grahas.
ABBREVIATIONS = {"Lagna": "Asc", "Sun": "Su", "Moon": "Mo", "Mars": "Ma", "Mercury": "Me",
                 "Jupiter": "Ju", "Venus": "Ve", "Saturn": "Sa", "Rahu": "Ra", "Ketu": "Ke"}
NODES = ("Rahu", "Ketu")
# The sixteen divisions and their names, after Parashara (Brihat Parashara Hora Shastra, ch. 6).
VARGA_NAMES = {"D1": "Rasi", "D2": "Hora", "D3": "Drekkana", "D4": "Chaturthamsa",
               "D7": "Saptamsa", "D9": "Navamsa", "D10": "Dasamsa", "D12": "Dvadasamsa",
               "D16": "Shodasamsa", "D20": "Vimsamsa", "D24": "Chaturvimsamsa",
               "D27": "Saptavimsamsa", "D30": "Trimsamsa", "D40": "Khavedamsa",
               "D45": "Akshavedamsa", "D60": "Shashtiamsa"}
# South Indian square: (column, row) of each sign, Pisces at the top left and
# the signs running clockwise round the edge.
SOUTH_CELLS = ((1, 0), (2, 0), (3, 0), (3, 1), (3, 2), (3, 3),
               (2, 3), (1, 3), (0, 3), (0, 2), (0, 1), (0, 0))
MARGIN = 0.02        # of the picture's side, round the chart
LABEL_FONT = 0.046   # the largest label, as a share of the chart's side
SMALLEST_FONT = 0.012
CROWD = 4            # labels in a house past which it shrinks on its own


# ------------------------------------------------------------------ inputs

def sign_index(sign, what: str) -> int:
    """A sign given by name ("Leo") or index (0 for Aries to 11 for Pisces)."""
    if isinstance(sign, int) and not isinstance(sign, bool) and 0 <= sign < 12:
        return sign
    if isinstance(sign, str):
        for i, name in enumerate(SIGNS):
            if name.lower() == sign.strip().lower():
                return i
    raise ValueError(f"{what} must be a sign name (Aries to Pisces) or an index 0-11, "
                     f"not {sign!r}")


def style_of(style) -> str:
    if style not in STYLES:
        raise ValueError(f"style must be 'north' or 'south', not {style!r}")
    return style


def finite(value) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool) \
        and math.isfinite(value)


def degrees_minutes(degrees: float) -> str:
    """Degrees as "23°07′", the minutes cut, never rounded up to 60."""
    whole = int(abs(degrees))
    minutes = min(59, int((abs(degrees) - whole) * 60.0))
    return f"{'-' if degrees < 0 else ''}{whole}°{minutes:02d}′"


# ------------------------------------------------------------------ layout

def span_at(polygon: Sequence[tuple], y: float):
    """The x range of a convex polygon along the line at height y, or None."""
    xs = []
    n = len(polygon)
    for i in range(n):
        (x1, y1), (x2, y2) = polygon[i], polygon[(i + 1) % n]
        if (y1 - y) * (y2 - y) > 0 or y1 == y2:
            continue
        xs.append(x1 + (y - y1) * (x2 - x1) / (y2 - y1))
    return (min(xs), max(xs)) if xs else None


def band_span(polygon, top: float, bottom: float):
    """The x range a convex polygon covers over the whole band between two heights.

    Its left edge is convex and its right edge concave in y, so the ends of
    the band bound the range.
    """
    upper, lower = span_at(polygon, top), span_at(polygon, bottom)
    if upper is None or lower is None:
        return None
    return max(upper[0], lower[0]), min(upper[1], lower[1])


def clip(polygon, point: tuple, normal: tuple) -> list:
    """The part of a convex polygon on the side of the line through `point` that
    `normal` points to."""
    def side(p):
        return (p[0] - point[0]) * normal[0] + (p[1] - point[1]) * normal[1]
    out = []
    for i, p in enumerate(polygon):
        q = polygon[(i + 1) % len(polygon)]
        sp, sq = side(p), side(q)
        if sp >= 0:
            out.append(p)
        if sp * sq < 0:
            t = sp / (sp - sq)
            out.append((p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1])))
    return out


def centroid(polygon) -> tuple:
    return (sum(p[0] for p in polygon) / len(polygon), sum(p[1] for p in polygon) / len(polygon))


def fill_rows(region, widths, font: float, start: float, pad: float):
    """Labels in rows from height `start` down, each row as wide as the region
    allows there; a list of (y, label indices, left x) or None when they do not fit."""
    rows, i, y = [], 0, start
    gap = 0.5 * font
    while i < len(widths):
        span = band_span(region, y - 0.5 * font, y + 0.55 * font)
        if span is None:
            return None
        left, right = span[0] + pad, span[1] - pad
        used, row = 0.0, []
        while i < len(widths) and used + (gap if row else 0.0) + widths[i] <= right - left:
            used += (gap if row else 0.0) + widths[i]
            row.append(i)
            i += 1
        if not row:
            return None
        rows.append((y, row, left + (right - left - used) / 2))
        y += 1.25 * font
    return rows


def arrange(region, labels: Sequence[str], largest: float, smallest: float, pad: float):
    """Where each label goes in a convex region: the largest font at which they all
    fit, the rows centred on the region's centroid; a list of (x, y) centres and the font."""
    if not labels:
        return [], largest
    ys = [p[1] for p in region]
    middle = centroid(region)[1]
    font = largest
    while True:
        best = None
        widths = [text_width(label, font) for label in labels]
        start = min(ys) + 0.5 * font
        while start < max(ys):
            rows = fill_rows(region, widths, font, start, pad)
            if rows is not None:
                block = (start + rows[-1][0]) / 2
                if best is None or abs(block - middle) < abs(best[0] - middle):
                    best = (block, rows)
            start += 0.25 * font
        if best is not None or font <= smallest:
            break
        font = max(smallest, 0.9 * font)
    if best is None:  # past the smallest font: one column down the middle
        x, y0 = centroid(region)
        return [(x, y0 + (k - (len(labels) - 1) / 2) * 1.2 * font)
                for k in range(len(labels))], font
    places = [None] * len(labels)
    for y, row, x in best[1]:
        for i in row:
            places[i] = (x + widths[i] / 2, y)
            x += widths[i] + 0.5 * font
    return places, font


# ------------------------------------------------------------------ drawing

def north_houses(x0: float, y0: float, side: float) -> list:
    """The twelve houses of the North Indian square, house 1 first, each with
    its inner vertex (the one nearest the centre) first.

    The diagonals and the diamond through the sides' midpoints cut the
    square into four kites (houses 1, 4, 7, 10) and eight triangles; the
    houses run counter-clockwise from the top kite.
    """
    def at(u, v):
        return (x0 + u * side, y0 + v * side)
    centre = at(0.5, 0.5)
    top, left, bottom, right = at(0.5, 0), at(0, 0.5), at(0.5, 1), at(1, 0.5)
    nw, sw, se, ne = at(0.25, 0.25), at(0.25, 0.75), at(0.75, 0.75), at(0.75, 0.25)
    return [
        [centre, ne, top, nw], [nw, top, at(0, 0)], [nw, at(0, 0), left],
        [centre, nw, left, sw], [sw, left, at(0, 1)], [sw, at(0, 1), bottom],
        [centre, sw, bottom, se], [se, bottom, at(1, 1)], [se, at(1, 1), right],
        [centre, se, right, ne], [ne, right, at(1, 0)], [ne, at(1, 0), top],
    ]


def points_text(polygon) -> str:
    return " ".join(f"{x:.2f},{y:.2f}" for x, y in polygon)


def draw_labels(cells: Sequence[tuple], side: float, pad: float) -> None:
    """The labels of every house or cell, each its own text.

    All share one font, the largest at which every house fits its first
    CROWD labels, so the chart reads evenly; a house holding more shrinks
    on its own.
    """
    largest, smallest = LABEL_FONT * side, SMALLEST_FONT * side
    fits = [arrange(region, [label for label, _ in entries[:CROWD]], largest, smallest, pad)[1]
            for _, region, entries, _, _ in cells if entries]
    common = min(fits, default=largest)
    for group, region, entries, house, sign in cells:
        places, font = arrange(region, [label for label, _ in entries], common, smallest, pad)
        for (label, colour), (x, y) in zip(entries, places):
            text(group, x, y, label, font, colour, class_="placement", data_label=label,
                 data_house=house, data_sign=SIGNS[sign])


def draw_north(root, x0: float, y0: float, side: float, lagna: int, by_sign: dict,
               theme: Theme) -> None:
    number_font = 0.03 * side
    cells = []
    for house, polygon in enumerate(north_houses(x0, y0, side), start=1):
        sign = (lagna + house - 1) % 12
        group = add(root, "g", class_="house", data_house=house, data_sign=SIGNS[sign])
        add(group, "polygon", points=points_text(polygon), stroke=theme.line, stroke_width=1.0,
            fill=theme.element_fill[2] if house == 1 else theme.aspect_fill)
        # The sign's number in the corner nearest the centre; the labels beyond it.
        inner, middle = polygon[0], centroid(polygon)
        length = math.hypot(middle[0] - inner[0], middle[1] - inner[1])
        towards = ((middle[0] - inner[0]) / length, (middle[1] - inner[1]) / length)
        cut = 0.09 * side if house in (1, 4, 7, 10) else 0.055 * side
        spot = (inner[0] + towards[0] * 0.55 * cut, inner[1] + towards[1] * 0.55 * cut)
        text(group, spot[0], spot[1], str(sign + 1), number_font, theme.muted,
             class_="sign-number", data_sign=SIGNS[sign])
        region = clip(polygon, (inner[0] + towards[0] * cut, inner[1] + towards[1] * cut),
                      towards)
        cells.append((group, region, by_sign[sign], house, sign))
    draw_labels(cells, side, 0.012 * side)


def draw_south(root, x0: float, y0: float, side: float, lagna: int, by_sign: dict,
               theme: Theme) -> tuple:
    """The twelve sign cells; returns the centre square's corner and side."""
    cell = side / 4
    name_font = 0.028 * side
    strip = 1.7 * name_font
    cells = []
    for sign, (col, row) in enumerate(SOUTH_CELLS):
        left, top = x0 + col * cell, y0 + row * cell
        house = (sign - lagna) % 12 + 1
        group = add(root, "g", class_="sign-cell", data_sign=SIGNS[sign], data_house=house)
        add(group, "rect", x=left, y=top, width=cell, height=cell, stroke=theme.line,
            stroke_width=1.0, fill=theme.element_fill[2] if house == 1 else theme.aspect_fill)
        text(group, left + cell - 0.04 * cell, top + 0.5 * strip, SIGNS[sign][:3], name_font,
             theme.muted, anchor="end", class_="sign-name")
        if house == 1:
            # The customary mark of the Lagna: a stroke across the cell's corner.
            add(group, "line", x1=left, y1=top + 0.9 * strip, x2=left + 0.9 * strip, y2=top,
                stroke=theme.angle, stroke_width=1.5, class_="lagna-mark")
        region = [(left, top + strip), (left + cell, top + strip), (left + cell, top + cell),
                  (left, top + cell)]
        cells.append((group, region, by_sign[sign], house, sign))
    draw_labels(cells, side, 0.015 * side)
    add(root, "rect", x=x0 + cell, y=y0 + cell, width=2 * cell, height=2 * cell,
        fill=theme.background, stroke=theme.line, stroke_width=1.0)
    return x0 + cell, y0 + cell, 2 * cell


def caption_lines(root, lines: Sequence[str], x: float, y: float, width: float, font: float,
                  colour: str, step: float, **attrs) -> float:
    """Lines centred on x, shrunk together till the widest fits `width`; returns the y below."""
    widest = max((text_width(line, font) for line in lines), default=0.0)
    size = font * min(1.0, width / widest) if widest > 0 else font
    for line in lines:
        text(root, x, y, line, size, colour, **attrs)
        y += step
    return y


def house_chart_svg(lagna_sign, placements: Mapping, style: str = "north", *, size: float = 480,
                    theme="light", title=None, details: Sequence[str] = (),
                    marked: Sequence[str] = ()) -> str:
    """An Indian chart of any placements, SVG text.

    `placements` maps each label to its sign, a name ("Leo") or an index
    (0 for Aries to 11 for Pisces); `lagna_sign` likewise. `style` "north"
    draws the diamond chart (house 1 the top diamond, the houses running
    counter-clockwise, each with its sign's number, Aries 1), "south" the
    square of fixed signs (Pisces at the top left, running clockwise) with
    the Lagna's cell marked by a stroke and the title and `details` lines in
    the middle; the North chart puts them above the square. Labels in
    `marked` are drawn in the retrograde colour. Crowded houses shrink their
    labels to fit. `size` is the chart's side in pixels.
    """
    theme = theme_of(theme)
    style = style_of(style)
    size = float(size)
    if not (200.0 <= size <= 10000.0):
        raise ValueError(f"size must be between 200 and 10000 pixels, not {size:g}")
    lagna = sign_index(lagna_sign, "the lagna sign")
    if not isinstance(placements, Mapping):
        raise ValueError("placements must map each label to a sign")
    marked = {marked} if isinstance(marked, str) else set(marked)
    by_sign = {sign: [] for sign in range(12)}
    for label, sign in placements.items():
        if not isinstance(label, str) or not label:
            raise ValueError(f"a placement's label must be a non-empty text, not {label!r}")
        colour = theme.retrograde if label in marked else theme.foreground
        by_sign[sign_index(sign, f"the sign of {label!r}")].append((label, colour))
    details = [details] if isinstance(details, str) else list(details)
    heading = title if title is not None else "Rasi chart"
    margin = MARGIN * size
    side = size - 2 * margin
    if style == "north":  # above the square, two details to a line
        details = [" · ".join(details[i:i + 2]) for i in range(0, len(details), 2)]
    header = 0.0 if style == "south" else (0.075 + 0.04 * len(details)) * size
    root = document(size, size + header, role="img", aria_label=f"{heading}, {style} Indian style")
    add(root, "title", str(heading))
    add(root, "rect", x=0.0, y=0.0, width=size, height=size + header, fill=theme.background)
    if style == "north":
        y = caption_lines(root, [str(heading)], size / 2, 0.04 * size, side, 0.042 * size,
                          theme.foreground, 0.05 * size, weight="bold", class_="caption")
        caption_lines(root, details, size / 2, y, side, 0.028 * size, theme.muted, 0.04 * size,
                      class_="details")
        add(root, "rect", x=margin, y=header + margin, width=side, height=side, fill="none",
            stroke=theme.line, stroke_width=1.5, class_="frame")
        draw_north(root, margin, header + margin, side, lagna, by_sign, theme)
    else:
        add(root, "rect", x=margin, y=margin, width=side, height=side, fill="none",
            stroke=theme.line, stroke_width=1.5, class_="frame")
        cx, cy, inner = draw_south(root, margin, margin, side, lagna, by_sign, theme)
        y = cy + 0.16 * inner
        y = caption_lines(root, [str(heading)], cx + inner / 2, y, 0.9 * inner, 0.085 * inner,
                          theme.foreground, 0.13 * inner, weight="bold", class_="caption")
        caption_lines(root, details, cx + inner / 2, y, 0.9 * inner, 0.06 * inner, theme.muted,
                      0.085 * inner, class_="details")
    return serialise(root)


# -------------------------------------------------------- the jyotish result

def jyotish_details(result: dict, varga: str) -> list[str]:
    """The lines under the title: ayanamsa and node, the Lagna, the vargottama bodies."""
    lines = []
    ayanamsa = str(result.get("ayanamsa") or "").replace("_", " ").title()
    value = result.get("ayanamsa_degrees")
    if ayanamsa or finite(value):
        shown = f" {degrees_minutes(float(value))}" if finite(value) else ""
        lines.append(f"{ayanamsa} ayanamsa{shown}".strip())
    if result.get("node"):
        lines.append(f"{str(result['node']).capitalize()} node")
    lagna = result.get("lagna") or {}
    if varga == "D1" and finite(lagna.get("degree")):
        line = f"Lagna {lagna.get('sign')} {degrees_minutes(float(lagna['degree']))}"
        if lagna.get("nakshatra"):
            line += f", {lagna['nakshatra']}"
            if lagna.get("pada"):
                line += f" pada {lagna['pada']}"
        lines.append(line)
    if result.get("vargottama"):
        lines.append("Vargottama: " + ", ".join(map(str, result["vargottama"])))
    return lines


def jyotish_svg(result: dict, varga: str = "D1", style: str = "north", *, size: float = 480,
                theme="light", title=None) -> str:
    """The rasi chart or a divisional chart of a `jyotish` dict, SVG text.

    `varga` is one of the dict's divisions ("D1", "D9", ...); `style`
    "north" or "south" (see `house_chart_svg`). Bodies are written with
    their customary two-letter names and the Lagna as "Asc"; in the rasi
    chart (D1) each carries its degrees and minutes in its sign, and
    retrograde planets "(R)" in the retrograde colour (the nodes, always
    moving backwards, are not marked). The title defaults to the
    division's name, such as "D9 Navamsa".
    """
    if not isinstance(result, dict) or not isinstance(result.get("vargas"), dict):
        raise ValueError("a jyotish chart needs its vargas (the dict of Engine.jyotish)")
    style = style_of(style)
    vargas = result["vargas"]
    if not isinstance(varga, str) or not isinstance(vargas.get(varga), dict):
        raise ValueError(f"varga must be one of {', '.join(map(str, vargas))}, not {varga!r}")
    signs = vargas[varga]
    if "Lagna" not in signs:
        raise ValueError(f"the {varga} chart has no Lagna")
    bodies = {b.get("name"): b for b in result.get("bodies", []) if isinstance(b, dict)}
    placements, marked = {}, []
    for name, sign in signs.items():
        label = ABBREVIATIONS.get(name, str(name))
        body = bodies.get(name, result.get("lagna") if name == "Lagna" else None) or {}
        if varga == "D1" and finite(body.get("degree")):
            label += f" {degrees_minutes(float(body['degree']))}"
        if varga == "D1" and body.get("retrograde") and name not in NODES and name != "Lagna":
            label += " (R)"
            marked.append(label)
        placements[label] = sign
    heading = title if title is not None else f"{varga} {VARGA_NAMES.get(varga, '')}".strip()
    return house_chart_svg(signs["Lagna"], placements, style, size=size, theme=theme,
                           title=heading, details=jyotish_details(result, varga), marked=marked)
