#!/usr/bin/env bash
# Runs a 64-bit Windows program under wine in the test suite's own prefix.
#
#   wine-run.sh --init          create the prefix (once; about 15 s)
#   wine-run.sh PROGRAM.exe ARGS...
#   wine-run.sh --stop          end this prefix's wine server
#
# The 64-bit loader is started directly: Debian's /usr/bin/wine always
# starts the 32-bit one, and some machines cannot run 32-bit code at all.
# Each program gets a wine server of its own, which ends a few seconds after
# it: a server kept for the whole run would keep wine's own background
# processes alive, and they hold the test's output pipes, so CTest would
# wait for ever.  Nothing may wait for a person: no display (so no window
# or message box can open) unless the program is one that drives windows
# itself, no offer to install Mono or Gecko, no debug chatter.
# Environment: MURMELO_WINEPREFIX (default: $TMPDIR/murmelo-wine-$UID);
# MURMELO_WINE_DISPLAY=1 keeps $DISPLAY (a virtual X server of the test run)
# for programs that open windows and read their pixels.
set -euo pipefail
export WINEPREFIX=${MURMELO_WINEPREFIX:-${TMPDIR:-/tmp}/murmelo-wine-$(id -u)}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset WAYLAND_DISPLAY
[ "${MURMELO_WINE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ] || unset DISPLAY
loader=/usr/lib/wine/wine64

if [ ! -x "$loader" ]; then
  echo "wine-run: no $loader (scripts/setup-windows.sh installs wine64)" >&2
  exit 77
fi

init_prefix() {
  [ -f "$WINEPREFIX/.murmelo-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  # Two test programs may ask at once; the first creates, the other waits.
  exec 9> "$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.murmelo-ready" ]; then
    "$loader" wineboot --init < /dev/null > "$WINEPREFIX.init.log" 2>&1 ||
      { echo "wine-run: wineboot failed:" >&2; cat "$WINEPREFIX.init.log" >&2; exit 1; }
    /usr/lib/wine/wineserver64 -w
    touch "$WINEPREFIX/.murmelo-ready"
  fi
  flock -u 9
}


case "${1:-}" in
  --init) init_prefix ;;
  --stop) [ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver64 -k 2> /dev/null || true ;;
  "") echo "usage: wine-run.sh --init | --stop | PROGRAM.exe ARGS..." >&2; exit 2 ;;
  *) init_prefix; exec "$loader" "$@" < /dev/null ;;
esac
