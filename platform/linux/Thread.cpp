#include "platform/Thread.h"

#include "platform/Event.h"

#include <system_error>
#include <thread>

namespace platform {

struct Thread::State {
    std::thread thread;
    AutoResetEvent finished;
};

Thread::~Thread() {
    if (running()) join(0);
}

bool Thread::running() const { return state && state->thread.joinable(); }

bool Thread::start(std::function<void()> body, int *errorCode) {
    if (running()) return false;
    auto shared = std::make_shared<State>();
    try {
        // The body keeps only the event, so a detached thread never holds
        // the std::thread object that represents it.
        std::shared_ptr<AutoResetEvent> done(shared, &shared->finished);
        shared->thread = std::thread([body = std::move(body), done] {
            try {
                body();
            } catch (...) {
            }
            done->signal();
        });
    } catch (const std::system_error &e) {
        if (errorCode) *errorCode = e.code().value();
        return false;
    }
    state = std::move(shared);
    return true;
}

bool Thread::join(int timeoutMs) {
    if (!running()) return true;
    if (state->finished.wait(timeoutMs)) {
        state->thread.join();
        return true;
    }
    state->thread.detach();
    return false;
}

} // namespace platform
