"""The engine at its edges: what it refuses, what it warns about, and the
answers that must agree with a definition rather than pass for right."""
from __future__ import annotations

import math
import random
import subprocess
import sys
import textwrap
import warnings

import numpy as np
import pytest

import quorvane_engine as q
from quorvane.localtime import parse_offset

MOMENT = "2000-01-01T12:00:00Z"
BIRTH = ("1990-07-14T12:30:00Z", 40.71, -74.0)


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


CALENDAR = None


def calendar(engine):
    global CALENDAR
    if CALENDAR is None:
        CALENDAR = engine.chart(MOMENT, 0.0, 0.0, chinese_calendar=True)["chinese_calendar"]
    return CALENDAR


# (call, exception, words the message must hold)
REFUSALS = {
    "davison latitude": (lambda e: e.davison(MOMENT, -1000, 0, MOMENT, 40, -74), ValueError,
                         "latitude_a"),
    "composite latitude": (lambda e: e.composite(MOMENT, 10, 0, MOMENT, 91, -74), ValueError,
                           "latitude_b"),
    "height below": (lambda e: e.positions(MOMENT, ["Moon"], center="topocentric", latitude=90,
                                           longitude=0, height=-6356752.3), ValueError, "height"),
    "height above": (lambda e: e.positions(MOMENT, ["Moon"], center="topocentric", latitude=0,
                                           longitude=0, height=1e300), ValueError, "height"),
    "heliocentric node": (lambda e: e.positions(MOMENT, ["North Node"], center="heliocentric"),
                          Exception, "heliocentric"),
    "heliocentric chiron": (lambda e: e.positions(2451545.0, ["Chiron"], center="heliocentric"),
                            Exception, "heliocentric"),
    "quesited 13": (lambda e: e.horary(MOMENT, 51.5, 0.0, quesited_house=13), ValueError,
                    "quesited_house"),
    "february 30th": (lambda e: e.chart("2024-02-30T12:00:00Z", 0, 0), ValueError, "2024-02-30"),
    "bazi date": (lambda e: q.bazi(calendar(e), MOMENT, 0.0, 0.0, date="2023-02-29"), Exception,
                  "date"),
    "zi wei date": (lambda e: q.zi_wei(calendar(e), MOMENT, 0.0, 0.0, date="2024-04-31"),
                    Exception, "date"),
    "float moment": (lambda e: e.chart(2451545.0, 0, 0), AttributeError, "ISO 8601"),
    "nan in orbs": (lambda e: e.chart(MOMENT, 0, 0, orb_settings={"default": math.nan}),
                    ValueError, "orb_settings"),
    "huge int in natal": (lambda e: e.transit_timeline(
        [{"name": "Sun", "ecliptic_longitude": 10**400}], MOMENT, "2000-02-01T00:00:00Z"),
        ValueError, "natal_chart"),
    "orb over 90": (lambda e: q.declination_aspects(e.positions(MOMENT), orb=1000), ValueError,
                    "orb"),
    "too many cells": (lambda e: e.positions(np.full(800_000, 2451545.0)), ValueError,
                       "batches"),
    "too many points": (lambda e: q.synastry([{"name": f"P{i}", "ecliptic_longitude": i}
                                              for i in range(3000)], [], None), Exception,
                        "at most"),
    "node text": (lambda e: e.chart(MOMENT, 0, 0, node="osculating"), ValueError, "node"),
    "zodiac mismatch": (lambda e: e.transit_timeline(
        e.chart(MOMENT, 0, 0, zodiac_type="sidereal", ayanamsa="lahiri"), MOMENT,
        "2000-02-01T00:00:00Z", zodiac_type="tropical"), ValueError, "sidereal"),
    "offset minutes": (lambda e: parse_offset("+05:99"), ValueError, "+05:99"),
    "offset huge": (lambda e: parse_offset(1e300), ValueError, "offset"),
}


@pytest.mark.parametrize("name", sorted(REFUSALS))
def test_refusals_name_what_is_wrong(engine, name):
    call, kind, words = REFUSALS[name]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        with pytest.raises(kind) as raised:
            call(engine)
    assert words in str(raised.value)
    assert not isinstance(raised.value, (KeyError, IndexError))


UNKNOWN_OPTIONS = {
    "positions": lambda e: e.positions(MOMENT, ["Sun"], ayanamsa="lahri", zodiac_type="sidereal"),
    "returns": lambda e: e.returns("Sun", 10.0, MOMENT, "2001-06-01T00:00:00Z",
                                   zodiac_type="sidereal", ayanamsa="lahri"),
    "planet_return": lambda e: e.planet_return("Sun", 10.0, MOMENT, 0.0, 0.0, ayanamsa="lahri",
                                               zodiac_type="sidereal"),
    "transit_timeline": lambda e: e.transit_timeline(
        [{"name": "Sun", "ecliptic_longitude": 10.0}], MOMENT, "2000-03-01T00:00:00Z",
        orb_settings={"method": "junk"}),
    "composite": lambda e: e.composite(MOMENT, 0, 0, MOMENT, 10, 10, house_system="Zz"),
    "davison": lambda e: e.davison(MOMENT, 0, 0, MOMENT, 10, 10, zodiac_type="sidreal"),
    "solar_arc_directions": lambda e: e.solar_arc_directions(
        BIRTH[0], "2000-01-01T00:00:00Z", "2001-01-01T00:00:00Z", *BIRTH[1:], ayanamsa="lahri",
        zodiac_type="sidereal"),
    "progressions": lambda e: e.progressions(BIRTH[0], "2000-01-01T00:00:00Z", *BIRTH[1:],
                                             orb_settings={"method": 5}),
    "chart": lambda e: e.chart(MOMENT, 0, 0, dignity_scheme="lily"),
}


@pytest.mark.parametrize("name", sorted(UNKNOWN_OPTIONS))
def test_every_method_warns_of_an_unknown_option(engine, name):
    with warnings.catch_warnings():
        warnings.simplefilter("error", q.UnknownOptionWarning)
        with pytest.raises(q.UnknownOptionWarning, match="unknown .*accepted"):
            UNKNOWN_OPTIONS[name](engine)
    assert issubclass(q.UnknownOptionWarning, UserWarning)


def test_a_list_emptied_by_another_thread_does_not_crash_declination_aspects(de440):
    script = textwrap.dedent(f"""
        import threading, quorvane_engine as q
        e = q.Engine([{de440!r}])
        p = e.positions(["2000-01-01T00:00:00Z"] * 400, ["Sun", "Moon", "Mars", "Venus"] * 8)
        names = list(p["bodies"])
        stop = False
        def spoil():
            while not stop:
                p["bodies"].clear()
                p["bodies"].extend(names)
        t = threading.Thread(target=spoil)
        t.start()
        for _ in range(300):
            try:
                q.declination_aspects(p, orb=5.0)
            except ValueError:
                pass
        stop = True
        t.join()
        print("ok")
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=300)
    assert done.returncode == 0 and done.stdout.strip() == "ok", done.stderr[-2000:]


def test_sect_beyond_the_polar_circles_follows_the_suns_altitude(engine):
    erfa = pytest.importorskip("erfa")
    rng = random.Random(7)
    checked = 0
    for _ in range(150):
        latitude = rng.choice([-1, 1]) * rng.uniform(67.0, 89.0)
        longitude = rng.uniform(-180, 180)
        jd = 2451545.0 + rng.uniform(-20000, 20000)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            chart = engine.chart(jd_text(jd), latitude, longitude)
        sun = next(p for p in chart["planets"] if p["name"] == "Sun")
        # The Sun's ecliptic place seen from the site, by ERFA: ecliptic of
        # date to equator of date, then the hour angle from the sidereal time.
        lam = math.radians(sun["ecliptic_longitude"])
        eps = erfa.obl06(jd, 0.0)
        ra = math.atan2(math.cos(eps) * math.sin(lam), math.cos(lam))
        dec = math.asin(math.sin(eps) * math.sin(lam))
        hour_angle = erfa.gst06a(jd, 0.0, jd, 0.0) + math.radians(longitude) - ra
        phi = math.radians(latitude)
        altitude = math.degrees(math.asin(math.sin(phi) * math.sin(dec) + math.cos(phi) *
                                          math.cos(dec) * math.cos(hour_angle)))
        if abs(altitude) < 0.05:
            continue
        checked += 1
        assert chart["sect"] == ("diurnal" if altitude > 0 else "nocturnal"), (jd, latitude)
        assert chart["house_system_used"] == "O" and "polar" in chart["house_system_fallback"]
    assert checked > 100


def jd_text(jd: float) -> str:
    return jd_moment(jd).replace(microsecond=0).isoformat() + "Z"


def jd_moment(jd: float):
    import datetime
    return datetime.datetime(2000, 1, 1, 12) + datetime.timedelta(days=jd - 2451545.0)


def test_house_system_records_what_was_cast(engine):
    with pytest.warns(UserWarning, match="polar"):
        polar = engine.chart("1990-12-21T11:00:00Z", 69.65, 18.96, house_system="P")
    assert (polar["house_system"], polar["house_system_used"], polar["sect"]) == (
        "P", "O", "nocturnal")
    with pytest.warns(q.UnknownOptionWarning):
        unknown = engine.chart(MOMENT, 10.0, 0.0, house_system="Zz")
    assert unknown["house_system_used"] == "P" and "Zz" in unknown["house_system_fallback"]
    named = engine.chart(MOMENT, 10.0, 0.0, house_system="campanus")
    assert named["house_system"] == "campanus" and named["house_system_used"] == "C"
    assert named["house_system_fallback"] is None


def test_a_station_on_the_natal_degree_is_one_return(engine):
    # Mercury's stations in 2020, from a fine scan of its longitude.
    days = np.arange(2458850.5, 2459215.5, 1 / 24)
    cols = engine.positions(days, ["Mercury"])
    speed = cols["longitude_speed"][:, 0]
    stations = np.nonzero(np.sign(speed[1:]) != np.sign(speed[:-1]))[0]
    assert len(stations) >= 6
    for index in stations:
        # The station's own longitude, to the minute: the turning point.
        minutes = days[index] - 1 / 24 + np.arange(0, 3 * 60) / 1440
        track = engine.positions(minutes, ["Mercury"])["longitude"][:, 0]
        turned = track.argmax() if speed[index] > 0 else track.argmin()
        natal = float(track[turned])
        found = engine.returns("Mercury", natal, jd_moment(days[index] - 5),
                               jd_moment(days[index] + 5))
        near = [r for r in found["returns"] if abs(r["julian_day"] - minutes[turned]) < 1.0]
        assert len(near) == 1, near


def test_supports_means_a_chart_can_be_cast(engine):
    first, last = engine.coverage
    edges = [first + k * 0.02 for k in range(25)] + [last - k * 0.005 for k in range(1, 20)]
    outcomes = set()
    for jd in edges:
        try:
            engine.chart(jd_moment(jd), 0.0, 0.0)
            cast = True
        except q.EphemerisRangeError as error:
            cast = False
            assert "outside" in str(error)
        assert engine.supports(jd) == cast, jd
        outcomes.add(cast)
    assert outcomes == {True, False}


def test_a_sidereal_natal_chart_times_transits_in_its_own_zodiac(engine):
    natal = engine.chart(BIRTH[0], *BIRTH[1:], zodiac_type="sidereal", ayanamsa="lahiri")
    sun = next(p for p in natal["planets"] if p["name"] == "Sun")
    timeline = engine.transit_timeline(natal, "1991-06-01T00:00:00Z", "1991-08-01T00:00:00Z",
                                       bodies=["Sun"])
    hits = [exact for passing in timeline["aspects"] if passing["natal"] == "Sun" and
            passing["angle"] == 0 for exact in passing["exact"]]
    assert len(hits) == 1
    at = engine.positions(hits[0]["julian_day"], ["Sun"], zodiac_type="sidereal",
                          ayanamsa="lahiri")
    assert abs((at["longitude"][0, 0] - sun["ecliptic_longitude"] + 180) % 360 - 180) < 1e-4


def test_the_true_node_of_a_chart_is_the_true_node_of_positions(engine):
    rng = random.Random(3)
    for _ in range(20):
        jd = 2451545.0 + rng.uniform(-30000, 30000)
        text = jd_text(jd)
        chart = engine.chart(text, 0.0, 0.0, node="true")
        raw = engine.positions(text, ["True Node", "True South Node"])
        nodes = {p["name"]: p for p in chart["planets"]}
        assert nodes["North Node"]["ecliptic_longitude"] == raw["longitude"][0, 0]
        assert nodes["South Node"]["ecliptic_longitude"] == pytest.approx(
            raw["longitude"][0, 1], abs=1e-9)
        assert chart["node"] == "true"
