#include "tool/System.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tool {

namespace {

volatile std::sig_atomic_t stopSignalled = 0;
void requestStop(int) { stopSignalled = 1; }

std::string executableDir() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return ".";
    const std::string path(buffer, static_cast<std::size_t>(n));
    return path.substr(0, path.find_last_of('/'));
}

} // namespace

Args commandArguments(int argc, char **argv) { return Args(argv + 1, argv + argc); }

std::vector<std::string> defaultPluginPaths() {
    const std::string dir = executableDir();
    const char *home = std::getenv("HOME");
    return {
        dir + "/../murmelo.so",         // build tree
        dir + "/../lib/vst/murmelo.so", // installed with a prefix
        std::string(home ? home : "") + "/.vst/murmelo.so",
    };
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO); }

SNDFILE *openSoundFile(const std::string &path, int mode, SF_INFO *info) { return sf_open(path.c_str(), mode, info); }

bool replaceFile(const std::string &from, const std::string &to) { return std::rename(from.c_str(), to.c_str()) == 0; }

void removeFile(const std::string &path) { std::remove(path.c_str()); }

bool loopbackAnswers(int port, const std::function<std::string(int ownPort)> &message, int timeoutMs) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(self);
    if (bind(fd, reinterpret_cast<sockaddr *>(&self), sizeof(self)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&self), &length) != 0) {
        close(fd);
        return false;
    }
    const std::string datagram = message(ntohs(self.sin_port));
    sockaddr_in to = self;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    bool answered = false;
    for (int waited = 0; waited < timeoutMs && !answered; waited += 100) {
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
        pollfd wait{fd, POLLIN, 0};
        char answer[2048];
        answered = poll(&wait, 1, 100) > 0 && recv(fd, answer, sizeof(answer), MSG_DONTWAIT) >= 0;
    }
    close(fd);
    return answered;
}

void watchStopRequests() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() { return stopSignalled != 0; }

void stopFinished() {}

} // namespace tool
