// A thread whose end can be awaited with a time-out.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class Thread {
public:
    Thread() = default;
    ~Thread(); // joins if still running and finished; otherwise lets it go
    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;

    // Starts body on a new thread; false (with errorCode set) when the
    // system refuses.  Exceptions escaping body end the thread quietly.
    bool start(std::function<void()> body, int *errorCode = nullptr);
    // True from a successful start until join() has returned.
    bool running() const;
    // Waits up to timeoutMs for the thread to end and joins it.  On time-out
    // the thread is left to finish on its own (detached) and false returned.
    bool join(int timeoutMs);

    // The system's thread and what tells of its end; shared with the
    // running body, so a detached thread keeps what it uses.  Defined by
    // each system's implementation.
    struct State;

private:
    std::shared_ptr<State> state;
};

} // namespace platform
