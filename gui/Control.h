// Controls bound to one parameter of the effect.
#pragma once

#include "gui/ParameterBinding.h"
#include "gui/UIElement.h"

namespace QV {

// Binds itself to its parameter on construction; shows the parameter
// normalised to 0..1 and changes it through the effect's editor edit, which
// stores the value, tells the editor and sends automation to the host.
class Control : public ControlBase {
public:
    Control(int parameterIndex, Manager &manager);

    const ParameterDescriptor &parameter() const { return param; }
    bool isStepped() const { return stepped; }
    // [ui] The control's value, 0..1.
    float value() const { return normalised; }

    void getBounds(Box &b) const override { b.unite(box); }
    void mouseDown(Point, unsigned) override { beginEdit(); }
    void mouseUp(Point, unsigned) override { endEdit(); }
    void mouseEnter() override;
    void mouseLeave() override;
    void parameterChanged(const ParameterDescriptor &, float) override;
    UIElement *hitTest(Point p) override { return boxHit(p); }

protected:
    // The current program's real value of the parameter.
    float plainValue() const;
    // The value recomputed from the current program (logarithmic for hertz).
    float normalisedFromProgram() const;
    // Applies a value 0..1: whole steps for stepped controls, then the edit.
    void applyValue(float v);
    // Sets the parameter's real value through the edit (set and automate).
    void setPlain(float plain);
    // Rounds v to the nearest whole real value of the range (linear steps,
    // for stepped controls).
    float snapped(float v) const;
    // Sets the whole real value nearest to what v means for this parameter
    // (through the parameter's own mapping, so a hertz knob lands on whole
    // hertz), kept inside the range.
    void applyWholeValue(float v);
    void beginEdit();
    void endEdit();

    bool stepped = false;
    ParameterDescriptor param;
    float normalised = 0; // UI thread only
};

// No behaviour of its own; the base of the product's knob.
class Knob : public Control {
public:
    using Control::Control;
};

} // namespace QV
