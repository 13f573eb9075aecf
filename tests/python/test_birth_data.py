"""Birth data as people give it: local time to UTC, places by name, and the
charts cast from them."""
import datetime
import random
import zoneinfo

import pytest

import quorvane
import quorvane_engine as qe
from quorvane import gazetteer, places

UTC = datetime.timezone.utc
HOUR = datetime.timedelta(hours=1)


def utc(*fields):
    return datetime.datetime(*fields, tzinfo=UTC)


@pytest.fixture(scope="module")
def engine(de440):
    return qe.Engine([de440])


class TestKnownConversions:
    # Each expected moment is the local time less the offset the zone's
    # rules give for it, worked out by hand.
    @pytest.mark.parametrize("local, zone, expected", [
        ("1990-07-14 08:30", "America/New_York", utc(1990, 7, 14, 12, 30)),  # EDT, UTC-4
        ("1990-01-14T08:30:00", "America/New_York", utc(1990, 1, 14, 13, 30)),  # EST, UTC-5
        # Before standard time (1883-11-18) New York kept its local mean time, UTC-4:56:02.
        ("1850-01-01 12:00", "America/New_York", utc(1850, 1, 1, 16, 56, 2)),
        ("1990-01-14 08:30", "Australia/Sydney", utc(1990, 1, 13, 21, 30)),  # AEDT, UTC+11
        ("1990-07-14 08:30", "Australia/Sydney", utc(1990, 7, 13, 22, 30)),  # AEST, UTC+10
        ("1990-07-14 08:30", "Asia/Shanghai", utc(1990, 7, 13, 23, 30)),  # summer time, UTC+9
        # A time with its own offset is that moment, whatever the zone.
        ("1990-07-14T08:30+02:00", "America/New_York", utc(1990, 7, 14, 6, 30)),
        (datetime.datetime(1990, 7, 14, 8, 30), "Europe/London", utc(1990, 7, 14, 7, 30)),
    ])
    def test_zone_rules(self, local, zone, expected):
        assert quorvane.to_utc(local, zone) == expected

    @pytest.mark.parametrize("offset", ["+05:30", "UTC+0530", 330, 330.0,
                                        datetime.timedelta(hours=5, minutes=30)])
    def test_explicit_offset_wins_over_the_zone(self, offset):
        assert quorvane.to_utc("1990-07-14 08:30", "America/New_York", offset=offset) == \
            utc(1990, 7, 14, 3, 0)

    def test_skipped_time_gives_the_nearest_valid_times(self):
        # 2024-03-31 in Berlin: 02:00 CET became 03:00 CEST; a fold does not help.
        with pytest.raises(quorvane.NonexistentTimeError) as caught:
            quorvane.to_utc("2024-03-31 02:30", "Europe/Berlin", fold="first")
        error = caught.value
        assert isinstance(error, ValueError)
        assert (error.before, error.after, error.transition) == (
            datetime.datetime(2024, 3, 31, 1, 59), datetime.datetime(2024, 3, 31, 3, 0),
            utc(2024, 3, 31, 1, 0))
        assert "does not exist in Europe/Berlin" in str(error)
        assert "nearest valid times are 2024-03-31 01:59 and 2024-03-31 03:00" in str(error)

    def test_repeated_time_needs_a_fold(self):
        # 2024-10-27 in Berlin: 03:00 CEST became 02:00 CET, so 02:30 came twice.
        first, second = utc(2024, 10, 27, 0, 30), utc(2024, 10, 27, 1, 30)
        with pytest.raises(quorvane.AmbiguousTimeError) as caught:
            quorvane.to_utc("2024-10-27 02:30", "Europe/Berlin")
        assert (caught.value.first, caught.value.second) == (first, second)
        assert "happened twice in Europe/Berlin" in str(caught.value)
        for fold, expected in [(0, first), ("first", first), (1, second), ("second", second)]:
            assert quorvane.to_utc("2024-10-27 02:30", "Europe/Berlin", fold=fold) == expected

    @pytest.mark.parametrize("call, message", [
        (lambda: quorvane.to_utc("1990-07-14 08:30"), "has no time zone"),
        (lambda: quorvane.to_utc("1990-07-14 08:30", "Mars/Olympus"), "unknown time zone"),
        (lambda: quorvane.to_utc("14/07/1990", "UTC"), "not a date and time: '14/07/1990'"),
        (lambda: quorvane.to_utc("1990-07-14 08:30", offset="+5h"), "not a UTC offset"),
        (lambda: quorvane.to_utc("1990-07-14 08:30", offset=1440), "less than a day"),
        (lambda: quorvane.to_utc("1990-07-14 08:30", "UTC", fold="third"), "fold is 0"),
    ])
    def test_bad_input_is_a_value_error(self, call, message):
        with pytest.raises(ValueError, match=message):
            call()


ZONES = ["Europe/Berlin", "America/New_York", "Australia/Sydney", "Australia/Lord_Howe",
         "America/Santiago", "Europe/Dublin", "Asia/Tehran", "America/St_Johns",
         "Pacific/Apia", "Africa/Casablanca", "America/Sao_Paulo", "Asia/Kolkata"]


def readings(wall, zone):
    """Every UTC moment the zone shows as `wall`, by trying each offset it
    used within a day and a half: none in a gap, two in an overlap."""
    around = wall.replace(tzinfo=UTC)
    offsets = {(around + k * HOUR / 2).astimezone(zone).utcoffset() for k in range(-72, 73)}
    moments = {(wall - offset).replace(tzinfo=UTC) for offset in offsets}
    return sorted(m for m in moments if m.astimezone(zone).replace(tzinfo=None) == wall)


def change_in(year, zone, rng):
    """A UTC moment the zone's offset changed in this year, to the second
    (None in a year without a change)."""
    months = [utc(year, m, 1) for m in range(1, 13)] + [utc(year + 1, 1, 1)]
    spans = [(a, b) for a, b in zip(months, months[1:])
             if a.astimezone(zone).utcoffset() != b.astimezone(zone).utcoffset()]
    if not spans:
        return None
    low, high = rng.choice(spans)
    while high - low > datetime.timedelta(seconds=1):
        middle = low + (high - low) / 2
        same = middle.astimezone(zone).utcoffset() == low.astimezone(zone).utcoffset()
        low, high = (middle, high) if same else (low, middle)
    return high


def wall_times(rng, count):
    """Random wall times, most of them within hours of a clock change."""
    for _ in range(count):
        zone = zoneinfo.ZoneInfo(rng.choice(ZONES))
        year = rng.randint(1900, 2060)
        change = change_in(year, zone, rng) if rng.random() < 0.8 else None
        if change is None:
            change = utc(year, 1, 1) + datetime.timedelta(minutes=rng.randrange(366 * 1440))
        shift = datetime.timedelta(minutes=rng.randrange(-120, 120))
        yield change.astimezone(zone).replace(tzinfo=None) + shift, zone


def test_local_times_against_a_brute_force_search():
    rng = random.Random(24)
    seen = {0: 0, 1: 0, 2: 0}
    for wall, zone in wall_times(rng, 1000):
        found = readings(wall, zone)
        seen[len(found)] += 1
        if len(found) == 1:
            assert quorvane.to_utc(wall, zone) == found[0], (wall, zone)
            assert quorvane.to_utc(wall, zone, fold="second") == found[0]
        elif len(found) == 2:
            with pytest.raises(quorvane.AmbiguousTimeError) as caught:
                quorvane.to_utc(wall, zone)
            assert [caught.value.first, caught.value.second] == found, (wall, zone)
            assert [quorvane.to_utc(wall, zone, fold=f) for f in (0, 1)] == found
        else:
            with pytest.raises(quorvane.NonexistentTimeError) as caught:
                quorvane.to_utc(wall, zone)
            error = caught.value
            assert error.before < wall < error.after, (wall, zone)
            assert readings(error.before, zone) and readings(error.after, zone)
            assert not readings(error.after - datetime.timedelta(minutes=1), zone)
    assert min(seen.values()) > 30, seen  # gaps and overlaps were both tried


class TestPlaces:
    def test_exact_name(self):
        paris = places.find("Paris")
        assert (paris.country, paris.country_code, paris.timezone) == \
            ("France", "FR", "Europe/Paris")
        assert (paris.latitude, paris.longitude) == pytest.approx((48.857, 2.352), abs=0.01)

    @pytest.mark.parametrize("name", ["São Paulo", "sao paulo", "SAO PAULO", "  são  PAULO "])
    def test_accents_case_and_spaces_are_ignored(self, name):
        found = places.find(name)
        assert (found.name, found.country_code, found.timezone) == \
            ("São Paulo", "BR", "America/Sao_Paulo")

    def test_two_springfields_told_apart(self):
        found = places.search("Springfield", 20)
        assert len(found) == 20
        # Those called so by their main name go by population; a larger
        # "Springfield Gardens" may come between them.
        populations = [p.population for p in found if p.name == "Springfield"]
        assert populations == sorted(populations, reverse=True)
        regions = {p.admin1: p for p in found if p.name == "Springfield"}
        assert regions["Illinois"].timezone == "America/Chicago"
        assert regions["Massachusetts"].timezone == "America/New_York"
        assert places.find("Springfield, IL") == places.find("springfield, illinois") == \
            regions["Illinois"]
        # Whole names come first, then names that start so ("Springfield Gardens").
        found = places.search("Springfield, Massachusetts")
        assert [p for p in found if p.match == "name"] == found[:1] == [regions["Massachusetts"]]
        assert {p.admin1 for p in found} == {"Massachusetts"}

    def test_a_name_that_matches_nothing(self):
        assert places.search("Qwxzv Lake") == []
        with pytest.raises(quorvane.PlaceNotFound) as caught:
            places.find("Qwxzv Lake")
        assert isinstance(caught.value, ValueError)
        assert str(caught.value).startswith("no place called 'Qwxzv Lake' in the index")

    def test_zones_of_coordinates_agree_with_the_index(self):
        # The index's zone of each large city against timezonefinder's
        # polygons at its coordinates, compared by the offsets they give
        # (two names may be aliases of one zone).
        def offsets(name):
            zone = zoneinfo.ZoneInfo(name)
            return [utc(2020, month, 15).astimezone(zone).utcoffset() for month in (1, 7)]
        largest = places.places_of(gazetteer.default(), list(range(300)))  # by population
        for place in largest:
            assert offsets(places.timezone_at(place.latitude, place.longitude)) == \
                offsets(place.timezone), place


class TestCharts:
    def test_natal_is_the_chart_of_the_utc_moment(self, engine):
        chart = quorvane.natal("1990-07-14 08:30", "New York", engine=engine, house_system="K")
        inputs = chart.pop("input")
        place = places.find("New York")
        assert chart == engine.chart("1990-07-14T12:30:00Z", place.latitude, place.longitude,
                                     house_system="K")
        assert inputs == {
            "local_time": "1990-07-14T08:30:00", "timezone": "America/New_York",
            "zone_abbreviation": "EDT", "utc_offset": "-04:00", "utc_offset_minutes": -240.0,
            "utc": "1990-07-14T12:30:00+00:00",
            "julian_day": qe.julian_day("1990-07-14T12:30:00Z"),
            "latitude": place.latitude, "longitude": place.longitude,
            "place": place.as_dict()}
        # Read as UTC, the same text would put the Ascendant in Cancer 6°35'.
        ascendant = next(p for p in chart["planets"] if p["name"] == "Ascendant")
        assert (ascendant["sign"], ascendant["degree"], ascendant["minute"]) == ("Leo", 24, 58)

    def test_zone_of_the_coordinates_when_none_is_given(self, engine):
        given = quorvane.natal("1990-01-14 08:30", tz="Australia/Sydney", latitude=-33.87,
                               longitude=151.21, engine=engine)
        found = quorvane.natal("1990-01-14 08:30", latitude=-33.87, longitude=151.21,
                               engine=engine)
        assert given == found
        assert found["input"]["utc"] == "1990-01-13T21:30:00+00:00"

    def test_chinese_charts_take_the_offset_of_the_zone(self, engine):
        beijing = places.find("Beijing")
        calendar = engine.chart("1990-07-13T23:30:00Z", beijing.latitude, beijing.longitude,
                                chinese_calendar=True)["chinese_calendar"]
        for cast, direct in [(quorvane.bazi, qe.bazi), (quorvane.zi_wei, qe.zi_wei)]:
            result = cast("1990-07-14 08:30", "Beijing", engine=engine, sex="female")
            assert result.pop("input")["utc_offset_minutes"] == 540  # summer time, UTC+9
            assert result == direct(calendar, "1990-07-13T23:30:00Z", beijing.longitude, 540,
                                    sex="female")

    def test_transit_of_a_saved_natal_chart(self, engine):
        natal = quorvane.natal("1990-07-14 08:30", "New York", engine=engine)
        transit = quorvane.transit(natal, "2025-01-01 09:00", "London", engine=engine)
        london = places.find("London")
        assert transit.pop("input")["utc"] == "2025-01-01T09:00:00+00:00"
        assert transit == engine.transit(natal["planets"], "2025-01-01T09:00Z",
                                         london.latitude, london.longitude)
