"""Engine.positions against the chart, against itself from another kernel,
and at its edges; declination aspects against a direct numpy count; the
ephemeris command. (The skyfield reference checks of every mode are in
tests/cpp/positions_test.cpp, where TT and UT1 can be handed over exactly.)"""
import math
import random

import numpy as np
import pytest

import quorvane_engine as q
from quorvane import cli

CHART_BODIES = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus",
                "Neptune", "Pluto", "North Node", "South Node", "Chiron", "Lilith"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def random_moments(count, seed):
    rng = random.Random(seed)
    out = []
    for _ in range(count):
        year = rng.randint(1600, 2599)
        out.append(f"{year:04d}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}T"
                   f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}Z")
    return out


def test_a_chart_and_positions_agree_to_the_bit(engine):
    moments = random_moments(30, 26)
    for zodiac, ayanamsa in (("tropical", "galcent_0sag"), ("sidereal", "lahiri")):
        columns = engine.positions(moments, zodiac_type=zodiac, ayanamsa=ayanamsa)
        assert columns["bodies"] == CHART_BODIES
        # The same moments as Julian days, in a numpy array, give the same bits.
        days = np.array([q.julian_day(m) for m in moments])
        again = engine.positions(days, zodiac_type=zodiac, ayanamsa=ayanamsa)
        assert np.array_equal(columns["longitude"], again["longitude"], equal_nan=True)
        for i, moment in enumerate(moments):
            chart = engine.chart(moment, 0.0, 0.0, zodiac_type=zodiac, ayanamsa=ayanamsa)
            seen = 0
            for planet in chart["planets"]:
                if planet["name"] in CHART_BODIES:
                    j = CHART_BODIES.index(planet["name"])
                    assert columns["longitude"][i, j] == planet["ecliptic_longitude"], (moment, j)
                    assert columns["longitude_speed"][i, j] == planet["speed"], (moment, j)
                    seen += 1
            # Chiron only inside its table; the rest always.
            assert seen == 13 + (not math.isnan(columns["longitude"][i, 12]))
            if zodiac == "sidereal":
                assert columns["ayanamsa"][i] == chart["ayanamsa_value"]


def test_an_hourly_table_equals_its_moments_one_by_one(engine):
    # Consecutive hours share an instant inside the batch; that must not show.
    days = 2460676.5 + np.arange(30) / 24
    table = engine.positions(days, ["Moon", "True Node", "Mercury"], center="topocentric",
                             latitude=40.0, longitude=-3.7, height=650.0)
    for i in (0, 1, 17, 29):
        one = engine.positions(float(days[i]), ["Moon", "True Node", "Mercury"],
                               center="topocentric", latitude=40.0, longitude=-3.7, height=650.0)
        for key in ("longitude", "longitude_speed", "declination_speed", "distance"):
            assert np.array_equal(table[key][i], one[key][0]), (key, i)


def test_the_sun_from_the_earth_is_the_earth_from_the_sun_turned_round(engine):
    days = np.random.default_rng(3).uniform(2305448.0, 2670000.0, 200)
    sun = engine.positions(days, ["Sun"], correction="geometric")
    earth = engine.positions(days, [399], center="heliocentric", correction="geometric")
    turned = (earth["longitude"] - sun["longitude"] - 180.0 + 180.0) % 360.0 - 180.0
    assert np.abs(turned).max() < 1e-9
    assert np.abs(earth["latitude"] + sun["latitude"]).max() < 1e-9
    assert np.abs(earth["declination"] + sun["declination"]).max() < 1e-9


def test_a_body_from_a_second_kernel_is_chained_through_the_first(de440, tmp_path):
    """Mars written as a minor body relative to the Sun, as asteroid kernels
    are: the same place as the Mars of the planetary kernel."""
    jplephem = pytest.importorskip("jplephem.spk")
    from tests.support.spk_writer import Segment, write_daf

    start, end = 2460000.5, 2460400.5
    main = jplephem.SPK.open(de440)
    arrays = {}
    for segment in main.segments:
        if (segment.center, segment.target) in ((0, 4), (0, 10)):
            init, intlen, coefficients = segment.load_array()
            arrays[segment.target] = (init, intlen, coefficients)
    (init, intlen, mars), (sun_init, sun_intlen, sun) = arrays[4], arrays[10]
    assert (init, intlen) == (sun_init, 2 * sun_intlen)
    # Each Mars record re-expanded over the Sun's two half intervals (exact
    # for polynomials), then the Sun taken off term by term.
    from numpy.polynomial import chebyshev
    g = max(mars.shape[2], sun.shape[2])
    records = []
    first, last = int((start - init) // sun_intlen), int((end - init) // sun_intlen)
    for k in range(first, last + 1):
        half = [-1.0, 0.0] if k % 2 == 0 else [0.0, 1.0]
        rows = []
        for axis in range(3):
            c = chebyshev.Chebyshev(mars[axis, k // 2]).convert(domain=half).coef
            rows.append(np.pad(c, (0, g - c.size)) - np.pad(sun[axis, k], (0, g - sun.shape[2])))
        records.append(np.array(rows))
    init, intlen = sun_init, sun_intlen
    path = tmp_path / "minor.bsp"
    path.write_bytes(write_daf([Segment(2000004, 10, 2, (init + first * intlen - 2451545.0) * 86400,
                                        intlen * 86400, records)]))

    engine = q.Engine([de440, str(path)])
    days = np.linspace(start + 20, end - 20, 50)
    for center in ("geocentric", "heliocentric"):
        got = engine.positions(days, ["Mars", 2000004], center=center)
        for key in ("longitude", "latitude", "declination"):
            difference = (got[key][:, 1] - got[key][:, 0] + 180.0) % 360.0 - 180.0
            assert np.abs(difference).max() < 1e-9, (center, key)
    with pytest.raises(q.EphemerisRangeError, match=r"moments\[1\]"):
        engine.positions([start + 20, start - 400, start + 30], [2000004])


def test_edges_of_a_batch(engine):
    empty = engine.positions([], ["Sun", "Moon"])
    assert empty["longitude"].shape == (0, 2) and empty["jd"].shape == (0,)
    with pytest.raises(ValueError, match="no loaded kernel holds body 2000001"):
        engine.positions("2024-01-01T00:00Z", [2000001])
    with pytest.raises(q.EphemerisRangeError, match=r"moments\[2\] \(UT JD 3000000.5\)"):
        engine.positions([2451545.0, 2451546.0, 3000000.5, 2451547.0], ["Sun"])
    with pytest.raises(ValueError, match="'moments'.*index 1"):
        engine.positions(np.array([2451545.0, np.nan]), ["Sun"])
    for latitude in (math.inf, 90.5):
        with pytest.raises(ValueError, match="'latitude' must be .* from -90 to 90"):
            engine.positions(2451545.0, center="topocentric", latitude=latitude, longitude=0.0)
    with pytest.raises(ValueError, match="unknown body"):
        engine.positions(2451545.0, ["Vulcan"])
    with pytest.raises(ValueError, match="'center'"):
        engine.positions(2451545.0, center="barycentric")


def test_declination_aspects_count_what_numpy_counts(engine):
    days = 2460676.5 + np.arange(0, 365, 7.0)
    columns = engine.positions(days)
    result = q.declination_aspects(columns, orb=1.5)
    d = columns["declination"]
    assert np.array_equal(result["out_of_bounds"],
                          np.abs(d) > columns["obliquity"][:, None])
    expected = set()
    for i in range(d.shape[0]):
        for a in range(d.shape[1]):
            for b in range(a + 1, d.shape[1]):
                if abs(d[i, a] - d[i, b]) <= 1.5:
                    expected.add((i, a, b, "parallel"))
                if abs(d[i, a] + d[i, b]) <= 1.5:
                    expected.add((i, a, b, "contraparallel"))
    names = columns["bodies"]
    got = {(r["moment"], names.index(r["first"]), names.index(r["second"]), r["aspect"])
           for r in result["aspects"]}
    assert got == expected and len(got) == len(result["aspects"]) > 0


def test_the_ephemeris_command_prints_a_year(de440, capsys):
    assert cli.main(["ephemeris", "2025-01-01", "2025-12-31", "--step", "1d",
                     "--kernel", de440, "--no-progress"]) == 0
    lines = capsys.readouterr().out.splitlines()
    assert len(lines) == 1 + 365
    assert lines[1].startswith("2025-01-01 00:00") and lines[-1].startswith("2025-12-31 00:00")
    assert cli.main(["ephemeris", "2025-03-20", "2025-03-21", "--step", "6h", "--bodies",
                     "Sun,True Node", "--csv", "--kernel", de440]) == 0
    rows = capsys.readouterr().out.splitlines()
    assert len(rows) == 1 + 5 and rows[0].startswith("date,jd,Sun longitude")
    # The Sun crosses 0 Aries on 2025-03-20 at 09:01 UT.
    longitudes = [float(row.split(",")[2]) for row in rows[1:]]
    assert longitudes[1] > 359.0 and longitudes[2] < 1.0


COLUMNS = ("longitude", "latitude", "distance", "longitude_speed", "latitude_speed",
           "distance_speed", "right_ascension", "declination", "right_ascension_speed",
           "declination_speed", "obliquity", "sidereal_time", "ayanamsa")


def test_every_thread_count_gives_the_same_bits(engine):
    # Random moments, an hourly run (whose shared instants now fall on both
    # sides of the threads' run boundaries) and a topocentric sidereal batch.
    rng = np.random.default_rng(11)
    hourly = 2451000.5 + np.arange(3000) / 24
    batches = [
        (np.concatenate([rng.uniform(2305448.0, 2670000.0, 2500), hourly]), {}),
        (hourly, {"center": "topocentric", "latitude": -33.9, "longitude": 18.4,
                  "zodiac_type": "sidereal", "ayanamsa": "lahiri",
                  "bodies": CHART_BODIES + ["True Node", "True Lilith"]}),
    ]
    for days, options in batches:
        one = engine.positions(days, threads=1, **options)
        for threads in (2, 7, None):
            other = engine.positions(days, threads=threads, **options)
            for key in COLUMNS:
                assert np.array_equal(one[key], other[key], equal_nan=True), (threads, key)


def test_the_earliest_failing_moment_is_named_whatever_the_thread_count(engine):
    days = 2451545.0 + np.arange(20000.0)
    days[[7000, 15000]] = 1e9  # two moments beyond every kernel
    for threads in (1, 2, 7):
        with pytest.raises(q.EphemerisRangeError, match=r"moments\[7000\]"):
            engine.positions(days, ["Sun", "Moon"], threads=threads)
    for wrong in (0, -1, 2000):
        with pytest.raises(ValueError, match="threads"):
            engine.positions(2451545.0, threads=wrong)


@pytest.mark.parametrize("threads", [1, 2])
def test_ctrl_c_stops_a_batch_within_a_second(engine, threads):
    import os
    import signal
    import threading
    import time

    # 3 million body-moments: seconds of work. Allocating the columns comes
    # first and is not interrupted, so the signal waits until it is done.
    days = 2305448.5 + np.arange(300_000) * 0.4
    sent = {}

    def interrupt():
        sent["cpu"] = time.process_time()
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(1.0, interrupt)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        engine.positions(days, ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn",
                                "Uranus", "Neptune", "Pluto"], threads=threads)
    # CPU time of every thread after the signal, which the machine's load
    # cannot stretch as it stretches the wall clock.
    assert time.process_time() - sent["cpu"] < 1.0
    timer.join()


def test_ctrl_c_stops_a_huge_batch_while_it_is_being_prepared(engine):
    import os
    import signal
    import threading
    import time

    # Six million moments in random order: seconds of sorting and column
    # making before any position is computed.
    days = np.random.default_rng(3).uniform(2305448.5, 2670000.0, 6_000_000)
    sent = {}
    timer = threading.Timer(0.2, lambda: (sent.setdefault("cpu", time.process_time()),
                                          os.kill(os.getpid(), signal.SIGINT)))
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        engine.positions(days, ["Sun"], threads=1)
    timer.join()
    assert time.process_time() - sent["cpu"] < 0.5
