import copy
import inspect
import random
from datetime import datetime, timedelta, timezone

import pytest

import quorvane_engine as q

PLANETS = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn"]
CHALDEAN = ["Saturn", "Jupiter", "Mars", "Sun", "Venus", "Mercury", "Moon"]
CONDITION_KEYS = ["essential", "sect", "in_sect", "above_horizon", "solar_phase", "orientality",
                  "motion"]
ESSENTIAL_KEYS = ["domicile", "exaltation", "triplicity", "bound", "face", "detriment", "fall",
                  "peregrine", "score", "lords"]
# What the two schemes may disagree on: the triplicity lords and the bounds,
# and what follows from them.
SCHEME_DEPENDENT = {"triplicity", "bound", "peregrine", "score"}


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def random_charts(engine, count, seed):
    rng = random.Random(seed)
    first, last = engine.coverage
    start = datetime(1858, 11, 17, tzinfo=timezone.utc)  # JD 2400000.5
    charts = []
    for _ in range(count):
        jd = rng.uniform(first + 2, last - 2)
        moment = start + timedelta(days=jd - 2400000.5)
        # Beyond the polar circles some house systems fail to give a horizon.
        latitude = rng.uniform(-60, 60)
        longitude = rng.uniform(-180, 180)
        scheme = rng.choice(["lilly", "dorothean"])
        zodiac = rng.choice(["tropical", "tropical", "sidereal"])
        charts.append(engine.chart(moment, latitude, longitude, zodiac_type=zodiac,
                                   dignity_scheme=scheme))
    return charts


@pytest.fixture(scope="module")
def charts(engine):
    return random_charts(engine, 60, seed=20240320)


def conditions_of(chart):
    return [{"name": p["name"], "condition": p["condition"]}
            for p in chart["planets"] if "condition" in p]


def other(scheme):
    return "dorothean" if scheme == "lilly" else "lilly"


def test_signature_and_docstring():
    assert str(inspect.signature(q.chart_dignities)) == (
        "(chart, dignity_scheme='lilly', *, json=False)")
    assert q.chart_dignities.__doc__ == (
        "A computed chart's dignities (condition, sect, receptions) judged again under\n"
        "`dignity_scheme` (\"lilly\" or \"dorothean\"). No kernel is needed.")


class TestChartBlocks:
    def test_conditions_only_on_the_seven_planets(self, charts):
        for chart in charts:
            assert chart["sect"] in ("diurnal", "nocturnal")
            for p in chart["planets"]:
                assert ("condition" in p) == (p["name"] in PLANETS), p["name"]
                if "condition" in p:
                    c = p["condition"]
                    assert list(c) == CONDITION_KEYS
                    assert list(c["essential"]) == ESSENTIAL_KEYS
                    assert list(c["essential"]["lords"]) == ["domicile", "exaltation",
                                                             "triplicity", "bound", "face"]
                    triplicity = c["essential"]["lords"]["triplicity"]
                    assert len(triplicity) == (3 if chart["dignity_scheme"] == "dorothean"
                                               else 2)

    def test_sect_agrees_with_the_suns_house(self, charts):
        # Houses 7 to 12 lie above the horizon in every quadrant system.
        for chart in charts:
            sun = chart["planets"][0]
            assert sun["name"] == "Sun"
            assert (chart["sect"] == "diurnal") == (sun["house"] >= 7)
            assert sun["condition"]["above_horizon"] == (chart["sect"] == "diurnal")

    def test_receptions_and_antiscia_records(self, charts):
        for chart in charts:
            longitudes = {p["name"]: p["ecliptic_longitude"] for p in chart["planets"]}
            last = 0
            for r in chart["receptions"]:
                assert list(r) == ["planet", "receiver", "dignities", "mutual", "aspect"]
                assert r["planet"] != r["receiver"] and r["dignities"]
                assert CHALDEAN.index(r["planet"]) >= last
                last = CHALDEAN.index(r["planet"])
                if r["aspect"] is not None:
                    assert any({a["body1"], a["body2"]} == {r["planet"], r["receiver"]}
                               and a["aspect_type"] == r["aspect"] for a in chart["aspects"])
            for a in chart["antiscia"]:
                assert list(a) == ["body1", "body2", "kind", "orb"]
                mirror = 180.0 if a["kind"] == "antiscion" else 360.0
                d = abs((mirror - longitudes[a["body1"]]) - longitudes[a["body2"]]) % 360.0
                assert round(min(d, 360.0 - d), 2) == a["orb"] <= 1.0


class TestRejudging:
    def test_own_scheme_reproduces_the_chart(self, charts):
        for chart in charts:
            result = q.chart_dignities(chart, chart["dignity_scheme"])
            assert list(result) == ["dignity_scheme", "sect", "conditions", "receptions"]
            assert result["dignity_scheme"] == chart["dignity_scheme"]
            assert result["sect"] == chart["sect"]
            assert result["conditions"] == conditions_of(chart)
            assert result["receptions"] == chart["receptions"]

    def test_other_scheme_changes_only_triplicities_and_bounds(self, charts):
        changed = 0
        for chart in charts:
            scheme = other(chart["dignity_scheme"])
            result = q.chart_dignities(chart, scheme)
            assert result["dignity_scheme"] == scheme
            assert result["sect"] == chart["sect"]
            for mine, theirs in zip(result["conditions"], conditions_of(chart), strict=True):
                assert mine["name"] == theirs["name"]
                a, b = mine["condition"], theirs["condition"]
                for key in CONDITION_KEYS[1:]:
                    assert a[key] == b[key]
                for key in ESSENTIAL_KEYS:
                    if key == "lords":
                        for lord in ("domicile", "exaltation", "face"):
                            assert a["essential"]["lords"][lord] == b["essential"]["lords"][lord]
                    elif key not in SCHEME_DEPENDENT:
                        assert a["essential"][key] == b["essential"][key]
                changed += a["essential"] != b["essential"]
            # Mutual receptions rest on domicile and exaltation alone.
            mutual_mine = {(r["planet"], r["receiver"]) for r in result["receptions"] if r["mutual"]}
            mutual_theirs = {(r["planet"], r["receiver"]) for r in chart["receptions"]
                             if r["mutual"]}
            assert mutual_mine == mutual_theirs
            strip = lambda rs: {(r["planet"], r["receiver"], r["aspect"],
                                 tuple(d for d in r["dignities"]
                                       if d not in ("triplicity", "bound")))
                                for r in rs if set(r["dignities"]) - {"triplicity", "bound"}}
            assert strip(result["receptions"]) == strip(chart["receptions"])
        assert changed > 0  # the schemes do differ somewhere in these charts

    def test_round_trip_of_both_schemes(self, engine):
        chart = engine.chart("1990-07-15T06:30:00Z", 40.7, -74.0, dignity_scheme="egyptian")
        assert chart["dignity_scheme"] == "dorothean"
        twin = engine.chart("1990-07-15T06:30:00Z", 40.7, -74.0)
        assert twin["dignity_scheme"] == "lilly"
        assert q.chart_dignities(chart)["receptions"] == twin["receptions"]
        assert q.chart_dignities(twin, " Dorotheus ")["receptions"] == chart["receptions"]
        assert q.chart_dignities(twin, "ptolemaic")["dignity_scheme"] == "lilly"
        assert q.chart_dignities(twin, "EGYPTIAN")["conditions"] == conditions_of(chart)

    def test_malformed_entries_are_skipped(self, charts):
        chart = copy.deepcopy(charts[0])
        expected = q.chart_dignities(chart)
        chart["planets"].insert(0, "junk")
        chart["planets"].insert(0, {"name": "Sun", "ecliptic_longitude": "12"})
        chart["planets"].append({"name": "Mars", "ecliptic_longitude": None})
        chart["aspects"].insert(0, {"body1": "Sun", "body2": None, "aspect_type": "Trine"})
        chart["aspects"].insert(0, ["Sun", "Moon"])
        assert q.chart_dignities(chart) == expected

    def test_missing_speed_reads_as_zero(self, charts):
        chart = copy.deepcopy(charts[0])
        for p in chart["planets"]:
            if p["name"] == "Saturn":
                del p["speed"]
        saturn = [c for c in q.chart_dignities(chart)["conditions"] if c["name"] == "Saturn"]
        assert saturn[0]["condition"]["motion"] == "stationary"


class TestErrors:
    @pytest.mark.parametrize("chart", [{}, {"planets": None}, {"planets": {"Sun": 1}}, [], 5,
                                       "chart"])
    def test_no_planets(self, chart):
        with pytest.raises(ValueError) as info:
            q.chart_dignities(chart)
        assert str(info.value) == "the chart has no planets"
        assert not isinstance(info.value, q.EngineError)

    def test_needs_sun_and_ascendant(self, charts):
        for missing in ("Sun", "Ascendant"):
            chart = copy.deepcopy(charts[0])
            chart["planets"] = [p for p in chart["planets"] if p["name"] != missing]
            with pytest.raises(ValueError, match=r"^the chart needs the Sun and the Ascendant$"):
                q.chart_dignities(chart)

    def test_argument_types(self, charts):
        with pytest.raises(TypeError, match="dignity_scheme"):
            q.chart_dignities(charts[0], dignity_scheme=1)
        with pytest.raises(TypeError, match="dignity_scheme"):
            q.chart_dignities(charts[0], None)
        with pytest.raises(TypeError):
            q.chart_dignities()
        with pytest.raises(TypeError):
            q.chart_dignities(charts[0], "lilly", scheme="lilly")
        with pytest.raises(TypeError):
            q.chart_dignities({"planets": [object()]})
        with pytest.raises(ValueError):
            q.chart_dignities({"planets": [{"name": "Sun", "ecliptic_longitude": float("nan")}]})
        assert q.chart_dignities(chart=charts[0], dignity_scheme="lilly")["sect"] == \
            charts[0]["sect"]
