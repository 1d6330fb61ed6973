#include "bench/LiteralMurmelo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace literal {

namespace {

float fromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

const float kC1 = fromBits(0xC0C90FDB), kC3 = fromBits(0x42255DE1), kC5 = fromBits(0x42A33458),
            kC7 = fromBits(0x42992663), kC9 = fromBits(0x421ED7BB);
const float kLfoDepthThreshold = fromBits(0x3A83126F), kSuperfine = fromBits(0x3A8333FD), kFine = fromBits(0x3F0020C5),
            kCoarse = fromBits(0x412028F6), kMinDivisor = fromBits(0x38D1B717), kSweepScale = fromBits(0x3B23D70A),
            kMaxSweep = fromBits(0x46FFFF00), kFeedbackScale = fromBits(0x3C23D70A),
            kDisplayScale = fromBits(0x44FA0000);

float frac(float t) { return t - std::floor(t); }

} // namespace

float fastSine(float x) {
    const float b = std::max(-x, std::min(x - 0.5f, 1.f - x));
    const float b3 = b * b * b;
    const float b5 = b * b * b * b * b;
    const float b7 = b * b * b * b * b * b * b;
    const float b9 = b * b * b * b * b * b * b * b * b;
    return kC1 * b + kC3 * b3 - kC5 * b5 + kC7 * b7 - kC9 * b9;
}

float shape(float a, const float w[5]) {
    const float c = fastSine(frac(a + 0.25f));
    const float p = 8.f * (a * a) - 8.f * a + 1.f;
    const float x = std::max(1.f - 8.f * (a * a), 16.f * a - 7.f - 8.f * (a * a));
    const float y = std::max(8.f * (a * a) - 8.f * a + 1.f, 16.f * a - 7.f - 8.f * (a * a));
    const float z = std::max(1.f - 4.f * a, 4.f * a - 3.f);
    return w[0] * c + w[1] * p + w[2] * x + w[3] * y + w[4] * z;
}

void shapeWeights(float g, float w[5]) {
    for (int i = 0; i < 5; ++i)
        w[i] = 0.f;
    if (g <= 1.f) {
        w[0] = 1.f - g;
        w[1] = g;
    } else if (g <= 2.f) {
        w[1] = 2.f - g;
        w[2] = g - 1.f;
    } else if (g <= 3.f) {
        w[2] = 3.f - g;
        w[3] = g - 2.f;
    } else {
        w[3] = 4.f - g;
        w[4] = g - 3.f;
    }
}

float render(Kernel &k, const Params &set, float phi, const float *in, float *out, int n, float fs, float dry,
             float wet) {
    float *delay = k.delay.data();
    int w = k.writeIndex;
    const float inc = set.speed / fs;
    for (int i = 0; i < n; ++i) {
        const float x = in[i];
        delay[w] = x;
        const float u = shape(phi, set.weights);
        const float d = set.sweep * (1.f - u) + set.biasOffset * (1.f + u);
        float p = static_cast<float>(w) - d;
        p = p - std::floor(p / 65536.f) * 65536.f;
        if (!(p >= 0.f && p < 65536.f)) p = 0.f; // not a number, or rounded onto 65536
        const int ki = static_cast<int>(std::floor(p));
        const float f = p - static_cast<float>(ki);
        const float y = delay[ki] * (1.f - f) + delay[(ki + 1) % 65536] * f;
        delay[w] = x + set.feedback * y;
        out[i] = wet * y + dry * x;
        phi = frac(phi + inc);
        w = (w + 1) % 65536;
    }
    return phi;
}

void process(Kernel &k, int c, const Params &current, const Params &previous, bool changed, float fs, float dry,
             float wet, const float *in, float *out, int n, float *oldOutput, float *oldDelayWrites) {
    const int w0 = k.writeIndex;
    if (changed) {
        for (int j = 0; j < n; ++j)
            oldDelayWrites[j] = k.delay[(w0 + j) % 65536];
        render(k, previous, frac(static_cast<float>(c) * previous.spread + k.phase), in, oldOutput, n, fs, dry, wet);
        for (int j = 0; j < n; ++j)
            std::swap(k.delay[(w0 + j) % 65536], oldDelayWrites[j]);
    }
    float phase = render(k, current, frac(static_cast<float>(c) * current.spread + k.phase), in, out, n, fs, dry, wet);
    if (changed) {
        for (int j = 0; j < n; ++j) {
            const float e = static_cast<float>(j) / static_cast<float>(n);
            out[j] = oldOutput[j] * (1.f - e) + out[j] * e;
            float &slot = k.delay[(w0 + j) % 65536];
            slot = oldDelayWrites[j] * (1.f - e) + slot * e;
        }
    }
    k.phase = phase >= 0.f && phase <= 1.f ? phase : 0.f;
    k.writeIndex = (w0 + n) % 65536;
}

void Model::blockStage(const float *v, float fs, int n) {
    shapeWeights(v[7], current.weights);
    float speedOffset = 0.f, depthOffset = 0.f;
    if (v[12] > kLfoDepthThreshold) {
        speedLfoPhase = frac(speedLfoPhase + v[11] * static_cast<float>(n) / fs);
        speedOffset = (fastSine(speedLfoPhase) + 1.f) * v[12];
    }
    if (v[14] > kLfoDepthThreshold) {
        depthLfoPhase = frac(depthLfoPhase + v[13] * static_cast<float>(n) / fs);
        depthOffset = fastSine(depthLfoPhase) * v[14];
    }
    float speed =
        (v[4] > kCoarse ? v[4] : 0.f) + (v[3] > kFine ? v[3] : 0.f) + (v[2] > kSuperfine ? v[2] : 0.f) + speedOffset;
    if (speed < 0.f) speed = 0.f;
    float depth = v[5] + v[6] + depthOffset;
    if (depth < 0.f) depth = 0.f;
    float m = depth / std::max(speed, kMinDivisor) * fs * kSweepScale;
    if (m > kMaxSweep) m = kMaxSweep;
    current.sweep = m;
    current.biasOffset = v[9] * m;
    current.speed = speed;
    current.feedback = v[10] * kFeedbackScale;
    current.spread = v[8];
    changed = std::memcmp(&current, &previous, sizeof(Params)) != 0;
    displaySpeed = speed;
    displaySweepMs = m / fs * kDisplayScale;
}

void Model::block(const float *values, float fs, const float *const *in, float *const *out, int n) {
    if (oldOutput.size() < static_cast<std::size_t>(n)) {
        oldOutput.resize(n);
        oldDelayWrites.resize(n);
    }
    kernels[1].phase = kernels[0].phase;
    blockStage(values, fs, n);
    const float dry = values[0] * values[0] * values[0], wet = values[1] * values[1] * values[1];
    for (int c = 0; c < 2; ++c)
        process(kernels[c], c, current, previous, changed, fs, dry, wet, in[c], out[c], n, oldOutput.data(),
                oldDelayWrites.data());
    previous = current;
}

} // namespace literal
