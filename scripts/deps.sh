#!/usr/bin/env bash
# Installs every Debian package the build, the game and the tests need. Safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  liblua5.2-dev libluabind-dev libboost-dev
  libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri
  xvfb xauth
  libsndfile1-dev libvorbis-dev libogg-dev libopenmpt-dev
  libfluidsynth-dev timgm6mb-soundfont
  libzip-dev zip xdg-utils shared-mime-info
  libgtk-3-dev
  libfreetype-dev libpng-dev libjpeg-dev libstb-dev fonts-dejavu-core
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev  # scripts/fuzz.sh: clang++ -fsanitize=fuzzer (libFuzzer's runtime is in libclang-rt)
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A mirror that drops a download now and then should not fail a fresh machine's build.
retries=(-o Acquire::Retries=3)
$SUDO apt-get "${retries[@]}" update -q
$SUDO apt-get "${retries[@]}" install -y -q --no-install-recommends "${PACKAGES[@]}"
