"""House positions and Gauquelin's sectors through the Python API, checked
against the hour angles of pyerfa's sidereal time and obliquity."""
import datetime
import math
import random
import re

import erfa
import numpy as np
import pytest

import quorvane_engine as q


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def turned(x):
    """Degrees into [-180, 180)."""
    return (x + 180.0) % 360.0 - 180.0


def semi_arc_shares(text, lat, lon, body):
    """The body's hour angle as a share of its diurnal semi-arc (-1 rising, 1
    setting) or, below the horizon, of its nocturnal one from the lower
    meridian (-1 setting, 1 rising), and whether it is above."""
    jd = q.julian_day(text)  # UT1 taken as UTC, as the engine does
    tt = jd + 69.0 / 86400.0
    last = math.degrees(erfa.gst06a(jd, 0.0, tt, 0.0)) + lon
    eps = erfa.obl80(tt, 0.0)
    lam, beta = math.radians(body["longitude"]), math.radians(body["latitude"])
    ecliptic = np.array([math.cos(beta) * math.cos(lam), math.cos(beta) * math.sin(lam),
                         math.sin(beta)])
    x, y, z = erfa.rx(-eps, np.eye(3)) @ ecliptic
    ra, dec = math.degrees(math.atan2(y, x)), math.asin(z)
    h = turned(last - ra)
    dsa = math.degrees(math.acos(max(-1.0, min(1.0, -math.tan(math.radians(lat)) * math.tan(dec)))))
    if dsa > 0.0 and abs(h) <= dsa:
        return True, h / dsa
    return False, turned(h - 180.0) / (180.0 - dsa)


def test_placidus_and_gauquelin_positions_are_the_shares_of_the_semi_arcs(engine):
    rng = random.Random(1957)
    checked = 0
    for _ in range(150):
        when = datetime.datetime(1900, 1, 1) + datetime.timedelta(days=rng.uniform(0.0, 73000.0))
        text = when.isoformat() + "Z"
        lat, lon = rng.uniform(-60.0, 60.0), rng.uniform(-180.0, 180.0)
        placidus = engine.house_positions(text, lat, lon)["positions"]
        sectors = engine.house_positions(text, lat, lon, house_system="G")["positions"]
        for p, g in zip(placidus, sectors):
            above, share = semi_arc_shares(text, lat, lon, p)
            # Houses count against the diurnal motion, sectors with it.
            house = 10.0 - 3.0 * share if above else 4.0 - 3.0 * share
            sector = 10.0 + 9.0 * share if above else 28.0 + 9.0 * share
            assert abs(turned((p["house_position"] - house) * 30.0)) < 1e-5, (text, lat, p)
            assert abs(turned((g["house_position"] - sector) * 10.0)) < 3e-5, (text, lat, g)
            assert 1.0 <= p["house_position"] < 13.0 and 1.0 <= g["house_position"] < 37.0
            checked += 1
    assert checked == 150 * 14


def test_gauquelin_charts_list_36_sectors_and_keep_twelve_houses_where_twelve_are_read(engine):
    birth, lat, lon = "1990-07-14T12:30:00Z", 48.85, 2.35
    p = engine.chart(birth, lat, lon)
    g = engine.chart(birth, lat, lon, house_system="G")
    assert [h["house_number"] for h in g["houses"]] == list(range(1, 37))
    # Sector 1 + 3j starts house 12 - j after house 1: the Placidus cusps to the bit.
    for j in range(12):
        assert g["houses"][3 * j]["ecliptic_longitude"] == p["houses"][(12 - j) % 12]["ecliptic_longitude"]
    assert [b["house"] for b in g["planets"]] == [b["house"] for b in p["planets"]]
    assert g["arabic_parts"] == p["arabic_parts"]
    horary = [engine.horary(birth, lat, lon, house_system=s, quesited_house=7) for s in "PG"]
    assert horary[0]["horary_data"] == horary[1]["horary_data"]
    derived = [q.derived_chart(c, 4) for c in (p, g)]
    assert derived[0]["houses"] == derived[1]["houses"]
    elected = [engine.election(birth, lat, lon, house_system=s)["election_data"] for s in "PG"]
    assert elected[0] == elected[1]


def test_the_wheel_draws_36_sectors_numbered_every_third(engine):
    from quorvane import wheel
    chart = engine.chart("1990-07-14T12:30:00Z", 48.85, 2.35, house_system="G")
    svg = wheel.natal_svg(chart)
    assert svg.count('class="sector"') == 36 and 'class="cusp"' not in svg
    numbers = re.findall(r'class="sector-number"[^>]*>(\d+)<', svg)
    assert sorted(map(int, numbers)) == list(range(1, 37, 3))
