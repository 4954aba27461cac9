#!/usr/bin/env bash
# Builds everything and runs the player on its embedded default project.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# The demo project packed into a copy of the player. Until the player window
# exists, the copy is of morvane-inspect, which shows what the project holds.
./build/morvane-pack examples/demo -o build/morvane-demo
./build/morvane-demo
