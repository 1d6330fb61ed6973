#include "platform/Shell.h"

#include "platform/ErrorReport.h"
#include "platform/Paths.h"
#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

#include <objbase.h>
#include <shellapi.h>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

// Extended-length paths reach 32767 characters.
constexpr DWORD kLongestPath = 32768;

// The entries of a list separated by ';' (quotes around an entry, as
// PATH may have them, are dropped; empty entries are left out).
std::vector<std::string> listEntries(const std::string &list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"') entry = entry.substr(1, entry.size() - 2);
        if (!entry.empty()) entries.push_back(entry);
        start = end + 1;
    }
    return entries;
}

bool isFile(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool sameText(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The extensions the command processor runs (%PATHEXT%, or its default).
std::vector<std::wstring> executableExtensions() {
    std::string list;
    if (!environmentValue("PATHEXT", list)) list = ".COM;.EXE;.BAT;.CMD";
    std::vector<std::wstring> extensions;
    for (const std::string &entry : listEntries(list))
        extensions.push_back(widen(entry));
    return extensions;
}

// The names a program may have in a folder: the name as given when its
// extension is an executable one, and the name with each of them added.
std::vector<std::wstring> programNames(const std::wstring &name) {
    const std::vector<std::wstring> extensions = executableExtensions();
    std::vector<std::wstring> names;
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && name.find_first_of(L"\\/", dot) == std::wstring::npos)
        for (const std::wstring &extension : extensions)
            if (sameText(name.substr(dot), extension)) names.push_back(name);
    for (const std::wstring &extension : extensions)
        names.push_back(name + extension);
    return names;
}

// COM on this thread for one call, as the shell's handlers may need it:
// a thread the host set up already keeps its own.
class ComScope {
public:
    ComScope() : initialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (initialised) CoUninitialize();
    }
    ComScope(const ComScope &) = delete;
    ComScope &operator=(const ComScope &) = delete;

private:
    const bool initialised;
};

} // namespace

std::string moduleFolder() {
    const HMODULE module = ownModule();
    if (!module) return std::string();
    // A name that fills the buffer may have been cut: try a larger one.
    for (DWORD size = MAX_PATH; size <= kLongestPath; size *= 2) {
        std::wstring path(size, L'\0');
        const DWORD n = GetModuleFileNameW(module, &path[0], size);
        if (n == 0) return std::string();
        if (n < size) {
            path.resize(n);
            const std::size_t separator = path.find_last_of(L"\\/");
            return separator == std::wstring::npos ? std::string() : narrow(path.substr(0, separator));
        }
    }
    return std::string();
}

bool onPath(const char *name) {
    std::string path;
    if (!name || !*name || !environmentValue("PATH", path)) return false;
    const std::vector<std::wstring> names = programNames(widen(name));
    for (const std::string &folder : listEntries(path)) {
        std::wstring prefix = widen(folder);
        if (prefix.back() != L'\\' && prefix.back() != L'/') prefix += L'\\';
        for (const std::wstring &program : names)
            if (isFile(prefix + program)) return true;
    }
    return false;
}

bool openDocument(const std::string &path) {
    const std::wstring file = widen(path);
    ComScope com;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No dialog of the shell's own: the failure is reported here, once.
    // The call returns once the handler has started (no asynchronous
    // launch left to a thread that may end).
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (path.empty() || !ShellExecuteExW(&info)) {
        const DWORD error = path.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        reportError("cannot open " + path + ": " + systemMessage(error));
        return false;
    }
    return true;
}

} // namespace platform
