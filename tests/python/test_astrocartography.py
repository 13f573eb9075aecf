"""Astrocartography lines, parans and local space checked point by point
from the bodies' right ascension and declination and an independent
sidereal time (erfa), a chart cast on an Ascendant line, and the GeoJSON."""
import math
import random

import erfa
import pytest

import quorvane_engine as q
from quorvane.astro_map import relocate, to_geojson

ARCSEC = 1.0 / 3600.0


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def random_moments(count, seed):
    rng = random.Random(seed)
    return [f"{rng.randint(1900, 2099):04d}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}T"
            f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}Z"
            for _ in range(count)]


def wrap(degrees):
    return (degrees + 180.0) % 360.0 - 180.0


def altitude(lat, dec, hour_angle):
    lat, dec, h = map(math.radians, (lat, dec, hour_angle))
    return math.degrees(math.asin(max(-1.0, min(1.0, math.sin(lat) * math.sin(dec) +
                                                 math.cos(lat) * math.cos(dec) * math.cos(h)))))


def sidereal_time(moment):
    """Greenwich apparent sidereal time (IAU 2006/2000A), degrees, with UT1
    taken as UTC; the equation of the equinoxes is blind to the few minutes
    of Delta T guessed here."""
    jd = q.julian_day(moment)
    return math.degrees(erfa.gst06a(jd, 0.0, jd, 69.0 / 86400.0))


def angular_error(angle, lat, lon, body, gst):
    """How far (degrees) a body of the result is from standing on `angle` at
    (lat, lon): the hour angle's distance from 0 or 180 on the meridian
    lines, the altitude on the horizon ones, whose side is checked too."""
    h = wrap(gst + lon - body["right_ascension"])
    if angle == "MC":
        return abs(h)
    if angle == "IC":
        return abs(wrap(h - 180.0))
    # East of the meridian rises, west sets; at the ends of the line the
    # body grazes the horizon on the meridian itself.
    side = -1 if angle == "ASC" else 1
    assert h * side >= -1e-6 or abs(abs(h) - 180.0) < 1e-6, (angle, h)
    return abs(altitude(lat, body["declination"], h))


@pytest.mark.parametrize("mode", ["mundo", "zodiaco"])
def test_lines_stand_on_their_angles_at_every_sample_and_between(engine, mode):
    for moment in random_moments(12, 41 if mode == "mundo" else 42):
        result = engine.astrocartography(moment, mode=mode)
        gst = sidereal_time(moment)
        assert abs(wrap(result["sidereal_time"] - gst)) < 0.001 * ARCSEC
        bodies = {b["body"]: b for b in result["bodies"]}
        assert len(result["lines"]) == 4 * len(bodies)
        for line in result["lines"]:
            body = bodies[line["body"]]
            horizon = line["angle"] in ("ASC", "DSC")
            reach = 90.0 - abs(body["declination"])
            if horizon:
                assert line["north"] == pytest.approx(reach) and line["south"] == pytest.approx(-reach)
            lats = []
            for piece in line["segments"]:
                assert len(piece) >= 2
                for (lon0, lat0), (lon1, lat1) in zip(piece, piece[1:]):
                    # No step of a piece crosses the antimeridian.
                    assert -180.0 <= lon0 <= 180.0 and abs(lon1 - lon0) < 180.0
                    # Between samples the chord stays within the tolerance.
                    for t in (0.2, 0.5, 0.8):
                        lat, lon = lat0 + t * (lat1 - lat0), lon0 + t * (lon1 - lon0)
                        assert angular_error(line["angle"], lat, lon, body, gst) < 0.01
                for lon, lat in piece:
                    lats.append(lat)
                    assert angular_error(line["angle"], lat, lon, body, gst) < ARCSEC
            # The line runs the whole of its latitudes.
            assert min(lats) == pytest.approx(-reach if horizon else -90.0, abs=1e-9)
            assert max(lats) == pytest.approx(reach if horizon else 90.0, abs=1e-9)


def test_zodiaco_points_lie_on_the_ecliptic_at_the_body_longitude(engine):
    moment = "1990-07-14T12:30:00Z"
    result = engine.astrocartography(moment, mode="zodiaco")
    # The obliquity of the chart's houses: IAU 1980 mean.
    assert result["obliquity"] == pytest.approx(math.degrees(erfa.obl80(result["jd"], 0.0)),
                                                abs=0.001 * ARCSEC)
    eps = math.radians(result["obliquity"])
    for b in result["bodies"]:
        l = math.radians(b["longitude"])
        assert b["latitude"] == 0.0
        assert wrap(b["right_ascension"] - math.degrees(math.atan2(math.sin(l) * math.cos(eps),
                                                                   math.cos(l)))) == pytest.approx(0, abs=1e-9)
        assert b["declination"] == pytest.approx(math.degrees(math.asin(math.sin(eps) * math.sin(l))))


def test_each_paran_has_both_bodies_on_their_angles_where_the_lines_cross(engine):
    for moment in random_moments(6, 43):
        result = engine.astrocartography(moment)
        gst = sidereal_time(moment)
        bodies = {b["body"]: b for b in result["bodies"]}
        kinds = set()
        for p in result["parans"]:
            kinds.add((p["first_angle"], p["second_angle"]))
            for name, angle in ((p["first"], p["first_angle"]), (p["second"], p["second_angle"])):
                assert angular_error(angle, p["latitude"], p["longitude"], bodies[name], gst) < ARCSEC
        assert len(kinds) == 12  # every pair of angles but the two meridians


def test_parans_are_all_found(engine):
    # Scanning latitudes finely for one pair finds no paran the result lacks.
    result = engine.astrocartography("2001-02-03T04:05:06Z", bodies=["Sun", "Moon"])
    sun, moon = result["bodies"]
    found = {(p["first_angle"], p["second_angle"]) for p in result["parans"]}
    count = 0

    def on(angle, lat, dec):
        if angle == "MC":
            return 0.0
        if angle == "IC":
            return 180.0
        x = -math.tan(math.radians(lat)) * math.tan(math.radians(dec))
        if abs(x) > 1:
            return None
        h0 = math.degrees(math.acos(x))
        return -h0 if angle == "ASC" else h0

    for a in ("MC", "IC", "ASC", "DSC"):
        for b in ("MC", "IC", "ASC", "DSC"):
            if a in ("MC", "IC") and b in ("MC", "IC"):
                continue
            previous = None
            for k in range(-8990, 8991):
                lat = k / 100.0
                ha, hb = on(a, lat, sun["declination"]), on(b, lat, moon["declination"])
                if ha is None or hb is None:
                    previous = None
                    continue
                g = wrap(sun["right_ascension"] + ha - moon["right_ascension"] - hb)
                if previous is not None and (previous < 0) != (g < 0) and abs(previous - g) < 180:
                    count += 1
                    assert (a, b) in found
                previous = g
    assert len(result["parans"]) == count


def test_local_space_circles_leave_the_place_along_the_azimuth(engine):
    rng = random.Random(44)
    for moment in random_moments(8, 45):
        lat0, lon0 = rng.uniform(-70, 70), rng.uniform(-180, 180)
        result = engine.astrocartography(moment, latitude=lat0, longitude=lon0)
        gst = sidereal_time(moment)
        bodies = {b["body"]: b for b in result["bodies"]}
        for line in result["local_space"]["lines"]:
            body = bodies[line["body"]]
            h = math.radians(gst + lon0 - body["right_ascension"])
            az, el = erfa.hd2ae(h, math.radians(body["declination"]), math.radians(lat0))
            assert wrap(line["azimuth"] - math.degrees(az)) == pytest.approx(0, abs=0.01 * ARCSEC)
            assert line["altitude"] == pytest.approx(math.degrees(el), abs=0.01 * ARCSEC)
            for piece in line["segments"]:
                for lon, lat in piece:
                    # Cross-track distance from the great circle leaving the
                    # place along the azimuth.
                    p0, p = (math.radians(lat0), math.radians(lon0)), (math.radians(lat), math.radians(lon))
                    d = math.acos(max(-1, min(1, math.sin(p0[0]) * math.sin(p[0]) + math.cos(p0[0]) * math.cos(p[0]) * math.cos(p[1] - p0[1]))))
                    bearing = math.atan2(math.sin(p[1] - p0[1]) * math.cos(p[0]),
                                         math.cos(p0[0]) * math.sin(p[0]) - math.sin(p0[0]) * math.cos(p[0]) * math.cos(p[1] - p0[1]))
                    cross = math.degrees(math.asin(math.sin(d) * math.sin(bearing - az)))
                    assert abs(cross) < ARCSEC


def test_a_chart_cast_on_an_ascendant_line_rises_with_the_body(engine):
    rng = random.Random(46)
    for moment in random_moments(10, 47):
        result = engine.astrocartography(moment, mode="zodiaco")
        bodies = {b["body"]: b for b in result["bodies"]}
        asc = [line for line in result["lines"] if line["angle"] == "ASC"]
        line = rng.choice(asc)
        points = [p for piece in line["segments"] for p in piece if abs(p[1]) < 60]
        lon, lat = rng.choice(points)
        chart = engine.chart(moment, lat, lon)
        rising = next(p for p in chart["planets"] if p["name"] == "Ascendant")
        assert wrap(rising["ecliptic_longitude"] - bodies[line["body"]]["longitude"]) == pytest.approx(0, abs=ARCSEC)


def test_geojson_is_valid_and_never_crosses_the_antimeridian(engine):
    result = engine.astrocartography("1990-07-14T12:30:00Z", latitude=40.71, longitude=-74.01)
    collection = to_geojson(result)
    assert collection["type"] == "FeatureCollection"
    lines = [f for f in collection["features"] if f["geometry"]["type"] == "LineString"]
    assert len({(f["properties"]["body"], f["properties"]["angle"]) for f in lines}) == 50
    for feature in collection["features"]:
        assert feature["type"] == "Feature" and isinstance(feature["properties"], dict)
        geometry = feature["geometry"]
        coordinates = geometry["coordinates"] if geometry["type"] == "LineString" else [geometry["coordinates"]]
        assert geometry["type"] == "Point" or len(coordinates) >= 2
        for lon, lat in coordinates:
            assert -180 <= lon <= 180 and -90 <= lat <= 90
        for (lon0, _), (lon1, _) in zip(coordinates, coordinates[1:]):
            assert abs(lon1 - lon0) < 180


def test_relocate_casts_the_same_moment_at_the_new_place(engine):
    birth = {"utc": "1990-07-14T12:30:00+00:00", "latitude": 40.71, "longitude": -74.01}
    moved = relocate({"input": birth}, latitude=48.85, longitude=2.35, engine=engine)
    assert moved["input"]["birth"] == birth
    assert (moved["input"]["latitude"], moved["input"]["longitude"]) == (48.85, 2.35)
    assert moved["planets"] == engine.chart(birth["utc"], 48.85, 2.35)["planets"]
    with pytest.raises(ValueError):
        relocate({"planets": []}, latitude=0.0, longitude=0.0, engine=engine)


def test_the_map_is_well_formed_with_a_line_per_body_and_angle(de440, tmp_path):
    import json
    import xml.etree.ElementTree as ET

    from quorvane import cli

    geojson, svg_path = tmp_path / "lines.json", tmp_path / "map.svg"
    status = cli.main(["astrocartography", "1990-07-14T12:30Z", "40.71", "-74.01",
                       "--kernel", de440, "--geojson", str(geojson), "--svg", str(svg_path)])
    assert status == 0
    assert json.loads(geojson.read_text())["type"] == "FeatureCollection"
    root = ET.fromstring(svg_path.read_text())
    drawn = {(g.get("data-body"), g.get("data-angle"))
             for g in root.iter("{http://www.w3.org/2000/svg}g") if g.get("class") == "line"}
    assert len(drawn) == 40
    assert len(list(root.iter("{http://www.w3.org/2000/svg}circle"))) == 1  # the birth place
