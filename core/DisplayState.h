// The 24-byte block the editor reads: two reserved floats, the LFO speed and
// sweep width written once per audio block, and eight indicator flags that
// only MIDI scripts set and read.  Written and read on different threads
// without locks, hence relaxed atomics of the same size as the plain fields.
#pragma once

#include <atomic>
#include <cstdint>

namespace murmelo {

struct DisplayState {
    std::atomic<float> reserved[2];
    std::atomic<float> speedHz;
    std::atomic<float> sweepMs;
    std::atomic<std::uint8_t> guiFlags[8];

    void clear() {
        for (auto &r : reserved)
            r.store(0.f, std::memory_order_relaxed);
        speedHz.store(0.f, std::memory_order_relaxed);
        sweepMs.store(0.f, std::memory_order_relaxed);
        for (auto &f : guiFlags)
            f.store(0, std::memory_order_relaxed);
    }
};

static_assert(sizeof(DisplayState) == 24, "displayState is a 24-byte block");
static_assert(std::atomic<float>::is_always_lock_free, "lock-free floats");

} // namespace murmelo
