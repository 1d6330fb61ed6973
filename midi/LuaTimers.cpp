// Script timers: one-shot and periodic callbacks on the MIDI host's timer
// queue, and the process clock.
//
// A timer object seen by scripts is a full userdata with the metatable
// "QV::LuaMIDIHelper::Timer" holding the timer's id.  Ids are never reused,
// so cancelling a timer object that has ended cannot hit a newer timer.
#include "midi/LuaMIDIApi.h"

#include "lua/LuaSupport.h"
#include "midi/LuaMIDIHelper.h"
#include "platform/Clock.h"

#include <cmath>
#include <lauxlib.h>
#include <lua.h>

namespace QV {

namespace {

// The longest delay the queue is given, about 49.7 days.
constexpr double kLongestDelayMs = 4294967294.0;

// Seconds to whole milliseconds, truncated toward zero.  Zero, negative
// and NaN delays fire at once.
std::uint32_t toMilliseconds(lua_Number seconds) {
    const double ms = std::trunc(seconds * 1000.0);
    if (!(ms > 0)) return 0;
    if (ms >= kLongestDelayMs) return static_cast<std::uint32_t>(kLongestDelayMs);
    return static_cast<std::uint32_t>(ms);
}

int requestTimer(lua_State *L, bool periodic) {
    const lua_Number seconds = luaL_checknumber(L, 1);
    if (!lua_isfunction(L, 2)) raiseError(L, "second argument to requestTimerCallback() is not a function");
    lua_pushvalue(L, 2);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    const std::uint64_t id = LuaMIDIHelper::fromState(L)->startTimer(ref, toMilliseconds(seconds), periodic);
    if (id == 0) raiseError(L, "could not start a timer");
    auto *payload = static_cast<std::uint64_t *>(lua_newuserdata(L, sizeof(std::uint64_t)));
    *payload = id;
    luaL_getmetatable(L, LuaMIDIHelper::kTimerMetatable);
    lua_setmetatable(L, -2);
    return 1;
}

} // namespace

int luaTime(lua_State *L) {
    lua_pushnumber(L, static_cast<lua_Number>(platform::processMilliseconds()) * 0.001);
    return 1;
}

int luaRequestTimedCallback(lua_State *L) { return requestTimer(L, false); }

int luaRequestPeriodicCallback(lua_State *L) { return requestTimer(L, true); }

int luaCancelTimer(lua_State *L) {
    const auto *payload = static_cast<const std::uint64_t *>(luaL_checkudata(L, 1, LuaMIDIHelper::kTimerMetatable));
    LuaMIDIHelper::fromState(L)->cancelTimer(*payload);
    return 0;
}

// [any, under luaLock] The record goes into `timers` before the timer can
// fire: a callback that comes at once waits for timersLock until then.
std::uint64_t LuaMIDIHelper::startTimer(int ref, std::uint32_t ms, bool periodic) {
    std::lock_guard<std::mutex> guard(timersLock);
    if (!timerQueue) return 0;
    const std::uint64_t id = ++lastTimerId;
    platform::TimerQueue::Timer *timer = timerQueue->createTimer([this, id] { timerFired(id); }, ms, periodic ? ms : 0);
    if (!timer) return 0;
    timers[id] = new TimerRecord{this, ref, timer, periodic, id};
    return id;
}

// [any, under luaLock]
void LuaMIDIHelper::cancelTimer(std::uint64_t id) {
    std::lock_guard<std::mutex> guard(timersLock);
    const auto found = timers.find(id);
    if (found == timers.end()) return;
    if (timerQueue) timerQueue->deleteTimer(found->second->timer);
    delete found->second;
    timers.erase(found);
}

// [timer] A one-shot timer ends here; either way timersLock is released
// before the handler takes luaLock.
void LuaMIDIHelper::timerFired(std::uint64_t id) {
    int handler = 0;
    {
        std::lock_guard<std::mutex> guard(timersLock);
        const auto found = timers.find(id);
        if (found == timers.end()) return;
        TimerRecord *record = found->second;
        handler = record->handler;
        if (!record->periodic) {
            timerQueue->deleteTimer(record->timer);
            delete record;
            timers.erase(found);
        }
    }
    {
        std::lock_guard<std::recursive_mutex> guard(luaLock);
        if (state && callHandler(handler, nullptr, 0, "a timer callback").stopped()) cancelStoppedTimer(id);
    }
    reportDroppedMidi();
}

// [timer, under luaLock] A periodic callback stopped for its time or memory
// would only be stopped again: its timer goes.
void LuaMIDIHelper::cancelStoppedTimer(std::uint64_t id) {
    std::lock_guard<std::mutex> timersGuard(timersLock);
    const auto found = timers.find(id);
    if (found == timers.end()) return; // one-shot, or the callback cancelled it
    if (timerQueue) timerQueue->deleteTimer(found->second->timer);
    delete found->second;
    timers.erase(found);
    reportScriptProblem("a timer callback: its periodic timer was cancelled\n");
}

// [any, under luaLock] The reporter of handler stops on the audio thread:
// started with the first handler, checked four times a second.
void LuaMIDIHelper::startStopReporter() {
    std::lock_guard<std::mutex> guard(timersLock);
    if (stopReporter || !timerQueue) return;
    stopReporter = timerQueue->createTimer([this] { reportAudioStops(); }, 250, 250);
}

void LuaMIDIHelper::stopTimers() {
    // Waits for a callback in progress; it may need luaLock and timersLock,
    // so neither is held here.
    if (timerQueue) timerQueue->stop();
    std::lock_guard<std::mutex> guard(timersLock);
    for (auto &entry : timers)
        delete entry.second;
    timers.clear();
    stopReporter = nullptr; // the queue owned it
    timerQueue.reset();
    reportAudioStops(); // what the reporter had not seen yet
}

} // namespace QV
