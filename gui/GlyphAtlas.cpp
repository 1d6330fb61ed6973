#include "gui/GlyphAtlas.h"

#include <algorithm>
#include <cstring>

namespace QV {

namespace {

int powerOfTwoAtLeast(int n) {
    int p = 64;
    while (p < n && p < GlyphAtlas::kMaxHeight)
        p *= 2;
    return p;
}

} // namespace

GlyphAtlas::GlyphAtlas(int widthHint) : w(powerOfTwoAtLeast(widthHint)), h(64), image(std::size_t(w) * h, 0) {}

bool GlyphAtlas::grow() {
    if (h >= kMaxHeight) return false;
    h *= 2;
    image.resize(std::size_t(w) * h, 0); // rows stay where they were
    ++resizes;
    return true;
}

bool GlyphAtlas::add(const unsigned char *pixels, int width, int height, int pitch, int &x, int &y) {
    if (width < 0 || height < 0 || width + 2 > w) return false;
    if (shelfX + width + 1 > w) {
        shelfY += shelfHeight + 1;
        shelfX = 1;
        shelfHeight = 0;
    }
    while (shelfY + height + 1 > h)
        if (!grow()) return false;
    x = shelfX;
    y = shelfY;
    for (int row = 0; row < height; ++row)
        std::memcpy(&image[std::size_t(y + row) * w + x], pixels + std::ptrdiff_t(row) * pitch, std::size_t(width));
    shelfX += width + 1;
    shelfHeight = std::max(shelfHeight, height);
    ++changes;
    return true;
}

} // namespace QV
