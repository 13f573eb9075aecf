"""The two forms of every result agree exactly: the Python objects built
straight from a record, and json.loads of its JSON text (json=True). Equal
values, the same key order at every level, the same types, the same float
bits (signed zeros included)."""
import json
import math

import pytest

import quorvane_engine as q
from tests.support.result_calls import calls


def differences(a, b, path="$"):
    """Every way b is not exactly a."""
    if type(a) is not type(b):
        return [f"{path}: {type(a).__name__} {a!r:.60} vs {type(b).__name__} {b!r:.60}"]
    if isinstance(a, dict):
        if list(a) != list(b):
            return [f"{path}: keys {list(a)} vs {list(b)}"]
        return [d for key in a for d in differences(a[key], b[key], f"{path}.{key}")]
    if isinstance(a, list):
        if len(a) != len(b):
            return [f"{path}: {len(a)} vs {len(b)} items"]
        return [d for i, pair in enumerate(zip(a, b)) for d in differences(*pair, f"{path}[{i}]")]
    if isinstance(a, float):
        same = a.hex() == b.hex() and math.copysign(1.0, a) == math.copysign(1.0, b)
        return [] if same else [f"{path}: {a.hex()} vs {b.hex()}"]
    return [] if a == b else [f"{path}: {a!r:.60} vs {b!r:.60}"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def test_objects_are_json_loads_of_the_text(engine):
    seen = set()
    for label, function, args, kwargs in calls(engine, 240, seed=7):
        objects = function(*args, **kwargs)
        text = function(*args, **kwargs, json=True)
        assert isinstance(text, str) and "\n" not in text
        problems = differences(json.loads(text), objects)
        assert not problems, f"{label}{args!r:.200}: {problems[:5]}"
        seen.add(label)
    assert len(seen) >= 19  # every kind of call was drawn


def test_the_comparison_sees_a_moved_key_and_a_rounded_double(engine):
    chart = engine.chart("1987-06-14T09:41:27Z", 51.4779, -0.0015)
    assert not differences(chart, json.loads(engine.chart("1987-06-14T09:41:27Z", 51.4779,
                                                          -0.0015, json=True)))
    moved = json.loads(json.dumps(chart))
    first = moved["planets"][3]
    first["name"] = first.pop("name")  # the same pairs, "name" now last
    assert differences(chart, moved)
    rounded = json.loads(json.dumps(chart))
    rounded["houses"][4]["ecliptic_longitude"] = float(f"{chart['houses'][4]['ecliptic_longitude']:.12g}")
    assert differences(chart, rounded)
    retyped = json.loads(json.dumps(chart))
    retyped["planets"][0]["degree"] = float(retyped["planets"][0]["degree"])
    assert differences(chart, retyped)


def test_the_json_flag_is_keyword_only_and_a_bool(engine):
    options = {"house_system": "W", "json": True}
    text = engine.chart("2024-03-20T12:00Z", 10.0, 20.0, **options)
    assert options == {"house_system": "W", "json": True}  # the caller's dict is left alone
    assert json.loads(text)["house_system"] == "W"
    with pytest.raises(TypeError, match="'json' must be bool"):
        engine.chart("2024-03-20T12:00Z", 10.0, 20.0, json=1)
    with pytest.raises(TypeError):
        q.degree_qualities(12.0, True)
    assert q.degree_qualities(12.0, json=False) == json.loads(q.degree_qualities(12.0, json=True))


def test_keys_made_from_data_change_from_call_to_call(engine):
    # Unknown orb names are echoed as keys, each from a buffer of its own
    # call; thousands of names of one length (buffers that reuse addresses),
    # more names than the module keeps, and every echo is this call's.
    for i in range(2300):
        names = {f"Name{i:05d}a": 1.0 + i % 7, f"Name{i:05d}b": 2.0}
        settings = {"aspect_orbs": names, "planet_orbs": {f"Body{i:05d}": 3.0}}
        objects = engine.chart("2001-01-01T00:00Z", 10, 20, orb_settings=settings)
        echoed = objects["orb_settings"]
        assert {k: echoed["aspect_orbs"][k] for k in names} == names
        assert echoed["planet_orbs"][f"Body{i:05d}"] == 3.0
        if i % 50 == 0:
            text = engine.chart("2001-01-01T00:00Z", 10, 20, orb_settings=settings, json=True)
            assert differences(json.loads(text), objects) == []
