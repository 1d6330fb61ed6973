#include "gui/TextField.h"

#include "core/QrvAuBase.h"
#include "gui/Draw2D.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace QV {

bool TextField::isFloatFormat(const std::string &format) {
    int conversions = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (++i < format.size() && format[i] == '%') continue;
        while (i < format.size() && std::strchr("-+ #0", format[i]))
            ++i;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
            ++i;
        if (i < format.size() && format[i] == '.') ++i;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
            ++i;
        if (i < format.size() && format[i] == 'l') ++i;
        if (i >= format.size() || !std::strchr("fFeEgGaA", format[i])) return false;
        ++conversions;
    }
    return conversions <= 1;
}

TextField::TextField(int parameterIndex, Manager &manager, const std::string &format, float x, float y, float width,
                     float height)
    : Control(parameterIndex, manager), format(format) {
    box = {x, y, 0, x + width, y + height, 0};
    for (auto &c : typed)
        c.store(0, std::memory_order_relaxed);
}

void TextField::formatValue(const std::string &format, murmelo::QrvAuBase *effect, int index, float value,
                            char (&out)[kBufferSize]) {
    char text[256] = {};
    if (!format.empty() && isFloatFormat(format))
        std::snprintf(text, sizeof(text), format.c_str(), double(value));
    else if (effect)
        effect->getParameterDisplay(index, text);
    std::snprintf(out, kBufferSize, "%s", text); // a longer text is cut
}

std::string TextField::typedText() const {
    std::string s;
    for (const auto &c : typed) {
        const char ch = c.load(std::memory_order_relaxed);
        if (!ch) break;
        s += ch;
    }
    return s;
}

bool TextField::hasFocus() const { return owner.focusedField() == this; }

const char *TextField::shownText() {
    Font *font = owner.textFieldFont();
    const int position = editPosition.load(std::memory_order_relaxed);
    if (position < 0) {
        const float v = plainValue();
        if (v != lastShownValue || lastShownPosition != -1) {
            lastShownValue = v;
            lastShownPosition = -1;
            formatValue(format, param.effect, param.index, v, shown);
            textWidthPx = font->textWidth(shown);
        }
        return shown;
    }
    if (position != lastShownPosition) {
        lastShownPosition = position;
        for (int i = 0; i < kBufferSize; ++i)
            editing[i] = typed[i].load(std::memory_order_relaxed);
        editing[kBufferSize - 1] = 0;
        textWidthPx = font->textWidth(editing);
    }
    return editing;
}

void TextField::draw() {
    if (!owner.textFieldFont()) return;
    drawField();
}

void TextField::drawField() {
    const char *text = shownText();
    if (hasFocus())
        glColor3f(1, 1, 0);
    else
        glColor3f(0, 1, 0);
    outlineBox(box);
    drawText(text, owner.textFieldFont(), box.maxX - textWidthPx - 1, box.minY + 2);
}

void TextField::mouseDown(Point, unsigned) {
    owner.giveWindowKeyboardFocus();
    beginEdit();
    TextField *previous = owner.focusedField();
    if (previous && previous != this) previous->endEditing();
    owner.setFocusedField(this);
}

void TextField::appendTyped(char c) {
    const int length = editPosition.load(std::memory_order_relaxed) + 1;
    typed[length].store(c, std::memory_order_relaxed);
    typed[length + 1].store(0, std::memory_order_relaxed);
    editPosition.store(length, std::memory_order_relaxed);
}

bool TextField::keyChar(int c) {
    if (!isEditing())
        for (auto &ch : typed)
            ch.store(0, std::memory_order_relaxed);
    const std::string text = typedText();
    const int length = int(text.size());
    if (c == 3 || c == 13) {
        float v;
        if (std::sscanf(text.c_str(), "%f", &v) != 1) return false;
        beginEdit();
        setPlain(v);
        endEdit();
        endEditing();
        return true;
    }
    if (c == 8) {
        if (length == 0) return false;
        typed[length - 1].store(0, std::memory_order_relaxed);
        editPosition.store(length - 2, std::memory_order_relaxed);
        return true;
    }
    const bool accepted = (c == '-' && length == 0) || (c == '.' && text.find('.') == std::string::npos) ||
                          (c >= '0' && c <= '9' && length < kBufferSize - 1);
    if (!accepted || length >= kBufferSize - 1) return false;
    appendTyped(char(c));
    return true;
}

void TextField::endEditing() {
    editPosition.store(-1, std::memory_order_relaxed);
    // The render thread refreshes the shown value on its next frame: the
    // position it last showed no longer matches.
}

LabelledTextField::LabelledTextField(int parameterIndex, Manager &manager, const std::string &label, float x, float y,
                                     float width, float height, int position, const std::string &format)
    : TextField(parameterIndex, manager, format, x, y, width, height), labelText(label), position(position) {}

void LabelledTextField::getBounds(Box &b) const {
    Box own = box;
    if (position == kLabelBelow && !labelText.empty()) own.minY -= 10;
    b.unite(own);
}

void LabelledTextField::drawField() {
    const char *text = shownText();
    const float left = position == kLabelLeft ? box.centreX() : box.minX;
    glColor3f(0.8f, 0.8f, 0.85f);
    fillRect(left, box.minY, box.maxX, box.maxY);
    if (hasFocus()) {
        if (isEditing())
            glColor3f(1.0f, 0.8f, 0.8f);
        else
            glColor3f(0.8f, 1.0f, 0.8f);
        fillRect(left + 1, box.minY + 1, box.maxX - 1, box.maxY - 1);
    }
    glColor3f(0.1f, 0.1f, 0.1f);
    drawText(text, owner.textFieldFont(), box.maxX - textWidthPx - 1, box.minY + 2);
}

void LabelledTextField::drawLabel(Font *font) {
    if (labelText.empty() || !font) return;
    const Box b = windowBounds();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    float x, y;
    if (position == kLabelLeft) {
        glColor4f(0.1f, 0.1f, 0.15f, 0.3f);
        fillRect(b.minX, b.minY, b.centreX(), b.maxY);
        x = b.minX + 1;
        y = b.minY + 2;
    } else {
        const float w = font->textWidth(labelText.c_str()), h = font->lineHeight();
        y = b.centreY() + 5 - (b.maxY - b.centreY()) / 2 - h;
        glColor4f(0.1f, 0.1f, 0.15f, 0.3f);
        fillRect(b.centreX() - w / 2 - 2, y - 3, b.centreX() + w / 2 + 2, y - 3 + h);
        x = b.centreX() - w / 2;
    }
    glColor4f(0.9f, 0.9f, 0.9f, 0.6f);
    font->drawText(labelText.c_str(), x, y);
    glDisable(GL_BLEND);
}

} // namespace QV
