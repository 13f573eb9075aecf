import inspect

import pytest

import quorvane_engine as q

MOMENT = "2024-03-20T03:06:00Z"
TRANSIT_KEYS = ["transit_planets", "transit_houses", "cross_aspects", "transit_datetime",
                "transit_lat", "transit_lon", "zodiac_type", "ayanamsa", "ayanamsa_name",
                "ayanamsa_value", "ayanamsa_formatted"]
CROSS_KEYS = ["body1", "body1_source", "body2", "body2_source", "aspect_type", "symbol", "angle",
              "orb", "max_orb", "is_major", "is_applying"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def natal(engine):
    return engine.chart("1987-06-14T16:45:00Z", 45.46, 9.19)


def test_signatures_and_docstrings():
    assert str(inspect.signature(q.Engine.transit)) == (
        "(self, /, natal_planets, moment, latitude, longitude, house_system='P', "
        "zodiac_type='tropical', ayanamsa='galcent_0sag', orb_settings=None, "
        "dignity_scheme='lilly', house_obliquity='mean', *, json=False)")
    assert q.Engine.transit.__doc__ == (
        "The sky at `moment` and place, with its cross-aspects to `natal_planets`.")
    assert str(inspect.signature(q.synastry)) == (
        "(chart_a_planets, chart_b_planets, orb_settings=None, *, json=False)")
    assert q.synastry.__doc__ == "Cross-aspects from chart B's planets (overlay) to chart A's (base)."
    assert str(inspect.signature(q.derived_chart)) == (
        "(base_chart, root_house, custom_name=None, *, json=False)")
    assert q.derived_chart.__doc__ == (
        "A derived (turned) chart from a chart dict: radix house `root_house` becomes house 1.")


class TestTransit:
    def test_own_sky_gives_exact_conjunctions(self, engine):
        chart = engine.chart(MOMENT, 51.48, -0.0)
        transit = engine.transit(chart["planets"], MOMENT, 51.48, -0.0)
        assert list(transit) == TRANSIT_KEYS
        assert transit["transit_planets"] == chart["planets"]
        assert transit["transit_houses"] == chart["houses"]
        names = [p["name"] for p in chart["planets"]]
        selves = {(a["body1"], a["body2"]): a for a in transit["cross_aspects"]
                  if a["body1"] == a["body2"]}
        assert sorted(n for n, _ in selves) == sorted(names)
        for aspect in selves.values():
            assert (aspect["aspect_type"], aspect["orb"], aspect["angle"]) == ("Conjunction", 0, 0)
        pairs = {(a["body1"], a["body2"]) for a in transit["cross_aspects"]}
        assert ("North Node", "South Node") not in pairs
        assert ("South Node", "North Node") not in pairs
        for aspect in transit["cross_aspects"]:
            assert list(aspect) == CROSS_KEYS
            assert (aspect["body1_source"], aspect["body2_source"]) == ("overlay", "base")

    def test_grouped_by_transit_body_then_natal_order(self, engine, natal):
        reordered = list(reversed(natal["planets"]))
        transit = engine.transit(reordered, "2024-01-01T00:00:00Z", 40.7, -74.0)
        transit_order = [p["name"] for p in transit["transit_planets"]]
        natal_order = [p["name"] for p in reordered]
        keys = [(transit_order.index(a["body1"]), natal_order.index(a["body2"]))
                for a in transit["cross_aspects"]]
        assert keys == sorted(keys)

    def test_fields_and_sidereal_ayanamsa(self, engine, natal):
        transit = engine.transit(natal["planets"], "2024-01-01T12:00:00.5Z", 40.7, -74.0,
                                 zodiac_type="sidereal", ayanamsa="lahiri")
        assert transit["transit_datetime"] == "2024-01-01T12:00:00.500000+00:00"
        assert (transit["transit_lat"], transit["transit_lon"]) == (40.7, -74.0)
        chart = engine.chart("2024-01-01T12:00:00.5Z", 40.7, -74.0, zodiac_type="sidereal",
                             ayanamsa="lahiri")
        for key in ["zodiac_type", "ayanamsa", "ayanamsa_name", "ayanamsa_value",
                    "ayanamsa_formatted"]:
            assert transit[key] == chart[key]
        assert transit["ayanamsa"] == "lahiri"
        for key in ["house_system", "dignity_scheme", "planetary_hours"]:
            assert key not in transit

    def test_orb_settings_reach_the_cross_aspects(self, engine, natal):
        wide = engine.transit(natal["planets"], MOMENT, 0.0, 0.0,
                              orb_settings={"method": "aspect",
                                            "aspect_orbs": {"Conjunction": 20}})
        narrow = engine.transit(natal["planets"], MOMENT, 0.0, 0.0,
                                orb_settings={"method": "aspect",
                                              "aspect_orbs": {"Conjunction": 0.5}})
        conj = lambda t: [a for a in t["cross_aspects"] if a["aspect_type"] == "Conjunction"]
        assert len(conj(wide)) > len(conj(narrow))
        assert all(a["max_orb"] == 20 for a in conj(wide))

    def test_natal_list_is_checked_before_the_ephemeris(self):
        empty = q.Engine([])
        with pytest.raises(ValueError, match="^planets must be a list$"):
            empty.transit({}, MOMENT, 0.0, 0.0)
        with pytest.raises(ValueError, match="^every planet needs a name$"):
            empty.transit([{"ecliptic_longitude": 1}], MOMENT, 0.0, 0.0)
        with pytest.raises(q.EphemerisRangeError):
            empty.transit([], MOMENT, 0.0, 0.0)

    def test_argument_errors(self, engine):
        with pytest.raises(TypeError, match="latitude"):
            engine.transit([], MOMENT, "north", 0.0)
        with pytest.raises(TypeError):
            engine.transit([], MOMENT, 0.0)
        with pytest.raises(TypeError):
            engine.transit([object()], MOMENT, 0.0, 0.0)
        with pytest.raises(ValueError, match="^aspect_orbs must be an object, got 5$"):
            engine.transit([], MOMENT, 0.0, 0.0, orb_settings={"aspect_orbs": 5})


class TestSynastry:
    def test_empty_and_errors(self):
        assert q.synastry([], []) == {"cross_aspects": []}
        assert q.synastry([], [], orb_settings=None) == {"cross_aspects": []}
        with pytest.raises(ValueError, match="^planets must be a list$"):
            q.synastry([], "Sun")
        with pytest.raises(ValueError, match="^Sun has no ecliptic_longitude$"):
            q.synastry([{"name": "Sun"}], [])
        with pytest.raises(ValueError, match='^not a number: "abc"$'):
            q.synastry([{"name": "Sun", "ecliptic_longitude": "abc"}], [])
        with pytest.raises(ValueError):
            q.synastry([{"name": "Sun", "ecliptic_longitude": float("nan")}], [])

    def test_lenient_longitudes(self):
        result = q.synastry([{"name": "Sun", "ecliptic_longitude": " 0_5 "}],
                            [{"name": "Moon", "ecliptic_longitude": True, "extra": [1]}])
        (aspect,) = result["cross_aspects"]
        assert (aspect["body1"], aspect["body2"], aspect["orb"]) == ("Moon", "Sun", 4)


class TestDerivedChart:
    def test_seventh_house_of_a_real_chart(self, natal):
        turned = q.derived_chart(natal, 7)
        houses = turned["houses"]
        assert [h["radix_house_number"] for h in houses] == [7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6]
        assert houses[0]["ecliptic_longitude"] == natal["houses"][6]["ecliptic_longitude"]
        assert houses[0]["meaning_en"] == "Partner, Spouse or Business Associate"
        assert houses[0]["derived_label"] == "House 1 (Radix 7)"
        for radix, planet in zip(natal["planets"], turned["planets"]):
            assert planet["radix_house"] == radix["house"]
            if planet["name"] == "Ascendant":
                assert planet["house"] == 1
                assert planet["sign"] == natal["houses"][6]["sign"]
            elif planet["name"] == "Midheaven":
                assert planet["ecliptic_longitude"] == houses[9]["ecliptic_longitude"]
            else:
                assert planet["house"] == (radix["house"] - 7) % 12 + 1
        assert turned["user_name"] == "Radix Chart [Derived H7 - Partner, Spouse & Associates]"
        assert turned["aspects"] == natal["aspects"]
        assert turned["orb_settings"] == natal["orb_settings"]
        assert turned["derived_data"]["meanings"]["7"] == {
            "en": "Partner's Partner (The Native)", "it": "Partner del Partner (Il Nativo)"}

    def test_arguments(self, natal):
        assert q.derived_chart(natal, 0) == q.derived_chart(natal, 13) == q.derived_chart(natal, 1)
        assert q.derived_chart(natal, 3, custom_name="Sister")["user_name"] == "Sister"
        assert q.derived_chart(natal, 3, "")["user_name"].startswith("Radix Chart [Derived H3")
        with pytest.raises(TypeError, match="root_house"):
            q.derived_chart(natal, 3.0)
        with pytest.raises(TypeError, match="custom_name"):
            q.derived_chart(natal, 3, custom_name=5)
        with pytest.raises(ValueError, match="^base chart must be an object$"):
            q.derived_chart([], 3)
        with pytest.raises(ValueError, match='^fixed_stars must be a list, got "abc"$'):
            q.derived_chart({"fixed_stars": "abc"}, 3)
        with pytest.raises(TypeError):
            q.derived_chart({"when": object()}, 3)
