// The test helpers that differ by system: Linux.
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>

namespace testing_support {

const bool kOnWindows = false;
const char kSeparator = '/';

TempDir::TempDir() {
    char pattern[] = "/tmp/murmelo-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
}

TempDir::~TempDir() {
    std::string ignored;
    runCommand("chmod -R u+rwx '" + dir + "' && rm -rf '" + dir + "'", ignored);
}

std::string TempDir::file(const std::string &name) const { return dir + "/" + name; }

ScopedEnv::ScopedEnv(const char *name, const std::string &value) : name(name) {
    const char *old = std::getenv(name);
    hadPrevious = old != nullptr;
    if (old) previous = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::ScopedEnv(const char *name) : name(name) {
    const char *old = std::getenv(name);
    hadPrevious = old != nullptr;
    if (old) previous = old;
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (hadPrevious)
        setenv(name.c_str(), previous.c_str(), 1);
    else
        unsetenv(name.c_str());
}

int runCommand(const std::string &command, std::string &output) {
    output.clear();
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testing_support
