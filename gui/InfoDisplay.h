// The live LFO speed and sweep depth, as the audio side last wrote them.
#pragma once

#include "gui/UIElement.h"

namespace murmelo {
struct DisplayState;
}

namespace QV {

class InfoDisplay : public UIElement {
public:
    InfoDisplay(Manager &manager, float x, float y, float width, float height, const murmelo::DisplayState *live);

    void draw() override;
    void getBounds(Box &b) const override { b.unite(box); }

private:
    const murmelo::DisplayState *live;
    // Render thread only.
    float shownSpeed = -1e30f, shownDepth = -1e30f;
    char speedText[32] = {}, depthText[32] = {};
};

} // namespace QV
