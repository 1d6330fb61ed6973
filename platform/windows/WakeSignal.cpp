#include "platform/WakeSignal.h"

#include <cstdint>
#include <windows.h>

namespace platform {

namespace {

constexpr DWORD kPollMs = 10;

HANDLE handleOf(long long value) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(value)); }

long long newEvent() {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event ? static_cast<long long>(reinterpret_cast<std::intptr_t>(event)) : -1;
}

} // namespace

WakeSignal::WakeSignal() : handle(newEvent()) {}

WakeSignal::~WakeSignal() {
    if (valid()) CloseHandle(handleOf(handle));
}

bool WakeSignal::valid() const { return handle != -1; }

// Setting an event that is already set changes nothing, so posts made while
// nobody waits fold into one wake-up.
void WakeSignal::post() {
    if (valid()) SetEvent(handleOf(handle));
}

bool WakeSignal::wait(int timeoutMs) {
    if (!valid()) {
        Sleep(timeoutMs < 0 || static_cast<DWORD>(timeoutMs) > kPollMs ? kPollMs : static_cast<DWORD>(timeoutMs));
        return true;
    }
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(handleOf(handle), limit) == WAIT_OBJECT_0;
}

} // namespace platform
