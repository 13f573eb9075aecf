import datetime
import inspect
import json

import pytest

import quorvane_engine as q


def test_module_registers_its_names_in_order():
    names = [n for n in vars(q) if not n.startswith("__") or n == "__version__"]
    expected = ["__version__", "Engine", "synastry", "derived_chart", "julian_day",
                "degree_qualities", "degree_quality_table", "time_lords", "chart_dignities",
                "bazi", "zi_wei", "option_codes", "declination_aspects", "chart_structure",
                "harmonic_chart", "EngineError", "EphemerisRangeError",
                "UnknownOptionWarning"]
    present = [n for n in expected if n in names]
    assert names == present
    assert q.__version__ == "0.0.12"
    assert q.__doc__ == ""


def test_exception_types():
    assert q.EngineError.__qualname__ == "EngineError"
    assert q.EngineError.__module__ == "quorvane_engine"
    assert q.EngineError.__bases__ == (Exception,)
    assert q.EphemerisRangeError.__bases__ == (q.EngineError,)
    assert q.EngineError.__doc__ == "A calculation failed (malformed kernel, unsupported data)."
    assert q.EphemerisRangeError.__doc__ == "No loaded kernel covers the requested date."


class TestJulianDay:
    def test_text_and_datetimes_agree(self):
        assert q.julian_day("2000-01-01T12:00:00Z") == 2451545.0
        assert q.julian_day(datetime.datetime(2000, 1, 1, 12)) == 2451545.0
        plus_one = datetime.timezone(datetime.timedelta(hours=1))
        assert q.julian_day(datetime.datetime(2000, 1, 1, 13, tzinfo=plus_one)) == 2451545.0
        assert q.julian_day(moment="2000-01-01 12:00") == 2451545.0

    def test_microseconds_reach_the_julian_day(self):
        a = q.julian_day(datetime.datetime(2024, 5, 1, 3, 4, 5, 250000))
        b = q.julian_day("2024-05-01T03:04:05.25Z")
        assert a == b
        assert b - q.julian_day("2024-05-01T03:04:05Z") == pytest.approx(0.25 / 86400, abs=1e-9)

    def test_str_subclass_is_text(self):
        class Moment(str):
            pass

        assert q.julian_day(Moment("2000-01-01T12:00:00Z")) == 2451545.0

    @pytest.mark.parametrize("text", [
        "2000-01-01T12:00:00+01:00", "2000-01-01", "2000-01-01T12", "garbage", "",
        "2000-01-01T24:00Z", "2000-13-01T00:00Z", "\u0661\u0669\u0667\u0660-01-01T00:00Z",
    ])
    def test_bad_text_raises_value_error_with_whole_input(self, text):
        with pytest.raises(ValueError) as info:
            q.julian_day(text)
        assert str(info.value) == f"invalid UTC date-time: {text}"

    @pytest.mark.parametrize("value", [2451545.0, 7, None, datetime.date(2000, 1, 1), object()])
    def test_non_moments_raise_attribute_error(self, value):
        with pytest.raises(AttributeError):
            q.julian_day(value)

    def test_astimezone_errors_propagate(self):
        class Zone:
            tzinfo = "not none"

            def astimezone(self, tz):
                raise KeyError("zone")

        with pytest.raises(KeyError):
            q.julian_day(Zone())

    def test_argument_errors(self):
        with pytest.raises(TypeError):
            q.julian_day()
        with pytest.raises(TypeError):
            q.julian_day("2000-01-01T00:00Z", "extra")
        with pytest.raises(TypeError):
            q.julian_day(when="2000-01-01T00:00Z")

    def test_signature(self):
        assert str(inspect.signature(q.julian_day)) == "(moment)"
        assert q.julian_day.__doc__.strip() == \
            "Julian day of a moment, as the chart calculation uses it."


def test_engine_class_docstring_and_signature():
    assert str(inspect.signature(q.Engine)) == "(kernels)"
    assert q.Engine.__doc__ == (
        "Chart calculator over a set of JPL kernels. It reads the kernels'\n"
        "records as calls need them and keeps them in memory (at most 256 MiB per file), shared\n"
        "by its calls and threads; a kernel file changed on disk is noticed by the next call,\n"
        "and the records kept from it are dropped.\n\n"
        'Engine(["de440s.bsp", "de441_part-1.bsp"]) loads the kernels in preference order:\n'
        "each date is computed with the first kernel that covers it.")
