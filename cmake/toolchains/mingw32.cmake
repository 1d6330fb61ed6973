# 32-bit Windows (i686-w64-mingw32): cmake -DCMAKE_TOOLCHAIN_FILE=.../mingw32.cmake
#
# mingw's i686 compiler does its arithmetic on the x87 stack by default, which
# rounds differently from the SSE2 arithmetic of every 64-bit build; -msse2
# -mfpmath=sse gives the same results.  Windows only promises a 4-byte aligned
# stack to 32-bit code (hosts call us with such stacks), so functions that
# keep SSE values on the stack realign it themselves.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
set(MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
