"""Places no one can stand on are refused by name; option texts the engine
does not know still give a result, and say so with one UserWarning each."""
import ast
import math
import os
import pathlib
import subprocess
import sys
import warnings

import pytest

import quorvane_engine as q

MOMENT = "2024-03-20T12:00:00Z"
ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def test_impossible_places_are_refused_by_name(engine):
    chart = engine.chart("2024-02-10T04:00Z", 39.9, 116.4, chinese_calendar=True)
    natal, calendar = chart["planets"], chart["chinese_calendar"]
    calls = {
        "chart": lambda la, lo: engine.chart(MOMENT, la, lo),
        "horary": lambda la, lo: engine.horary(MOMENT, la, lo),
        "transit": lambda la, lo: engine.transit(natal, MOMENT, la, lo),
        "election": lambda la, lo: engine.election(MOMENT, la, lo),
        "elections": lambda la, lo: engine.elections(MOMENT, "2024-03-20T13:00Z", la, lo),
        "bazi": lambda la, lo: q.bazi(calendar, MOMENT, lo, 480),
        "zi_wei": lambda la, lo: q.zi_wei(calendar, MOMENT, lo, 480),
    }
    for name, call in calls.items():
        for value, shown in ((math.nan, "nan"), (-math.inf, "-inf")):
            with pytest.raises(ValueError, match=rf"^{name}\(\) argument 'longitude' must be a "
                                                 rf"finite number of degrees \(east positive\), "
                                                 rf"not {shown}$"):
                call(10.0, value)
        for value, shown in ((math.nan, "nan"), (90.5, "90.5"), (-1e9, "-1000000000.0")):
            if name not in ("bazi", "zi_wei"):
                with pytest.raises(ValueError, match=rf"^{name}\(\) argument 'latitude' must be "
                                                     rf"a finite number of degrees from -90 to "
                                                     rf"90, not {shown}$"):
                    call(value, 0.0)
    # The poles themselves and wrapping longitudes still work.
    assert engine.chart(MOMENT, 90.0, 0.0)["houses"] and engine.chart(MOMENT, -90, 0)["houses"]
    assert engine.chart(MOMENT, 10, 380.0)["houses"] == engine.chart(MOMENT, 10, 20.0)["houses"]


@pytest.mark.parametrize("options, start", [
    ({"house_system": "Porphyry"}, 'unknown house_system "Porphyry": using "P" (Placidus)'),
    ({"house_system": ""}, 'unknown house_system "": using "P" (Placidus)'),
    ({"house_system": "Bogus"}, 'unknown house_system "Bogus": using "B" (Alcabitius)'),
    ({"zodiac_type": "sideral"}, 'unknown zodiac_type "sideral": using "tropical" (Tropical)'),
    ({"ayanamsa": "lahri"}, 'unknown ayanamsa "lahri": using "galcent_0sag" (Galactic Center 0° Sagittarius)'),
    ({"dignity_scheme": "ptolemy"}, 'unknown dignity_scheme "ptolemy": using "lilly" (Lilly)'),
    ({"orb_settings": {"method": 3}},
     'unknown orb_settings method 3: using "aspect" (the aspect\'s own orb, also called '
     'per_aspect)'),
])
def test_unknown_options_warn_once_and_still_answer(engine, options, start):
    with pytest.warns(UserWarning) as caught:
        chart = engine.chart(MOMENT, 51.5, 0.0, **options)
    assert len(caught) == 1 and caught[0].filename == __file__  # the caller's line
    text = str(caught[0].message)
    assert text.startswith(start + " instead; accepted: ")
    option = {"orb_settings": "orb_method"}.get(next(iter(options)), next(iter(options)))
    assert all(f'"{c["code"]}"' in text for c in q.option_codes()[option])
    assert chart["house_system"] == options.get("house_system", "P")


def test_known_options_never_warn(engine):
    natal = engine.chart(MOMENT, 51.5, 0.0)["planets"]
    codes = q.option_codes()
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        for system in codes["house_system"]:
            # A name that starts with another letter (Alcabitius) is not its
            # system, except for the systems read by name (Meridian, Carter).
            for text in {system["code"], system["code"].lower(), system["name"], "whole"}:
                if text[0].upper() == system["code"] or (
                        text == system["name"] and system["code"] not in "PKRCTBMOEVW"):
                    engine.chart(MOMENT, 51.5, 0.0, house_system=text)
        for a in codes["ayanamsa"]:
            engine.chart(MOMENT, 51.5, 0.0, zodiac_type=" Sidereal ", ayanamsa=a["code"].upper())
        for scheme in ("lilly", "dorothean", "EGYPTIAN", "dorotheus"):
            q.chart_dignities(engine.chart(MOMENT, 1, 2, dignity_scheme=scheme), scheme)
        for method in [m["code"] for m in codes["orb_method"]] + ["per_aspect"]:
            q.synastry(natal, natal, orb_settings={"method": method})
            engine.transit(natal, MOMENT, 1, 2, orb_settings={"method": method})
        # Turned into errors, the warnings stop the call.
        with pytest.raises(UserWarning, match="unknown house_system"):
            engine.elections(MOMENT, "2024-03-20T13:00Z", 1, 2, house_system="Z")
        with pytest.raises(UserWarning, match="unknown dignity_scheme"):
            q.chart_dignities({"planets": natal}, "ptolemy")


def test_stub_literals_are_the_option_codes():
    stub = ROOT / "python" / "quorvane_engine.pyi"
    aliases = {node.targets[0].id: node.value for node in ast.parse(stub.read_text()).body
               if isinstance(node, ast.Assign) and isinstance(node.value, ast.Subscript)}
    for alias, option in (("_HouseSystem", "house_system"), ("_ZodiacType", "zodiac_type"),
                          ("_Ayanamsa", "ayanamsa"), ("_DignityScheme", "dignity_scheme"),
                          ("_OrbMethod", "orb_method")):
        assert aliases[alias].value.id == "Literal"
        assert [ast.literal_eval(e) for e in aliases[alias].slice.elts] == \
            [c["code"] for c in q.option_codes()[option]], alias


def test_first_example_runs_from_anywhere(de440, tmp_path):
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    done = subprocess.run([sys.executable, str(ROOT / "examples" / "first_chart.py")],
                          cwd=tmp_path, env=env, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0 and "aspects, first:" in done.stdout, done.stderr
