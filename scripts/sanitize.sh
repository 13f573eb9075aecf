#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer:
# builds the library and the C++ tests into build/asan and the extension
# into build/asan-py (optimised at -O1 with assertions on), runs ctest, then
# pytest with the ASan runtime preloaded into the (uninstrumented) Python.
#   bash scripts/sanitize.sh [pytest arguments]
# Any sanitizer report fails the run. Leak checking covers the C++ tests;
# under Python it is off (the interpreter keeps memory until exit), and
# tests/python/test_leaks.py watches the extension's memory instead.
set -euo pipefail
cd "$(dirname "$0")/.."
export PATH="$PWD/.venv/bin:$PATH"
started=$SECONDS

# GCC leaves float-to-integer overflow out of -fsanitize=undefined; hostile
# numbers (NaN, 1e308) meet exactly those conversions, so it is added.
common=(-G Ninja -DQUORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g"
        "-DCMAKE_CXX_FLAGS=-fsanitize=float-cast-overflow"
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=float-cast-overflow"
        "-DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=float-cast-overflow"
        -DPython_EXECUTABLE="$PWD/.venv/bin/python")
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

cmake -S . -B build/asan -DQUORVANE_BUILD_TESTS=ON "${common[@]}" >/dev/null
cmake --build build/asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
  ctest --test-dir build/asan --output-on-failure -j2

cmake -S . -B build/asan-py -DQUORVANE_BUILD_PYTHON=ON "${common[@]}" >/dev/null
cmake --build build/asan-py -j2

# libstdc++ is preloaded too: ASan finds the real __cxa_throw only if it is
# there when the runtime starts, and Python itself does not load it.
export LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)"
# Python objects from the system allocator, so ASan sees them too.
export ASAN_OPTIONS=detect_leaks=0
export PYTHONMALLOC=malloc
export PYTHONPATH="$PWD/build/asan-py"
python -c 'import os, quorvane_engine as q, sys
if not os.path.realpath(q.__file__).startswith(os.path.realpath(os.environ["PYTHONPATH"])):
    sys.exit("imported " + q.__file__ + ", not the sanitizer build")'
python -m pytest -p no:cacheprovider "$@"

echo "sanitize.sh: $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s"
