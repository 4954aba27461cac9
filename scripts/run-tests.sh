#!/usr/bin/env bash
# Builds and runs every test: the fuzz targets over their corpora and a fixed
# number of runs from a fixed seed, the unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the tests of the layers below the player (the
# script engine's threads, the store, the hand-over to the main thread) under
# ThreadSanitizer, then the unit tests of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
jobs=$(nproc)
fuzz_runs=${MORVANE_FUZZ_RUNS:-20000}
fuzz_seed=${MORVANE_FUZZ_SEED:-1}
# The script target runs scripts with threads and waits, whose timing no seed
# fixes, so from one run to the next it would explore differently: in the gate
# it plays its corpus only, and campaigns explore it.
declare -A fuzz_replay_only=([fuzz_script]=1)

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"

echo "== build with sanitizers (address, undefined)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON \
  -DMORVANE_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
cmake --build build-asan -j "$jobs"

echo "== build with the thread sanitizer (the layers below the player and their tests)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_SANITIZE_THREAD=ON \
  -DMORVANE_PLAYER=OFF -DMORVANE_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
cmake --build build-tsan -j "$jobs"

echo "== build fuzz targets"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
  -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF -DMORVANE_PLAYER=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
cmake --build build-fuzz -j "$jobs"

# The gate fuzzes deterministically, so that a commit gives the same result on
# every run: each target plays every input of its committed corpus once (the
# regression check), then a fixed number of runs from a fixed seed. Long,
# random campaigns are scripts/fuzz-campaign.sh; their mended findings join the
# corpus, and so this step.
echo "== fuzz (every corpus input once, then ${fuzz_runs} runs from seed ${fuzz_seed})"
# What the fuzzer sees in comparisons it mutates from, so that has to be the
# same on every run, wherever the checkout lies: the addresses (laid out the
# same each time), the paths in its arguments and the folders the targets'
# worlds live in (one fixed folder, emptied first, the target copied into it),
# and Qt's hash seed. Nothing else shares the corpus, so it is never reloaded
# on a timer.
gate=/tmp/morvane-fuzz-gate
MORVANE_FUZZ_ROOT=$gate/world
same_layout=(setarch "$(uname -m)" -R)
if ! "${same_layout[@]}" true 2>/dev/null; then
  echo "warning: cannot turn address randomisation off here; fuzz runs may differ"
  same_layout=()
fi
# The environment lies on the stack: the targets get a fixed one.
same_layout+=(env -i PATH=/usr/bin:/bin LANG=C.UTF-8 QT_HASH_SEED=0
  "MORVANE_FUZZ_ROOT=$MORVANE_FUZZ_ROOT")
fuzz_flags=(-rss_limit_mb=2048 -timeout=120)
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=fuzz/corpus/${name#fuzz_}
  work=$gate/$name
  rm -rf "$MORVANE_FUZZ_ROOT" "$work"
  mkdir -p "$work/corpus" "$work/findings"
  cp "$target" "$work/$name"
  mapfile -t inputs < <(find "$corpus" -type f 2>/dev/null | LC_ALL=C sort)
  runs=$fuzz_runs
  [ -n "${fuzz_replay_only[$name]:-}" ] && runs=0
  echo "-- $name: ${#inputs[@]} corpus inputs, then $runs runs"
  if [ ${#inputs[@]} -gt 0 ]; then
    "${same_layout[@]}" "$target" "${fuzz_flags[@]}" "${inputs[@]}" > "$work/regression.log" 2>&1 || {
      tail -n 60 "$work/regression.log"
      echo "fuzz target $name fails on its committed corpus (see above; log in $work)"
      exit 1
    }
    # Copied in one order, so the exploration starts from the same corpus.
    for input in "${inputs[@]}"; do cp "$input" "$work/corpus/"; done
  fi
  if [ "$runs" -eq 0 ]; then
    rm -rf "$work"
    continue
  fi
  (cd "$work" && "${same_layout[@]}" "./$name" "${fuzz_flags[@]}" -seed="$fuzz_seed" \
    -runs="$runs" -reload=0 -print_final_stats=1 -artifact_prefix=findings/ corpus > explore.log 2>&1) || {
    tail -n 60 "$work/explore.log"
    echo "fuzz target $name failed from seed $fuzz_seed; the input is in $work/findings:"
    echo "mend it and add it to $corpus/ under a name that says what it holds"
    exit 1
  }
  grep -E '[[:space:]]DONE[[:space:]]|stat::peak_rss_mb' "$work/explore.log" || true
  rm -rf "$work"
done

echo "== tests with sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== tests with the thread sanitizer"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-suppressions.txt" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs"

echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== package"
bash scripts/check-package.sh build
