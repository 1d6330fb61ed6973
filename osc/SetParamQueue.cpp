#include "osc/SetParamQueue.h"

#include <cstdio>

namespace QV {

namespace {
constexpr std::uint32_t kCapacity = SetParamQueue::kSlots - 1;
}

bool SetParamQueue::Write(std::int32_t index, float value) {
    std::uint32_t claimed = writeCount.load(std::memory_order_relaxed);
    for (;;) {
        const std::uint32_t taken = readCount.load(std::memory_order_acquire);
        if (claimed - taken >= kCapacity) {
            overflows.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        if (writeCount.compare_exchange_weak(claimed, claimed + 1, std::memory_order_acq_rel,
                                             std::memory_order_relaxed))
            break;
    }
    Slot &slot = slots[claimed % kSlots];
    slot.entry = Entry{index, value};
    slot.filledBy.store(claimed + 1, std::memory_order_release);
    return true;
}

void SetParamQueue::reportOverflows() {
    for (std::uint32_t n = overflows.exchange(0, std::memory_order_relaxed); n > 0; --n)
        std::fputs("OSCHelper::SetParamQueue::Write() overflow\n", stdout);
    std::fflush(stdout);
}

bool SetParamQueue::Read(Entry &out) {
    const std::uint32_t taken = readCount.load(std::memory_order_relaxed);
    if (taken == writeCount.load(std::memory_order_acquire)) return false;
    const Slot &slot = slots[taken % kSlots];
    if (slot.filledBy.load(std::memory_order_acquire) != taken + 1) return false;
    out = slot.entry;
    readCount.store(taken + 1, std::memory_order_release);
    return true;
}

} // namespace QV
