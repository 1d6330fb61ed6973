# Shared part of the Windows cross toolchains (mingw-w64 from Debian with the
# posix thread model, so std::thread, std::mutex and their friends work).
# Included by mingw32.cmake and mingw64.cmake after they set MINGW_TRIPLET.
#
# Libraries are searched in the compiler's own root (zlib from
# libz-mingw-w64-dev lives there) and, when the build passes
# -DMURMELO_DEPS_PREFIX=..., in the prefix that scripts/deps.sh built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
if(MURMELO_DEPS_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${MURMELO_DEPS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# libz-mingw-w64-dev also ships zlib1.dll with its import library, which a
# search would otherwise prefer: a plug-in DLL must not need it.
set(ZLIB_USE_STATIC_LIBS ON)

# Floating point as on Linux: no fused multiply-add behind our back, so the
# same source gives the same bits on both systems.
# GCC cannot realign the stack beyond 16 bytes for Windows (GCC bug 54412),
# yet may spill 32-byte AVX values with aligned moves; the assembler turns
# every aligned vector move into an unaligned one, which costs nothing on
# processors that have AVX.
set(MINGW_ARCH_FLAGS "${MINGW_ARCH_FLAGS} -ffp-contract=off -Wa,-muse-unaligned-vector-move")
set(CMAKE_C_FLAGS_INIT "${MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${MINGW_ARCH_FLAGS}")

# Programs and DLLs carry libgcc, libstdc++ and winpthread inside them, so
# they need nothing but the system's own DLLs.  -static only makes the linker
# prefer static archives; the system libraries have import libraries only.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endforeach()
