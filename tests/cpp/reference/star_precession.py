"""Ecliptic places of date from pyerfa's IAU 2006 precession.

    star_precession.py JD LON,LAT [LON,LAT ...]

Each LON,LAT (degrees) is a direction on the mean ecliptic and equinox of
J2000.0; it is carried to the mean ecliptic and equinox of Julian day JD (TT)
with erfa.ecm06 and printed as one line "LON LAT" in degrees, in input order.
"""
import sys

import erfa
import numpy as np


def main(argv):
    jd = float(argv[0])
    to_j2000 = erfa.ecm06(2451545.0, 0.0)
    to_date = erfa.ecm06(jd, 0.0)
    for pair in argv[1:]:
        lon, lat = (float(x) for x in pair.split(","))
        direction = erfa.s2c(np.radians(lon), np.radians(lat))
        of_date = to_date @ (to_j2000.T @ direction)
        lon_date, lat_date = erfa.c2s(of_date)
        print(f"{float(np.degrees(lon_date)) % 360.0!r} {float(np.degrees(lat_date))!r}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
