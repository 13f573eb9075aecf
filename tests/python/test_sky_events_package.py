"""The sky's events from the package: local times in the zone asked, the
iCalendar export read back with the icalendar package, and the commands."""
import datetime
import json

import pytest

import quorvane
from quorvane.cli import main


@pytest.fixture(scope="module")
def engine(de440):
    import quorvane_engine
    return quorvane_engine.Engine([de440])


def test_local_times_and_the_ics_round_trip(engine):
    icalendar = pytest.importorskip("icalendar")
    found = quorvane.events("2026-03-01 00:00", "2026-05-01 00:00", tz="America/New_York",
                            engine=engine, kinds=["lunations", "void_of_course", "ingresses"])
    events = found["events"]
    assert found["input"]["start"]["utc"].startswith("2026-03-01T05:00")
    for e in events:
        local = datetime.datetime.fromisoformat(e["local_time"])
        utc = datetime.datetime.fromisoformat(e["moment"])
        assert local == utc and local.utcoffset() in (datetime.timedelta(hours=-5),
                                                      datetime.timedelta(hours=-4))
    parsed = icalendar.Calendar.from_ical(quorvane.events_to_ics(found))
    entries = list(parsed.walk("VEVENT"))
    assert len(entries) == len(events) == len({str(v["UID"]) for v in entries})
    for entry, e in zip(entries, events):
        start = datetime.datetime.fromisoformat(e["moment"])
        assert abs((entry.decoded("DTSTART") - start).total_seconds()) < 1.0
        end = datetime.datetime.fromisoformat(e["end"]["moment"]) if e["end"] else start
        assert abs((entry.decoded("DTEND") - end).total_seconds()) < 1.0
        assert json.loads(str(entry["DESCRIPTION"]))["details"] == e["details"]
    # A later export of an overlapping span gives the shared events the same UIDs.
    again = quorvane.events("2026-04-01 00:00", "2026-06-01 00:00", tz="UTC", engine=engine,
                            kinds=["lunations", "void_of_course", "ingresses"])
    later = {str(v["UID"]) for v in icalendar.Calendar.from_ical(
        quorvane.events_to_ics(again)).walk("VEVENT")}
    shared = [e for e in events if e["moment"] >= "2026-04-01T04"]
    assert shared and {quorvane.sky_events.uid(e) for e in shared} <= later


def test_commands(tmp_path, capsys, de440):
    ics = tmp_path / "sky.ics"
    assert main(["events", "2024", "--kinds", "eclipses", "--tz", "Europe/London",
                 "--ics", str(ics), "--json", "--kernel", de440]) == 0
    printed = json.loads(capsys.readouterr().out)
    assert [e["kind"] for e in printed["events"]] == ["lunar_eclipse", "solar_eclipse",
                                                      "lunar_eclipse", "solar_eclipse"]
    assert ics.read_bytes().count(b"BEGIN:VEVENT") == 4
    assert main(["eclipse", "2024-04-08", "32.78", "-96.8", "--tz", "America/Chicago",
                 "--json", "--kernel", de440]) == 0
    local = json.loads(capsys.readouterr().out)
    assert local["local_type"] == "total"
    assert local["C2"]["local_time"].startswith("2024-04-08T13:40")
    assert main(["events", "2024-03-01", "--kernel", de440]) != 0
