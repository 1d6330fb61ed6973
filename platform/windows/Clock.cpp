#include "platform/Clock.h"

#include <windows.h>

namespace platform {

namespace {

long long hundredNanoseconds(const FILETIME &t) {
    return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

long long processStart() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return hundredNanoseconds(created);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return hundredNanoseconds(now);
}

} // namespace

long long processMilliseconds() {
    static const long long start = processStart();
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const long long ms = (hundredNanoseconds(now) - start) / 10000;
    return ms > 0 ? ms : 0;
}

} // namespace platform
