#include "platform/DebugOutput.h"

#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

void debugOutput(const char *text) { OutputDebugStringW(widen(text ? text : "").c_str()); }

} // namespace platform
