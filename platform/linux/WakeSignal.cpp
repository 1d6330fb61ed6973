#include "platform/WakeSignal.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr int kPollMs = 10;
}

WakeSignal::WakeSignal() : handle(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

bool WakeSignal::valid() const { return handle >= 0; }

WakeSignal::~WakeSignal() {
    if (handle >= 0) close(static_cast<int>(handle));
}

void WakeSignal::post() {
    if (handle < 0) return;
    const std::uint64_t one = 1;
    // Only a counter at its maximum refuses the write (EAGAIN), and then a
    // wake-up is pending anyway.
    ssize_t written = write(static_cast<int>(handle), &one, sizeof(one));
    (void)written;
}

bool WakeSignal::wait(int timeoutMs) {
    if (handle < 0) {
        // Without the descriptor the waiter polls: a short sleep, then it
        // looks at its work as if posted.
        poll(nullptr, 0, timeoutMs < 0 || timeoutMs > kPollMs ? kPollMs : timeoutMs);
        return true;
    }
    pollfd p{static_cast<int>(handle), POLLIN, 0};
    int ready;
    do
        ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    std::uint64_t count = 0;
    return read(static_cast<int>(handle), &count, sizeof(count)) == static_cast<ssize_t>(sizeof(count)) && count > 0;
}

} // namespace platform
