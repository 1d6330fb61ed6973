#include "platform/Event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

namespace {

// Events are signalled rarely (thread control, a few per parameter change),
// so one lock and one condition for all of them keeps multi-event waits simple.
// Never destroyed: threads may still wait on them while the process exits
// (a host that quits without closing every instance), and destroying a
// condition that has waiters blocks the exit for ever.
std::mutex &eventsLock() {
    static std::mutex *lock = new std::mutex;
    return *lock;
}
std::condition_variable &eventsChanged() {
    static std::condition_variable *changed = new std::condition_variable;
    return *changed;
}

} // namespace

AutoResetEvent::AutoResetEvent() = default;
AutoResetEvent::~AutoResetEvent() = default;

void AutoResetEvent::signal() {
    {
        std::lock_guard<std::mutex> guard(eventsLock());
        signalled = true;
    }
    eventsChanged().notify_all();
}

bool AutoResetEvent::wait(int timeoutMs) { return waitForAny({this}, timeoutMs) == 0; }

int waitForAny(std::initializer_list<AutoResetEvent *> events, int timeoutMs) {
    std::unique_lock<std::mutex> lock(eventsLock());
    auto takeFirst = [&]() -> int {
        int position = 0;
        for (AutoResetEvent *e : events) {
            if (e->signalled) {
                e->signalled = false;
                return position;
            }
            ++position;
        }
        return -1;
    };
    int taken = takeFirst();
    if (taken >= 0) return taken;
    if (timeoutMs < 0) {
        eventsChanged().wait(lock, [&] { return (taken = takeFirst()) >= 0; });
        return taken;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    eventsChanged().wait_until(lock, deadline, [&] { return (taken = takeFirst()) >= 0; });
    return taken;
}

} // namespace platform
