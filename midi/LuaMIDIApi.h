// The global functions MIDI scripts see:
//
//   setParameter, getParameter, getParameterID, getParameterMinMax,
//   getParameterUnit, getParameterName, isParameterUsed, getNumParameters,
//   setOthersParameter, getOthersParameter, requestAllNoteOn,
//   requestAllNoteOff, requestAllCC, requestAllNRPN, requestAllProgramChange,
//   requestAllPolyPressure, requestNoteOn, requestNoteOff, requestCC,
//   requestNRPN, requestPitchWheel, requestChannelPressure,
//   requestProgramChange, requestPolyPressure, time, requestTimedCallback,
//   requestPeriodicCallback, cancelTimer, setGUIBoolValue, getGUIBoolValue,
//   setOthersGUIBoolValue, getOthersGUIBoolValue,
//   and, when the interpreter serves an OSC server, sendOSC,
//   registerOSCPathForParameter and registerOSCPathForParameterNormalized.
//
// The OSC functions belong to the OSC server (osc/OscLuaApi.cpp), which adds
// them through LuaMIDIHelper::setScriptExtension after the others.
//
// A parameter argument is an index (a number or a numeric string, 0..15,
// else "parameter out of range: %d") or an exact, case-sensitive name (else
// "parameter not found: '%s'").  An "offset" selects instances by their
// "OSC Port Offset" (a non-number counts as 0).  Script errors carry the
// fixed texts below without a position prefix.  Values are real values in
// the parameter's unit.  Every function runs under the MIDI host's luaLock.
#pragma once

struct lua_State;

namespace QV {

void registerMidiApi(lua_State *L);

// The C function registered under an API name, null for other names.
using LuaApiFunction = int (*)(lua_State *);
LuaApiFunction midiApiFunction(const char *name);

// A parameter argument (index or exact name) as its index; raises the
// parameter errors above.
int checkParameter(lua_State *L, int arg);

// The timer functions (LuaTimers.cpp).
int luaTime(lua_State *L);
int luaRequestTimedCallback(lua_State *L);
int luaRequestPeriodicCallback(lua_State *L);
int luaCancelTimer(lua_State *L);

} // namespace QV
