"""chart_structure and harmonic_chart against searches written apart from
the engine: patterns by brute force over each chart's aspect list, tallies,
dispositor chains walked by hand, midpoints and harmonics by their
definitions."""
import random
from collections import Counter
from itertools import combinations

import pytest

import quorvane_engine as q

PLANETS = ["Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus",
           "Neptune", "Pluto"]
ELEMENT = ["Fire", "Earth", "Air", "Water"]


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def arc(a, b):
    d = abs(a - b) % 360
    return 360 - d if d > 180 else d


def synthetic_chart(rng):
    """Planets bunched near multiples of 30 degrees so that the rarer
    patterns turn up; the aspects are the engine's own, as harmonic 1 finds
    them under the default orbs."""
    base = rng.uniform(0, 360)
    spread = rng.choice([2.0, 5.0, 40.0])
    planets = []
    for i, name in enumerate(PLANETS + ["Ascendant", "Midheaven"]):
        lon = (base + 30 * rng.randrange(12) + rng.gauss(0, spread)) % 360
        planets.append({"name": name, "ecliptic_longitude": lon,
                        "house": rng.randrange(1, 13) if i < 10 else None})
    chart = {"planets": planets}
    chart["aspects"] = q.harmonic_chart(chart, 1)["aspects"]
    return chart


def brute_patterns(chart):
    lon = {p["name"]: p["ecliptic_longitude"] for p in chart["planets"]}
    names = [n for n in PLANETS if n in lon]
    kind = {}
    for a in chart["aspects"]:
        if a["body1"] in names and a["body2"] in names:
            kind.setdefault(frozenset((a["body1"], a["body2"])), a["aspect_type"])

    def types(group):
        return Counter(kind.get(frozenset(p)) for p in combinations(group, 2))

    def partner(group, member, t):
        return [o for o in group if o != member and kind.get(frozenset((member, o))) == t]

    found = []
    for sign in range(12):
        group = [n for n in names if int(lon[n] // 30) % 12 == sign]
        if len(group) >= 3:
            found.append(("stellium", frozenset(group), None))
    crosses = set()
    for group in combinations(names, 4):
        t = types(group)
        if t == Counter({"Square": 4, "Opposition": 2}):
            crosses.add(frozenset(group))
            found.append(("grand_cross", frozenset(group), None))
        if t == Counter({"Trine": 3, "Opposition": 1, "Sextile": 2}):
            tail = next(m for m in group if not partner(group, m, "Trine"))
            found.append(("kite", frozenset(group), partner(group, tail, "Opposition")[0]))
        if t == Counter({"Trine": 2, "Opposition": 2, "Sextile": 2}) and all(
                len(partner(group, m, "Opposition")) == 1 for m in group):
            found.append(("mystic_rectangle", frozenset(group), None))
    for group in combinations(names, 3):
        t = types(group)
        if t == Counter({"Trine": 3}):
            found.append(("grand_trine", frozenset(group), None))
        if t == Counter({"Square": 2, "Opposition": 1}):
            apex = next(m for m in group if not partner(group, m, "Opposition"))
            if not any(set(group) <= c for c in crosses):
                found.append(("t_square", frozenset(group), apex))
        if t == Counter({"Quincunx": 2, "Sextile": 1}):
            apex = next(m for m in group if not partner(group, m, "Sextile"))
            found.append(("yod", frozenset(group), apex))
    for group in combinations(names, 6):
        if all(Counter(kind.get(frozenset((m, o))) for o in group if o != m)
               == Counter({"Sextile": 2, "Trine": 2, "Opposition": 1}) for m in group):
            found.append(("grand_sextile", frozenset(group), None))
    return Counter(found)


def engine_patterns(structure):
    return Counter((p["type"], frozenset(p["members"]), p.get("apex"))
                   for p in structure["aspect_patterns"])


def check_tallies(chart, structure):
    tallies = structure["tallies"]
    planets = [p for p in chart["planets"] if p["name"] in PLANETS]
    for form, expected_total in (("unweighted", len(planets)), ("weighted", len(planets) + 4)):
        block = tallies[form]
        assert block["total"] == expected_total
        for part in ("elements", "modes", "polarities"):
            assert sum(block[part].values()) == expected_total
    recount = Counter(ELEMENT[int(p["ecliptic_longitude"] // 30) % 4] for p in planets)
    assert tallies["unweighted"]["elements"] == {e: float(recount[e]) for e in ELEMENT}
    houses = tallies["houses"]
    placed = [p for p in planets if p.get("house")]
    assert houses["total"] == len(placed)
    assert houses["hemispheres"]["above"] + houses["hemispheres"]["below"] == len(placed)
    assert houses["hemispheres"]["east"] + houses["hemispheres"]["west"] == len(placed)
    assert sum(houses["quadrants"].values()) == len(placed)
    assert houses["hemispheres"]["above"] == sum(p["house"] >= 7 for p in placed)


def check_dispositors(structure):
    block = structure["dispositors"]
    ruler = block["dispositor"]
    for start, entry in block["chains"].items():
        walked, at = [start], start
        while ruler[at] not in walked and ruler[at] != at:
            at = ruler[at]
            walked.append(at)
        assert entry["chain"] == walked
        end = entry["end"]
        if ruler[at] == at:
            assert end == {"kind": "final", "planets": [at]}
            assert at in block["final_dispositors"]
        else:
            assert end["kind"] == "loop"
            assert end["planets"] == walked[walked.index(ruler[at]):]
    for a, b in block["mutual_receptions"]:
        assert ruler[a] == b and ruler[b] == a


def check_midpoints(chart, structure):
    lon = {p["name"]: p["ecliptic_longitude"] % 360 for p in chart["planets"]}
    block = structure["midpoints"]
    assert len(block["circle"]) == len(block["dial"])
    circle = [m["longitude"] for m in block["circle"]]
    assert circle == sorted(circle)
    assert [m["dial"] for m in block["dial"]] == sorted(m["dial"] for m in block["dial"])
    for m in block["circle"]:
        da, db = arc(m["longitude"], lon[m["body1"]]), arc(m["longitude"], lon[m["body2"]])
        assert da <= 90 + 1e-9 and abs(da - db) < 1e-9
        assert m["dial"] == pytest.approx(m["longitude"] % 90, abs=1e-9)
    for tree in block["trees"]:
        listed = {(b["body1"], b["body2"]) for b in tree["midpoints"]}
        for m in block["circle"]:
            if tree["point"] in (m["body1"], m["body2"]):
                continue
            off = arc(tree["longitude"], m["longitude"]) % 45
            near = min(off, 45 - off) <= block["orb"]
            # Within a hair of the orb either answer is right.
            if abs(min(off, 45 - off) - block["orb"]) > 1e-9:
                assert near == ((m["body1"], m["body2"]) in listed)


def check_shape(chart, structure):
    lons = sorted(p["ecliptic_longitude"] % 360 for p in chart["planets"] if p["name"] in PLANETS)
    span = 360 - max((b - a) % 360 for a, b in zip(lons, lons[1:] + lons[:1]))
    shape = structure["shape"]
    assert shape["span"] == pytest.approx(span)
    assert (shape["shape"] == "bundle") == (span <= 120)
    assert (shape["shape"] in ("bundle", "bowl")) == (span <= 180)


def test_structure_of_random_synthetic_charts():
    rng = random.Random(20261209)
    seen = Counter()
    for _ in range(2000):
        chart = synthetic_chart(rng)
        structure = q.chart_structure(chart, rulers=rng.choice(["traditional", "modern"]))
        found = engine_patterns(structure)
        assert found == brute_patterns(chart)
        assert max(found.values(), default=1) == 1
        seen.update(kind for kind, _, _ in found)
        check_tallies(chart, structure)
        check_dispositors(structure)
        check_midpoints(chart, structure)
        check_shape(chart, structure)
    # The run must have met every pattern, or it proved little.
    assert set(seen) == {"stellium", "grand_trine", "t_square", "grand_cross", "yod", "kite",
                         "mystic_rectangle", "grand_sextile"}


def test_structure_of_engine_charts(engine):
    rng = random.Random(7)
    for _ in range(60):
        moment = f"{rng.randrange(1900, 2100)}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}T{rng.randrange(24):02d}:00:00Z"
        chart = engine.chart(moment, rng.uniform(-60, 60), rng.uniform(-180, 180))
        structure = q.chart_structure(chart)
        assert engine_patterns(structure) == brute_patterns(chart)
        check_tallies(chart, structure)
        check_dispositors(structure)
        check_midpoints(chart, structure)
        # The traditional dispositor is the domicile lord the chart names.
        for p in chart["planets"][:7]:
            lord = p["condition"]["essential"]["lords"]["domicile"]
            assert structure["dispositors"]["dispositor"][p["name"]] == lord
        # Harmonic 1 is the chart itself: its places and its planet aspects.
        first = q.harmonic_chart(chart, 1)
        own = [(a["body1"], a["body2"], a["aspect_type"], a["orb"]) for a in chart["aspects"]
               if a["body1"] in {p["name"] for p in chart["planets"]}
               and a["body2"] in {p["name"] for p in chart["planets"]}]
        assert [(a["body1"], a["body2"], a["aspect_type"], a["orb"])
                for a in first["aspects"]] == own
        n = rng.randrange(2, 13)
        nth = q.harmonic_chart(chart, n)
        for radix, p in zip(chart["planets"], nth["planets"]):
            assert p["name"] == radix["name"]
            assert arc(p["ecliptic_longitude"], n * radix["ecliptic_longitude"]) < 1e-7
            assert 0 <= p["ecliptic_longitude"] < 360


def test_bad_input_is_refused():
    with pytest.raises(ValueError):
        q.chart_structure({"aspects": []})
    with pytest.raises(ValueError):
        q.chart_structure({"planets": []}, rulers="hellenistic")
    with pytest.raises(TypeError):
        q.chart_structure({"planets": []}, "modern")
    with pytest.raises(ValueError):
        q.harmonic_chart({"planets": []}, 0)
