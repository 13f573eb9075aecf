"""The Chiron table generator: its orbit, its Delta T and its pipeline."""
import importlib.util
import os

import numpy as np
import pytest

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")


def load(name, relative):
    spec = importlib.util.spec_from_file_location(name, os.path.join(ROOT, relative))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


gen = load("gen_chiron", "tools/gen_chiron.py")
skyfield_reference = load("chiron_skyfield", "tests/cpp/reference/chiron_skyfield.py")


@pytest.fixture(scope="module")
def ephemeris(de440):
    ephem = gen.Ephemeris(de440)
    yield ephem
    ephem.close()


@pytest.fixture(scope="module")
def orbit_2000_2040(ephemeris):
    return gen.build_orbit(ephemeris, t_min=2451544.0, t_max=2466155.0)


def test_orbit_reproduces_the_horizons_states(ephemeris, orbit_2000_2040):
    residuals = gen.horizons_residuals(ephemeris, orbit_2000_2040)
    assert [epoch for epoch, _, _ in residuals][-1] == "2040-01-01"
    for epoch, dr, dv in residuals:
        assert dr < 1e-6, epoch  # the acceptance line is 1e-5 au
        assert dv < 1e-9, epoch


def test_delta_t_is_decoded_from_the_engine_block():
    delta_t, source = gen.load_delta_t()
    assert source == "generated/delta_t_block.cpp"
    assert len(delta_t.points) == 19745 and len(delta_t.segments) == 47
    # Daily rows (1975, 2000, 2027) at their points, and a long-term row.
    rows = delta_t.at(delta_t.points[[729, 9860, 19722]])
    assert list(rows) == [45.476138, 63.8285221, 69.0961474]
    assert delta_t.at(np.array([2415020.0]))[0] == pytest.approx(-1.977, abs=1e-12)


def test_pipeline_agrees_with_skyfield(de440, ephemeris, orbit_2000_2040):
    rows = skyfield_reference.apparent_longitudes(de440)
    jd = np.array([r[0] for r in rows])
    expected = np.array([r[1] for r in rows])
    delta_t, _ = gen.load_delta_t()
    got = np.degrees(gen.apparent_longitudes(ephemeris, orbit_2000_2040, delta_t, jd))
    diff = (got - expected + 180.0) % 360.0 - 180.0
    assert np.all(np.abs(diff) * 3600.0 < 0.02), diff * 3600.0


def test_unwrap_keeps_consecutive_values_within_half_a_turn():
    wrapped = np.array([6.2, 0.05, 6.25, 3.0, -3.2])
    out = gen.unwrap(wrapped)
    assert out[0] == 6.2
    assert np.all(np.abs(np.diff(out)) < np.pi)
    # Whole turns only: the same directions.
    assert np.allclose(np.cos(out), np.cos(wrapped)) and np.allclose(np.sin(out), np.sin(wrapped))
