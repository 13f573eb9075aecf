"""The Chinese charts as pictures: the Zi Wei Dou Shu twelve-palace square
and the BaZi four pillars, as SVG text from the engine's `zi_wei` and
`bazi` dicts.

Names are written in pinyin as the engine gives them ("tian_ji" reads
"Tian Ji"), so any sans-serif font draws them.
"""
from __future__ import annotations

from typing import Sequence

from .svg import add, document, serialise, text, text_width
from .themes import Theme, theme_of

# The customary square: si at the top left, the branches running clockwise
# round the edge, yin at the bottom left. (column, row) of each branch.
CELL_OF_BRANCH = {
    "si": (0, 0), "wu": (1, 0), "wei": (2, 0), "shen": (3, 0),
    "you": (3, 1), "xu": (3, 2), "hai": (3, 3), "zi": (2, 3),
    "chou": (1, 3), "yin": (0, 3), "mao": (0, 2), "chen": (0, 1),
}
TRANSFORMATION_LABELS = {"lu": "Lu", "quan": "Quan", "ke": "Ke", "ji": "Ji"}


def title_case(key) -> str:
    """An engine key as words: "tian_ji" -> "Tian Ji"."""
    if key is None:
        return "-"
    return " ".join(word.capitalize() for word in str(key).split("_"))


def words(key) -> str:
    """An engine key as lower-case words: "direct_wealth" -> "direct wealth"."""
    return "-" if key is None else str(key).replace("_", " ")


def wrap(items: Sequence[str], size: float, width: float) -> list[str]:
    """Names joined into lines no wider than `width` at font `size`."""
    lines, current = [], ""
    for item in items:
        trial = f"{current}, {item}" if current else item
        if current and text_width(trial, size) > width:
            lines.append(current + ",")
            current = item
        else:
            current = trial
    if current:
        lines.append(current)
    return lines


def transformation_colours(theme: Theme) -> dict:
    return {"lu": theme.phases["wood"], "quan": theme.aspects["Quincunx"],
            "ke": theme.phases["water"], "ji": theme.phases["fire"]}


# ----------------------------------------------------------------- Zi Wei

def star_line(parent, x: float, y: float, star: dict, size: float, theme: Theme,
              colour: str, bold: bool) -> float:
    """One star: its name, brightness and birth-year transformation; returns the width used."""
    name = title_case(star.get("star"))
    group = add(parent, "g", class_="star", data_star=star.get("star"), data_kind=star.get("kind"))
    text(group, x, y, name, size, colour, anchor="start", weight="bold" if bold else None)
    used = text_width(name, size, bold) + 0.3 * size
    if star.get("brightness"):
        text(group, x + used, y, star["brightness"], 0.72 * size, theme.muted, anchor="start")
        used += text_width(star["brightness"], 0.72 * size) + 0.3 * size
    kind = star.get("transformation")
    if kind:
        label = TRANSFORMATION_LABELS.get(kind, kind)
        w = text_width(label, 0.72 * size) + 0.4 * size
        colour = transformation_colours(theme).get(kind, theme.foreground)
        add(group, "rect", x=x + used, y=y - 0.5 * size, width=w, height=float(size), rx=0.2 * size,
            fill=colour, class_="transformation", data_transformation=kind)
        text(group, x + used + w / 2, y, label, 0.72 * size, theme.background, weight="bold")
        used += w + 0.3 * size
    return used


def draw_palace(root, palace: dict, x0: float, y0: float, cell: float, theme: Theme,
                is_life: bool) -> None:
    pad = 0.045 * cell
    group = add(root, "g", class_="palace", data_name=palace.get("name"),
                data_branch=palace.get("branch"))
    add(group, "rect", x=x0, y=y0, width=cell, height=cell,
        fill=theme.aspect_fill if not is_life else theme.element_fill[2],
        stroke=theme.line, stroke_width=1.0)
    big, small, tiny = 0.084 * cell, 0.064 * cell, 0.054 * cell
    y = y0 + pad + big / 2
    stars = palace.get("stars", [])
    for star in (s for s in stars if s.get("kind") == "major"):
        star_line(group, x0 + pad, y, star, big, theme, theme.phases["fire"], True)
        y += 1.3 * big
    y += 0.15 * big
    x = x0 + pad
    for star in (s for s in stars if s.get("kind") != "major"):
        colour = theme.malefic if star.get("kind") == "malefic" else theme.foreground
        guess = text_width(title_case(star.get("star")), small) + 2.8 * small
        if x > x0 + pad and x + guess > x0 + cell - pad:
            x, y = x0 + pad, y + 1.3 * small
        x += star_line(group, x, y, star, small, theme, colour, False) + 0.3 * small
    y += 1.35 * small
    bottom = y0 + cell - pad - 2.6 * small  # room kept for the palace's name lines
    minors = wrap([title_case(s) for s in palace.get("minor_stars", [])], tiny, cell - 2 * pad)
    for content in minors:
        if y > bottom - 0.5 * tiny:
            break
        text(group, x0 + pad, y, content, tiny, theme.minor_star, anchor="start", class_="minor-stars")
        y += 1.25 * tiny
    # Bottom: the decade on the left, the palace's name, stem and branch on the right.
    y_name = y0 + cell - pad - 1.6 * small
    name = title_case(palace.get("name"))
    if palace.get("is_body"):
        name += " · Body"
    text(group, x0 + cell - pad, y_name, name, small, theme.foreground, anchor="end",
         weight="bold", class_="palace-name")
    text(group, x0 + cell - pad, y_name + 1.3 * small,
         f"{title_case(palace.get('stem'))} {title_case(palace.get('branch'))}", tiny, theme.muted,
         anchor="end", class_="stem-branch")
    decade = palace.get("decade")
    if decade:
        text(group, x0 + pad, y_name, f"{decade['start']}-{decade['end']}", small, theme.foreground,
             anchor="start", class_="decade")
    gods = palace.get("gods") or {}
    god_text = " · ".join(words(gods[k]) for k in ("life_stage", "boshi") if gods.get(k))
    if god_text:
        text(group, x0 + pad, y_name + 1.3 * small, god_text, tiny, theme.muted, anchor="start")


def zi_wei_centre(zw: dict) -> list[str]:
    lunar = zw.get("lunar_date") or {}
    bureau = zw.get("bureau") or {}
    lines = []
    if lunar:
        leap = " (leap)" if lunar.get("leap") else ""
        lines.append(f"Lunar {lunar.get('year')}, month {lunar.get('month')}{leap}, "
                     f"day {lunar.get('day')}")
        lines.append(f"{title_case(lunar.get('year_stem'))} {title_case(lunar.get('year_branch'))}"
                     f" year of the {words(lunar.get('animal'))}")
    lines.append(f"Hour {title_case(zw.get('hour_branch'))}, {words(zw.get('time_basis'))} time")
    lines.append(f"Bureau: {words(bureau.get('element'))} {bureau.get('number', '')}".rstrip())
    lines.append(f"Life palace {title_case(zw.get('life_palace'))}, "
                 f"body palace {title_case(zw.get('body_palace'))}")
    lines.append(f"Life master {title_case(zw.get('life_master'))}, "
                 f"body master {title_case(zw.get('body_master'))}")
    if zw.get("decade_direction"):
        lines.append(f"Decades run {zw['decade_direction']}")
    for t in zw.get("transformations", []):
        lines.append(f"{TRANSFORMATION_LABELS.get(t['kind'], t['kind'])}: "
                     f"{title_case(t['star'])} in {words(t['palace'])}")
    horoscope = zw.get("horoscope")
    if horoscope:
        lines.append(f"{horoscope.get('year')}: nominal age {horoscope.get('nominal_age')}")
        decade = horoscope.get("decade")
        if decade:
            lines.append(f"Decade palace {title_case(decade.get('branch'))}")
        if horoscope.get("small_limit"):
            lines.append(f"Small limit {title_case(horoscope['small_limit'])}")
    return lines


def zi_wei_svg(zw: dict, *, size: float = 960, theme="light", title=None) -> str:
    """The Zi Wei Dou Shu chart (a `zi_wei` dict) as the twelve-palace square, SVG text.

    Each palace sits at its branch's place in the customary square (si at
    the top left, yin at the bottom left); the birth data fill the middle.
    """
    theme = theme_of(theme)
    size = float(size)
    if not (200.0 <= size <= 10000.0):
        raise ValueError(f"size must be between 200 and 10000 pixels, not {size:g}")
    palaces = zw.get("palaces")
    if not isinstance(palaces, list) or len(palaces) != 12:
        raise ValueError("a Zi Wei chart needs its twelve palaces")
    margin = 0.02 * size
    cell = (size - 2 * margin) / 4
    root = document(size, size, role="img", aria_label="Zi Wei Dou Shu chart")
    add(root, "title", "Zi Wei Dou Shu chart")
    add(root, "rect", x=0.0, y=0.0, width=size, height=size, fill=theme.background)
    life = zw.get("life_palace")
    for palace in palaces:
        place = CELL_OF_BRANCH.get(palace.get("branch"))
        if place is None:
            raise ValueError(f"unknown branch {palace.get('branch')!r}")
        draw_palace(root, palace, margin + place[0] * cell, margin + place[1] * cell, cell, theme,
                    palace.get("branch") == life)
    # The middle: the birth and the chart's keys.
    x0, y0 = margin + cell, margin + cell
    add(root, "rect", x=x0, y=y0, width=2 * cell, height=2 * cell, fill=theme.background,
        stroke=theme.line, stroke_width=1.0)
    heading = 0.07 * cell
    y = y0 + 0.12 * cell
    for line in (title or "Zi Wei Dou Shu",) if isinstance(title, (str, type(None))) else title:
        text(root, x0 + cell, y, line, heading, theme.foreground, weight="bold", class_="caption")
        y += 1.4 * heading
    body = 0.056 * cell
    for line in zi_wei_centre(zw):
        text(root, x0 + cell, y, line, body, theme.foreground, class_="centre")
        y += 1.45 * body
    return serialise(root)


# ------------------------------------------------------------------- BaZi

PILLARS = (("hour", "Hour"), ("day", "Day"), ("month", "Month"), ("year", "Year"))


def draw_pillar(root, pillar: dict, label: str, x: float, y: float, width: float, unit: float,
                theme: Theme, is_day: bool) -> float:
    """One column of the table; returns its height."""
    group = add(root, "g", class_="pillar", data_pillar=label.lower())
    middle = x + width / 2
    top = y
    text(group, middle, y + 0.5 * unit, label, 0.9 * unit, theme.muted, weight="bold")
    y += 1.5 * unit
    god = "Day Master" if is_day else title_case(pillar.get("ten_god"))
    text(group, middle, y, god, 0.75 * unit, theme.foreground, class_="ten-god")
    y += 1.6 * unit
    stem_colour = theme.phases.get(pillar.get("element"), theme.foreground)
    text(group, middle, y, title_case(pillar.get("stem")), 1.9 * unit, stem_colour, weight="bold",
         class_="stem")
    y += 1.45 * unit
    text(group, middle, y, f"{words(pillar.get('polarity'))} {words(pillar.get('element'))}",
         0.7 * unit, theme.muted)
    y += 1.9 * unit
    branch_colour = theme.phases.get(pillar.get("branch_element"), theme.foreground)
    text(group, middle, y, title_case(pillar.get("branch")), 1.9 * unit, branch_colour,
         weight="bold", class_="branch")
    y += 1.45 * unit
    text(group, middle, y, f"{words(pillar.get('branch_element'))} · {words(pillar.get('animal'))}",
         0.7 * unit, theme.muted)
    y += 1.5 * unit
    for hidden in pillar.get("hidden_stems", []):
        colour = theme.phases.get(hidden.get("element"), theme.foreground)
        text(group, middle, y, f"{title_case(hidden.get('stem'))} {words(hidden.get('ten_god'))}",
             0.7 * unit, colour, class_="hidden-stem")
        y += 1.05 * unit
    y = max(y, top + 13.2 * unit)
    text(group, middle, y, title_case(pillar.get("nayin")), 0.7 * unit, theme.foreground,
         class_="nayin")
    y += 1.1 * unit
    text(group, middle, y, words(pillar.get("life_stage")), 0.7 * unit, theme.muted,
         class_="life-stage")
    return y + 0.8 * unit - top


def bazi_svg(bz: dict, *, width: float = 720, theme="light", title=None) -> str:
    """The BaZi Four Pillars (a `bazi` dict) as a table picture, SVG text.

    Hour, day, month and year from left to right as they are customarily
    written, each with its ten god, stem, branch, hidden stems, nayin and
    life stage; below them the element balance and, when cast, the luck
    pillars.
    """
    theme = theme_of(theme)
    width = float(width)
    if not (300.0 <= width <= 10000.0):
        raise ValueError(f"width must be between 300 and 10000 pixels, not {width:g}")
    for key, _ in PILLARS:
        if not isinstance(bz.get(key), dict):
            raise ValueError(f"a BaZi chart needs its {key} pillar")
    unit = width / 40.0
    margin = 1.2 * unit
    luck = (bz.get("luck") or {}).get("pillars") or []
    height = margin + 3 * unit + 16.5 * unit + 7.5 * unit + (7 * unit if luck else 0) + margin
    root = document(width, height, role="img", aria_label="BaZi four pillars")
    add(root, "title", "BaZi four pillars")
    add(root, "rect", x=0.0, y=0.0, width=width, height=height, fill=theme.background)
    y = margin + 0.6 * unit
    heading = title or "BaZi four pillars"
    text(root, margin, y, heading, 1.1 * unit, theme.foreground, anchor="start", weight="bold",
         class_="caption")
    if bz.get("time_basis") == "solar":
        times = f"true solar time {str(bz.get('solar_time')).replace('T', ' ')}"
    else:
        times = f"civil time {str(bz.get('civil_time')).replace('T', ' ')}"
    text(root, width - margin, y, times, 0.75 * unit, theme.muted, anchor="end", class_="caption")
    y += 1.4 * unit
    master = f"Day master {title_case(bz.get('day_master'))} ({words(bz.get('day_master_element'))})"
    text(root, margin, y, master, 0.8 * unit, theme.foreground, anchor="start")
    y += 1.0 * unit
    column = (width - 2 * margin) / 4
    tallest = 0.0
    for i, (key, label) in enumerate(PILLARS):
        x = margin + i * column
        add(root, "rect", x=x + 0.15 * unit, y=y, width=column - 0.3 * unit, height=16.3 * unit,
            rx=0.4 * unit, fill=theme.aspect_fill, stroke=theme.line, stroke_width=0.8)
        tallest = max(tallest, draw_pillar(root, bz[key], label, x, y + 0.4 * unit, column, unit,
                                           theme, key == "day"))
    y += max(16.5 * unit, tallest + 0.4 * unit)
    y = draw_balance(root, bz.get("elements") or {}, margin, y + 0.6 * unit, width - 2 * margin,
                     unit, theme)
    if luck:
        draw_luck(root, bz["luck"], margin, y + 0.6 * unit, width - 2 * margin, unit, theme)
    return serialise(root)


def draw_balance(root, elements: dict, x: float, y: float, width: float, unit: float,
                 theme: Theme) -> float:
    """The five phases' shares as bars; returns the y below them."""
    text(root, x, y + 0.4 * unit, "Elements", 0.8 * unit, theme.muted, anchor="start", weight="bold")
    y += 1.4 * unit
    names = ("wood", "fire", "earth", "metal", "water")
    total = sum(float(elements.get(n) or 0) for n in names) or 1.0
    label_width = 4.5 * unit
    for name in names:
        value = float(elements.get(name) or 0)
        bar = (width - label_width - 3 * unit) * value / total
        text(root, x, y, name, 0.7 * unit, theme.foreground, anchor="start")
        add(root, "rect", x=x + label_width, y=y - 0.35 * unit, width=max(bar, 0.0),
            height=0.7 * unit, fill=theme.phases[name], class_="element-bar", data_element=name)
        text(root, x + label_width + bar + 0.4 * unit, y, f"{value:g}", 0.65 * unit, theme.muted,
             anchor="start")
        y += 1.05 * unit
    return y


def draw_luck(root, luck: dict, x: float, y: float, width: float, unit: float, theme: Theme) -> None:
    pillars = luck.get("pillars") or []
    text(root, x, y + 0.4 * unit, f"Luck pillars, {words(luck.get('direction'))}", 0.8 * unit,
         theme.muted, anchor="start", weight="bold")
    y += 1.6 * unit
    step = width / max(len(pillars), 1)
    for i, item in enumerate(pillars):
        middle = x + (i + 0.5) * step
        pillar = item.get("pillar") or {}
        group = add(root, "g", class_="luck-pillar")
        age = item.get("start_age")
        text(group, middle, y, f"{age:.0f}" if isinstance(age, (int, float)) else "-",
             0.65 * unit, theme.muted)
        text(group, middle, y + 1.3 * unit, title_case(pillar.get("stem")), 0.9 * unit,
             theme.phases.get(pillar.get("element"), theme.foreground), weight="bold")
        text(group, middle, y + 2.5 * unit, title_case(pillar.get("branch")), 0.9 * unit,
             theme.phases.get(pillar.get("branch_element"), theme.foreground), weight="bold")
        text(group, middle, y + 3.6 * unit, title_case(pillar.get("ten_god")), 0.55 * unit,
             theme.muted)
