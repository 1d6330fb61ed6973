// Files built into the module that holds this code (the plug-in, not the
// host that loaded it): Win32 resources on Windows, byte arrays generated
// at build time elsewhere.  They live as long as the module.  [any]
#pragma once

#include <cstddef>
#include <string>

namespace platform {

constexpr int kResourceTypeFile = 256;  // scripts, programs, panel descriptions, fonts
constexpr int kResourceTypeImage = 257; // PNG textures

// The bytes of the resource of that type and identifier; false with a
// message (the system's text on Windows) in error when there is none.
bool findModuleResource(int type, int id, const unsigned char *&bytes, std::size_t &size, std::string &error);

} // namespace platform
