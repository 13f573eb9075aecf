import datetime
import inspect
import json

import pytest

import quorvane_engine as q

# Noon in Beijing on 2024-02-10, the first day of the dragon year.
BIRTH = "2024-02-10T04:00:00Z"
BEIJING = (39.9, 116.4)


def chinese_calendar_of(engine, moment, latitude=BEIJING[0], longitude=BEIJING[1]):
    chart = engine.chart(moment, latitude, longitude, chinese_calendar=True)
    return chart["chinese_calendar"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def calendar(engine):
    return chinese_calendar_of(engine, BIRTH)


def hand_calendar():
    """A 2024 calendar written by hand: lichun to the jie after mid-June."""
    names = ["lichun", "yushui", "jingzhe", "chunfen", "qingming", "guyu", "lixia",
             "xiaoman", "mangzhong", "xiazhi", "xiaoshu"]
    utc = ["2024-02-04T08:27:00+00:00", "2024-02-19T04:13:00+00:00",
           "2024-03-05T02:23:00+00:00", "2024-03-20T03:06:00+00:00",
           "2024-04-04T07:02:00+00:00", "2024-04-19T13:59:00+00:00",
           "2024-05-05T00:10:00+00:00", "2024-05-20T12:59:00+00:00",
           "2024-06-05T04:10:00+00:00", "2024-06-20T20:51:00+00:00",
           "2024-07-06T14:20:00+00:00"]
    terms = [{"name": n, "longitude": (315 + 15 * i) % 360, "jie": i % 2 == 0, "utc": u}
             for i, (n, u) in enumerate(zip(names, utc))]
    months = [{"year": 2024, "month": 5, "leap": False, "start": "2024-06-06", "days": 29}]
    return {"equation_of_time": 0.0, "solar_terms": terms, "lunar_months": months}


JUNE = "2024-06-10T04:00:00Z"


class TestSignatures:
    def test_bazi(self):
        assert str(inspect.signature(q.bazi)) == (
            "(calendar, moment, longitude, utc_offset_minutes, solar_time=True, "
            "zi_hour='next_day', sex=None, luck_pillars=10, year=None, date=None, "
            "*, json=False)")
        assert "No kernel is needed." in q.bazi.__doc__

    def test_zi_wei(self):
        assert str(inspect.signature(q.zi_wei)) == (
            "(calendar, moment, longitude, utc_offset_minutes, solar_time=True, "
            "zi_hour='next_day', sex=None, leap_month='split', year=None, date=None, "
            "*, json=False)")
        assert "No kernel is needed." in q.zi_wei.__doc__


class TestRealCalendar:
    def test_new_year_pillars(self, calendar):
        b = q.bazi(calendar, BIRTH, BEIJING[1], 480, solar_time=False)
        assert (b["year"]["stem"], b["year"]["branch"]) == ("jia", "chen")
        assert (b["month"]["stem"], b["month"]["branch"]) == ("bing", "yin")
        # 2024-02-10 is a jia-chen day; noon is the wu hour, geng-wu on a jia day.
        assert (b["day"]["stem"], b["day"]["branch"]) == ("jia", "chen")
        assert (b["hour"]["stem"], b["hour"]["branch"]) == ("geng", "wu")
        assert b["lunar_date"] == {"year": 2024, "month": 1, "leap": False, "day": 1,
                                   "year_stem": "jia", "year_branch": "chen", "animal": "dragon"}
        assert b["month_term"]["name"] == "lichun"
        assert b["next_term"]["name"] == "jingzhe"
        assert b["civil_time"] == "2024-02-10T12:00:00"
        assert sum(b["elements"].values()) == pytest.approx(8.0)

    def test_solar_time_uses_the_calendar_equation_of_time(self, calendar):
        b = q.bazi(calendar, BIRTH, BEIJING[1], 480)
        assert b["time_basis"] == "solar"
        # Mid-February the equation of time is about -14 minutes.
        eot = calendar["equation_of_time"]
        assert -15 < eot < -13
        shift = datetime.timedelta(microseconds=round((4 * BEIJING[1] + eot) * 60e6))
        solar = datetime.datetime(2024, 2, 10, 4) + shift
        assert b["solar_time"] == solar.replace(microsecond=0).isoformat()
        assert b["hour"]["branch"] == "wu"

    def test_a_moment_before_lichun(self, engine):
        # 2024-02-04 06:00 UTC, 2.5 hours before the Start of Spring.
        calendar = chinese_calendar_of(engine, "2024-02-04T06:00:00Z")
        b = q.bazi(calendar, "2024-02-04T06:00:00Z", BEIJING[1], 480)
        assert (b["year"]["stem"], b["year"]["branch"]) == ("gui", "mao")
        assert (b["month"]["stem"], b["month"]["branch"]) == ("yi", "chou")
        assert b["next_term"] == {"name": "lichun", "utc": calendar["solar_terms"][-1]["utc"]}

    def test_luck_and_flow(self, calendar):
        b = q.bazi(calendar, BIRTH, BEIJING[1], 480, sex="female", luck_pillars=8, year=2030,
                   date="2030-06-15")
        # Jia is yang: a woman's luck runs backward from the bing-yin month.
        assert b["luck"]["direction"] == "backward"
        assert [p["pillar"]["stem"] + "-" + p["pillar"]["branch"] for p in b["luck"]["pillars"][:2]] \
            == ["yi-chou", "jia-zi"]
        assert len(b["luck"]["pillars"]) == 8
        # Three days back to lichun count as a year.
        lichun = datetime.datetime.fromisoformat(calendar["solar_terms"][0]["utc"])
        birth = datetime.datetime(2024, 2, 10, 4, tzinfo=datetime.timezone.utc)
        assert b["luck"]["start_age"] == pytest.approx((birth - lichun).total_seconds() / 86400 / 3,
                                                       rel=1e-12)
        assert (b["annual"]["stem"], b["annual"]["branch"]) == ("geng", "xu")
        assert b["flow"]["month_term"]["name"] == "mangzhong"
        assert (b["flow"]["month"]["stem"], b["flow"]["month"]["branch"]) == ("ren", "wu")

    def test_zi_wei_of_a_real_chart(self, calendar):
        z = q.zi_wei(calendar, BIRTH, BEIJING[1], 480, sex="male", date="2024-06-10")
        assert z["lunar_date"]["month"] == 1 and z["lunar_date"]["day"] == 1
        assert z["hour_branch"] == "wu"  # 11:31 true solar time
        assert [p["name"] for p in z["palaces"]][:3] == ["life", "siblings", "spouse"]
        majors = [s["star"] for p in z["palaces"] for s in p["stars"] if s["kind"] == "major"]
        assert len(majors) == len(set(majors)) == 14
        h = z["horoscope"]
        assert h["year"] == 2024 and h["nominal_age"] == 1
        assert h["lunar_date"]["month"] == 5
        assert h["monthly"] is not None and h["daily"] is not None


class TestCalendarMessages:
    def test_object_and_positional_forms_agree(self):
        cal = hand_calendar()
        positional = [cal["equation_of_time"],
                      [[t["name"], t["longitude"], t["jie"], t["utc"]] for t in cal["solar_terms"]],
                      [[m["year"], m["month"], m["leap"], m["start"], m["days"]]
                       for m in cal["lunar_months"]]]
        assert q.bazi(positional, JUNE, 120, 480) == q.bazi(cal, JUNE, 120, 480)
        assert q.zi_wei(positional, JUNE, 120, 480) == q.zi_wei(cal, JUNE, 120, 480)

    @pytest.mark.parametrize("breakage, message", [
        (lambda c: c["solar_terms"][3].pop("utc"), "missing field `utc`"),
        (lambda c: c.pop("lunar_months"), "missing field `lunar_months`"),
        (lambda c: c["solar_terms"][0].update(jie="yes"),
         'invalid type: string "yes", expected a boolean'),
        (lambda c: c["lunar_months"][0].update(days=300),
         "invalid value: integer `300`, expected u8"),
        (lambda c: c.update(solar_terms=[["lichun", 315, True]]),
         "invalid length 3, expected struct SolarTerm with 4 elements"),
        (lambda c: c["solar_terms"][2].update(utc="2024-03-05"),
         "invalid UTC date-time: 2024-03-05"),
        (lambda c: c["lunar_months"][0].update(start="June 6"),
         "invalid UTC date-time: June 6T00:00:00Z"),
    ])
    def test_malformed_calendars(self, breakage, message):
        cal = hand_calendar()
        breakage(cal)
        for function in (q.bazi, q.zi_wei):
            with pytest.raises(ValueError) as info:
                function(cal, JUNE, 120, 480)
            assert str(info.value) == message

    def test_whole_calendar_forms(self):
        with pytest.raises(ValueError, match=r"^invalid length 2, expected struct ChineseCalendar "
                                             r"with 3 elements$"):
            q.bazi([0.0, []], JUNE, 120, 480)
        with pytest.raises(ValueError):
            q.bazi({"equation_of_time": float("nan"), "solar_terms": [], "lunar_months": []},
                   JUNE, 120, 480)
        with pytest.raises(TypeError):
            q.bazi({"equation_of_time": object()}, JUNE, 120, 480)


class TestOptionMessages:
    def test_engine_messages_are_value_errors(self):
        with pytest.raises(ValueError, match='^zi_hour must be "next_day" or "split"$'):
            q.bazi(hand_calendar(), JUNE, 120, 480, zi_hour="midnight")
        with pytest.raises(ValueError, match='^leap_month must be "split" or "same"$'):
            q.zi_wei(hand_calendar(), JUNE, 120, 480, leap_month="first", sex="f")
        with pytest.raises(ValueError, match="^date is outside the lunar years 1900-2100$"):
            q.zi_wei(hand_calendar(), JUNE, 120, 480, date="1900-01-30")

    def test_uncovered_birth(self):
        with pytest.raises(ValueError, match="^the calendar does not cover the birth$"):
            q.bazi(hand_calendar(), "2024-01-10T00:00:00Z", 120, 480)
        with pytest.raises(ValueError, match="^the calendar does not cover the birth date$"):
            q.zi_wei(hand_calendar(), "2024-05-10T00:00:00Z", 120, 480)

    def test_argument_types(self):
        cal = hand_calendar()
        with pytest.raises(TypeError):
            q.bazi(cal, JUNE, "120", 480)
        with pytest.raises(TypeError):
            q.bazi(cal, JUNE, 120, 480, solar_time=1)
        with pytest.raises(TypeError):
            q.bazi(cal, JUNE, 120, 480, sex=1)
        with pytest.raises(TypeError):
            q.bazi(cal, JUNE, 120, 480, luck_pillars=2.0)
        with pytest.raises(OverflowError):
            q.bazi(cal, JUNE, 120, 480, luck_pillars=256)
        with pytest.raises(OverflowError):
            q.zi_wei(cal, JUNE, 120, 480, year=2 ** 31)
        with pytest.raises(TypeError):
            q.zi_wei(cal, JUNE, 120, 480, leap_month=None)
        with pytest.raises(TypeError):
            q.zi_wei(cal, JUNE, 120)
        with pytest.raises(AttributeError):
            q.bazi(cal, 2460471.5, 120, 480)

    def test_moments_as_datetimes(self):
        cal = hand_calendar()
        aware = datetime.datetime(2024, 6, 10, 12, tzinfo=datetime.timezone(datetime.timedelta(hours=8)))
        assert q.bazi(cal, aware, 120, 480) == q.bazi(cal, JUNE, 120, 480)
        assert q.bazi(moment=datetime.datetime(2024, 6, 10, 4), longitude=120,
                      utc_offset_minutes=480, calendar=cal) == q.bazi(cal, JUNE, 120, 480)


def test_results_are_plain_json_in_key_order():
    cal = hand_calendar()
    b = q.bazi(cal, JUNE, 120, 480, sex="male", year=2025, date="2024-06-10")
    z = q.zi_wei(cal, JUNE, 120, 480, sex="female", date="2030-03-01")
    for result in (b, z):
        assert json.loads(json.dumps(result)) == result
    assert list(b) == ["time_basis", "zi_hour", "civil_time", "solar_time", "year", "month",
                       "day", "hour", "day_master", "day_master_element", "elements",
                       "month_term", "next_term", "lunar_date", "luck", "annual", "flow"]
    assert list(b["hour"]) == ["stem", "branch", "cycle", "element", "polarity", "branch_element",
                               "animal", "ten_god", "hidden_stems", "nayin", "life_stage"]
    assert list(b["hour"]["hidden_stems"][0]) == ["stem", "element", "ten_god", "weight"]
    assert list(b["elements"]) == ["wood", "fire", "earth", "metal", "water"]
    assert list(b["luck"]) == ["direction", "start_age", "pillars"]
    assert list(b["luck"]["pillars"][0]) == ["start_age", "start", "end", "pillar"]
    assert list(b["flow"]) == ["date", "year", "month", "day", "month_term"]
    assert list(b["month_term"]) == ["name", "utc"]
    assert b["day"]["ten_god"] is None

    assert list(z) == ["time_basis", "zi_hour", "lunar_date", "month", "hour_branch",
                       "life_palace", "body_palace", "bureau", "life_master", "body_master",
                       "palaces", "transformations", "decade_direction", "horoscope"]
    assert list(z["lunar_date"]) == ["year", "month", "leap", "day", "year_stem", "year_branch",
                                     "animal"]
    palace = z["palaces"][0]
    assert list(palace) == ["name", "branch", "stem", "is_body", "stars", "decade",
                            "small_limit_ages", "minor_stars", "gods", "flying"]
    assert list(palace["gods"]) == ["life_stage", "boshi", "suiqian", "jiangqian"]
    assert list(palace["decade"]) == ["start", "end"]
    assert list(z["transformations"][0]) == ["kind", "star", "palace"]
    stars = [s for p in z["palaces"] for s in p["stars"]]
    assert list(stars[0]) == ["star", "kind", "brightness", "transformation"]
    h = z["horoscope"]
    assert list(h) == ["year", "nominal_age", "decade", "childhood", "small_limit", "yearly",
                       "suiqian", "jiangqian", "date", "lunar_date", "monthly", "daily"]
    assert list(h["monthly"]) == ["branch", "stem", "palaces", "transformations", "stars"]
    assert list(h["monthly"]["palaces"][0]) == ["god", "branch"]
    assert list(h["monthly"]["stars"][0]) == ["star", "branch"]
    assert [s["star"] for s in h["daily"]["stars"]] == [
        "tian_kui", "tian_yue", "wen_chang", "wen_qu", "lu_cun", "qing_yang", "tuo_luo",
        "tian_ma", "hong_luan", "tian_xi"]
