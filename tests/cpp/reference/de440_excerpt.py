"""Writes an excerpt of the real kernel as a small SPK file.

Usage: de440_excerpt.py OUT START_JD END_JD [DROP_TARGET ...]
Copies the Chebyshev records of every DE440 segment that overlap
START_JD..END_JD (TDB), leaving out the segments whose target is listed.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", ".."))

from jplephem.spk import SPK

from tests.support.kernels import de440_path
from tests.support.spk_writer import Segment, write_daf

J2000 = 2451545.0
DAY = 86400.0

out, start, end = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
drop = {int(x) for x in sys.argv[4:]}
kernel = SPK.open(de440_path())
segments = []
for source in kernel.segments:
    if source.target in drop:
        continue
    init, intlen, coefficients = source.load_array()
    first = int((start - init) // intlen)
    last = int((end - init) // intlen)
    records = [coefficients[:, k, :] for k in range(first, last + 1)]
    segments.append(Segment(source.target, source.center, 2, (init + first * intlen - J2000) * DAY,
                            intlen * DAY, records, name=f"{source.target} excerpt".encode()))
with open(out, "wb") as f:
    f.write(write_daf(segments))
