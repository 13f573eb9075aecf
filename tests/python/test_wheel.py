"""Chart pictures: positions read back out of the SVG, the stellium spreading
against a general solver, and real renderers (cairosvg, headless Chromium)."""
import io
import math
import pathlib
import random
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

import numpy as np
import pytest
from scipy.optimize import minimize

import quorvane_engine as q

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "python"))
from quorvane import chinese_pictures, wheel  # noqa: E402
from quorvane.spread import separation, spread  # noqa: E402

from test_cli import run  # noqa: E402

NS = {"s": "http://www.w3.org/2000/svg"}
SYSTEMS = "PKRCTBMOEVW"


@pytest.fixture(scope="module")
def engine(de440):
    return q.Engine([de440])


def random_charts(engine, count, seed):
    rng = random.Random(seed)
    for _ in range(count):
        moment = f"{rng.randint(1900, 2100)}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}T" \
                 f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}Z"
        yield engine.chart(moment, rng.uniform(-60, 60), rng.uniform(-180, 180),
                           house_system=rng.choice(SYSTEMS),
                           zodiac_type=rng.choice(["tropical", "sidereal"]),
                           ayanamsa=rng.choice(["lahiri", "fagan_bradley", "raman"]))


# --------------------------------------------------------------- reading back

def parse(svg):
    root = ET.fromstring(svg)  # fails on anything not well-formed
    size = float(root.get("width"))
    return root, size / 2, size / 2


def longitude_at(x, y, cx, cy, ascendant):
    screen = math.degrees(math.atan2(cy - y, x - cx))
    return (screen - 180.0 + ascendant) % 360.0


def glyph_box(element):
    x, y, s = map(float, re.match(r"translate\(([-\d.]+) ([-\d.]+)\) scale\(([-\d.]+)\)",
                                  element.get("transform")).groups())
    return x - 10 * s, y - 10 * s, x + 10 * s, y + 10 * s


def boxes_overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def line_longitudes(line, cx, cy, ascendant):
    return [longitude_at(float(line.get(f"x{i}")), float(line.get(f"y{i}")), cx, cy, ascendant)
            for i in (1, 2)]


def check_bodies(root, cx, cy, ascendant, placements, ring=None):
    """Each body once, its tick at its longitude, its glyph near it; no glyph boxes meeting."""
    groups = [g for g in root.iterfind(".//s:g[@class='body']", NS)
              if ring is None or g.get("data-ring") == ring]
    names = [g.get("data-name") for g in groups]
    assert sorted(names) == sorted(p["name"] for p in placements)
    boxes = []
    for group in groups:
        truth = next(p for p in placements if p["name"] == group.get("data-name"))
        tick = group.find("s:line[@class='tick']", NS)
        for lon in line_longitudes(tick, cx, cy, ascendant):
            assert separation(lon, truth["ecliptic_longitude"]) < 0.02, truth["name"]
        if "degree" in truth:
            label = (group.find("s:text[@class='degree']", NS).text,
                     group.find("s:text[@class='minute']", NS).text)
            assert label == (f"{truth['degree']}°", f"{truth['minute']:02d}′")
        retro = group.find("s:g[@class='retrograde']", NS) is not None
        assert retro == truth.get("is_retrograde", False), truth["name"]
        box = glyph_box(group.find("s:g[@class='glyph']", NS))
        shown = longitude_at((box[0] + box[2]) / 2, (box[1] + box[3]) / 2, cx, cy, ascendant)
        assert separation(shown, truth["ecliptic_longitude"]) < 60, truth["name"]
        boxes.append(box)
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            assert not boxes_overlap(a, b)


def ascendant_of(chart):
    return next(p["ecliptic_longitude"] for p in chart["planets"] if p["name"] == "Ascendant")


def test_natal_wheel_draws_every_body_cusp_and_aspect_where_the_chart_puts_it(engine):
    for i, chart in enumerate(random_charts(engine, 12, seed=25)):
        which = ["all", "major", ["Trine", "Square"]][i % 3]
        svg = wheel.natal_svg(chart, size=600 + 50 * i, theme=["light", "dark"][i % 2],
                              aspects=which)
        root, cx, cy = parse(svg)
        asc = ascendant_of(chart)
        bodies = [p for p in chart["planets"] if p["name"] not in ("Ascendant", "Midheaven")]
        check_bodies(root, cx, cy, asc, bodies)
        cusps = root.findall(".//s:line[@class='cusp']", NS)
        assert len(cusps) == 12
        for line in cusps:
            cusp = chart["houses"][int(line.get("data-house")) - 1]["ecliptic_longitude"]
            assert all(separation(lon, cusp) < 0.02 for lon in line_longitudes(line, cx, cy, asc))
        axis = root.find(".//s:line[@data-name='Ascendant']", NS)
        outer = (float(axis.get("x2")), float(axis.get("y2")))
        assert outer[0] < 0.1 * cx and abs(outer[1] - cy) < 0.01  # the Ascendant on the left
        at = {p["name"]: p["ecliptic_longitude"] for p in chart["planets"]}
        expected = [a for a in chart["aspects"] if a["body1"] in at and a["body2"] in at
                    and (which == "all" or (which == "major" and a["is_major"])
                         or a["aspect_type"] in which)]
        lines = root.findall(".//s:line[@class='aspect']", NS)
        assert len(lines) == len(expected)
        for line, aspect in zip(lines, expected):
            ends = line_longitudes(line, cx, cy, asc)
            assert line.get("data-aspect") == aspect["aspect_type"]
            assert separation(ends[0], at[aspect["body1"]]) < 0.02
            assert separation(ends[1], at[aspect["body2"]]) < 0.02
        label = " ".join(t.text for t in root.iterfind(".//s:text", NS))
        if chart["zodiac_type"] == "sidereal":
            assert "Sidereal" in label and chart["ayanamsa_name"] in label
        else:
            assert "Tropical" in label


def test_a_stellium_is_spread_without_overlaps_and_leaders_reach_the_true_place(engine):
    chart = engine.chart("2024-03-20T12:00Z", 51.48, -0.0)
    rng = random.Random(5)
    for _ in range(30):
        start = rng.uniform(0, 360)
        crowd = rng.sample(range(10), 5)
        for k, i in enumerate(crowd):
            chart["planets"][i]["ecliptic_longitude"] = (start + rng.uniform(0, 10)) % 360
        root, cx, cy = parse(wheel.natal_svg(chart, size=rng.choice([400, 800])))
        bodies = chart["planets"][:-2]
        check_bodies(root, cx, cy, ascendant_of(chart), bodies)


def test_bi_wheels_put_each_chart_on_its_ring_with_the_cross_aspects(engine):
    natal = engine.chart("1990-05-17T02:30Z", 48.85, 2.35, house_system="K")
    transit = engine.transit(natal["planets"], "2025-01-01T00:00Z", 48.85, 2.35)
    partner = engine.chart("1988-11-02T16:45Z", 40.71, -74.0)
    asc = ascendant_of(natal)
    for outer, placements in ((transit, transit["transit_planets"]), (partner, partner["planets"])):
        root, cx, cy = parse(wheel.bi_wheel_svg(natal, outer, theme="dark"))
        check_bodies(root, cx, cy, asc, placements, ring="outer")
        check_bodies(root, cx, cy, asc, natal["planets"][:-2], ring="inner")
        cross = (transit if outer is transit else q.synastry(natal["planets"], partner["planets"]))
        lines = root.findall(".//s:line[@class='aspect']", NS)
        assert len(lines) == len(cross["cross_aspects"]) > 0
        outer_at = {p["name"]: p["ecliptic_longitude"] for p in placements}
        for line, aspect in zip(lines, cross["cross_aspects"]):
            ends = line_longitudes(line, cx, cy, asc)
            assert separation(ends[0], outer_at[aspect["body1"]]) < 0.02


# ----------------------------------------------------------------- spreading

def test_spread_keeps_gaps_and_order_and_moves_nothing_already_apart():
    rng = random.Random(7)
    for _ in range(1000):
        n = rng.randint(1, 16)
        gap = rng.uniform(1, 30)
        centre = rng.uniform(0, 360)
        angles = [(centre + rng.gauss(0, rng.choice([3, 30, 120]))) % 360 for _ in range(n)]
        shown = spread(angles, gap)
        need = min(gap, 360 / n) - 1e-6
        order = sorted(range(n), key=lambda i: angles[i])
        # The same order round the circle, every neighbour far enough.
        assert sorted(range(n), key=lambda i: (shown[i] - shown[order[0]]) % 360) == order
        if n > 1:
            for a, b in zip(order, order[1:] + order[:1]):
                assert separation(shown[a], shown[b]) >= need
        if all(separation(a, b) >= gap for i, a in enumerate(angles) for b in angles[i + 1:]):
            assert all(separation(a, b) < 1e-9 for a, b in zip(angles, shown))


def test_spread_moves_the_bodies_least_as_a_general_solver_finds():
    # The order-keeping least-squares problem for every place the circle
    # may be cut, solved by SLSQP; the best of them is the optimum.
    rng = random.Random(11)
    for _ in range(60):
        n = rng.randint(2, 6)
        gap = rng.uniform(4, 20)
        span = rng.uniform(0.3, 2.0) * gap * n
        # Half the clusters straddle 0°, where the circle is easiest to cut wrongly.
        start = rng.choice([rng.uniform(0, 360), 360 - rng.uniform(0, span)])
        angles = sorted((start + rng.uniform(0, span)) % 360 for _ in range(n))
        shown = spread(angles, gap)
        cost = sum(((s - a + 180) % 360 - 180) ** 2 for s, a in zip(shown, angles))
        best = math.inf
        for cut in range(n):
            a = np.array(angles[cut:] + [x + 360 for x in angles[:cut]])
            constraints = [{"type": "ineq", "fun": lambda p, i=i: p[i + 1] - p[i] - gap}
                           for i in range(n - 1)]
            constraints.append({"type": "ineq", "fun": lambda p: 360 - gap - (p[-1] - p[0])})
            result = minimize(lambda p: np.sum((p - a) ** 2), a + np.arange(n) * 1e-3,
                              constraints=constraints, method="SLSQP",
                              options={"ftol": 1e-12, "maxiter": 500})
            if result.success:
                best = min(best, result.fun)
        assert cost <= best + 1e-5 * max(1.0, best)


# ------------------------------------------------------------- Chinese charts

def test_chinese_pictures_put_each_palace_and_pillar_in_its_place(engine):
    chart = engine.chart("1990-05-17T02:30Z", 39.9, 116.4, chinese_calendar=True)
    calendar = chart["chinese_calendar"]
    zw = q.zi_wei(calendar, "1990-05-17T02:30Z", 116.4, 480, sex="female", year=2025)
    root, _, _ = parse(wheel.zi_wei_svg(zw, size=900))
    cell = (900 - 36) / 4
    for palace in zw["palaces"]:
        group = root.find(f".//s:g[@data-branch='{palace['branch']}']", NS)
        frame = group.find("s:rect", NS)
        col, row = chinese_pictures.CELL_OF_BRANCH[palace["branch"]]
        assert (float(frame.get("x")), float(frame.get("y"))) == pytest.approx(
            (18 + col * cell, 18 + row * cell))
        drawn = [s.get("data-star") for s in group.iterfind(".//s:g[@class='star']", NS)]
        assert sorted(drawn) == sorted(s["star"] for s in palace["stars"])
    bz = q.bazi(calendar, "1990-05-17T02:30Z", 116.4, 480, sex="male")
    root, _, _ = parse(wheel.bazi_svg(bz, theme="dark"))
    for key in ("year", "month", "day", "hour"):
        group = root.find(f".//s:g[@data-pillar='{key}']", NS)
        assert group.find("s:text[@class='stem']", NS).text == bz[key]["stem"].capitalize()
        assert group.find("s:text[@class='branch']", NS).text == bz[key]["branch"].capitalize()
    assert len(root.findall(".//s:g[@class='luck-pillar']", NS)) == len(bz["luck"]["pillars"])


# ------------------------------------------------------------------ rendering

def coloured_pixels(png_bytes):
    from PIL import Image
    image = np.asarray(Image.open(io.BytesIO(png_bytes)).convert("RGB")).astype(int)
    spread_of_channels = image.max(axis=2) - image.min(axis=2)
    return image.shape, int((spread_of_channels > 60).sum())


def test_pictures_render_in_cairosvg_and_in_a_real_browser(engine, tmp_path):
    chart = engine.chart("2024-03-20T12:00Z", 51.48, -0.0)
    svg = wheel.natal_svg(chart, size=500, theme="dark", header=False, tables=False)
    shape, colour = coloured_pixels(wheel.to_png(svg, scale=2))
    assert shape[:2] == (1000, 1000) and colour > 0.01 * 1000 * 1000
    browser = shutil.which("chromium-headless-shell") or shutil.which("chromium")
    if browser is None:
        pytest.skip("no headless Chromium (scripts/setup.sh installs chromium-headless-shell)")
    page = tmp_path / "wheel.svg"
    page.write_text(svg, encoding="utf-8")
    shot = tmp_path / "shot.png"
    subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    f"--screenshot={shot}", "--window-size=500,500", page.as_uri()],
                   capture_output=True, timeout=120, check=True)
    shape, colour = coloured_pixels(shot.read_bytes())
    assert shape[:2] == (500, 500) and colour > 0.01 * 500 * 500


def test_the_command_line_writes_svg_and_png(tmp_path):
    svg, png = tmp_path / "chart.svg", tmp_path / "chart.png"
    done = run("chart", "2024-03-20T12:00Z", 51.48, -0.0, "--svg", svg, "--png", png,
               "--theme", "dark", "--aspects", "major")
    assert done.returncode == 0, done.stderr
    assert ET.parse(svg).getroot().find(".//s:g[@class='body']", NS) is not None
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert re.search(r"^\s*Sun\b", done.stdout, re.M), "the tables print with the picture"
    done = run("chart", "2024-03-20T12:00Z", 51.48, -0.0, "--svg", "-")
    assert ET.fromstring(done.stdout).find(".//s:g[@class='body']", NS) is not None
    done = run("transit", "2025-01-01T00:00Z", 51.48, -0.0, "--birth", "1990-05-17T02:30Z",
               "48.85", "2.35", "--svg", svg)
    assert done.returncode == 0, done.stderr
    rings = {g.get("data-ring") for g in ET.parse(svg).getroot().iterfind(".//s:g[@class='body']", NS)}
    assert rings == {"inner", "outer"}


# ------------------------------------------------------------ header and tables

def text_box(element):
    """The box a <text> takes, from its anchor, size and a generous width estimate."""
    from quorvane.svg import text_width
    size, x = float(element.get("font-size")), float(element.get("x"))
    middle = float(element.get("y")) - 0.36 * size
    width = text_width(element.text or "", size, element.get("font-weight") == "bold")
    left = {"start": x, "middle": x - width / 2, "end": x - width}[element.get("text-anchor")]
    return left, middle - size / 2, left + width, middle + size / 2


def boxes_within(root, group_class):
    """Glyph and text boxes drawn in the groups of a class (glyph groups hold 20-unit boxes)."""
    boxes = []
    for group in root.iterfind(f".//s:g[@class='{group_class}']", NS):
        for element in group.iter():
            transform = element.get("transform") or ""
            if transform.startswith("translate"):
                boxes.append(glyph_box(element))
            elif element.tag.endswith("text") and not any(
                    element in list(g) for g in group.iter() if (g.get("transform") or "")):
                boxes.append(text_box(element))
    return boxes


def segment_meets_box(a, b, box):
    """Whether the segment a-b passes through the box (clipped parametrically)."""
    low, high = 0.0, 1.0
    for d, start, lo, hi in ((b[0] - a[0], a[0], box[0], box[2]), (b[1] - a[1], a[1], box[1], box[3])):
        if abs(d) < 1e-12:
            if not lo < start < hi:
                return False
            continue
        t1, t2 = sorted(((lo - start) / d, (hi - start) / d))
        low, high = max(low, t1), min(high, t2)
    return low < high


def check_tables(root, size, pairs_wanted, grid_class="table aspect-grid"):
    """Table boxes apart from each other and under the wheel; each pair wanted in one cell."""
    boxes = [b for cls in ("header", "table positions", "table cusps", "table tallies",
                           "table aspect-grid") for b in boxes_within(root, cls)]
    assert boxes and all(b[1] >= size - 1e-6 and b[2] <= size + 1e-6 for b in boxes)
    assert all(b[3] <= float(root.get("height")) + 1e-6 for b in boxes)
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            assert not boxes_overlap(a, b), (a, b)
    cells = [frozenset(c.get("data-bodies").split("|"))
             for c in root.iterfind(f".//s:g[@class='{grid_class}']/s:g[@class='grid-aspect']", NS)]
    assert sorted(map(sorted, cells)) == sorted(map(sorted, pairs_wanted))


def check_axes_clear(root, size):
    """No axis piece crosses a body's glyph, label or a sign glyph."""
    boxes = [b for cls in ("body", "zodiac") for b in boxes_within(root, cls)]
    axes = root.findall(".//s:g[@class='axes']/s:line", NS)
    assert len(axes) == 8
    for axis in axes:
        a = (float(axis.get("x1")), float(axis.get("y1")))
        b = (float(axis.get("x2")), float(axis.get("y2")))
        assert not any(segment_meets_box(a, b, box) for box in boxes), axis.get("data-name")


def test_natal_tables_hold_every_body_and_aspect_once_and_nothing_overlaps(engine):
    for i, chart in enumerate(random_charts(engine, 10, seed=42)):
        chart["input"] = {"local_time": "2001-02-03T04:05:00+01:00", "timezone": "Europe/Rome",
                          "utc_offset": "+01:00", "zone_abbreviation": "CET",
                          "latitude": -12.5, "longitude": 100.25, "place": {"name": "Somewhere"}}
        which = ["all", "major"][i % 2]
        size = [600, 800, 1000][i % 3]
        svg = wheel.natal_svg(chart, size=size, aspects=which, name="A <birth> & co",
                              patterns=i % 2 == 0, theme=["light", "dark"][i % 2])
        root, cx, cy = parse(svg)
        assert float(root.get("height")) > size
        bodies = [p for p in chart["planets"] if p["name"] not in ("Ascendant", "Midheaven")]
        check_bodies(root, cx, cy, ascendant_of(chart), bodies)
        grid_names = [g.get("data-name") for g in root.iterfind(".//s:g[@class='grid-body']", NS)]
        assert sorted(grid_names) == sorted(p["name"] for p in bodies)
        rows = [g.get("data-name") for g in
                root.iterfind(".//s:g[@class='table positions']/s:g[@class='table-glyph']", NS)]
        assert rows == [p["name"] for p in bodies]
        names = set(grid_names)
        wanted = [{a["body1"], a["body2"]} for a in chart["aspects"]
                  if {a["body1"], a["body2"]} <= names
                  and (which == "all" or a["aspect_type"] in wheel.MAJOR_ASPECTS)]
        check_tables(root, size, wanted)
        check_axes_clear(root, size)
        header = [t.text for t in root.iterfind(".//s:g[@class='header']/s:text", NS)]
        assert header[0] == "A <birth> & co" and "12.5000°S 100.2500°E" in header[2]
        assert "2001-02-03 04:05 CET" in header[1]
        for outline in root.iterfind(".//s:polygon[@class='pattern']", NS):
            corners = [tuple(map(float, c.split(","))) for c in outline.get("points").split()]
            members = outline.get("data-members").split("|")
            for (x, y), member in zip(corners, members):
                truth = next(p for p in chart["planets"] if p["name"] == member)
                assert separation(longitude_at(x, y, cx, cy, ascendant_of(chart)),
                                  truth["ecliptic_longitude"]) < 0.02


def test_bi_wheel_tables_show_both_charts_and_each_cross_aspect_once(engine):
    charts = list(random_charts(engine, 8, seed=7))
    for inner, outer in zip(charts[::2], charts[1::2]):
        cross = q.synastry(inner["planets"], outer["planets"])["cross_aspects"]
        root, cx, cy = parse(wheel.bi_wheel_svg(inner, outer, size=900))
        headings = [t.text for t in root.iterfind(".//s:text[@class='table-heading']", NS)]
        assert "Inner positions" in headings and "Outer positions" in headings
        grids = root.findall(".//s:g[@class='table aspect-grid']", NS)
        assert len(grids) == 3
        cross_grid = grids[-1]
        shown = {g.get("data-name") for g in cross_grid.iterfind("s:g", NS)
                 if "grid-body" in (g.get("class") or "")}
        assert shown == {p["name"] for p in inner["planets"] + outer["planets"]} - \
            {"Ascendant", "Midheaven"} | {p["name"] for p in outer["planets"]}
        cells = [c.get("data-bodies") for c in cross_grid.iterfind("s:g[@class='grid-aspect']", NS)]
        assert sorted(cells) == sorted(f"{a['body1']}|{a['body2']}" for a in cross
                                       if a["body2"] not in ("Ascendant", "Midheaven"))
        check_axes_clear(root, 900)
        layout = wheel.bi_wheel_layout(900, 0.0)
        assert layout.aspect_radius > 0.9 * wheel.natal_layout(900, 0.0).aspect_radius


def test_dial_puts_each_point_and_midpoint_at_its_longitude_modulo_90(engine):
    for chart in random_charts(engine, 6, seed=90):
        root, cx, cy = parse(wheel.dial_svg(chart, size=700))
        stretched = [dict(p, ecliptic_longitude=4 * (p["ecliptic_longitude"] % 90.0),
                          degree=int(p["ecliptic_longitude"] % 90.0),
                          minute=int(p["ecliptic_longitude"] % 1.0 * 60.0))
                     for p in chart["planets"]]
        check_bodies(root, cx, cy, 90.0, stretched)
        at = {p["name"]: p["ecliptic_longitude"] for p in chart["planets"]}
        marks = root.findall(".//s:line[@class='midpoint']", NS)
        pairs = {frozenset(m.get("data-bodies").split("|")) for m in marks}
        named = set().union(*pairs)
        assert len(pairs) == len(marks) == len(named) * (len(named) - 1) // 2 \
            and {"Sun", "Moon", "Ascendant"} <= named
        for mark in marks:
            a, b = (at[n] for n in mark.get("data-bodies").split("|"))
            nearer = (a + ((b - a + 180.0) % 360.0 - 180.0) / 2.0) % 90.0
            for shown in line_longitudes(mark, cx, cy, 90.0):
                assert separation(shown, 4 * nearer) < 0.05
