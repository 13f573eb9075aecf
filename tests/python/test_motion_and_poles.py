"""Answers that depend on motion and on the horizon: applying aspects against
the sky a minute later, sidereal whole signs, and the Ascendant, houses and
planetary hours beyond the polar circles."""
import math
import random
from datetime import datetime, timedelta, timezone

import erfa
import pytest

import quorvane_engine as q

MINUTE = timedelta(minutes=1)


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def deviation(a, b, angle):
    separation = abs(a - b) % 360.0
    return abs(min(separation, 360.0 - separation) - angle)


def where(placements, stars=()):
    return {p["name"]: p["ecliptic_longitude"] for p in [*placements, *stars]}


def test_applying_matches_the_sky_a_minute_later(engine):
    """Natal aspects, star conjunctions (stars fixed) and transits to natal
    points (fixed); the angles count as fixed, their speed being 0."""
    rng = random.Random(22)
    natal = where(engine.chart("1990-05-17T02:30Z", 51.48, 0.0)["planets"])
    seen = []
    for _ in range(25):
        moment = datetime(1900, 1, 1, tzinfo=timezone.utc) + timedelta(days=rng.uniform(0, 73000))
        lat, lon = rng.uniform(-60, 60), rng.uniform(-180, 180)
        chart, later = engine.chart(moment, lat, lon), engine.chart(moment + MINUTE, lat, lon)
        transit = engine.transit(list({"name": n, "ecliptic_longitude": v, "speed": 1.0}
                                      for n, v in natal.items()), moment, lat, lon)
        now, moved = where(chart["planets"], chart["fixed_stars"]), where(later["planets"])
        for name in ("Ascendant", "Midheaven"):
            moved[name] = now[name]
        pairs = [(a, now[a["body1"]], now[a["body2"]], moved.get(a["body1"], now[a["body1"]]),
                  moved[a["body2"]]) for a in chart["aspects"]]
        pairs += [(a, now[a["body1"]], natal[a["body2"]], moved[a["body1"]], natal[a["body2"]])
                  for a in transit["cross_aspects"]]
        for a, one, two, one_later, two_later in pairs:
            before, after = deviation(one, two, a["angle"]), deviation(one_later, two_later,
                                                                       a["angle"])
            if before > 0.02 and abs(after - before) > 1e-7:  # not perfecting, not stationary
                assert a["is_applying"] == (after < before), (moment, a, before, after)
                seen.append(("body1_source" in a, a["is_applying"]))
    assert len(set(seen)) == 4  # applying and separating, natal and transit
    # Synastry reads speeds where the planets carry them, else holds them fixed.
    plain = [{"name": n, "ecliptic_longitude": v} for n, v in natal.items()]
    assert not any(a["is_applying"] for a in q.synastry(plain, plain[::-1])["cross_aspects"])
    assert any(a["is_applying"] for a in q.synastry(plain, chart["planets"])["cross_aspects"])


def test_sidereal_whole_signs_are_the_sidereal_signs(engine):
    for code in [c["code"] for c in q.option_codes()["ayanamsa"]]:
        chart = engine.chart("1990-10-23T21:15:00Z", 28.61, 77.21, house_system="W",
                             zodiac_type="sidereal", ayanamsa=code)
        assert all(h["ecliptic_longitude"] % 30 == 0 for h in chart["houses"]), code
        assert next(p["house"] for p in chart["planets"] if p["name"] == "Ascendant") == 1, code


def horizon(longitude, ramc, latitude, obliquity):
    """Altitude and azimuth (north through east) of an ecliptic point of
    longitude `longitude` under local sidereal time `ramc`, in degrees."""
    lam, eps, t, phi = map(math.radians, (longitude, obliquity, ramc, latitude))
    x, y, z = math.cos(lam), math.sin(lam) * math.cos(eps), math.sin(lam) * math.sin(eps)
    # Turn the sky so that x points to the meridian and y to the east point.
    x, y = x * math.cos(t) + y * math.sin(t), y * math.cos(t) - x * math.sin(t)
    up, north = x * math.cos(phi) + z * math.sin(phi), z * math.cos(phi) - x * math.sin(phi)
    return math.degrees(math.asin(up)), math.degrees(math.atan2(y, north))


@pytest.mark.parametrize("latitude", [89.9, 80.0, 70.0, 60.0, -70.0, -89.9])
def test_ascendant_rises_in_the_east_and_houses_keep_order(engine, latitude):
    start = datetime(2024, 1, 7, 3, 0, tzinfo=timezone.utc)
    for step in range(24):  # one sidereal day
        moment = start + timedelta(hours=step * 0.9973)
        chart = engine.chart(moment, latitude, 15.0)
        points = where(chart["planets"])
        obliquity = math.degrees(erfa.obl80(q.julian_day(moment), 0.0))
        mc = math.radians(points["Midheaven"])
        ramc = math.degrees(math.atan2(math.sin(mc) * math.cos(math.radians(obliquity)),
                                       math.cos(mc)))
        altitude, azimuth = horizon(points["Ascendant"], ramc, latitude, obliquity)
        assert abs(altitude) < 1e-6, (moment, altitude)
        if abs(math.sin(math.radians(azimuth))) > 1e-3:  # not on the north or south point
            assert 0 < azimuth < 180, (moment, azimuth)
        cusps = [h["ecliptic_longitude"] for h in chart["houses"]]
        arcs = [(cusps[(i + 1) % 12] - cusps[i]) % 360 for i in range(12)]
        assert all(0 < a < 180 for a in arcs) and math.isclose(sum(arcs), 360), (moment, arcs)


def test_polar_days_and_nights_are_whole(engine):
    def day(lat, date):
        start = datetime.fromisoformat(date).replace(tzinfo=timezone.utc)
        return [engine.chart(start + timedelta(minutes=30 * i), lat, 20.0)["planetary_hours"]
                for i in range(49)]
    summer, winter = day(70.0, "2024-06-20"), day(80.0, "2024-12-20")
    assert all(h["is_day"] and h["fallback"] == "midnight_sun" for h in summer)
    assert not any(h["is_day"] or h["fallback"] != "polar_night" for h in winter)
    # From 06:00 local mean time (04:40 UTC at 20 E), two-hour hours; before
    # it the Wednesday still rules.
    assert (summer[12]["sunrise"], summer[12]["hour_number"], summer[24]["hour_number"]) == \
        ("2024-06-20T04:40:00+00:00", 1, 4)
    assert (summer[0]["day_ruler"], summer[12]["day_ruler"]) == ("Mercury", "Jupiter")
    assert engine.chart("2024-06-20T12:00Z", 51.48, 0.0)["planetary_hours"]["fallback"] is None
    criteria = {"daytime_only": True, "min_score": 0}
    search = engine.elections("2024-06-20T00:00Z", "2024-06-21T00:00Z", 70.0, 20.0, criteria)
    assert (search["excluded"]["night"], search["evaluated"]) == (0, 145)
    search = engine.elections("2024-12-20T00:00Z", "2024-12-21T00:00Z", 80.0, 20.0, criteria)
    assert (search["excluded"]["night"], search["evaluated"]) == (145, 0)
