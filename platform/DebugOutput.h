// The debugger output channel: a place for developer text that is not the
// process's standard output.  On Linux it is standard error.  [any]
#pragma once

namespace platform {

// Writes text whole (no newline is added).
void debugOutput(const char *text);

} // namespace platform
