#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and UBSan)
# and runs each for a fixed time. Not part of CI.
#   bench/fuzz/run_fuzz.sh [seconds per target] [target ...]
# Targets: spk (kernel loader and evaluation), instant (moment parser and
# text round trip), orbs (orb-settings merge, number reader, natal and cross
# aspects against a plain reading of the rules), calendar (calendar reader,
# BaZi and Zi Wei over what it reads), criteria (election criteria reader
# and resolution). Default: all, 180 s each.
# Needs clang and libclang-rt (Debian: apt-get install clang libclang-rt-14-dev).
# Seeds: synthetic kernels (tests/support/spk_writer.py), literals of the
# test files (bench/fuzz/seeds.py), real calendars over DE440 when it is
# installed, and every kept regression input. Crashing inputs land in
# bench/fuzz/crashes/: fix the fault, then add the input to
# tests/cpp/fuzz_regressions/ (spk: *.bsp, replayed by spk_test.cpp; the
# others: <target>/*, replayed by fuzz_regressions_test.cpp).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-180}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(spk instant orbs calendar criteria); fi
out=build/fuzz
mkdir -p "$out" bench/fuzz/crashes

PATH="$PWD/.venv/bin:$PATH" cmake -S bench/fuzz -B "$out" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DPython_EXECUTABLE="$PWD/.venv/bin/python" >/dev/null
cmake --build "$out" -j2

.venv/bin/python bench/fuzz/seeds.py "$out/seeds" >/dev/null
.venv/bin/python tests/support/spk_writer.py "$out/seeds/spk" >/dev/null
kernel="$(.venv/bin/python tests/support/kernels.py)"
if [ -n "$kernel" ]; then
  "$out/calendar_seeds" "$kernel" "$out/seeds/calendar" || true
fi

for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  cp -r "$out/seeds/$target/." "$corpus/"
  if [ "$target" = spk ]; then
    if compgen -G "tests/cpp/fuzz_regressions/*.bsp" >/dev/null; then
      cp tests/cpp/fuzz_regressions/*.bsp "$corpus/"
    fi
    max_len=65536
  else
    if [ -d "tests/cpp/fuzz_regressions/$target" ]; then
      cp -r "tests/cpp/fuzz_regressions/$target/." "$corpus/"
    fi
    max_len=8192
  fi
  echo "== $target: $seconds s"
  "$out/${target}_fuzz" "$corpus" -max_total_time="$seconds" -max_len="$max_len" \
    -rss_limit_mb=2048 -timeout=10 -artifact_prefix="bench/fuzz/crashes/${target}-" \
    -print_final_stats=1
done
