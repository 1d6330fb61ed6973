// Draws every ZephKnob of an editor in one batch: each knob a fan of twelve
// vertices (centre, then an outline of eleven points with a pointer tip at
// the top), lit per vertex by an ARB vertex program with two lights.
//
// Knobs add their entry on construction (UI thread, before the window) and
// set its geometry in prepare (render thread, before initGL).  Angles are set
// on the UI thread as values change; the render thread rotates a knob's
// vertices when it sees a new angle, so no vertex is written by two threads.
#pragma once

#include "core/Resources.h"
#include "gui/Effect.h"
#include "gui/Geometry.h"

#include <atomic>
#include <memory>
#include <vector>

namespace QV {

class Manager;
class UIElement;

class ZephKnobRenderer : public Effect {
public:
    explicit ZephKnobRenderer(Manager &manager);

    // [ui] Appends a knob with zero geometry; returns its index.  A knob
    // element given here is skipped while it is hidden.
    int addKnob(Colour colour, float angle, const UIElement *knob = nullptr);
    // [render] Centre and radius, from the knob's prepare.
    void setGeometry(int knob, float centreX, float centreY, float radius);
    // [any] Radians, positive clockwise, 0 pointing up.
    void setAngle(int knob, float angle);
    float angle(int knob) const;
    int knobCount() const { return int(entries.size()); }
    // [render] Whether the vertex program is in use (0: drawn unlit).
    unsigned programName() const { return program; }

    void draw2D() override;
    void initGL() override;
    void cleanupGL() override;

    static constexpr int kVerticesPerKnob = 12;
    static constexpr int kFloatsPerVertex = 10; // colour RGBA, normal xyz, position xyz

private:
    struct ProfilePoint {
        float nx, ny, nz; // normal
        float px, py;     // outline offset, radius 1 units
    };
    struct Entry {
        Colour colour;
        const UIElement *knob = nullptr;
        float centreX = 0, centreY = 0, radius = 0;
        std::atomic<float> angle{0};
        float builtAngle = 0; // render thread: the angle the vertices show
    };
    void loadProgram();
    void writeKnob(int knob);
    void rotateKnob(int knob, float angle);

    Manager &manager;
    std::vector<std::unique_ptr<Entry>> entries;
    ProfilePoint profile[11];
    std::vector<float> vertices;
    int builtKnobs = 0;
    murmelo::DataBuffer programText;
    unsigned program = 0;
};

} // namespace QV
