"""The house systems and the houses' obliquity through every method that casts
houses, checked against pyerfa's sidereal time and nutation."""
import datetime
import math
import random
import warnings

import erfa
import pytest

import quorvane_engine as q

OLDER = "PKRCTBMOEVW"


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def cusps(chart):
    return [h["ecliptic_longitude"] for h in chart["houses"]]


def test_every_system_by_letter_and_name_in_every_method_that_casts_houses(engine):
    birth, later = "1990-07-14T12:30:00Z", "2030-01-01T00:00:00Z"
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        for system in q.option_codes()["house_system"]:
            for text in {system["code"], system["name"]} - ({system["name"]} if system["code"] in OLDER else set()):
                charts = [
                    engine.chart(birth, 40.7, -74.0, house_system=text, house_obliquity="true"),
                    engine.horary(birth, -33.9, 151.2, house_system=text),
                    engine.progressions(birth, later, 40.7, -74.0, house_system=text),
                    engine.composite(birth, 40.7, -74.0, later, 51.5, 0.0, house_system=text),
                ]
                for chart in charts:
                    c = cusps(chart)
                    # Gauquelin's 36 sectors run with the diurnal motion, against the zodiac.
                    count = 36 if system["code"] == "G" else 12
                    if count == 36:
                        c = c[::-1]
                    assert len(c) == count and all(0.0 <= x < 360.0 for x in c), (text, c)
                    # No two cusps coincide and they go round the circle once.
                    arcs = [(c[(i + 1) % count] - c[i]) % 360.0 for i in range(count)]
                    assert math.isclose(sum(arcs), 360.0, abs_tol=1e-6), (text, arcs)


def test_true_obliquity_puts_the_midheaven_at_the_local_apparent_sidereal_time(engine):
    rng = random.Random(37)
    moved = 0.0
    for _ in range(120):
        when = datetime.datetime(1900, 1, 1) + datetime.timedelta(days=rng.uniform(0.0, 73000.0))
        lat, lon = rng.uniform(-66.0, 66.0), rng.uniform(-180.0, 180.0)
        text = when.isoformat() + "Z"
        jd = q.julian_day(text)  # UT1 taken as UTC, as the engine does
        tt = jd + 69.0 / 86400.0  # Delta T moves these by far less than the tolerance
        last = math.degrees(erfa.gst06a(jd, 0.0, tt, 0.0)) + lon
        eps = math.degrees(erfa.obl80(tt, 0.0) + erfa.nut06a(tt, 0.0)[1])
        expected = math.degrees(math.atan2(math.sin(math.radians(last)),
                                           math.cos(math.radians(eps)) * math.cos(math.radians(last)))) % 360.0
        for system in ("P", "X", "G"):
            true_mc = engine.chart(text, lat, lon, house_system=system, house_obliquity="TRUE")["houses"][9]
            mean_mc = engine.chart(text, lat, lon, house_system=system)["houses"][9]
            assert abs((true_mc["ecliptic_longitude"] - expected + 180.0) % 360.0 - 180.0) < 2e-6
            moved = max(moved, abs(true_mc["ecliptic_longitude"] - mean_mc["ecliptic_longitude"]))
    # The option is felt, and by no more than half an arcminute.
    assert 1e-4 < moved < 0.5 / 60.0
    with pytest.raises(ValueError, match="house_obliquity"):
        engine.chart("2000-01-01T00:00Z", 1.0, 2.0, house_obliquity="apparent")
