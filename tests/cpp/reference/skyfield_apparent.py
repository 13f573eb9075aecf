"""Apparent geocentric ecliptic places (true ecliptic and equinox of date)
of the ten kernel bodies, from skyfield over the same kernel.

Usage: skyfield_apparent.py KERNEL WHOLE:TT_FRACTION ...
Prints one JSON object: {"<whole>:<fraction>": {body: [lon, lat, dist]}}.
"""
import json
import sys

from skyfield.api import load_file
from skyfield.framelib import ecliptic_frame

BODIES = {"Sun": 10, "Moon": 301, "Mercury": 199, "Venus": 299, "Mars": 4, "Jupiter": 5,
          "Saturn": 6, "Uranus": 7, "Neptune": 8, "Pluto": 9}

kernel = load_file(sys.argv[1])
from skyfield.api import load

ts = load.timescale(builtin=True)
earth = kernel[399]
out = {}
for arg in sys.argv[2:]:
    whole, fraction = (float(x) for x in arg.split(":"))
    t = ts.tt_jd(whole, fraction)
    row = {}
    for name, code in BODIES.items():
        apparent = earth.at(t).observe(kernel[code]).apparent()
        lat, lon, dist = apparent.frame_latlon(ecliptic_frame)
        row[name] = [lon.degrees, lat.degrees, dist.au]
    out[arg] = row
print(json.dumps(out))
