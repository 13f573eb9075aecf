"""Every public function and Engine method, given arbitrary values (texts,
datetimes, numbers with NaN, infinities and huge integers, None, nested
dicts and lists of all of these, and working arguments with one part of
their structure replaced or removed), returns plain data or raises one of
the documented exceptions, never anything else and never a crash."""
from __future__ import annotations

import copy
import datetime
import json
import math

import pytest
from hypothesis import HealthCheck, example, given, settings
from hypothesis import strategies as st

import quorvane_engine as q
from tests.support.surface import Arguments, documented_errors, overflow_allowed, surface

NAMES = [entry.name for entry in surface(q)]

HUGE_INTS = st.sampled_from([2**31, -2**31 - 1, 2**53 + 1, 2**63, -2**63 - 1, 2**64, 10**400])
FLOATS = st.floats(allow_nan=True, allow_infinity=True) | st.sampled_from(
    [math.nan, math.inf, -math.inf, -0.0, 5e-324, 1.7976931348623157e308])
ODD_TEXTS = st.sampled_from([
    "", " ", "\x00", "\ud800", "nan", "-inf", "1e400", "7_5", "\u0661\u0669",
    "9999-12-31T23:59:59.999999Z", "294247-01-10T04:00:54.775807Z",
    "294247-01-10T04:00:54.775808Z", "2147483647-01-01T00:00Z", "0000-01-01T00:00Z",
    "1550-01-01T00:00Z", "2650-01-25T00:00Z", "2024-02-30T00:00Z", "2024-01-01T00:00+01:00",
    "lilly", "dorothean", "sidereal", "W", "lahiri", "male", "split", "same", "Sun", "North Node",
])
MOMENT_TEXTS = st.builds(
    "{:04d}-{:02d}-{:02d}T{:02d}:{:02d}:{:02d}{}Z".format,
    st.integers(0, 99999), st.integers(0, 13), st.integers(0, 32), st.integers(0, 24),
    st.integers(0, 60), st.integers(0, 60), st.sampled_from(["", ".5", ".1234567", "."]))
ZONES = st.none() | st.builds(
    datetime.timezone,
    st.timedeltas(min_value=datetime.timedelta(hours=-23, minutes=-59),
                  max_value=datetime.timedelta(hours=23, minutes=59)))
DATETIMES = st.datetimes(timezones=ZONES)

SCALARS = (st.none() | st.booleans() | st.integers() | HUGE_INTS | FLOATS | st.text(max_size=20)
           | ODD_TEXTS | MOMENT_TEXTS)
JSONISH = st.recursive(
    SCALARS,
    lambda children: st.lists(children, max_size=6)
    | st.dictionaries(st.text(max_size=12) | ODD_TEXTS, children, max_size=6),
    max_leaves=30)
HOSTILE = JSONISH | DATETIMES | st.dates() | st.just(object()) | st.tuples(SCALARS, SCALARS)


def paths(value, prefix=()):
    """Every place inside a JSON-like value, as key paths."""
    yield prefix
    if isinstance(value, dict):
        for key, item in value.items():
            yield from paths(item, prefix + (key,))
    elif isinstance(value, list):
        for index, item in enumerate(value):
            yield from paths(item, prefix + (index,))


@st.composite
def spoiled(draw, value):
    """`value` with one place in it replaced by a hostile value, or removed."""
    where = draw(st.sampled_from(list(paths(value))))
    if not where:
        return draw(HOSTILE)
    result = copy.deepcopy(value)
    parent = result
    for key in where[:-1]:
        parent = parent[key]
    if draw(st.booleans()):
        del parent[where[-1]]
    else:
        parent[where[-1]] = draw(HOSTILE)
    return result


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


@pytest.fixture(scope="module")
def arguments(engine):
    return Arguments.from_engine(engine)


def plain(value) -> bool:
    """Only the types the results are documented to contain."""
    if value is None or isinstance(value, (bool, int, float, str)):
        return True
    if isinstance(value, (list, tuple)):
        return all(plain(item) for item in value)
    if isinstance(value, dict):
        return all(isinstance(k, str) and plain(v) for k, v in value.items())
    # Engine.positions and declination_aspects: numpy columns.
    return getattr(value, "dtype", None) in ("float64", "bool")


def argument_strategy(entry, arguments):
    """Per parameter: left out when optional, its working value, that value
    spoiled somewhere inside, or anything hostile."""
    def one(name):
        working = arguments.values[name]
        structured = isinstance(working, (dict, list)) and bool(working)
        # Mostly working values, so that calls get past the first argument.
        kinds = ["working"] * 3 + ["hostile"] + (["spoiled"] * 2 if structured else [])

        def value(kind):
            if kind == "working":
                return st.just(working)
            return spoiled(working) if kind == "spoiled" else HOSTILE

        return st.sampled_from(kinds).flatmap(value)

    def assemble(draws):
        args, kwargs = [], {}
        for name, (mode, value) in zip(entry.names, draws):
            if name in entry.required:
                args.append(value)
            elif mode == "keyword":
                kwargs[name] = value
        return args, kwargs

    modes = st.sampled_from(["keyword", "absent"])
    return st.tuples(*[st.tuples(modes, one(name)) for name in entry.names]).map(assemble)


def check_call(entry, args, kwargs) -> str:
    allowed = documented_errors(q)
    try:
        result = entry.function(*args, **kwargs)
    except allowed:
        return "error"
    except OverflowError:
        assert overflow_allowed(args, kwargs), (entry.name, args, kwargs)
        return "error"
    assert plain(result), (entry.name, type(result))
    if isinstance(result, dict):
        json.dumps(result, default=lambda array: array.tolist())
    return "result"


@pytest.mark.parametrize("name", NAMES)
def test_arbitrary_arguments_give_results_or_documented_errors(name, engine, arguments):
    entry = next(e for e in surface(q, engine) if e.name == name)
    assert not arguments.unknown(entry), f"{name}: no working value for {arguments.unknown(entry)}"

    outcomes = {"result": 0, "error": 0}

    # The working call itself always runs too: with many optional
    # parameters (positions has nine) a random draw can miss every working
    # combination in 200 examples.
    @settings(max_examples=200, deadline=None, database=None,
              suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
    @given(argument_strategy(entry, arguments))
    @example(arguments.call(entry))
    def run(call):
        outcomes[check_call(entry, *call)] += 1

    run()
    # Both roads were taken: the inputs reached the engine, and were refused.
    assert outcomes["result"] > 0
    assert outcomes["error"] > 0 or not entry.names


@settings(max_examples=300, deadline=None, database=None)
@given(st.one_of(HOSTILE, MOMENT_TEXTS, DATETIMES))
def test_any_moment_converts_or_fails_as_documented(moment):
    try:
        jd = q.julian_day(moment)
    except (ValueError, AttributeError, TypeError):
        return
    except OverflowError:
        assert isinstance(moment, datetime.datetime) and moment.tzinfo is not None
        return
    assert isinstance(jd, float) and math.isfinite(jd)
    if isinstance(moment, str):
        # Whatever parses lies on the 64-bit microsecond line: about
        # ±292,000 years around 1970, so JD from -1e8 to 1.1e8.
        assert -1.1e8 < jd < 1.1e8


class LooksLikeADatetime:
    """Not a datetime, but with the attributes the moment conversion reads."""

    tzinfo = None

    def __init__(self, **fields):
        self.year, self.month, self.day = 2000, 1, 1
        self.hour = self.minute = self.second = self.microsecond = 0
        self.__dict__.update(fields)


@pytest.mark.parametrize("fields", [
    {"year": 10**6}, {"year": 2**31}, {"year": -2**31 - 1}, {"month": -1}, {"hour": 2**32},
    {"microsecond": -5}, {"year": 10**30},
])
def test_fields_beyond_any_instant_are_refused_not_wrapped(fields):
    with pytest.raises(OverflowError):
        q.julian_day(LooksLikeADatetime(**fields))


def test_fields_within_range_carry_over_as_for_a_datetime():
    assert q.julian_day(LooksLikeADatetime()) == 2451544.5
    # Day 32 of January is 1 February; hour 24 the next day.
    assert q.julian_day(LooksLikeADatetime(day=32)) == q.julian_day("2000-02-01T00:00Z")
    assert q.julian_day(LooksLikeADatetime(hour=24)) == q.julian_day("2000-01-02T00:00Z")
    far = q.julian_day(LooksLikeADatetime(year=200000))
    assert far == q.julian_day("200000-01-01T00:00Z") == 74769559.5
