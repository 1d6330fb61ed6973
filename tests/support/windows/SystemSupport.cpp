// The test helpers that differ by system: Windows.  Texts are UTF-8 and
// become wide-character names at the system's calls, as in the plug-in.
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <windows.h>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

std::wstring wide(const std::string &text) { return fs::u8path(text).wstring(); }

std::string utf8(const std::wstring &text) { return fs::path(text).u8string(); }

} // namespace

TempDir::TempDir() {
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("murmelo-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            dir = candidate.u8string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code error;
    // Read-only files (a test may make some) would stop the removal.
    for (const auto &entry : fs::recursive_directory_iterator(fs::u8path(dir), error))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(fs::u8path(dir), error);
}

std::string TempDir::file(const std::string &name) const { return dir + "\\" + name; }

ScopedEnv::ScopedEnv(const char *name, const std::string &value) : name(name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(wide(name).c_str(), buffer, 32768);
    hadPrevious = n > 0 && n < 32768;
    if (hadPrevious) previous = utf8(std::wstring(buffer, n));
    SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableW(wide(name).c_str(), hadPrevious ? wide(previous).c_str() : nullptr); }

int runCommand(const std::string &command, std::string &output) {
    output.clear();
    FILE *pipe = _wpopen(wide(command).c_str(), L"rb");
    if (!pipe) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, n);
    return _pclose(pipe);
}

} // namespace testing_support
