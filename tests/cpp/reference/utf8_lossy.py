"""Random byte strings and Python's lossy UTF-8 decoding of them.

Usage: utf8_lossy.py COUNT SEED; prints "input-hex output-hex" per line.
The bytes favour lead and continuation bytes so that truncated, overlong
and surrogate sequences are common.
"""
import random
import sys

POOL = [0x41, 0x20, 0x7F, 0x80, 0x8F, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1,
        0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF, 0x90, 0x82, 0x00]


def main(count, seed):
    rng = random.Random(seed)
    for _ in range(count):
        data = bytes(rng.choice(POOL) if rng.random() < 0.8 else rng.randrange(256)
                     for _ in range(rng.randrange(0, 12)))
        out = data.decode("utf-8", "replace").encode("utf-8")
        print(data.hex() or "-", out.hex() or "-")


if __name__ == "__main__":
    main(int(sys.argv[1]), int(sys.argv[2]))
