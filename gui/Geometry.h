// Window geometry and colours shared by the whole editor.
//
// Coordinates are window pixels with the origin at the bottom-left corner
// and y growing upwards.  A box is axis-aligned in three dimensions; the
// empty box has its minima above its maxima so that uniting anything into it
// gives that thing.
#pragma once

#include <atomic>

namespace QV {

// Modifier flags handed to the mouse operations.
constexpr unsigned kModifierAlt = 0x100;
constexpr unsigned kModifierShift = 0x200;
constexpr unsigned kModifierControl = 0x800;

struct Point {
    float x, y;
};

struct Box {
    float minX, minY, minZ, maxX, maxY, maxZ;

    static Box empty() { return {1e10f, 1e10f, 1e10f, -1e10f, -1e10f, -1e10f}; }
    void unite(const Box &other);
    // Bounds inclusive.
    bool contains(Point p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
    void shift(float dx, float dy, float dz);
    float centreX() const { return (minX + maxX) * 0.5f; }
    float centreY() const { return (minY + maxY) * 0.5f; }
};

struct Colour {
    float r, g, b, a;
};

// A colour one thread writes and another reads every frame: each component
// is a relaxed atomic, so a reader may see a mix of old and new components
// for one frame but never a torn float.
class AtomicColour {
public:
    AtomicColour() : AtomicColour(Colour{0, 0, 0, 1}) {}
    explicit AtomicColour(Colour c) { store(c); }
    void store(Colour c);
    Colour load() const;

private:
    std::atomic<float> r, g, b, a;
};

// current = 0.15 * target + 0.85 * current, per channel: the once-per-frame
// fade of hover colours.
Colour fadeTowards(Colour current, Colour target);

} // namespace QV
