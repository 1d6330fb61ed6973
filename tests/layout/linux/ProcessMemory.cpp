// The process's memory on Linux: glibc's allocator statistics and the
// resident page count of /proc/self/statm; its threads from
// /proc/self/status.
#include "tests/layout/ProcessMemory.h"

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace layouttest {

std::size_t residentBytes() {
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

int threadCount() {
    int threads = -1;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof(line), f))
            if (std::sscanf(line, "Threads: %d", &threads) == 1) break;
        std::fclose(f);
    }
    return threads;
}

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace layouttest
