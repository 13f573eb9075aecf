import quorvane_engine as q
import pytest

MOMENT = "2024-02-10T12:00:00Z"


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def test_chart_gains_the_calendar_as_its_last_key(engine):
    chart = engine.chart(MOMENT, 39.9, 116.4, chinese_calendar=True)
    assert list(chart)[-2:] == ["planetary_hours", "chinese_calendar"]
    calendar = chart["chinese_calendar"]
    assert list(calendar) == ["equation_of_time", "solar_terms", "lunar_months"]
    assert -15.0 < calendar["equation_of_time"] < -14.0
    assert [t["name"] for t in calendar["solar_terms"]] == ["lichun", "yushui", "jingzhe"]
    for term in calendar["solar_terms"]:
        assert list(term) == ["name", "longitude", "jie", "utc"]
        assert term["jie"] == (term["longitude"] % 30 == 15)
        assert term["utc"].endswith("+00:00") and len(term["utc"]) == 25
    assert calendar["lunar_months"] == [
        {"year": 2023, "month": 12, "leap": False, "start": "2024-01-11", "days": 30},
        {"year": 2024, "month": 1, "leap": False, "start": "2024-02-10", "days": 29},
    ]


def test_calendar_does_not_change_the_rest_of_the_chart(engine):
    with_calendar = engine.chart(MOMENT, 39.9, 116.4, chinese_calendar=True)
    without = engine.chart(MOMENT, 39.9, 116.4)
    assert "chinese_calendar" not in without
    del with_calendar["chinese_calendar"]
    assert with_calendar == without

