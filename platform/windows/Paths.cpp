#include "platform/Paths.h"

#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

const char kPathSeparator = '\\';

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The first entry of the folder at path,
// or INVALID_HANDLE_VALUE when it cannot be listed.
HANDLE startListing(const std::string &path, WIN32_FIND_DATAW &entry) {
    if (path.empty()) return INVALID_HANDLE_VALUE;
    std::wstring pattern = widen(path);
    if (!isSeparator(pattern.back())) pattern += L'\\';
    pattern += L'*';
    return FindFirstFileW(pattern.c_str(), &entry);
}

} // namespace

bool environmentValue(const char *name, std::string &value) {
    const std::wstring wideName = widen(name);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    // The value may change between the two calls: try again with its new size.
    for (int attempt = 0; size > 0 && attempt < 4; ++attempt) {
        std::wstring buffer(size, L'\0');
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), &buffer[0], size);
        if (n == 0) return false;
        if (n < size) {
            value = narrow(buffer.c_str(), static_cast<int>(n));
            return !value.empty();
        }
        size = n;
    }
    return false;
}

std::string userDataFolder() {
    std::string user;
    if (!environmentValue("USERNAME", user)) return std::string();
    return "C:\\Documents and Settings\\" + user + "\\Application Data";
}

bool canOpenFolder(const std::string &path) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = startListing(path, entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

bool canReadFile(const std::string &path) {
    if (path.empty()) return false;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened, so only
    // files get this far; devices and pipes are not disk files.
    const HANDLE file =
        CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool regular = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return regular;
}

bool listFolder(const std::string &path, std::vector<std::string> &names) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = startListing(path, entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(narrow(name));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return true;
}

} // namespace platform
