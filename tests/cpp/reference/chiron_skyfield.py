"""Chiron's apparent place of date by skyfield, from JPL HORIZONS states.

Prints one line per state: the UT1 Julian day of the state's epoch and
Chiron's geocentric apparent ecliptic longitude (true ecliptic and equinox
of date) in degrees. An independent check of the embedded Chiron table:
skyfield's own light time, deflection, aberration, precession-nutation and
Delta T. The states are the JPL HORIZONS heliocentric ICRF states of
2060 Chiron at 00:00 TDB (au, au/day), as in the project's shared data file
chiron-horizons-states.json.
"""
import os
import sys

import numpy as np
from skyfield.api import load, load_file
from skyfield.framelib import ecliptic_frame
from skyfield.vectorlib import VectorFunction

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", ".."))
from tests.support.kernels import de440_path  # noqa: E402

STATES = (
    (2451544.5, (-3.532082802845036, -8.673587566387649, -2.935491685233997),
     (4.970678433106630e-03, -3.627773229067521e-03, -8.262541278709376e-04)),
    (2455197.5, (13.19148992863117, -9.058771972133892, -2.018744306999665),
     (3.172737184697467e-03, 2.077241872967885e-03, 8.475052013853388e-04)),
    (2458849.5, (18.74979015626275, 0.9060856547258316, 1.445166327129911),
     (-5.188250744254794e-05, 2.988627504002276e-03, 9.318734038577373e-04)),
    (2462502.5, (13.13185175469694, 10.45171373019759, 4.086005508618447),
     (-2.967275252793649e-03, 1.899724574528414e-03, 4.099535209360336e-04)),
    (2466154.5, (-1.878330124332237, 10.99286850835428, 3.325776674355994),
     (-4.676386182330938e-03, -2.507129241195810e-03, -1.075315590956888e-03)),
)
GM_SUN = 0.29591220828411956e-3  # au^3/day^2


class Chiron(VectorFunction):
    """Barycentric Chiron near one HORIZONS epoch: the heliocentric state
    carried over the light time (a tenth of a day) by a second-order
    Taylor step under the Sun, plus the Sun's barycentric state."""

    center = 0
    target = "Chiron"

    def __init__(self, sun, epoch, position, velocity):
        self.sun = sun
        self.epoch = epoch
        self.r0 = np.array(position)
        self.v0 = np.array(velocity)
        self.a0 = -GM_SUN * self.r0 / np.linalg.norm(self.r0) ** 3

    def _at(self, t):
        sun_p, sun_v, _, _ = self.sun._at(t)
        dt = t.tdb - self.epoch
        p = self.r0 + self.v0 * dt + 0.5 * self.a0 * dt * dt
        v = self.v0 + self.a0 * dt
        return sun_p + p, sun_v + v, None, None


def apparent_longitudes(path):
    """[(UT1 Julian day, longitude in degrees)] at the HORIZONS epochs."""
    ts = load.timescale(builtin=True)
    eph = load_file(path)
    earth = eph["earth"]
    sun = eph["sun"]
    rows = []
    for epoch, position, velocity in STATES:
        t = ts.tdb_jd(epoch)
        body = Chiron(sun, epoch, position, velocity)
        _, lon, _ = earth.at(t).observe(body).apparent().frame_latlon(ecliptic_frame)
        rows.append((float(t.ut1), float(lon.degrees)))
    eph.close()
    return rows


def main():
    path = de440_path()
    if path is None:
        sys.exit("no kernel")
    for jd, longitude in apparent_longitudes(path):
        print(f"{jd!r} {longitude!r}")


if __name__ == "__main__":
    main()
