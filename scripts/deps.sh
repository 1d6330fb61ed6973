#!/usr/bin/env bash
# Builds the libraries the plug-in carries inside itself (Lua 5.1 as C++,
# oscpack) from Debian's source packages into a prefix cached outside the
# checkout, and prints that prefix.  Idempotent: the prefix is keyed by the
# source package versions, the build description and the target, so a
# second run costs a second.
#
#   scripts/deps.sh [TARGET]     TARGET: linux (default), mingw32, mingw64
#
# The Windows targets cross-build with mingw-w64 (scripts/setup-windows.sh
# installs it) and add what Debian ships for Linux only: libpng, FreeType,
# FTGL, GLEW and libsndfile (WAV and AIFF only, no external codecs) from
# their source packages and GoogleTest from /usr/src/googletest, all static.
#
# Environment: MURMELO_DEPS_CACHE (default ~/.cache/murmelo-deps).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-linux}
cache=${MURMELO_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/murmelo-deps}
packages=(lua5.1 oscpack)
windows_packages=(libpng1.6 freetype ftgl glew libsndfile)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

log() { echo "deps: $*" >&2; }

describe=("$root/deps/CMakeLists.txt")
case "$target" in
  linux) toolchain=""; multiarch=$(gcc -print-multiarch) ;;
  mingw32) multiarch=i686-w64-mingw32 ;;
  mingw64) multiarch=x86_64-w64-mingw32 ;;
  *) log "unknown target '$target' (linux, mingw32 or mingw64)"; exit 2 ;;
esac
windows=0
if [ "$target" != linux ]; then
  windows=1
  toolchain="$root/cmake/toolchains/$target.cmake"
  describe+=("$root/deps/Windows.cmake" "$toolchain" "$root/cmake/toolchains/MingwCommon.cmake")
  packages+=("${windows_packages[@]}")
  if ! command -v "$multiarch-g++-posix" > /dev/null; then
    log "no $multiarch-g++-posix: run scripts/setup-windows.sh first"
    exit 1
  fi
fi

source_version() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -n1
}

# apt-get source needs the archive's source entries next to its binary ones.
enable_source_entries() {
  local changed=0 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    if grep -q '^Types: deb$' "$f"; then
      $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
      changed=1
    fi
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list &&
    ! grep -q '^deb-src ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo tee -a /etc/apt/sources.list > /dev/null
    changed=1
  fi
  if [ $changed -eq 1 ] || [ -z "$(source_version lua5.1)" ]; then
    log "updating the package lists with source entries"
    $sudo apt-get update -qq
  fi
}

[ -n "$(source_version "${packages[0]}")" ] || enable_source_entries

key="$target"
declare -A version
for p in "${packages[@]}"; do
  version[$p]=$(source_version "$p")
  if [ -z "${version[$p]}" ]; then
    log "no source package '$p' in the package lists"
    exit 1
  fi
  key+="|$p=${version[$p]}"
done
if [ $windows -eq 1 ]; then
  # Binary packages the Windows prefix is built from or with.
  arch=${multiarch%%-*}
  for p in googletest libz-mingw-w64-dev "g++-mingw-w64-${arch//_/-}-posix"; do
    key+="|$p=$(dpkg-query -W -f='${Version}' "$p" 2> /dev/null || true)"
  done
fi
# Comment lines are left out of the key: rewording one costs no rebuild.
key+="|$(grep -hv '^[[:space:]]*#' "${describe[@]}" | sha256sum)"
prefix="$cache/$target-$(echo "$key" | sha256sum | cut -c1-16)"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Unpacked sources are shared by every target.  The archive sometimes serves
# a version's description but not all of its files (a security update whose
# files have moved on): older listed versions are tried next, and as a last
# resort the upstream tarball alone is unpacked, without Debian's patches.
fetch() {
  local p=$1 v=${version[$1]} dir="$cache/src/$1_${version[$1]}" w
  if [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir"
    mkdir -p "$dir"
    for w in $(all_versions "$p"); do
      log "fetching the source of $p $w"
      if (cd "$dir" && apt-get source -qq "$p=$w" > "$cache/fetch-$p.log" 2>&1); then
        echo "$w" > "$dir/.version"
        break
      fi
      find "$dir" -mindepth 1 -maxdepth 1 -type d -exec rm -rf {} +
    done
    [ -f "$dir/.version" ] || unpack_upstream "$p" "$dir"
    touch "$dir/.complete"
  fi
  find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1
}

all_versions() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -Vru
}

unpack_upstream() {
  local p=$1 dir=$2 orig
  orig=$(find "$dir" -maxdepth 1 -name "*.orig.tar.*" ! -name "*.asc" ! -name "*.orig-*" | head -n1)
  if [ -z "$orig" ]; then
    log "apt-get source $p failed for every listed version:"
    cat "$cache/fetch-$p.log" >&2
    exit 1
  fi
  log "warning: only the upstream source of $p could be fetched; building it without Debian's patches"
  tar -xf "$orig" -C "$dir"
  echo "upstream $(basename "$orig")" > "$dir/.version"
}

lua_dir=$(fetch lua5.1)
oscpack_dir=$(fetch oscpack)
extra=()
if [ $windows -eq 1 ]; then
  png_dir=$(fetch libpng1.6)
  freetype_dir=$(fetch freetype)
  ftgl_dir=$(fetch ftgl)
  glew_dir=$(fetch glew)
  sndfile_dir=$(fetch libsndfile)
  extra=(-DPNG_SOURCE_DIR="$png_dir" -DFREETYPE_SOURCE_DIR="$freetype_dir" -DFTGL_SOURCE_DIR="$ftgl_dir"
    -DGLEW_SOURCE_DIR="$glew_dir" -DSNDFILE_SOURCE_DIR="$sndfile_dir" -DGTEST_SOURCE_DIR=/usr/src/googletest)
fi

log "building into $prefix (log: $cache/build-$target.log)"
# One build folder per prefix: developers sharing the cache may build other
# descriptions of the same target at the same time.
build="$cache/build/$(basename "$prefix")"
rm -rf "$build" "$prefix"
run() { "$@" >> "$cache/build-$target.log" 2>&1 || { log "failed: $*"; tail -n 40 "$cache/build-$target.log" >&2; exit 1; }; }
: > "$cache/build-$target.log"
# A rebuild after a change to the build description mostly hits ccache.
command -v ccache > /dev/null && extra+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
run cmake -S "$root/deps" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DLUA_SOURCE_DIR="$lua_dir" -DOSCPACK_SOURCE_DIR="$oscpack_dir" -DDEB_HOST_MULTIARCH="$multiarch" \
  ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} "${extra[@]}"
run cmake --build "$build" -j2
run cmake --install "$build"
rm -rf "$build"
touch "$prefix/.complete"
echo "$prefix"
