#!/usr/bin/env bash
# Installs what is needed, builds, and starts the game from its folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
cd build/game
exec ./kolvar "$@"
