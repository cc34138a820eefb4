#!/usr/bin/env bash
# Configures and builds everything into build/ (the game folder is build/game).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
cmake -S . -B build -DCMAKE_BUILD_TYPE="$BUILD_TYPE" >/dev/null
cmake --build build -j"$(nproc)"
