#include "core/Resources.h"

#include "platform/Files.h"

#include <cstdio>

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
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
    if (platform::readWholeFile(path, bytes, size) != platform::ReadResult::ok) return DataBuffer();
    return DataBuffer(bytes.release(), size, true);
}

} // namespace murmelo
