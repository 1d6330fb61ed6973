// Set-up failures the user should hear about.  Windows shows these in a
// message box; on Linux each is one line on standard error, and the caller
// carries on with what it has.  [any]
#pragma once

#include <string>

namespace platform {

// Prints "Error: <what>" and a newline on standard error.
void reportError(const std::string &what);

} // namespace platform
