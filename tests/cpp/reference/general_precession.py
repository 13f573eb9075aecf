"""Writes `jd pa_degrees` lines (hex floats): pyerfa's IAU 2006 general
precession in longitude for Julian days spread from 1000 to 3000 CE."""
import random
import sys

import erfa
import numpy as np

count = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(1 << 30)
rng = random.Random(seed)
print(f"# seed {seed}")
for _ in range(count):
    jd = rng.uniform(2086302.5, 2816787.5)
    pa = erfa.p06e(jd, 0.0)[12]
    print(f"{jd.hex()} {float(np.degrees(pa)).hex()}")
