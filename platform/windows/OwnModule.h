// The module that holds this code: the plug-in's DLL when a host loaded it,
// the program itself when linked into one.  Its resources, window class and
// folder are looked up through it.  [any]
#pragma once

#include <windows.h>

namespace platform {

// Null only if the system cannot say (it always can for loaded code).
HMODULE ownModule();

} // namespace platform
