// Helpers shared by the test programs: loading the real plug-in through our
// host library, temporary folders, running the command-line tool.
#pragma once

#include "host/VstHost.h"

#include <memory>
#include <string>

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
    // dir + the system's separator + name.
    std::string file(const std::string &name) const;

private:
    std::string dir;
};

// Points an environment variable somewhere for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value);
    ~ScopedEnv();

private:
    std::string name, previous;
    bool hadPrevious;
};

// Runs a shell command (sh on Linux, cmd on Windows); returns its exit
// status and standard output.
int runCommand(const std::string &command, std::string &output);

std::string pluginPath();
std::string toolPath();

} // namespace testing_support
