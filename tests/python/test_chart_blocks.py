"""The chart blocks built from the placements: fixed stars, lots,
temperament and lunar status, as the chart dict carries them."""
import pytest

import quorvane_engine as q

MOMENT = "2024-03-20T03:06:00Z"
STAR_KEYS = ["name", "symbol", "sign", "sign_symbol", "degree", "minute", "ecliptic_longitude",
             "ecliptic_latitude", "house", "magnitude", "symbolic_degree"]
LOT_KEYS = ["name", "symbol", "sign", "sign_symbol", "degree", "minute", "ecliptic_longitude",
            "house", "formula_used", "is_diurnal", "symbolic_degree"]
LOT_NAMES = ["Fortune", "Spirit", "Eros", "Necessity", "Courage", "Victory", "Nemesis",
             "Marriage", "Commerce", "Sickness", "Death"]
TEMPERAMENT_KEYS = ["primary_temperament", "secondary_temperament", "scores", "percentages",
                    "qualities", "quality_percentages", "breakdown"]
LUNAR_KEYS = ["phase_key", "phase_name", "phase_quarter", "glyph", "elongation",
              "illumination_percentage", "moon_age_days", "is_waxing", "moon_sign",
              "moon_degree", "moon_minute", "moon_longitude", "moon_house", "moon_speed",
              "speed_status", "essential_dignity", "lunar_mansion"]
MANSION_KEYS = ["number", "arabic", "name", "sign", "degree_start", "degree_end"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def chart(engine):
    # A wide star orb so that the chart surely has star conjunctions.
    return engine.chart(MOMENT, 51.48, -0.0, orb_settings={"fixed_star_orb": 4})


def body(chart, name):
    return next(p for p in chart["planets"] if p["name"] == name)


def separation(a, b):
    d = abs(a - b) % 360
    return 360 - d if d > 180 else d


class TestFixedStars:
    def test_entries_and_their_aspects(self, chart):
        stars = chart["fixed_stars"]
        assert stars
        for star in stars:
            assert list(star) == STAR_KEYS
            assert star["symbol"] == "★"
        names = [s["name"] for s in stars]
        assert names == sorted(names)  # catalogue order is alphabetical

        natal = [a for a in chart["aspects"] if "is_major" in a]
        starry = [a for a in chart["aspects"] if "is_major" not in a]
        # Star conjunctions come after every natal aspect.
        assert chart["aspects"] == natal + starry
        assert sorted({a["body1"] for a in starry}) == names
        points = {p["name"]: p["ecliptic_longitude"] for p in chart["planets"]}
        longitude = {s["name"]: s["ecliptic_longitude"] for s in stars}
        for a in starry:
            assert a["aspect_type"] == "Conjunction" and a["angle"] == 0
            assert a["max_orb"] == 4
            d = separation(longitude[a["body1"]], points[a["body2"]])
            assert d <= 4 and a["orb"] == round(d, 2)

    def test_star_longitudes_of_date(self, engine):
        # J2000 places carried forward at 50.290966"/yr to JD 2460389.6292.
        chart = engine.chart(MOMENT, 51.48, -0.0, orb_settings={"fixed_star_orb": 180})
        years = (2460389.629166667 - 2451545) / 365.25
        stars = {s["name"]: s for s in chart["fixed_stars"]}
        for name, j2000 in (("Regulus", 149.829), ("Spica", 203.8361), ("Scheat", 359.369)):
            expected = (j2000 + years * 50.290966 / 3600) % 360
            assert stars[name]["ecliptic_longitude"] == pytest.approx(expected, abs=1e-9)

    def test_orb_setting_widens_and_narrows(self, engine):
        wide = engine.chart(MOMENT, 51.48, -0.0, orb_settings={"fixed_star_orb": 180})
        assert len(wide["fixed_stars"]) == 61
        assert len([a for a in wide["aspects"] if "is_major" not in a]) == 61 * 16
        none = engine.chart(MOMENT, 51.48, -0.0, orb_settings={"fixed_star_orb": 0})
        assert none["fixed_stars"] == []
        assert all("is_major" in a for a in none["aspects"])

    def test_sidereal_chart_subtracts_the_ayanamsa(self, engine):
        options = {"orb_settings": {"fixed_star_orb": 180}}
        tropical = engine.chart(MOMENT, 51.48, -0.0, **options)
        sidereal = engine.chart(MOMENT, 51.48, -0.0, zodiac_type="sidereal", ayanamsa="lahiri",
                                **options)
        offset = sidereal["ayanamsa_value"]
        for a, b in zip(tropical["fixed_stars"], sidereal["fixed_stars"]):
            assert a["name"] == b["name"]
            assert separation(a["ecliptic_longitude"] - offset, b["ecliptic_longitude"]) < 1e-9


class TestLots:
    def test_entries_follow_the_charts_points(self, chart):
        lots = chart["arabic_parts"]
        assert [lot["name"] for lot in lots] == LOT_NAMES
        for lot in lots:
            assert list(lot) == LOT_KEYS
        sun, moon, asc = (body(chart, n)["ecliptic_longitude"] for n in ("Sun", "Moon", "Ascendant"))
        # At 03:06 UT in London the Sun is below the horizon (house 1 to 6).
        assert body(chart, "Sun")["house"] <= 6
        fortune, spirit = lots[0], lots[1]
        assert not fortune["is_diurnal"]
        assert fortune["formula_used"] == "ASC + Sun - Moon (Night)"
        assert fortune["ecliptic_longitude"] == pytest.approx((asc + sun - moon) % 360, abs=1e-9)
        assert spirit["ecliptic_longitude"] == pytest.approx((asc + moon - sun) % 360, abs=1e-9)
        death = lots[10]
        cusp8 = chart["houses"][7]["ecliptic_longitude"]
        assert death["formula_used"] == "ASC + Moon - House 8 (Night)"
        assert death["ecliptic_longitude"] == pytest.approx((asc + moon - cusp8) % 360, abs=1e-9)

class TestTemperament:
    def test_keys_and_sums(self, chart):
        t = chart["temperament"]
        assert list(t) == TEMPERAMENT_KEYS
        assert list(t["scores"]) == ["choleric", "sanguine", "phlegmatic", "melancholic"]
        assert list(t["qualities"]) == ["hot", "cold", "wet", "dry"]
        for factor in t["breakdown"]:
            assert list(factor) == ["factor", "details", "hot", "cold", "wet", "dry"]
        for quality in ("hot", "cold", "wet", "dry"):
            total = sum(f[quality] for f in t["breakdown"])
            assert total == pytest.approx(t["qualities"][quality])
        assert sum(t["percentages"].values()) == pytest.approx(100, abs=0.2)
        scores = t["scores"]
        assert scores["choleric"] == t["qualities"]["hot"] + t["qualities"]["dry"]
        ranked = sorted(scores, key=lambda k: -scores[k])
        assert t["primary_temperament"] == ranked[0].capitalize()

class TestLunarStatus:
    def test_keys_and_moon_fields(self, chart):
        status = chart["lunar_status"]
        assert list(status) == LUNAR_KEYS
        assert list(status["lunar_mansion"]) == MANSION_KEYS
        moon = body(chart, "Moon")
        sun = body(chart, "Sun")
        assert status["moon_sign"] == moon["sign"]
        assert (status["moon_degree"], status["moon_minute"]) == (moon["degree"], moon["minute"])
        assert status["moon_house"] == moon["house"]
        assert status["moon_longitude"] == round(moon["ecliptic_longitude"], 3)
        assert status["moon_speed"] == round(moon["speed"], 2)
        e = (moon["ecliptic_longitude"] - sun["ecliptic_longitude"]) % 360
        assert status["elongation"] == round(e, 2)
        assert status["lunar_mansion"]["number"] == int(moon["ecliptic_longitude"] // (360 / 28)) + 1


def lunations(de440):
    """New and full moons of 2024 from skyfield over the same kernel."""
    from skyfield import almanac
    from skyfield.api import load
    from skyfield.jpllib import SpiceKernel

    ts = load.timescale()
    eph = SpiceKernel(de440)
    times, phases = almanac.find_discrete(ts.utc(2024, 1, 1), ts.utc(2024, 4, 1),
                                          almanac.moon_phases(eph))
    return [(t.utc_strftime("%Y-%m-%dT%H:%M:%SZ"), int(p)) for t, p in zip(times, phases)
            if p in (0, 2)]


@pytest.fixture(scope="module")
def events(de440):
    pytest.importorskip("skyfield")
    return lunations(de440)


class TestLunarPhaseOnRealCharts:
    @staticmethod
    def shifted(moment, hours):
        from datetime import datetime, timedelta, timezone
        t = datetime.strptime(moment, "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=timezone.utc)
        return t + timedelta(hours=hours)

    def test_phases_around_new_and_full_moon(self, engine, events):
        assert len(events) >= 6
        for moment, phase in events:
            centre = "new_moon" if phase == 0 else "full_moon"
            for hours in (-1, 1, -30, 30):
                chart = engine.chart(self.shifted(moment, hours), 0.0, 0.0)
                status = chart["lunar_status"]
                e = (body(chart, "Moon")["ecliptic_longitude"]
                     - body(chart, "Sun")["ecliptic_longitude"]) % 360
                assert status["elongation"] == round(e, 2)
                if abs(hours) == 1:
                    # About half a degree from the exact phase.
                    assert status["phase_key"] == centre, (moment, hours)
                    target = 0 if phase == 0 else 180
                    assert separation(e, target) < 1.0
                    assert status["is_waxing"] == (hours < 0 if phase == 2 else hours > 0)
                else:
                    # 30 hours is 14 to 19 degrees: still short of 22.5.
                    assert status["phase_key"] == centre, (moment, hours)
            chart = engine.chart(self.shifted(moment, 0), 0.0, 0.0)
            e = chart["lunar_status"]["elongation"]
            assert separation(e, 0 if phase == 0 else 180) < 0.01, moment
            assert chart["lunar_status"]["illumination_percentage"] == (0.0 if phase == 0 else 100.0)

    def test_crescents_a_few_days_out(self, engine, events):
        for moment, phase in events:
            if phase != 0:
                continue
            after = engine.chart(self.shifted(moment, 72), 0.0, 0.0)["lunar_status"]
            before = engine.chart(self.shifted(moment, -72), 0.0, 0.0)["lunar_status"]
            assert after["phase_key"] == "waxing_crescent" and after["is_waxing"]
            assert before["phase_key"] == "waning_crescent" and not before["is_waxing"]
            # Three days is 34 to 46 degrees of elongation.
            assert 2.7 < after["moon_age_days"] < 3.9
            assert 25.6 < before["moon_age_days"] < 26.9
            assert after["phase_quarter"] == 1 and before["phase_quarter"] == 4

