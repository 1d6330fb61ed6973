#include "core/BlockStage.h"

#include "core/MurmeloDsp.h"

#include <cmath>

namespace murmelo {

namespace dsp {

float fracOf(float t) { return t - std::floor(t); }

void shapeWeights(float g, float weights[5]) {
    for (int i = 0; i < 5; ++i)
        weights[i] = 0.f;
    if (g <= 1.f) {
        weights[0] = 1.f - g;
        weights[1] = g;
    } else if (g <= 2.f) {
        weights[1] = 2.f - g;
        weights[2] = g - 1.f;
    } else if (g <= 3.f) {
        weights[2] = 3.f - g;
        weights[3] = g - 2.f;
    } else {
        weights[3] = 4.f - g;
        weights[4] = g - 3.f;
    }
}

} // namespace dsp

namespace {

using namespace dsp;

// A phase that is not a number (a host that set a sample rate of 0, say)
// would otherwise stay one for good; start such a phase over at 0.
float advance(float phase, float speed, int frames, float sampleRate) {
    const float next = fracOf(phase + speed * static_cast<float>(frames) / sampleRate);
    return next >= 0.f && next <= 1.f ? next : 0.f;
}

float speedOffset(const float (&v)[kNumParameters], int frames, float fs, SlowLfoPhases &phases) {
    const float depth = v[kSpeedLfoDepth];
    if (!(depth > kSlowLfoDepthThreshold)) return 0.f;
    phases.speed = advance(phases.speed, v[kSpeedLfoSpeed], frames, fs);
    return (fastSine(phases.speed) + 1.f) * depth;
}

float depthOffset(const float (&v)[kNumParameters], int frames, float fs, SlowLfoPhases &phases) {
    const float depth = v[kDepthLfoDepth];
    if (!(depth > kSlowLfoDepthThreshold)) return 0.f;
    phases.depth = advance(phases.depth, v[kDepthLfoSpeed], frames, fs);
    return fastSine(phases.depth) * depth;
}

// A speed at or below its threshold is off and adds nothing.
float above(float value, float threshold) { return value > threshold ? value : 0.f; }

// Negative sums (and sums that are not a number) become 0.
float notNegative(float v) { return v >= 0.f ? v : 0.f; }

} // namespace

void computeBlockParams(const float (&v)[kNumParameters], int frames, float fs, SlowLfoPhases &phases,
                        BlockParams &params, BlockDisplay &display) {
    shapeWeights(v[kShape], params.shapeWeights);
    const float speedLfo = speedOffset(v, frames, fs, phases);
    const float depthLfo = depthOffset(v, frames, fs, phases);
    const float speed = notNegative(above(v[kSpeedCoarse], kCoarseThreshold) + above(v[kSpeedFine], kFineThreshold) +
                                    above(v[kSpeedSuperfine], kSuperfineThreshold) + speedLfo);
    const float depth = notNegative(v[kDepthFine] + v[kDepthCoarse] + depthLfo);
    float sweep = depth / maxOf(speed, kMinimumSpeedDivisor) * fs * kSweepScale;
    if (!(sweep <= kMaximumSweep)) sweep = kMaximumSweep;
    params.sweep = sweep;
    params.biasOffset = v[kBias] * sweep;
    params.speed = speed;
    params.feedback = v[kFeedback] * kFeedbackScale;
    params.spread = v[kSpread];
    display.speedHz = speed;
    display.sweepMs = sweep / fs * kSweepDisplayScale;
}

} // namespace murmelo
