#!/usr/bin/env bash
# Sets everything up, then runs the whole test suite.  Tests that need a
# display get a private virtual X server (Xvfb with Mesa's software OpenGL).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --test-dir build --output-on-failure -j2 "$@"
