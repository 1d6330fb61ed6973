// A thread whose end can be awaited with a time-out.
#pragma once

#include "platform/Event.h"

#include <functional>
#include <memory>
#include <thread>

namespace platform {

class Thread {
public:
    Thread() = default;
    ~Thread(); // joins if still joinable and finished; otherwise detaches
    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;

    // Starts body on a new thread; false (with errorCode set) when the
    // system refuses.  Exceptions escaping body end the thread quietly.
    bool start(std::function<void()> body, int *errorCode = nullptr);
    bool running() const { return thread.joinable(); }
    // Waits up to timeoutMs for the thread to end and joins it.  On time-out
    // the thread is left to finish on its own (detached) and false returned.
    bool join(int timeoutMs);

private:
    struct Finished {
        AutoResetEvent event;
    };
    std::thread thread;
    std::shared_ptr<Finished> finished;
};

} // namespace platform
