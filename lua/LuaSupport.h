// Small pieces every script host of the plug-in shares: the "@@@ "
// diagnostics, the program's own print, and argument helpers.
#pragma once

#include <cstdint>

struct lua_State;

namespace QV {

// Prints "@@@ " and the formatted message to standard output.  [any]
void reportScriptProblem(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Replaces the base library's print with one that writes to the debugger
// output channel: arguments through the global tostring, "\t" between them,
// "\n" after the last.
void registerPrint(lua_State *L);

// Sets the globals both script hosts define: isMac false, isWin true only
// on Windows (false on Linux, so scripts that pick path separators from it
// get "/"), isVST true, isAU false, and the version numbers 1, 1, 0 and
// 10100.
void setHostGlobals(lua_State *L);

// The error object at index as text (never null).
const char *errorText(lua_State *L, int index);

// Raises a Lua error with a formatted message and no position prefix
// (lua_pushfstring formats: %d, %s, %f, %p, %c, %%).  Never returns.
[[noreturn]] void raiseError(lua_State *L, const char *format, ...);

// The argument as a number truncated toward zero and saturated to 32 bits
// (NaN gives 0); the standard argument type error when it is not a number.
std::int32_t checkInt32(lua_State *L, int arg);
// The same for any value: a non-number counts as 0.
std::int32_t toInt32(lua_State *L, int index);

} // namespace QV
