#!/usr/bin/env bash
# Sets everything up, builds the Windows DLLs, then runs the whole test
# suite: the Linux suites (tests that need a display get a private virtual X
# server, Xvfb with Mesa's software OpenGL), the Windows suites of the 64-bit
# build under wine, and the static checks of the 32-bit build.  Arguments go
# to every ctest run (for example -L windows or -R Settings).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build-windows.sh
export LIBGL_ALWAYS_SOFTWARE=1
status=0
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir build --output-on-failure -j2 "$@" || status=1
# The editor tests under wine draw on the virtual X server too.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir build-w64 --output-on-failure -j2 "$@" || status=1
ctest --test-dir build-w32 --output-on-failure -j2 "$@" || status=1
exit $status
