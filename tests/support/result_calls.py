"""Random calls of every record-returning function, for tests that compare
two ways of getting the same results.

`calls(engine, count, seed)` gives (label, function, args, kwargs) tuples:
`function` is an Engine method or a module function; the same seed gives
the same calls.
"""
import random

import quorvane_engine as q

HOUSE_SYSTEMS = "PKRCTBMOEVW"
AYANAMSAS = ["lahiri", "fagan_bradley", "true_citra", "galcent_0sag", "j2000"]
BODIES = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn"]


def _moment(rng, first=1900, last=2099):
    return (f"{rng.randint(first, last):04d}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}"
            f"T{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}Z")


def _place(rng):
    return round(rng.uniform(-66.0, 66.0), 4), round(rng.uniform(-180.0, 180.0), 4)


def _options(rng):
    options = {"house_system": rng.choice(HOUSE_SYSTEMS)}
    if rng.random() < 0.3:
        options["zodiac_type"] = "sidereal"
        options["ayanamsa"] = rng.choice(AYANAMSAS)
    if rng.random() < 0.2:
        options["orb_settings"] = {"method": rng.choice(["moiety_hybrid", "aspect"]),
                                   "Conjunction": rng.choice([6, 8.5, 10])}
    return options


def _chart_calls(rng, engine):
    lat, lon = _place(rng)
    options = _options(rng)
    if rng.random() < 0.5:
        options["dignity_scheme"] = rng.choice(["lilly", "dorothean"])
    if rng.random() < 0.15:
        options["chinese_calendar"] = True
    yield "chart", engine.chart, (_moment(rng), lat, lon), options


def calls(engine, count, seed=2026):
    """About `count` calls spread over every function that returns a record."""
    rng = random.Random(seed)
    base = engine.chart("1984-07-11T06:45:00Z", 41.9, 12.5, chinese_calendar=True)
    natal_points = [{"name": p["name"], "ecliptic_longitude": p["ecliptic_longitude"],
                     "speed": p["speed"]} for p in base["planets"]]
    makers = []

    def add(weight):
        def register(maker):
            makers.extend([maker] * weight)
            return maker
        return register

    @add(6)
    def chart():
        yield from _chart_calls(rng, engine)

    @add(3)
    def horary():
        lat, lon = _place(rng)
        options = _options(rng)
        if rng.random() < 0.5:
            options["quesited_house"] = rng.randint(1, 12)
        yield "horary", engine.horary, (_moment(rng), lat, lon), options

    @add(2)
    def election():
        lat, lon = _place(rng)
        yield "election", engine.election, (_moment(rng), lat, lon), _options(rng)

    @add(2)
    def transit():
        lat, lon = _place(rng)
        yield "transit", engine.transit, (natal_points, _moment(rng), lat, lon), _options(rng)

    @add(1)
    def elections():
        lat, lon = _place(rng)
        start = _moment(rng, 1950, 2050)
        end = start[:8] + f"{int(start[8:10]) + 1:02d}" + start[10:]
        yield "elections", engine.elections, (start, end, lat, lon), {}

    @add(1)
    def predictive():
        lat, lon = _place(rng)
        birth = _moment(rng, 1950, 1999)
        later = _moment(rng, 2000, 2040)
        body = rng.choice(BODIES)
        longitude = rng.uniform(0, 360)
        yield "planet_return", engine.planet_return, (body, longitude, later, lat, lon), {}
        yield "returns", engine.returns, ("Sun", longitude, later, later[:2] + "99" + later[4:]), {}
        yield ("progressions", engine.progressions, (birth, later, lat, lon),
               {"angle_method": rng.choice(["solar_arc", "naibod"])})
        year = int(later[:4])
        yield ("solar_arc_directions", engine.solar_arc_directions,
               (birth, later, f"{year + 2}{later[4:]}", lat, lon), {})
        yield ("transit_timeline", engine.transit_timeline,
               (base, later, f"{year}-12-31T00:00:00Z"), {"bodies": ["Sun", "Mars"]})
        other = _place(rng)
        yield "composite", engine.composite, (birth, lat, lon, later, *other), {}
        yield "davison", engine.davison, (birth, lat, lon, later, *other), {}

    @add(2)
    def module_functions():
        other = [dict(p, ecliptic_longitude=(p["ecliptic_longitude"] + rng.uniform(0, 360)) % 360)
                 for p in natal_points]
        yield "synastry", q.synastry, (natal_points, other), {}
        yield "derived_chart", q.derived_chart, (base, rng.randint(1, 12)), {}
        yield "degree_qualities", q.degree_qualities, (rng.uniform(0, 360),), {}
        yield ("time_lords", q.time_lords,
               ("1984-07-11T06:45:00Z", base["planets"][0]["ecliptic_longitude"],
                rng.uniform(0, 360), _moment(rng, 1984, 2000), "2030-01-01T00:00:00Z"), {})
        yield "chart_dignities", q.chart_dignities, (base,), {"dignity_scheme": "dorothean"}
        yield "chart_structure", q.chart_structure, (base,), {"rulers": "modern"}
        yield "harmonic_chart", q.harmonic_chart, (base, rng.randint(1, 360)), {}
        chinese = dict(solar_time=rng.random() < 0.5, sex=rng.choice(["male", "female", None]))
        yield ("bazi", q.bazi, (base["chinese_calendar"], "1984-07-11T06:45:00Z", 12.5, 60), chinese)
        yield ("zi_wei", q.zi_wei, (base["chinese_calendar"], "1984-07-11T06:45:00Z", 12.5, 60),
               chinese)

    while count > 0:
        for item in rng.choice(makers)():
            count -= 1
            yield item
    yield "degree_quality_table", q.degree_quality_table, (), {}
    yield "option_codes", q.option_codes, (), {}
