#include "core/Resources.h"

#include "platform/ErrorReport.h"
#include "platform/Files.h"
#include "platform/ModuleResources.h"

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
    const unsigned char *bytes = nullptr;
    std::size_t size = 0;
    std::string error;
    if (platform::findModuleResource(platform::kResourceTypeFile, id, bytes, size, error))
        return DataBuffer(bytes, size, false);
    platform::reportError("embedded file " + std::to_string(id) + ": " + error);
    return DataBuffer();
}

DataBuffer readFile(const std::string &path) {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
    if (platform::readWholeFile(path, bytes, size) != platform::ReadResult::ok) return DataBuffer();
    return DataBuffer(bytes.release(), size, true);
}

} // namespace murmelo
