#include "gui/Button.h"

#include "gui/Draw2D.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"
#include "gui/StaticText.h"

namespace QV {

namespace {

constexpr Colour kIdleFill{0.3f, 0.3f, 0.3f, 0.2f};
constexpr Colour kHoverFill{0.8f, 0.4f, 0.1f, 0.3f};

} // namespace

Button::Button(Manager &manager, const std::string &caption, Callback callback, std::intptr_t userValue, float x,
               float y, float width, float height, int identifier)
    : ControlBase(manager), text(caption), callback(callback), userValue(userValue), id(identifier) {
    box = {x, y, 0, x + width, y + height, 0};
}

void Button::draw() {
    glColor3f(0, 1, 0);
    outlineBox(box);
}

void Button::mouseUp(Point, unsigned) {
    if (callback) callback(this, userValue);
}

void Button::mouseEnter() {
    owner.setHoveredParameter(id);
    owner.setTooltipElement(this);
}

void Button::mouseLeave() {
    if (owner.hoveredParameter() == id) owner.setHoveredParameter(-1);
}

void ZephButton::draw() {
    current = fadeTowards(current, hovered.load(std::memory_order_relaxed) ? kHoverFill : kIdleFill);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(current.r, current.g, current.b, current.a);
    fillBox(box);
    glDisable(GL_BLEND);
}

void ZephButton::mouseEnter() {
    hovered.store(true, std::memory_order_relaxed);
    Button::mouseEnter();
}

void ZephButton::mouseLeave() {
    hovered.store(false, std::memory_order_relaxed);
    Button::mouseLeave();
}

void ZephButton::prepare() {
    Font *font = owner.mainFont();
    if (!font) return;
    // The batch draws in window coordinates.
    const Box b = windowBounds();
    const float x = b.centreX() - font->textWidth(text.c_str()) / 2;
    const float y = b.centreY() - font->lineHeight() / 2 - font->descender();
    owner.staticText().addRun(text, x, y, &captionColour);
}

} // namespace QV
