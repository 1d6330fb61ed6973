#!/usr/bin/env bash
# Cross-builds the toolchain smoke program for 64- and 32-bit Windows against
# the prefixes scripts/deps.sh made, checks both files are what Windows
# loads (PE32+ and PE32, system DLLs only), runs the 64-bit one under wine
# and the Linux build of the same source natively, and wants the same output
# from both.  The 32-bit program is checked statically only: these machines
# cannot run 32-bit code.
#
#   toolchain-smoke.sh SOURCE_DIR WORK_DIR
# Exits 77 (skipped) where the cross compiler is not installed.
set -euo pipefail
src=$1
work=$2
here="$src/tests/windows"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

fail() { echo "FAIL: $*" >&2; exit 1; }

for triplet in x86_64-w64-mingw32 i686-w64-mingw32; do
  command -v "$triplet-g++-posix" > /dev/null ||
    { echo "skipped: no $triplet-g++-posix (scripts/setup-windows.sh installs it)"; exit 77; }
done

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# build TARGET: configures and builds the smoke program, prints its path.
build() {
  local target=$1 prefix dir="$work/$1" toolchain=()
  prefix=$("$src/scripts/deps.sh" "$target")
  [ "$target" = linux ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchains/$target.cmake")
  # A new prefix (other package versions) makes every cached search stale.
  [ "$(cat "$dir.prefix" 2> /dev/null)" = "$prefix" ] || rm -rf "$dir"
  echo "$prefix" > "$dir.prefix"
  cmake -S "$here/smoke" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DMURMELO_DEPS_PREFIX="$prefix" \
    "${toolchain[@]}" "${launcher[@]}" > "$dir.log" 2>&1 &&
    cmake --build "$dir" >> "$dir.log" 2>&1 || { cat "$dir.log" >&2; fail "building for $target"; }
  find "$dir" -maxdepth 1 -name 'toolchain_smoke*' -type f -perm -u+x | head -n1
}

# check_pe FILE FORMAT: the object format, and imports of system DLLs only
# (libstdc++, libgcc, winpthread and zlib are linked in).
check_pe() {
  local file=$1 format=$2 dlls
  objdump -f "$file" | grep -q "file format $format" || fail "$file is not $format: $(objdump -f "$file" | grep format)"
  dlls=$(objdump -p "$file" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
  echo "$(basename "$(dirname "$file")"): $format, imports $dlls"
  for dll in $dlls; do
    case "${dll,,}" in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | msvcrt.dll | ws2_32.dll | winmm.dll | \
        opengl32.dll | glu32.dll | shell32.dll | ole32.dll) ;;
      *) fail "$file imports $dll, which is not a system DLL" ;;
    esac
  done
}

mkdir -p "$work"
linux_exe=$(build linux)
win64_exe=$(build mingw64)
win32_exe=$(build mingw32)
check_pe "$win64_exe" pei-x86-64
check_pe "$win32_exe" pei-i386

"$linux_exe" "$font" > "$work/linux.out" || { cat "$work/linux.out"; fail "the Linux build failed its own checks"; }
status=0
"$here/wine-run.sh" "$win64_exe" "Z:$font" > "$work/wine64.out" 2> "$work/wine64.err" || status=$?
[ $status -eq 77 ] && { echo "skipped: wine64 is not installed"; exit 77; }
tr -d '\r' < "$work/wine64.out" > "$work/wine64.txt"
cat "$work/wine64.txt"
[ $status -eq 0 ] || { cat "$work/wine64.err" >&2; fail "the 64-bit program exited with $status under wine"; }
grep -qx "smoke: all passed" "$work/wine64.txt" || fail "the 64-bit program did not pass its own checks"
diff -u "$work/linux.out" "$work/wine64.txt" || fail "the Windows and the Linux builds disagree"
echo "the 64-bit Windows build under wine and the Linux build print the same"
