"""The readable text of a result: tables of planets, houses and aspects for
the charts, and for any other dict its scalars, then its nested blocks and
lists as tables. `--json` prints the exact dict instead.
"""
from __future__ import annotations

def number(value) -> str:
    if isinstance(value, bool) or value is None:
        return {True: "yes", False: "no", None: "-"}[value]
    if isinstance(value, float):
        text = f"{value:.4f}".rstrip("0").rstrip(".")
        return "0" if text == "-0" else text
    return str(value)


def cell(value) -> str:
    """One table cell: scalars as they read, lists joined, a record by its first values."""
    if isinstance(value, list):
        return ", ".join(cell(v) for v in value)
    if isinstance(value, dict):
        # A pillar reads "geng wu", a term "lixia 1990-05-05T...", a star its name.
        firsts = [v for v in value.values() if not isinstance(v, (dict, list))][:2]
        return " ".join(number(v) for v in firsts)
    return number(value)


def is_number(value) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool)


def table(headers, rows) -> list[str]:
    """Columns padded to their widest cell; numbers to the right."""
    texts = [[cell(v) for v in row] for row in rows]
    widths = [max([len(h)] + [len(r[i]) for r in texts]) for i, h in enumerate(headers)]
    lines = ["  ".join(h.ljust(w) for h, w in zip(headers, widths)).rstrip(),
             "  ".join("-" * w for w in widths)]
    for row, text in zip(rows, texts):
        lines.append("  ".join(t.rjust(w) if is_number(v) else t.ljust(w)
                               for v, t, w in zip(row, text, widths)).rstrip())
    return lines


def record_table(items: list) -> list[str]:
    """A list of dicts as a table, with the keys of the first as columns."""
    keys = list(items[0])
    return table(keys, [[item.get(k) for k in keys] for item in items])


def is_records(value) -> bool:
    return isinstance(value, list) and bool(value) and all(isinstance(v, dict) for v in value)


def render(value: dict, path: str = "") -> list[str]:
    """Any result dict: scalar lines, then nested blocks and lists as tables.

    Neighbouring dicts with the same keys (the four BaZi pillars, say) share
    one table, a row each. Nested blocks are headed by their key path.
    """
    scalars, blocks = [], []
    keys = list(value)
    i = 0
    while i < len(keys):
        key, item = keys[i], value[keys[i]]
        if isinstance(item, dict) and item:
            group = [key]
            while (i + len(group) < len(keys)
                   and isinstance(value[keys[i + len(group)]], dict)
                   and list(value[keys[i + len(group)]]) == list(item)):
                group.append(keys[i + len(group)])
            if len(group) > 1:
                rows = [dict({"": g}, **value[g]) for g in group]
                blocks.append((path + "/".join(group), record_table(rows)))
            else:
                blocks.append((path + key, render(item, f"{path}{key}.")))
            i += len(group)
            continue
        if is_records(item):
            blocks.append((path + key, record_table(item)))
        else:
            scalars.append((key, cell(item)))
        i += 1
    width = max((len(k) for k, _ in scalars), default=0)
    lines = [f"{k.ljust(width)}  {v}" for k, v in scalars]
    for heading, body in blocks:
        if lines:
            lines.append("")
        lines += [f"[{heading}]"] + body
    return lines


def position(item: dict) -> str:
    return f"{item['degree']:>2}°{item['minute']:02d}'"


def planet_table(placements: list) -> list[str]:
    return table(
        ["body", "sign", "position", "longitude", "house", "speed", "retrograde"],
        [[f"{p.get('symbol', '')} {p['name']}".strip(), p["sign"], position(p),
          p["ecliptic_longitude"], p.get("house"), p.get("speed"), p.get("is_retrograde")]
         for p in placements])


def house_table(cusps: list) -> list[str]:
    # Gauquelin's 36 sectors come numbered as sectors.
    return table(["sector" if len(cusps) == 36 else "house", "sign", "position", "longitude"],
                 [[h["house_number"], h["sign"], position(h), h["ecliptic_longitude"]]
                  for h in cusps])


def aspect_table(aspects: list) -> list[str]:
    # Whether each aspect applies is in --json; the table keeps to the geometry.
    return table(["body", "aspect", "body", "orb", "max orb"],
                 [[a["body1"], a["aspect_type"], a["body2"], a["orb"], a.get("max_orb")]
                  for a in aspects])


def zodiac_text(result: dict) -> str:
    zodiac = result["zodiac_type"]
    if result.get("ayanamsa_name"):
        zodiac += f" ({result['ayanamsa_name']}, {result['ayanamsa_formatted']})"
    return zodiac


def chart_lines(chart: dict) -> list[str]:
    used = chart.get("house_system_used") or chart["house_system"]
    fallback = chart.get("house_system_fallback")
    lines = [f"house system  {used}" + (f" ({fallback})" if fallback else ""),
             f"zodiac        {zodiac_text(chart)}",
             f"sect          {chart.get('sect') or '-'}"]
    if chart.get("node") == "true":
        lines.append("nodes         true (osculating)")
    hours = chart.get("planetary_hours")
    if hours:
        lines.append(f"hour          {hours['hour_ruler']} (hour {hours['hour_number']}, "
                     f"day of {hours['day_ruler']})")
    lunar = chart.get("lunar_status")
    if lunar:
        lines.append(f"moon          {lunar['phase_name']}, "
                     f"{number(lunar['illumination_percentage'])}% lit")
    lines += ["", "[planets]"] + planet_table(chart["planets"])
    if chart.get("unavailable_bodies"):
        lines.append("unavailable: " + cell(chart["unavailable_bodies"]))
    lines += ["", "[houses]"] + house_table(chart["houses"])
    if chart.get("aspects"):
        lines += ["", "[aspects]"] + aspect_table(chart["aspects"])
    if chart.get("arabic_parts"):
        lines += ["", "[lots]"] + table(
            ["lot", "sign", "position", "house"],
            [[p["name"], p["sign"], position(p), p.get("house")] for p in chart["arabic_parts"]])
    return lines


def structure_lines(structure: dict) -> list[str]:
    """The structure block: patterns, balance, dispositors, shape and the
    midpoint trees (--json has every midpoint)."""
    lines = ["", "[patterns]"]
    lines += table(["pattern", "members", "apex", "sign/element"],
                   [[p["type"], ", ".join(p["members"]), p.get("apex"),
                     p.get("sign") or p.get("element")] for p in structure["aspect_patterns"]])
    for form in ("unweighted", "weighted"):
        block = structure["tallies"][form]
        lines += ["", f"[{form}]"] + table(
            ["part", "counts"],
            [[part, ", ".join(f"{k} {number(v)}" for k, v in block[part].items())]
             for part in ("elements", "modes", "polarities")])
    houses = structure["tallies"]["houses"]
    lines += ["", "[hemispheres]"] + table(
        ["part", "counts"],
        [[part, ", ".join(f"{k} {number(v)}" for k, v in houses[part].items())]
         for part in ("hemispheres", "quadrants")])
    dispositors = structure["dispositors"]
    lines += ["", f"[dispositors, {dispositors['rulers']}]"] + table(
        ["planet", "chain", "ends"],
        [[name, " > ".join(c["chain"]), f"{c['end']['kind']} " + ", ".join(c["end"]["planets"])]
         for name, c in dispositors["chains"].items()])
    shape = structure["shape"]
    lines += ["", f"shape         {shape['shape']}"
              + (f" (handle {shape['handle']})" if shape.get("handle") else "")
              + (f" (leading {shape['leading']})" if shape.get("leading") else "")]
    trees = structure["midpoints"]["trees"]
    lines += ["", f"[midpoint trees, orb {number(structure['midpoints']['orb'])}]"] + table(
        ["point", "midpoints"],
        [[t["point"], ", ".join(f"{m['body1']}/{m['body2']} {number(m['angle'])}"
                                for m in t["midpoints"])] for t in trees if t["midpoints"]])
    return lines


def return_lines(found: dict) -> list[str]:
    """A return: its moment and the return chart's positions (--json has the whole chart)."""
    chart = found["chart"]
    return [f"return      {found['body']} to {number(found['natal_longitude'])}",
            f"moment      {found['moment']}",
            f"julian day  {number(found['julian_day'])}",
            "", "[planets]"] + planet_table(chart["planets"]) + \
        ["", "[houses]"] + house_table(chart["houses"])


def transit_lines(transit: dict) -> list[str]:
    lines = [f"moment  {transit['transit_datetime']}",
             f"place   {number(transit['transit_lat'])}, {number(transit['transit_lon'])}",
             f"zodiac  {zodiac_text(transit)}",
             "", "[transit_planets]"] + planet_table(transit["transit_planets"])
    lines += ["", "[transit_houses]"] + house_table(transit["transit_houses"])
    lines += ["", "[cross_aspects] transit body, aspect, natal body"]
    return lines + aspect_table(transit["cross_aspects"])


def elections_lines(search: dict) -> list[str]:
    # The factors of each window are in --json; the table keeps to the ranking.
    windows = search.get("windows") or []
    brief = {k: v for k, v in search.items() if k != "windows"}
    lines = render(brief)
    lines += ["", "[windows] best first"]
    if not windows:
        return lines + ["no acceptable window"]
    return lines + table(["best", "score", "verdict", "from", "to"],
                         [[w.get("best"), w.get("score"), w.get("verdict"), w.get("start"),
                           w.get("end")] for w in windows])


def jyotish_lines(chart: dict) -> list[str]:
    """The rasi chart, the vargas, the running and major dashas, the
    ashtakavarga and the panchanga of a Jyotish chart."""
    lines = [f"ayanamsa    {chart['ayanamsa_name']} ({number(chart['ayanamsa_degrees'])})",
             f"houses      {chart['house_division']}, nodes {chart['node']}, dasha year "
             f"{chart['dasha_year']} ({number(chart['dasha_year_days'])} days)", ""]
    lagna = {"name": "Lagna", **chart["lagna"]}
    lines += table(["body", "sign", "degree", "house", "nakshatra", "pada", "lord", "retro",
                    "combust", "dignity"],
                   [[b["name"], b["sign"], b["degree"], b["house"], b["nakshatra"], b["pada"],
                     b["nakshatra_lord"], b.get("retrograde"), b.get("combust"),
                     b.get("dignity")] for b in [lagna] + chart["bodies"]])
    names = list(chart["vargas"]["D1"])
    lines += ["", "[vargas]"] + table(["varga"] + names,
                                      [[v] + [signs[n] for n in names]
                                       for v, signs in chart["vargas"].items()])
    lines.append("vargottama  " + (", ".join(chart["vargottama"]) or "-"))
    for system in ("vimshottari", "yogini", "ashtottari"):
        dashas = chart["dashas"][system]
        lines += ["", f"[{system}] from {dashas['lord_at_birth']}, "
                      f"{number(dashas['balance_years'])} years left at birth"]
        if dashas.get("running"):
            lines.append("running     " + " / ".join(p["lord"] for p in dashas["running"]))
        lines += table(["lord", "start", "end"],
                       [[p["lord"], p["start"][:10], p["end"][:10]] for p in dashas["periods"]])
    sav = chart["ashtakavarga"]
    lines += ["", "[ashtakavarga] Aries to Pisces"] + table(
        ["planet"] + [str(n) for n in range(1, 13)] + ["total"],
        [[name] + b["points"] + [b["total"]] for name, b in sav["bhinnashtakavarga"].items()]
        + [["SAV"] + sav["sarvashtakavarga"] + [sav["total"]]])
    day = chart["panchanga"]
    lines += ["", "[panchanga]"] + table(
        ["element", "name", "ends"],
        [[k, f"{day[k]['name']}" + (f" ({day[k]['paksha']})" if k == "tithi" else ""),
          day[k].get("end")] for k in ("tithi", "vara", "nakshatra", "yoga", "karana")])
    lines.append(f"sunrise     {number(day['sunrise'])} ({day['sunrise_convention']})")
    return lines


def moment_lines(inputs: dict, label: str = "") -> list[str]:
    """When and where a result was cast, as `quorvane.birth` resolved it."""
    zone = " ".join(filter(None, [inputs["zone_abbreviation"], inputs["timezone"]]))
    offset = ", ".join(filter(None, ["UTC" + inputs["utc_offset"], zone]))
    local = inputs["local_time"].replace("T", " ")
    lines = [f"{label}local time  {local} ({offset})",
             f"{label}utc         {inputs['utc']} (JD {number(inputs['julian_day'])})"]
    place = inputs.get("place")
    where_text = f"{number(inputs['latitude'])}, {number(inputs['longitude'])}"
    if place:
        label_text = ", ".join(p for p in (place["name"], place["admin1"], place["country"]) if p)
        where_text = f"{label_text} ({where_text})"
    return lines + [f"{label}place       {where_text}"]


def input_lines(inputs: dict) -> list[str]:
    if "local_time" in inputs:
        return moment_lines(inputs)
    return [line for key, value in inputs.items() for line in moment_lines(value, f"{key} ")]


def place_lines(found: list) -> list[str]:
    return table(["place", "region", "country", "latitude", "longitude", "zone", "population",
                  "match"],
                 [[p["name"], p["admin1"] or p["admin1_code"], p["country"], p["latitude"],
                   p["longitude"], p["timezone"], p["population"], p["match"]] for p in found])


CHART_KEYS = {"house_system", "planets", "houses"}
RETURN_KEYS = {"body", "natal_longitude", "moment", "chart"}
PLACE_KEYS = {"name", "country", "timezone", "population"}
JYOTISH_KEYS = {"lagna", "bodies", "vargas", "dashas"}


def text_lines(result) -> list[str]:
    if isinstance(result, dict) and isinstance(result.get("input"), dict):
        rest = {k: v for k, v in result.items() if k != "input"}
        return input_lines(result["input"]) + [""] + text_lines(rest)
    if is_records(result) and PLACE_KEYS <= result[0].keys():
        return place_lines(result)
    if isinstance(result, dict) and CHART_KEYS <= result.keys():
        lines = chart_lines(result)
        # Horary and election charts: the chart, then their own block.
        for key in ("horary_data", "election_data"):
            if isinstance(result.get(key), dict):
                lines += ["", f"[{key}]"] + render(result[key], key + ".")
        if isinstance(result.get("structure"), dict):
            lines += structure_lines(result["structure"])
        if isinstance(result.get("harmonic_chart"), dict):
            harmonic = result["harmonic_chart"]
            lines += ["", f"[harmonic {harmonic['harmonic']}]"] + table(
                ["body", "sign", "longitude"],
                [[p["name"], p["sign"], p["ecliptic_longitude"]] for p in harmonic["planets"]])
            if harmonic["aspects"]:
                lines += ["", f"[harmonic {harmonic['harmonic']} aspects]"] + aspect_table(
                    harmonic["aspects"])
        return lines
    if isinstance(result, dict) and JYOTISH_KEYS <= result.keys():
        return jyotish_lines(result)
    if isinstance(result, dict) and "transit_planets" in result:
        return transit_lines(result)
    if isinstance(result, dict) and RETURN_KEYS <= result.keys():
        return return_lines(result)
    if isinstance(result, dict) and "windows" in result:
        return elections_lines(result)
    if isinstance(result, list):
        return record_table(result) if is_records(result) else [cell(result)]
    return render(result)

