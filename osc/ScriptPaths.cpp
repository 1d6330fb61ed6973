#include "osc/ScriptPaths.h"

#include "midi/LuaMIDIApi.h"
#include "midi/LuaMIDIHelper.h"
#include "osc/OscLuaApi.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <set>

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

namespace QV {

namespace {

constexpr int kCallResults = 16;
constexpr int kScriptChannel = 1; // handlers see channel 2

const osc::Exception kFailed("failed to exec function");

using ArgIt = osc::ReceivedMessageArgumentIterator;

const char *const kRefusedNames[] = {"dofile", "loadfile", "load",    "loadstring",    "require",
                                     "module", "setfenv",  "getfenv", "collectgarbage"};

// The script functions that reach beyond this instance: other instances in
// the host, any network address, and this instance's OSC address space.
const char *const kRefusedApiNames[] = {"setOthersParameter",
                                        "getOthersParameter",
                                        "setOthersGUIBoolValue",
                                        "getOthersGUIBoolValue",
                                        "sendOSC",
                                        "registerOSCPathForParameter",
                                        "registerOSCPathForParameterNormalized"};

// The C functions behind the refused globals (the API's own, and the
// library's other code loaders and runners, read once from a fresh interpreter: the library is
// shared, so they are the very functions the scripts' interpreter holds).
const std::set<lua_CFunction> &refusedFunctions() {
    static const std::set<lua_CFunction> functions = [] {
        std::set<lua_CFunction> found;
        for (const char *name : kRefusedApiNames)
            if (LuaApiFunction f = midiApiFunction(name))
                found.insert(f);
            else if (LuaApiFunction g = oscApiFunction(name))
                found.insert(g);
        lua_State *L = luaL_newstate();
        if (!L) return found;
        luaL_openlibs(L);
        const char *const more[][2] = {{"package", "loadlib"}, {"os", "execute"}, {"io", "popen"}};
        for (const char *name : kRefusedNames) {
            lua_getglobal(L, name);
            if (lua_CFunction f = lua_tocfunction(L, -1)) found.insert(f);
            lua_pop(L, 1);
        }
        for (const auto &m : more) {
            lua_getglobal(L, m[0]);
            lua_getfield(L, -1, m[1]);
            if (lua_CFunction f = lua_tocfunction(L, -1)) found.insert(f);
            lua_pop(L, 2);
        }
        lua_close(L);
        return found;
    }();
    return functions;
}

bool refusedName(const char *name) {
    for (const char *refused : kRefusedNames)
        if (std::strcmp(name, refused) == 0) return true;
    for (const char *refused : kRefusedApiNames)
        if (std::strcmp(name, refused) == 0) return true;
    return false;
}

// Every argument from first on must be one the interpreter can take.
void checkArgumentTypes(ArgIt first, ArgIt end) {
    for (ArgIt a = first; a != end; ++a)
        if (!std::strchr("TFNihfds", a->TypeTag()) || a->TypeTag() == 0)
            throw osc::Exception("unhandled argument type to exec");
}

void pushArgument(lua_State *L, const osc::ReceivedMessageArgument &a) {
    switch (a.TypeTag()) {
    case 'T':
        lua_pushboolean(L, 1);
        break;
    case 'F':
        lua_pushboolean(L, 0);
        break;
    case 'N':
        lua_pushnil(L);
        break;
    case 'i':
        lua_pushnumber(L, a.AsInt32Unchecked());
        break;
    case 'h':
        lua_pushnumber(L, static_cast<lua_Number>(a.AsInt64Unchecked()));
        break;
    case 'f':
        lua_pushnumber(L, a.AsFloatUnchecked());
        break;
    case 'd':
        lua_pushnumber(L, a.AsDoubleUnchecked());
        break;
    default:
        lua_pushstring(L, a.AsStringUnchecked());
        break;
    }
}

struct CallRequest {
    const char *name;
    ArgIt first, end;
    int results;
};

// Runs inside the protected call: looks the global up (its metamethods,
// if a script gave _G any, run protected too), refuses the code loaders,
// pushes the arguments and calls it, returning exactly the results asked for.
int callGlobal(lua_State *L) {
    const auto *request = static_cast<const CallRequest *>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    lua_getglobal(L, request->name);
    if (refusedName(request->name) || (lua_iscfunction(L, 1) && refusedFunctions().count(lua_tocfunction(L, 1))))
        return luaL_error(L, "refused");
    int count = 0;
    for (ArgIt a = request->first; a != request->end; ++a, ++count) {
        luaL_checkstack(L, 2, "too many arguments");
        pushArgument(L, *a);
    }
    lua_call(L, count, request->results);
    return request->results;
}

// Puts the interpreter's stack back to where it was, on every way out.
struct StackGuard {
    lua_State *L;
    int top;
    ~StackGuard() { lua_settop(L, top); }
};

// Calls the request under the interpreter's lock (already held); the
// results are then on the stack for the caller.
void runRequest(LuaMIDIHelper &host, lua_State *L, CallRequest &request) {
    refusedFunctions(); // built before the call, outside the interpreter
    if (!lua_checkstack(L, 2)) throw kFailed;
    lua_pushcfunction(L, callGlobal);
    lua_pushlightuserdata(L, &request);
    if (host.protectedCall(1, request.results) != 0) throw kFailed;
}

// One result of "/call" into the reply; false at the first nil.
bool addResult(lua_State *L, int index, osc::OutboundPacketStream &reply) {
    switch (lua_type(L, index)) {
    case LUA_TNIL:
        return false;
    case LUA_TNUMBER:
        reply << static_cast<float>(lua_tonumber(L, index));
        return true;
    case LUA_TSTRING:
        if (lua_isnumber(L, index))
            reply << static_cast<float>(lua_tonumber(L, index));
        else
            reply << lua_tostring(L, index);
        return true;
    default:
        throw osc::Exception("unhandled argument type return from call");
    }
}

} // namespace

void execScriptFunction(LuaMIDIHelper &host, const char *name, ArgIt first, ArgIt end) {
    checkArgumentTypes(first, end);
    std::lock_guard<std::recursive_mutex> guard(host.getLuaLock());
    lua_State *L = host.getLuaState();
    if (!L) throw kFailed;
    StackGuard restore{L, lua_gettop(L)};
    CallRequest request{name, first, end, 0};
    runRequest(host, L, request);
}

void callScriptFunction(LuaMIDIHelper &host, const char *name, ArgIt first, ArgIt end,
                        osc::OutboundPacketStream &reply) {
    checkArgumentTypes(first, end);
    std::lock_guard<std::recursive_mutex> guard(host.getLuaLock());
    lua_State *L = host.getLuaState();
    if (!L) throw kFailed;
    StackGuard restore{L, lua_gettop(L)};
    CallRequest request{name, first, end, kCallResults};
    runRequest(host, L, request);
    const int base = lua_gettop(L) - kCallResults;
    for (int k = 1; k <= kCallResults && addResult(L, base + k, reply); ++k) {
    }
}

unsigned char velocityByte(float velocity) {
    // The scaled value truncated toward zero, then its low 8 bits; values
    // beyond any integer (or NaN) count as 0.
    const double scaled = std::trunc(static_cast<double>(velocity) * 127.0);
    if (!(std::fabs(scaled) < 9.0e15)) return 0;
    return static_cast<unsigned char>(static_cast<long long>(scaled) & 0xFF);
}

void playScriptNote(LuaMIDIHelper *host, const osc::ReceivedMessage &m, bool on) {
    osc::int32 note;
    float velocity;
    m.ArgumentStream() >> note >> velocity >> osc::EndMessage;
    if (!host) return;
    const auto noteByte = static_cast<unsigned char>(note & 0xFF);
    if (on)
        host->noteOn(kScriptChannel, noteByte, velocityByte(velocity), 0);
    else
        host->noteOff(kScriptChannel, noteByte, velocityByte(velocity), 0);
}

} // namespace QV
