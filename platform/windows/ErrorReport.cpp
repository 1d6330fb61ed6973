#include "platform/ErrorReport.h"

#include "platform/windows/WideText.h"

#include <cstdio>
#include <windows.h>

namespace platform {

// The line goes to standard error and the debugger channel as well, so a
// host without a desktop (or a test run) still has the reason; the message
// box is the user's.  Without a display (no window station to draw on) the
// system refuses the box at once and nothing waits.
void reportError(const std::string &what) {
    std::fprintf(stderr, "Error: %s\n", what.c_str());
    std::fflush(stderr);
    const std::wstring text = widen(what);
    OutputDebugStringW((L"Error: " + text + L"\n").c_str());
    MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace platform
