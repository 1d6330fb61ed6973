#include "core/Parameters.h"

#include "core/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace murmelo {

namespace {

const ParameterInfo kParameters[kNumParameters] = {
    {"Dry Level", kUnitMixerFaderLevel, 0.f, 1.f, 0.f},
    {"Effect Level", kUnitMixerFaderLevel, 0.f, 1.f, 1.f},
    {"Speed (superfine)", kUnitHertz, 0.001f, 1.f, 0.f},
    {"Speed (fine)", kUnitHertz, 0.5f, 20.f, 5.f},
    {"Speed (coarse)", kUnitHertz, 10.f, 5000.f, 0.f},
    {"Depth (fine)", kUnitPercent, 0.f, 10.f, 1.f},
    {"Depth (coarse)", kUnitPercent, 0.f, 400.f, 0.f},
    {"Shape", kUnitGeneric, 0.f, 4.f, 0.f},
    {"Spread", kUnitGeneric, 0.f, 1.f, 0.f},
    {"Bias", kUnitGeneric, 0.f, 1.f, 0.f},
    {"Feedback", kUnitPercent, -100.f, 100.f, 0.f},
    {"Speed LFO Speed", kUnitHertz, 0.05f, 20.f, 0.2f},
    {"Speed LFO Depth", kUnitGeneric, 0.f, 10.f, 0.f},
    {"Depth LFO Speed", kUnitHertz, 0.05f, 20.f, 0.5f},
    {"Depth LFO Depth", kUnitGeneric, 0.f, 5.f, 0.f},
    {"OSC Port Offset", kUnitIndexed, 0.f, 100.f, 0.f},
};

const char *const kShapeNames[] = {"Sine", "Saw Up", "Saw Down", "Tri", "Square"};

constexpr int kInvalidParameter = -10878;
constexpr float kShapeTolerance = 0.005f;

} // namespace

bool isParameterIndex(int index) { return index >= 0 && index < kNumParameters; }

const ParameterInfo &parameterInfo(int index) { return kParameters[index]; }

bool isParameterUsed(int index) {
    const ParameterInfo &p = kParameters[index];
    return !(p.minimum == 0.f && p.maximum == 0.f && p.defaultValue == 0.f);
}

const char *unitLabel(int unit) {
    switch (unit) {
    case kUnitPercent:
        return "%";
    case kUnitSeconds:
        return "seconds";
    case kUnitHertz:
        return "Hz";
    case kUnitCents:
        return "cents";
    case kUnitDecibels:
        return "dB";
    case kUnitPan:
        return "L/R";
    case kUnitTempo:
        return "BPM";
    case kUnitBeats:
        return "beats";
    case kUnitMilliseconds:
        return "ms";
    default:
        return "";
    }
}

float clampToRange(int index, float real) {
    const ParameterInfo &p = kParameters[index];
    if (real == p.defaultValue) return real;
    return std::min(std::max(real, p.minimum), p.maximum);
}

float toRealValue(int index, float x) {
    const ParameterInfo &p = kParameters[index];
    switch (p.unit) {
    case kUnitIndexed:
    case kUnitBeats:
        return std::floor(p.minimum + x * (p.maximum - p.minimum) + 0.5f);
    case kUnitHertz: {
        // Computed in double so that x = 1 lands on the maximum exactly, and
        // with our own exp2 and log2 so that every build gets the same bits.
        const double ratio = static_cast<double>(p.maximum) / p.minimum;
        return static_cast<float>(p.minimum * portableExp2(x * portableLog2(ratio)));
    }
    default:
        return p.minimum + x * (p.maximum - p.minimum);
    }
}

float toNormalisedValue(int index, float v) {
    const ParameterInfo &p = kParameters[index];
    if (p.unit == kUnitHertz) {
        const double ratio = static_cast<double>(v) / p.minimum;
        if (!(ratio > 0.0)) return 0.f;
        return static_cast<float>(portableLog(ratio) / portableLog(static_cast<double>(p.maximum) / p.minimum));
    }
    if (p.maximum == p.minimum) return p.minimum;
    return (v - p.minimum) / (p.maximum - p.minimum);
}

int parameterValueText(int index, float v, const char *&text) {
    text = nullptr;
    switch (index) {
    case kSpeedSuperfine:
        if (v <= kSuperfineSpeedOff) text = "0";
        return 0;
    case kSpeedFine:
        if (v <= kFineSpeedOff) text = "0";
        return 0;
    case kSpeedCoarse:
        if (v <= kCoarseSpeedOff) text = "0";
        return 0;
    case kShape: {
        const float rounded = v + 0.5f;
        if (!(std::fabs(rounded) < 1e9f)) return 0;
        const int n = static_cast<int>(rounded);
        if (std::fabs(v - static_cast<float>(n)) < kShapeTolerance && n >= 0 && n <= 4) text = kShapeNames[n];
        return 0;
    }
    case kOscPortOffset:
        if (v == 0.f) text = "Off";
        return 0;
    default:
        return kInvalidParameter;
    }
}

void formatParameterNumber(float v, char *out, std::size_t size) {
    const char *format = v < 10.f ? "%.3f" : v < 100.f ? "%.2f" : v < 1000.f ? "%.1f" : "%.0f";
    std::snprintf(out, size, format, static_cast<double>(v));
}

} // namespace murmelo
