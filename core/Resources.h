// Whole files in memory: files compiled into the plug-in, looked up by
// identifier, and files read from disk.
#pragma once

#include <cstddef>
#include <string>

namespace murmelo {

// Identifiers of the embedded files.
enum ResourceId {
    kResourceKnobVertexProgram = 101,
    kResourcePreferencesPanel = 102,
    kResourceGuiLua = 135,
    kResourceMidiLua = 136,
    kResourceFallbackFont = 140,
};

// Bytes with their size; owns them (and frees them) or borrows them (an
// embedded file lives as long as the module).  Move-only.
class DataBuffer {
public:
    DataBuffer() = default;
    DataBuffer(const unsigned char *bytes, std::size_t size, bool owned) : bytes(bytes), size(size), owned(owned) {}
    ~DataBuffer();
    DataBuffer(DataBuffer &&other) noexcept;
    DataBuffer &operator=(DataBuffer &&other) noexcept;
    DataBuffer(const DataBuffer &) = delete;
    DataBuffer &operator=(const DataBuffer &) = delete;

    const unsigned char *data() const { return bytes; }
    const char *chars() const { return reinterpret_cast<const char *>(bytes); }
    std::size_t length() const { return size; }
    bool empty() const { return size == 0; }
    bool ownsData() const { return owned; }

private:
    const unsigned char *bytes = nullptr;
    std::size_t size = 0;
    bool owned = false;
};

// [any] the embedded file (resource type 256) with that identifier, not
// owned; empty (with the reason reported: one line on standard error, and a
// message box captioned "Error" on Windows) when there is none.
// line on standard error) when there is none.
DataBuffer loadResource(int id);
// [any] the whole file, owned, with a zero byte past its end for text users;
// empty when it cannot be opened or read, or is not a regular file.
DataBuffer readFile(const std::string &path);

} // namespace murmelo
