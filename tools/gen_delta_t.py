"""Writes generated/delta_t_block.{hpp,cpp}: the embedded Delta T block.

Source of the daily TT - UT1 values: skyfield's bundled skyfield/data/iers.npz
(skyfield 1.55, whose series runs from 1973-01-02 to 2027-01-23 00:00 UTC:
exactly the 19,745 daily points the engine embeds). Its last year is the
IERS prediction of that release; the table is frozen at it on purpose so
that charts do not change when skyfield is upgraded. With another skyfield
the checks below fail unless its first 19,745 points agree; pass the 1.55
file with --iers in that case.

Layout of the little-endian block:
  u32 n, u32 m, m x (u32 start index, f64 JD offset), n x i32 (1e-7 s),
  u32 k, k x 6 f64 (start year, end year, a3, a2, a1, a0).

Usage: .venv/bin/python tools/gen_delta_t.py [--iers PATH] [--out DIR]
Rerunning with the same source writes byte-identical files.
"""
import argparse
import hashlib
import os
import struct
import sys

import numpy as np

POINTS = 19745
FIRST_UTC_JD = 2441684.5  # 1973-01-02 00:00 UTC
# Indices where a new leap second takes effect (first run starts at 0).
RUN_STARTS = [0, 364, 729, 1094, 1460, 1825, 2190, 2555, 3102, 3467, 3832, 4563, 5477,
              6208, 6573, 7120, 7485, 7850, 8399, 8946, 9495, 12052, 13148, 14425,
              15520, 16070]
# Fixed targets: (index, value in 1e-7 s) of 1 January rows and the last point.
SAMPLES = [(0, 433755822), (729, 454761380), (2555, 505387068), (4382, 543427024),
           (6208, 568552701), (8034, 607853482), (9860, 638285221), (11687, 646876311),
           (13513, 660699217), (15339, 676439167), (17165, 693611554),
           (18992, 691377327), (19722, 690961474), (19744, 690903049)]

# Long-term model: rows 3-45 are the 2016 long-term Delta T spline
# (Stephenson, Morrison & Hohenkerk, Proc. R. Soc. A 472, 2016) with row 45
# bent to meet the first daily point; rows 1-2 and 47 follow the parabola
# -320 + 32.5 ((year - 1825)/100)^2; row 46 joins the last daily point to that
# parabola at 2800.
SEGMENTS = [
    (-1620, -1520, 0, 32.5, -2239.25, 38251.08125),
    (-1520, -720, 1048.2748870967698, 673.2418629032327, -17394.000000000004, 36044.33125),
    (-720, -100, 409.16, 776.247, -9999.586, 20371.848),
    (-100, 400, -503.433, 1303.151, -5822.27, 11557.668),
    (400, 1000, 1085.087, -298.291, -5671.519, 6535.116),
    (1000, 1150, -25.346, 184.811, -753.21, 1650.393),
    (1150, 1300, -24.641, 108.771, -459.628, 1056.647),
    (1300, 1500, -29.414, 61.953, -421.345, 681.149),
    (1500, 1600, 16.197, -6.572, -192.841, 292.343),
    (1600, 1650, 3.018, 10.505, -78.697, 109.127),
    (1650, 1720, -2.127, 38.333, -68.089, 43.952),
    (1720, 1800, -37.939, 41.731, 2.507, 12.068),
    (1800, 1810, 1.918, -1.126, -3.481, 18.367),
    (1810, 1820, -3.812, 4.629, 0.021, 15.678),
    (1820, 1830, 3.25, -6.806, -2.157, 16.516),
    (1830, 1840, -0.096, 2.944, -6.018, 10.804),
    (1840, 1850, -0.539, 2.658, -0.416, 7.634),
    (1850, 1855, -0.883, 0.261, 1.642, 9.338),
    (1855, 1860, 1.558, -2.389, -0.486, 10.357),
    (1860, 1865, -2.477, 2.284, -0.591, 9.04),
    (1865, 1870, 2.72, -5.148, -3.456, 8.255),
    (1870, 1875, -0.914, 3.011, -5.593, 2.371),
    (1875, 1880, -0.039, 0.269, -2.314, -1.126),
    (1880, 1885, 0.563, 0.152, -1.893, -3.21),
    (1885, 1890, -1.438, 1.842, 0.101, -4.388),
    (1890, 1895, 1.871, -2.474, -0.531, -3.884),
    (1895, 1900, -0.232, 3.138, 0.134, -5.017),
    (1900, 1905, -1.257, 2.443, 5.715, -1.977),
    (1905, 1910, 0.72, -1.329, 6.828, 4.923),
    (1910, 1915, -0.825, 0.831, 6.33, 11.142),
    (1915, 1920, 0.262, -1.643, 5.518, 17.479),
    (1920, 1925, 0.008, -0.856, 3.02, 21.617),
    (1925, 1930, 0.127, -0.831, 1.333, 23.789),
    (1930, 1935, 0.142, -0.449, 0.052, 24.418),
    (1935, 1940, 0.702, -0.022, -0.419, 24.164),
    (1940, 1945, -1.106, 2.086, 1.645, 24.426),
    (1945, 1950, 0.614, -1.232, 2.499, 27.05),
    (1950, 1953, -0.277, 0.22, 1.127, 28.932),
    (1953, 1956, 0.631, -0.61, 0.737, 30.002),
    (1956, 1959, -0.799, 1.282, 1.409, 30.76),
    (1959, 1962, 0.507, -1.115, 1.577, 32.652),
    (1962, 1965, 0.199, 0.406, 0.868, 33.621),
    (1965, 1968, -0.414, 1.002, 2.275, 35.093),
    (1968, 1971, 0.202, -0.242, 3.035, 37.956),
    (1971, 1974, -0.229, 0.364, 3.4897025899490037, 40.951),
    (2027.0595504469293, 2800, -518.6745181312681, 3235.4181902051223, -16.30272697385411,
     69.0903049),
    (2800, 2900, 0, 32.5, 633.75, 2769.53125),
]

BLOCK_SIZE = 81560


def fail(message):
    sys.exit(f"gen_delta_t: {message}")


def default_source():
    import skyfield
    return os.path.join(os.path.dirname(skyfield.__file__), "data", "iers.npz"), skyfield.__version__


def run_offset(k):
    return FIRST_UTC_JD + (44.184 + k) / 86400


def build_block(values):
    out = bytearray()
    out += struct.pack("<II", POINTS, len(RUN_STARTS))
    for k, start in enumerate(RUN_STARTS):
        out += struct.pack("<Id", start, run_offset(k))
    out += struct.pack(f"<{POINTS}i", *values)
    out += struct.pack("<I", len(SEGMENTS))
    for row in SEGMENTS:
        out += struct.pack("<6d", *map(float, row))
    return bytes(out)


def check_source(grid, raw):
    if len(raw) < POINTS:
        fail(f"source has only {len(raw)} points, {POINTS} needed")
    grid, raw = grid[:POINTS], raw[:POINTS]
    if not np.all(raw == np.round(raw)) or np.abs(raw).max() >= 2**31:
        fail("source values are not 32-bit integers of 1e-7 s")
    # The grid must be the TT Julian days of successive 00:00 UTC instants,
    # shifting by one second at each leap second.
    starts = [0] + list(np.nonzero(np.diff(grid))[0] + 1)
    if starts != RUN_STARTS:
        fail(f"leap-second runs differ: {starts}")
    for k, start in enumerate(RUN_STARTS):
        if grid[start] != run_offset(k):
            fail(f"run {k} offset {grid[start]!r} differs from {run_offset(k)!r}")
    for index, value in SAMPLES:
        if int(raw[index]) != value:
            fail(f"point {index} is {int(raw[index])}, expected {value}")
    if len(SEGMENTS) != 47:
        fail("segment table must have 47 rows")
    return [int(v) for v in raw]


def c_array(name, data):
    lines = []
    for i in range(0, len(data), 16):
        lines.append("    " + ", ".join(f"0x{b:02x}" for b in data[i:i + 16]) + ",")
    body = "\n".join(lines)
    return f"alignas(8) const unsigned char {name}[{len(data)}] = {{\n{body}\n}};\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--iers", help="path of a skyfield iers.npz (default: the installed one)")
    parser.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "generated"))
    args = parser.parse_args()

    if args.iers:
        source, label = args.iers, os.path.basename(args.iers)
    else:
        source, version = default_source()
        label = f"skyfield {version} skyfield/data/iers.npz"
    data = np.load(source)
    values = check_source(data["tt_jd_minus_arange"], data["delta_t_1e7"])
    block = build_block(values)
    if len(block) != BLOCK_SIZE:
        fail(f"block is {len(block)} bytes, expected {BLOCK_SIZE}")
    digest = hashlib.sha256(block).hexdigest()

    header = (
        "// Generated by tools/gen_delta_t.py; do not edit.\n"
        f"// Daily TT - UT1 from {label} (first {POINTS} points,\n"
        "// 1973-01-02 to 2027-01-23 00:00 UTC), long-term segments from the 2016\n"
        "// spline and the -320 + 32.5 ((year - 1825)/100)^2 parabola.\n"
        "// Regenerate: .venv/bin/python tools/gen_delta_t.py\n"
    )
    hpp = header + (
        "#pragma once\n\n"
        "#include <cstddef>\n\n"
        "namespace quorvane::generated {\n\n"
        "// Little-endian: u32 n, u32 m, m x (u32 start, f64 offset), n x i32 (1e-7 s),\n"
        "// u32 k, k x 6 f64 (start year, end year, a3, a2, a1, a0).\n"
        "extern const unsigned char delta_t_block[];\n"
        "extern const std::size_t delta_t_block_size;\n\n"
        "}  // namespace quorvane::generated\n"
    )
    cpp = header + (
        f"// SHA-256 of the block: {digest}\n"
        '#include "generated/delta_t_block.hpp"\n\n'
        "namespace quorvane::generated {\n\n"
        + c_array("delta_t_block", block)
        + "const std::size_t delta_t_block_size = sizeof(delta_t_block);\n\n"
        "}  // namespace quorvane::generated\n"
    )
    os.makedirs(args.out, exist_ok=True)
    for name, text in (("delta_t_block.hpp", hpp), ("delta_t_block.cpp", cpp)):
        with open(os.path.join(args.out, name), "w", newline="\n") as f:
            f.write(text)
    print(f"wrote {len(block)} bytes, sha256 {digest}")


if __name__ == "__main__":
    main()
