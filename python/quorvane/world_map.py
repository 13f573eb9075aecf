"""The astrocartography map: an equirectangular world (Natural Earth
country outlines, `world_outlines`) with each body's MC, IC, ASC and DSC
lines in the body's colour and labelled, the local-space circles dashed,
the birth place marked and the parans as ticks on the latitude scale.

    svg = world_map.map_svg(quorvane.astrocartography("1990-07-14 08:30", "New York"))
"""
from __future__ import annotations

import functools

from . import svg as S
from .themes import theme_of
from .world_outlines import RINGS

# One colour per body, Sun to Pluto, then the rest in turn.
BODY_COLOURS = {"Sun": "#e69500", "Moon": "#7f8c8d", "Mercury": "#16a085", "Venus": "#2ecc71",
                "Mars": "#e74c3c", "Jupiter": "#8e44ad", "Saturn": "#5d4037",
                "Uranus": "#00acc1", "Neptune": "#3949ab", "Pluto": "#880e4f"}
SPARE = ("#d35400", "#27ae60", "#2980b9", "#c0392b")
DASH = {"MC": None, "IC": "6 4", "ASC": None, "DSC": "2 3"}


def colour_of(body: str, index: int) -> str:
    return BODY_COLOURS.get(body, SPARE[index % len(SPARE)])


@functools.lru_cache(maxsize=8)
def land_paths(left: float, top: float, plot_w: float) -> tuple:
    """The outline paths for one placing of the map: the same for every
    map of that size, so written once."""
    sx, sy = plot_w / 360.0, plot_w / 360.0
    out = []
    for ring in RINGS:
        steps = []
        for point in ring.split():
            lon, lat = point.split(",")
            steps.append(f"{left + (int(lon) / 10.0 + 180.0) * sx:.1f} "
                         f"{top + (90.0 - int(lat) / 10.0) * sy:.1f}")
        out.append("M" + " L".join(steps) + " Z")
    return tuple(out)


def map_svg(result: dict, width: float = 1200, theme="light", title: str | None = None) -> str:
    """The SVG text of the map of an astrocartography result (the engine's
    dict, or `quorvane.astrocartography`'s with its "input")."""
    t = theme_of(theme)
    margin_left, margin_top, scale_w = 44.0, 28.0 if title else 12.0, 12.0
    plot_w = float(width) - margin_left - scale_w
    plot_h = plot_w / 2.0
    height = margin_top + plot_h + 34.0

    def x_of(lon):
        return margin_left + (lon + 180.0) / 360.0 * plot_w

    def y_of(lat):
        return margin_top + (90.0 - lat) / 180.0 * plot_h

    def path_of(points):
        # A tenth of a pixel is finer than any line drawn.
        return "M" + " L".join(f"{x_of(lon):.1f} {y_of(lat):.1f}" for lon, lat in points)

    root = S.document(width, height)
    S.add(root, "rect", x=0.0, y=0.0, width=float(width), height=height, fill=t.background)
    if title:
        S.text(root, width / 2.0, 14.0, title, 14.0, t.foreground, weight="bold")
    S.add(root, "rect", x=margin_left, y=margin_top, width=plot_w, height=plot_h,
          fill=t.aspect_fill, stroke=t.line, stroke_width=0.8)
    land = S.add(root, "g", fill=t.element_fill[1], stroke=t.muted, stroke_width=0.4,
                 stroke_linejoin="round", class_="land")
    for d in land_paths(margin_left, margin_top, plot_w):
        S.add(land, "path", d=d)
    grid = S.add(root, "g", stroke=t.muted, stroke_width=0.3, stroke_dasharray="1 3",
                 class_="graticule")
    for lat in range(-60, 61, 30):
        S.add(grid, "line", x1=x_of(-180.0), y1=y_of(lat), x2=x_of(180.0), y2=y_of(lat))
        S.text(root, margin_left - 6.0, y_of(lat), f"{abs(lat)}°{'N' if lat > 0 else 'S' if lat < 0 else ''}",
               9.0, t.muted, anchor="end")
    for lon in range(-150, 151, 30):
        S.add(grid, "line", x1=x_of(lon), y1=y_of(90.0), x2=x_of(lon), y2=y_of(-90.0))
        S.text(root, x_of(lon), y_of(-90.0) + 10.0,
               f"{abs(lon)}°{'E' if lon > 0 else 'W' if lon < 0 else ''}", 9.0, t.muted)

    order = {b["body"]: i for i, b in enumerate(result["bodies"])}
    lines = S.add(root, "g", fill="none", stroke_width=1.6, class_="lines")
    for line in result["lines"]:
        colour = colour_of(line["body"], order[line["body"]])
        group = S.add(lines, "g", stroke=colour, stroke_dasharray=DASH[line["angle"]],
                      class_="line", data_body=line["body"], data_angle=line["angle"])
        for piece in line["segments"]:
            S.add(group, "path", d=path_of(piece))
        # The label where the line is nearest the equator, inside the map.
        best = min((p for piece in line["segments"] for p in piece), key=lambda p: abs(p[1] - 8.0))
        lx = min(max(x_of(best[0]) + 3.0, margin_left + 4.0), margin_left + plot_w - 40.0)
        S.text(root, lx, y_of(best[1]), f"{line['body']} {line['angle']}", 8.5, colour,
               anchor="start")
    space = result.get("local_space")
    if space:
        circles = S.add(root, "g", fill="none", stroke_width=0.9, stroke_dasharray="5 2 1 2",
                        opacity=0.8, class_="local-space")
        for line in space["lines"]:
            colour = colour_of(line["body"], order.get(line["body"], 0))
            for piece in line["segments"]:
                S.add(circles, "path", d=path_of(piece), stroke=colour)
        px, py = x_of(space["longitude"]), y_of(space["latitude"])
        S.add(root, "circle", cx=px, cy=py, r=4.5, fill=t.foreground, stroke=t.background,
              stroke_width=1.5, class_="birth-place")
    # Parans: a tick on the latitude scale at the right edge for each.
    ticks = S.add(root, "g", stroke_width=1.2, class_="parans")
    right = margin_left + plot_w
    for paran in result["parans"]:
        colour = colour_of(paran["first"], order[paran["first"]])
        S.add(ticks, "line", x1=right, y1=y_of(paran["latitude"]), x2=right + 8.0,
              y2=y_of(paran["latitude"]), stroke=colour)
    S.text(root, margin_left, height - 10.0,
           f"{result['mode']} lines; dashed IC, dotted DSC; ticks at right: parans",
           9.0, t.muted, anchor="start")
    return S.serialise(root)
