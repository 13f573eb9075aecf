"""Barycentric states (AU, AU/day) of the chart bodies from jplephem.

Usage: spk_barycentric.py KERNEL WHOLE FRACTION
Prints "code x y z vx vy vz" per body, each chained to the barycentre
through the kernel's segments.
"""
import sys

from jplephem.spk import SPK

AU_KM = 149597870.7
CHAINS = {10: [(0, 10)], 199: [(0, 1), (1, 199)], 299: [(0, 2), (2, 299)],
          301: [(0, 3), (3, 301)], 399: [(0, 3), (3, 399)]}
CHAINS.update({code: [(0, code)] for code in range(4, 10)})


def main(path, whole, fraction):
    kernel = SPK.open(path)
    try:
        for code, chain in CHAINS.items():
            total = [0.0] * 6
            for center, target in chain:
                position, velocity = kernel[center, target].compute_and_differentiate(
                    whole, fraction)
                parts = [p / AU_KM for p in position] + [v / AU_KM for v in velocity]
                total = [a + b for a, b in zip(total, parts)]
            print(code, " ".join(repr(float(v)) for v in total))
    finally:
        kernel.close()


if __name__ == "__main__":
    main(sys.argv[1], float(sys.argv[2]), float(sys.argv[3]))
