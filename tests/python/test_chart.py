import inspect
import json
import threading

import pytest

import quorvane_engine as q

MOMENT = "2024-03-20T03:06:00Z"
CHART_KEYS = ["house_system", "house_system_used", "house_system_fallback", "node", "zodiac_type", "ayanamsa", "ayanamsa_name", "ayanamsa_value",
              "ayanamsa_formatted", "precession_rate_arcsec_yr", "orb_settings", "planets",
              "unavailable_bodies", "houses", "aspects", "fixed_stars", "arabic_parts",
              "temperament", "lunar_status", "sect", "dignity_scheme", "receptions", "antiscia",
              "planetary_hours", "chinese_calendar"]
PLACEMENT_KEYS = ["name", "symbol", "sign", "sign_symbol", "degree", "minute",
                  "ecliptic_longitude", "house", "speed", "is_retrograde", "symbolic_degree"]
CUSP_KEYS = ["house_number", "sign", "sign_symbol", "degree", "minute", "ecliptic_longitude",
             "symbolic_degree"]
ASPECT_KEYS = ["body1", "body2", "aspect_type", "symbol", "angle", "orb", "max_orb", "is_major",
               "is_applying"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def test_signature_and_docstring():
    assert str(inspect.signature(q.Engine.chart)) == (
        "(self, /, moment, latitude, longitude, house_system='P', zodiac_type='tropical', "
        "ayanamsa='galcent_0sag', orb_settings=None, dignity_scheme='lilly', "
        "chinese_calendar=False, house_obliquity='mean', node='mean', *, json=False)")
    assert q.Engine.chart.__doc__.startswith(
        "The chart of a moment and place, as the API's chart dict; with\n")


class TestChartDict:
    def test_key_orders(self, engine):
        chart = engine.chart(MOMENT, 51.48, -0.0)
        present = [k for k in CHART_KEYS if k in chart]
        assert list(chart) == present
        assert "planetary_hours" in chart and "chinese_calendar" not in chart
        for placement in chart["planets"]:
            assert list(placement)[:len(PLACEMENT_KEYS)] == PLACEMENT_KEYS
        for cusp in chart["houses"]:
            assert list(cusp) == CUSP_KEYS
        assert chart["aspects"]
        for aspect in chart["aspects"]:
            # Fixed-star conjunctions carry no is_major.
            keys = ASPECT_KEYS if "is_major" in aspect else [k for k in ASPECT_KEYS if k != "is_major"]
            assert list(aspect) == keys

    def test_bodies_points_and_houses(self, engine):
        chart = engine.chart(MOMENT, 51.48, -0.0)
        names = [p["name"] for p in chart["planets"]]
        assert names == ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn",
                         "Uranus", "Neptune", "Pluto", "North Node", "South Node", "Chiron",
                         "Lilith", "Ascendant", "Midheaven"]
        asc, mc = chart["planets"][-2:]
        assert (asc["symbol"], mc["symbol"]) == ("ASC", "MC")
        assert asc["speed"] == mc["speed"] == 0 and not asc["is_retrograde"]
        assert chart["unavailable_bodies"] == []
        assert [c["house_number"] for c in chart["houses"]] == list(range(1, 13))
        assert chart["houses"][0]["ecliptic_longitude"] == asc["ecliptic_longitude"]
        # The vernal equinox of 2024 fell at 03:06 UTC: the Sun sits on 0° Aries.
        sun = chart["planets"][0]["ecliptic_longitude"]
        assert min(sun, 360 - sun) < 0.01

    def test_bodies_beyond_their_tables_are_listed_unavailable(self, engine):
        # The kernel reaches 1700; the Chiron table starts in 1849.
        chart = engine.chart("1700-06-01T12:00Z", 48.85, 2.35)
        assert chart["unavailable_bodies"] == ["Chiron"]
        assert "Chiron" not in [p["name"] for p in chart["planets"]]

    @pytest.mark.parametrize("moment, sect", [("2024-06-01T12:00Z", "diurnal"),
                                              ("2024-06-01T00:00Z", "nocturnal")])
    def test_sect_follows_the_sun_across_the_horizon(self, engine, moment, sect):
        chart = engine.chart(moment, 48.85, 2.35)
        assert chart["sect"] == sect
        sun = next(p for p in chart["planets"] if p["name"] == "Sun")
        assert (sun["house"] >= 7) == (sect == "diurnal")

    def test_tropical_and_sidereal_fields(self, engine):
        tropical = engine.chart(MOMENT, 51.48, -0.0)
        assert [tropical[k] for k in ("ayanamsa", "ayanamsa_name", "ayanamsa_value",
                                      "ayanamsa_formatted")] == [None] * 4
        assert tropical["precession_rate_arcsec_yr"] == 50.291
        with pytest.warns(UserWarning, match='^unknown ayanamsa "bogus"'):
            sidereal = engine.chart(MOMENT, 51.48, -0.0, zodiac_type=" Sidereal ",
                                    ayanamsa="bogus")
        assert sidereal["zodiac_type"] == "sidereal"
        assert sidereal["ayanamsa"] == "galcent_0sag"
        assert sidereal["ayanamsa_name"] == "Galactic Center 0° Sagittarius"
        offset = sidereal["ayanamsa_value"]
        for a, b in zip(tropical["planets"], sidereal["planets"]):
            diff = (a["ecliptic_longitude"] - b["ecliptic_longitude"] - offset) % 360
            assert min(diff, 360 - diff) < 1e-9, a["name"]

    def test_options_are_echoed_or_normalised(self, engine):
        with pytest.warns(UserWarning, match='^unknown zodiac_type "whatever"'):
            chart = engine.chart(MOMENT, 51.48, -0.0, house_system="p",
                                 dignity_scheme="EGYPTIAN", zodiac_type="whatever")
        placidus = engine.chart(MOMENT, 51.48, -0.0)
        assert chart["house_system"] == "p"
        assert chart["houses"] == placidus["houses"]
        assert chart["dignity_scheme"] == "dorothean"
        assert chart["zodiac_type"] == "tropical"
        assert placidus["dignity_scheme"] == "lilly"

    def test_orb_settings_none_and_omitted_agree(self, engine):
        assert engine.chart(MOMENT, 10, 20, orb_settings=None) == engine.chart(MOMENT, 10, 20)

    def test_orb_settings_merge_is_echoed(self, engine):
        chart = engine.chart(MOMENT, 10, 20, orb_settings={"method": "aspect",
                                                            "aspect_orbs": {"Trine": 1}})
        assert chart["orb_settings"]["method"] == "aspect"
        assert chart["orb_settings"]["aspect_orbs"]["Trine"] == 1
        assert all(a["max_orb"] <= 8 for a in chart["aspects"])

    def test_result_is_plain_json(self, engine):
        chart = engine.chart(MOMENT, -33.9, 151.2, house_system="K")
        assert json.loads(json.dumps(chart)) == chart


class TestChartErrors:
    def test_out_of_range(self, engine):
        with pytest.raises(q.EphemerisRangeError) as info:
            engine.chart("3000-01-01T00:00Z", 0, 0)
        assert str(info.value) == ("JD 2816787.5 is outside the loaded ephemeris coverage "
                                   "(JD 2287184.5 to 2688976.5)")
        assert isinstance(info.value, q.EngineError)

    def test_no_kernels(self):
        with pytest.raises(q.EphemerisRangeError, match="no ephemeris loaded$"):
            q.Engine([]).chart(MOMENT, 0, 0)

    def test_bad_orb_settings(self, engine):
        with pytest.raises(ValueError, match="^aspect_orbs must be an object, got 5$"):
            engine.chart(MOMENT, 0, 0, orb_settings={"aspect_orbs": 5})
        with pytest.raises(ValueError):
            engine.chart(MOMENT, 0, 0, orb_settings={"fixed_star_orb": float("nan")})
        with pytest.raises(TypeError):
            engine.chart(MOMENT, 0, 0, orb_settings={"x": object()})
        with pytest.raises(ValueError, match='^not a number: "wide"$'):
            engine.chart(MOMENT, 0, 0, orb_settings={"planet_orbs": {"Sun": "wide"}})

    @pytest.mark.parametrize("kwargs", [
        {"house_system": None}, {"zodiac_type": 1}, {"ayanamsa": b"lahiri"},
        {"dignity_scheme": 3.0}, {"chinese_calendar": 1}, {"latitude": "north"},
    ])
    def test_argument_types(self, engine, kwargs):
        args = {"moment": MOMENT, "latitude": 0.0, "longitude": 0.0}
        args.update(kwargs)
        with pytest.raises(TypeError) as info:
            engine.chart(**args)
        assert list(kwargs)[0] in str(info.value)

    def test_moment_errors(self, engine):
        with pytest.raises(ValueError, match="invalid UTC date-time: yesterday"):
            engine.chart("yesterday", 0, 0)
        with pytest.raises(AttributeError):
            engine.chart(12345, 0, 0)


def test_threads_agree_with_serial_run(engine):
    moments = [f"20{y:02d}-0{m}-1{d}T1{d}:00Z" for y in range(0, 24, 3) for m in (1, 7)
               for d in (1, 5)]
    serial = [engine.chart(t, 40.0, -3.7) for t in moments]
    results = [None] * len(moments)

    def work(offset):
        for i in range(offset, len(moments), 8):
            results[i] = engine.chart(moments[i], 40.0, -3.7)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == serial
