#include "midi/ScriptBudget.h"

#include <lua.h>

namespace QV {

const char ScriptBudget::kRanTooLong[] = "script ran too long (over 2 seconds) and was stopped";

namespace {
const char kBudgetKey[] = "QV::ScriptBudget";
}

void ScriptBudget::attach(lua_State *L) {
    lua_pushlightuserdata(L, const_cast<char *>(kBudgetKey));
    lua_pushlightuserdata(L, this);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_sethook(L, hook, LUA_MASKCOUNT, kHookInstructions);
}

int ScriptBudget::call(lua_State *L, int nargs, int nresults, bool *ranTooLong) {
    if (depth == 0) {
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kBudgetSeconds);
        expired = false;
        lua_sethook(L, hook, LUA_MASKCOUNT, kHookInstructions);
    }
    ++depth;
    const int status = lua_pcall(L, nargs, nresults, 0);
    --depth;
    if (ranTooLong) *ranTooLong = status != 0 && expired;
    return status;
}

void ScriptBudget::hook(lua_State *L, lua_Debug *) {
    lua_pushlightuserdata(L, const_cast<char *>(kBudgetKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto *self = static_cast<ScriptBudget *>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    if (!self || self->depth == 0) {
        // Not inside a budgeted call (a coroutine left at the fast rate).
        lua_sethook(L, hook, LUA_MASKCOUNT, kHookInstructions);
        return;
    }
    if (!self->expired && std::chrono::steady_clock::now() < self->deadline) return;
    self->expired = true;
    lua_sethook(L, hook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, kRanTooLong);
    lua_error(L);
}

} // namespace QV
