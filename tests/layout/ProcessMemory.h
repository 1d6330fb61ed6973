// The process's memory and threads as the system counts them, for tests
// that look for leaks (tests/layout/linux|windows/ProcessMemory.cpp).
#pragma once

#include <cstddef>

namespace layouttest {

// Bytes of the C++ heap in use.
std::size_t heapInUse();
// Bytes of the process's memory held in RAM (its resident set, or working set).
std::size_t residentBytes();
// The threads the process has now; -1 when the system does not say.
int threadCount();

} // namespace layouttest
