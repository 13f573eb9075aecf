"""Indian chart pictures: each label read back and placed by each style's own geometry."""
import io
import itertools
import random
import xml.etree.ElementTree as ET

import pytest

from quorvane import wheel
from quorvane.svg import text_width

NS = {"s": "http://www.w3.org/2000/svg"}
SIGNS = ["Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo", "Libra", "Scorpio",
         "Sagittarius", "Capricorn", "Aquarius", "Pisces"]
GRAHAS = {"Sun": "Su", "Moon": "Mo", "Mars": "Ma", "Mercury": "Me", "Jupiter": "Ju",
          "Venus": "Ve", "Saturn": "Sa", "Rahu": "Ra", "Ketu": "Ke"}
# South Indian cells by (column, row), read off the customary picture.
SOUTH = {(0, 0): "Pisces", (1, 0): "Aries", (2, 0): "Taurus", (3, 0): "Gemini",
         (3, 1): "Cancer", (3, 2): "Leo", (3, 3): "Virgo", (2, 3): "Libra",
         (1, 3): "Scorpio", (0, 3): "Sagittarius", (0, 2): "Capricorn", (0, 1): "Aquarius"}


def north_house(u, v):
    """The house at (u, v) of the unit square cut by its diagonals and diamond; None on a line."""
    if min(abs(v - u), abs(v - 1 + u), abs(abs(u - .5) + abs(v - .5) - .5)) < 1e-6:
        return None
    if abs(u - .5) + abs(v - .5) < .5:  # a kite, told by the side of each diagonal
        return {(True, True): 1, (False, True): 4, (False, False): 7, (True, False): 10}[
            (v < u, v < 1 - u)]
    if u < .5:
        return (2 if v < u else 3) if v < .5 else (5 if v < 1 - u else 6)
    return (12 if v < 1 - u else 11) if v < .5 else (9 if v < u else 8)


def region_of(style, frame, t, dx=0.0, dy=0.0):
    """The house or sign cell under a text's centre moved by (dx, dy)."""
    font = float(t.get("font-size"))
    x, y = float(t.get("x")) + dx, float(t.get("y")) - 0.36 * font + dy
    u, v = (x - frame[0]) / frame[2], (y - frame[1]) / frame[2]
    if not (0 < u < 1 and 0 < v < 1):
        return None
    return north_house(u, v) if style == "north" else SOUTH.get((int(u * 4), int(v * 4)))


def check_picture(svg, style, lagna, placements):
    """Each label once, its whole box in the region of its sign, no two boxes overlapping."""
    root = ET.fromstring(svg)
    rect = root.find(".//s:rect[@class='frame']", NS)
    frame = tuple(float(rect.get(k)) for k in ("x", "y", "width"))
    drawn = root.findall(".//s:text[@class='placement']", NS)
    assert sorted(t.text for t in drawn) == sorted(placements)
    boxes = []
    for t in drawn:
        sign, font = placements[t.text], float(t.get("font-size"))
        sign = SIGNS.index(sign) if isinstance(sign, str) else sign
        want = (sign - lagna) % 12 + 1 if style == "north" else SIGNS[sign]
        half_x, half_y = text_width(t.text, font) / 2, 0.45 * font
        for dx, dy in itertools.product((-half_x, half_x), (-half_y, half_y)):
            assert region_of(style, frame, t, dx, dy) == want, (t.text, dx, dy, want)
        x, y = float(t.get("x")), float(t.get("y"))
        boxes.append((x - half_x, y - half_y, x + half_x, y + half_y))
    for a, b in itertools.combinations(boxes, 2):
        assert a[2] <= b[0] or b[2] <= a[0] or a[3] <= b[1] or b[3] <= a[1]
    for number in root.findall(".//s:text[@class='sign-number']", NS):
        assert int(number.text) == (lagna + region_of(style, frame, number) - 1) % 12 + 1


def random_result(rng, crowd=False):
    lagna = rng.uniform(0, 360)
    longitudes = [(lagna + rng.uniform(-40, 40)) % 360 if crowd else rng.uniform(0, 360)
                  for _ in GRAHAS]
    bodies = [{"name": name, "longitude": x, "sign": SIGNS[int(x // 30)], "degree": x % 30,
               "retrograde": crowd or rng.random() < 0.3} for name, x in zip(GRAHAS, longitudes)]
    d1 = {"Lagna": SIGNS[int(lagna // 30)], **{b["name"]: b["sign"] for b in bodies}}
    d9 = {name: rng.choice(SIGNS) for name in d1}
    return {"ayanamsa": "lahiri", "ayanamsa_degrees": 23.72, "node": "mean",
            "lagna": {"sign": d1["Lagna"], "degree": lagna % 30, "nakshatra": "Pushya", "pada": 2},
            "bodies": bodies, "vargas": {"D1": d1, "D9": d9}, "vargottama": []}


def labels_of(result, varga):
    out = {}
    for name, sign in result["vargas"][varga].items():
        body = next((b for b in result["bodies"] if b["name"] == name), result["lagna"])
        label = GRAHAS.get(name, "Asc")
        if varga == "D1":
            label += f" {int(body['degree'])}°{int(body['degree'] % 1 * 60):02d}′"
            if body.get("retrograde") and name not in ("Rahu", "Ketu"):
                label += " (R)"
        out[label] = SIGNS.index(sign)
    return out


@pytest.mark.parametrize("style", ["north", "south"])
def test_every_label_sits_in_the_house_of_its_sign(style):
    rng = random.Random(7)
    for case in range(150):
        result = random_result(rng, crowd=case % 5 == 0)
        varga = rng.choice(["D1", "D9"])
        lagna = SIGNS.index(result["vargas"][varga]["Lagna"])
        svg = wheel.jyotish_svg(result, varga, style, size=rng.choice([200, 480, 900]),
                                theme=rng.choice(["light", "dark"]))
        check_picture(svg, style, lagna, labels_of(result, varga))
    # All nine and the Lagna, with their longest labels, in each house in turn.
    for house, lagna in ((h, l) for h in range(12) for l in (h * 5 % 12, h * 7 % 12)):
        placements = {f"{n} 29°59′ (R)": (lagna + house) % 12 for n in GRAHAS.values()}
        placements.update({"Asc 12°00′": (lagna + house) % 12, "Lone": SIGNS[lagna - house]})
        svg = wheel.house_chart_svg(SIGNS[lagna], placements, style, size=300)
        check_picture(svg, style, lagna, placements)


def test_titles_marks_and_themes():
    result = random_result(random.Random(1))
    south = ET.fromstring(wheel.jyotish_svg(result, "D9", "south"))
    assert south.find(".//s:text[@class='caption']", NS).text == "D9 Navamsa"
    mark = south.find(".//s:line[@class='lagna-mark']/..", NS)
    assert mark.get("data-sign") == result["vargas"]["D9"]["Lagna"]
    pytest.importorskip("cairosvg")
    from PIL import Image, ImageStat
    brightness = {theme: ImageStat.Stat(Image.open(io.BytesIO(wheel.to_png(wheel.jyotish_svg(
        result, theme=theme)))).convert("L")).mean[0] for theme in ("light", "dark")}
    assert brightness["dark"] < 80 < 180 < brightness["light"]


@pytest.mark.parametrize("call, message", [
    (lambda r: wheel.jyotish_svg(r, style="east"), "style must be 'north' or 'south'"),
    (lambda r: wheel.jyotish_svg(r, "D5"), "varga must be one of D1, D9, not 'D5'"),
    (lambda r: wheel.jyotish_svg({"bodies": []}), "needs its vargas"),
    (lambda r: wheel.house_chart_svg("Leo", {"Su": "Lion"}), "sign of 'Su'"),
    (lambda r: wheel.house_chart_svg(12, {"Su": 1}, "south"), "lagna sign"),
])
def test_bad_arguments_say_what_is_wrong(call, message):
    with pytest.raises(ValueError, match=message):
        call(random_result(random.Random(2)))
