#!/usr/bin/env bash
# A long run of a busy project, to see that the player's memory, open files
# and threads stay flat: ten timers at 10 ms change texts, move objects,
# create and delete run-time objects, fill and empty a list box and switch
# pages, while a sound and a video loop and a peer on 127.0.0.1 sends the
# project's LAN server ten messages a second, each on a connection of its own. Every 30 s it prints the player's
# resident memory, open file descriptors and threads, then the growth after
# the first minute.
#
#   bash scripts/soak.sh MINUTES [BUILD_DIR]
#
# Not part of the tests: it takes as long as it is told to.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:?usage: soak.sh MINUTES [BUILD_DIR]}
build=${2:-build}
player=$build/morvane-player-bare
[ -x "$player" ] || { echo "no $player: build first"; exit 2; }
work=$(mktemp -d /tmp/morvane-soak-XXXXXX)
trap 'kill "${pid:-}" "${peer:-}" 2>/dev/null || true; [ -n "${MORVANE_SOAK_KEEP:-}" ] || rm -rf "$work"' EXIT
project=$work/project
mkdir -p "$project/scripts" "$project/embedded"

ffmpeg -loglevel error -f lavfi -i sine=f=440:d=1 -ac 1 -c:a pcm_s16le "$project/embedded/1-tone.wav"
ffmpeg -loglevel error -f lavfi -i testsrc=s=160x120:r=15:d=2 -c:v cinepak "$project/embedded/2-clip.avi"

timer() {  # number, script
  printf '      - {kind: timer, name: %s, interval: 10, enabled: true, on_timer: !file scripts/t%s.mvs}\n' "$1" "$1"
  printf '%b' "$2" > "$project/scripts/t$1.mvs"
}
{
  cat <<'YAML'
title: Soak
on_lan_message: '#m=#m+1'
embedded_files:
  - "[src]\\tone.wav"
  - "[src]\\clip.avi"
pages:
  - name: Main
    client_width: 400
    client_height: 300
    on_show: !file scripts/show.mvs
    objects:
      - {kind: text, name: 1, left: 10, top: 10, width: 200, height: 20, caption: tick}
      - {kind: text, name: 2, left: 10, top: 40, width: 60, height: 20, caption: moving}
      - {kind: listbox, name: 3, left: 220, top: 10, width: 160, height: 120}
      - {kind: sound, name: 4, file: "[embed]\\tone.wav", loop: true}
      - {kind: video, name: 5, left: 220, top: 140, width: 160, height: 120, file: "[embed]\\clip.avi", loop: true}
      - {kind: text, name: 6, left: 10, top: 200, width: 200, height: 20, caption: a}
      - {kind: text, name: 7, left: 10, top: 230, width: 200, height: 20, caption: b}
YAML
  timer 11 '#n=#n+1\r\n10("1","Main").12("tick "+#n)'
  timer 12 '#x=#x+3\r\n0(#x>150)\r\n#x=0\r\n1\r\n10("2","Main").7(#x,40)'
  # Run-time objects are made on the current page: only while it is Main.
  timer 13 '0(#away=0)\r\n40("button","100")\r\n10("100","Main").7(#x,100)\r\n10("100","Main").0\r\n1'
  timer 14 '10("3","Main").91("item "+#n)\r\n#c=#c+1\r\n0(#c>50)\r\n10("3","Main").90\r\n#c=0\r\n1'
  timer 15 '#p=#p+1\r\n0(#p>300)\r\n#p=0\r\n#away=1\r\n13\r\n1'
  timer 16 '10("6","Main").12("a "+#n)'
  timer 17 '10("7","Main").12("b "+#n)'
  timer 18 '0(#away=0)\r\n40("text","101")\r\n10("101","Main").12("run-time")\r\n10("101","Main").0\r\n1'
  timer 19 '$s="x"+#n'
  timer 20 '10("2","Main").5'
  cat <<'YAML'
  - name: Second
    client_width: 200
    client_height: 100
    options:
      hidden_at_start: true
    objects:
      - {kind: text, name: 1, left: 10, top: 10, width: 180, height: 20, caption: second page}
      - {kind: timer, name: 2, interval: 10, enabled: true, on_timer: !file scripts/back.mvs}
YAML
} > "$project/project.yaml"
# The media travel embedded and are extracted the first time Main shows.
port=$((40000 + $$ % 20000))
printf '0(#media=0)\r\n110(%s)\r\n111("")\r\n106("tone.wav","[embed]\\tone.wav")\r\n106("clip.avi","[embed]\\clip.avi")\r\n#media=1\r\n1\r\n10("4","Main").54\r\n10("5","Main").54' "$port" > "$project/scripts/show.mvs"
printf '#q=#q+1\r\n0(#q>50)\r\n#q=0\r\n#away=0\r\n11\r\n1' > "$project/scripts/back.mvs"

QT_QPA_PLATFORM=offscreen MORVANE_PREFIX=$work/prefix "$player" --headless \
  --quit-after $((minutes * 60000 + 5000)) --trace "$work/trace.jsonl" \
  --dump-vars "$work/vars.json" "$project" > "$work/output.txt" 2>&1 &
pid=$!
# The LAN peer: a message every 100 ms, each on a connection of its own.
(
  sleep 2
  while kill -0 "$pid" 2>/dev/null; do
    { printf 'soak message\r\n' > "/dev/tcp/127.0.0.1/$port"; } 2>/dev/null || true
    sleep 0.1
  done
) &
peer=$!
sample() {
  local rss fds threads
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
  fds=$(ls "/proc/$pid/fd" | wc -l)
  echo "$rss $fds $threads"
}
printf '%8s %10s %6s %8s\n' seconds rss_kb fds threads
first_minute=""
for ((t = 0; t <= minutes * 60; t += 30)); do
  [ "$t" -gt 0 ] && sleep 30
  kill -0 "$pid" 2>/dev/null || { echo "the player ended early:"; tail "$work/output.txt"; exit 1; }
  read -r rss fds threads < <(sample)
  printf '%8d %10d %6d %8d\n' "$t" "$rss" "$fds" "$threads"
  [ "$t" -eq 60 ] && first_minute="$rss $fds $threads"
done
if [ -n "$first_minute" ]; then
  read -r rss0 fds0 threads0 <<< "$first_minute"
  echo "after the first minute: resident memory $(( (rss - rss0) )) KB," \
    "descriptors $(( fds - fds0 )), threads $(( threads - threads0 ))"
fi
wait "$pid" || true
wait "$peer" 2>/dev/null || true
echo "LAN messages the project's script counted: $(grep -o '"m": "[0-9]*"' "$work/vars.json" | grep -o '[0-9]*')"
errors=$(grep -c '"what":"error"\|"event":"message"' "$work/trace.jsonl" || true)
echo "boxes and media errors in the trace: $errors"
