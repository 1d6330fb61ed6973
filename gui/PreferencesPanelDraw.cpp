// Drawing the preferences panel: over the whole editor, after every other
// effect, in the 2D pass (window pixels, origin bottom-left).
#include "gui/Draw2D.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"
#include "gui/PreferencesPanel.h"

namespace QV {

namespace {

constexpr Colour kDim{0, 0, 0, 0.55f};
constexpr Colour kFace{0.17f, 0.16f, 0.19f, 1};
constexpr Colour kTitleStrip{0.35f, 0.1f, 0.1f, 1};
constexpr Colour kEdge{0.55f, 0.55f, 0.6f, 1};
constexpr Colour kText{0.88f, 0.88f, 0.88f, 1};
constexpr Colour kButtonFace{0.3f, 0.3f, 0.34f, 1};
constexpr Colour kButtonHover{0.45f, 0.32f, 0.22f, 1};
constexpr Colour kButtonPressed{0.8f, 0.4f, 0.1f, 1};
constexpr Colour kFieldFace{0.92f, 0.92f, 0.95f, 1};
constexpr Colour kFieldText{0.08f, 0.08f, 0.1f, 1};
constexpr Colour kSelection{0.25f, 0.4f, 0.75f, 1};
constexpr Colour kCheckMark{0.8f, 0.4f, 0.1f, 1};
constexpr float kTextInset = 3;

// A one-pixel frame along the inside of b.
void outline(const Box &b) {
    glBegin(GL_LINE_LOOP);
    glVertex2f(b.minX + 0.5f, b.minY + 0.5f);
    glVertex2f(b.maxX - 0.5f, b.minY + 0.5f);
    glVertex2f(b.maxX - 0.5f, b.maxY - 0.5f);
    glVertex2f(b.minX + 0.5f, b.maxY - 0.5f);
    glEnd();
}

Box inset(const Box &b, float by) { return {b.minX + by, b.minY + by, 0, b.maxX - by, b.maxY - by, 0}; }

} // namespace

void PreferencesPanel::draw2D() {
    if (!isShown() || geometry.controls.empty()) return;
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setColour(kDim);
    fillBox({0, 0, 0, float(manager.width()), float(manager.height()), 0});
    glDisable(GL_BLEND);
    setColour(kFace);
    fillBox(geometry.frame);
    setColour(kTitleStrip);
    fillBox(geometry.titleStrip);
    setColour(kEdge);
    outline(geometry.frame);
    setColour(kText);
    drawTextIn(geometry.title, geometry.titleStrip, geometry.titleStrip.minX + 6);
    for (const Control &c : geometry.controls)
        drawControl(c);
}

void PreferencesPanel::drawControl(const Control &c) {
    switch (c.kind) {
    case kStatic:
        setColour(kText);
        drawTextIn(c.text, c.box, c.box.minX);
        break;
    case kButton:
    case kDefaultButton:
        drawButton(c);
        break;
    case kGroup:
        drawGroup(c);
        break;
    case kEdit:
        drawEdit(c);
        break;
    case kCheckbox:
        drawCheckbox(c);
        break;
    }
}

void PreferencesPanel::drawButton(const Control &c) {
    const bool down = pressed.load(std::memory_order_relaxed) == c.id;
    const bool over = hovered.load(std::memory_order_relaxed) == c.id;
    setColour(down ? kButtonPressed : over ? kButtonHover : kButtonFace);
    fillBox(c.box);
    setColour(kEdge);
    outline(c.box);
    if (c.kind == kDefaultButton) outline(inset(c.box, 1)); // the default button's heavier frame
    setColour(kText);
    const float width = textWidth(font, c.text.c_str());
    drawTextIn(c.text, c.box, c.box.centreX() - width / 2);
}

// A frame open along its title, which sits on the top edge.
void PreferencesPanel::drawGroup(const Control &c) {
    const Box &b = c.box;
    const float titleStart = b.minX + 8, titleWidth = textWidth(font, c.text.c_str());
    setColour(kEdge);
    glBegin(GL_LINE_STRIP);
    glVertex2f(titleStart - 2, b.maxY - 0.5f);
    glVertex2f(b.minX + 0.5f, b.maxY - 0.5f);
    glVertex2f(b.minX + 0.5f, b.minY + 0.5f);
    glVertex2f(b.maxX - 0.5f, b.minY + 0.5f);
    glVertex2f(b.maxX - 0.5f, b.maxY - 0.5f);
    glVertex2f(titleStart + titleWidth + 2, b.maxY - 0.5f);
    glEnd();
    setColour(kText);
    drawText(c.text.c_str(), font, titleStart, b.maxY - lineHeight(font) / 2 - descender(font));
}

void PreferencesPanel::drawEdit(const Control &c) {
    setColour(kFieldFace);
    fillBox(c.box);
    setColour(kEdge);
    outline(c.box);
    const std::string text = portText();
    const float width = textWidth(font, text.c_str()), x = c.box.minX + kTextInset;
    if (portSelected.load(std::memory_order_relaxed) && !text.empty()) {
        setColour(kSelection);
        fillBox({x - 1, c.box.minY + 2, 0, x + width + 1, c.box.maxY - 2, 0});
        setColour(kFieldFace); // light digits on the selection
    } else {
        setColour(kFieldText);
        glBegin(GL_LINES); // the caret after the last digit
        glVertex2f(x + width + 1.5f, c.box.minY + 2);
        glVertex2f(x + width + 1.5f, c.box.maxY - 2);
        glEnd();
    }
    drawTextIn(text, c.box, x);
}

void PreferencesPanel::drawCheckbox(const Control &c) {
    const float side = c.box.maxY - c.box.minY;
    const Box square{c.box.minX, c.box.minY, 0, c.box.minX + side, c.box.maxY, 0};
    setColour(kFieldFace);
    fillBox(square);
    setColour(kEdge);
    outline(square);
    if (Manager::floatingTooltip()) {
        setColour(kCheckMark);
        fillBox(inset(square, 3));
    }
    setColour(hovered.load(std::memory_order_relaxed) == c.id ? kButtonPressed : kText);
    drawTextIn(c.text, c.box, square.maxX + 5);
}

// Text vertically centred in box, starting at x, in the current colour.
void PreferencesPanel::drawTextIn(const std::string &text, const Box &box, float x) {
    if (!font || text.empty()) return;
    drawText(text.c_str(), font, x, box.centreY() - lineHeight(font) / 2 - descender(font));
}

} // namespace QV
