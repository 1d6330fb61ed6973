#include "platform/ModuleResources.h"

#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

namespace {

// The module holding this code: the plug-in's DLL when loaded by a host,
// the program itself when linked into one.
HMODULE ownModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ownModule), &module);
    return module;
}

} // namespace

bool findModuleResource(int type, int id, const unsigned char *&bytes, std::size_t &size, std::string &error) {
    const HMODULE module = ownModule();
    HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type)) : nullptr;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void *locked = loaded ? LockResource(loaded) : nullptr;
    if (!locked) {
        error = systemMessage(GetLastError());
        return false;
    }
    bytes = static_cast<const unsigned char *>(locked);
    size = SizeofResource(module, found);
    return true;
}

} // namespace platform
