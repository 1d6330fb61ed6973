#include "platform/Thread.h"

#include <cerrno>
#include <system_error>

namespace platform {

Thread::~Thread() {
    if (thread.joinable()) join(0);
}

bool Thread::start(std::function<void()> body, int *errorCode) {
    if (thread.joinable()) return false;
    auto done = std::make_shared<Finished>();
    try {
        thread = std::thread([body = std::move(body), done] {
            try {
                body();
            } catch (...) {
            }
            done->event.signal();
        });
    } catch (const std::system_error &e) {
        if (errorCode) *errorCode = e.code().value();
        return false;
    }
    finished = std::move(done);
    return true;
}

bool Thread::join(int timeoutMs) {
    if (!thread.joinable()) return true;
    if (finished->event.wait(timeoutMs)) {
        thread.join();
        return true;
    }
    thread.detach();
    return false;
}

} // namespace platform
