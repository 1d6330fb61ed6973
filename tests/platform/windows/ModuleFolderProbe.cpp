// A DLL that links the platform layer, as the plug-in does, and tells where
// it is: moduleFolder() must name the DLL's folder, not the program's.
#include "platform/Shell.h"

#include <cstring>

extern "C" __declspec(dllexport) int probeModuleFolder(char *buffer, int size) {
    const std::string folder = platform::moduleFolder();
    if (size <= 0 || folder.size() >= static_cast<std::size_t>(size)) return -1;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<int>(folder.size());
}
