// Keeps a runaway script from hanging the thread that runs it.
//
// Every protected call into an interpreter goes through call(): the
// outermost call gives the script kBudgetSeconds of wall-clock time.  A count
// hook looks at the clock every kHookInstructions instructions; past the
// deadline it raises a Lua error (kRanTooLong) and keeps raising it at every
// instruction, so a script that catches it with pcall is still stopped.
// Coroutines inherit the hook from the state that creates them.
//
// The budget is far beyond anything a handler, timer callback or script
// chunk needs (millions of Lua instructions); meeting it means the script
// loops forever.  Not thread-safe: use it under the interpreter's lock.
#pragma once

#include <chrono>

struct lua_State;
struct lua_Debug;

namespace QV {

class ScriptBudget {
public:
    static constexpr int kBudgetSeconds = 2;
    static constexpr int kHookInstructions = 10000;
    static const char kRanTooLong[];

    // Installs the hook on L and remembers this budget in L's registry.
    void attach(lua_State *L);
    // lua_pcall with the budget; returns its status.  ranTooLong tells
    // whether the budget ended this call.
    int call(lua_State *L, int nargs, int nresults, bool *ranTooLong = nullptr);

private:
    static void hook(lua_State *L, lua_Debug *ar);

    std::chrono::steady_clock::time_point deadline{};
    int depth = 0;
    bool expired = false;
};

} // namespace QV
