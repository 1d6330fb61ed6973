// A straight, unoptimised transcription of Murmelo's sound: block stage,
// rendering loop and crossfade, one sample and one channel at a time in the
// order the design gives.  It shares no code with the plug-in, so the tests
// use it as the independent reference and the benchmark as the yardstick.
#pragma once

#include <vector>

namespace literal {

// Block parameters (same meaning and order as the plug-in's).
struct Params {
    float weights[5];
    float sweep;      // M
    float biasOffset; // R
    float speed;
    float feedback;
    float spread;
};

float fastSine(float x);
// u at phase a.
float shape(float a, const float weights[5]);
void shapeWeights(float g, float weights[5]);

struct Kernel {
    std::vector<float> delay = std::vector<float>(65536, 0.f);
    int writeIndex = 0;
    float phase = 0.f;
};

// R: renders n frames with set from start phase phi; returns the end phase.
float render(Kernel &k, const Params &set, float phi, const float *in, float *out, int n, float fs, float dry,
             float wet);

// Kernel process for channel c, crossfading from previous when changed.
// oldOutput and oldDelayWrites hold at least n floats.
void process(Kernel &k, int c, const Params &current, const Params &previous, bool changed, float fs, float dry,
             float wet, const float *in, float *out, int n, float *oldOutput, float *oldDelayWrites);

// The effect's audio side for two channels: block stage, then each kernel.
class Model {
public:
    // values: the 16 real parameter values of the current program.
    void block(const float *values, float fs, const float *const *in, float *const *out, int n);

    Params current{}, previous{};
    bool changed = false;
    float speedLfoPhase = 0.f, depthLfoPhase = 0.f;
    float displaySpeed = 0.f, displaySweepMs = 0.f;
    Kernel kernels[2];

private:
    void blockStage(const float *values, float fs, int n);
    std::vector<float> oldOutput, oldDelayWrites;
};

} // namespace literal
