#include "tool/PrivateDisplay.h"

#include "platform/Shell.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace tool {

namespace {

constexpr int kStartTimeoutMs = 10000;

// Reads what the server writes to the pipe (its display number and a new
// line) until the line is complete, the pipe closes or time runs out.
std::string readDisplayNumber(int fd) {
    std::string text;
    pollfd p{fd, POLLIN, 0};
    while (text.find('\n') == std::string::npos && poll(&p, 1, kStartTimeoutMs) > 0) {
        char buffer[32];
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n <= 0) break;
        text.append(buffer, std::size_t(n));
    }
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? "" : text.substr(0, end);
}

} // namespace

PrivateDisplay::~PrivateDisplay() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    int status = 0;
    while (waitpid(server, &status, 0) < 0 && errno == EINTR) {
    }
}

bool PrivateDisplay::acquire(std::string &error) {
    if (platform::onPath("Xvfb")) return startServer(error);
    const char *current = std::getenv("DISPLAY");
    if (current && *current) {
        display = current;
        return true;
    }
    error = "no X display: Xvfb is not installed (apt-get install xvfb) and DISPLAY is not set";
    return false;
}

// Xvfb picks a free display itself and tells us which (-displayfd).
bool PrivateDisplay::startServer(std::string &error) {
    int fds[2];
    if (pipe(fds) != 0) {
        error = std::string("cannot start Xvfb: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    const char *argv[] = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", nullptr};
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (failed) {
        close(fds[0]);
        error = std::string("cannot start Xvfb: ") + std::strerror(failed);
        return false;
    }
    server = pid;
    const std::string number = readDisplayNumber(fds[0]);
    close(fds[0]);
    if (number.empty()) {
        error = "Xvfb did not start (no display number within 10 s)";
        return false;
    }
    display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    return true;
}

} // namespace tool
