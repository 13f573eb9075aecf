"""The astrocartography subcommand: the lines, parans and local space of a
birth, as a table or JSON, and the lines as GeoJSON."""
from __future__ import annotations

import json

from .. import astro_map, world_map
from .common import NOT_AVAILABLE, Failure, add_place, open_engine, subcommand, where
from .pictures import THEMES, write_file


def add_commands(commands) -> None:
    sub = subcommand(commands, "astrocartography",
                     "where on Earth each body is angular at a birth: lines and parans")
    add_place(sub)
    group = sub.add_argument_group("lines")
    group.add_argument("--bodies", metavar="NAMES",
                       help="bodies joined by commas (default Sun to Pluto)")
    group.add_argument("--mode", choices=["mundo", "zodiaco"], default="mundo",
                       help="mundo: the bodies' own right ascension and declination; "
                            "zodiaco: the ecliptic point of their longitude (default mundo)")
    group.add_argument("--geojson", metavar="PATH",
                       help="also write the lines as a GeoJSON FeatureCollection into PATH")
    # Their own destinations: the chart pictures' --svg would draw a wheel.
    group = sub.add_argument_group("the map")
    group.add_argument("--svg", dest="map_svg", metavar="PATH",
                       help="also draw the map as SVG into PATH")
    group.add_argument("--png", dest="map_png", metavar="PATH",
                       help="also draw the map as PNG into PATH")
    group.add_argument("--theme", choices=THEMES, default="light", help="map colours")
    group.add_argument("--size", type=float, default=1200, metavar="PIXELS",
                       help="map width in pixels (default 1200)")
    group.add_argument("--title", help="a caption for the map")


def astrocartography(args) -> dict:
    bodies = [b.strip() for b in args.bodies.split(",") if b.strip()] if args.bodies else None
    result = astro_map.astrocartography(args.moment, engine=open_engine(args), bodies=bodies,
                                        mode=args.mode, **where(args))
    if args.geojson:
        write_file(args.geojson, json.dumps(astro_map.to_geojson(result)).encode("utf-8"))
    if args.map_svg or args.map_png:
        svg = world_map.map_svg(result, width=args.size, theme=args.theme, title=args.title)
        if args.map_svg:
            write_file(args.map_svg, svg.encode("utf-8"))
        if args.map_png:
            from ..svg import to_png
            try:
                write_file(args.map_png, to_png(svg))
            except RuntimeError as missing:  # no cairosvg here
                raise Failure(str(missing), NOT_AVAILABLE) from None
    if args.json:
        return result
    # The table: the bodies, then the parans; the line samples stay in --json.
    return {"input": result["input"], "mode": result["mode"],
            "sidereal_time": result["sidereal_time"], "bodies": result["bodies"],
            "parans": result["parans"]}


COMMANDS = {"astrocartography": astrocartography}
