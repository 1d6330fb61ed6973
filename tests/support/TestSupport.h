// Helpers shared by the test programs: loading the real plug-in through our
// host library, temporary folders, files and environment variables, running
// the command-line tool.  Paths are UTF-8 text on every system, as in the
// plug-in.
#pragma once

#include "host/VstHost.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// The real murmelo.so, loaded the way a host loads it.  Fails the test
// (fatally, from the caller) when it cannot be loaded.
std::unique_ptr<vsthost::Plugin> loadMurmelo(vsthost::HostOptions options = {});

// A fresh empty folder, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return dir; }
    // dir + the system's separator + name, where every '/' in name becomes
    // the system's separator as well ("config/Quorvane").
    std::string file(const std::string &name) const;

private:
    std::string dir;
};

// Points an environment variable somewhere for one scope, or (given no
// value) removes it for that scope.  The process's own environment is
// changed, as the plug-in reads it (GetEnvironmentVariableW on Windows).
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value);
    explicit ScopedEnv(const char *name);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name, previous;
    bool hadPrevious;
};

// Polls condition every few milliseconds until it holds (true) or timeoutMs
// have passed (false).
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);

// Runs a shell command (sh on Linux, cmd on Windows); returns its exit
// status and standard output.
int runCommand(const std::string &command, std::string &output);

std::string pluginPath();
std::string toolPath();

// True in the Windows build of a test program.
extern const bool kOnWindows;
// '/' on Linux, '\\' on Windows.
extern const char kSeparator;
// path with every '/' replaced by the system's separator.
std::string nativePath(const std::string &path);

// Files and folders by UTF-8 path (std::filesystem underneath, so names
// beyond ASCII work on Windows too).  Failures fail the calling test.
void makeFolders(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
std::string readFileText(const std::string &path); // empty when unreadable
bool pathExists(const std::string &path);
// The names in folder in the order the file system lists them.
std::vector<std::string> folderEntries(const std::string &folder);

} // namespace testing_support
