"""The 90° dial: every point's longitude modulo 90 stretched round a whole
circle (one dial degree is four degrees of arc), so that conjunctions,
squares and oppositions all fall together; 0° at the top, counter-clockwise,
with the chart's midpoints as marks inside the ring of bodies.
"""
from __future__ import annotations

from .svg import add, serialise, text
from .themes import theme_of

STRETCH = 4.0           # degrees of arc to a dial degree


def dial_svg(chart: dict, *, size: float = 800, theme="light", title=None,
             midpoints: bool = True) -> str:
    """The chart's 90° dial as SVG text: a ring of dial degrees (numbered each
    5°), the bodies and angles spread on a band inside it, and each midpoint
    of the chart as a short mark on the inner circle (`midpoints`)."""
    import quorvane_engine

    from . import wheel
    wheel.require_chart(chart)
    theme = theme_of(theme)
    unit = 0.44 * float(size)
    # The wheel's geometry turned so that a dial reading d sits at 90 + 4d screen degrees.
    geometry = wheel.Geometry(size / 2, size / 2, unit, 90.0)
    ring = wheel.band(0.86 * unit, unit, 0.075 * unit, 0.038 * unit,
                      ("degree", "minute", "retrograde"))
    layout = wheel.Layout(float(size), geometry, 0.86 * unit, 0.0, (ring,), ring.inner,
                          ring.inner)
    root = wheel.start(size, theme, "90 degree dial")
    face = add(root, "g", class_="dial-face")
    wheel.circle(face, geometry, unit, theme.line, 1.2)
    wheel.circle(face, geometry, layout.zodiac_inner, theme.line, 1.0)
    wheel.circle(face, geometry, ring.inner, theme.line, 1.0, fill=theme.aspect_fill)
    for degree in range(90):
        step = 0.09 if degree % 5 == 0 else 0.045
        wheel.line(face, geometry.at(unit, STRETCH * degree),
                   geometry.at(unit * (1 - step), STRETCH * degree),
                   theme.line if degree % 5 == 0 else theme.muted, 0.9)
        if degree % 5 == 0:
            x, y = geometry.at(unit * 1.05, STRETCH * degree)
            text(face, x, y, f"{degree}°", 0.036 * unit, theme.foreground, class_="dial-degree")
    # Where cardinal, fixed and mutable signs begin.
    for start, label in ((0, "cardinal"), (30, "fixed"), (60, "mutable")):
        x, y = geometry.at(0.93 * unit, STRETCH * start + 10)
        text(face, x, y, label, 0.03 * unit, theme.muted, class_="dial-mode")
    points = [wheel.Point(p.name, (p.longitude % 90.0) * STRETCH, p.retrograde,
                          (int(p.longitude % 90.0), int(p.longitude % 1.0 * 60.0)))
              for p in wheel.points_of(chart.get("planets", []), angles=True)]
    if midpoints:
        marks = add(root, "g", class_="midpoints")
        for m in quorvane_engine.chart_structure(chart)["midpoints"]["dial"]:
            at = STRETCH * m["dial"]
            wheel.line(marks, geometry.at(ring.inner, at), geometry.at(0.93 * ring.inner, at),
                       theme.muted, 0.8, class_="midpoint",
                       data_bodies=f"{m['body1']}|{m['body2']}", data_dial=f"{m['dial']:.6f}")
    wheel.draw_band(root, layout, ring, points, theme, "dial")
    wheel.draw_corners(root, float(size), theme, wheel.caption(title) or ["90° dial"],
                       wheel.zodiac_lines(chart), [], [])
    return serialise(root)
