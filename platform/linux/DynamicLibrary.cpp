#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace platform {

DynamicLibrary::~DynamicLibrary() {
    if (handle) dlclose(handle);
}

bool DynamicLibrary::open(const std::string &path, std::string &error) {
    if (handle) return false;
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) return true;
    const char *reason = dlerror();
    error = reason ? reason : "unknown error";
    return false;
}

void *DynamicLibrary::symbol(const char *name) const { return handle ? dlsym(handle, name) : nullptr; }

} // namespace platform
