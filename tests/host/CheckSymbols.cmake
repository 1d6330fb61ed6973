# Fails unless MODULE's dynamic symbol table holds exactly the two entry
# points among its definitions and imports no name of the libraries the
# plug-in carries inside itself (Lua, oscpack, inih): a host process may hold
# other versions of those, and the dynamic linker would bind to them.
# Run with cmake -DNM=... -DMODULE=... -P CheckSymbols.cmake
execute_process(COMMAND ${NM} -D -C ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} could not list ${MODULE}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(defined "")
set(carried "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]+ [TDBRVW] (.+)$")
    list(APPEND defined "${CMAKE_MATCH_1}")
  endif()
  if(line MATCHES "(lua_|luaL_|luaopen_|osc::|IpEndpointName|UdpSocket|SocketReceiveMultiplexer|ini_parse)")
    list(APPEND carried "${line}")
  endif()
endforeach()
list(SORT defined)
if(NOT defined STREQUAL "VSTPluginMain;main")
  message(FATAL_ERROR "${MODULE} defines: ${defined} (want VSTPluginMain and main only)")
endif()
if(carried)
  string(REPLACE ";" "\n  " carried "${carried}")
  message(FATAL_ERROR "${MODULE} imports or exports names of a carried library:\n  ${carried}")
endif()
message(STATUS "${MODULE}: exports VSTPluginMain and main only; no Lua, oscpack or inih names")
