#!/usr/bin/env bash
# Builds the SPK fuzz target with clang (libFuzzer, AddressSanitizer and
# UBSan) and runs it for a fixed time, seeded with the synthetic kernels of
# tests/support/spk_writer.py. Not part of CI.
#   bench/fuzz/run_fuzz.sh [seconds]        default 180
# Needs clang and libclang-rt (Debian: apt-get install clang libclang-rt-14-dev).
# Crashing inputs land in bench/fuzz/crashes/: fix the fault, then add the
# input to tests/cpp/fuzz_regressions/ (replayed by spk_test.cpp and seeded
# into the corpus here).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-180}"
out=build/fuzz
mkdir -p "$out" "$out/corpus" bench/fuzz/crashes

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I engine -I . \
  bench/fuzz/spk_fuzz.cpp engine/quorvane/ephemeris/spk.cpp engine/quorvane/ephemeris/kernels.cpp \
  engine/quorvane/error.cpp -o "$out/spk_fuzz"

.venv/bin/python tests/support/spk_writer.py "$out/seeds" >/dev/null
cp "$out"/seeds/*.bsp "$out/corpus/"
if compgen -G "tests/cpp/fuzz_regressions/*" >/dev/null; then
  cp tests/cpp/fuzz_regressions/* "$out/corpus/"
fi

"$out/spk_fuzz" "$out/corpus" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  -timeout=10 -artifact_prefix=bench/fuzz/crashes/ -print_final_stats=1
