"""A small SVG writer over ElementTree, and the PNG conversion.

ElementTree escapes text and attributes; what XML cannot hold at all
(control characters, U+FFFE and U+FFFF, lone surrogates) `xml_text`
replaces with U+FFFD, so whatever names a chart holds the document stays
well-formed.
"""
from __future__ import annotations

import math
import re
import xml.etree.ElementTree as ET

NAMESPACE = "http://www.w3.org/2000/svg"
# Plain text (degrees, names) only; the astrological symbols are paths.
FONT = "DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif"


# The characters XML 1.0 does not allow, escaped or not.
NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ud800-\udfff\ufffe\uffff]")
# A longest side of a PNG, in pixels (at 4 bytes a pixel, 400 MB at most).
MAX_PNG_SIDE = 10000


def xml_text(value: str) -> str:
    """A text as XML can carry it: what it cannot hold becomes U+FFFD."""
    return NOT_XML.sub("\ufffd", value)


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
        out[key] = number(value) if isinstance(value, float) else xml_text(str(value))
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
        child.text = xml_text(text)
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
    """PNG bytes of an SVG text, through cairosvg (the `draw` extra).

    The picture is at most MAX_PNG_SIDE (10000) pixels a side once scaled: past it
    the pixels alone would take gigabytes.
    """
    width, height = png_size(svg, scale)
    if max(width, height) > MAX_PNG_SIDE:
        raise ValueError(f"a PNG of {width:.0f} x {height:.0f} pixels is over the limit of "
                         f"{MAX_PNG_SIDE} a side: lower the size or the scale")
    try:
        import cairosvg
    except ImportError:
        raise RuntimeError("PNG output needs cairosvg: pip install 'quorvane-engine[draw]'") from None
    return cairosvg.svg2png(bytestring=svg.encode("utf-8"), scale=scale)


def png_size(svg: str, scale: float) -> tuple[float, float]:
    """The pixels of an SVG text drawn at `scale`, from its root's width and height."""
    if isinstance(scale, bool) or not isinstance(scale, (int, float)) \
            or not (math.isfinite(scale) and scale > 0):
        raise ValueError(f"scale must be a positive number, not {scale!r}")
    opening = re.search(r"<svg\b[^>]*>", svg[:4096])
    tag = opening.group(0) if opening else ""
    box = re.search(r'\sviewBox="[-0-9.eE]+[ ,]+[-0-9.eE]+[ ,]+([0-9.eE]+)[ ,]+([0-9.eE]+)"', tag)
    sides = []
    for i, name in enumerate(("width", "height")):
        found = re.search(rf'\s{name}="([0-9.eE+]+)(px)?"', tag)
        side = float(found.group(1)) if found else float(box.group(i + 1)) if box else 0.0
        sides.append(side * scale)
    return sides[0], sides[1]
