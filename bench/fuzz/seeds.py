"""Seed corpora for the fuzz targets, taken from the test files.

    python bench/fuzz/seeds.py <out dir>

writes <out dir>/<target>/<n> for the targets instant, orbs, calendar and
criteria: the moment texts of the instant and chart tests, and the JSON
literals (raw C++ strings, adjacent pieces joined) of the aspect, calendar
and criteria tests that parse as JSON.
"""
from __future__ import annotations

import hashlib
import json
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
CPP = ROOT / "tests" / "cpp"
PY = ROOT / "tests" / "python"

MOMENT = re.compile(r'"([^"\\\n]*\d{4}-\d[^"\\\n]*)"')
# One or more raw string pieces separated only by white space.
RAW_RUN = re.compile(r'(?:R"\((.*?)\)"\s*)+', re.S)
RAW_PIECE = re.compile(r'R"\((.*?)\)"', re.S)


def moment_texts() -> set[str]:
    texts: set[str] = set()
    for path in [CPP / "instant_test.cpp", CPP / "time_test.cpp", *PY.glob("test_*.py")]:
        if path.exists():
            texts.update(MOMENT.findall(path.read_text(encoding="utf-8")))
    return {t for t in texts if len(t) <= 64}


def json_literals(*names: str) -> list[str]:
    found: list[str] = []
    for name in names:
        path = CPP / name
        if not path.exists():
            continue
        for run in RAW_RUN.finditer(path.read_text(encoding="utf-8")):
            text = "".join(RAW_PIECE.findall(run.group(0)))
            try:
                json.loads(text)
            except ValueError:
                continue
            found.append(text)
    return found


def orb_seeds() -> list[str]:
    literals = json_literals("aspects_test.cpp")
    settings = [t for t in literals if t.lstrip().startswith("{")]
    points = [t for t in literals if t.lstrip().startswith("[")]
    pairs = [f"[{s},{p}]" for s in settings[:8] for p in points[:4]]
    extra = ['{"method":"aspect"}', '{"method":"moiety_aspect_weighted",'
             '"aspect_orbs":{"Conjunction":0,"Square":"7_5"}}',
             '{"fixed_star_orb":" 2 ","planet_orbs":{"Sun":"inf","Moon":"nan"}}']
    return literals + pairs + extra


def write(out: pathlib.Path, target: str, seeds) -> int:
    directory = out / target
    directory.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        data = seed.encode("utf-8")
        (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)
    return len(seeds)


def main() -> None:
    out = pathlib.Path(sys.argv[1])
    counts = {
        "instant": write(out, "instant", sorted(moment_texts())),
        "orbs": write(out, "orbs", orb_seeds()),
        "calendar": write(out, "calendar", json_literals("chinese_calendar_test.cpp",
                                                         "bazi_test.cpp", "ziwei_test.cpp")),
        "criteria": write(out, "criteria", json_literals("election_criteria_test.cpp",
                                                         "election_test.cpp")),
    }
    print(" ".join(f"{k}={v}" for k, v in counts.items()))


if __name__ == "__main__":
    main()
