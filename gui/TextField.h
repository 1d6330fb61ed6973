// Numeric text fields: show the parameter's value and take typed numbers.
//
// Two texts are kept apart: the shown value, which the render thread
// refreshes when the parameter changes, and the typed text, which only the
// UI thread writes (as atomic characters the render thread can read while
// editing).  Editing is typing: the edit position is the index of the last
// typed character, -1 when not editing.
#pragma once

#include "gui/Control.h"

#include <atomic>
#include <string>

namespace QV {

class TextField : public Control {
public:
    TextField(int parameterIndex, Manager &manager, const std::string &format, float x, float y, float width,
              float height);

    // Characters the buffer holds, its terminator included.
    static constexpr int kBufferSize = 16;

    bool isEditing() const { return editPosition.load(std::memory_order_relaxed) >= 0; }
    // [ui] The typed text.
    std::string typedText() const;
    bool hasFocus() const;

    void draw() override;
    void mouseDown(Point p, unsigned modifiers) override;
    bool keyChar(int c) override;
    void endEditing() override;
    virtual void drawField();

    // The value text: format applied to value (printf style, one floating
    // point argument) when format is not empty, else the effect's display
    // text; cut to fit the 16-character buffer.  A format that is not a
    // plain floating-point format (see isFloatFormat) is treated as empty.
    static void formatValue(const std::string &format, murmelo::QrvAuBase *effect, int index, float value,
                            char (&out)[kBufferSize]);

    // True for a format with at most one conversion, which is a
    // floating-point one (%f, %e, %g, %a with flags, width and precision);
    // "%%" is text.  Layout scripts supply formats: anything else could make
    // printf read arguments that are not there.
    static bool isFloatFormat(const std::string &format);

protected:
    // [render] The text to show and its width.
    const char *shownText();
    void appendTyped(char c);

    std::atomic<int> editPosition{-1};
    std::string format;
    std::atomic<char> typed[kBufferSize];
    // Render thread only.
    char shown[kBufferSize] = {};
    char editing[kBufferSize] = {};
    float lastShownValue = 1e30f;
    int lastShownPosition = -1;
    float textWidthPx = 0;
};

class LabelledTextField : public TextField {
public:
    enum LabelPosition { kLabelBelow = 0, kLabelLeft = 1 };

    LabelledTextField(int parameterIndex, Manager &manager, const std::string &label, float x, float y, float width,
                      float height, int position, const std::string &format);

    const std::string &label() const { return labelText; }

    void getBounds(Box &b) const override;
    void drawField() override;
    void drawLabel(Font *font) override;

private:
    std::string labelText;
    int position;
};

} // namespace QV
