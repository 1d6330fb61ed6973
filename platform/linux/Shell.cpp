#include "platform/Shell.h"

#include "platform/ErrorReport.h"
#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace platform {

namespace {

constexpr char kOpener[] = "xdg-open";

} // namespace

bool onPath(const char *name) {
    std::string path;
    if (!environmentValue("PATH", path)) return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string folder = end > start ? path.substr(start, end - start) : ".";
        if (access((folder + "/" + name).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

std::string moduleFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&moduleFolder), &info) || !info.dli_fname) return "";
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return "";
    std::string folder = resolved;
    const std::size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

bool openDocument(const std::string &path) {
    if (!onPath(kOpener)) {
        reportError(std::string("cannot open ") + path + ": " + kOpener + " is not installed");
        return false;
    }
    // The shell starts the opener in the background and ends at once, so the
    // opener (and the browser it may wait for) is nobody's child here.
    const char *argv[] = {"sh", "-c", "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &", "sh", path.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The host's sockets, devices and display connections stay with the host.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t child = 0;
    const int error = posix_spawn(&child, "/bin/sh", &actions, nullptr, const_cast<char *const *>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        reportError(std::string("cannot start ") + kOpener + ": " + std::strerror(error));
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace platform
