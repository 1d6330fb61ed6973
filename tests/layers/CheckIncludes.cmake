# Checks every '#include "..."' line of the plug-in's sources against the
# layer table below, which is the layering's documentation: a folder may
# include its own headers and those of the folders listed for it, nothing
# else.  Every offending line is printed as FILE:LINE; any one fails.
#
#   cmake -DSOURCE_DIR=<tree> -P CheckIncludes.cmake
#
# From the bottom up: platform/ and vst2/ stand alone; core/ is the effect
# object and its model (no host, GUI, network or script types); lua/ is what
# every interpreter shares; midi/, osc/ (which enters the MIDI interpreter)
# and gui/; layout/; plugin/ assembles them all.  host/, bench/ and tool/ are
# programs around the plug-in.  "murmelo/..." names the generated headers
# (the version), open to all.
cmake_minimum_required(VERSION 3.20)

set(allowed_vst2 "")
set(allowed_platform "")
set(allowed_core vst2 platform)
set(allowed_lua platform)
set(allowed_midi lua core vst2 platform)
set(allowed_osc midi lua core vst2 platform)
set(allowed_gui lua core vst2 platform)
set(allowed_layout gui osc lua core vst2 platform)
set(allowed_plugin layout gui osc midi lua core vst2 platform)
set(allowed_host vst2 platform)
set(allowed_bench host core)
set(allowed_tool host plugin layout gui osc midi lua core vst2 platform)
set(layered_folders vst2 platform core lua midi osc gui layout plugin host bench tool)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "give -DSOURCE_DIR=<source tree>")
endif()

set(failures 0)
set(checked 0)
foreach(folder IN LISTS layered_folders)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp
       ${SOURCE_DIR}/${folder}/*.c)
  list(SORT sources)
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    get_filename_component(own_dir ${SOURCE_DIR}/${source} DIRECTORY)
    file(STRINGS ${SOURCE_DIR}/${source} lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\"")
        continue()
      endif()
      set(target ${CMAKE_MATCH_1})
      if(target MATCHES "^([^/]+)/")
        set(to ${CMAKE_MATCH_1})
        if(to STREQUAL folder OR to STREQUAL "murmelo")
          continue()
        endif()
        if(NOT DEFINED allowed_${to} AND NOT to IN_LIST layered_folders)
          message("${source}:${number}: includes \"${target}\": ${to}/ is not in the layer table")
          math(EXPR failures "${failures} + 1")
        elseif(NOT to IN_LIST allowed_${folder})
          string(REPLACE ";" " " allowed "${folder};${allowed_${folder}}")
          message("${source}:${number}: includes \"${target}\": ${folder}/ may not include ${to}/ "
                  "(allowed: ${allowed})")
          math(EXPR failures "${failures} + 1")
        endif()
      elseif(NOT EXISTS ${own_dir}/${target})
        message("${source}:${number}: includes \"${target}\": name a folder (\"${folder}/...\") or use <...>")
        math(EXPR failures "${failures} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no source found under ${SOURCE_DIR}")
endif()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) outside the layer table, in ${checked} files")
endif()
message("${checked} files, every include within the layer table")
