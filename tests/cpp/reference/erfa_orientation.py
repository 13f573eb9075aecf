"""Reference Earth orientation from ERFA at random moments 1800-2200.

For each moment prints a block of lines `name value...` (floats in repr
form), starting with `time whole tt_fraction tdb_fraction ut1_fraction`.
Half the moments are whole-day-plus-fraction splits with a non-zero UT1
fraction, the others a single Julian day as `whole` (UT1 fraction 0).
ERFA is given the same two-part UT1 and TT dates.
"""
import math
import random
import sys

import erfa
import numpy as np

count = int(sys.argv[1]) if len(sys.argv) > 1 else 200
seed = int(sys.argv[2]) if len(sys.argv) > 2 else 20240602
rng = random.Random(seed)


def emit(name, *values):
    flat = np.ravel(np.array(values, dtype=float))
    print(name, " ".join(repr(float(v)) for v in flat))


def moment(i):
    jd = rng.uniform(2378496.5, 2524593.5)  # 1800-2200
    # A rough Delta T is enough: ERFA and the engine get the same TT.
    year = 2000 + (jd - 2451545.0) / 365.25
    delta_t = 62.92 + 0.32217 * (year - 2000) + 0.005589 * (year - 2000) ** 2
    if i % 2:
        whole = math.floor(jd) + 0.5
        ut1 = jd - whole
    else:
        whole, ut1 = jd, 0.0
    tt = ut1 + delta_t / 86400
    tdb = tt + float(erfa.dtdb(whole, tt, 0.0, 0.0, 0.0, 0.0)) / 86400
    return whole, tt, tdb, ut1


def hours(radians):
    return radians * 12 / math.pi


print(f"# seed {seed}")
moments = [(2451545.0, 0.0, 0.0, 0.0)] + [moment(i) for i in range(count - 1)]
for whole, tt, tdb, ut1 in moments:
    emit("time", whole, tt, tdb, ut1)
    dpsi, deps = erfa.nut00a(whole, tt)
    emit("nut00a", dpsi, deps)
    emit("nut00b", *erfa.nut00b(whole, tt))
    rb, rp, rbp = erfa.bp06(whole, tt)
    emit("rp", rp)
    # The same precession as four rotations of ERFA's canonical P03 angles,
    # and the IERS 2003 frame bias as ERFA builds it.
    eps0, psia, oma, _, _, _, _, _, chia, *_ = erfa.p06e(whole, tt)
    emit("p_canonical", erfa.rz(chia, erfa.rx(-oma, erfa.rz(-psia, erfa.rx(eps0, np.identity(3))))))
    emit("bias2003", erfa.bp00(whole, tt)[0])
    emit("pmat06", erfa.pmat06(whole, tt))
    # Bias-precession-nutation built by ERFA from the same IAU 2000A angles.
    epsa, _, _, _, rn, rbpn = erfa.pn06(whole, tt, dpsi, deps)
    emit("rn", rn)
    emit("rbpn", rbpn)
    emit("ecliptic", erfa.rx(epsa + deps, rbpn))
    emit("obl06", erfa.obl06(whole, tt))
    emit("gmst06", hours(erfa.gmst06(whole, ut1, whole, tt)))
    emit("gst06a", hours(erfa.gst06a(whole, ut1, whole, tt)))
    # CIO-based GST with the unadjusted IAU 2000A nutation.
    emit("gst06", hours(erfa.gst06(whole, ut1, whole, tt, rbpn)))
    emit("eect00", erfa.eect00(whole, tt))
