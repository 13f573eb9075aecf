"""Positions of the ten kernel bodies from skyfield over the same kernel, in
each of the ways Engine.positions offers them, and the osculating lunar node
and apogee worked out with numpy from the Moon's geocentric state.

Usage: skyfield_positions.py KERNEL WHOLE:TT_FRACTION:LAT:LON:HEIGHT ...
(WHOLE is the UT Julian day, TT = WHOLE + TT_FRACTION; the site in degrees
and metres.) Prints one JSON object keyed by the argument, each holding:
  apparent, astrometric, geometric, topocentric, heliocentric:
      {body: [lon, lat, dist, ra, dec]}  (degrees, au; ecliptic and equator of date)
  speed: {body: dlon/dt} in degrees per day at TT + 30 minutes (central difference)
  true_node: longitude; true_lilith: [lon, lat]
"""
import json
import sys

import numpy as np
from skyfield.api import load, load_file, wgs84
from skyfield.framelib import ecliptic_frame

BODIES = {"Sun": 10, "Moon": 301, "Mercury": 199, "Venus": 299, "Mars": 4, "Jupiter": 5,
          "Saturn": 6, "Uranus": 7, "Neptune": 8, "Pluto": 9}
# G(M_earth + M_moon) of DE440, km^3/s^2, in au^3/day^2.
GM = 403503.235502 * 86400.0 ** 2 / 149597870.7 ** 3

kernel = load_file(sys.argv[1])
ts = load.timescale(builtin=True)
earth, sun, moon = kernel[399], kernel[10], kernel[301]


def at(whole, tt_fraction, seconds=0.0):
    t = ts.tt_jd(whole, tt_fraction + seconds / 86400.0)
    # UT1 exactly as the engine has it, so the Earth turns the same.
    t.delta_t = tt_fraction * 86400.0
    return t


def place(position):
    lat, lon, dist = position.frame_latlon(ecliptic_frame)
    ra, dec, _ = position.radec(epoch="date")
    return [lon.degrees, lat.degrees, dist.au, ra.hours * 15.0, dec.degrees]


def longitude(t, target):
    return earth.at(t).observe(target).apparent().frame_latlon(ecliptic_frame)[1].degrees


def osculating(t):
    state = (moon - earth).at(t)
    rotation = ecliptic_frame.rotation_at(t)
    r, v = rotation @ state.position.au, rotation @ state.velocity.au_per_d
    h = np.cross(r, v)
    e = np.cross(v, h) / GM - r / np.linalg.norm(r)
    node = np.degrees(np.arctan2(h[0], -h[1])) % 360.0
    apogee = -e
    return node, [np.degrees(np.arctan2(apogee[1], apogee[0])) % 360.0,
                  np.degrees(np.arctan2(apogee[2], np.hypot(apogee[0], apogee[1])))]


out = {}
for arg in sys.argv[2:]:
    whole, fraction, lat, lon, height = (float(x) for x in arg.split(":"))
    t = at(whole, fraction)
    site = earth + wgs84.latlon(lat, lon, elevation_m=height)
    row = {key: {} for key in ("apparent", "astrometric", "geometric", "topocentric",
                               "heliocentric", "speed")}
    for name, code in BODIES.items():
        target = kernel[code]
        astrometric = earth.at(t).observe(target)
        row["apparent"][name] = place(astrometric.apparent())
        row["astrometric"][name] = place(astrometric)
        row["geometric"][name] = place((target - earth).at(t))
        row["topocentric"][name] = place(site.at(t).observe(target).apparent())
        if code != 10:
            row["heliocentric"][name] = place(sun.at(t).observe(target))
        step = 60.0
        ahead = longitude(at(whole, fraction, 1800.0 + step), target)
        behind = longitude(at(whole, fraction, 1800.0 - step), target)
        row["speed"][name] = ((ahead - behind + 180.0) % 360.0 - 180.0) * 86400.0 / (2 * step)
    row["true_node"], row["true_lilith"] = osculating(t)
    out[arg] = row
print(json.dumps(out))
