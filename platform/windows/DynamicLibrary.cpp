#include "platform/DynamicLibrary.h"

#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

DynamicLibrary::~DynamicLibrary() {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
}

bool DynamicLibrary::open(const std::string &path, std::string &error) {
    if (handle) return false;
    // No "cannot find the disk" or missing-DLL dialogs: the reason comes back
    // as text instead.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    handle = LoadLibraryW(widen(path).c_str());
    const DWORD code = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (handle) return true;
    error = systemMessage(code);
    return false;
}

void *DynamicLibrary::symbol(const char *name) const {
    if (!handle) return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

} // namespace platform
