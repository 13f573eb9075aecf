import datetime
import inspect

import pytest

import quorvane_engine as q

BIRTH = "1987-06-14T16:45:00Z"


def years_after(birth, years):
    """The moment `years` tropical years after `birth`, by datetime arithmetic."""
    days = years * 365.24219
    whole = int(days)
    start = datetime.datetime.fromisoformat(birth.replace("Z", "+00:00"))
    moment = start + datetime.timedelta(days=whole,
                                        microseconds=round((days - whole) * 86400e6))
    return moment.isoformat()


def test_signatures_and_docstrings():
    assert str(inspect.signature(q.time_lords)) == (
        "(birth, sun_longitude, ascendant_longitude, start, end, *, json=False)")
    assert "profections and firdaria" in q.time_lords.__doc__
    assert str(inspect.signature(q.degree_qualities)) == "(longitude, *, json=False)"
    assert q.degree_qualities.__doc__ == (
        "Lilly's qualities of the degree an ecliptic longitude falls in.")
    assert str(inspect.signature(q.degree_quality_table)) == "(*, json=False)"
    assert q.degree_quality_table.__doc__ == (
        "Lilly's table of the degree qualities, one dict per sign from Aries.")


class TestTimeLords:
    def test_profections_and_firdaria_over_a_span(self):
        lords = q.time_lords(BIRTH, 300.0, 200.0, "2020-01-01T00:00:00Z", "2023-01-01T00:00:00Z")
        assert list(lords) == ["diurnal", "profections", "firdaria"]
        assert lords["diurnal"] is False  # the Sun 100° past the Ascendant: below the horizon
        assert [p["age"] for p in lords["profections"]] == [32, 33, 34, 35]
        assert [p["sign"] for p in lords["profections"]] == ["Gemini", "Cancer", "Leo", "Virgo"]
        assert [p["lord"] for p in lords["profections"]] == ["Mercury", "Moon", "Sun", "Mercury"]
        assert [p["house"] for p in lords["profections"]] == [9, 10, 11, 12]
        for before, after in zip(lords["profections"], lords["profections"][1:]):
            assert before["end"] == after["start"]
        # Nocturnal order: Moon 9, Saturn 11, Jupiter 12 (20 to 32), Mars 7 (32 to 39).
        (mars,) = lords["firdaria"]
        assert mars["lord"] == "Mars"
        assert mars["start"] == lords["profections"][0]["start"]
        assert [s["lord"] for s in mars["sub_periods"]] == [
            "Mars", "Sun", "Venus", "Mercury", "Moon", "Saturn", "Jupiter"]
        assert mars["start"] == years_after(BIRTH, 32)
        assert mars["sub_periods"][0]["end"] == years_after(BIRTH, 33)
        assert mars["sub_periods"][3]["start"] == years_after(BIRTH, 35)
        assert mars["end"] == years_after(BIRTH, 39)
        for p in lords["profections"]:
            assert (p["start"], p["end"]) == (years_after(BIRTH, p["age"]),
                                              years_after(BIRTH, p["age"] + 1))

    def test_moments_as_datetimes(self):
        utc = datetime.timezone.utc
        text = q.time_lords(BIRTH, 0.0, 0.0, "2000-01-01T00:00:00Z", "2001-01-01T00:00:00Z")
        aware = q.time_lords(datetime.datetime(1987, 6, 14, 18, 45,
                                               tzinfo=datetime.timezone(datetime.timedelta(hours=2))),
                             0.0, 0.0, datetime.datetime(2000, 1, 1, tzinfo=utc),
                             datetime.datetime(2001, 1, 1))
        assert text == aware
        assert text["profections"][0]["start"].endswith("+00:00")

    def test_argument_errors(self):
        with pytest.raises(ValueError, match="invalid UTC date-time"):
            q.time_lords("1987-06-14", 0.0, 0.0, BIRTH, BIRTH)
        with pytest.raises(TypeError, match="sun_longitude"):
            q.time_lords(BIRTH, "0", 0.0, BIRTH, BIRTH)
        with pytest.raises(AttributeError):
            q.time_lords(BIRTH, 0.0, 0.0, 2451545.0, BIRTH)
        with pytest.raises(TypeError):
            q.time_lords(BIRTH, 0.0, 0.0, BIRTH)


class TestDegreeQualities:
    def test_examples(self):
        assert q.degree_qualities(125.5) == {
            "sign": "Leo", "degree": 6, "gender": "feminine", "light": "dark",
            "pitted": True, "azimene": False, "fortune": False}
        assert q.degree_qualities(-30)["sign"] == "Pisces"
        last = q.degree_qualities(359.99)
        assert (last["sign"], last["degree"], last["gender"], last["light"]) == (
            "Pisces", 30, "masculine", "dark")
        assert q.degree_qualities(longitude=0)["degree"] == 1
        with pytest.raises(TypeError, match="longitude"):
            q.degree_qualities("12")

    def test_table(self):
        table = q.degree_quality_table()
        assert [row["sign"] for row in table][::11] == ["Aries", "Pisces"]
        assert len(table) == 12
        assert list(table[3]) == ["sign", "gender", "light", "pitted", "azimene", "fortune"]
        assert table[3]["azimene"] == list(range(9, 16))
        assert table[4]["light"][1] == {"quality": "smoky", "end": 20}
