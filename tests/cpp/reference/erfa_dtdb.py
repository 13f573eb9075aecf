"""Writes `jd_tt tdb_minus_tt` lines from ERFA's full TDB - TT series
(geocentric) at random TT Julian days between 1800 and 2200."""
import random
import sys

import erfa

count = int(sys.argv[1]) if len(sys.argv) > 1 else 300
rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 20240601)
for _ in range(count):
    jd = rng.uniform(2378496.5, 2524593.5)
    print(f"{jd!r} {float(erfa.dtdb(jd, 0.0, 0.0, 0.0, 0.0, 0.0))!r}")
