"""The predictive subcommands print what the engine methods return."""
import json

import pytest

import quorvane_engine as q
from tests.python.test_cli import run, run_json

BIRTH, LAT, LON = "1990-07-15T05:30Z", 51.5, -0.1
OTHER = ("1988-02-01T22:10Z", 48.85, 2.35)


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def calls(engine):
    natal = engine.chart(BIRTH, LAT, LON)
    sun = natal["planets"][0]["ecliptic_longitude"]
    return {
        "return": (["return", "Sun", BIRTH, LAT, LON, "--after", "2024-01-01T00:00Z",
                    "--at", 40.7, -74.0],
                   lambda: engine.planet_return("Sun", sun, "2024-01-01T00:00Z", 40.7, -74.0)),
        "returns": (["returns", "Sun", BIRTH, LAT, LON, "2020-01-01T00:00Z", "2024-01-01T00:00Z"],
                    lambda: engine.returns("Sun", sun, "2020-01-01T00:00Z", "2024-01-01T00:00Z")),
        "timeline": (["timeline", "2024-01-01T00:00Z", "2024-02-01T00:00Z", "--natal",
                      json.dumps(natal), "--bodies", "Sun,Mars"],
                     lambda: engine.transit_timeline(natal, "2024-01-01T00:00Z",
                                                     "2024-02-01T00:00Z", bodies=["Sun", "Mars"])),
        "progressions": (["progressions", BIRTH, LAT, LON, "2024-01-01T00:00Z", "--angles", "naibod"],
                         lambda: engine.progressions(BIRTH, "2024-01-01T00:00Z", LAT, LON,
                                                     angle_method="naibod")),
        "progressions-minor": (["progressions", BIRTH, LAT, LON, "2024-01-01T00:00Z", "--kind",
                                 "minor", "--month", "synodic"],
                                lambda: engine.progressions(BIRTH, "2024-01-01T00:00Z", LAT, LON,
                                                            kind="minor", month="synodic")),
        "releasing": (["releasing", BIRTH, LAT, LON, "--lot", "fortune", "--from", "2020",
                       "--until", "2030-06-01T00:00Z"],
                      lambda: engine.zodiacal_releasing(BIRTH, LAT, LON, "2020-01-01T00:00Z",
                                                        "2030-06-01T00:00Z", lot="fortune",
                                                        levels=2)),
        "directions": (["directions", BIRTH, LAT, LON, "2024-01-01T00:00Z", "2025-01-01T00:00Z"],
                       lambda: engine.solar_arc_directions(BIRTH, "2024-01-01T00:00Z",
                                                           "2025-01-01T00:00Z", LAT, LON)),
        "directions-primary": (
            ["directions-primary", BIRTH, LAT, LON, "--method", "regiomontanus", "--significators",
             "Midheaven,Sun", "--end-age", "40", "--converse", "reverse"],
            lambda: engine.primary_directions(BIRTH, LAT, LON, method="regiomontanus", end_age=40,
                                              significators=["Midheaven", "Sun"],
                                              converse="reverse")),
        "composite": (["composite", BIRTH, LAT, LON, *OTHER],
                      lambda: engine.composite(BIRTH, LAT, LON, *OTHER)),
        "davison": (["davison", BIRTH, LAT, LON, *OTHER],
                    lambda: engine.davison(BIRTH, LAT, LON, *OTHER)),
    }


@pytest.mark.parametrize("command", ["return", "returns", "timeline", "progressions",
                                     "progressions-minor", "releasing", "directions",
                                     "directions-primary", "composite", "davison"])
def test_command_prints_the_engine_result(engine, command):
    args, call = calls(engine)[command]
    assert run_json(*args) == call()
    table = run(*args)
    assert table.returncode == 0 and table.stdout.strip() and table.stderr == ""


def test_timeline_from_birth(engine):
    natal = engine.chart(BIRTH, LAT, LON)
    expected = engine.transit_timeline(natal, "2024-01-01T00:00Z", "2024-01-15T00:00Z")
    assert run_json("timeline", "2024-01-01T00:00Z", "2024-01-15T00:00Z",
                    "--birth", BIRTH, LAT, LON) == expected
