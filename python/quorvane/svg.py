"""A small SVG writer over ElementTree, and the PNG conversion.

ElementTree escapes text and attributes, so whatever names a chart holds
the document stays well-formed.
"""
from __future__ import annotations

import math
import xml.etree.ElementTree as ET

NAMESPACE = "http://www.w3.org/2000/svg"
# Plain text (degrees, names) only; the astrological symbols are paths.
FONT = "DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif"


def number(value: float) -> str:
    """Coordinates to two decimals: a hundredth of a pixel is below what shows."""
    text = f"{value:.2f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def attributes(attrs: dict) -> dict:
    out = {}
    for key, value in attrs.items():
        if value is None:
            continue
        key = key.rstrip("_").replace("_", "-")
        out[key] = number(value) if isinstance(value, float) else str(value)
    return out


def document(width: float, height: float, **attrs) -> ET.Element:
    root = ET.Element("svg", attributes(dict(
        xmlns=NAMESPACE, width=float(width), height=float(height),
        viewBox=f"0 0 {number(width)} {number(height)}", **attrs)))
    return root


def add(parent: ET.Element, tag: str, text: str | None = None, **attrs) -> ET.Element:
    """A child element; keyword names take '-' for '_' (stroke_width), 'class_' for class."""
    child = ET.SubElement(parent, tag, attributes(attrs))
    if text is not None:
        child.text = text
    return child


def text(parent, x: float, y: float, content: str, size: float, fill: str,
         anchor: str = "middle", weight: str | None = None, **attrs) -> ET.Element:
    """Text centred vertically on y (renderers differ on dominant-baseline, so shift by hand)."""
    return add(parent, "text", content, x=x, y=y + 0.36 * size, font_size=float(size),
               font_family=FONT, fill=fill, text_anchor=anchor, font_weight=weight, **attrs)


def text_width(content: str, size: float, bold: bool = False) -> float:
    """A generous estimate of the width of sans-serif text, for layout.

    Measured against DejaVu Sans, the widest of the usual fallbacks.
    """
    ems = 0.0
    for c in content:
        if c in "ijlrtfI.,:;'′°|!() ":
            ems += 0.36
        elif c in "mwMW":
            ems += 0.95
        elif c.isupper():
            ems += 0.74
        else:
            ems += 0.63
    return size * ems * (1.1 if bold else 1.0)


def polar(cx: float, cy: float, radius: float, degrees: float) -> tuple:
    """The point at `degrees` counter-clockwise from the +x axis (y points down)."""
    angle = math.radians(degrees)
    return cx + radius * math.cos(angle), cy - radius * math.sin(angle)


def serialise(root: ET.Element) -> str:
    return ET.tostring(root, encoding="unicode")


def to_png(svg: str, scale: float = 1.0) -> bytes:
    """PNG bytes of an SVG text, through cairosvg (the `draw` extra)."""
    try:
        import cairosvg
    except ImportError:
        raise RuntimeError("PNG output needs cairosvg: pip install 'quorvane-engine[draw]'") from None
    return cairosvg.svg2png(bytestring=svg.encode("utf-8"), scale=scale)
