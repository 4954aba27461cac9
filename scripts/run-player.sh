#!/usr/bin/env bash
# Builds everything and runs the player on its embedded default project.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# build/morvane-player is the player with the demo project packed into it;
# --demo runs the demo rather than the start window. It ends with exit code 1,
# as the player always does. Without a display it runs headless for three
# seconds and leaves pictures of the pages in build/demo-shots.
status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ./build/morvane-player --demo "$@" || status=$?
else
  echo "No display: running the demo headless; its pictures go to build/demo-shots"
  ./build/morvane-player --demo --headless --quit-after 3000 --screenshot build/demo-shots "$@" || status=$?
fi
[ "$status" -le 1 ]
