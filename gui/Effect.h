// Something the render thread draws besides the element tree: the static
// text batch, the knob renderer.  The manager owns its effects and calls
// them in list order.  All operations are [render] and do nothing here.
#pragma once

namespace QV {

class Effect {
public:
    virtual ~Effect() = default;
    // Once per frame, before drawing.
    virtual void tick() {}
    // In the 2D pass, after the element tree.
    virtual void draw2D() {}
    // In the perspective pass.
    virtual void draw3D() {}
    // Once the GL context exists and every element is prepared.
    virtual void initGL() {}
    // Before the context is destroyed.
    virtual void cleanupGL() {}
};

} // namespace QV
