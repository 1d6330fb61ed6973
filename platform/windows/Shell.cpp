#include "platform/Shell.h"

#include "platform/ErrorReport.h"
#include "platform/windows/WideText.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

bool onPath(const char *name) {
    wchar_t found[MAX_PATH];
    const std::wstring wide = widen(name);
    const DWORD n = SearchPathW(nullptr, wide.c_str(), L".exe", MAX_PATH, found, nullptr);
    return n > 0 && n < MAX_PATH;
}

std::string moduleFolder() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&moduleFolder), &module))
        return std::string();
    // Long paths: grow the buffer until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : narrow(path.substr(0, slash));
}

bool openDocument(const std::string &path) {
    const auto result = reinterpret_cast<std::intptr_t>(
        ShellExecuteW(nullptr, L"open", widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
    reportError("cannot open " + path + ": " + systemMessage(GetLastError()));
    return false;
}

} // namespace platform
