# Checks a built murmelo.dll without running it (the 32-bit one cannot run on
# these machines): its PE format, that it exports exactly VSTPluginMain and
# main, undecorated and at one address, and that it imports only DLLs every
# Windows has (libgcc, libstdc++, winpthread and zlib are linked in).
# With -DEDITOR=ON it also wants the imports the editor needs.
#   cmake -DOBJDUMP=... -DMODULE=murmelo.dll -DFORMAT=pei-i386|pei-x86-64 [-DEDITOR=ON] -P CheckModule.cmake
cmake_minimum_required(VERSION 3.20)

set(system_dlls ADVAPI32.dll KERNEL32.dll USER32.dll GDI32.dll SHELL32.dll WS2_32.dll WINMM.dll msvcrt.dll
    OPENGL32.dll GLU32.dll COMDLG32.dll ole32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${MODULE}")
endif()
execute_process(COMMAND ${OBJDUMP} -f ${MODULE} OUTPUT_VARIABLE header)

set(failures "")
if(NOT header MATCHES "file format ${FORMAT}\n")
  string(REGEX MATCH "file format [^\n]*" found "${header}")
  list(APPEND failures "format: ${found} (want ${FORMAT})")
endif()

# Line by line: the name table ("[   0] VSTPluginMain") follows its heading;
# the address table lines read "[   0] +base[   1] 1370 Export RVA".
string(REPLACE ";" "," listing_lines "${listing}")
string(REPLACE "\n" ";" listing_lines "${listing_lines}")
set(names "")
set(addresses "")
set(in_names FALSE)
foreach(line IN LISTS listing_lines)
  if(line MATCHES "Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] ([^ ]+)$")
    list(APPEND names "${CMAKE_MATCH_1}")
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "\\+base\\[ *[0-9]+\\] ([0-9a-f]+) Export RVA")
    list(APPEND addresses "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT names)
if(NOT names STREQUAL "VSTPluginMain;main")
  list(APPEND failures "exports: ${names} (want VSTPluginMain and main, undecorated)")
endif()
list(REMOVE_DUPLICATES addresses)
list(LENGTH addresses distinct)
if(NOT distinct EQUAL 1)
  list(APPEND failures "the two names lead to ${distinct} addresses (${addresses}), not one function")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${listing}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
foreach(dll IN LISTS imports)
  set(known FALSE)
  foreach(system IN LISTS system_dlls)
    string(TOLOWER "${dll}" a)
    string(TOLOWER "${system}" b)
    if(a STREQUAL b)
      set(known TRUE)
    endif()
  endforeach()
  if(NOT known)
    list(APPEND failures "imports ${dll}, which is not a system DLL")
  endif()
endforeach()

# With the editor, its window and drawing need the system's GDI and OpenGL.
if(EDITOR)
  string(TOLOWER "${imports}" lower_imports)
  foreach(needed gdi32.dll opengl32.dll)
    if(NOT needed IN_LIST lower_imports)
      list(APPEND failures "imports no ${needed}: is the editor missing?")
    endif()
  endforeach()
endif()

if(failures)
  string(REPLACE ";" "\n  " failures "${failures}")
  message(FATAL_ERROR "${MODULE}:\n  ${failures}")
endif()
string(REPLACE ";" " " imports "${imports}")
message(STATUS "${MODULE}: ${FORMAT}, exports VSTPluginMain and main (one function), imports ${imports}")
