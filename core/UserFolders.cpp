#include "core/UserFolders.h"

#include "platform/Paths.h"

namespace murmelo {

namespace {

constexpr char kLuaSuffix[] = ".lua";

// user folder + /Quorvane/Murmelo/<leaf>; empty when there is no user folder,
// so that nothing is looked for at the root of the file system.
std::string productFolder(const char *leaf) {
    const std::string user = getUserFolder();
    if (user.empty()) return std::string();
    const char sep = platform::kPathSeparator;
    return user + sep + "Quorvane" + sep + "Murmelo" + sep + leaf;
}

bool isLuaName(const std::string &name) {
    const std::size_t n = sizeof(kLuaSuffix) - 1;
    return name.size() >= n && name.compare(name.size() - n, n, kLuaSuffix) == 0;
}

} // namespace

std::string getUserFolder() {
    std::string folder;
    // $APPDATA first, so Windows habits and tests can point it anywhere.
    if (platform::environmentValue("APPDATA", folder)) return folder;
    return platform::userDataFolder();
}

std::string findSkinFolder(const std::string &name) {
    const std::string skins = productFolder("Skins");
    if (skins.empty() || name.empty()) return std::string();
    std::string folder = skins + platform::kPathSeparator + name;
    if (!platform::canOpenFolder(folder)) folder += ".bundle";
    return platform::canOpenFolder(folder) ? folder : std::string();
}

void listScripts(std::vector<std::string> &paths) {
    const std::string scripts = productFolder("Scripts");
    std::vector<std::string> names;
    if (scripts.empty() || !platform::listFolder(scripts, names)) return;
    for (const std::string &name : names) {
        if (!isLuaName(name)) continue;
        const std::string path = scripts + platform::kPathSeparator + name;
        if (platform::canReadFile(path)) paths.push_back(path);
    }
}

} // namespace murmelo
