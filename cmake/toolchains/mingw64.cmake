# 64-bit Windows (x86_64-w64-mingw32): cmake -DCMAKE_TOOLCHAIN_FILE=.../mingw64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
