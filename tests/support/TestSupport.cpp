#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace testing_support {

namespace fs = std::filesystem;

std::string pluginPath() { return MURMELO_PLUGIN_PATH; }
std::string toolPath() { return MURMELO_TOOL_PATH; }

std::unique_ptr<vsthost::Plugin> loadMurmelo(vsthost::HostOptions options) {
    std::string error;
    auto plugin = vsthost::Plugin::load(pluginPath(), error, options);
    if (!plugin) ADD_FAILURE() << error;
    return plugin;
}

std::string nativePath(const std::string &path) {
    std::string native = path;
    for (char &c : native)
        if (c == '/') c = kSeparator;
    return native;
}

void makeFolders(const std::string &path) {
    std::error_code error;
    fs::create_directories(fs::u8path(path), error);
    if (error || !fs::is_directory(fs::u8path(path), error))
        ADD_FAILURE() << "cannot make the folder " << path << ": " << error.message();
}

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary);
    out << bytes;
    out.close();
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string readFileText(const std::string &path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool pathExists(const std::string &path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(fs::u8path(path), error));
}

std::vector<std::string> folderEntries(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(fs::u8path(folder), error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().u8string());
    if (error) ADD_FAILURE() << "cannot list " << folder << ": " << error.message();
    return names;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace testing_support
