#!/usr/bin/env bash
# Installs the cross toolchain for the Windows builds and wine for their
# tests (only what is missing): mingw-w64 with the posix thread model, so
# std::thread and its friends work, zlib for mingw, and wine for both
# architectures.  wine32 needs the i386 architecture in dpkg; on machines
# that cannot run 32-bit code it is still installed, only never started.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev binutils-mingw-w64
  wine wine64 wine32:i386
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup-windows: adding the i386 architecture for wine32"
  $sudo dpkg --add-architecture i386
fi
echo "setup-windows: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
