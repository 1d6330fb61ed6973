// The queue of pending update notifications between the effect's
// parameter-change operation (producers on any host, editor or effect
// thread) and the OSC notify thread (the one consumer).
//
// A ring of 64 slots holding at most 63 entries.  writePosition names the
// next slot to fill (starts at 0); readPosition names the slot last taken
// (starts at 63).  The ring is full when writePosition equals readPosition
// and empty when the slot after readPosition is writePosition.
//
// Several producers may write at once: each claims its slot with a
// compare-and-swap on a running write count, stores the entry and then
// publishes the slot.  Write takes no lock and allocates nothing.  The counts
// run on past 64 (positions are the counts modulo 64), so a producer that
// stalls between reading and claiming cannot be fooled by a position that
// wrapped around in the meantime.
#pragma once

#include <atomic>
#include <cstdint>

namespace QV {

class SetParamQueue {
public:
    static constexpr int kSlots = 64;

    struct Entry {
        std::int32_t index;
        float value;
    };

    // [any] false when 63 entries are pending.  The overflow is only
    // counted here (a producer may be the host's audio thread, which never
    // prints); the consumer prints its line through reportOverflows.
    bool Write(std::int32_t index, float value);
    // [osc notify thread only] prints "OSCHelper::SetParamQueue::Write()
    // overflow" once for every write refused since the last call.
    void reportOverflows();
    // [osc notify thread only] takes the oldest entry; false when empty.  An
    // entry whose producer has claimed its slot but not finished storing it
    // counts as not there yet; that producer wakes the reader when done.
    bool Read(Entry &out);

    int writePosition() const { return static_cast<int>(writeCount.load(std::memory_order_acquire) % kSlots); }
    int readPosition() const {
        return static_cast<int>((readCount.load(std::memory_order_acquire) + kSlots - 1) % kSlots);
    }

private:
    struct Slot {
        Entry entry{0, 0.f};
        // writeCount + 1 of the write that filled it, published last.
        std::atomic<std::uint32_t> filledBy{0};
    };

    Slot slots[kSlots];
    std::atomic<std::uint32_t> writeCount{0}; // writes claimed so far
    std::atomic<std::uint32_t> readCount{0};  // entries taken so far
    std::atomic<std::uint32_t> overflows{0};  // writes refused, not yet reported
};

} // namespace QV
