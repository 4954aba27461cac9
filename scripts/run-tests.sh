#!/usr/bin/env bash
# Builds and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a
# bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
jobs=$(nproc)
fuzz_seconds=${MORVANE_FUZZ_SECONDS:-30}

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizers (address, undefined)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON \
  -DMORVANE_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz (${fuzz_seconds}s per target)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
  -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 4
  rm -rf "$corpus"
done
