#include "platform/Clock.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace platform {

namespace {

long long bootMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Start of the process in milliseconds since boot, from /proc/self/stat
// (field 22, in clock ticks); the first call's time when that is unreadable.
long long processStart() {
    long long startTicks = -1;
    if (FILE *f = std::fopen("/proc/self/stat", "r")) {
        char line[1024];
        if (std::fgets(line, sizeof line, f)) {
            // The command name (field 2) may hold spaces: count after its ')'.
            const char *p = nullptr;
            for (const char *q = line; *q; ++q)
                if (*q == ')') p = q;
            // Fields 3 to 21 come first, then the start time.
            if (p &&
                std::sscanf(p + 1, "%*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %lld",
                            &startTicks) != 1)
                startTicks = -1;
        }
        std::fclose(f);
    }
    const long tick = sysconf(_SC_CLK_TCK);
    if (startTicks < 0 || tick <= 0) return bootMilliseconds();
    return startTicks * 1000 / tick;
}

} // namespace

long long processMilliseconds() {
    static const long long start = processStart();
    const long long ms = bootMilliseconds() - start;
    return ms > 0 ? ms : 0;
}

} // namespace platform
