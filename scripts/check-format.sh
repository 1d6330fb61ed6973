#!/usr/bin/env bash
# Fails when a source file differs from what the checked-in .clang-format
# makes of it, and names the files.  Pinned to clang-format 14 (Debian's
# clang-format-14 package, which scripts/setup.sh installs): other versions
# lay out some constructs differently.  CTest runs it as "source_format".
#
#   scripts/check-format.sh          check the project's own sources
#   scripts/check-format.sh FILE...  check only these
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=""
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" > /dev/null && "$candidate" --version | grep -q 'version 14\.'; then
    formatter=$candidate
    break
  fi
done
if [ -z "$formatter" ]; then
  echo "check-format: clang-format 14 is not installed (apt-get install clang-format-14)" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  # The sources git tracks: never a build tree or a generated file; deps/
  # holds only the recipes for Debian's sources.
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' ':!:deps/*')
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no source files found" >&2
  exit 2
fi

# One run over every file; each difference is reported as
# "FILE:LINE:COLUMN: error: code should be clang-formatted".
status=0
report=$("$formatter" --style=file --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t differing < <(printf '%s\n' "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ "$status" -ne 0 ] && [ ${#differing[@]} -eq 0 ]; then
  printf '%s\n' "$report" >&2
  exit 2
fi
if [ ${#differing[@]} -gt 0 ]; then
  echo "check-format: ${#differing[@]} of ${#files[@]} files differ from .clang-format ($formatter):"
  printf '  %s\n' "${differing[@]}"
  echo "fix with: $formatter -i FILE..."
  exit 1
fi
echo "check-format: ${#files[@]} files match .clang-format ($formatter)"
