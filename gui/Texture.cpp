#include "gui/Texture.h"

#include "core/Resources.h"
#include "gui/GL.h"

#include <algorithm>
#include <cstring>
#include <png.h>

namespace QV {

namespace {

struct MemoryReader {
    const unsigned char *bytes;
    std::size_t size, offset;
};

// Copies what libpng asks for, at most what is left, and moves on; asking
// for more than is left is an error of the file.
void readFromMemory(png_structp png, png_bytep out, png_size_t wanted) {
    auto *reader = static_cast<MemoryReader *>(png_get_io_ptr(png));
    const std::size_t n = std::min(wanted, reader->size - reader->offset);
    std::memcpy(out, reader->bytes + reader->offset, n);
    reader->offset += n;
    if (n < wanted) png_error(png, "truncated PNG");
}

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

murmelo::DataBuffer imageBytes(const TextureRecord &record) {
    if (!record.path.empty()) return murmelo::readFile(record.path);
    return murmelo::loadResource(record.resourceId); // reports a missing file itself
}

} // namespace

bool PngImage::decode(const unsigned char *bytes, std::size_t size) {
    if (!bytes || size < 8 || png_sig_cmp(bytes, 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{bytes, size, 0};
    bool ok = false;
    // libpng reports errors by longjmp; nothing with a destructor is created
    // between here and the end of the read.
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, readFromMemory);
        png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        width = int(png_get_image_width(png, info));
        height = int(png_get_image_height(png, info));
        channels = png_get_channels(png, info);
        bitDepth = png_get_bit_depth(png, info);
        const std::size_t rowBytes = png_get_rowbytes(png, info);
        png_bytepp rows = png_get_rows(png, info);
        pixels.resize(rowBytes * std::size_t(height));
        for (int r = 0; r < height; ++r)
            std::memcpy(&pixels[rowBytes * std::size_t(r)], rows[r], rowBytes);
        ok = true;
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

bool PngImage::usableAsTexture() const {
    return isPowerOfTwo(width) && isPowerOfTwo(height) && (channels == 3 || channels == 4) && bitDepth == 8;
}

void loadTexture(TextureRecord &record) {
    if (record.loadAttempted.exchange(true)) return;
    const murmelo::DataBuffer bytes = imageBytes(record);
    PngImage image;
    if (bytes.empty() || !image.decode(bytes.data(), bytes.length()) || !image.usableAsTexture()) return;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = image.channels == 4 ? GL_RGBA : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, 0, image.channels, image.width, image.height, 0, format, GL_UNSIGNED_BYTE,
                 image.pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    record.width = image.width;
    record.height = image.height;
    record.glName.store(name, std::memory_order_release);
}

void unloadTexture(TextureRecord &record) {
    GLuint name = record.glName.exchange(0);
    if (name) glDeleteTextures(1, &name);
}

} // namespace QV
