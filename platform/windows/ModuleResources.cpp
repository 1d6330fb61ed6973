#include "platform/ModuleResources.h"

#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

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
