"""Whole chart dicts against an expected file: a regression guard.

The expected file is written only on request, after the rest of the suite
(skyfield agreement of the positions, the geometric house checks) passes:

    QUORVANE_REGENERATE_GOLDEN=1 bash scripts/test.sh -k golden
"""
import json
import math
import os

import pytest

import quorvane_engine as q

GOLDEN = os.path.join(os.path.dirname(__file__), "golden", "charts.json")
LONDON = (51.4779, -0.0015)

CASES = {
    f"system-{code}": ("1987-06-14T09:41:27Z", *LONDON, {"house_system": code})
    for code in "PKRCTBMOEVW"
}
CASES.update({
    "sidereal-lahiri": ("1990-10-23T21:15:00Z", 28.6139, 77.2090,
                        {"zodiac_type": "sidereal", "ayanamsa": "lahiri"}),
    "southern-koch": ("2003-02-01T14:05:00Z", -33.8688, 151.2093, {"house_system": "K"}),
    "sign-boundary-sun": ("2024-03-20T03:06:27Z", 40.4168, -3.7038, {}),
    "high-latitude": ("2015-12-21T12:00:00Z", 64.1466, -21.9426, {"dignity_scheme": "dorothean"}),
    "chiron-absent": ("1820-05-05T05:05:00Z", 48.8566, 2.3522, {}),
})


def compute(engine):
    return {name: engine.chart(moment, lat, lon, **kwargs)
            for name, (moment, lat, lon, kwargs) in CASES.items()}


def differences(expected, actual, path="$"):
    if isinstance(expected, dict):
        if not isinstance(actual, dict) or list(expected) != list(actual):
            return [f"{path}: keys {list(expected)} != {list(actual) if isinstance(actual, dict) else actual!r}"]
        return [d for k in expected for d in differences(expected[k], actual[k], f"{path}.{k}")]
    if isinstance(expected, list):
        if not isinstance(actual, list) or len(expected) != len(actual):
            return [f"{path}: {len(expected)} items != {actual!r:.200}"]
        return [d for i, (e, a) in enumerate(zip(expected, actual))
                for d in differences(e, a, f"{path}[{i}]")]
    if isinstance(expected, float) and isinstance(actual, (int, float)) \
            and not isinstance(actual, bool):
        if math.isclose(expected, actual, rel_tol=1e-12, abs_tol=1e-9):
            return []
    elif type(expected) is type(actual) and expected == actual:
        return []
    return [f"{path}: expected {expected!r}, got {actual!r}"]


def test_charts_match_the_expected_file(de440):
    engine = q.Engine([de440])
    charts = compute(engine)
    if os.environ.get("QUORVANE_REGENERATE_GOLDEN"):
        with open(GOLDEN, "w", encoding="utf-8") as f:
            json.dump(charts, f, ensure_ascii=False, indent=1)
            f.write("\n")
        pytest.skip("expected charts regenerated")
    with open(GOLDEN, encoding="utf-8") as f:
        expected = json.load(f)
    assert list(expected) == list(charts)
    problems = [d for name in expected for d in differences(expected[name], charts[name], name)]
    assert not problems, "\n".join(problems[:40])
