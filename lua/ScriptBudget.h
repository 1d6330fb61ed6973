// Keeps a script from taking the host down: a time budget for every call
// into an interpreter and a memory limit for the whole interpreter.
//
// Time.  Every protected call goes through call(): the outermost call gives
// the script its budget of wall-clock time (kBudget, or kAudioBudget for a
// MIDI handler on the host's audio thread).  A count hook looks at the clock
// every kHookInstructions instructions; past the deadline it raises a Lua
// error and keeps raising it at every instruction, so a script that catches
// it with pcall is still stopped.  The stop cannot be escaped:
//  - coroutines inherit the hook from the state that creates them;
//  - debug.sethook is refused, so a script cannot remove or replace it;
//  - xpcall's error handler runs under the budget too: once the budget is
//    spent, the handler is skipped and the error passes through as it is
//    (the interpreter runs a handler for an error raised by a hook with
//    hooks off, so a looping handler could never be stopped otherwise).
// The budget is far beyond anything a handler, timer callback or script
// chunk needs (millions of Lua instructions); meeting it means the script
// loops forever.
//
// Memory.  States made by newState() allocate through this object, which
// refuses any growth past kMemoryLimit bytes; the interpreter turns the
// refusal into its ordinary memory error ("not enough memory"), which ends
// the running call.  After such an error call() collects the garbage the
// failed call left behind.
//
// The budget is found from the state's allocator data, which no script can
// reach.  Not thread-safe: use it under the interpreter's lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <utility>
#include <vector>

struct lua_State;
struct lua_Debug;

namespace QV {

class ScriptBudget {
public:
    static constexpr std::chrono::milliseconds kBudget{2000};
    static constexpr std::chrono::milliseconds kAudioBudget{10};
    static constexpr int kHookInstructions = 10000;
    // 64 MB: over a thousand times what the MIDI interpreter holds with its
    // default script (about 50 kB), and little enough for many instances
    // in one host.
    static constexpr std::size_t kMemoryLimit = std::size_t(64) << 20;
    static const char kRanTooLong[];
    static const char kRanTooLongOnAudio[];
    static const char kOutOfMemory[];

    // How a call ended when it failed.
    struct Outcome {
        bool ranTooLong = false;
        bool outOfMemory = false;
        // The text of the stop: one of the three above, null when the call
        // was not stopped.
        const char *text = nullptr;
        bool stopped() const { return text != nullptr; }
    };

    ScriptBudget() = default;
    ScriptBudget(const ScriptBudget &) = delete;
    ScriptBudget &operator=(const ScriptBudget &) = delete;

    // A new state allocating through this budget, with the auxiliary
    // library's panic text; null when even that fails.  The budget must
    // outlive the state.
    lua_State *newState();
    // After the standard libraries are open: installs the hook and the
    // guarded xpcall and debug.sethook.  Runs inside a protected call.
    void attach(lua_State *L);
    // lua_pcall with the budget; returns its status.  limit applies when
    // this is the outermost call.
    int call(lua_State *L, int nargs, int nresults, Outcome *outcome = nullptr,
             std::chrono::milliseconds limit = kBudget);

    // Native objects under registry keys (light userdata holding the key's
    // address).  The registry keeps them as it always has, but a script can
    // reach the registry (debug.getregistry) and change or remove an entry,
    // so the API functions read the copies kept here instead, which no
    // script can reach.  A null value clears the key.  Not for the audio
    // thread (may allocate).
    static void setPointer(lua_State *L, const char *key, void *value);
    // The object under key; null when none was set.
    static void *pointer(lua_State *L, const char *key);

    // Bytes the interpreter holds now.
    std::size_t memoryInUse() const { return used; }

private:
    static void *allocate(void *ud, void *ptr, std::size_t osize, std::size_t nsize);
    static ScriptBudget *of(lua_State *L);
    static void hook(lua_State *L, lua_Debug *ar);
    static int guardedXpcall(lua_State *L);
    static int guardedHandler(lua_State *L);
    static int refuseSethook(lua_State *L);
    bool spent() const { return depth > 0 && expired; }

    std::chrono::steady_clock::time_point deadline{};
    const char *stopText = kRanTooLong;
    int depth = 0;
    bool expired = false;
    std::size_t used = 0;
    std::vector<std::pair<const char *, void *>> pointers; // a handful of keys
};

} // namespace QV
