"""The wheel as a user gets it: built and repaired by scripts/build_wheel.sh,
installed into a fresh virtual environment from another directory with
binaries only (so no compiler and no JSON headers are used), and run there.
Its charts must be the ones the build under test computes."""
import glob
import json
import os
import platform
import subprocess
import sys
import zipfile

import pytest

import quorvane
import quorvane_engine as q
from tests.support.kernels import de440_path

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
KERNEL = de440_path()
pytestmark = [pytest.mark.slow,
              pytest.mark.skipif(KERNEL is None, reason="needs JPL DE440 (the data extra)")]


def run(*command, cwd, **env):
    # Nothing of the build under test on the path unless asked for.
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "VIRTUAL_ENV")} | env
    done = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=1800)
    assert done.returncode == 0, done.stderr[-4000:]
    return done.stdout


@pytest.fixture(scope="module")
def wheel():
    # --reuse: the build directory that scripts/test.sh has just brought up to date.
    out = run("bash", "scripts/build_wheel.sh", "--reuse", cwd=ROOT, PYTHON=sys.executable)
    return os.path.abspath(os.path.join(ROOT, out.split()[-1]))


def fresh_venv(python, where, wheel, extras=""):
    run(python, "-m", "venv", str(where), cwd=where.parent)
    bin_dir = where / "bin"
    # Binaries only, the dependencies' too: nothing may need a compiler.
    run(bin_dir / "python", "-m", "pip", "install", "-q", "--only-binary", ":all:",
        f"{wheel}{extras}", cwd=where.parent)
    return bin_dir


def newer_python():
    """A CPython newer than 3.11 beside this one (pyenv's), or None."""
    root = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    found = sorted(glob.glob(os.path.join(root, "versions", "3.1[2-9]*", "bin", "python3")),
                   key=lambda p: [int(x) for x in p.split(os.sep)[-3].split(".")[:2]])
    return found[-1] if found else None


def test_the_wheel_is_one_portable_stable_abi_build(wheel):
    name = os.path.basename(wheel)
    assert "-cp311-abi3-manylinux_" in name and name.endswith(f"_{platform.machine()}.whl")
    files = zipfile.ZipFile(wheel).namelist()
    assert "quorvane_engine.abi3.so" in files
    # Nothing grafted in: the module needs only what the manylinux policy allows.
    assert not [f for f in files if ".libs/" in f]
    metadata = zipfile.ZipFile(wheel).read(next(f for f in files if f.endswith("METADATA")))
    assert b"License-Expression: MIT" in metadata


def test_installed_wheel_runs_charts_from_another_directory(wheel, tmp_path):
    bin_dir = fresh_venv(sys.executable, tmp_path / "venv", wheel, "[places]")
    work = tmp_path / "elsewhere"
    work.mkdir()
    version = run(bin_dir / "quorvane", "--version", cwd=work)
    assert version.startswith(f"quorvane {q.__version__} (stable ABI module, CPython ")
    chart = run(bin_dir / "quorvane", "chart", "2024-03-20T12:00Z", "51.48", "-0.0",
                "--kernel", KERNEL, "--json", cwd=work)
    engine = q.Engine([KERNEL])
    assert json.loads(chart) == quorvane.natal("2024-03-20T12:00Z", latitude=51.48,
                                               longitude=-0.0, engine=engine)
    placed = json.loads(run(bin_dir / "quorvane", "chart", "1990-07-14 08:30", "--place",
                            "New York", "--kernel", KERNEL, "--json", cwd=work))
    assert placed == quorvane.natal("1990-07-14 08:30", "New York", engine=engine)
    doctor = json.loads(run(bin_dir / "quorvane", "doctor", "--kernel", KERNEL, "--json",
                            cwd=work))
    assert doctor["module"].startswith(str(tmp_path / "venv"))
    assert doctor["places"]["state"] == "ok" and doctor["kernels"][0]["state"] == "ok"
    assert {e["extra"]: e["state"] == "ok" for e in doctor["extras"]} == {
        "data": False, "places": True, "draw": False, "serve": False}


def test_the_same_wheel_serves_a_newer_python(wheel, tmp_path):
    python = newer_python()
    if python is None:
        pytest.skip("no CPython newer than 3.11 here")
    bin_dir = fresh_venv(python, tmp_path / "venv", wheel)
    code = ("import json, sys, quorvane_engine as q; print(json.dumps(q.Engine([sys.argv[1]])"
            ".chart('1600-02-29T23:59:59Z', -33.9, 151.2)))")
    out = run(bin_dir / "python", "-c", code, KERNEL, cwd=tmp_path)
    assert json.loads(out) == q.Engine([KERNEL]).chart("1600-02-29T23:59:59Z", -33.9, 151.2)
