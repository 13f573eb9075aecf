"""The chart wheels of the service: SVG from `quorvane.wheel`, PNG through
its converter. Without the converter (the draw extra) a PNG answers 501."""
from __future__ import annotations

from quorvane import wheel, world_map
from quorvane.options import chart_options
from quorvane.serve import work
from quorvane.serve.inputs import resolve, sky


class Unavailable(Exception):
    """PNG output asked of an installation without its converter."""


def options(request) -> dict:
    return dict(size=request.size, theme=request.theme, aspects=request.aspects)


def wheel_svg(engine, request) -> str:
    chart = work.cast(engine, request, resolve(request))
    return wheel.natal_svg(chart, **options(request))


def bi_wheel_svg(engine, request) -> str:
    if request.natal.birth is None:
        raise ValueError("natal: a bi-wheel needs the birth, for the natal houses")
    settings = chart_options(request)
    at = resolve(request.natal.birth)
    natal = engine.chart(*sky(at), **settings)
    transit = engine.transit(natal["planets"], *sky(resolve(request)), **settings)
    return wheel.bi_wheel_svg(natal, transit, **options(request))


def map_svg(engine, request) -> str:
    at = resolve(request)
    result = engine.astrocartography(at["utc"], request.bodies, request.mode, at["latitude"],
                                     at["longitude"])
    return world_map.map_svg(result, width=request.size, theme=request.theme)


def png(svg: str) -> bytes:
    try:
        return wheel.to_png(svg)
    except RuntimeError as error:  # no converter installed
        raise Unavailable(str(error)) from None
