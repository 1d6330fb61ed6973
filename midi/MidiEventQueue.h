// MIDI events that the audio thread could not deliver because another
// thread (a timer callback, "/exec", "/call") held the interpreter: kept
// here, without allocation, for the next block that gets the interpreter.
//
// One producer (the thread that hands over the host's events) and one
// consumer at a time (whoever delivers, always under the interpreter's
// lock).  A full queue refuses the event; the caller counts it.
#pragma once

#include <atomic>
#include <cstdint>

namespace QV {

struct QueuedMidiEvent {
    unsigned char bytes[3];
    std::int32_t deltaFrames;
};

class MidiEventQueue {
public:
    static constexpr std::uint32_t kCapacity = 1024;

    // [audio] false when full.
    bool push(const QueuedMidiEvent &event) {
        const std::uint32_t tail = written.load(std::memory_order_relaxed);
        if (tail - taken.load(std::memory_order_acquire) >= kCapacity) return false;
        slots[tail % kCapacity] = event;
        written.store(tail + 1, std::memory_order_release);
        return true;
    }
    // [under the interpreter's lock] the oldest event; false when empty.
    bool pop(QueuedMidiEvent &event) {
        const std::uint32_t head = taken.load(std::memory_order_relaxed);
        if (head == written.load(std::memory_order_acquire)) return false;
        event = slots[head % kCapacity];
        taken.store(head + 1, std::memory_order_release);
        return true;
    }
    // [any] a hint: true when nothing is waiting.
    bool empty() const { return taken.load(std::memory_order_acquire) == written.load(std::memory_order_acquire); }

private:
    QueuedMidiEvent slots[kCapacity]{};
    std::atomic<std::uint32_t> written{0}; // events pushed so far
    std::atomic<std::uint32_t> taken{0};   // events popped so far
};

} // namespace QV
