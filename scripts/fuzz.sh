#!/usr/bin/env bash
# Builds every libFuzzer harness with clang in build-fuzz/ (AddressSanitizer,
# UndefinedBehaviorSanitizer, coverage of the game's own libraries) and runs
# each one: first over every file of its folder in tests/corpus/ and its seeds
# from the shipped data, whole, then fuzzing from them for a few seconds. A
# crash, leak, timeout or sanitizer report fails the run; the input that did
# it is kept in build-fuzz/fuzz-artifacts/ (add it to tests/corpus/<kind>/).
#
# KOLVAR_FUZZ_SECONDS sets the fuzzing time of each harness (default 30) and
# KOLVAR_FUZZ_JOBS how many build and fuzz at once (default: every core);
# harnesses named as arguments run alone (say: scripts/fuzz.sh image midi).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh

seconds="${KOLVAR_FUZZ_SECONDS:-30}"
jobs="${KOLVAR_FUZZ_JOBS:-$(nproc)}"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVAR_FUZZ=ON -DKOLVAR_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz

out="$root/build-fuzz"
game="$out/game"
rm -rf "$out/fuzz-logs" "$out/fuzz-artifacts"
mkdir -p "$out/fuzz-logs" "$out/fuzz-artifacts"
# Scratch folders of the harnesses; memory spares the disk the high-score save's sync.
base=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
run=$(mktemp -d "$base/kolvar-fuzz-run.XXXXXX")
trap 'rm -rf "$run"' EXIT

export SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"
# Recoverable reports stop the harness too; luabind's alignment is the library's.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/scripts/ubsan.supp"

# name  max_len  timeout  seed folders of the shipped data (besides tests/corpus/<name>)
harnesses=(
  "image 4096 10"
  "mesh 4096 10"
  "midi 4096 10"
  "ini 4096 10"
  "shader 4096 10"
  "font 4096 10"
  "archive 4096 10"
  "playlist 4096 20"
  "sound 4096 10 @sounds"
  "highscores 8192 10"
  "theme_script 4096 20"
  "rules 4096 10 $root/data/scripts/general"
  "field_shape 4096 10 $root/data/fields"
)

# One harness: replay, fuzz, and (theme scripts) the leak replay. Output goes to its log.
fuzz_one() {
  local name=$1 maxlen=$2 timeout=$3
  shift 3
  local bin="$out/fuzz/fuzz_$name" dir="$run/$name"
  mkdir -p "$dir/corpus" "$dir/tmp"
  local seeds=()
  [ -d "$root/tests/corpus/$name" ] && seeds+=("$root/tests/corpus/$name")
  local s
  for s in "$@"; do
    if [ "$s" = @sounds ]; then
      mkdir -p "$dir/seeds"
      cp "$game"/data/audio/* "$game"/themes/*/*.wav "$dir/seeds/" || return 1
      seeds+=("$dir/seeds")
    else
      seeds+=("$s")
    fi
  done
  if [ ${#seeds[@]} -eq 0 ]; then
    echo "fuzz.sh: no seeds for $name" >&2
    return 1
  fi
  local common=(-timeout="$timeout" -artifact_prefix="$out/fuzz-artifacts/$name-" -print_final_stats=1)
  # The theme scripts' luabind leaks are told apart from ours only with the slow
  # unwinder, too slow to fuzz with: the fuzzing checks no leak, not even at its
  # exit, and the replay of what it found checks them all.
  local fast=() slow=()
  if [ "$name" = theme_script ]; then
    fast=(env ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0")
    slow=(env ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0")
  fi
  cd "$dir"
  export TMPDIR="$dir/tmp"
  # Whole inputs first (no -max_len: nothing is cut), then fuzzing from them.
  echo "== replay: ${seeds[*]}"
  "${slow[@]}" "$bin" -runs=0 "${common[@]}" "${seeds[@]}" || return 1
  echo "== fuzz for ${seconds}s"
  # A fixed seed: each run tries the same inputs in the same order, so a pass
  # here is a pass in CI, and a new finding is one that can be tried again.
  "${fast[@]}" "$bin" -seed=1 -max_total_time="$seconds" -max_len="$maxlen" "${common[@]}" "$dir/corpus" "${seeds[@]}" ||
    return 1
  if [ ${#slow[@]} -gt 0 ]; then
    echo "== leak replay of the new inputs"
    "${slow[@]}" "$bin" -runs=0 "${common[@]}" "$dir/corpus" || return 1
  fi
}

selected=()
for entry in "${harnesses[@]}"; do
  name=${entry%% *}
  if [ $# -eq 0 ] || [[ " $* " == *" $name "* ]]; then selected+=("$entry"); fi
done
if [ ${#selected[@]} -eq 0 ]; then
  echo "fuzz.sh: no harness named $*" >&2
  exit 2
fi

start=$SECONDS
names=()
for entry in "${selected[@]}"; do
  # shellcheck disable=SC2086  # the entry's words are the arguments
  set -- $entry
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  log="$out/fuzz-logs/$1"
  (if fuzz_one "$@"; then echo ok >"$log.status"; else echo failed >"$log.status"; fi) >"$log.log" 2>&1 &
  names+=("$1")
done
wait

failed=()
for name in "${names[@]}"; do
  log="$out/fuzz-logs/$name"
  if [ "$(cat "$log.status" 2>/dev/null)" = ok ]; then
    runs=$(grep -h 'stat::number_of_executed_units' "$log.log" | awk '{n += $2} END {print n + 0}')
    echo "fuzz: $name ok ($runs inputs)"
  else
    failed+=("$name")
    echo "fuzz: $name FAILED (build-fuzz/fuzz-logs/$name.log):"
    tail -n 60 "$log.log" | sed 's/^/    /'
  fi
done
echo "fuzz: ${#names[@]} harnesses in $((SECONDS - start)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}; their inputs are in build-fuzz/fuzz-artifacts/" >&2
  exit 1
fi
