"""Eclipses: lunar ones against skyfield's eclipselib over the same kernel
(same list, same types but at the penumbral-partial and partial-total
boundaries where the shadow rules differ, greatest eclipse within 30 s),
the lunar contacts and the solar greatest eclipse against the geometry of
skyfield's apparent Sun and Moon, well-known solar eclipses by date, type
and Saros series, Saros member numbers and hybrid eclipses against NASA's
catalogues."""
import math
import os
import random

import numpy as np
import pytest

import quorvane_engine as q

TYPES = ["penumbral", "partial", "total"]
EARTH_KM = 6378.137
AU_KM = 149597870.7

# Date, type and Saros series of solar eclipses from NASA's Five Millennium
# Canon of Solar Eclipses (F. Espenak and J. Meeus, NASA/TP-2006-214141).
SOLAR_FACTS = [
    ("1999-08-11", "total", 145), ("2003-05-31", "annular", 147), ("2005-04-08", "hybrid", 129),
    ("2006-03-29", "total", 139), ("2010-07-11", "total", 146), ("2012-05-20", "annular", 128),
    ("2013-11-03", "hybrid", 143), ("2016-03-09", "total", 130), ("2017-08-21", "total", 145),
    ("2019-07-02", "total", 127), ("2020-06-21", "annular", 137), ("2021-06-10", "annular", 147),
    ("2021-12-04", "total", 152), ("2022-10-25", "partial", 124), ("2023-04-20", "hybrid", 129),
    ("2023-10-14", "annular", 134), ("2024-04-08", "total", 139), ("2025-03-29", "partial", 149),
    ("2026-08-12", "total", 126), ("2027-08-02", "total", 136), ("2028-07-22", "total", 146),
    ("2030-06-01", "annular", 128),
]


# Saros member numbers (1 = first of the series) from NASA's Saros catalogues
# (F. Espenak) as quoted with each eclipse: series 145 (22 of 77), 139 (30 of
# 71) and lunar 136 (20 of 72).
MEMBER_FACTS = [("solar_eclipse", "2017-08-21", 145, 22), ("solar_eclipse", "2024-04-08", 139, 30),
                ("lunar_eclipse", "2022-11-08", 136, 20)]
# Hybrid solar eclipses of 2001-2100: seven (NASA's Five Millennium Canon),
# among them these (the last two listed as hybrid in NASA's 21st-century list).
HYBRIDS_2001_2100 = 7
HYBRID_DATES = ["2005-04-08", "2013-11-03", "2023-04-20", "2031-11-14", "2049-11-25", "2050-05-20"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def sky(de440):
    pytest.importorskip("skyfield")
    from skyfield.api import load
    from skyfield.jpllib import SpiceKernel
    return load.timescale(), SpiceKernel(de440)


def apparent(sky, jd):
    """Geocentric apparent Sun and Moon (km) at UT1 Julian days."""
    ts, eph = sky
    t = ts.ut1_jd(jd)
    earth = eph["earth"]
    sun = earth.at(t).observe(eph["sun"]).apparent().position.km
    moon = earth.at(t).observe(eph["moon"]).apparent().position.km
    return np.asarray(sun), np.asarray(moon)


def angle(a, b):
    return np.arctan2(np.linalg.norm(np.cross(a, b, axis=0), axis=0), np.sum(a * b, axis=0))


def check_lunar(engine, sky, first, last):
    from skyfield import eclipselib
    ts, eph = sky
    times, codes, _ = eclipselib.lunar_eclipses(ts.utc(first, 1, 1), ts.utc(last, 1, 1), eph)
    ours = engine.events(f"{first}-01-01T00:00:00Z", f"{last}-01-01T00:00:00Z",
                         kinds=["lunar_eclipse"])
    assert len(ours) == len(times)
    for e, t, code in zip(ours, times, codes):
        assert abs(e["julian_day"] - t.ut1) * 86400.0 < 30.0
        d = e["details"]
        if d["type"] != TYPES[code]:
            # Only where the eclipse grazes a boundary of the umbra, which
            # the two shadow rules place a little apart.
            assert min(abs(d["umbral_magnitude"]), abs(d["umbral_magnitude"] - 1.0)) < 0.01, e


def test_lunar_eclipses_match_skyfield(engine, sky):
    check_lunar(engine, sky, 1990, 2040)


@pytest.mark.slow
def test_lunar_eclipses_1900_to_2100(engine, sky):
    check_lunar(engine, sky, 1900, 2100)


def test_lunar_contacts_on_the_geometry(engine, sky):
    """At each contact the Moon's distance from the shadow axis equals the
    sum or difference of the radii (Danjon's enlargement), and the contacts
    come in order around greatest eclipse."""
    events = engine.events("2000-01-01T00:00:00Z", "2030-01-01T00:00:00Z", kinds=["lunar_eclipse"])
    assert len(events) > 60
    for e in events:
        d = e["details"]
        order = [d[k] for k in ("P1", "U1", "U2") if k in d] + [e["julian_day"]] + [
            d[k] for k in ("U3", "U4", "P4") if k in d]
        assert order == sorted(order)
        assert ("U1" in d) == (d["type"] != "penumbral") and ("U2" in d) == (d["type"] == "total")
        for key in ("P1", "U1", "U2", "U3", "U4", "P4"):
            if key not in d:
                continue
            sun, moon = apparent(sky, d[key])
            sep = angle(-sun, moon)
            rs, rm = np.linalg.norm(sun), np.linalg.norm(moon)
            parallax = math.asin(EARTH_KM / rm) * (1 + 1 / 85) + math.asin(EARTH_KM / rs)
            sun_r, moon_r = math.asin(696000.0 / rs), math.asin(1737.4 / rm)
            limit = {"P": parallax + sun_r + moon_r, "U": parallax - sun_r + moon_r}[key[0]]
            if key in ("U2", "U3"):
                limit = parallax - sun_r - moon_r
            # 1 s of the Moon's motion is about 0.5 arcseconds.
            assert abs(sep - limit) < math.radians(2.0 / 3600.0), (e["moment"], key)


def axis_distance(sky, jd):
    """The distance of the Sun-Moon axis from the Earth's centre, Earth radii."""
    sun, moon = apparent(sky, jd)
    axis = (sun - moon) / np.linalg.norm(sun - moon, axis=0)
    closest = moon - np.sum(moon * axis, axis=0) * axis
    return np.linalg.norm(closest, axis=0) / EARTH_KM


def test_solar_greatest_eclipse_on_the_geometry(engine, sky):
    rng = random.Random(11)
    years = sorted(rng.sample(range(1600, 2590), 6))
    for year in years:
        for e in engine.events(f"{year}-01-01T00:00:00Z", f"{year + 2}-01-01T00:00:00Z",
                               kinds=["solar_eclipse"]):
            jd = e["julian_day"]
            offsets = np.linspace(-600, 600, 601) / 86400.0
            distances = axis_distance(sky, jd + offsets)
            least = offsets[int(np.argmin(distances))] * 86400.0
            assert abs(least) < 10.0, (e["moment"], least)
            assert abs(abs(e["details"]["gamma"]) - distances.min()) < 1e-4, e["moment"]
            central = abs(e["details"]["gamma"]) < 0.99
            assert (e["details"]["type"] != "partial") or not central


def test_well_known_solar_eclipses(engine):
    found = engine.events("1999-01-01T00:00:00Z", "2031-01-01T00:00:00Z", kinds=["solar_eclipse"])
    by_date = {e["moment"][:10]: e["details"] for e in found}
    for date, kind, saros in SOLAR_FACTS:
        assert by_date[date]["type"] == kind, date
        assert by_date[date]["saros"] == saros, date
    # Two to five solar eclipses a year.
    years = [int(e["moment"][:4]) for e in found]
    assert all(2 <= years.count(y) <= 5 for y in range(1999, 2031))
    # The path of 2017-08-21 was greatest over Kentucky (NASA: 36.97 N, 87.67 W).
    great = by_date["2017-08-21"]
    assert abs(great["latitude"] - 36.97) < 0.2 and abs(great["longitude"] + 87.67) < 0.2


def test_prenatal_events_are_the_last_before_the_moment(engine):
    rng = random.Random(5)
    for _ in range(5):
        moment = f"{rng.randint(1700, 2400)}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}T12:00:00Z"
        jd = q.julian_day(moment)
        got = engine.prenatal(moment)
        three_years_back = str(int(moment[:4]) - 3) + moment[4:]
        before = engine.events(three_years_back, moment, kinds=["new_moon", "full_moon", "eclipses"])
        for key, kinds in (("lunation", ("new_moon", "full_moon")), ("solar_eclipse", ("solar_eclipse",)),
                           ("lunar_eclipse", ("lunar_eclipse",))):
            last = [e for e in before if e["kind"] in kinds and e["julian_day"] < jd][-1]
            assert got[key]["julian_day"] == pytest.approx(last["julian_day"], abs=1e-9)
            assert got[key]["kind"] == last["kind"]


def topocentric(sky, jd, latitude, longitude, height):
    """Apparent Sun and Moon (km) from a place, and the Sun's altitude."""
    from skyfield.api import wgs84
    ts, eph = sky
    t = ts.ut1_jd(jd)
    place = eph["earth"] + wgs84.latlon(latitude, longitude, elevation_m=height)
    sun = place.at(t).observe(eph["sun"]).apparent()
    moon = place.at(t).observe(eph["moon"]).apparent()
    return sun.position.km, moon.position.km, sun.altaz()[0].degrees


def test_local_circumstances_on_the_geometry(engine, sky):
    rng = random.Random(3)
    eclipses = engine.events("2020-01-01T00:00:00Z", "2030-01-01T00:00:00Z", kinds=["solar_eclipse"])
    checked = 0
    for e in eclipses:
        d = e["details"]
        # Places near the point of greatest eclipse, where it is seen.
        for _ in range(2):
            lat = max(-89.0, min(89.0, d["latitude"] + rng.uniform(-8, 8)))
            lon = d["longitude"] + rng.uniform(-8, 8)
            height = rng.uniform(0, 2000)
            local = engine.solar_eclipse_at(e, lat, lon, height)
            assert local["eclipse"]["julian_day"] == e["julian_day"]
            if not local["seen"]:
                continue
            checked += 1
            best = local["maximum"]["julian_day"]
            offsets = np.linspace(-120, 120, 241) / 86400.0
            sun, moon, _ = topocentric(sky, best + offsets, lat, lon, height)
            sep = angle(sun, moon)
            assert abs(offsets[int(np.argmin(sep))] * 86400.0) <= 2.0
            for key in ("C1", "C2", "C3", "C4"):
                if local[key] is None:
                    continue
                sun, moon, altitude = topocentric(sky, local[key]["julian_day"], lat, lon, height)
                rs = math.asin(696000.0 / np.linalg.norm(sun))
                rm = math.asin(1737.4 / np.linalg.norm(moon))
                limit = rs + rm if key in ("C1", "C4") else abs(rs - rm)
                assert abs(angle(sun, moon) - limit) < math.radians(1.0 / 3600.0), (e["moment"], key)
                assert abs(altitude - local[key]["sun_altitude"]) < 0.01
            assert (local["C2"] is not None) == (local["local_type"] in ("total", "annular"))
            assert 0.0 < local["obscuration"] <= 1.0 and local["magnitude"] > 0.0
    assert checked > 15
    # Across the Earth from the point of greatest eclipse the Sun is down.
    e = eclipses[0]
    far = engine.solar_eclipse_at(e, -e["details"]["latitude"], e["details"]["longitude"] + 180.0)
    assert not far["visible"]


@pytest.fixture(scope="module")
def millennium(engine):
    return engine.events("1600-01-01T00:00:00Z", "2600-01-01T00:00:00Z", kinds=["eclipses"])


def catalogue_ends(kind):
    """Series -> (first, last) Julian days of the catalogue's first and last
    eclipse, for the dates of 1600-2600 (Gregorian) in tools/data."""
    path = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "data", f"saros_{kind}.tsv")
    months = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()
    ends = {}
    for line in open(path):
        if line.startswith("#"):
            continue
        cells = line.rstrip("\n").split("\t")
        days = []
        for text in cells[-2:]:
            year, month, day = text.split()
            inside = 1600 <= int(year) < 2600
            days.append(q.julian_day(f"{int(year):04d}-{months.index(month) + 1:02d}-{day}T12:00:00Z")
                        if inside else None)
        ends[int(cells[0])] = days
    return ends


def test_saros_members(millennium):
    """Published member numbers hold; within one series the eclipses found
    over 1600-2600 are one saros apart and numbered consecutively; a series
    that begins or ends inside the span does so on an eclipse the engine
    finds, or one saros beyond a grazing one it finds (where the shadow
    rules differ)."""
    by_date = {(e["kind"], e["moment"][:10]): e["details"] for e in millennium}
    for kind, date, saros, member in MEMBER_FACTS:
        assert (by_date[kind, date]["saros"], by_date[kind, date]["saros_member"]) == (saros, member)
    series = {}
    for e in millennium:
        series.setdefault((e["kind"], e["details"]["saros"]), []).append(e)
    ends = {kind: catalogue_ends(kind[:5]) for kind in ("solar_eclipse", "lunar_eclipse")}
    checked = 0
    for (kind, saros), members in series.items():
        def grazing(e):
            return e["details"].get("penumbral_magnitude", e["details"].get("magnitude")) < 0.05
        numbered = [e for e in members if "saros_member" in e["details"]]
        assert all(grazing(e) for e in members if e not in numbered), (kind, saros)
        if not numbered:
            continue
        for a, b in zip(numbered, numbered[1:]):
            assert b["details"]["saros_member"] - a["details"]["saros_member"] == 1, (saros, a["moment"])
            assert abs(b["julian_day"] - a["julian_day"] - 6585.32) < 0.5, (saros, a["moment"])
        first, last = ends[kind][int(saros)]
        start, end = q.julian_day("1600-01-01T00:00:00Z") + 6600, q.julian_day("2600-01-01T00:00:00Z") - 6600
        for bound, e in ((first, numbered[0]), (last, numbered[-1])):
            if bound is None or not start < bound < end:
                continue  # the saros beyond lies outside the span
            checked += 1
            apart = abs(e["julian_day"] - bound)
            assert apart < 1.0 or (grazing(e) and abs(apart - 6585.32) < 1.0), (kind, saros, e["moment"])
            if bound == first:
                assert e["details"]["saros_member"] == (1 if apart < 1.0 else 2)
    assert checked > 40


def test_hybrid_along_the_central_line(millennium):
    """Hybrid where the umbra reaches the surface along part of the central
    line only: exactly the published count for 2001-2100, the known hybrids
    among them, and every hybrid central with a magnitude near 1."""
    century = [e for e in millennium if e["kind"] == "solar_eclipse" and "2001" <= e["moment"][:4] <= "2100"]
    hybrids = [e["moment"][:10] for e in century if e["details"]["type"] == "hybrid"]
    assert len(hybrids) == HYBRIDS_2001_2100 and set(HYBRID_DATES) <= set(hybrids), hybrids
    solar = [e for e in millennium if e["kind"] == "solar_eclipse"]
    for e in solar:
        if e["details"]["type"] == "hybrid":
            assert abs(e["details"]["gamma"]) < 1.0 and abs(e["details"]["magnitude"] - 1.0) < 0.02, e
