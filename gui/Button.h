// Buttons: a box that calls back into the layout code when released.
#pragma once

#include "gui/UIElement.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace QV {

class Button : public ControlBase {
public:
    using Callback = void (*)(Button *button, std::intptr_t userValue);

    // identifier: a hint identifier (below -1) that the banner shows while
    // the button is hovered.
    Button(Manager &manager, const std::string &caption, Callback callback, std::intptr_t userValue, float x, float y,
           float width, float height, int identifier);

    const std::string &caption() const { return text; }
    int identifier() const { return id; }

    void draw() override;
    void getBounds(Box &b) const override { b.unite(box); }
    void mouseUp(Point, unsigned) override;
    void mouseEnter() override;
    void mouseLeave() override;
    UIElement *hitTest(Point p) override { return boxHit(p); }

protected:
    std::string text;
    Callback callback;
    std::intptr_t userValue;
    int id;
};

// This product's button: a fill that fades towards orange while hovered,
// and a centred caption from the static-text batch.
class ZephButton : public Button {
public:
    using Button::Button;

    void draw() override;
    void mouseEnter() override;
    void mouseLeave() override;
    void prepare() override;

private:
    Colour current{0.3f, 0.3f, 0.3f, 0.2f}; // render thread only
    std::atomic<bool> hovered{false};
    AtomicColour captionColour{Colour{0.8f, 0.8f, 0.8f, 1.0f}};
};

// A button with an on/off state that the layout reaches through
// setState/getState.  Releasing it calls the callback like any button.
class StatefulButton : public ZephButton {
public:
    using ZephButton::ZephButton;

    bool state() const { return on.load(std::memory_order_relaxed); }
    void setState(bool flag) { on.store(flag, std::memory_order_relaxed); }

private:
    std::atomic<bool> on{false};
};

} // namespace QV
