#include "tool/Tool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace tool {

namespace {

bool readable(const std::string &path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

std::string executableDir() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(n));
    return path.substr(0, path.find_last_of('/'));
}

} // namespace

bool takeFlag(Args &args, const std::string &flag) {
    auto found = std::find(args.begin(), args.end(), flag);
    if (found == args.end()) return false;
    args.erase(found);
    return true;
}

bool takeOption(Args &args, const std::string &name, std::string &value, std::string &error) {
    auto found = std::find(args.begin(), args.end(), name);
    if (found == args.end()) return false;
    if (found + 1 == args.end()) {
        error = name + " needs a value";
        args.erase(found);
        return false;
    }
    value = *(found + 1);
    args.erase(found, found + 2);
    return true;
}

std::string takePluginPath(Args &args) {
    std::string path, error;
    if (takeOption(args, "--plugin", path, error)) return path;
    if (const char *env = std::getenv("MURMELO_PLUGIN")) return env;
    const std::string dir = executableDir();
    const std::string candidates[] = {
        dir + "/../murmelo.so",         // build tree
        dir + "/../lib/vst/murmelo.so", // installed with a prefix
        std::string(std::getenv("HOME") ? std::getenv("HOME") : "") + "/.vst/murmelo.so",
    };
    for (const std::string &c : candidates)
        if (readable(c)) return c;
    return candidates[0];
}

int usageError(const char *command, const std::string &message, const char *usage) {
    failure(command, message);
    std::fputs(usage, stderr);
    return 2;
}

int failure(const char *command, const std::string &message) {
    std::fprintf(stderr, "murmelo %s: %s\n", command, message.c_str());
    return 1;
}

} // namespace tool
