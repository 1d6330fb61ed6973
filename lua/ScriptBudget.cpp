#include "lua/ScriptBudget.h"

#include <cstdio>
#include <cstdlib>
#include <lauxlib.h>
#include <lua.h>

namespace QV {

const char ScriptBudget::kRanTooLong[] = "script ran too long (over 2 seconds) and was stopped";
const char ScriptBudget::kRanTooLongOnAudio[] = "script ran too long (over 10 ms on the audio thread) and was stopped";
const char ScriptBudget::kOutOfMemory[] = "script ran out of memory (over 64 MB) and was stopped";

namespace {

// The auxiliary library's panic text, for an error outside any protected
// call (the interpreter then ends the process).
int panic(lua_State *L) {
    std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", lua_tostring(L, -1));
    return 0;
}

int collectGarbage(lua_State *L) {
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}

} // namespace

// Growth past the limit is refused; shrinking and freeing always succeed,
// as the interpreter requires.
void *ScriptBudget::allocate(void *ud, void *ptr, std::size_t osize, std::size_t nsize) {
    auto *self = static_cast<ScriptBudget *>(ud);
    if (nsize == 0) {
        std::free(ptr);
        self->used -= osize;
        return nullptr;
    }
    if (nsize > osize && nsize - osize > kMemoryLimit - (self->used < kMemoryLimit ? self->used : kMemoryLimit))
        return nullptr;
    void *block = std::realloc(ptr, nsize);
    if (!block) return nullptr;
    self->used = self->used - osize + nsize;
    return block;
}

ScriptBudget *ScriptBudget::of(lua_State *L) {
    void *ud = nullptr;
    return lua_getallocf(L, &ud) == allocate ? static_cast<ScriptBudget *>(ud) : nullptr;
}

void ScriptBudget::setPointer(lua_State *L, const char *key, void *value) {
    lua_pushlightuserdata(L, const_cast<char *>(key));
    if (value)
        lua_pushlightuserdata(L, value);
    else
        lua_pushnil(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
    ScriptBudget *self = of(L);
    if (!self) return;
    for (auto &entry : self->pointers) {
        if (entry.first != key) continue;
        entry.second = value;
        return;
    }
    self->pointers.emplace_back(key, value);
}

void *ScriptBudget::pointer(lua_State *L, const char *key) {
    const ScriptBudget *self = of(L);
    if (!self) return nullptr;
    for (const auto &entry : self->pointers)
        if (entry.first == key) return entry.second;
    return nullptr;
}

lua_State *ScriptBudget::newState() {
    lua_State *L = lua_newstate(allocate, this);
    if (L) lua_atpanic(L, panic);
    return L;
}

void ScriptBudget::attach(lua_State *L) {
    lua_register(L, "xpcall", guardedXpcall);
    lua_getglobal(L, "debug");
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, refuseSethook);
        lua_setfield(L, -2, "sethook");
    }
    lua_pop(L, 1);
    lua_sethook(L, hook, LUA_MASKCOUNT, kHookInstructions);
}

int ScriptBudget::call(lua_State *L, int nargs, int nresults, Outcome *outcome, std::chrono::milliseconds limit) {
    if (depth == 0) {
        deadline = std::chrono::steady_clock::now() + limit;
        stopText = limit == kAudioBudget ? kRanTooLongOnAudio : kRanTooLong;
        expired = false;
        lua_sethook(L, hook, LUA_MASKCOUNT, kHookInstructions);
    }
    ++depth;
    const int status = lua_pcall(L, nargs, nresults, 0);
    --depth;
    Outcome result;
    if (status == LUA_ERRMEM) {
        result.outOfMemory = true;
        result.text = kOutOfMemory;
        // What the failed call built is garbage now; without a collection
        // the next allocation would likely fail too.  The collection may
        // itself allocate (it resizes the string table), hence protected.
        if (lua_cpcall(L, collectGarbage, nullptr) != 0) lua_pop(L, 1);
    } else if (status != 0 && expired) {
        result.ranTooLong = true;
        result.text = stopText;
    }
    if (outcome) *outcome = result;
    return status;
}

void ScriptBudget::hook(lua_State *L, lua_Debug *) {
    ScriptBudget *self = of(L);
    const bool running = self && self->depth > 0;
    if (!running || (!self->expired && std::chrono::steady_clock::now() < self->deadline)) {
        // A coroutine left at the fast rate by an earlier stop slows down again.
        if (lua_gethookcount(L) != kHookInstructions) lua_sethook(L, hook, LUA_MASKCOUNT, kHookInstructions);
        return;
    }
    self->expired = true;
    lua_sethook(L, hook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, self->stopText);
    lua_error(L);
}

// xpcall(f, handler) as the base library has it, with the handler wrapped
// so that it is skipped once the budget is spent.  A handler that is no
// function is passed as it is (the call then fails with "error in error
// handling", as before).
int ScriptBudget::guardedXpcall(lua_State *L) {
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    if (lua_isfunction(L, 2)) lua_pushcclosure(L, guardedHandler, 1);
    lua_insert(L, 1);
    const int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

int ScriptBudget::guardedHandler(lua_State *L) {
    const ScriptBudget *self = of(L);
    if (self && self->spent()) return lua_gettop(L) > 0 ? 1 : 0;
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

int ScriptBudget::refuseSethook(lua_State *L) {
    return luaL_error(L, "debug.sethook is not available: the host's own hook stops runaway scripts");
}

} // namespace QV
