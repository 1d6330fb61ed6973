# murmelo_layer(NAME SOURCES... [BELOW LIBRARIES...])
# One folder, one static library murmelo_NAME, linking only what lies below.
# murmelo_NAME_linkcheck links the whole archive into a shared object with
# --no-undefined against those libraries alone: a layer that calls into one
# above it, or into a sibling it does not name, fails to link there.
set(MURMELO_LINKCHECK_SOURCE ${CMAKE_BINARY_DIR}/generated/LinkCheck.cpp)
file(WRITE ${MURMELO_LINKCHECK_SOURCE} "// Nothing: the layer's own archive is the whole content.\n")

function(murmelo_layer name)
  cmake_parse_arguments(L "" "" "BELOW" ${ARGN})
  add_library(murmelo_${name} STATIC ${L_UNPARSED_ARGUMENTS})
  target_include_directories(murmelo_${name} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(murmelo_${name} PUBLIC ${L_BELOW})

  add_library(murmelo_${name}_linkcheck SHARED ${MURMELO_LINKCHECK_SOURCE})
  target_link_libraries(murmelo_${name}_linkcheck PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,murmelo_${name}>")
  target_link_options(murmelo_${name}_linkcheck PRIVATE -Wl,--no-undefined)
endfunction()
