#!/usr/bin/env bash
# Builds and runs the C++ tests (GoogleTest through ctest), then rebuilds
# the extension and runs the Python tests (pytest). Benchmarks are apart:
# see bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
export PATH="$PWD/.venv/bin:$PATH"

cmake -S . -B build/cpp -G Ninja -DQUORVANE_BUILD_TESTS=ON \
  -DPython_EXECUTABLE="$PWD/.venv/bin/python" >/dev/null
cmake --build build/cpp -j2
ctest --test-dir build/cpp --output-on-failure -j2

python -m pip install -q --no-build-isolation .
python -m pytest "$@"
