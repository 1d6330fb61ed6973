// A queue of timers whose callbacks run on the queue's own worker thread.
//
// A timer fires first after its due time and then every period (a period of
// 0 fires once; the timer stays allocated until it is deleted).  Callbacks of
// one queue run one at a time on a single worker thread, started with the
// first timer, so a slow callback delays the others of the same queue.
//
// Contract:
//  - deleteTimer() does not wait: a callback already running finishes, and
//    the timer never starts another one.  It may be called from inside the
//    timer's own callback.  A deleted handle must not be used again.
//  - stop() (and the destructor) end the worker and wait until a callback
//    in progress has returned; no callback runs afterwards and no timer can
//    be created.  Neither may be called from inside a callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

class TimerQueue {
public:
    struct Timer;
    using Callback = std::function<void()>;

    TimerQueue() = default;
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
    using Clock = std::chrono::steady_clock;
    using Slot = std::pair<Clock::time_point, Timer *>;

    bool ensureWorker();
    void run();
    void schedule(Timer *timer, Clock::time_point when);
    void unschedule(Timer *timer);
    void fire(std::unique_lock<std::mutex> &lock, Timer *timer);

    std::mutex lock;
    std::condition_variable wake;
    std::set<Slot> pending;   // armed timers by next firing time
    std::set<Timer *> timers; // every live timer (owned)
    Timer *running = nullptr; // the timer whose callback runs now
    bool stopping = false;
    std::thread worker;
};

} // namespace platform
