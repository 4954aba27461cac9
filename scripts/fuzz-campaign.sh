#!/usr/bin/env bash
# A long fuzzing campaign with a random seed, outside the test gate:
#
#   scripts/fuzz-campaign.sh TARGET SECONDS
#
# TARGET is a fuzz target (fuzz_picture or picture). The campaign works on a
# copy of the target's corpus, so the committed corpus changes only by hand. It
# runs one worker and keeps going after a crash, a timeout or running out of
# memory; every such input is kept in the campaign's folder, named at the end.
# Run it below other work, e.g. `nice -n 10 scripts/fuzz-campaign.sh ...`.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 TARGET SECONDS" >&2
  exit 2
fi
name=${1#fuzz_}
target=fuzz_$name
seconds=$2
build=${MORVANE_FUZZ_BUILD:-build-fuzz}

if [ ! -d "fuzz/corpus/$name" ] && [ ! -f "fuzz/$target.cpp" ]; then
  echo "no fuzz target $target (see fuzz/)" >&2
  exit 2
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
    -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF -DMORVANE_PLAYER=OFF -DCMAKE_CXX_COMPILER=clang++
fi
cmake --build "$build" -j 2 --target "$target"
binary=$PWD/$build/fuzz/$target

out=$PWD/$build/campaigns/$target-$(date -u +%Y%m%d-%H%M%S)
mkdir -p "$out/corpus" "$out/findings"
cp -r "fuzz/corpus/$name/." "$out/corpus/" 2>/dev/null || true

echo "campaign: $target for ${seconds}s in $out (log: $out/fuzz.log)"
# One worker in fork mode: a crash ends the worker, not the campaign.
status=0
(cd "$out" && /usr/bin/time -v -o "$out/time.txt" "$binary" -fork=1 -ignore_crashes=1 \
  -ignore_timeouts=1 -ignore_ooms=1 -max_total_time="$seconds" -rss_limit_mb=2048 \
  -timeout=30 -print_final_stats=1 -artifact_prefix="$out/findings/" corpus \
  > "$out/fuzz.log" 2>&1) || status=$?

runs=$(grep -oE '^#[0-9]+' "$out/fuzz.log" | tail -n 1 | tr -d '#')
echo "== campaign over (exit $status)"
echo "runs: ${runs:-?}"
grep -E 'Elapsed \(wall clock\)|Maximum resident set size' "$out/time.txt" || true
grep -E '^#[0-9]+' "$out/fuzz.log" | tail -n 1 || true

mapfile -t findings < <(find "$out/findings" -type f | sort)
if [ ${#findings[@]} -eq 0 ]; then
  echo "findings: none"
  exit 0
fi
echo "findings (${#findings[@]}) in $out/findings:"
printf '  %s\n' "${findings[@]}"
cat <<EOF
Reproduce one with: $binary FILE
Once it is mended, keep it as a regression input under a name that says what
it holds, e.g.
  cp FILE fuzz/corpus/$name/emf-what-it-shows
and commit it with the mend: the test gate runs every corpus input once.
EOF
exit 1
