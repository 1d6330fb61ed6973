# The libraries a Windows build needs beyond Lua and oscpack, which Debian
# ships for Linux only: libpng, FreeType, FTGL, GLEW and libsndfile from
# Debian's source packages and GoogleTest from /usr/src/googletest, each
# built by its own CMake build where that works (FTGL's does not, see below)
# under the same toolchain, static, into the same prefix.  zlib comes from
# libz-mingw-w64-dev, in the compiler's own root.
include(ExternalProject)

foreach(dir PNG_SOURCE_DIR FREETYPE_SOURCE_DIR FTGL_SOURCE_DIR GLEW_SOURCE_DIR SNDFILE_SOURCE_DIR GTEST_SOURCE_DIR)
  set(${dir} "" CACHE PATH "Unpacked source of a library for the Windows build")
  if(NOT EXISTS "${${dir}}")
    message(FATAL_ERROR "${dir} is not set to an unpacked source package")
  endif()
endforeach()

# Every sub-build uses our toolchain (and so its flags) and finds what the
# earlier ones installed through the prefix.
set(sub_args
  -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
  -DMURMELO_DEPS_PREFIX=${CMAKE_INSTALL_PREFIX}
  -DCMAKE_INSTALL_PREFIX=${CMAKE_INSTALL_PREFIX}
  -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON
  -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
  -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})

function(murmelo_dep name source)
  cmake_parse_arguments(D "" "SOURCE_SUBDIR" "DEPENDS;ARGS" ${ARGN})
  ExternalProject_Add(${name}
    SOURCE_DIR ${source}
    SOURCE_SUBDIR ${D_SOURCE_SUBDIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${name}
    CMAKE_ARGS ${sub_args} ${D_ARGS}
    DEPENDS ${D_DEPENDS}
    # The prefix is one install tree; sub-builds install as they finish.
    INSTALL_COMMAND ${CMAKE_COMMAND} --install . --prefix ${CMAKE_INSTALL_PREFIX}
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
endfunction()

murmelo_dep(libpng ${PNG_SOURCE_DIR}
  ARGS -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF)

# Only what TrueType files need: no bzip2, no PNG glyphs, no shaping.
murmelo_dep(freetype ${FREETYPE_SOURCE_DIR}
  ARGS -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON
  -DFT_DISABLE_BROTLI=ON)

# FTGL's own CMake build names a header the release does not ship (Debian
# builds it with autotools), so it is a target of ours, built against the
# FreeType above once that is installed.
file(GLOB ftgl_files ${FTGL_SOURCE_DIR}/src/*.cpp ${FTGL_SOURCE_DIR}/src/FTFont/*.cpp
  ${FTGL_SOURCE_DIR}/src/FTGlyph/*.cpp ${FTGL_SOURCE_DIR}/src/FTLayout/*.cpp)
add_library(ftgl STATIC ${ftgl_files})
add_dependencies(ftgl freetype)
target_include_directories(ftgl PRIVATE ${FTGL_SOURCE_DIR}/src ${FTGL_SOURCE_DIR}/cmake
  ${CMAKE_INSTALL_PREFIX}/include/freetype2)
target_include_directories(ftgl INTERFACE $<INSTALL_INTERFACE:include>)
target_compile_definitions(ftgl PRIVATE FTGL_LIBRARY_STATIC _USE_MATH_DEFINES
  PACKAGE_VERSION="2.4.0")
target_compile_definitions(ftgl INTERFACE FTGL_LIBRARY_STATIC)
target_compile_options(ftgl PRIVATE -w)
install(TARGETS ftgl EXPORT MurmeloDeps ARCHIVE DESTINATION lib)
install(DIRECTORY ${FTGL_SOURCE_DIR}/src/FTGL DESTINATION include FILES_MATCHING PATTERN "*.h")

murmelo_dep(glew ${GLEW_SOURCE_DIR} SOURCE_SUBDIR build/cmake ARGS -DBUILD_UTILS=OFF)

# libsndfile for the command-line tool's sound files: the formats it reads
# and writes itself (WAV, AIFF and the other uncompressed ones); FLAC, Ogg
# and MPEG would need codec libraries that are not built here.  Exported as
# MurmeloDeps::sndfile, a name for the archive its own build installs.
murmelo_dep(libsndfile ${SNDFILE_SOURCE_DIR}
  ARGS -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF
  -DBUILD_REGTEST=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=OFF
  -DINSTALL_PKGCONFIG_MODULE=OFF)
add_library(sndfile INTERFACE)
add_dependencies(sndfile libsndfile)
target_include_directories(sndfile INTERFACE $<INSTALL_INTERFACE:include>)
target_link_libraries(sndfile INTERFACE $<INSTALL_INTERFACE:$<INSTALL_PREFIX>/lib/libsndfile.a>)
install(TARGETS sndfile EXPORT MurmeloDeps)

murmelo_dep(googletest ${GTEST_SOURCE_DIR} ARGS -DINSTALL_GTEST=ON -DBUILD_GMOCK=ON)
