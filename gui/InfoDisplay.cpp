#include "gui/InfoDisplay.h"

#include "core/DisplayState.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"

#include <cstdio>

namespace QV {

InfoDisplay::InfoDisplay(Manager &manager, float x, float y, float width, float height,
                         const murmelo::DisplayState *live)
    : UIElement(manager), live(live) {
    box = {x, y, 0, x + width, y + height, 0};
}

void InfoDisplay::draw() {
    Font *font = owner.mainFont();
    if (!font || !live) return;
    const float speed = live->speedHz.load(std::memory_order_relaxed);
    const float depth = live->sweepMs.load(std::memory_order_relaxed);
    if (speed != shownSpeed) {
        shownSpeed = speed;
        std::snprintf(speedText, sizeof(speedText), "Speed: %8.4fHz", double(speed));
    }
    if (depth != shownDepth) {
        shownDepth = depth;
        std::snprintf(depthText, sizeof(depthText), "Depth: %8.2fms", double(depth));
    }
    glColor3f(0.5f, 0.5f, 0.5f);
    font->drawText(speedText, box.minX, box.minY);
    font->drawText(depthText, box.minX + 165, box.minY);
}

} // namespace QV
