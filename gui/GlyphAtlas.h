// The CPU copy of a font's glyph texture: 8-bit coverage images packed in
// shelves.  Grows (doubling its height, keeping every glyph's pixel
// position) when a glyph does not fit.  Not thread-safe: a font's atlas is
// used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

namespace QV {

class GlyphAtlas {
public:
    // widthHint: a wide-enough row for the glyph size; rounded up to a power
    // of two of at least 64.
    explicit GlyphAtlas(int widthHint);

    // Copies a width x height coverage image (rows pitch bytes apart, top row
    // first) in; false when it cannot fit even at the largest size.
    bool add(const unsigned char *pixels, int width, int height, int pitch, int &x, int &y);

    int width() const { return w; }
    int height() const { return h; }
    const std::uint8_t *pixels() const { return image.data(); }
    // Bumped on every change of the pixels, and of the size.
    unsigned version() const { return changes; }
    unsigned sizeVersion() const { return resizes; }

    static constexpr int kMaxHeight = 8192;

private:
    bool grow();
    int w, h;
    std::vector<std::uint8_t> image;
    int shelfX = 1, shelfY = 1, shelfHeight = 0; // one pixel of padding around every glyph
    unsigned changes = 1, resizes = 1;
};

} // namespace QV
