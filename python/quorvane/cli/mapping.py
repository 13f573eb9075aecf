"""The astrocartography subcommand: the lines, parans and local space of a
birth, as a table or JSON, and the lines as GeoJSON."""
from __future__ import annotations

import json

from .. import astro_map
from .common import open_engine, subcommand, where, add_place
from .pictures import write_file


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


def astrocartography(args) -> dict:
    bodies = [b.strip() for b in args.bodies.split(",") if b.strip()] if args.bodies else None
    result = astro_map.astrocartography(args.moment, engine=open_engine(args), bodies=bodies,
                                        mode=args.mode, **where(args))
    if args.geojson:
        write_file(args.geojson, json.dumps(astro_map.to_geojson(result)).encode("utf-8"))
    if args.json:
        return result
    # The table: the bodies, then the parans; the line samples stay in --json.
    return {"input": result["input"], "mode": result["mode"],
            "sidereal_time": result["sidereal_time"], "bodies": result["bodies"],
            "parans": result["parans"]}


COMMANDS = {"astrocartography": astrocartography}
