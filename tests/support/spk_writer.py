"""Small synthetic SPK (DAF) files for the tests.

Writes Chebyshev segments of data types 2 and 3 (and segments of other types
that only carry words), in either byte order, over as many summary records
as asked, plus deliberately broken variants. Expected states come from
numpy's Chebyshev routines, independently of the engine.

Run as a script, `spk_writer.py DIR` writes every named variant into DIR and
prints a JSON manifest (file names, segments and sample states) on stdout.
"""
from __future__ import annotations

import json
import math
import os
import struct
import sys
from dataclasses import dataclass, field

import numpy as np
from numpy.polynomial import chebyshev

RECORD = 1024
WORDS_PER_RECORD = RECORD // 8
J2000 = 2451545.0
DAY = 86400.0


@dataclass
class Segment:
    target: int
    center: int
    data_type: int = 2
    init: float = 0.0
    intlen: float = 16 * DAY
    # One array per record, shape (sets, g): x, y, z (then vx, vy, vz for type 3).
    records: list = field(default_factory=list)
    frame: int = 1
    name: bytes = b""
    start_et: float | None = None
    end_et: float | None = None
    # Overrides for broken files.
    directory: tuple | None = None          # (INIT, INTLEN, RSIZE, N) as written
    word_range: tuple | None = None         # (start word, end word) as written; None keeps one
    raw_words: list | None = None           # data words of a segment that is not type 2/3

    @property
    def sets(self) -> int:
        return 6 if self.data_type == 3 else 3

    @property
    def rsize(self) -> int:
        return 2 + self.records[0].size if self.records else 0

    def span(self) -> tuple[float, float]:
        start = self.init if self.start_et is None else self.start_et
        end = self.init + self.intlen * len(self.records) if self.end_et is None else self.end_et
        return start, end

    def words(self) -> list[float]:
        if self.raw_words is not None:
            return list(self.raw_words)
        out: list[float] = []
        for k, coefficients in enumerate(self.records):
            mid = self.init + (k + 0.5) * self.intlen
            out += [mid, self.intlen / 2]
            out += [float(c) for c in coefficients.reshape(-1)]
        directory = self.directory or (self.init, self.intlen, self.rsize, len(self.records))
        return out + [float(w) for w in directory]

    def state(self, et: float) -> list[float]:
        """The state at `et` from numpy's Chebyshev series (reference values)."""
        index = min(int(math.floor((et - self.init) / self.intlen)), len(self.records) - 1)
        coefficients = self.records[index]
        radius = self.intlen / 2
        s = (et - (self.init + (index + 0.5) * self.intlen)) / radius
        position = [chebyshev.chebval(s, coefficients[i]) for i in range(3)]
        if self.data_type == 3:
            velocity = [chebyshev.chebval(s, coefficients[3 + i]) for i in range(3)]
        else:
            velocity = [chebyshev.chebval(s, chebyshev.chebder(coefficients[i])) / radius
                        if coefficients.shape[1] > 1 else 0.0 for i in range(3)]
        return [float(v) for v in position + velocity]


def random_segment(rng, target, center, data_type=2, records=4, degree=7, init=-20 * DAY,
                   intlen=16 * DAY, scale=1.0e6, name=None) -> Segment:
    sets = 6 if data_type == 3 else 3
    out = []
    for _ in range(records):
        c = rng.normal(size=(sets, degree + 1)) * scale / (1.0 + np.arange(degree + 1)) ** 3
        out.append(c)
    label = name if name is not None else f"{target} wrt {center}".encode()
    return Segment(target, center, data_type, init, intlen, out, name=label)


def write_daf(segments: list[Segment], *, big_endian=False, per_record=25, format_word=True,
              id_word=b"DAF/SPK ", nd=2, ni=6, fward=None, chain_reversed=False,
              nsum_override=None, next_override=None, truncate=None) -> bytes:
    """The bytes of a DAF/SPK file holding `segments` in order.

    Summary records come in pairs (summaries, names) right after the file
    record, `per_record` summaries each; `chain_reversed` links them last to
    first. `nsum_override` and `next_override` map a pair index to the NSUM
    or NEXT value written there.
    """
    e = ">" if big_endian else "<"
    groups = [segments[i:i + per_record] for i in range(0, len(segments), per_record)] or [[]]
    if not segments:
        groups = []
    data_record = 2 + 2 * len(groups)
    word = (data_record - 1) * WORDS_PER_RECORD + 1
    data: list[float] = []
    placed = []
    for segment in segments:
        words = segment.words()
        start, end = word + len(data), word + len(data) + len(words) - 1
        data += words
        given = segment.word_range or (None, None)
        placed.append((start if given[0] is None else given[0], end if given[1] is None else given[1]))

    order = list(range(len(groups)))
    if chain_reversed:
        order.reverse()
    record_of = {g: 2 + 2 * g for g in range(len(groups))}
    first = record_of[order[0]] if groups else 0

    records = bytearray(RECORD * (data_record - 1))
    file_record = bytearray(RECORD)
    file_record[0:8] = id_word.ljust(8, b" ")[:8]
    struct.pack_into(e + "ii", file_record, 8, nd, ni)
    file_record[16:76] = b"synthetic test kernel".ljust(60, b" ")
    struct.pack_into(e + "iii", file_record, 76, first if fward is None else fward,
                     record_of[order[-1]] if groups else 0, word + len(data))
    # The FTP validation string other DAF readers check for.
    ftp = b"FTPSTR:\r:\n:\r\n:\r\x00:\x81:\x10\xce:ENDFTP"
    file_record[699:699 + len(ftp)] = ftp
    if format_word:
        file_record[88:96] = b"BIG-IEEE" if big_endian else b"LTL-IEEE"
    records[0:RECORD] = file_record

    index = 0
    for g, group in enumerate(groups):
        position = order.index(g)
        following = record_of[order[position + 1]] if position + 1 < len(order) else 0
        previous = record_of[order[position - 1]] if position > 0 else 0
        if next_override and g in next_override:
            following = next_override[g]
        nsum = len(group)
        if nsum_override and g in nsum_override:
            nsum = nsum_override[g]
        at = (record_of[g] - 1) * RECORD
        struct.pack_into(e + "ddd", records, at, float(following), float(previous), float(nsum))
        for i, segment in enumerate(group):
            start_et, end_et = segment.span()
            start_word, end_word = placed[index]
            struct.pack_into(e + "ddiiiiii", records, at + 24 + 40 * i, start_et, end_et,
                             segment.target, segment.center, segment.frame, segment.data_type,
                             start_word, end_word)
            name = segment.name if isinstance(segment.name, bytes) else segment.name.encode()
            records[at + RECORD + 40 * i: at + RECORD + 40 * i + 40] = name[:40].ljust(40, b" ")
            index += 1

    body = struct.pack(e + f"{len(data)}d", *data)
    out = bytes(records) + body
    out += bytes(-len(out) % RECORD)
    return out[:truncate] if truncate is not None else out


# ---- the named variants used by the C++ and Python tests ----

def solar_system(seed=7) -> list[Segment]:
    """Moon -> EMB -> SSB, Earth -> EMB, Sun (type 3) and Mars barycentre."""
    rng = np.random.default_rng(seed)
    return [
        random_segment(rng, 301, 3, records=6, intlen=4 * DAY, init=-12 * DAY, scale=4.0e5,
                       name=b"MOON \xff\xfe  "),
        random_segment(rng, 3, 0, records=3, degree=10, init=-16 * DAY, scale=1.5e8),
        random_segment(rng, 399, 3, records=6, intlen=4 * DAY, init=-12 * DAY, scale=5.0e3),
        random_segment(rng, 10, 0, data_type=3, records=2, degree=5, init=-16 * DAY,
                       intlen=24 * DAY, scale=1.0e6),
        random_segment(rng, 4, 0, records=1, degree=0, init=-16 * DAY, intlen=48 * DAY,
                       scale=2.0e8),
    ]


def variants() -> dict[str, tuple[bytes, list[Segment]]]:
    system = solar_system()
    rng = np.random.default_rng(11)
    out: dict[str, tuple[bytes, list[Segment]]] = {}

    def add(name, segments, **options):
        out[name] = (write_daf(segments, **options), segments)

    add("system_le", system)
    add("system_be", system, big_endian=True)
    add("system_be_no_format", system, big_endian=True, format_word=False)
    # Three summary records, linked last to first: file order is chain order.
    many = [random_segment(rng, 1000 + i, 0, records=1, degree=2) for i in range(60)]
    add("many_summaries", many, per_record=25, chain_reversed=True)
    add("no_segments", [])
    add("truncated", system, truncate=1000)
    add("data_truncated", system, truncate=RECORD * 3 + 100)
    add("not_daf", system, id_word=b"DAF/PCK ")
    add("bad_nd_ni", system, nd=3, ni=5)
    add("summary_overflow", many[:25], nsum_override={0: 26})
    add("chain_loop", system, next_override={0: 2})
    add("chain_two_loop", many, next_override={1: 2})
    add("fward_beyond_eof", system, fward=500)
    add("fward_negative", system, fward=-3)

    def broken(**overrides):
        segment = random_segment(np.random.default_rng(3), 301, 3, records=2)
        for key, value in overrides.items():
            setattr(segment, key, value)
        return [segment]

    add("bad_word_range", broken(word_range=(900, 899)))
    add("word_range_below_4", broken(word_range=(0, 3)))
    add("directory_zero_intlen", broken(directory=(0.0, 0.0, 26.0, 2.0)))
    add("directory_nan_intlen", broken(directory=(0.0, math.nan, 26.0, 2.0)))
    add("directory_small_rsize", broken(directory=(0.0, 16 * DAY, 2.0, 2.0)))
    add("directory_nan_rsize", broken(directory=(0.0, 16 * DAY, math.nan, 2.0)))
    add("directory_negative_n", broken(directory=(0.0, 16 * DAY, 26.0, -2.0)))
    add("directory_rsize_not_multiple", broken(directory=(0.0, 16 * DAY, 27.0, 2.0)))
    # Loads: the records it claims lie beyond the end of the file.
    add("records_beyond_eof", broken(directory=(0.0, 16 * DAY, 26.0, 1.0e6)))
    # RSIZE - 2 a multiple of 3 near 3e18 words: refused without allocating.
    add("huge_rsize", broken(directory=(0.0, 16 * DAY, 3.0e18 + 512, 5.0)))
    add("record_word_zero", broken(word_range=(0, None)))
    odd = Segment(1000, 0, data_type=13, raw_words=[1.0, 2.0, 3.0, 4.0], name=b"HERMITE",
                  start_et=-DAY, end_et=DAY)
    add("type13", [odd] + system[:2])
    # Moon and EMB chained into each other: the walk must stop.
    loop = [random_segment(rng, 301, 3), random_segment(rng, 3, 301)]
    add("segment_loop", loop)
    add("earth_only", [system[2]])
    # Two Moon segments in a row: the walk takes the first, whatever its span.
    later_moon = random_segment(rng, 301, 3, records=2, init=12 * DAY, intlen=4 * DAY)
    add("moon_split", [system[0], later_moon, system[1]])
    # Kernels that claim given spans, for the choice between kernels.
    for label, first, last in (("span_1900_2050", 2415020.5, 2469807.5),
                               ("span_1550_2650", 2287184.5, 2688976.5),
                               ("span_2000_2001", 2451544.5, 2451910.5)):
        segment = random_segment(rng, 10, 0, records=1)
        segment.start_et, segment.end_et = (first - J2000) * DAY, (last - J2000) * DAY
        add(label, [segment])
    return out


def sample_states(segments: list[Segment], rng, count=20):
    """Random epochs inside each Chebyshev segment, as (whole, fraction)."""
    samples = []
    for index, segment in enumerate(segments):
        if segment.data_type not in (2, 3):
            continue
        start, end = segment.init, segment.init + segment.intlen * len(segment.records)
        for _ in range(count):
            et = float(rng.uniform(start, end))
            jd = J2000 + et / DAY
            whole = float(math.floor(jd))
            fraction = (et - (whole - J2000) * DAY) / DAY
            samples.append({"segment": index, "whole": whole, "fraction": fraction,
                            "state": segment.state(et)})
    return samples


def main(directory: str) -> None:
    os.makedirs(directory, exist_ok=True)
    rng = np.random.default_rng(5)
    manifest = {}
    for name, (data, segments) in variants().items():
        path = os.path.join(directory, name + ".bsp")
        with open(path, "wb") as handle:
            handle.write(data)
        entry = {"path": path, "segments": [
            {"target": s.target, "center": s.center, "data_type": s.data_type,
             "init": s.init, "intlen": s.intlen, "n": len(s.records),
             "span": list(s.span())} for s in segments]}
        if name == "system_le":
            entry["samples"] = sample_states(segments, rng)
        manifest[name] = entry
    json.dump(manifest, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])


def excerpt(path: str, first_jd: float, last_jd: float, coefficients=None) -> bytes:
    """The segments of a real kernel cut down to the records covering
    first_jd..last_jd (TDB Julian days), as a small kernel of the same
    bodies; `coefficients` may change each record's array. The summaries
    are read with jplephem, an independent reader."""
    from jplephem.spk import SPK

    kernel = SPK.open(path)
    try:
        segments = []
        for source in kernel.segments:
            init, intlen, rsize, n = source.daf.read_array(source.end_i - 3, source.end_i)
            rsize, n = int(rsize), int(n)
            first = max(0, int(math.floor(((first_jd - J2000) * DAY - init) / intlen)))
            last = min(n, int(math.ceil(((last_jd - J2000) * DAY - init) / intlen)))
            start = source.start_i + first * rsize
            words = source.daf.read_array(start, start + (last - first) * rsize - 1)
            sets = 6 if source.data_type == 3 else 3
            records = [np.array(r[2:]).reshape(sets, -1) for r in words.reshape(-1, rsize)]
            if coefficients is not None:
                records = [coefficients(r) for r in records]
            segments.append(Segment(source.target, source.center, source.data_type,
                                    init + first * intlen, intlen, records, frame=source.frame,
                                    name=f"{source.target} wrt {source.center}".encode()))
        return write_daf(segments)
    finally:
        kernel.close()
