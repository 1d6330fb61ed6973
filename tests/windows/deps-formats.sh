#!/usr/bin/env bash
# Every object in the Windows prefixes is COFF for its architecture: the
# 32-bit prefix holds i386 code only, the 64-bit one x86-64 code only (a
# library that slipped through with the host compiler would be ELF).  The
# 32-bit code does its float and double arithmetic with SSE2, as 64-bit code
# does, and none on the x87 stack: the toolchain's flags reached both our own
# targets and the libraries' own builds.
#
#   deps-formats.sh SOURCE_DIR
# Exits 77 (skipped) where the cross compiler is not installed.
set -euo pipefail
src=$1
command -v i686-w64-mingw32-g++-posix > /dev/null ||
  { echo "skipped: no mingw-w64 (scripts/setup-windows.sh installs it)"; exit 77; }

expected_libs="liblua.a liboscpack.a libpng16.a libfreetype.a libftgl.a libglew32.a libsndfile.a libgtest.a libgtest_main.a
  libgmock.a"

check_prefix() {
  local target=$1 format=$2 prefix lib formats
  prefix=$("$src/scripts/deps.sh" "$target")
  for lib in $expected_libs; do
    [ -f "$prefix/lib/$lib" ] || { echo "FAIL: $target prefix has no lib/$lib" >&2; exit 1; }
    formats=$(objdump -f "$prefix/lib/$lib" | awk '/file format/ {print $NF}' | sort -u | tr '\n' ' ')
    if [ "$formats" != "$format " ]; then
      echo "FAIL: $target lib/$lib holds '$formats', wanted $format only" >&2
      exit 1
    fi
  done
  echo "$target: $expected_libs: all $format"
}

# check_sse2 LIB: SSE arithmetic present, x87 arithmetic absent.
check_sse2() {
  local lib=$1 code sse x87
  code=$(i686-w64-mingw32-objdump -d "$lib")
  sse=$(grep -cE '\s(add|sub|mul|div)s[sd]\s' <<< "$code" || true)
  x87=$(grep -cE '\sf(add|sub|mul|div)[lsp]?\s' <<< "$code" || true)
  if [ "$sse" -eq 0 ] || [ "$x87" -ne 0 ]; then
    echo "FAIL: $(basename "$lib"): $sse SSE and $x87 x87 arithmetic instructions" >&2
    exit 1
  fi
  echo "mingw32: $(basename "$lib"): $sse SSE arithmetic instructions, no x87 arithmetic"
}

check_prefix mingw32 pe-i386
prefix32=$("$src/scripts/deps.sh" mingw32)
for lib in liblua.a liboscpack.a libpng16.a libftgl.a libsndfile.a; do check_sse2 "$prefix32/lib/$lib"; done
check_prefix mingw64 pe-x86-64
