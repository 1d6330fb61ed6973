#include "gui/ZephKnob.h"

#include "core/Parameters.h"
#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Manager.h"
#include "gui/ZephKnobRenderer.h"

#include <algorithm>

namespace QV {

namespace {

constexpr float kMaxAngle = 2.356194490192345f; // 135 degrees

} // namespace

Colour ZephKnob::colourForUnit(int unit) {
    switch (unit) {
    case murmelo::kUnitBoolean:
        return {0.7f, 0.7f, 0.8f, 1};
    case murmelo::kUnitSeconds:
    case murmelo::kUnitMilliseconds:
        return {0.8f, 0.1f, 0.9f, 1};
    case murmelo::kUnitHertz:
        return {0.2f, 0.7f, 0.9f, 1};
    case murmelo::kUnitRelativeSemitones:
        return {0, 0.5f, 1.0f, 1};
    case murmelo::kUnitMidiNoteNumber:
        return {0.1f, 0.6f, 0.3f, 1};
    case murmelo::kUnitLinearGain:
        return {1.0f, 0.2f, 0.2f, 1};
    default:
        return {1.0f, 0.6f, 0, 1};
    }
}

ZephKnob::ZephKnob(int parameterIndex, Manager &manager, ZephKnobRenderer *renderer, const std::string &label, float x,
                   float y, float size)
    : Knob(parameterIndex, manager), renderer(renderer), knobColour(colourForUnit(param.unit)), labelText(label) {
    box = {x, y, 0, x + size, y + size, 0};
    if (param.unit == murmelo::kUnitRelativeSemitones) stepped = true;
    if (renderer) entry = renderer->addKnob(knobColour, 0, this);
}

void ZephKnob::getBounds(Box &b) const {
    Box own = box;
    if (!labelText.empty()) own.maxY += 5;
    b.unite(own);
}

void ZephKnob::mouseDown(Point p, unsigned modifiers) {
    if (modifiers & kModifierAlt) {
        setPlain(param.defaultValue);
        normalised = normalisedFromProgram();
    } else if (isToggle()) {
        setPlain(1 - plainValue());
        normalised = normalisedFromProgram();
    }
    dragStartValue = normalised;
    dragStart = p;
    beginEdit();
}

void ZephKnob::mouseDoubleDown(Point p, unsigned modifiers) {
    mouseDown(p, isToggle() ? modifiers : modifiers | kModifierAlt);
}

void ZephKnob::mouseDrag(Point p, unsigned modifiers) {
    const float sensitivity = (modifiers & kModifierShift) ? kFineSensitivity : kSensitivity;
    float v = std::clamp(dragStartValue + (p.y - dragStart.y) * sensitivity, 0.f, 1.f);
    if (modifiers & kModifierControl) {
        applyWholeValue(v);
        return;
    }
    normalised = v;
    applyValue(v);
}

void ZephKnob::parameterChanged(const ParameterDescriptor &parameter, float value) {
    Knob::parameterChanged(parameter, value);
    if (renderer) renderer->setAngle(entry, (2 * normalised - 1) * kMaxAngle);
}

void ZephKnob::prepare() {
    const Box b = windowBounds();
    const float cx = b.centreX();
    const float cy = b.centreY() + (labelText.empty() ? 0.f : 2.5f);
    if (renderer) renderer->setGeometry(entry, cx, cy, b.maxX - cx);
}

void ZephKnob::drawLabel(Font *font) {
    if (labelText.empty() || !font) return;
    const Box b = windowBounds();
    const float x = b.centreX() - font->textWidth(labelText.c_str()) / 2;
    const float y = b.centreY() - (b.maxY - b.centreY()) / 2 - font->lineHeight();
    glColor3f(0.52f, 0.55f, 0.5f);
    font->drawText(labelText.c_str(), x, y);
}

} // namespace QV
