// The table of files compiled into the module as byte arrays, generated
// from resources/ at build time (cmake/EmbedFiles.cmake).
#pragma once

#include <cstddef>

namespace platform {

struct EmbeddedFile {
    int type; // 0 ends the table
    int id;
    const unsigned char *bytes;
    std::size_t size;
};

const EmbeddedFile *embeddedFiles();

} // namespace platform
