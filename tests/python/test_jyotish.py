"""The Jyotish chart over the real kernel: the panchanga's end moments where
the engine's own longitudes cross each boundary, the Hindu day's sunrise
where skyfield puts the Sun's centre (or upper limb) on the horizon, the
rasi chart against the sidereal chart of the same moment, and the dashas in
each kind of year."""
import datetime
import random

import pytest

import quorvane_engine as q

DELHI = (28.61, 77.21)


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def random_births(count, seed):
    rng = random.Random(seed)
    start = datetime.datetime(1950, 1, 1, tzinfo=datetime.timezone.utc)
    for _ in range(count):
        moment = start + datetime.timedelta(days=rng.uniform(0, 365.25 * 80))
        yield moment.isoformat(), rng.uniform(-60, 60), rng.uniform(-180, 180)


def sidereal(engine, moment, ayanamsa="lahiri"):
    found = engine.positions([moment], ["Sun", "Moon"], zodiac_type="sidereal",
                             ayanamsa=ayanamsa)
    sun, moon = found["longitude"][0]
    return float(sun), float(moon)


def shifted(text, seconds):
    moment = datetime.datetime.fromisoformat(text.replace("Z", "+00:00"))
    return (moment + datetime.timedelta(seconds=seconds)).isoformat()


def passes(before, after, boundary):
    """Whether an increasing angle went from below `boundary` to at or past it."""
    return (boundary - before) % 360 < 90 and 0 <= (after - boundary) % 360 < 90


def test_panchanga_ends_where_the_boundary_is_crossed(engine):
    for moment, latitude, longitude in random_births(12, 3):
        day = engine.jyotish(moment, latitude, longitude)["panchanga"]
        quantities = {
            "tithi": (lambda s, m: m - s, 12.0),
            "karana": (lambda s, m: m - s, 6.0),
            "nakshatra": (lambda s, m: m, 360 / 27),
            "yoga": (lambda s, m: s + m, 360 / 27),
        }
        for name, (quantity, span) in quantities.items():
            element = day[name]
            boundary = (element["number"] * span) % 360
            now = quantity(*sidereal(engine, moment)) % 360
            assert (boundary - now) % 360 <= span + 1e-9, (name, moment)
            before = quantity(*sidereal(engine, shifted(element["end"], -1))) % 360
            after = quantity(*sidereal(engine, shifted(element["end"], 1))) % 360
            assert passes(before, after, boundary), (name, moment, element)
        assert day["tithi"]["paksha"] == ("shukla" if day["tithi"]["number"] <= 15 else "krishna")


@pytest.mark.parametrize("convention, altitude", [("disc_centre", 0.0), ("upper_limb", -0.8333)])
def test_sunrise_puts_the_sun_at_its_altitude(engine, de440, convention, altitude):
    pytest.importorskip("skyfield")
    from skyfield.api import load, wgs84
    from skyfield.jpllib import SpiceKernel
    ts = load.timescale()
    kernel = SpiceKernel(de440)
    earth, sun = kernel["earth"], kernel["sun"]
    for moment, latitude, longitude in random_births(6, 5):
        day = engine.jyotish(moment, latitude, longitude, sunrise=convention)["panchanga"]
        place = earth + wgs84.latlon(latitude, longitude)
        for key in ("sunrise", "sunset", "next_sunrise"):
            # The engine takes UTC for UT1, as skyfield's ut1() does.
            when = ts.ut1(jd=q.julian_day(day[key]))
            alt, _, _ = place.at(when).observe(sun).apparent().altaz()
            assert alt.degrees == pytest.approx(altitude, abs=1e-4), (key, moment, latitude)
        at = datetime.datetime.fromisoformat(moment)
        rise, next_rise = (datetime.datetime.fromisoformat(day[k].replace("Z", "+00:00"))
                           for k in ("sunrise", "next_sunrise"))
        assert rise <= at < next_rise
        # The vara is the weekday of the sunrise that began the Hindu day.
        sunrise = datetime.datetime.fromisoformat(day["sunrise"].replace("Z", "+00:00"))
        local = sunrise + datetime.timedelta(hours=longitude / 15)
        assert day["vara"]["number"] == (local.weekday() + 1) % 7 + 1


def test_rasi_chart_is_the_sidereal_chart(engine):
    for moment, latitude, longitude in random_births(10, 9):
        for node in ("mean", "true"):
            chart = engine.jyotish(moment, latitude, longitude, node=node, ayanamsa="raman")
            western = engine.chart(moment, latitude, longitude, zodiac_type="sidereal",
                                   ayanamsa="raman", node=node)
            places = {p["name"]: p["ecliptic_longitude"] for p in western["planets"]}
            places.update(Rahu=places["North Node"], Ketu=places["South Node"])
            assert chart["ayanamsa_degrees"] == western["ayanamsa_value"]
            assert chart["lagna"]["longitude"] == pytest.approx(places["Ascendant"], abs=1e-9)
            lagna_sign = int(chart["lagna"]["longitude"] // 30)
            for body in chart["bodies"]:
                assert body["longitude"] == pytest.approx(places[body["name"]], abs=1e-9)
                sign = int(body["longitude"] // 30)
                assert body["house"] == (sign - lagna_sign) % 12 + 1
                assert chart["vargas"]["D1"][body["name"]] == body["sign"]
            sun = chart["bodies"][0]["longitude"]
            orbs = {"Moon": 12, "Mars": 17, "Jupiter": 11, "Saturn": 15}
            for body in chart["bodies"]:
                if body["name"] in orbs:
                    gap = abs((body["longitude"] - sun + 180) % 360 - 180)
                    assert body["combust"] == (gap <= orbs[body["name"]])


@pytest.mark.parametrize("year, days", [("julian", 365.25), ("tropical", 365.2422),
                                        ("savana", 360.0)])
def test_dashas_count_in_the_year_asked_for(engine, year, days):
    chart = engine.jyotish("1990-07-14T03:00:00Z", *DELHI, dasha_year=year, dasha_depth=1)
    assert chart["dasha_year_days"] == days

    def span(period):
        start, end = (datetime.datetime.fromisoformat(period[k].replace("Z", "+00:00"))
                      for k in ("start", "end"))
        return (end - start).total_seconds() / 86400

    for system, total in (("vimshottari", 120), ("yogini", 36 * 4), ("ashtottari", 108)):
        periods = chart["dashas"][system]["periods"]
        whole = (datetime.datetime.fromisoformat(periods[-1]["end"].replace("Z", "+00:00"))
                 - datetime.datetime.fromisoformat(periods[0]["start"].replace("Z", "+00:00")))
        assert whole.total_seconds() / 86400 == pytest.approx(total * days, abs=1e-4)
        first = chart["dashas"][system]
        birth = datetime.datetime(1990, 7, 14, 3, tzinfo=datetime.timezone.utc)
        left = (datetime.datetime.fromisoformat(periods[0]["end"].replace("Z", "+00:00"))
                - birth).total_seconds() / 86400
        assert left == pytest.approx(first["balance_years"] * days, abs=1e-4)
        assert all(span(p) > 0 for p in periods)


def test_a_span_goes_five_levels_deep_and_the_running_chain_lies_in_it(engine):
    chart = engine.jyotish("1990-07-14T03:00:00Z", *DELHI, dasha_depth=5,
                           dasha_from="2020-01-01T00:00:00Z", dasha_to="2020-01-03T00:00:00Z",
                           dasha_at="2020-01-02T00:00:00Z")
    for system in ("vimshottari", "yogini", "ashtottari"):
        level, chain = chart["dashas"][system]["periods"], chart["dashas"][system]["running"]
        assert [p["level"] for p in chain] == ["maha", "antar", "pratyantar", "sookshma", "prana"]
        for running in chain:
            found = [p for p in level if p["start"] <= "2020-01-02T00:00:00" < p["end"]]
            assert [(p["lord"], p["start"], p["end"]) for p in found] == \
                [(running["lord"], running["start"], running["end"])]
            level = found[0].get("periods", [])
    with pytest.raises(ValueError, match="dasha_depth"):
        engine.jyotish("1990-07-14T03:00:00Z", *DELHI, dasha_depth=4)
    with pytest.raises(ValueError, match="dasha_year"):
        engine.jyotish("1990-07-14T03:00:00Z", *DELHI, dasha_year="lunar")


def test_the_command_prints_the_chart(capsys, de440):
    from quorvane.cli import main
    assert main(["jyotish", "1990-07-14 08:30", "28.61", "77.21", "--tz", "Asia/Kolkata",
                 "--dasha-year", "360", "--json", "--kernel", de440]) == 0
    import json
    chart = json.loads(capsys.readouterr().out)
    assert chart["dasha_year"] == "savana" and chart["input"]["utc"].startswith("1990-07-14T03:00")
    assert main(["jyotish", "1990-07-14 08:30", "28.61", "77.21", "--tz", "Asia/Kolkata",
                 "--kernel", de440]) == 0
    text = capsys.readouterr().out
    assert "[vimshottari]" in text and "[panchanga]" in text
