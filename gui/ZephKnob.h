// This product's knob: drawn by the knob renderer, dragged vertically.
//
// Press: with Alt, or as the second press of a double click, the parameter
// goes back to its default (many window managers keep Alt-click for
// themselves); a stepped 0..1 knob toggles, on every press of a double
// click too, as a switch does.  Drag: up raises the value, 0.005 per pixel (0.0005 with
// Shift), clamped to 0..1; with Control the real value snaps to whole
// units (whole hertz on a logarithmic hertz knob).  Horizontal motion is
// ignored.
#pragma once

#include "gui/Control.h"

#include <string>

namespace QV {

class ZephKnobRenderer;

class ZephKnob : public Knob {
public:
    ZephKnob(int parameterIndex, Manager &manager, ZephKnobRenderer *renderer, const std::string &label, float x,
             float y, float size);

    int rendererEntry() const { return entry; }
    Colour colour() const { return knobColour; }
    const std::string &label() const { return labelText; }

    void getBounds(Box &b) const override;
    void mouseDown(Point p, unsigned modifiers) override;
    void mouseDoubleDown(Point p, unsigned modifiers) override;
    void mouseDrag(Point p, unsigned modifiers) override;
    void parameterChanged(const ParameterDescriptor &parameter, float value) override;
    void prepare() override;
    void drawLabel(Font *font) override;

    static constexpr float kSensitivity = 0.005f;
    static constexpr float kFineSensitivity = 0.0005f;
    // The knob colour for a unit code (and whether that unit steps the knob).
    static Colour colourForUnit(int unit);

private:
    bool isToggle() const { return stepped && param.minimum == 0 && param.maximum == 1; }

    Point dragStart{0, 0};
    float dragStartValue = 0;
    ZephKnobRenderer *renderer;
    int entry = -1;
    Colour knobColour;
    std::string labelText;
};

} // namespace QV
