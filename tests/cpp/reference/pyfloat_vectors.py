"""Writes `x digits round(x, digits)` lines (hex floats) for the C++ test.

The values mix uniform random doubles over the whole exponent range with
adversarial ones: decimal ties and near-ties (x.xx5 and its neighbours),
halves, integers, huge and tiny magnitudes and negatives.
"""
import math
import random
import sys

count = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000
seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(1 << 30)
rng = random.Random(seed)
out = sys.stdout
out.write(f"# seed {seed}\n")


def emit(x, digits):
    out.write(f"{x.hex()} {digits} {round(x, digits).hex()}\n")


def random_double():
    while True:
        bits = rng.getrandbits(64)
        x = __import__("struct").unpack("<d", bits.to_bytes(8, "little"))[0]
        if math.isfinite(x):
            return x


kinds = 0
while kinds < count:
    digits = rng.randrange(16)
    pick = rng.randrange(8)
    if pick == 0:
        x = random_double()
    elif pick == 1:
        # Decimal ties at the rounding digit, e.g. 2.675 or 0.125.
        m = rng.randrange(10 ** rng.randrange(1, 12))
        x = (m + 0.5) / 10**digits
    elif pick == 2:
        # Neighbours of such ties.
        m = rng.randrange(10 ** rng.randrange(1, 12))
        x = (m + 0.5) / 10**digits
        x = math.nextafter(x, math.inf if rng.random() < 0.5 else -math.inf)
    elif pick == 3:
        # Exact binary ties: halves, quarters, eighths ...
        x = rng.randrange(1 << 20) / (1 << rng.randrange(1, 20))
    elif pick == 4:
        x = rng.uniform(-1000, 1000)
    elif pick == 5:
        x = rng.uniform(-1, 1) * 10.0 ** rng.randrange(-320, 308)
    elif pick == 6:
        x = float(rng.randrange(-(10**17), 10**17))
    else:
        x = rng.uniform(0, 360)
    if rng.random() < 0.3:
        x = -x
    emit(x, digits)
    kinds += 1

for x in (0.0, -0.0, 2.675, 0.125, 0.5, 1.5, 2.5, -0.5, 5e-324, -5e-324, 1.7976931348623157e308,
          -1.7976931348623157e308, 1e22, 1e-22, 0.045, 1.005, 123.456):
    for digits in range(16):
        emit(x, digits)
for digits in (20, 100, 330, 400, 1000, 65535):
    emit(rng.uniform(-1, 1), digits)
    emit(5e-324, digits)
