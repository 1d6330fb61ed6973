#include "platform/TimerQueue.h"

#include <vector>
#include <windows.h>

namespace platform {

namespace {

// The period the system is given for our one-shot timers.  The system does
// not re-arm a one-shot timer that has fired (ChangeTimerQueueTimer leaves
// it expired), but a periodic one it does; so every system timer is
// periodic, and a one-shot timer's repeats, some 49 days apart, are ignored
// until it is re-armed.
constexpr DWORD kOneShotPeriodMs = 0xFFFFFFFEu;

} // namespace

// One system timer of the system's timer queue.  The system may still call
// a timer's callback after DeleteTimerQueueTimer has returned (a firing
// already on its way), so a deleted timer is kept, marked, until the event
// given to the deletion says its last callback is over.
struct TimerQueue::Timer {
    TimerQueue::Impl *queue = nullptr;
    HANDLE handle = nullptr;
    Callback callback;
    bool oneShot = false;      // our period is 0: fire once per arming
    bool armed = false;        // a one-shot timer that has not fired since it was armed
    bool running = false;      // its callback runs now (under the queue's lock)
    bool deleted = false;      // never call it again
    HANDLE finished = nullptr; // for a deleted timer: set when no callback can come any more
};

struct TimerQueue::Impl {
    Impl() { InitializeCriticalSection(&lock); }
    ~Impl() {
        stop();
        DeleteCriticalSection(&lock);
    }

    static void CALLBACK fired(void *context, BOOLEAN);
    void stop();
    void collect(); // under lock: frees deleted timers whose last callback is over

    CRITICAL_SECTION lock;
    HANDLE queue = nullptr;
    std::vector<Timer *> live;    // every timer not yet deleted (owned)
    std::vector<Timer *> retired; // deleted, waiting for `finished` (owned)
    bool stopped = false;
};

namespace {

struct Locked {
    explicit Locked(CRITICAL_SECTION &section) : section(section) { EnterCriticalSection(&section); }
    ~Locked() { LeaveCriticalSection(&section); }
    CRITICAL_SECTION &section;
};

bool isLive(const std::vector<TimerQueue::Timer *> &live, TimerQueue::Timer *timer) {
    for (TimerQueue::Timer *t : live)
        if (t == timer) return true;
    return false;
}

} // namespace

TimerQueue::TimerQueue() : impl(new Impl) {}
TimerQueue::~TimerQueue() = default;

// [timer] Runs on one of the system's pool threads.  A periodic timer whose
// callback is still running when it fires again skips that firing, so one
// timer's callbacks never overlap and never pile up.
void CALLBACK TimerQueue::Impl::fired(void *context, BOOLEAN) {
    Timer *timer = static_cast<Timer *>(context);
    Impl &q = *timer->queue;
    {
        Locked guard(q.lock);
        if (timer->deleted || timer->running || q.stopped) return;
        if (timer->oneShot) {
            if (!timer->armed) return; // the system's repeat of a one-shot timer
            timer->armed = false;
        }
        timer->running = true;
    }
    try {
        timer->callback();
    } catch (...) {
        // A callback must not end the system's thread.
    }
    Locked guard(q.lock);
    timer->running = false;
}

void TimerQueue::Impl::collect() {
    for (std::size_t i = 0; i < retired.size();) {
        Timer *t = retired[i];
        if (t->finished && WaitForSingleObject(t->finished, 0) == WAIT_OBJECT_0) {
            CloseHandle(t->finished);
            delete t;
            retired[i] = retired.back();
            retired.pop_back();
        } else {
            ++i;
        }
    }
}

void TimerQueue::stop() { impl->stop(); }

void TimerQueue::Impl::stop() {
    HANDLE ending = nullptr;
    std::vector<Timer *> timers, deleted;
    {
        Locked guard(lock);
        if (stopped) return;
        stopped = true;
        ending = queue;
        queue = nullptr;
        timers = live;
        deleted = retired;
    }
    // No new callback starts now (`stopped`).  The timers go one by one, each
    // deletion waiting for that timer's callbacks in progress, and the
    // deleted ones are waited for, before the queue itself goes: deleting a
    // queue while callbacks of several of its timers are pending never
    // returns under wine (its list of timers is walked for ever).
    if (ending) {
        for (Timer *t : timers)
            DeleteTimerQueueTimer(ending, t->handle, INVALID_HANDLE_VALUE);
        for (Timer *t : deleted)
            if (t->finished) WaitForSingleObject(t->finished, INFINITE);
        DeleteTimerQueueEx(ending, INVALID_HANDLE_VALUE);
    }
    Locked guard(lock);
    for (Timer *t : live)
        delete t;
    live.clear();
    for (Timer *t : retired) {
        if (t->finished) CloseHandle(t->finished);
        delete t;
    }
    retired.clear();
}

TimerQueue::Timer *TimerQueue::createTimer(Callback callback, std::uint32_t dueMs, std::uint32_t periodMs) {
    Impl &q = *impl;
    Locked guard(q.lock);
    q.collect();
    if (q.stopped) return nullptr;
    if (!q.queue && !(q.queue = CreateTimerQueue())) return nullptr;
    auto *timer = new Timer;
    timer->queue = &q;
    timer->callback = std::move(callback);
    timer->oneShot = periodMs == 0;
    timer->armed = true;
    // Created under the lock: a timer due at once cannot reach its callback
    // before the handle is stored (the callback takes the lock first).
    if (!CreateTimerQueueTimer(&timer->handle, q.queue, &Impl::fired, timer, dueMs,
                               periodMs ? periodMs : kOneShotPeriodMs, WT_EXECUTEDEFAULT)) {
        delete timer;
        return nullptr;
    }
    q.live.push_back(timer);
    return timer;
}

void TimerQueue::changeTimer(Timer *timer, std::uint32_t dueMs, std::uint32_t periodMs) {
    Impl &q = *impl;
    Locked guard(q.lock);
    if (q.stopped || !isLive(q.live, timer)) return;
    timer->oneShot = periodMs == 0;
    timer->armed = true;
    ChangeTimerQueueTimer(q.queue, timer->handle, dueMs, periodMs ? periodMs : kOneShotPeriodMs);
}

void TimerQueue::deleteTimer(Timer *timer) {
    Impl &q = *impl;
    Locked guard(q.lock);
    if (q.stopped || !isLive(q.live, timer)) return;
    for (Timer *&t : q.live)
        if (t == timer) {
            t = q.live.back();
            q.live.pop_back();
            break;
        }
    timer->deleted = true;
    // Does not wait: the event is set once a callback in progress (perhaps
    // the caller itself) has returned.
    // Without an event (the system refused one) the timer is kept until the
    // queue ends, since nothing would tell when it may go.
    timer->finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DeleteTimerQueueTimer(q.queue, timer->handle, timer->finished);
    q.retired.push_back(timer);
    q.collect();
}

} // namespace platform
