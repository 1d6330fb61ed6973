// The OSC functions of the script interpreters: sendOSC,
// registerOSCPathForParameter and registerOSCPathForParameterNormalized
// (see OscLuaApi.cpp).  The MIDI interpreter registers all three; sendOSC
// needs nothing of the MIDI host and suits any interpreter.  [any, under the
// interpreter's lock]
#pragma once

struct lua_State;

namespace QV {

int luaSendOSC(lua_State *L);
// These two need the MIDI host (registry key of LuaMIDIHelper) and its OSC
// server.
int luaRegisterOSCPathForParameter(lua_State *L);
int luaRegisterOSCPathForParameterNormalized(lua_State *L);

} // namespace QV
