#include "gui/Control.h"

#include "core/QrvAuBase.h"
#include "gui/Manager.h"

#include <algorithm>
#include <cmath>

namespace QV {

namespace {

bool isSteppedUnit(int unit) {
    return unit == murmelo::kUnitIndexed || unit == murmelo::kUnitBoolean || unit == murmelo::kUnitMidiNoteNumber ||
           unit == murmelo::kUnitBeats;
}

} // namespace

Control::Control(int parameterIndex, Manager &manager)
    : ControlBase(manager), param(manager.parameter(parameterIndex)) {
    manager.bindControl(this, param);
    stepped = isSteppedUnit(param.unit);
}

void Control::mouseEnter() {
    owner.setHoveredParameter(param.index);
    owner.setTooltipElement(this);
}

void Control::mouseLeave() {
    if (owner.hoveredParameter() == param.index) owner.setHoveredParameter(-1);
}

void Control::parameterChanged(const ParameterDescriptor &, float) { normalised = normalisedFromProgram(); }

float Control::plainValue() const {
    if (!param.effect || !murmelo::isParameterIndex(param.index)) return 0.f;
    return param.effect->currentProgram()->getValue(param.index);
}

float Control::normalisedFromProgram() const {
    if (!murmelo::isParameterIndex(param.index)) return 0.f;
    return murmelo::toNormalisedValue(param.index, plainValue());
}

float Control::snapped(float v) const {
    const float range = param.maximum - param.minimum;
    if (range == 0) return 0;
    const float plain = std::floor(param.minimum + v * range + 0.5f);
    return (plain - param.minimum) / range;
}

void Control::applyValue(float v) {
    if (!murmelo::isParameterIndex(param.index)) return;
    if (stepped) {
        normalised = snapped(v);
        setPlain(std::floor(param.minimum + v * (param.maximum - param.minimum) + 0.5f));
        return;
    }
    setPlain(murmelo::toRealValue(param.index, v));
}

void Control::applyWholeValue(float v) {
    if (!murmelo::isParameterIndex(param.index)) return;
    const float real =
        stepped ? param.minimum + v * (param.maximum - param.minimum) : murmelo::toRealValue(param.index, v);
    const float whole = std::min(std::max(std::floor(real + 0.5f), param.minimum), param.maximum);
    normalised = murmelo::toNormalisedValue(param.index, whole);
    setPlain(whole);
}

void Control::setPlain(float plain) {
    if (param.effect) param.effect->editParameter(param.index, plain);
}

// A control made for an index outside the table is inert: no gesture, no
// value reaches the host.
void Control::beginEdit() {
    if (!murmelo::isParameterIndex(param.index)) return;
    owner.setEditedParameter(param.index);
    if (param.effect) param.effect->beginEdit(param.index);
}

void Control::endEdit() {
    if (!murmelo::isParameterIndex(param.index) || owner.editedParameter() != param.index) return;
    if (param.effect) param.effect->endEdit(param.index);
    owner.setEditedParameter(-1);
}

} // namespace QV
