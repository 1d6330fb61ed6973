// The test helpers that differ by system: Windows.  Texts are UTF-8 and
// become wide-character names at the system's calls, as in the plug-in.
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>
#include <windows.h>

namespace testing_support {

namespace fs = std::filesystem;

const bool kOnWindows = true;
const char kSeparator = '\\';

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

std::string TempDir::file(const std::string &name) const { return dir + kSeparator + nativePath(name); }

namespace {

// The variable's value, if it is set at all (an empty value counts).
bool currentValue(const char *name, std::string &value) {
    std::vector<wchar_t> buffer(32768);
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wide(name).c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    if (n >= buffer.size()) return false;
    value = utf8(std::wstring(buffer.data(), n));
    return true;
}

} // namespace

ScopedEnv::ScopedEnv(const char *name, const std::string &value) : name(name) {
    hadPrevious = currentValue(name, previous);
    SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
}

ScopedEnv::ScopedEnv(const char *name) : name(name) {
    hadPrevious = currentValue(name, previous);
    SetEnvironmentVariableW(wide(name).c_str(), nullptr);
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
