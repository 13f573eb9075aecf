"""Reference states of every segment of a kernel, from jplephem.

Usage: spk_states.py KERNEL COUNT SEED
Prints one line per sample: segment index, TDB whole and fraction (Julian
days), then x y z (km) and vx vy vz (km/s), at random epochs inside each
segment plus both ends of it.
"""
import sys

import numpy as np
from jplephem.spk import SPK


def main(path, count, seed):
    rng = np.random.default_rng(seed)
    kernel = SPK.open(path)
    try:
        for index, segment in enumerate(kernel.segments):
            first, last = segment.start_jd, segment.end_jd
            jd = np.concatenate([[first, last], rng.uniform(first, last, count)])
            # Fractions outside [0, 1) too: the split must not matter.
            whole = np.floor(jd) + rng.integers(-2, 3, jd.size)
            whole[:2] = np.floor(jd[:2])
            fraction = jd - whole
            position, velocity = segment.compute_and_differentiate(whole, fraction)
            velocity = velocity / 86400.0
            for i in range(jd.size):
                values = [whole[i], fraction[i], *position[:, i], *velocity[:, i]]
                print(index, " ".join(repr(float(v)) for v in values))
    finally:
        kernel.close()


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
