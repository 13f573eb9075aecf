"""Reference solar terms, new moons, solar longitudes and the equation of time
from skyfield over DE440, for the Chinese calendar tests.

    chinese_sky.py terms UT_START UT_END
        one line "TT_JD UT1_JD LONGITUDE" per instant the Sun's apparent
        geocentric ecliptic longitude of date crosses a multiple of 15
        degrees (LONGITUDE the multiple reached).
    chinese_sky.py moons UT_START UT_END
        one line "TT_JD UT1_JD" per new moon (apparent ecliptic longitudes
        of date of the Moon and the Sun equal).
    chinese_sky.py longitude BODY UT_JD [UT_JD ...]
        BODY "sun" or "moon": one apparent ecliptic longitude of date in
        degrees per UT1 Julian day.
    chinese_sky.py eot UT_JD [UT_JD ...]
        the equation of time (apparent minus mean solar time) in minutes,
        from the Sun's apparent right ascension and the Greenwich apparent
        sidereal time, per UT1 Julian day.

Events are found with skyfield's find_discrete to 1 ms. Prints nothing and
exits 1 when the kernel is not installed.
"""
import os
import sys

sys.path.insert(0, os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "..")))

import numpy as np  # noqa: E402
from skyfield import almanac  # noqa: E402
from skyfield.api import load  # noqa: E402
from skyfield.framelib import ecliptic_frame  # noqa: E402
from skyfield.jpllib import SpiceKernel  # noqa: E402
from skyfield.searchlib import find_discrete  # noqa: E402

from tests.support.kernels import de440_path  # noqa: E402

EPSILON = 1e-3 / 86400.0


def main(argv):
    path = de440_path()
    if not path:
        return 1
    ts = load.timescale()
    eph = SpiceKernel(path)
    earth, sun, moon = eph["earth"], eph["sun"], eph["moon"]
    mode = argv[0]

    def longitude_of(body, t):
        return earth.at(t).observe(body).apparent().frame_latlon(ecliptic_frame)[1].degrees

    if mode == "terms":
        start, end = float(argv[1]), float(argv[2])

        def term(t):
            return (longitude_of(sun, t) // 15).astype(int) % 24

        term.step_days = 5.0
        times, values = find_discrete(ts.ut1(jd=start), ts.ut1(jd=end), term, epsilon=EPSILON)
        for t, v in zip(times, values):
            print(f"{float(t.tt)!r} {float(t.ut1)!r} {int(v) * 15}")
    elif mode == "moons":
        start, end = float(argv[1]), float(argv[2])
        phases = almanac.moon_phases(eph)
        times, values = find_discrete(ts.ut1(jd=start), ts.ut1(jd=end), phases, epsilon=EPSILON)
        for t, v in zip(times, values):
            if v == 0:
                print(f"{float(t.tt)!r} {float(t.ut1)!r}")
    elif mode == "longitude":
        body = sun if argv[1] == "sun" else moon
        t = ts.ut1(jd=np.array([float(x) for x in argv[2:]]))
        for value in np.atleast_1d(longitude_of(body, t)):
            print(repr(float(value)))
    elif mode == "eot":
        t = ts.ut1(jd=np.array([float(x) for x in argv[1:]]))
        ra = earth.at(t).observe(sun).apparent().radec(epoch="date")[0].hours
        day_fraction = np.mod(t.ut1 + 0.5, 1.0)
        hours = np.mod(t.gast - ra + 12.0 - 24.0 * day_fraction + 12.0, 24.0) - 12.0
        for value in np.atleast_1d(hours * 60.0):
            print(repr(float(value)))
    else:
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
