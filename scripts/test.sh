#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless: GL under Xvfb
# with Mesa's software renderer, audio through SDL's dummy driver.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
KOLVAR_WERROR=ON scripts/build.sh  # a compiler warning fails the run
export SDL_AUDIODRIVER=dummy
export LIBGL_ALWAYS_SOFTWARE=1
cd build
export KOLVAR_REQUIRE_GL=1  # a GL test without a context fails instead of skipping
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure --timeout 600 -j8 -LE bench "$@"
