"""Reference Sun altitudes, risings and settings from skyfield over DE440.

    sun_events.py events LAT LON UT_START UT_END [LAT LON UT_START UT_END ...]
        for each place and span, one line "TT_JD UT1_JD STATE" per change of
        "Sun up" (apparent topocentric altitude of the centre >= -0.8333 deg),
        STATE 1 for a rising, 0 for a setting, then a line "--"; searched
        with skyfield's find_discrete on a 0.04-day grid down to one
        millisecond.
    sun_events.py altitude LAT LON TT_JD [TT_JD ...]
        one apparent altitude in degrees per TT Julian day.

Places are geodetic on WGS 84 at height zero. Prints nothing and exits 1
when the kernel is not installed.
"""
import os
import sys

sys.path.insert(0, os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "..")))

from skyfield.api import load, wgs84  # noqa: E402
from skyfield.jpllib import SpiceKernel  # noqa: E402
from skyfield.searchlib import find_discrete  # noqa: E402

from tests.support.kernels import de440_path  # noqa: E402

HORIZON = -0.8333


def main(argv):
    path = de440_path()
    if not path:
        return 1
    ts = load.timescale()
    eph = SpiceKernel(path)
    mode = argv[0]
    sun = eph["sun"]

    def altitude(site, t):
        return site.at(t).observe(sun).apparent().altaz()[0].degrees

    if mode == "altitude":
        site = eph["earth"] + wgs84.latlon(float(argv[1]), float(argv[2]))
        for text in argv[3:]:
            print(repr(float(altitude(site, ts.tt_jd(float(text))))))
        return 0

    args = argv[1:]
    for i in range(0, len(args) - 3, 4):
        lat, lon, start, end = (float(x) for x in args[i:i + 4])
        site = eph["earth"] + wgs84.latlon(lat, lon)

        def sun_up(t):
            return altitude(site, t) >= HORIZON

        sun_up.step_days = 0.04
        times, states = find_discrete(ts.ut1(jd=start), ts.ut1(jd=end), sun_up,
                                      epsilon=1e-3 / 86400.0)
        for t, state in zip(times, states):
            print(f"{float(t.tt)!r} {float(t.ut1)!r} {int(state)}")
        print("--")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
