#include "platform/Event.h"

#include <windows.h>

namespace platform {

AutoResetEvent::AutoResetEvent() : handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

AutoResetEvent::~AutoResetEvent() {
    if (handle) CloseHandle(handle);
}

void AutoResetEvent::signal() {
    if (handle) SetEvent(handle);
}

bool AutoResetEvent::wait(int timeoutMs) { return waitForAny({this}, timeoutMs) == 0; }

int waitForAny(std::initializer_list<AutoResetEvent *> events, int timeoutMs) {
    // An event the system refused has no handle; it is never signalled, so
    // only the others are waited on.
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    int positions[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    int position = 0;
    for (AutoResetEvent *e : events) {
        if (e->handle && count < MAXIMUM_WAIT_OBJECTS) {
            handles[count] = e->handle;
            positions[count] = position;
            ++count;
        }
        ++position;
    }
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (count == 0) {
        Sleep(limit == INFINITE ? 0 : limit);
        return -1;
    }
    // With several signalled, the system reports (and resets) the lowest index.
    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, limit);
    if (result < WAIT_OBJECT_0 + count) return positions[result - WAIT_OBJECT_0];
    return -1;
}

} // namespace platform
