// Whole-file reads.  Paths are UTF-8 text everywhere (wide-character paths
// on Windows are converted at this boundary).  [any]
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

enum class ReadResult {
    ok,
    missing, // nothing at the path (or a dangling symbolic link)
    failed,  // something is there but cannot be read as a regular file
};

// Reads the whole regular file at path.  On ok, bytes holds size bytes and
// one zero byte past them, so text users may treat it as a C string.
ReadResult readWholeFile(const std::string &path, std::unique_ptr<unsigned char[]> &bytes, std::size_t &size);

} // namespace platform
