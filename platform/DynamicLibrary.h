// A shared library (a .so on Linux, a DLL on Windows) loaded into this
// process, released when the object goes.  [host's thread]
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    // Loads the library at path (UTF-8) with its names kept to itself; false
    // with the system's reason in error when it cannot be loaded.
    bool open(const std::string &path, std::string &error);
    // The address of an exported name, or null.
    void *symbol(const char *name) const;

private:
    void *handle = nullptr;
};

} // namespace platform
