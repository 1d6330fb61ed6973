#include "lua/LuaSupport.h"

#include "murmelo/Version.h"
#include "platform/DebugOutput.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <lauxlib.h>
#include <lua.h>

namespace QV {

void reportScriptProblem(const char *format, ...) {
    std::fputs("@@@ ", stdout);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

namespace {

int print(lua_State *L) {
    const int n = lua_gettop(L);
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= n; ++i) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        const char *text = lua_tostring(L, -1);
        if (!text) return luaL_error(L, "'tostring' must return a string to 'print'");
        if (i > 1) platform::debugOutput("\t");
        platform::debugOutput(text);
        lua_pop(L, 1);
    }
    platform::debugOutput("\n");
    return 0;
}

std::int32_t saturate(lua_Number d) {
    if (std::isnan(d)) return 0;
    if (d >= 2147483647.0) return INT32_MAX;
    if (d <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(d);
}

} // namespace

// Scripts choose path separators and file names from isWin: it tells the
// truth about the system the plug-in runs on.
#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

void registerPrint(lua_State *L) { lua_register(L, "print", print); }

void setHostGlobals(lua_State *L) {
    const struct {
        const char *name;
        bool value;
    } flags[] = {{"isMac", false}, {"isWin", kOnWindows}, {"isVST", true}, {"isAU", false}};
    for (const auto &f : flags) {
        lua_pushboolean(L, f.value);
        lua_setglobal(L, f.name);
    }
    const struct {
        const char *name;
        int value;
    } numbers[] = {{"majorVersion", murmelo::kVersionMajor},
                   {"minorVersion", murmelo::kVersionMinor},
                   {"dotVersion", murmelo::kVersionDot},
                   {"version", murmelo::kVersionMajor * 10000 + murmelo::kVersionMinor * 100 + murmelo::kVersionDot}};
    for (const auto &n : numbers) {
        lua_pushinteger(L, n.value);
        lua_setglobal(L, n.name);
    }
}

const char *errorText(lua_State *L, int index) {
    const char *text = lua_tostring(L, index);
    return text ? text : "(error object is not a string)";
}

void raiseError(lua_State *L, const char *format, ...) {
    va_list args;
    va_start(args, format);
    lua_pushvfstring(L, format, args);
    va_end(args);
    lua_error(L);
    std::abort(); // lua_error does not return
}

std::int32_t checkInt32(lua_State *L, int arg) { return saturate(luaL_checknumber(L, arg)); }

std::int32_t toInt32(lua_State *L, int index) { return saturate(lua_tonumber(L, index)); }

} // namespace QV
