import gc
import inspect
import os
import pathlib
import threading

import pytest

import quorvane_engine as q
from tests.support import spk_writer

J2000 = spk_writer.J2000
DAY = spk_writer.DAY


def span_kernel(directory, name, first, last):
    """A one-segment kernel that claims the span first..last (Julian days)."""
    segment = spk_writer.random_segment(spk_writer.np.random.default_rng(1), 10, 0, records=1)
    segment.start_et, segment.end_et = (first - J2000) * DAY, (last - J2000) * DAY
    path = directory / name
    path.write_bytes(spk_writer.write_daf([segment]))
    return path


@pytest.fixture
def two_kernels(tmp_path):
    modern = span_kernel(tmp_path, "modern.bsp", 2415020.5, 2469807.5)
    long_span = span_kernel(tmp_path, "long.bsp", 2287184.5, 2688976.5)
    return modern, long_span


def open_descriptors():
    return len(os.listdir("/proc/self/fd"))


class TestConstruction:
    def test_no_kernels(self):
        engine = q.Engine([])
        assert engine.coverage is None
        assert engine.kernels == []
        assert engine.supports(2451545.0) is False
        assert q.Engine(kernels=()).kernels == []

    @pytest.mark.parametrize("value", ["de440s.bsp", "", 5, None, {"a": 1}, iter(["x"])])
    def test_kernels_must_be_a_sequence_of_paths(self, value):
        with pytest.raises(TypeError):
            q.Engine(value)

    def test_elements_must_be_paths(self):
        with pytest.raises(TypeError):
            q.Engine([3])
        with pytest.raises(TypeError):
            q.Engine(b"abc")  # a sequence of ints

    def test_argument_errors(self):
        with pytest.raises(TypeError):
            q.Engine()
        with pytest.raises(TypeError):
            q.Engine([], [])
        with pytest.raises(TypeError):
            q.Engine(paths=[])

    def test_missing_file_names_the_path(self, tmp_path):
        missing = str(tmp_path / "de440s.bsp")
        with pytest.raises(q.EngineError) as info:
            q.Engine([missing])
        assert str(info.value) == \
            f"{missing}: SPK I/O error: No such file or directory (os error 2)"
        assert type(info.value) is q.EngineError

    def test_first_failure_stops_the_load(self, tmp_path, two_kernels):
        broken = tmp_path / "broken.bsp"
        broken.write_bytes(b"DAF/PCK " + bytes(2000))
        with pytest.raises(q.EngineError) as info:
            q.Engine([two_kernels[0], broken, tmp_path / "absent.bsp"])
        assert str(info.value) == f"{broken}: malformed SPK file: not a DAF/SPK file"

    def test_kernel_without_segments_is_refused(self, tmp_path):
        empty = tmp_path / "empty.bsp"
        empty.write_bytes(spk_writer.write_daf([]))
        with pytest.raises(q.EngineError, match="empty.bsp: malformed SPK file: kernel has no segments$"):
            q.Engine([str(empty)])

    def test_path_like_and_bytes_paths(self, two_kernels):
        modern, long_span = two_kernels
        engine = q.Engine((pathlib.Path(modern), os.fsencode(long_span)))
        assert [k[0] for k in engine.kernels] == ["modern.bsp", "long.bsp"]

    def test_signature_and_docstrings(self):
        assert q.Engine.supports.__text_signature__ == "($self, jd)"
        assert str(inspect.signature(q.Engine([]).supports)) == "(jd)"
        assert q.Engine.supports.__doc__.startswith("Whether a chart of this UT Julian date can be")


class TestKernelsAndCoverage:
    def test_two_kernels_in_order_with_their_hull(self, two_kernels):
        engine = q.Engine([str(p) for p in two_kernels])
        assert engine.kernels == [("modern.bsp", 2415020.5, 2469807.5),
                                  ("long.bsp", 2287184.5, 2688976.5)]
        assert engine.coverage == (2287184.5, 2688976.5)
        # A new list each time: changing it changes nothing.
        engine.kernels.clear()
        assert len(engine.kernels) == 2

    def test_hull_spans_gaps(self, tmp_path):
        early = span_kernel(tmp_path, "early.bsp", 2400000.5, 2410000.5)
        late = span_kernel(tmp_path, "late.bsp", 2450000.5, 2460000.5)
        engine = q.Engine([late, early])
        assert engine.coverage == (2400000.5, 2460000.5)
        assert engine.supports(2430000.0) is False
        assert engine.supports(2405000.0) is True

    def test_supports_at_the_edges(self, two_kernels):
        engine = q.Engine(list(two_kernels))
        assert engine.supports(2287184.5)
        # The last instant is covered, but a chart also needs the hour after.
        assert not engine.supports(2688976.5)
        assert engine.supports(2688976.5 - 0.05)
        assert engine.supports(jd=2451545)
        assert not engine.supports(2287184.5 - 1e-6)
        assert not engine.supports(2688976.5 + 1e-6)
        assert not engine.supports(float("nan"))
        with pytest.raises(TypeError):
            engine.supports("2451545.0")
        with pytest.raises(TypeError):
            engine.supports()

    def test_attributes_are_read_only(self, two_kernels):
        engine = q.Engine(list(two_kernels))
        with pytest.raises(AttributeError):
            engine.kernels = []
        with pytest.raises(AttributeError):
            engine.coverage = None

    def test_real_kernel(self, de440):
        engine = q.Engine([de440])
        assert engine.kernels == [("de440.bsp", 2287184.5, 2688976.5)]
        assert engine.coverage == (2287184.5, 2688976.5)
        assert engine.supports(2451545.0)
        assert not engine.supports(2287184.0)


class TestLifetime:
    def test_collected_engines_close_their_files(self, two_kernels):
        paths = [str(p) for p in two_kernels]
        gc.collect()
        before = open_descriptors()
        engines = [q.Engine(paths) for _ in range(50)]
        assert open_descriptors() == before + 100
        del engines
        gc.collect()
        assert open_descriptors() == before

    def test_failed_loads_leave_no_files_open(self, tmp_path, two_kernels):
        before = open_descriptors()
        for _ in range(20):
            with pytest.raises(q.EngineError):
                q.Engine([two_kernels[0], two_kernels[1], tmp_path / "absent.bsp"])
        assert open_descriptors() == before

    def test_loads_from_several_threads(self, two_kernels):
        # Loading runs without the interpreter lock: threads load side by side.
        results = []

        def load():
            results.append(q.Engine(list(two_kernels)).coverage)

        threads = [threading.Thread(target=load) for _ in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert results == [(2287184.5, 2688976.5)] * 8
