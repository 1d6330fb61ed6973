#!/usr/bin/env bash
# Builds murmelo.dll and the Windows test programs for 64-bit Windows
# (build-w64/, whose suites run under wine) and 32-bit Windows (build-w32/,
# built and checked but not run: these machines run 64-bit code only).
# Expects scripts/setup.sh to have run (compilers, wine, the Linux build
# whose tool renders the reference sound for the bit-identity test).
set -euo pipefail
cd "$(dirname "$0")/.."

build_type=${BUILD_TYPE:-RelWithDebInfo}
for arch in 64 32; do
  prefix=$(./scripts/deps.sh "mingw$arch")
  cmake -S . -B "build-w$arch" -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw$arch.cmake" \
    -DMURMELO_DEPS_PREFIX="$prefix" -DMURMELO_LINUX_TOOL="$PWD/build/tool/murmelo" -DMURMELO_EDITOR=ON > /dev/null
  cmake --build "build-w$arch" -j2
done
