#!/usr/bin/env bash
# What a Windows program stored in the registry, read from outside our code:
# write-setting.exe stores an integer the way the plug-in does, then wine's
# own reg.exe lists it, both started from Linux in the suite's wine prefix.
# The value has a name of its own and is deleted again at the end.
#
#   registry-outside.sh WRITE-SETTING.exe
set -euo pipefail
run=$(dirname "$0")/wine-run.sh
key='HKCU\Software\Quorvane\com.quorvane.murmelo'
name='Registry Outside Check'
value=$((40000 + RANDOM))

trap '"$run" reg delete "$key" /v "$name" /f > /dev/null 2>&1 || true' EXIT
"$run" "$1" "$name" "$value"
listing=$("$run" reg query "$key" /v "$name" | tr -d '\r')
expected=$(printf '    %s    REG_DWORD    0x%x' "$name" "$value")
echo "$listing"
if ! grep -qxF -- "$expected" <<< "$listing"; then
  echo "registry-outside: no line \"$expected\" in reg.exe's listing" >&2
  exit 1
fi
