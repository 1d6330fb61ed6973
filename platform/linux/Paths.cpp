#include "platform/Paths.h"
#include "platform/linux/HomeFolders.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

const char kPathSeparator = '/';

namespace {

std::string absoluteOrHomeRelative(const char *variable, const char *underHome) {
    std::string value;
    if (environmentValue(variable, value) && value[0] == '/') return value;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + underHome;
}

} // namespace

bool environmentValue(const char *name, std::string &value) {
    const char *text = std::getenv(name);
    if (!text || !*text) return false;
    value = text;
    return true;
}

std::string homeFolder() {
    std::string home;
    if (environmentValue("HOME", home)) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        home = found->pw_dir;
    return home;
}

std::string userConfigFolder() { return absoluteOrHomeRelative("XDG_CONFIG_HOME", "/.config"); }

std::string userDataFolder() { return absoluteOrHomeRelative("XDG_DATA_HOME", "/.local/share"); }

bool canOpenFolder(const std::string &path) {
    DIR *folder = opendir(path.c_str());
    if (!folder) return false;
    closedir(folder);
    return true;
}

bool canReadFile(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    return regular;
}

bool listFolder(const std::string &path, std::vector<std::string> &names) {
    DIR *folder = opendir(path.c_str());
    if (!folder) return false;
    while (const dirent *entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(folder);
    return true;
}

bool makeFolders(const std::string &path, unsigned mode) {
    if (path.empty()) return false;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return canOpenFolder(path);
}

} // namespace platform
