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

WakeSignal::WakeSignal() : fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
    if (fd >= 0) close(fd);
}

void WakeSignal::post() {
    if (fd < 0) return;
    const std::uint64_t one = 1;
    // Only a counter at its maximum refuses the write (EAGAIN), and then a
    // wake-up is pending anyway.
    ssize_t written = write(fd, &one, sizeof(one));
    (void)written;
}

bool WakeSignal::wait(int timeoutMs) {
    if (fd < 0) {
        // Without the descriptor the waiter polls: a short sleep, then it
        // looks at its work as if posted.
        poll(nullptr, 0, timeoutMs < 0 || timeoutMs > kPollMs ? kPollMs : timeoutMs);
        return true;
    }
    pollfd p{fd, POLLIN, 0};
    int ready;
    do
        ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    std::uint64_t count = 0;
    return read(fd, &count, sizeof(count)) == static_cast<ssize_t>(sizeof(count)) && count > 0;
}

} // namespace platform
