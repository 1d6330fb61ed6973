#include "platform/TimerQueue.h"

#include <system_error>

namespace platform {

struct TimerQueue::Timer {
    Callback callback;
    std::chrono::milliseconds period{0};
    Clock::time_point when{};
    bool armed = false;   // in `pending`
    bool deleted = false; // deleted while its callback runs; freed afterwards
};

TimerQueue::~TimerQueue() {
    stop();
    for (Timer *t : timers)
        delete t;
}

void TimerQueue::stop() {
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

bool TimerQueue::ensureWorker() {
    if (worker.joinable()) return true;
    try {
        worker = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

TimerQueue::Timer *TimerQueue::createTimer(Callback callback, std::uint32_t dueMs, std::uint32_t periodMs) {
    std::lock_guard<std::mutex> guard(lock);
    if (stopping || !ensureWorker()) return nullptr;
    auto *timer = new Timer;
    timer->callback = std::move(callback);
    timer->period = std::chrono::milliseconds(periodMs);
    timers.insert(timer);
    schedule(timer, Clock::now() + std::chrono::milliseconds(dueMs));
    return timer;
}

void TimerQueue::changeTimer(Timer *timer, std::uint32_t dueMs, std::uint32_t periodMs) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!timers.count(timer) || timer->deleted) return;
        unschedule(timer);
        timer->period = std::chrono::milliseconds(periodMs);
        schedule(timer, Clock::now() + std::chrono::milliseconds(dueMs));
    }
    wake.notify_all();
}

void TimerQueue::deleteTimer(Timer *timer) {
    std::lock_guard<std::mutex> guard(lock);
    if (!timers.count(timer) || timer->deleted) return;
    unschedule(timer);
    if (timer == running) {
        timer->deleted = true; // the worker frees it when the callback returns
        return;
    }
    timers.erase(timer);
    delete timer;
}

void TimerQueue::schedule(Timer *timer, Clock::time_point when) {
    timer->when = when;
    timer->armed = true;
    pending.insert({when, timer});
    if (pending.begin()->second == timer) wake.notify_all();
}

void TimerQueue::unschedule(Timer *timer) {
    if (!timer->armed) return;
    pending.erase({timer->when, timer});
    timer->armed = false;
}

// [timer] the worker: sleeps until the earliest due time, fires, repeats.
void TimerQueue::run() {
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

void TimerQueue::fire(std::unique_lock<std::mutex> &guard, Timer *timer) {
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
