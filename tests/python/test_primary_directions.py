import datetime
import warnings

import erfa
import numpy as np
import pytest

import quorvane_engine as q

pytestmark = pytest.mark.filterwarnings("ignore::erfa.ErfaWarning")  # years beyond its leap-second table

METHODS = ["placidus_mundane", "placidus_zodiacal", "placidus_pole", "regiomontanus",
           "campanus", "topocentric"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def random_births(count, seed, latitude=60.0):
    rng = np.random.default_rng(seed)
    start = datetime.datetime(1900, 1, 1, tzinfo=datetime.timezone.utc)
    for _ in range(count):
        moment = start + datetime.timedelta(seconds=float(rng.uniform(0, 150 * 365.25 * 86400)))
        yield (moment.isoformat(timespec="seconds"), float(rng.uniform(-latitude, latitude)),
               float(rng.uniform(-180, 180)))


def equatorial(longitude, latitude, obliquity):
    """Right ascension and declination by rotating the ecliptic vector (erfa)."""
    vector = erfa.s2c(np.radians(longitude), np.radians(latitude))
    e = np.radians(obliquity)
    rotation = np.array([[1, 0, 0], [0, np.cos(e), -np.sin(e)], [0, np.sin(e), np.cos(e)]])
    ra, dec = erfa.c2s(vector @ rotation.T)
    return np.degrees(ra) % 360.0, np.degrees(dec)


def fold(angle):
    return (np.asarray(angle) + 180.0) % 360.0 - 180.0


def promissor_of(result, direction):
    """The promissor's point: bounds share their lord's name, so by longitude too."""
    return next(p for p in result["promissors"]
                if (p["name"], p["aspect"], p["side"], p["longitude"]) ==
                (direction["promissor"], direction["aspect"], direction["side"],
                 direction["promissor_longitude"]))


def significator_of(result, direction):
    return next(p for p in result["significators"] if p["name"] == direction["significator"])


def test_angles_direct_by_right_and_oblique_ascension(engine):
    """Midheaven: difference of right ascensions; Ascendant: of oblique
    ascensions under the birth latitude; every such arc under 150 listed."""
    for moment, lat, lon in random_births(1500, 1):
        result = engine.primary_directions(
            moment, lat, lon, end_age=150, key="ptolemy", significators=["Ascendant", "Midheaven"],
            families=["planets", "aspects"], directions=["direct"])
        c = result["conventions"]
        eps, ramc = c["obliquity_degrees"], c["ramc_degrees"]
        points = [p for p in result["promissors"] if p["family"] in ("planets", "aspects")]
        ra, dec = equatorial(np.array([p["longitude"] for p in points]), 0.0, eps)
        names = [(p["name"], p["aspect"], p["side"]) for p in points]
        ascension = ra - np.degrees(np.arcsin(np.tan(np.radians(lat)) * np.tan(np.radians(dec))))
        expected = {"Midheaven": (ra - ramc) % 360.0, "Ascendant": (ascension - ramc - 90.0) % 360.0}
        found = {(d["significator"], d["promissor"], d["aspect"], d["side"]): d["arc"]
                 for d in result["directions"]}
        for significator, arcs in expected.items():
            for name, arc in zip(names, arcs):
                if arc > 150.0 - 1e-6:
                    continue
                assert found.pop((significator, *name)) == pytest.approx(arc, abs=1e-7)
        assert all(arc > 150.0 - 1e-6 for arc in found.values()), found
        for d in result["directions"]:
            assert d["age"] == pytest.approx(d["arc"], abs=1e-9)


def test_ascendant_rises_in_the_east_at_every_latitude(engine):
    """Beyond the polar circles the ecliptic meets the horizon in two points
    that need not be opposite the meridian's sides: the significator must be
    the rising one, as the chart's houses take it."""
    for moment, lat, lon in random_births(300, 5, latitude=89.0):
        result = engine.primary_directions(moment, lat, lon, end_age=1,
                                           significators=["Ascendant"])
        c = result["conventions"]
        asc = result["significators"][0]
        ra, dec = equatorial(asc["longitude"], 0.0, c["obliquity_degrees"])
        hour = np.radians(fold(c["ramc_degrees"] - ra))
        phi, d = np.radians(lat), np.radians(dec)
        altitude = np.sin(phi) * np.sin(d) + np.cos(phi) * np.cos(d) * np.cos(hour)
        assert altitude == pytest.approx(0.0, abs=1e-9)
        assert hour < 0.0, (moment, lat, lon)


def test_obliquity_and_ramc_of_date_against_erfa(engine):
    for moment, lat, lon in random_births(50, 2):
        c = engine.primary_directions(moment, lat, lon, end_age=1)["conventions"]
        t = datetime.datetime.fromisoformat(moment)
        utc1, utc2 = erfa.dtf2d("UTC", t.year, t.month, t.day, t.hour, t.minute, t.second)
        tt1, tt2 = erfa.taitt(*erfa.utctai(utc1, utc2))
        eps = erfa.obl06(tt1, tt2) + erfa.nut06a(tt1, tt2)[1]
        assert c["obliquity_degrees"] == pytest.approx(np.degrees(eps), abs=1e-6)
        gast = np.degrees(erfa.gst06a(utc1, utc2, tt1, tt2))
        assert fold(c["ramc_degrees"] - gast - lon) == pytest.approx(0.0, abs=0.01)


def quadrant_position(hour, dec, lat):
    """Placidus' measure: 0 on the upper meridian, 90 setting, 180 on the
    lower meridian, 270 rising, each quadrant an equal share of the point's
    own semi-arc."""
    day = 90.0 + np.degrees(np.arcsin(np.tan(np.radians(lat)) * np.tan(np.radians(dec))))
    hour = float(fold(hour))
    if abs(hour) <= day:
        return (90.0 * hour / day) % 360.0
    return 180.0 - 90.0 * np.sign(hour) * (180.0 - abs(hour)) / (180.0 - day)


@pytest.mark.parametrize("method", ["placidus_zodiacal", "placidus_mundane"])
def test_placidus_promissor_takes_the_significators_share_of_semi_arc(engine, method):
    """The sky turned by the arc (backwards for the reverse converse) puts
    the moving point at the standing point's share of its semi-arc, from the
    same meridian; a mundane aspect stands its angle away in that measure."""
    checked = 0
    for moment, lat, lon in random_births(60, 3, latitude=55.0):
        for converse in ("traditional", "reverse"):
            result = engine.primary_directions(moment, lat, lon, method=method, key="ptolemy",
                                               end_age=150, converse=converse,
                                               families=["planets", "aspects"])
            ramc = result["conventions"]["ramc_degrees"]
            for d in result["directions"]:
                p, s = promissor_of(result, d), significator_of(result, d)
                moving, standing, turn, offset = p, s, d["arc"], p["mundane_offset"]
                if d["direction"] == "converse":
                    if converse == "reverse":
                        turn = -turn
                    else:
                        moving, standing, offset = s, p, -offset
                after = quadrant_position(ramc + turn - moving["right_ascension"],
                                          moving["declination"], lat)
                before = quadrant_position(ramc - standing["right_ascension"],
                                           standing["declination"], lat)
                assert fold(after + offset - before) == pytest.approx(0.0, abs=1e-7)
                checked += 1
    assert checked > 3000


def horizon_vector(hour, dec, lat):
    """Unit vector in (south, east, zenith) axes of a point at hour angle and declination."""
    h, d, f = np.radians(hour), np.radians(dec), np.radians(lat)
    x = np.cos(d) * np.cos(h)
    return np.array([np.sin(f) * x - np.cos(f) * np.sin(d), -np.cos(d) * np.sin(h),
                     np.cos(f) * x + np.sin(f) * np.sin(d)])


@pytest.mark.parametrize("method", ["regiomontanus", "campanus"])
def test_promissor_reaches_the_significators_circle_of_position(engine, method):
    """After the arc the promissor lies on the great circle through the north
    and south points of the horizon and the significator, on its half (for
    points that rise and set; one that never does culminates on the meridian
    below the horizon, and the Midheaven's arc stays the difference of right
    ascensions)."""
    checked = 0
    for moment, lat, lon in random_births(30, 4):
        result = engine.primary_directions(moment, lat, lon, method=method, end_age=150,
                                           directions=["direct"])
        ramc = result["conventions"]["ramc_degrees"]
        for d in result["directions"]:
            p, s = promissor_of(result, d), significator_of(result, d)
            sv = horizon_vector(ramc - s["right_ascension"], s["declination"], lat)
            pv = horizon_vector(ramc + d["arc"] - p["right_ascension"], p["declination"], lat)
            axis = np.array([1.0, 0.0, 0.0])  # the north-south line
            normal = np.cross(axis, sv)
            normal /= np.linalg.norm(normal)
            assert abs(pv @ normal) < 1e-9
            across = np.cross(normal, axis)
            rises = all(abs(np.tan(np.radians(lat)) * np.tan(np.radians(x["declination"]))) < 1
                        for x in (p, s))
            assert not rises or np.sign(pv @ across) == np.sign(sv @ across)
            checked += 1
    assert checked > 5000


@pytest.mark.parametrize("method", METHODS)
def test_traditional_converse_is_the_direct_arc_with_roles_exchanged(engine, method):
    """The Moon directed to the Sun is the Sun's converse to the Moon, both
    lights at their own places."""
    compared = 0
    for moment, lat, lon in random_births(80, 5, latitude=55.0):
        result = engine.primary_directions(
            moment, lat, lon, method=method, key="ptolemy", end_age=150,
            promissor_latitude="planet", significators=["Sun", "Moon"], promissors=["Sun", "Moon"],
            families=["planets"])
        arcs = {(d["promissor"], d["significator"], d["direction"]): d["arc"]
                for d in result["directions"]}
        for a, b in (("Moon", "Sun"), ("Sun", "Moon")):
            if (a, b, "direct") in arcs or (b, a, "converse") in arcs:
                assert arcs[(a, b, "direct")] == pytest.approx(arcs[(b, a, "converse")], abs=1e-9)
                compared += 1
    assert compared > 20


def test_true_solar_arc_against_the_progressed_sun(engine):
    """The age of a direction is when the secondary-progressed Sun's right
    ascension has gained the arc, read from Engine.progressions."""
    birth, lat, lon = "1961-08-04T00:24Z", 21.3, -157.86
    result = engine.primary_directions(birth, lat, lon, key="true_solar_arc",
                                       significators=["Midheaven"], families=["planets"])
    assert result["conventions"]["key_rate"] is None

    def sun_ra(target):
        chart = engine.progressions(birth, target, lat, lon)
        sun = next(p for p in chart["planets"] if p["name"] == "Sun")["ecliptic_longitude"]
        t = datetime.datetime.fromisoformat(chart["progressed_moment"])
        tt1, tt2 = erfa.taitt(*erfa.utctai(*erfa.dtf2d("UTC", t.year, t.month, t.day, t.hour,
                                                        t.minute, t.second + t.microsecond / 1e6)))
        eps = np.degrees(erfa.obl06(tt1, tt2) + erfa.nut06a(tt1, tt2)[1])
        return equatorial(sun, 0.0, eps)[0]

    natal = sun_ra(birth)
    assert len(result["directions"]) >= 5
    for d in result["directions"]:
        assert fold(sun_ra(d["date"]) - natal - d["arc"]) == pytest.approx(0.0, abs=3e-4)


# Simmonite's rate is the Sun's speed over the hour after birth, Kepler's its
# advance over the whole day after it; both a day's worth for a year.
@pytest.mark.parametrize("key, later, per_day", [("simmonite", "1990-07-14T08:30Z", 24),
                                                 ("kepler", "1990-07-15T07:30Z", 1)])
def test_daily_motion_keys_rate_and_dates_by_the_tropical_year(engine, key, later, per_day):
    birth, lat, lon = "1990-07-14T07:30Z", 51.5, -0.13
    result = engine.primary_directions(birth, lat, lon, key=key)
    moved = engine.positions([birth, later], ["Sun"])
    rate = fold(np.diff(np.asarray(moved["right_ascension"]).ravel())[0]) * per_day
    tolerance = 1e-9 if key == "kepler" else 1e-4  # Simmonite's rate is a derivative
    assert result["conventions"]["key_rate"] == pytest.approx(rate, rel=tolerance)
    start = datetime.datetime.fromisoformat(birth)
    for d in result["directions"][:50]:
        assert d["age"] * result["conventions"]["key_rate"] == pytest.approx(d["arc"])
        expected = start + datetime.timedelta(days=d["age"] * 365.24219)
        got = datetime.datetime.fromisoformat(d["date"])
        assert abs((got - expected).total_seconds()) < 1e-3
    arcs = [d["arc"] for d in result["directions"]]
    assert arcs == sorted(arcs)


def test_bounds_and_refusals(engine):
    birth = ("1990-07-14T07:30Z", 51.5, -0.13)
    bounds = engine.primary_directions(*birth, significators=["Ascendant"], families=["bounds"],
                                       directions=["direct"], key="ptolemy", end_age=150)
    # The Ascendant runs through the bounds in the order of the signs, from
    # the first bound boundary after its degree.
    ascendant = bounds["significators"][0]["longitude"]
    ahead = [(d["promissor_longitude"] - ascendant) % 360 for d in bounds["directions"]]
    assert bounds["conventions"]["bounds"] == "dorothean" and len(ahead) > 10
    assert ahead == sorted(ahead)
    starts = [p["longitude"] for p in bounds["promissors"] if p["family"] == "bounds"]
    assert ahead[0] == pytest.approx(min((x - ascendant) % 360 for x in starts))
    for bad in (dict(method="porphyry"), dict(key="brahe"), dict(families=["moons"]),
                dict(significators=["Vertex"]), dict(start_age=50, end_age=10),
                dict(end_age=200), dict(promissor_latitude="some"), dict(converse="mirror")):
        with pytest.raises(ValueError):
            engine.primary_directions(*birth, **bad)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        engine.primary_directions(*birth, dignity_scheme="ptolemaic", end_age=1)
    assert any("dignity_scheme" in str(w.message) for w in caught)
