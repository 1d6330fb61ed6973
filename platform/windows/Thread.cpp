#include "platform/Thread.h"

#include <cerrno>
#include <cstdint>
#include <process.h>
#include <windows.h>

namespace platform {

struct Thread::State {
    HANDLE thread = nullptr; // owned by the Thread object, closed by join()
    std::function<void()> body;
};

namespace {

// The new thread takes the body and drops its reference to the state
// before running it.
unsigned __stdcall threadMain(void *argument) {
    using State = Thread::State;
    std::shared_ptr<State> *own = static_cast<std::shared_ptr<State> *>(argument);
    std::function<void()> body = std::move((*own)->body);
    delete own;
    try {
        body();
    } catch (...) {
    }
    return 0;
}

} // namespace

Thread::~Thread() {
    if (running()) join(0);
}

bool Thread::running() const { return state && state->thread; }

bool Thread::start(std::function<void()> body, int *errorCode) {
    if (running()) return false;
    auto shared = std::make_shared<State>();
    shared->body = std::move(body);
    auto *argument = new std::shared_ptr<State>(shared);
    // _beginthreadex rather than CreateThread: the C run-time's per-thread
    // data is set up and freed with the thread.
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, threadMain, argument, 0, nullptr);
    if (handle == 0) {
        if (errorCode) *errorCode = errno;
        delete argument;
        return false;
    }
    shared->thread = reinterpret_cast<HANDLE>(handle);
    state = std::move(shared);
    return true;
}

bool Thread::join(int timeoutMs) {
    if (!running()) return true;
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    const bool ended = WaitForSingleObject(state->thread, limit) == WAIT_OBJECT_0;
    // Closing the handle of a thread that still runs lets it finish on its own.
    CloseHandle(state->thread);
    state->thread = nullptr;
    return ended;
}

} // namespace platform
