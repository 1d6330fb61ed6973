#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only those that
# are missing), then configures and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config git dpkg-dev clang-format-14
  libgtest-dev
  libinih-dev libsmf-dev
  libfreetype-dev libftgl-dev libglew-dev libpng-dev zlib1g-dev
  libx11-dev libxtst-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libfontconfig-dev
  libsndfile1-dev nlohmann-json3-dev
  xvfb xauth liblo-tools sox fonts-liberation fonts-dejavu-core
  dpf-plugins-vst ardour python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Windows cross toolchain and wine for the Windows suites.
./scripts/setup-windows.sh

# Lua and oscpack from Debian's source packages, built once into a cache;
# for Windows also the libraries Debian ships for Linux only.
deps_prefix=$(./scripts/deps.sh linux)
./scripts/deps.sh mingw32 > /dev/null
./scripts/deps.sh mingw64 > /dev/null

build_type=${BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B build -DCMAKE_BUILD_TYPE="$build_type" -DMURMELO_DEPS_PREFIX="$deps_prefix" > /dev/null
cmake --build build -j2
