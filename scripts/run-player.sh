#!/usr/bin/env bash
# Builds everything and runs the player on its embedded default project.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# Until the player window exists, show what the default project holds.
./build/morvane-pack examples/demo -o build/morvane-demo
./build/morvane-inspect build/morvane-demo
