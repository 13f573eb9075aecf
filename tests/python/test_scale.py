"""Engines cross process boundaries: pickling, process pools and Dask."""
import concurrent.futures
import copy
import multiprocessing
import os
import pathlib
import pickle

import pytest

import quorvane_engine as q
from tests.support import spk_writer

MOMENTS = ["2024-03-20T03:06:00Z", "1969-07-20T20:17:40Z", "1900-01-01T00:00:00Z",
           "2101-12-31T23:59:00Z", "1582-10-15T12:00:00Z", "2000-01-01T12:00:00Z"]
PLACES = [(51.48, -0.0), (28.57, -80.65), (-33.87, 151.21), (64.15, -21.94), (0.0, 0.0),
          (-77.85, 166.67)]


def small_kernel(path):
    segment = spk_writer.random_segment(spk_writer.np.random.default_rng(3), 10, 0, records=1)
    path.write_bytes(spk_writer.write_daf([segment]))
    return path


def serial_charts(engine):
    return [engine.chart(m, lat, lon) for m, (lat, lon) in zip(MOMENTS, PLACES)]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


class TestPickle:
    def test_round_trip_gives_identical_charts(self, engine):
        again = pickle.loads(pickle.dumps(engine))
        assert again is not engine
        assert again.kernels == engine.kernels
        assert again.coverage == engine.coverage
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            assert pickle.loads(pickle.dumps(engine, protocol)).kernels == engine.kernels
        assert copy.deepcopy(engine).kernels == engine.kernels
        for moment, (lat, lon) in zip(MOMENTS[:3], PLACES):
            assert again.chart(moment, lat, lon, house_system="K", chinese_calendar=True) == \
                engine.chart(moment, lat, lon, house_system="K", chinese_calendar=True)

    def test_records_paths_in_order_as_str_or_bytes(self, tmp_path, de440):
        first = small_kernel(tmp_path / "first.bsp")
        given = [first, os.fsencode(de440), str(first)]
        engine = q.Engine(given)
        cls, (paths,) = engine.__reduce__()
        assert cls is q.Engine
        # Path objects travel as the str os.fspath gives; bytes stay bytes.
        assert list(paths) == [str(first), os.fsencode(de440), str(first)]
        assert [type(p) for p in paths] == [str, bytes, str]
        assert [k[0] for k in pickle.loads(pickle.dumps(engine)).kernels] == \
            ["first.bsp", "de440.bsp", "first.bsp"]

    def test_no_kernels(self):
        again = pickle.loads(pickle.dumps(q.Engine([])))
        assert again.kernels == [] and again.coverage is None

    def test_missing_file_fails_like_the_constructor(self, tmp_path):
        path = small_kernel(tmp_path / "gone.bsp")
        data = pickle.dumps(q.Engine([path]))
        path.unlink()
        with pytest.raises(q.EngineError) as direct:
            q.Engine([path])
        with pytest.raises(q.EngineError) as unpickled:
            pickle.loads(data)
        assert str(unpickled.value) == str(direct.value)
        assert str(direct.value).startswith(f"{path}: SPK I/O error: ")


def test_process_pool_matches_serial_loop(engine):
    # spawn: the workers are fresh interpreters that must reopen the kernel.
    context = multiprocessing.get_context("spawn")
    with concurrent.futures.ProcessPoolExecutor(2, mp_context=context) as pool:
        lats, lons = zip(*PLACES)
        parallel = list(pool.map(engine.chart, MOMENTS, lats, lons))
    assert parallel == serial_charts(engine)


def test_dask_cluster_matches_serial_loop(engine, monkeypatch):
    distributed = pytest.importorskip(
        "distributed", reason="Dask distributed is not installed (pip install distributed)")
    # Workers are new processes: let them import the module this test imported.
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(
        [str(pathlib.Path(q.__file__).parent), os.environ.get("PYTHONPATH", "")]))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        lats, lons = zip(*PLACES)
        futures = client.map(engine.chart, MOMENTS, lats, lons, pure=False)
        parallel = client.gather(futures)
    assert parallel == serial_charts(engine)
