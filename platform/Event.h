// Auto-reset events: signal() wakes one wait and is consumed by it; a signal
// with nobody waiting stays set until the next wait takes it.
#pragma once

#include <initializer_list>

namespace platform {

class AutoResetEvent {
public:
    AutoResetEvent();
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent &) = delete;
    AutoResetEvent &operator=(const AutoResetEvent &) = delete;

    // [any]
    void signal();
    // Waits for this event; false on time-out.  timeoutMs < 0 waits forever.
    bool wait(int timeoutMs = -1);

private:
    friend int waitForAny(std::initializer_list<AutoResetEvent *>, int);
    // Where the system has event objects (Windows), the event's handle;
    // elsewhere every event shares one lock and keeps its state in
    // `signalled`, guarded by that lock.
    void *handle = nullptr;
    bool signalled = false;
};

// Waits until one of the events is signalled and consumes it.  Returns the
// position in the list of the first signalled event (earlier events win when
// several are set), or -1 on time-out.  timeoutMs < 0 waits forever.
int waitForAny(std::initializer_list<AutoResetEvent *> events, int timeoutMs = -1);

} // namespace platform
