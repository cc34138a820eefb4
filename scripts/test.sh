#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless: GL under Xvfb
# with Mesa's software renderer, audio through SDL's dummy driver.
#
# scripts/test.sh --sanitize does the same in build-san/, every target built
# with AddressSanitizer and UndefinedBehaviorSanitizer and leak checking on;
# scripts/lsan.supp and scripts/ubsan.supp name the third-party findings it
# ignores. Further arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=1
  shift
fi
scripts/deps.sh
export SDL_AUDIODRIVER=dummy
export LIBGL_ALWAYS_SOFTWARE=1
export KOLVAR_REQUIRE_GL=1  # a GL test without a context fails instead of skipping
# -noreset: by default the server resets whenever its last client leaves, and a
# test connecting during that reset finds no display.
xvfb=(xvfb-run -a -s "-screen 0 1024x768x24 -noreset")

if [ "$sanitize" = 0 ]; then
  KOLVAR_WERROR=ON scripts/build.sh  # a compiler warning fails the run
  cd build
  "${xvfb[@]}" ctest --output-on-failure --timeout 600 -j8 -LE bench "$@"
  exit
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVAR_WERROR=ON -DKOLVAR_SANITIZE=ON \
  "${launcher[@]}" >/dev/null
cmake --build build-san -j"$(nproc)"

# Mesa's software renderer is unloaded before the leak check, which would leave
# its frames unnamed and its own suppressions unmatched: keep it loaded. It is
# preloaded ahead of the sanitizer runtime, hence verify_asan_link_order=0.
swrast=$(find /usr/lib /usr/lib64 -name swrast_dri.so -print -quit 2>/dev/null || true)
if [ -z "$swrast" ]; then
  echo "test.sh: swrast_dri.so not found (libgl1-mesa-dri)" >&2
  exit 1
fi
supp="$PWD/scripts"
# No fast_unwind_on_malloc=0: the slow unwinder deadlocks with Mesa's JIT.
# intercept_tls_get_addr=0: gcc 12's runtime takes a malloc'd block that happens
# to sit at a page offset of 16 for an old glibc TLS header and reads the words
# before it, which now and then crashes the leak checker's tracer after a test.
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="suppressions=$supp/ubsan.supp:print_stacktrace=1:halt_on_error=1"
cd build-san
# The checks make the tests several times slower; the time-out grows, no test is skipped.
"${xvfb[@]}" env LD_PRELOAD="$swrast${LD_PRELOAD:+:$LD_PRELOAD}" \
  ctest --output-on-failure --timeout 1800 -j8 -LE bench "$@"
