// A wake-up that one thread waits on and any thread may post without taking
// a lock or allocating: an eventfd counter on Linux, an auto-reset event
// object on Windows.  Posts made while nobody waits
// are kept until the next wait takes them all at once.  Used where the
// poster may be the host's audio thread.
#pragma once

namespace platform {

class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal &) = delete;
    WakeSignal &operator=(const WakeSignal &) = delete;

    // False when the system refused the descriptor; post then does nothing
    // and wait sleeps a few milliseconds and returns true, so the waiter
    // still gets round to its work.
    bool valid() const;
    // [any] One system call; never blocks, never locks, never allocates.
    void post();
    // [one waiting thread] Waits until posted or timeoutMs passes (< 0: no
    // limit) and consumes every post; true when posted.
    bool wait(int timeoutMs = -1);

private:
    // The descriptor or handle; -1 when the system refused one.
    long long handle = -1;
};

} // namespace platform
