"""Returns, progressions, solar-arc directions, composite and Davison
charts, each checked against ordinary charts at the moments they give or
against their definitions."""
import datetime
import math
import random

import pytest

import quorvane_engine as q

ARCSEC = 1 / 3600
BIRTH, LAT, LON = "1990-07-15T05:30:00Z", 51.5, -0.1
YEAR = 365.24219


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def named(planets, name):
    return next(p for p in planets if p["name"] == name)


def offset(a, b):
    return (a - b + 180.0) % 360.0 - 180.0


def parse(moment):
    return datetime.datetime.fromisoformat(moment)


def ramc(longitude, jd):
    """Right ascension of an ecliptic longitude, with the houses' mean obliquity."""
    t = (jd - 2451545.0) / 36525.0
    eps = math.radians(23.4392911 - 0.0130042 * t - 1.6e-7 * t * t + 5.04e-7 * t ** 3)
    lam = math.radians(longitude)
    return math.degrees(math.atan2(math.sin(lam) * math.cos(eps), math.cos(lam))) % 360.0


@pytest.mark.parametrize("body, zodiac", [("Sun", "tropical"), ("Moon", "sidereal"),
                                          ("Mars", "tropical")])
def test_return_chart_is_the_chart_of_an_exact_return(engine, body, zodiac):
    options = dict(zodiac_type=zodiac, ayanamsa="lahiri")
    natal = named(engine.chart(BIRTH, LAT, LON, **options)["planets"], body)["ecliptic_longitude"]
    found = engine.planet_return(body, natal, "2024-02-01T00:00:00Z", 40.7, -74.0, **options)
    assert parse(found["moment"]) >= parse("2024-02-01T00:00:00+00:00")
    # Relocated: the chart of that moment at the place asked for.
    assert found["chart"] == engine.chart(found["moment"], 40.7, -74.0, **options)
    assert abs(offset(named(found["chart"]["planets"], body)["ecliptic_longitude"], natal)) < 0.01 * ARCSEC
    # Nothing earlier: the listing from the start holds it first.
    soon_after = parse(found["moment"]) + datetime.timedelta(minutes=1)
    listed = engine.returns(body, natal, "2024-02-01T00:00:00Z", soon_after, **options)
    assert listed["returns"] and abs(listed["returns"][0]["julian_day"] - found["julian_day"]) < 1e-7


def test_davison_is_the_chart_of_the_midpoint(engine):
    rng = random.Random(5)
    for _ in range(3):
        a = datetime.datetime(1950, 1, 1, tzinfo=datetime.timezone.utc) + datetime.timedelta(
            seconds=rng.uniform(0, 2.5e9))
        b = a + datetime.timedelta(seconds=rng.uniform(-1e9, 1e9))
        la, lb = rng.uniform(-60, 60), rng.uniform(-60, 60)
        oa, ob = 170.0, -175.0  # the nearer midpoint crosses the date line
        result = engine.davison(a, la, oa, b, lb, ob, house_system="K")
        middle = result["midpoint"]
        assert abs((parse(middle["moment"]) - (a + (b - a) / 2)).total_seconds()) <= 1e-6
        assert middle["latitude"] == pytest.approx((la + lb) / 2)
        assert middle["longitude"] == pytest.approx(177.5)
        assert result["chart"] == engine.chart(middle["moment"], middle["latitude"],
                                               middle["longitude"], house_system="K")


@pytest.mark.parametrize("house_system, zodiac", [("P", "tropical"), ("R", "sidereal")])
def test_composite_of_a_chart_with_itself_is_that_chart(engine, house_system, zodiac):
    options = dict(house_system=house_system, zodiac_type=zodiac, ayanamsa="lahiri")
    chart = engine.chart(BIRTH, LAT, LON, **options)
    composite = engine.composite(BIRTH, LAT, LON, BIRTH, LAT, LON, **options)
    for mine, theirs in [(composite["planets"], chart["planets"]),
                         (composite["houses"], chart["houses"])]:
        assert len(mine) == len(theirs)
        for m, t in zip(mine, theirs):
            assert abs(offset(m["ecliptic_longitude"], t["ecliptic_longitude"])) < 1e-9
    assert [p["house"] for p in composite["planets"]] == [p["house"] for p in chart["planets"]]


def test_composite_bodies_sit_at_the_nearer_midpoints(engine):
    other = ("1985-11-02T18:45:00Z", 48.85, 2.35)
    a, b = engine.chart(BIRTH, LAT, LON), engine.chart(*other)
    composite = engine.composite(BIRTH, LAT, LON, *other)
    for p in composite["planets"]:
        if p["name"] == "Ascendant":
            continue
        x = named(a["planets"], p["name"])["ecliptic_longitude"]
        y = named(b["planets"], p["name"])["ecliptic_longitude"]
        middle = (x + offset(y, x) / 2) % 360.0
        assert abs(offset(p["ecliptic_longitude"], middle)) < 1e-9, p["name"]
        assert abs(offset(middle, x)) <= 90.0


@pytest.mark.parametrize("method", ["solar_arc", "naibod"])
def test_progressions_follow_their_definitions(engine, method):
    target = "2024-03-20T12:00:00Z"
    result = engine.progressions(BIRTH, target, LAT, LON, angle_method=method)
    age_days = (parse(target) - parse(BIRTH)).total_seconds() / 86400
    progressed = parse(BIRTH) + datetime.timedelta(days=age_days / YEAR)
    assert abs((parse(result["progressed_moment"]) - progressed).total_seconds()) < 1e-5
    assert result["age_years"] == pytest.approx(age_days / YEAR, abs=1e-9)
    # The bodies: the chart of the progressed moment at the birthplace.
    sky = engine.chart(result["progressed_moment"], LAT, LON)
    for p in result["planets"][:-2]:
        assert p["ecliptic_longitude"] == named(sky["planets"], p["name"])["ecliptic_longitude"]
    natal = engine.chart(BIRTH, LAT, LON)
    mc_natal = named(natal["planets"], "Midheaven")["ecliptic_longitude"]
    mc = named(result["planets"], "Midheaven")["ecliptic_longitude"]
    birth_jd = q.julian_day(BIRTH)
    if method == "solar_arc":
        arc = (named(sky["planets"], "Sun")["ecliptic_longitude"]
               - named(natal["planets"], "Sun")["ecliptic_longitude"]) % 360.0
        assert abs(offset(mc, mc_natal + arc)) < 1e-8
    else:
        arc = 0.98564733 * age_days / YEAR
        assert abs(offset(ramc(mc, birth_jd), ramc(mc_natal, birth_jd) + arc)) < 1e-8
    assert result["arc"] == pytest.approx(arc, abs=1e-8)
    # The rest of the houses come from that Midheaven at the birth latitude.
    assert result["houses"][9]["ecliptic_longitude"] == pytest.approx(mc, abs=1e-8)


def test_solar_arc_hits_are_exact_aspects_of_the_progressed_arc(engine):
    result = engine.solar_arc_directions(BIRTH, "2024-01-01T00:00:00Z", "2027-01-01T00:00:00Z",
                                         LAT, LON)
    natal = engine.chart(BIRTH, LAT, LON)["planets"]
    sun = named(natal, "Sun")["ecliptic_longitude"]
    birth = parse(BIRTH)
    assert result["hits"]
    for hit in result["hits"][::3]:
        age_days = (parse(hit["moment"]) - birth).total_seconds() / 86400
        progressed = birth + datetime.timedelta(days=age_days / YEAR)
        arc = offset(named(engine.chart(progressed, LAT, LON)["planets"], "Sun")["ecliptic_longitude"], sun)
        assert abs(arc - hit["arc"]) < 1e-6
        moved = named(natal, hit["directed"])["ecliptic_longitude"] + arc
        separation = abs(offset(moved, named(natal, hit["natal"])["ecliptic_longitude"]))
        assert abs(separation - hit["angle"]) < 1e-6
    times = [h["julian_day"] for h in result["hits"]]
    assert times == sorted(times)


@pytest.mark.parametrize("call, name", [
    (lambda e, x: e.planet_return("Sun", x, BIRTH, LAT, LON), "natal_longitude"),
    (lambda e, x: e.planet_return("Sun", 10.0, BIRTH, x, LON), "latitude"),
    (lambda e, x: e.returns("Moon", x, BIRTH, "1990-08-15T00:00Z"), "natal_longitude"),
    (lambda e, x: e.progressions(BIRTH, "2020-01-01T00:00Z", LAT, x), "longitude"),
    (lambda e, x: e.solar_arc_directions(BIRTH, "2020-01-01T00:00Z", "2021-01-01T00:00Z", x, LON),
     "latitude"),
    (lambda e, x: e.composite(BIRTH, LAT, LON, BIRTH, x, LON), "latitude_b"),
    (lambda e, x: e.davison(BIRTH, LAT, x, BIRTH, LAT, LON), "longitude_a"),
])
@pytest.mark.parametrize("value", [math.nan, math.inf, -math.inf])
def test_non_finite_numbers_are_refused_by_name(engine, call, name, value):
    with pytest.raises(ValueError, match=f"'{name}' must be a finite number"):
        call(engine, value)


def test_spans_and_names_are_checked(engine):
    chart = engine.chart(BIRTH, LAT, LON)
    with pytest.raises(ValueError, match="end must be after start"):
        engine.transit_timeline(chart, "2024-01-02T00:00Z", "2024-01-01T00:00Z")
    with pytest.raises(ValueError, match="at most 3660 days"):
        engine.transit_timeline(chart, "2000-01-01T00:00Z", "2020-01-01T00:00Z")
    with pytest.raises(ValueError, match="not a transiting body: Chiron"):
        engine.transit_timeline(chart, "2024-01-01T00:00Z", "2024-02-01T00:00Z", bodies=["Chiron"])
    with pytest.raises(ValueError, match="not a body with returns: Lilith"):
        engine.returns("Lilith", 10.0, "2024-01-01T00:00Z", "2024-02-01T00:00Z")
    with pytest.raises(ValueError, match="angle method"):
        engine.progressions(BIRTH, "2024-01-01T00:00Z", LAT, LON, angle_method="placidus")
    with pytest.raises(q.EphemerisRangeError):
        engine.returns("Sun", 10.0, "2649-06-01T00:00Z", "2651-01-01T00:00Z")
