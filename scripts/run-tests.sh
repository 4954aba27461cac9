#!/usr/bin/env bash
# Builds and runs every test: the fuzz targets for a bounded time, the unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the unit
# tests of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
jobs=$(nproc)
fuzz_seconds=${MORVANE_FUZZ_SECONDS:-30}

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"

echo "== build with sanitizers (address, undefined)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON \
  -DMORVANE_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan -j "$jobs"

echo "== build fuzz targets"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
  -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF -DMORVANE_PLAYER=OFF -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"

echo "== fuzz (${fuzz_seconds}s per target)"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
  echo "-- $name"
  (cd "$corpus" && "$OLDPWD/$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 . > fuzz.log 2>&1) || {
    tail -n 60 "$corpus/fuzz.log"
    echo "fuzz target $name failed; the input is kept in $corpus"
    exit 1
  }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$corpus/fuzz.log" || true
  rm -rf "$corpus"
done

echo "== tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs"
