// The embedded demo: six seconds of strummed chords (Karplus-Strong plucked
// strings), a kick, a snare and eighth-note hi-hats.  Sustained tones show
// a chorus, broadband hits show a flanger's sweep, and sharp attacks show a
// delay's echoes.  Synthesised, so it costs nothing to ship.
#include "tool/Audio.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tool {

namespace {

constexpr double kSeconds = 6.0;
constexpr double kBeat = 0.5; // 120 beats per minute
constexpr double kTwoPi = 6.283185307179586;

// A small deterministic noise source (the same demo on every machine).
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state(seed) {}
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 8388608.f - 1.f;
    }

private:
    std::uint32_t state;
};

struct Mix {
    std::vector<float> &left, &right;
    int rate;
    void add(int at, float sample, float pan) { // pan -1 (left) .. 1 (right)
        if (at < 0 || at >= static_cast<int>(left.size())) return;
        left[at] += sample * (1.f - pan) * 0.5f;
        right[at] += sample * (1.f + pan) * 0.5f;
    }
    int frame(double seconds) const { return static_cast<int>(seconds * rate); }
};

// A plucked string: a noise burst circulating in a lowpassed delay loop.
void pluck(Mix &mix, double start, double hz, float level, float pan, std::uint32_t seed) {
    const int period = std::max(2, static_cast<int>(mix.rate / hz + 0.5));
    std::vector<float> loop(period);
    Noise noise(seed);
    for (float &s : loop)
        s = noise.next();
    const int length = mix.frame(2.5);
    float previous = 0.f;
    for (int i = 0; i < length; ++i) {
        float &slot = loop[i % period];
        const float out = slot;
        slot = 0.996f * 0.5f * (slot + previous);
        previous = out;
        mix.add(mix.frame(start) + i, out * level, pan);
    }
}

void strum(Mix &mix, double start, const std::vector<double> &notes, std::uint32_t seed) {
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const float pan = -0.5f + static_cast<float>(n) / static_cast<float>(notes.size());
        pluck(mix, start + 0.02 * static_cast<double>(n), notes[n], 0.3f, pan, seed + static_cast<std::uint32_t>(n));
    }
}

// A sine sweeping down from 120 to 45 Hz under a fast decay.
void kick(Mix &mix, double start) {
    double phase = 0.0;
    for (int i = 0; i < mix.frame(0.4); ++i) {
        const double t = static_cast<double>(i) / mix.rate;
        phase += (45.0 + 75.0 * std::exp(-t * 30.0)) / mix.rate;
        mix.add(mix.frame(start) + i, static_cast<float>(std::sin(kTwoPi * phase) * std::exp(-t * 9.0)) * 0.8f, 0.f);
    }
}

// Noise and a 190 Hz body.
void snare(Mix &mix, double start, std::uint32_t seed) {
    Noise noise(seed);
    for (int i = 0; i < mix.frame(0.25); ++i) {
        const double t = static_cast<double>(i) / mix.rate;
        const float body = static_cast<float>(std::sin(kTwoPi * 190.0 * t) * std::exp(-t * 25.0)) * 0.3f;
        mix.add(mix.frame(start) + i, body + noise.next() * static_cast<float>(std::exp(-t * 18.0)) * 0.35f, 0.1f);
    }
}

// Differentiated noise (a crude highpass), very short.
void hat(Mix &mix, double start, std::uint32_t seed) {
    Noise noise(seed);
    float previous = 0.f;
    for (int i = 0; i < mix.frame(0.06); ++i) {
        const float n = noise.next();
        const double t = static_cast<double>(i) / mix.rate;
        mix.add(mix.frame(start) + i, (n - previous) * static_cast<float>(std::exp(-t * 70.0)) * 0.12f, 0.3f);
        previous = n;
    }
}

void normalise(std::vector<float> &left, std::vector<float> &right, float target) {
    float peak = 0.f;
    for (std::size_t i = 0; i < left.size(); ++i)
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    if (peak <= 0.f) return;
    const float g = target / peak;
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] *= g;
        right[i] *= g;
    }
}

class DemoSource : public AudioSource {
public:
    explicit DemoSource(int rate) : sampleRate(rate) { synthesiseDemo(rate, left, right); }
    int rate() const override { return sampleRate; }
    std::int64_t frames() const override { return static_cast<std::int64_t>(left.size()); }
    int read(StereoBlock &block, int n) override {
        const int got = static_cast<int>(std::min<std::size_t>(n, left.size() - position));
        block.resize(got);
        std::copy_n(left.begin() + position, got, block.left.begin());
        std::copy_n(right.begin() + position, got, block.right.begin());
        position += got;
        return got;
    }

private:
    int sampleRate;
    std::vector<float> left, right;
    std::size_t position = 0;
};

} // namespace

void synthesiseDemo(int rate, std::vector<float> &left, std::vector<float> &right) {
    const std::size_t frames = static_cast<std::size_t>(kSeconds * rate);
    left.assign(frames, 0.f);
    right.assign(frames, 0.f);
    Mix mix{left, right, rate};
    strum(mix, 0.0, {110.0, 164.81, 220.0, 277.18, 329.63}, 1);           // A
    strum(mix, 2.0, {146.83, 220.0, 293.66, 369.99}, 20);                 // D
    strum(mix, 4.0, {82.41, 123.47, 164.81, 207.65, 246.94, 329.63}, 40); // E
    for (int beat = 0; beat < static_cast<int>(kSeconds / kBeat); ++beat) {
        const double t = beat * kBeat;
        if (beat % 2 == 0) kick(mix, t);
        if (beat % 4 == 1 || beat % 4 == 3) snare(mix, t, 100 + beat);
        hat(mix, t, 200 + 2 * beat);
        hat(mix, t + kBeat / 2, 201 + 2 * beat);
    }
    normalise(left, right, 0.7f); // about -3 dBFS
}

std::unique_ptr<AudioSource> demoSource(int rate) { return std::make_unique<DemoSource>(rate); }

} // namespace tool
