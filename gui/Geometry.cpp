#include "gui/Geometry.h"

#include <algorithm>

namespace QV {

void Box::unite(const Box &o) {
    minX = std::min(minX, o.minX);
    minY = std::min(minY, o.minY);
    minZ = std::min(minZ, o.minZ);
    maxX = std::max(maxX, o.maxX);
    maxY = std::max(maxY, o.maxY);
    maxZ = std::max(maxZ, o.maxZ);
}

void Box::shift(float dx, float dy, float dz) {
    minX += dx;
    maxX += dx;
    minY += dy;
    maxY += dy;
    minZ += dz;
    maxZ += dz;
}

void AtomicColour::store(Colour c) {
    r.store(c.r, std::memory_order_relaxed);
    g.store(c.g, std::memory_order_relaxed);
    b.store(c.b, std::memory_order_relaxed);
    a.store(c.a, std::memory_order_relaxed);
}

Colour AtomicColour::load() const {
    return {r.load(std::memory_order_relaxed), g.load(std::memory_order_relaxed), b.load(std::memory_order_relaxed),
            a.load(std::memory_order_relaxed)};
}

Colour fadeTowards(Colour c, Colour t) {
    return {0.15f * t.r + 0.85f * c.r, 0.15f * t.g + 0.85f * c.g, 0.15f * t.b + 0.85f * c.b, 0.15f * t.a + 0.85f * c.a};
}

} // namespace QV
