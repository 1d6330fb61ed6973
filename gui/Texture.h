// Skin images as OpenGL textures.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace QV {

// A decoded PNG: rows top first, channels bytes per pixel at depth bits.
struct PngImage {
    int width = 0, height = 0, channels = 0, bitDepth = 0;
    std::vector<std::uint8_t> pixels; // rows of width * channels * bitDepth / 8 bytes

    // Decodes the whole image without transformations; false for anything
    // that is not a readable PNG.
    bool decode(const unsigned char *bytes, std::size_t size);
    // Only power-of-two, 8-bit RGB or RGBA images become textures.
    bool usableAsTexture() const;
};

// One texture of the manager's list, by file path or by embedded-file id.
struct TextureRecord {
    std::string path;   // empty for an embedded file
    int resourceId = 0; // 0 for a file
    // Written on the render thread: the size first, then the name (release),
    // so whoever sees the name sees the size.
    std::atomic<unsigned> glName{0}; // 0 until loaded (and when the image is unusable)
    std::atomic<bool> loadAttempted{false};
    int width = 0, height = 0;
};

// [render] Loads the record's image into a texture, once: a file that
// cannot be read or an image that is not a power-of-two 8-bit RGB(A) PNG
// leaves it unloaded, without a message.
void loadTexture(TextureRecord &record);
// [render] Deletes the GL texture.
void unloadTexture(TextureRecord &record);

} // namespace QV
