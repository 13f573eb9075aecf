import datetime as dt
import inspect
import json
import threading

import pytest

import quorvane_engine as q

MOMENT = "2024-05-03T09:30:00Z"
PARIS = (48.85, 2.35)
FACTOR_KEYS = ["code", "weight", "planet", "target", "aspect", "house", "sign"]
DATA_KEYS = ["score", "verdict", "purpose", "factors", "excluded_by", "planetary_hours",
             "moon_status"]
SUMMARY_KEYS = ["purpose", "avoid_void_moon", "avoid_mercury_retrograde",
                "avoid_venus_retrograde", "daytime_only", "local_hours", "step_minutes",
                "min_score", "max_results", "natal"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def test_signatures_and_docstrings():
    assert str(inspect.signature(q.Engine.election)) == (
        "(self, /, moment, latitude, longitude, criteria=None, house_system='P', "
        "zodiac_type='tropical', ayanamsa='galcent_0sag', orb_settings=None, "
        "dignity_scheme='lilly', house_obliquity='mean', *, json=False)")
    assert q.Engine.election.__doc__ == (
        "A chart with its electional assessment under the `election_data` key.")
    assert str(inspect.signature(q.Engine.elections)) == (
        "(self, /, start, end, latitude, longitude, criteria=None, house_system='P', "
        "zodiac_type='tropical', ayanamsa='galcent_0sag', house_obliquity='mean', *, json=False)")
    assert q.Engine.elections.__doc__ == (
        "The best electional windows from `start` to `end` at a place.")


class TestElection:
    def test_chart_with_election_data(self, engine):
        result = engine.election(MOMENT, *PARIS, criteria={"purpose": "finance"})
        chart = engine.chart(MOMENT, *PARIS)
        assert list(result) == list(chart) + ["election_data"]
        assert result["planets"] == chart["planets"]
        data = result["election_data"]
        assert list(data) == DATA_KEYS
        assert data["purpose"] == "finance"
        assert data["planetary_hours"] == result["planetary_hours"] == chart["planetary_hours"]
        assert 0 <= data["score"] <= 100
        weights = sum(f["weight"] for f in data["factors"])
        assert data["score"] == round(min(max(50 + weights, 0), 100), 1)
        for factor in data["factors"]:
            assert list(factor) == FACTOR_KEYS
        assert list(data["moon_status"])[0] == "void_of_course"

    def test_criteria_none_and_empty_agree(self, engine):
        none = engine.election(MOMENT, *PARIS)
        empty = engine.election(MOMENT, *PARIS, criteria={})
        assert none["election_data"] == empty["election_data"]
        assert none["election_data"]["purpose"] == "general"

    def test_criteria_errors(self, engine):
        # Reader and resolution messages both reach Python bare, as ValueError.
        with pytest.raises(ValueError) as e:
            engine.election(MOMENT, *PARIS, criteria={"purpose": "wedding"})
        assert str(e.value).startswith("election criteria: unknown variant `wedding`")
        with pytest.raises(ValueError, match="^UTC offset 1140 is out of range$"):
            engine.election(MOMENT, *PARIS, criteria={
                "utc_offsets": [{"from": "2024-01-01T00:00:00Z", "minutes": 1140}]})
        # NaN is not JSON: the converter's own error, as for any JSON argument.
        with pytest.raises(ValueError) as e:
            engine.election(MOMENT, *PARIS, criteria={"min_score": float("nan")})
        assert "election criteria" not in str(e.value)
        with pytest.raises(TypeError):
            engine.election(MOMENT, *PARIS, criteria={"natal": object()})

    def test_repeated_key_from_a_mapping_that_repeats_it(self, engine):
        class Repeating(dict):
            def items(self):
                return [("purpose", "travel"), ("purpose", "health")]

        # json.dumps of a dict subclass writes what items() gives.
        assert json.dumps(Repeating(a=1)).count("purpose") == 2
        with pytest.raises(ValueError, match="^election criteria: duplicate field `purpose`$"):
            engine.election(MOMENT, *PARIS, criteria=Repeating(a=1))

    def test_out_of_range(self, engine):
        with pytest.raises(q.EphemerisRangeError):
            engine.election("3000-01-01T00:00:00Z", *PARIS)


class TestElections:
    def test_result_shape(self, engine):
        result = engine.elections("2024-05-03T00:00:00Z", dt.datetime(2024, 5, 5), *PARIS,
                                  criteria={"min_score": 50, "max_results": 5})
        assert list(result) == ["start", "end", "windows", "evaluated", "excluded", "criteria"]
        assert result["start"] == "2024-05-03T00:00:00+00:00"
        assert result["end"] == "2024-05-05T00:00:00+00:00"
        assert list(result["excluded"]) == ["void_moon", "mercury_retrograde",
                                            "venus_retrograde", "night", "outside_hours"]
        assert list(result["criteria"]) == SUMMARY_KEYS
        assert result["criteria"]["min_score"] == 50.0
        assert 1 <= len(result["windows"]) <= 5
        scores = [w["score"] for w in result["windows"]]
        assert scores == sorted(scores, reverse=True)
        for w in result["windows"]:
            assert list(w) == ["start", "end", "best", "score", "verdict", "factors"]
            assert w["start"] <= w["best"] <= w["end"]

    def test_best_moment_scores_as_a_single_election(self, engine):
        result = engine.elections("2024-05-03T00:00:00Z", "2024-05-04T00:00:00Z", *PARIS,
                                  criteria={"min_score": 40})
        best = result["windows"][0]
        single = engine.election(best["best"], *PARIS, criteria={"min_score": 40})
        assert single["election_data"]["score"] == best["score"]
        assert single["election_data"]["factors"] == best["factors"]

    def test_span_errors(self, engine):
        with pytest.raises(ValueError, match="^the search must end after it starts$"):
            engine.elections("2024-05-03T00:00:00Z", "2024-05-03T00:00:00Z", *PARIS)
        with pytest.raises(q.EphemerisRangeError):
            engine.elections("1400-01-01T00:00:00Z", "1400-01-02T00:00:00Z", *PARIS)
        with pytest.raises(q.EphemerisRangeError, match="no ephemeris loaded"):
            q.Engine([]).elections("2024-05-03T00:00:00Z", "2024-05-04T00:00:00Z", *PARIS)

    def test_criteria_converted_before_the_moments(self, engine):
        # The first failing conversion is the one raised: criteria, then end, then start.
        with pytest.raises(ValueError, match="^election criteria"):
            engine.elections("bad start", "bad end", *PARIS, criteria={"x": 1})
        with pytest.raises(ValueError, match="bad end"):
            engine.elections("bad start", "bad end", *PARIS)

    def test_threads_share_an_engine(self, engine):
        args = ("2024-05-03T00:00:00Z", "2024-05-04T00:00:00Z", *PARIS)
        expected = engine.elections(*args)
        results = [None] * 3

        def run(i):
            results[i] = engine.elections(*args)

        threads = [threading.Thread(target=run, args=(i,)) for i in range(3)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert results == [expected] * 3
