"""Spreading the glyphs of close bodies round a circle so that none overlap.

A stellium puts several bodies within a few degrees; drawn at their true
longitudes their glyphs would pile up. `spread` moves them apart along the
circle, keeping their order, so that neighbours are at least `gap` degrees
apart, and moves them as little as possible: the squared displacements are
least. The wheel then draws a short leader from each glyph to the true
longitude.

How: cut the circle open at some point, so that the bodies form a row
a_0 <= a_1 <= ... <= a_{n-1}. Positions p_i with p_{i+1} - p_i >= gap are,
after subtracting i*gap (q_i = p_i - i*gap), just a non-decreasing row, and
the least-squares non-decreasing row nearest to b_i = a_i - i*gap is the
isotonic regression of b: pool adjacent blocks that are out of order into
their mean (pool adjacent violators). That settles the row; the circle adds
one condition, that the last body stays `gap` short of the first one round
the turn. Every cut is tried and the cheapest one that keeps it wins (there
are only a dozen or so bodies); if none does, the circle is full and the
bodies are set evenly round it.
"""
from __future__ import annotations

import math
from typing import Sequence


def isotonic(values: Sequence[float]) -> list[float]:
    """The non-decreasing sequence nearest to `values` in least squares."""
    blocks: list[list[float]] = []  # [sum, count]
    for value in values:
        blocks.append([value, 1])
        while len(blocks) > 1 and blocks[-2][0] / blocks[-2][1] > blocks[-1][0] / blocks[-1][1]:
            total, count = blocks.pop()
            blocks[-1][0] += total
            blocks[-1][1] += count
    out: list[float] = []
    for total, count in blocks:
        out += [total / count] * int(count)
    return out


def spread(angles: Sequence[float], gap: float) -> list[float]:
    """Display angles in degrees, in the order given, each at least `gap` from its neighbours.

    A `gap` wider than the circle allows (360 / number of angles) is
    narrowed to fit. Results are in [0, 360).
    """
    n = len(angles)
    if n < 2:
        return [a % 360.0 for a in angles]
    gap = min(gap, 360.0 / n)
    order = sorted(range(n), key=lambda i: angles[i] % 360.0)
    row = [angles[i] % 360.0 for i in order]
    best, best_cost = None, math.inf
    for cut in range(n):
        # The row starting at body `cut`, unwrapped past 360.
        a = row[cut:] + [x + 360.0 for x in row[:cut]]
        q = isotonic([x - i * gap for i, x in enumerate(a)])
        p = [x + i * gap for i, x in enumerate(q)]
        if p[-1] - p[0] > 360.0 - gap + 1e-9:
            continue
        cost = sum((x - y) ** 2 for x, y in zip(p, a))
        if cost < best_cost:
            best_cost, best = cost, (cut, p)
    if best is None:
        # A full circle: even steps, turned to the least squares fit.
        step = 360.0 / n
        start = sum(x - i * step for i, x in enumerate(row)) / n
        best = (0, [start + i * step for i in range(n)])
    cut, p = best
    out = [0.0] * n
    for k, value in enumerate(p):
        out[order[(cut + k) % n]] = value % 360.0
    return out


def separation(a: float, b: float) -> float:
    """The angle between two directions in degrees, 0 to 180."""
    d = (a - b) % 360.0
    return min(d, 360.0 - d)
