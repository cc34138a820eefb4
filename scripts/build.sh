#!/usr/bin/env bash
# Configures and builds everything into build/ (the game folder is build/game).
# KOLVAR_WERROR=ON makes every compiler warning an error.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
cmake -S . -B build -DCMAKE_BUILD_TYPE="$BUILD_TYPE" ${KOLVAR_WERROR:+-DKOLVAR_WERROR="$KOLVAR_WERROR"} >/dev/null
cmake --build build -j"$(nproc)"
