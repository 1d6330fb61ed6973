#!/usr/bin/env bash
# Builds the libraries the plug-in carries inside itself (Lua 5.1 as C++,
# oscpack) from Debian's source packages into a prefix cached outside the
# checkout, and prints that prefix.  Idempotent: the prefix is keyed by the
# source package versions, the build description and the target, so a
# second run costs a second.
#
#   scripts/deps.sh [TARGET]     TARGET: linux (default)
#
# Environment: MURMELO_DEPS_CACHE (default ~/.cache/murmelo-deps).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-linux}
cache=${MURMELO_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/murmelo-deps}
packages=(lua5.1 oscpack)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

log() { echo "deps: $*" >&2; }

case "$target" in
  linux) toolchain=""; multiarch=$(gcc -print-multiarch) ;;
  *) log "unknown target '$target'"; exit 2 ;;
esac

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
key+="|$(cat "$root/deps/CMakeLists.txt" ${toolchain:+"$toolchain"} | sha256sum)"
prefix="$cache/$target-$(echo "$key" | sha256sum | cut -c1-16)"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Unpacked sources are shared by every target.
fetch() {
  local p=$1 v=${version[$1]} dir="$cache/src/$1_${version[$1]}"
  if [ ! -f "$dir/.complete" ]; then
    log "fetching the source of $p $v"
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && apt-get source -qq "$p=$v" > "$cache/fetch-$p.log" 2>&1) ||
      { log "apt-get source $p=$v failed:"; cat "$cache/fetch-$p.log" >&2; exit 1; }
    touch "$dir/.complete"
  fi
  find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1
}
lua_dir=$(fetch lua5.1)
oscpack_dir=$(fetch oscpack)

log "building into $prefix"
build="$cache/build/$target"
rm -rf "$build" "$prefix"
cmake -S "$root/deps" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DLUA_SOURCE_DIR="$lua_dir" -DOSCPACK_SOURCE_DIR="$oscpack_dir" -DDEB_HOST_MULTIARCH="$multiarch" \
  ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} > "$cache/build-$target.log"
cmake --build "$build" -j2 >> "$cache/build-$target.log"
cmake --install "$build" >> "$cache/build-$target.log"
rm -rf "$build"
touch "$prefix/.complete"
echo "$prefix"
