#include "platform/TimerQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace platform {

namespace {
using Clock = std::chrono::steady_clock;
}

struct TimerQueue::Timer {
    Callback callback;
    std::chrono::milliseconds period{0};
    Clock::time_point when{};
    bool armed = false;   // in `pending`
    bool deleted = false; // deleted while its callback runs; freed afterwards
};

struct TimerQueue::Impl {
    using Slot = std::pair<Clock::time_point, Timer *>;

    ~Impl();
    bool ensureWorker();
    void run();
    void schedule(Timer *timer, Clock::time_point when);
    void unschedule(Timer *timer);
    void fire(std::unique_lock<std::mutex> &lock, Timer *timer);
    void stop();

    std::mutex lock;
    std::condition_variable wake;
    std::set<Slot> pending;   // armed timers by next firing time
    std::set<Timer *> timers; // every live timer (owned)
    Timer *running = nullptr; // the timer whose callback runs now
    bool stopping = false;
    std::thread worker;
};

TimerQueue::TimerQueue() : impl(new Impl) {}
TimerQueue::~TimerQueue() = default;

TimerQueue::Impl::~Impl() {
    stop();
    for (Timer *t : timers)
        delete t;
}

void TimerQueue::stop() { impl->stop(); }

void TimerQueue::Impl::stop() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable()) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach(); // misuse; never join ourselves
        else
            worker.join();
    }
}

bool TimerQueue::Impl::ensureWorker() {
    if (worker.joinable()) return true;
    try {
        worker = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

TimerQueue::Timer *TimerQueue::createTimer(Callback callback, std::uint32_t dueMs, std::uint32_t periodMs) {
    Impl &q = *impl;
    std::lock_guard<std::mutex> guard(q.lock);
    if (q.stopping || !q.ensureWorker()) return nullptr;
    auto *timer = new Timer;
    timer->callback = std::move(callback);
    timer->period = std::chrono::milliseconds(periodMs);
    q.timers.insert(timer);
    q.schedule(timer, Clock::now() + std::chrono::milliseconds(dueMs));
    return timer;
}

void TimerQueue::changeTimer(Timer *timer, std::uint32_t dueMs, std::uint32_t periodMs) {
    Impl &q = *impl;
    {
        std::lock_guard<std::mutex> guard(q.lock);
        if (!q.timers.count(timer) || timer->deleted) return;
        q.unschedule(timer);
        timer->period = std::chrono::milliseconds(periodMs);
        q.schedule(timer, Clock::now() + std::chrono::milliseconds(dueMs));
    }
    q.wake.notify_all();
}

void TimerQueue::deleteTimer(Timer *timer) {
    Impl &q = *impl;
    std::lock_guard<std::mutex> guard(q.lock);
    if (!q.timers.count(timer) || timer->deleted) return;
    q.unschedule(timer);
    if (timer == q.running) {
        timer->deleted = true; // the worker frees it when the callback returns
        return;
    }
    q.timers.erase(timer);
    delete timer;
}

void TimerQueue::Impl::schedule(Timer *timer, Clock::time_point when) {
    timer->when = when;
    timer->armed = true;
    pending.insert({when, timer});
    if (pending.begin()->second == timer) wake.notify_all();
}

void TimerQueue::Impl::unschedule(Timer *timer) {
    if (!timer->armed) return;
    pending.erase({timer->when, timer});
    timer->armed = false;
}

// [timer] the worker: sleeps until the earliest due time, fires, repeats.
void TimerQueue::Impl::run() {
    std::unique_lock<std::mutex> guard(lock);
    while (!stopping) {
        if (pending.empty()) {
            wake.wait(guard);
            continue;
        }
        const Slot next = *pending.begin();
        if (Clock::now() < next.first) {
            wake.wait_until(guard, next.first);
            continue;
        }
        fire(guard, next.second);
    }
}

void TimerQueue::Impl::fire(std::unique_lock<std::mutex> &guard, Timer *timer) {
    unschedule(timer);
    if (timer->period.count() > 0) {
        // Keep the rhythm, but never queue up a burst after a slow callback.
        const Clock::time_point now = Clock::now();
        Clock::time_point next = timer->when + timer->period;
        if (next < now) next = now + timer->period;
        schedule(timer, next);
    }
    // The callback never changes after creation, and a timer deleted while
    // running is only marked, so it can be called without the lock.
    running = timer;
    guard.unlock();
    try {
        timer->callback();
    } catch (...) {
        // A callback must not end the worker.
    }
    guard.lock();
    running = nullptr;
    if (timer->deleted) {
        timers.erase(timer);
        delete timer;
    }
}

} // namespace platform
