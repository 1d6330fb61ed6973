#include "core/Resources.h"

#include <cstdio>
#include <new>

namespace murmelo {

DataBuffer::~DataBuffer() {
    if (owned) delete[] bytes;
}

DataBuffer::DataBuffer(DataBuffer &&other) noexcept : bytes(other.bytes), size(other.size), owned(other.owned) {
    other.bytes = nullptr;
    other.size = 0;
    other.owned = false;
}

DataBuffer &DataBuffer::operator=(DataBuffer &&other) noexcept {
    if (this != &other) {
        if (owned) delete[] bytes;
        bytes = other.bytes;
        size = other.size;
        owned = other.owned;
        other.bytes = nullptr;
        other.size = 0;
        other.owned = false;
    }
    return *this;
}

DataBuffer loadResource(int id) {
    for (const EmbeddedFile *f = embeddedFiles(); f->id != 0; ++f)
        if (f->id == id) return DataBuffer(f->bytes, f->size, false);
    std::fprintf(stderr, "Error: the plug-in has no embedded file %d\n", id);
    return DataBuffer();
}

DataBuffer readFile(const std::string &path) {
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return DataBuffer();
    DataBuffer result;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            auto *bytes = new (std::nothrow) unsigned char[static_cast<std::size_t>(size) + 1];
            if (bytes && std::fread(bytes, 1, static_cast<std::size_t>(size), file) == static_cast<std::size_t>(size)) {
                bytes[size] = 0; // a terminator past the end, for text users
                result = DataBuffer(bytes, static_cast<std::size_t>(size), true);
            } else {
                delete[] bytes;
            }
        }
    }
    std::fclose(file);
    return result;
}

} // namespace murmelo
