import datetime
import inspect

import pytest

import quorvane_engine as q

MOMENT = "2024-03-20T03:06:00Z"
HORARY_KEYS = ["planetary_hours", "ascendant_sign", "ascendant_degree", "traditional_asc_ruler",
               "modern_asc_ruler", "is_radical", "strictures", "moon_status", "judgment"]
MOON_KEYS = ["void_of_course", "degrees_to_next_sign", "hours_to_next_sign", "next_sign",
             "speed_status", "applying_aspects", "next_applying_aspect", "last_aspect",
             "separating_aspects"]
JUDGMENT_KEYS = ["quesited_house", "querent", "co_significator", "quesited", "same_significator",
                 "perfection", "moon_perfection", "prohibition", "refranation", "translation",
                 "collection", "receptions"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def test_signature_and_docstring():
    assert str(inspect.signature(q.Engine.horary)) == (
        "(self, /, moment, latitude, longitude, house_system='P', zodiac_type='tropical', "
        "ayanamsa='galcent_0sag', orb_settings=None, dignity_scheme='lilly', "
        "quesited_house=None, chinese_calendar=False, house_obliquity='mean', node='mean', *, "
        "json=False)")
    assert q.Engine.horary.__doc__ == (
        "A chart with its horary analysis under the `horary_data` key; `quesited_house`\n"
        "(1-12; ValueError outside) is the house of the matter asked about.")


class TestHoraryDict:
    def test_chart_keys_then_horary_data(self, engine):
        horary = engine.horary(MOMENT, 51.48, -0.0, quesited_house=7)
        chart = engine.chart(MOMENT, 51.48, -0.0)
        assert list(horary) == list(chart) + ["horary_data"]
        data = horary.pop("horary_data")
        assert horary == chart
        assert list(data) == HORARY_KEYS
        assert list(data["moon_status"]) == MOON_KEYS
        assert list(data["judgment"]) == JUDGMENT_KEYS
        for stricture in data["strictures"]:
            assert list(stricture) == ["code", "severity", "message"]

    def test_planetary_hours_in_both_places(self, engine):
        for moment in (MOMENT, "2024-03-20T15:00:00Z", "2031-07-04T23:59:00Z"):
            horary = engine.horary(moment, -33.9, 18.4)
            assert horary["planetary_hours"] == horary["horary_data"]["planetary_hours"]
            assert horary["planetary_hours"] == engine.chart(moment, -33.9, 18.4)["planetary_hours"]

    def test_ascendant_and_significators_follow_the_chart(self, engine):
        horary = engine.horary(MOMENT, 51.48, -0.0, quesited_house=10)
        data = horary["horary_data"]
        asc = next(p for p in horary["planets"] if p["name"] == "Ascendant")
        assert data["ascendant_sign"] == asc["sign"]
        assert data["ascendant_degree"] == f"{asc['degree']}° {asc['minute']}' {asc['sign']}"
        rulers = {"Aries": "Mars", "Taurus": "Venus", "Gemini": "Mercury", "Cancer": "Moon",
                  "Leo": "Sun", "Virgo": "Mercury", "Libra": "Venus", "Scorpio": "Mars",
                  "Sagittarius": "Jupiter", "Capricorn": "Saturn", "Aquarius": "Saturn",
                  "Pisces": "Jupiter"}
        judgment = data["judgment"]
        assert judgment["querent"] == data["traditional_asc_ruler"] == rulers[asc["sign"]]
        assert judgment["quesited"] == rulers[horary["houses"][9]["sign"]]
        assert judgment["quesited_house"] == 10

    def test_no_quesited_house_judges_nothing_and_no_house_is_refused(self, engine):
        judgment = engine.horary(MOMENT, 51.48, -0.0, quesited_house=None)[
            "horary_data"]["judgment"]
        assert judgment["quesited_house"] is None and judgment["quesited"] is None
        assert judgment["perfection"] is None and judgment["moon_perfection"] is None
        assert judgment["translation"] == [] and judgment["collection"] == []
        for house in (0, 13, 255, -1, 2**70):
            with pytest.raises(ValueError, match="quesited_house"):
                engine.horary(MOMENT, 51.48, -0.0, quesited_house=house)

    def test_options_pass_through(self, engine):
        when = datetime.datetime(2024, 3, 20, 4, 6, tzinfo=datetime.timezone(
            datetime.timedelta(hours=1)))
        horary = engine.horary(when, 51.48, -0.0, "W", "sidereal", "lahiri",
                               {"aspect_orbs": {"Conjunction": 10}}, "egyptian", 7, True)
        assert horary["house_system"] == "W"
        assert horary["ayanamsa"] == "lahiri"
        assert horary["dignity_scheme"] == "dorothean"
        assert horary["orb_settings"]["aspect_orbs"]["Conjunction"] == 10
        assert "chinese_calendar" in horary
        assert "chinese_calendar" not in engine.horary(MOMENT, 51.48, -0.0)


class TestErrors:
    def test_quesited_house_conversion(self, engine):
        for bad in (7.0, "7"):
            with pytest.raises(TypeError, match="quesited_house"):
                engine.horary(MOMENT, 51.48, -0.0, quesited_house=bad)

    def test_arguments(self, engine):
        with pytest.raises(TypeError):
            engine.horary(MOMENT, 51.48)
        with pytest.raises(TypeError, match="house_system"):
            engine.horary(MOMENT, 51.48, -0.0, house_system=None)
        with pytest.raises(TypeError):
            engine.horary(MOMENT, 51.48, -0.0, question=7)
        with pytest.raises(ValueError, match="invalid UTC date-time"):
            engine.horary("2024-03-20 nonsense", 51.48, -0.0)
        with pytest.raises(AttributeError):
            engine.horary(2460389.6, 51.48, -0.0)
        with pytest.raises(ValueError):
            engine.horary(MOMENT, 51.48, -0.0, orb_settings={"default_orb": float("nan")})

    def test_engine_errors(self, engine):
        with pytest.raises(q.EphemerisRangeError, match="no ephemeris loaded"):
            q.Engine([]).horary(MOMENT, 51.48, -0.0)
        with pytest.raises(q.EphemerisRangeError):
            engine.horary("2700-01-01T00:00:00Z", 51.48, -0.0, quesited_house=7)
