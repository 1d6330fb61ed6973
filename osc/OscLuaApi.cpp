// The script functions of the OSC server:
//
//   sendOSC(url, path [, types], [values])  sends one message from the
//       calling thread, whether or not the instance listens.  With 3
//       arguments the third is the table of values; with 4 the third is a
//       type string (only 'i' means something: int32 instead of float32 for
//       a number) and the fourth the table; otherwise the message has no
//       arguments.  nil sends N, numbers and numeric strings f (or i),
//       other strings s; anything else is an error and nothing is sent.  An
//       endpoint without a port, or whose host does not resolve, gets
//       nothing.
//   registerOSCPathForParameter(path, param or {params})
//   registerOSCPathForParameterNormalized(path, param or {params})
//       give parameters an address of their own: a message there carries
//       one float per parameter, stored as is, or (normalized) mapped from
//       0..1 onto the parameter's range.  A built-in path, or a path past
//       the server's cap of registrations, is refused with an "@@@" line.
//
// They run under the MIDI host's luaLock like every script function.  The
// assembly adds them to the MIDI interpreter (registerOscScriptFunctions);
// the layout interpreter gets sendOSC alone.
#include "osc/OscLuaApi.h"

#include "core/Parameters.h"
#include "lua/LuaSupport.h"
#include "lua/ScriptBudget.h"
#include "midi/LuaMIDIApi.h"
#include "osc/OSCHelper.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <lauxlib.h>
#include <lua.h>

namespace QV {

namespace {

// Where the path registrations find their server; read from the budget's
// copy, which no script can reach.
const char kScriptServer[] = "QV::OSCHelper::kRefcon";

const luaL_Reg kOscFunctions[] = {
    {"sendOSC", luaSendOSC},
    {"registerOSCPathForParameter", luaRegisterOSCPathForParameter},
    {"registerOSCPathForParameterNormalized", luaRegisterOSCPathForParameterNormalized},
};

// A number as int32, truncated toward zero and saturated (NaN gives 0).
osc::int32 toOscInt(lua_Number n) {
    if (!(n == n)) return 0;
    if (n >= 2147483647.0) return 2147483647;
    if (n <= -2147483648.0) return -2147483647 - 1;
    return static_cast<osc::int32>(n);
}

// Adds element k (on top of the stack) to the message; false when its type
// cannot be sent.
bool addValue(lua_State *L, const char *types, int k, osc::OutboundPacketStream &out) {
    switch (lua_type(L, -1)) {
    case LUA_TNIL:
        out << osc::OscNil;
        return true;
    case LUA_TNUMBER:
    case LUA_TSTRING:
        if (!lua_isnumber(L, -1))
            out << lua_tostring(L, -1);
        else if (types && types[k - 1] == 'i')
            out << toOscInt(lua_tonumber(L, -1));
        else
            out << static_cast<float>(lua_tonumber(L, -1));
        return true;
    default:
        return false;
    }
}

// Builds the message; an error text when it cannot be built.
const char *buildMessage(lua_State *L, const char *types, int table, OscPacket &packet) {
    const int n = table ? static_cast<int>(lua_objlen(L, table)) : 0;
    if (types && std::strlen(types) != static_cast<std::size_t>(n)) return "format string length mismatch in sendOSC";
    for (int k = 1; k <= n; ++k) {
        lua_rawgeti(L, table, k);
        const bool added = addValue(L, types, k, packet.args());
        lua_pop(L, 1);
        if (!added) return "unhandled argument type return from call";
    }
    packet.finish();
    return nullptr;
}

std::vector<OscPathTarget> readTargets(lua_State *L, bool normalized) {
    std::vector<int> indices;
    if (lua_istable(L, 2)) {
        const int n = static_cast<int>(lua_objlen(L, 2));
        for (int k = 1; k <= n; ++k) {
            lua_rawgeti(L, 2, k);
            indices.push_back(checkParameter(L, lua_gettop(L)));
            lua_pop(L, 1);
        }
    } else {
        indices.push_back(checkParameter(L, 2));
    }
    std::vector<OscPathTarget> targets;
    for (int index : indices) {
        const murmelo::ParameterInfo &info = murmelo::parameterInfo(index);
        if (normalized)
            targets.push_back({index, info.minimum, info.maximum - info.minimum});
        else
            targets.push_back({index, 0.f, 1.f});
    }
    return targets;
}

int registerPath(lua_State *L, bool normalized) {
    const char *path = luaL_checkstring(L, 1);
    std::vector<OscPathTarget> targets = readTargets(L, normalized);
    auto *server = static_cast<OSCHelper *>(ScriptBudget::pointer(L, kScriptServer));
    if (!server) raiseError(L, "no OSC server");
    switch (server->registerPath(path, std::move(targets))) {
    case OSCHelper::Registration::Added:
        break;
    case OSCHelper::Registration::InconsistentSizes:
        reportScriptProblem("inconsistent sizes in RegisterOSCPathForParameter\n");
        break;
    case OSCHelper::Registration::BuiltInPath:
        reportScriptProblem("%s is a built-in OSC path and cannot be registered\n", path);
        break;
    case OSCHelper::Registration::TooMany:
        reportScriptProblem("too many registered OSC paths (at most %u); %s was not registered\n",
                            static_cast<unsigned>(OSCHelper::kMaxPathRegistrations), path);
        break;
    }
    return 0;
}

} // namespace

int luaSendOSC(lua_State *L) {
    const char *url = luaL_checkstring(L, 1);
    const char *path = luaL_checkstring(L, 2);
    const char *types = nullptr;
    int table = 0;
    if (lua_gettop(L) == 3) {
        luaL_checktype(L, 3, LUA_TTABLE);
        table = 3;
    } else if (lua_gettop(L) == 4) {
        types = luaL_checkstring(L, 3);
        luaL_checktype(L, 4, LUA_TTABLE);
        table = 4;
    }
    // oscpack reports a message that does not fit with an exception; it is
    // turned into a script error once the packet is gone.
    std::string error;
    try {
        OscPacket packet(path);
        if (const char *problem = buildMessage(L, types, table, packet))
            error = problem;
        else
            sendToUrl(url, packet);
    } catch (const osc::Exception &e) {
        error = e.what();
    }
    if (!error.empty()) raiseError(L, "%s", error.c_str());
    return 0;
}

int luaRegisterOSCPathForParameter(lua_State *L) { return registerPath(L, false); }

int luaRegisterOSCPathForParameterNormalized(lua_State *L) { return registerPath(L, true); }

void registerOscScriptFunctions(lua_State *L, OSCHelper *server) {
    ScriptBudget::setPointer(L, kScriptServer, server);
    for (const luaL_Reg &f : kOscFunctions)
        lua_register(L, f.name, f.func);
}

LuaApiFunction oscApiFunction(const char *name) {
    for (const luaL_Reg &f : kOscFunctions)
        if (std::strcmp(f.name, name) == 0) return f.func;
    return nullptr;
}

} // namespace QV
