// A queue of timers whose callbacks run off the caller's thread.
//
// A timer fires first after its due time and then every period (a period of
// 0 fires once; the timer stays allocated until it is deleted).  One timer's
// callbacks never overlap: a periodic timer still running when it is due
// again skips that firing.  On Linux the callbacks of one queue run one at a
// time on a worker thread of the queue's own, started with the first timer;
// on Windows the system's timer queue runs them on its pool threads, so
// callbacks of different timers may run at the same time, and the callers
// serialise what they share (the MIDI host takes its locks).
//
// Contract:
//  - deleteTimer() does not wait: a callback already running finishes, and
//    the timer never starts another one.  It may be called from inside the
//    timer's own callback.  A deleted handle must not be used again.
//  - stop() (and the destructor) end the worker and wait until a callback
//    in progress has returned; no callback runs afterwards and no timer can
//    be created.  Neither may be called from inside a callback.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class TimerQueue {
public:
    struct Timer;
    using Callback = std::function<void()>;

    TimerQueue();
    ~TimerQueue();
    TimerQueue(const TimerQueue &) = delete;
    TimerQueue &operator=(const TimerQueue &) = delete;

    // [any] a new timer, or null when the worker thread cannot be started.
    Timer *createTimer(Callback callback, std::uint32_t dueMs, std::uint32_t periodMs);
    // [any] re-arms the timer: next firing dueMs from now, then every periodMs.
    void changeTimer(Timer *timer, std::uint32_t dueMs, std::uint32_t periodMs);
    // [any] see the contract above.
    void deleteTimer(Timer *timer);
    // [owner] see the contract above.  Idempotent.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace platform
