#include "midi/LuaMIDIApi.h"

#include "core/QrvMurmelo.h"
#include "lua/LuaSupport.h"
#include "lua/ScriptBudget.h"
#include "midi/LuaMIDIHelper.h"

#include <cmath>
#include <cstring>
#include <lauxlib.h>
#include <lua.h>

namespace QV {

namespace {

using murmelo::QrvMurmelo;

LuaMIDIHelper &host(lua_State *L) { return *LuaMIDIHelper::fromState(L); }
QrvMurmelo &effect(lua_State *L) { return *host(L).getOwner(); }

// ---- parameters ----

int lookupParameterName(lua_State *L, int arg) {
    std::size_t length = 0;
    const char *name = luaL_checklstring(L, arg, &length);
    const auto *lookup =
        static_cast<const std::map<std::string, int> *>(ScriptBudget::pointer(L, LuaMIDIHelper::kParamLookup));
    const auto found = lookup->find(std::string(name, length));
    if (found == lookup->end()) raiseError(L, "parameter not found: '%s'", name);
    return found->second;
}

// A value to store: any number whose 32-bit float is finite.  An infinite
// or NaN value would poison the delay lines through the feedback path for
// good, so it is refused like a value of the wrong type.
float checkValue(lua_State *L, int arg) {
    const float value = static_cast<float>(luaL_checknumber(L, arg));
    if (!std::isfinite(value)) luaL_argerror(L, arg, "finite number expected");
    return value;
}

int setParameter(lua_State *L) {
    const int index = checkParameter(L, 1);
    const float value = checkValue(L, 2);
    effect(L).writeParameter(index, value, murmelo::ParameterRoad::Direct);
    return 0;
}

int getParameter(lua_State *L) {
    const int index = checkParameter(L, 1);
    lua_pushnumber(L, effect(L).currentProgram()->getValue(index));
    return 1;
}

int getParameterID(lua_State *L) {
    lua_pushinteger(L, lookupParameterName(L, 1));
    return 1;
}

int getParameterMinMax(lua_State *L) {
    const murmelo::ParameterInfo &info = murmelo::parameterInfo(checkParameter(L, 1));
    lua_pushnumber(L, info.minimum);
    lua_pushnumber(L, info.maximum);
    return 2;
}

int getParameterUnit(lua_State *L) {
    lua_pushinteger(L, murmelo::parameterInfo(checkParameter(L, 1)).unit);
    return 1;
}

int getParameterName(lua_State *L) {
    lua_pushstring(L, murmelo::parameterInfo(checkParameter(L, 1)).name);
    return 1;
}

int isParameterUsed(lua_State *L) {
    const int index = checkParameter(L, 1);
    lua_pushboolean(L, host(L).isParameterUsed(index));
    return 1;
}

int getNumParameters(lua_State *L) {
    lua_pushinteger(L, murmelo::kNumParameters);
    return 1;
}

int setOthersParameter(lua_State *L) {
    const std::int32_t offset = toInt32(L, 1);
    const int index = checkParameter(L, 2);
    QrvMurmelo::setOthersParameter(offset, index, checkValue(L, 3));
    return 0;
}

int getOthersParameter(lua_State *L) {
    const std::int32_t offset = toInt32(L, 1);
    const int index = checkParameter(L, 2);
    lua_pushnumber(L, QrvMurmelo::getOthersParameter(offset, index));
    return 1;
}

// ---- handler registration ----

int reference(lua_State *L, int arg) {
    lua_pushvalue(L, arg);
    return luaL_ref(L, LUA_REGISTRYINDEX);
}

int requestAll(lua_State *L, MidiEventKind kind, const char *name) {
    if (!lua_isfunction(L, 1)) raiseError(L, "first argument to %s() is not a function", name);
    host(L).addHandler(kind, reference(L, 1));
    return 0;
}

int requestKeyed(lua_State *L, MidiEventKind kind, const char *name) {
    const std::int32_t key = checkInt32(L, 1);
    if (!lua_isfunction(L, 2)) raiseError(L, "second argument to %s() is not a function", name);
    host(L).addKeyedHandler(kind, key, reference(L, 2));
    return 0;
}

using Kind = MidiEventKind;
int requestAllNoteOn(lua_State *L) { return requestAll(L, Kind::NoteOn, "requestAllNoteOn"); }
int requestAllNoteOff(lua_State *L) { return requestAll(L, Kind::NoteOff, "requestAllNoteOff"); }
int requestAllCC(lua_State *L) { return requestAll(L, Kind::ControlChange, "requestAllCC"); }
int requestAllNRPN(lua_State *L) { return requestAll(L, Kind::NRPN, "requestAllNRPN"); }
int requestAllProgramChange(lua_State *L) { return requestAll(L, Kind::ProgramChange, "requestAllProgramChange"); }
int requestAllPolyPressure(lua_State *L) { return requestAll(L, Kind::PolyPressure, "requestAllPolyPressure"); }
int requestPitchWheel(lua_State *L) { return requestAll(L, Kind::PitchWheel, "requestPitchWheel"); }
int requestChannelPressure(lua_State *L) { return requestAll(L, Kind::ChannelPressure, "requestChannelPressure"); }
int requestNoteOn(lua_State *L) { return requestKeyed(L, Kind::NoteOn, "requestNoteOn"); }
int requestNoteOff(lua_State *L) { return requestKeyed(L, Kind::NoteOff, "requestNoteOff"); }
int requestCC(lua_State *L) { return requestKeyed(L, Kind::ControlChange, "requestCC"); }
int requestNRPN(lua_State *L) { return requestKeyed(L, Kind::NRPN, "requestNRPN"); }
int requestProgramChange(lua_State *L) { return requestKeyed(L, Kind::ProgramChange, "requestProgramChange"); }
int requestPolyPressure(lua_State *L) { return requestKeyed(L, Kind::PolyPressure, "requestPolyPressure"); }

// ---- indicators ----

int checkIndicator(lua_State *L, int arg) {
    const std::int32_t id = checkInt32(L, arg);
    if (id < 0 || id > 7) raiseError(L, "indicator id out of range: %d", static_cast<int>(id));
    return id;
}

int setGUIBoolValue(lua_State *L) {
    const int id = checkIndicator(L, 1);
    host(L).setGUIBoolValue(id, lua_toboolean(L, 2) != 0);
    return 0;
}

int getGUIBoolValue(lua_State *L) {
    const int id = checkIndicator(L, 1);
    lua_pushboolean(L, host(L).getGUIBoolValue(id));
    return 1;
}

int setOthersGUIBoolValue(lua_State *L) {
    const std::int32_t offset = toInt32(L, 1);
    const int id = checkIndicator(L, 2);
    QrvMurmelo::setOthersGuiFlag(offset, id, lua_toboolean(L, 3) != 0);
    return 0;
}

int getOthersGUIBoolValue(lua_State *L) {
    const std::int32_t offset = toInt32(L, 1);
    const int id = checkIndicator(L, 2);
    lua_pushboolean(L, QrvMurmelo::getOthersGuiFlag(offset, id));
    return 1;
}

const luaL_Reg kFunctions[] = {
    {"setParameter", setParameter},
    {"getParameter", getParameter},
    {"getParameterID", getParameterID},
    {"getParameterMinMax", getParameterMinMax},
    {"getParameterUnit", getParameterUnit},
    {"getParameterName", getParameterName},
    {"isParameterUsed", isParameterUsed},
    {"getNumParameters", getNumParameters},
    {"setOthersParameter", setOthersParameter},
    {"getOthersParameter", getOthersParameter},
    {"requestAllNoteOn", requestAllNoteOn},
    {"requestAllNoteOff", requestAllNoteOff},
    {"requestAllCC", requestAllCC},
    {"requestAllNRPN", requestAllNRPN},
    {"requestAllProgramChange", requestAllProgramChange},
    {"requestAllPolyPressure", requestAllPolyPressure},
    {"requestNoteOn", requestNoteOn},
    {"requestNoteOff", requestNoteOff},
    {"requestCC", requestCC},
    {"requestNRPN", requestNRPN},
    {"requestPitchWheel", requestPitchWheel},
    {"requestChannelPressure", requestChannelPressure},
    {"requestProgramChange", requestProgramChange},
    {"requestPolyPressure", requestPolyPressure},
    {"time", luaTime},
    {"requestTimedCallback", luaRequestTimedCallback},
    {"requestPeriodicCallback", luaRequestPeriodicCallback},
    {"cancelTimer", luaCancelTimer},
    {"setGUIBoolValue", setGUIBoolValue},
    {"getGUIBoolValue", getGUIBoolValue},
    {"setOthersGUIBoolValue", setOthersGUIBoolValue},
    {"getOthersGUIBoolValue", getOthersGUIBoolValue},
};

} // namespace

// A parameter given by index (number or numeric string) or exact name.
int checkParameter(lua_State *L, int arg) {
    if (!lua_isnumber(L, arg)) return lookupParameterName(L, arg);
    const std::int32_t index = toInt32(L, arg);
    if (!murmelo::isParameterIndex(index)) raiseError(L, "parameter out of range: %d", static_cast<int>(index));
    return index;
}

void registerMidiApi(lua_State *L) {
    for (const luaL_Reg &f : kFunctions)
        lua_register(L, f.name, f.func);
}

LuaApiFunction midiApiFunction(const char *name) {
    for (const luaL_Reg &f : kFunctions)
        if (std::strcmp(f.name, name) == 0) return f.func;
    return nullptr;
}

} // namespace QV
