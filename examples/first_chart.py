"""A first chart: a birth in New York on 14 July 1990 at 08:30 local time.

The place is found by name (with its coordinates and time zone), the local
time becomes UTC through the zone's rules, and the chart keeps both.
"""
import sys

import quorvane

try:
    chart = quorvane.natal("1990-07-14 08:30", "New York", house_system="P")
except ImportError as missing:  # the places or data extra
    sys.exit(f"{missing} (scripts/setup.sh installs both)")

given = chart["input"]
print(f"quorvane {quorvane.__version__}: {given['place']['name']}, "
      f"{given['place']['country']} ({given['latitude']:.4f}, {given['longitude']:.4f})")
print(f"local time {given['local_time']} {given['zone_abbreviation']} "
      f"(UTC{given['utc_offset']}, {given['timezone']}) = {given['utc']}")

print(f"\n{'body':<12} {'sign':<12} {'position':>9}  house  speed °/day")
for p in chart["planets"]:
    retro = " R" if p["is_retrograde"] else ""
    print(f"{p['name']:<12} {p['sign']:<12} {p['degree']:>3}°{p['minute']:02d}'    "
          f"{p['house']:>4}  {p['speed']:+.4f}{retro}")
hours = chart["planetary_hours"]
print(f"\nsect {chart['sect']}; day of {hours['day_ruler']}, "
      f"{hours['hour_type'].lower()} hour {hours['hour_number']} ruled by {hours['hour_ruler']}")
print(f"{len(chart['aspects'])} aspects, first: " + ", ".join(
    f"{a['body1']} {a['aspect_type']} {a['body2']} ({a['orb']}°)" for a in chart["aspects"][:3]))

# A time the clocks skipped (or showed twice) is refused with the reason.
try:
    quorvane.natal("2024-03-31 02:30", "Berlin")
except quorvane.NonexistentTimeError as error:
    print(f"\n{error}")
