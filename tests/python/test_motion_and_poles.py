"""Answers that depend on motion and on the horizon: applying aspects against
the sky a minute later, whole signs of a sidereal chart, and the Ascendant,
houses and planetary hours beyond the polar circles."""
import math
import random
from datetime import datetime, timedelta, timezone

import erfa
import numpy as np
import pytest

import quorvane_engine as q

MINUTE = timedelta(minutes=1)
ANGLES = ["Ascendant", "Midheaven"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def deviation(a, b, angle):
    separation = abs(a - b) % 360.0
    return abs(min(separation, 360.0 - separation) - angle)


def check_applying(aspects, now, later, fixed=[]):
    """is_applying against the deviation a minute later; `fixed` points, the
    angles and anything missing from `later` (stars) keep their place."""
    seen = {True: 0, False: 0}
    for a in aspects:
        one, two = a["body1"], a["body2"]
        before = deviation(now[one], now[two], a["angle"])

        def moved(name):
            return later[name] if name in later and name not in fixed + ANGLES else now[name]
        after = deviation(moved(one), moved(two), a["angle"])
        # Too close to exact to tell in a minute, or a standstill.
        if before < 0.02 or abs(after - before) < 1e-7:
            continue
        assert a["is_applying"] == (after < before), (a, before, after)
        seen[a["is_applying"]] += 1
    return seen


def longitudes(placements, stars=()):
    out = {p["name"]: p["ecliptic_longitude"] for p in placements}
    out.update({s["name"]: s["ecliptic_longitude"] for s in stars})
    return out


def random_moments(count, seed):
    rng = random.Random(seed)
    start = datetime(1900, 1, 1, tzinfo=timezone.utc)
    return [(start + timedelta(days=rng.uniform(0, 73000)), rng.uniform(-60, 60),
             rng.uniform(-180, 180)) for _ in range(count)]


class TestApplying:
    def test_natal_aspects_and_star_conjunctions(self, engine):
        seen = {True: 0, False: 0}
        stars = 0
        for moment, lat, lon in random_moments(30, 22):
            chart, after = engine.chart(moment, lat, lon), engine.chart(moment + MINUTE, lat, lon)
            now = longitudes(chart["planets"], chart["fixed_stars"])
            stars += len(chart["fixed_stars"])
            for k, v in check_applying(chart["aspects"], now, longitudes(after["planets"])).items():
                seen[k] += v
        assert seen[True] > 100 and seen[False] > 100 and stars > 0

    def test_transit_to_fixed_natal_points(self, engine):
        natal = engine.chart("1990-05-17T02:30Z", 51.48, 0.0)["planets"]
        seen = {True: 0, False: 0}
        for moment, lat, lon in random_moments(10, 23):
            transit = engine.transit(natal, moment, lat, lon)
            later = engine.transit(natal, moment + MINUTE, lat, lon)
            # Natal points go under their own names: prefix the transiting ones.
            now = {"natal " + n: v for n, v in longitudes(natal).items()}
            now.update({"t " + n: v for n, v in longitudes(transit["transit_planets"]).items()})
            moved = {"t " + n: v for n, v in longitudes(later["transit_planets"]).items()}
            aspects = [dict(a, body1="t " + a["body1"], body2="natal " + a["body2"])
                       for a in transit["cross_aspects"]]
            natal_names = [n for n in now if n.startswith("natal ")] + ["t " + n for n in ANGLES]
            for k, v in check_applying(aspects, now, moved, fixed=natal_names).items():
                seen[k] += v
        assert seen[True] > 20 and seen[False] > 20

    def test_synastry_uses_speeds_only_when_given(self, engine):
        a = engine.chart("1990-05-17T02:30Z", 51.48, 0.0)["planets"]
        b = engine.chart("1992-11-02T18:00Z", 40.0, -74.0)["planets"]
        flags = {x["is_applying"] for x in q.synastry(a, b)["cross_aspects"]}
        assert flags == {True, False}
        plain = [{"name": p["name"], "ecliptic_longitude": p["ecliptic_longitude"]} for p in b]
        both_plain = q.synastry([dict(p, speed=0) for p in plain], plain)["cross_aspects"]
        assert both_plain and not any(x["is_applying"] for x in both_plain)


def test_sidereal_whole_signs_are_the_sidereal_signs(engine):
    for code in [c["code"] for c in q.option_codes()["ayanamsa"]]:
        chart = engine.chart("1990-10-23T21:15:00Z", 28.61, 77.21, house_system="W",
                             zodiac_type="sidereal", ayanamsa=code)
        cusps = [h["ecliptic_longitude"] for h in chart["houses"]]
        assert all(c % 30 == 0 for c in cusps), code
        ascendant = next(p for p in chart["planets"] if p["name"] == "Ascendant")
        assert ascendant["house"] == 1 and ascendant["sign"] == chart["houses"][0]["sign"], code


def ecliptic_vector(longitude, obliquity):
    """Unit vector of an ecliptic longitude in equatorial axes (degrees)."""
    lam, eps = math.radians(longitude), math.radians(obliquity)
    return np.array([math.cos(lam), math.sin(lam) * math.cos(eps), math.sin(lam) * math.sin(eps)])


def altitude_azimuth(vector, ramc, latitude):
    """Altitude and azimuth (from north through east) of an equatorial
    vector for a sky turned to local sidereal time `ramc`, in degrees."""
    t, phi = math.radians(ramc), math.radians(latitude)
    # Turn the sky by the sidereal time: x to the meridian on the equator, y
    # to the east point, z to the pole; then tilt by the latitude.
    spin = np.array([[math.cos(t), math.sin(t), 0], [-math.sin(t), math.cos(t), 0], [0, 0, 1]])
    x, y, z = spin @ vector
    north = z * math.cos(phi) - x * math.sin(phi)
    up = x * math.cos(phi) + z * math.sin(phi)
    return math.degrees(math.asin(up)), math.degrees(math.atan2(y, north))


@pytest.mark.parametrize("latitude", [89.9, 80.0, 70.0, 60.0, -70.0, -89.9])
def test_ascendant_rises_in_the_east_and_polar_houses_keep_order(engine, latitude):
    start = datetime(2024, 1, 7, 3, 0, tzinfo=timezone.utc)
    for step in range(24):
        moment = start + timedelta(hours=step * 0.9973)  # one sidereal day
        chart = engine.chart(moment, latitude, 15.0, house_system="P")
        where = {p["name"]: p["ecliptic_longitude"] for p in chart["planets"]}
        jd = q.julian_day(moment)
        obliquity = math.degrees(erfa.obl80(jd, 0.0))
        mc = ecliptic_vector(where["Midheaven"], obliquity)
        ramc = math.degrees(math.atan2(mc[1], mc[0]))
        altitude, azimuth = altitude_azimuth(ecliptic_vector(where["Ascendant"], obliquity),
                                             ramc, latitude)
        assert abs(altitude) < 1e-6, (moment, altitude)
        if abs(math.sin(math.radians(azimuth))) > 1e-3:  # not on the north or south point
            assert 0 < azimuth < 180, (moment, azimuth)
        cusps = [h["ecliptic_longitude"] for h in chart["houses"]]
        arcs = [(cusps[(i + 1) % 12] - cusps[i]) % 360 for i in range(12)]
        assert all(0 < arc < 180 for arc in arcs) and math.isclose(sum(arcs), 360), (moment, arcs)
        assert cusps[0] == where["Ascendant"]


class TestPolarDays:
    def day_flags(self, engine, latitude, longitude, day):
        start = datetime.fromisoformat(day).replace(tzinfo=timezone.utc)
        hours = [engine.chart(start + timedelta(minutes=30 * i), latitude, longitude)
                 ["planetary_hours"] for i in range(49)]
        return hours

    def test_midnight_sun_is_all_day_and_polar_night_all_night(self, engine):
        summer = self.day_flags(engine, 70.0, 20.0, "2024-06-20")
        assert all(h["is_day"] and h["hour_type"] == "Day" for h in summer)
        assert {h["fallback"] for h in summer} == {"midnight_sun"}
        # 06:00 local mean time at 20 degrees east is 04:40 UTC; two-hour hours.
        assert summer[12]["sunrise"] == "2024-06-20T04:40:00+00:00"
        assert summer[12]["hour_number"] == 1 and summer[24]["hour_number"] == 4
        # Before 06:00 local mean time the Wednesday still rules.
        assert summer[0]["day_ruler"] == "Mercury" and summer[12]["day_ruler"] == "Jupiter"
        winter = self.day_flags(engine, 80.0, 20.0, "2024-12-20")
        assert not any(h["is_day"] for h in winter)
        assert {h["fallback"] for h in winter} == {"polar_night"}
        ordinary = engine.chart("2024-06-20T12:00Z", 51.48, 0.0)["planetary_hours"]
        assert ordinary["fallback"] is None and ordinary["is_day"]

    def test_daytime_elections_keep_polar_days_whole(self, engine):
        criteria = {"daytime_only": True, "min_score": 0}
        summer = engine.elections("2024-06-20T00:00Z", "2024-06-21T00:00Z", 70.0, 20.0, criteria)
        assert summer["excluded"]["night"] == 0 and summer["evaluated"] == 145
        winter = engine.elections("2024-12-20T00:00Z", "2024-12-21T00:00Z", 80.0, 20.0, criteria)
        assert winter["excluded"]["night"] == 145 and winter["evaluated"] == 0
