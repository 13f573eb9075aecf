#!/usr/bin/env bash
# Builds the source distribution and the binary wheel into dist/, and
# repairs the wheel with auditwheel into a manylinux wheel (the lowest
# manylinux tag whose policy the module meets on this machine's glibc).
#   bash scripts/build_wheel.sh          # as from PyPI: the wheel is built from the
#                                        # sdist in a fresh build environment
#   bash scripts/build_wheel.sh --reuse  # the wheel from this tree with the .venv's build
#                                        # tools and the build directory scripts/test.sh
#                                        # keeps (build/py): seconds once that is built
# Prints the paths of the sdist and the repaired wheel, in that order, on its
# last two lines.
set -euo pipefail
cd "$(dirname "$0")/.."
python="${PYTHON:-$PWD/.venv/bin/python}"  # PYTHON: another environment with the build tools
export PATH="$(dirname "$python"):$PATH"
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"  # two cores here

reuse=false
[ "${1:-}" = --reuse ] && reuse=true
rm -rf dist
mkdir -p dist/unrepaired
if $reuse; then
  "$python" -m build --sdist --no-isolation --outdir dist . >/dev/null
  "$python" -m pip wheel -q --no-deps --no-build-isolation --wheel-dir dist/unrepaired .
else
  # Without --sdist or --wheel, build makes the sdist and then the wheel from
  # it: the sdist is proven to carry all that the build needs.
  "$python" -m build --outdir dist/unrepaired .
  mv dist/unrepaired/*.tar.gz dist/
fi

wheel=(dist/unrepaired/*.whl)
"$python" -m auditwheel repair --wheel-dir dist "${wheel[0]}" >&2
rm -rf dist/unrepaired
printf '%s\n' dist/*.tar.gz dist/*.whl
