// The OSC functions of the script interpreters: sendOSC,
// registerOSCPathForParameter and registerOSCPathForParameterNormalized
// (see OscLuaApi.cpp).  The MIDI interpreter gets all three through
// registerOscScriptFunctions; sendOSC needs no server and suits any
// interpreter.  [any, under the interpreter's lock]
#pragma once

struct lua_State;

namespace QV {

class OSCHelper;

int luaSendOSC(lua_State *L);
// These two register paths with the server registerOscScriptFunctions gave
// the interpreter.
int luaRegisterOSCPathForParameter(lua_State *L);
int luaRegisterOSCPathForParameterNormalized(lua_State *L);

// [ui, while the interpreter is set up] Registers all three as globals of L,
// whose path registrations go to server.
void registerOscScriptFunctions(lua_State *L, OSCHelper *server);
// The C function behind one of the three names, null for other names.
using LuaApiFunction = int (*)(lua_State *);
LuaApiFunction oscApiFunction(const char *name);

} // namespace QV
