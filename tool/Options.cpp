#include "platform/Paths.h"
#include "tool/System.h"
#include "tool/Tool.h"

#include <algorithm>
#include <cstdio>

namespace tool {

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
    if (platform::environmentValue("MURMELO_PLUGIN", path)) return path;
    const std::vector<std::string> candidates = defaultPluginPaths();
    for (const std::string &c : candidates)
        if (platform::canReadFile(c)) return c;
    return candidates.front();
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
