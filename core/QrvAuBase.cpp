#include "core/QrvAuBase.h"

#include "core/CFString.h"
#include "core/Kernel.h"
#include "core/ParameterGroups.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace murmelo {

namespace {

constexpr char kVendor[] = "Quorvane";
constexpr std::size_t kLabelBytes = 8;
constexpr std::size_t kDisplayBytes = kParameterDisplayChars + 1;
constexpr std::size_t kIndexedDisplayBytes = 8; // "%d", at most 7 characters

// Integer part of v, truncated toward zero and kept inside int's range.
int truncated(float v) {
    if (!(v == v)) return 0;
    const float limit = 2147483520.f; // largest float below 2^31
    return static_cast<int>(std::max(-limit, std::min(limit, v)));
}

void copyText(char *out, const char *text, std::size_t maxChars) {
    std::size_t n = std::min(std::strlen(text), maxChars);
    std::memcpy(out, text, n);
    out[n] = 0;
}

} // namespace

QrvAuBase::QrvAuBase(vst2::HostCallback audioMaster, int numPrograms, int numParams)
    : AudioEffectX(audioMaster, numPrograms, numParams), programs{} {
    for (auto &slot : programs) {
        auto *p = new QrvProgramBasic;
        for (int j = 0; j < kNumParameters; ++j)
            p->setValue(j, parameterInfo(j).defaultValue);
        p->setName("Defaults");
        slot = p;
    }
    curProgram = 0;
}

QrvAuBase::~QrvAuBase() {
    for (auto *p : programs)
        delete p;
    for (auto *k : kernels)
        delete k;
}

void QrvAuBase::processReplacing(float **inputs, float **outputs, vst2::VstInt32 frames) {
    bool silence = false;
    for (std::size_t k = 0; k < kernels.size(); ++k)
        kernels[k]->process(inputs[k], outputs[k], frames, 1, silence);
}

void QrvAuBase::setParameter(vst2::VstInt32 index, float normalised) {
    if (!isParameterIndex(index)) return;
    currentProgram()->setValue(index, toRealValue(index, normalised));
}

float QrvAuBase::getParameter(vst2::VstInt32 index) {
    if (!isParameterIndex(index)) return 0.f;
    return toNormalisedValue(index, value(index));
}

void QrvAuBase::editParameter(int index, float realValue) {
    if (!isParameterIndex(index)) return;
    currentProgram()->setValue(index, realValue);
    notifyEditor(index, realValue);
    callHost(vst2::audioMasterAutomate, index, 0, nullptr, toNormalisedValue(index, realValue));
}

void QrvAuBase::notifyEditor(int, float) {}

void QrvAuBase::getParameterLabel(vst2::VstInt32 index, char *label) {
    label[0] = 0;
    if (isParameterIndex(index)) copyText(label, unitLabel(parameterInfo(index).unit), kLabelBytes - 1);
}

void QrvAuBase::getParameterName(vst2::VstInt32 index, char *text) {
    // Always 16 bytes: up to 15 characters, zero-filled.
    std::memset(text, 0, kParameterNameChars + 1);
    if (isParameterIndex(index)) std::strncpy(text, parameterInfo(index).name, kParameterNameChars);
}

// Hosts that ask (Ardour, Reaper, Bitwig) show the full name instead of the
// 15 characters of effGetParamName, and group the parameters as the editor
// does.  Nothing else of the record is offered: steps and integer ranges stay
// the host's own.
bool QrvAuBase::getParameterProperties(vst2::VstInt32 index, vst2::VstParameterProperties *p) {
    if (!isParameterIndex(index)) return false;
    std::memset(p, 0, sizeof *p);
    copyText(p->label, parameterInfo(index).name, sizeof p->label - 1);
    copyText(p->shortLabel, parameterShortLabel(index), sizeof p->shortLabel - 1);
    p->flags = vst2::kVstParameterSupportsDisplayCategory;
    const int group = parameterGroup(index);
    p->category = static_cast<std::int16_t>(group);
    p->numParametersInCategory = static_cast<std::int16_t>(parametersInGroup(group));
    copyText(p->categoryLabel, parameterGroupName(group), sizeof p->categoryLabel - 1);
    return true;
}

void QrvAuBase::getParameterDisplay(vst2::VstInt32 index, char *text) {
    text[0] = 0;
    if (!isParameterIndex(index)) return;
    const float v = value(index);
    const int unit = parameterInfo(index).unit;
    if (unit == kUnitBoolean) {
        copyText(text, v != 0.f ? "On" : "Off", kParameterDisplayChars);
        return;
    }
    ParameterStringFromValue request{index, &v, nullptr};
    if (unit == kUnitIndexed) {
        // No product offers value lists yet; a non-null list asks for one.
        void *list = nullptr;
        getValueStrings(0, index, &list);
    }
    if (getProperty(kPropertyParameterStringFromValue, 0, 0, &request) == kStatusOk && request.text) {
        copyText(text, request.text->c_str(), kParameterDisplayChars);
        request.text->release();
        return;
    }
    if (unit == kUnitIndexed)
        std::snprintf(text, kIndexedDisplayBytes, "%d", truncated(v));
    else
        formatParameterNumber(v, text, kDisplayBytes);
}

void QrvAuBase::setProgramName(char *name) { currentProgram()->setName(name); }

void QrvAuBase::getProgramName(char *name) { copyText(name, currentProgram()->getName(), kProgramNameChars); }

bool QrvAuBase::getProgramNameIndexed(vst2::VstInt32, vst2::VstInt32 index, char *text) {
    if (index < 0 || index >= kNumPrograms) return false;
    copyText(text, programs[index]->getName(), kProgramNameChars);
    return true;
}

bool QrvAuBase::getVendorString(char *text) {
    copyText(text, kVendor, vst2::kVstMaxVendorStrLen - 1);
    return true;
}

int QrvAuBase::getValueStrings(int, int, void *) { return kStatusInvalidParameter; }
int QrvAuBase::getProperty(int, int, int, void *) { return kStatusInvalidProperty; }
int QrvAuBase::getPropertyInfo(int, int, int, unsigned *, bool *) { return kStatusInvalidProperty; }
int QrvAuBase::setProperty(int, int, int, const void *, unsigned) { return kStatusInvalidProperty; }

int QrvAuBase::addPropertyListener(int property, PropertyListenerProc procedure, void *userData) {
    if (propertyListeners.capacity() == 0) propertyListeners.reserve(32);
    propertyListeners.push_back({property, procedure, userData});
    return kStatusOk;
}

int QrvAuBase::removePropertyListener(int property, PropertyListenerProc procedure) {
    for (std::size_t i = propertyListeners.size(); i-- > 0;) {
        const PropertyListener &l = propertyListeners[i];
        if (l.property == property && l.procedure == procedure) propertyListeners.erase(propertyListeners.begin() + i);
    }
    return kStatusOk;
}

} // namespace murmelo
