// Every instruction-set variant of the rendering loop against the literal,
// sample-by-sample transcription: the same floats, bit for bit, in steady and
// crossfading blocks, for one and two channels, across the delay line's wrap.
#include "bench/LiteralMurmelo.h"
#include "core/BlockStage.h"
#include "core/FloatMode.h"
#include "core/KernelRender.h"
#include "core/MurmeloDsp.h"
#include "core/MurmeloKernel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

using namespace murmelo;

namespace {

std::uint32_t bitsOf(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// Same bits, or both not a number.
bool same(float a, float b) { return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b)); }

::testing::AssertionResult sameFloats(const std::vector<float> &a, const std::vector<float> &b, const char *what) {
    if (a.size() != b.size()) return ::testing::AssertionFailure() << what << ": sizes differ";
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!same(a[i], b[i]))
            return ::testing::AssertionFailure()
                   << what << " differs at " << i << ": " << a[i] << " (0x" << std::hex << bitsOf(a[i]) << ") vs "
                   << std::dec << b[i] << " (0x" << std::hex << bitsOf(b[i]) << ")";
    return ::testing::AssertionSuccess();
}

BlockParams params(float shape, float sweep, float bias, float speed, float feedback, float spread) {
    BlockParams p{};
    dsp::shapeWeights(shape, p.shapeWeights);
    p.sweep = sweep;
    p.biasOffset = bias * sweep;
    p.speed = speed;
    p.feedback = feedback;
    p.spread = spread;
    return p;
}

literal::Params toLiteral(const BlockParams &p) {
    literal::Params l;
    static_assert(sizeof l == sizeof p, "same ten floats");
    std::memcpy(&l, &p, sizeof l);
    return l;
}

// Two channels of state, rendered once by a variant and once literally.
struct Scene {
    BlockParams current, previous;
    bool changed;
    int frames;
    int writeIndex;
    float phase;
};

std::vector<float> noise(int n, unsigned seed, float scale) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-scale, scale);
    std::vector<float> v(n);
    for (float &x : v)
        x = dist(rng);
    return v;
}

// scale: the largest magnitude of the input and of the delay line's contents.
void checkScene(const RenderVariant &variant, const Scene &s, int channels, unsigned seed, float scale = 1.f) {
    const float fs = 44100.f, dry = 0.3f * 0.3f * 0.3f, wet = 0.9f * 0.9f * 0.9f;
    std::vector<float> in[2], delayV[2], delayL[2], outV[2], outL[2], oldOut[2], oldWrites[2];
    literal::Kernel lk[2];
    KernelBlock b{&s.current, &s.previous, s.changed, fs, dry, wet, s.frames, channels, {}};
    for (int c = 0; c < channels; ++c) {
        in[c] = noise(s.frames, seed + c, scale);
        delayV[c] = noise(dsp::kDelayLength, seed + 10 + c, 0.5f * scale);
        lk[c].delay = delayV[c];
        lk[c].writeIndex = s.writeIndex;
        lk[c].phase = s.phase;
        outV[c].assign(s.frames, 0.f);
        outL[c].assign(s.frames, 0.f);
        oldOut[c].assign(s.frames, 0.f);
        oldWrites[c].assign(s.frames, 0.f);
        b.channels[c] = {in[c].data(),     outV[c].data(),     delayV[c].data(), s.writeIndex, s.phase, c,
                         oldOut[c].data(), oldWrites[c].data()};
    }
    variant.render(b);
    std::vector<float> scratchA(s.frames), scratchB(s.frames);
    for (int c = 0; c < channels; ++c) {
        literal::process(lk[c], c, toLiteral(s.current), toLiteral(s.previous), s.changed, fs, dry, wet, in[c].data(),
                         outL[c].data(), s.frames, scratchA.data(), scratchB.data());
        SCOPED_TRACE(::testing::Message() << variant.name << " channel " << c << " of " << channels);
        EXPECT_TRUE(sameFloats(outV[c], outL[c], "output"));
        EXPECT_TRUE(sameFloats(delayV[c], lk[c].delay, "delay line"));
        EXPECT_TRUE(same(b.channels[c].phase, lk[c].phase)) << b.channels[c].phase << " vs " << lk[c].phase;
        EXPECT_EQ(b.channels[c].writeIndex, lk[c].writeIndex);
    }
}

std::vector<BlockParams> parameterSets() {
    std::vector<BlockParams> sets = {
        BlockParams{},                                  // the all-zero start-up set
        params(0.f, 22.05f, 0.f, 5.f, 0.f, 0.f),        // "Defaults"
        params(0.f, 71.3f, 1.f, 4.415f, 0.21f, 0.405f), // "Chorusy"-like
        params(1.f, 0.3f, 0.f, 18.f, 0.72f, 0.25f),     // delays below one sample
        params(2.5f, 900.f, 0.365f, 84.f, 0.66f, 0.23f),
        params(3.3f, 5000.f, 0.73f, 783.f, -0.93f, 0.345f),
        params(4.f, 32767.5f, 1.f, 0.f, -1.f, 0.5f), // longest delay, full inverted feedback
        params(1.66f, 32767.5f, 0.2f, 5041.f, 0.94f, 0.06f),
        params(-0.5f, 40.f, 0.5f, 1.f, 0.f, -0.7f),     // shape and spread outside their ranges
        params(6.f, 40.f, 2.f, 30000.f, 0.5f, 1.3f),    // bias beyond 1, increment beyond 0.5
        params(0.5f, 300.f, 0.2f, 50000.f, 0.1f, 0.3f), // increment beyond 1
        params(3.5f, 300.f, 0.2f, -7.f, 0.1f, 0.3f),    // running backwards
    };
    BlockParams spread = params(0.f, 100.f, 0.1f, 3.f, 0.3f, 0.1f);
    const float weights[5] = {0.2f, 0.3f, 0.1f, 0.25f, 0.15f}; // not from the shape rule
    std::memcpy(spread.shapeWeights, weights, sizeof weights);
    sets.push_back(spread);
    BlockParams broken = params(0.f, NAN, 0.f, INFINITY, 0.5f, 0.f);
    sets.push_back(broken);
    return sets;
}

class Variants : public ::testing::TestWithParam<int> {
protected:
    const RenderVariant &variant() {
        int count = 0;
        return renderVariants(count)[GetParam()];
    }
    void SetUp() override {
        if (!variant().supported()) GTEST_SKIP() << variant().name << " not supported here";
    }
};

TEST_P(Variants, SteadyBlocksMatchTheLiteralLoop) {
    const auto sets = parameterSets();
    const int frames[] = {1, 7, 256, 300, 512};
    const int starts[] = {0, 65530, 12345};
    unsigned seed = 1;
    for (const BlockParams &p : sets)
        for (int n : frames)
            for (int w : starts) {
                const Scene s{p, p, false, n, w, 0.8125f};
                checkScene(variant(), s, 2, seed);
                checkScene(variant(), s, 1, seed++);
            }
}

TEST_P(Variants, CrossfadingBlocksMatchTheLiteralLoop) {
    const auto sets = parameterSets();
    unsigned seed = 100;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const BlockParams &from = sets[(i + 3) % sets.size()];
        for (int n : {1, 33, 512, 1000}) {
            checkScene(variant(), {sets[i], from, true, n, 65500, 0.999999f}, 2, seed);
            checkScene(variant(), {sets[i], from, true, n, 7, 0.f}, 1, seed++);
        }
    }
}

TEST_P(Variants, BlocksLongerThanTheDelayLineStayInside) {
    // Rendered as consecutive blocks; the literal loop agrees when the first
    // block is steady (its crossfade would write positions twice).
    const BlockParams p = params(0.f, 32767.5f, 0.f, 5.f, 0.5f, 0.5f);
    checkScene(variant(), {p, p, false, 70000, 60000, 0.25f}, 2, 7);
}

// The plug-in renders with subnormals flushed to zero: every variant then
// flushes the same results as the literal loop does, bit for bit, on signals
// that live around the smallest normal float.
TEST_P(Variants, WithSubnormalsFlushedEveryVariantMatchesTheLiteralLoop) {
    const FlushDenormals flush;
    const auto sets = parameterSets();
    unsigned seed = 500;
    for (std::size_t i = 0; i < sets.size(); ++i)
        for (float scale : {4e-38f, 1e-36f}) {
            checkScene(variant(), {sets[i], sets[i], false, 300, 65400, 0.3f}, 2, seed, scale);
            checkScene(variant(), {sets[i], sets[(i + 5) % sets.size()], true, 512, 100, 0.7f}, 2, seed++, scale);
        }
}

// Silent input into silent lines: the short cut leaves what the variant
// leaves, outputs, phases and write indices alike.
TEST_P(Variants, TheSilentShortCutMatchesRendering) {
    const auto sets = parameterSets();
    for (std::size_t i = 0; i + 1 < sets.size(); ++i) // the last set is not a number
        for (int n : {1, 300, 70000})
            for (bool changed : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "set " << i << ", " << n << " frames, changed " << changed);
                const std::vector<float> in(n, 0.f);
                std::vector<float> delay[2], outR[2], outS[2], scratch[2];
                KernelBlock r{&sets[i], &sets[(i + 2) % sets.size()], changed, 44100.f, 0.2f, 0.9f, n, 2, {}};
                KernelBlock q = r;
                for (int c = 0; c < 2; ++c) {
                    delay[c].assign(dsp::kDelayLength, 0.f);
                    outR[c].assign(n, 1.f);
                    outS[c].assign(n, 1.f);
                    scratch[c].assign(2 * n, 0.f);
                    r.channels[c] = {in.data(), outR[c].data(),    delay[c].data(),      65000, 0.3f,
                                     c,         scratch[c].data(), scratch[c].data() + n};
                    q.channels[c] = {in.data(), outS[c].data(), delay[c].data(), 65000, 0.3f, c, nullptr, nullptr};
                }
                variant().render(r);
                renderSilence(q);
                for (int c = 0; c < 2; ++c) {
                    EXPECT_TRUE(sameFloats(outS[c], outR[c], "output"));
                    EXPECT_TRUE(same(q.channels[c].phase, r.channels[c].phase)) << c;
                    EXPECT_EQ(q.channels[c].writeIndex, r.channels[c].writeIndex);
                    EXPECT_TRUE(std::all_of(delay[c].begin(), delay[c].end(), [](float x) { return x == 0.f; }));
                }
            }
}

INSTANTIATE_TEST_SUITE_P(AllBuiltIn, Variants,
                         ::testing::Range(0,
                                          [] {
                                              int count = 0;
                                              renderVariants(count);
                                              return count;
                                          }()),
                         [](const ::testing::TestParamInfo<int> &info) {
                             int count = 0;
                             std::string name = renderVariants(count)[info.param].name;
                             for (char &ch : name)
                                 if (ch == '.') ch = '_';
                             return name;
                         });

TEST(Dsp, ConstantsHaveTheirBitPatterns) {
    EXPECT_EQ(bitsOf(dsp::kSlowLfoDepthThreshold), 0x3A83126Fu);
    EXPECT_EQ(bitsOf(dsp::kSuperfineThreshold), 0x3A8333FDu);
    EXPECT_EQ(bitsOf(dsp::kFineThreshold), 0x3F0020C5u);
    EXPECT_EQ(bitsOf(dsp::kCoarseThreshold), 0x412028F6u);
    EXPECT_EQ(bitsOf(dsp::kMinimumSpeedDivisor), 0x38D1B717u);
    EXPECT_EQ(bitsOf(dsp::kSweepScale), 0x3B23D70Au);
    EXPECT_EQ(bitsOf(dsp::kMaximumSweep), 0x46FFFF00u);
    EXPECT_EQ(bitsOf(dsp::kFeedbackScale), 0x3C23D70Au);
    EXPECT_EQ(bitsOf(dsp::kSweepDisplayScale), 0x44FA0000u);
    EXPECT_EQ(bitsOf(dsp::kSineC1), 0xC0C90FDBu);
    EXPECT_EQ(bitsOf(dsp::kSineC3), 0x42255DE1u);
    EXPECT_EQ(bitsOf(dsp::kSineC5), 0x42A33458u);
    EXPECT_EQ(bitsOf(dsp::kSineC7), 0x42992663u);
    EXPECT_EQ(bitsOf(dsp::kSineC9), 0x421ED7BBu);
    // The thresholds the parameter texts use are the same floats.
    EXPECT_EQ(kSuperfineSpeedOff, dsp::kSuperfineThreshold);
    EXPECT_EQ(kFineSpeedOff, dsp::kFineThreshold);
    EXPECT_EQ(kCoarseSpeedOff, dsp::kCoarseThreshold);
}

TEST(Dsp, FastSineFollowsTheSineAndItsLiteralForm) {
    constexpr double kPi = 3.14159265358979323846; // M_PI is POSIX's, not C++'s
    double worst = 0;
    for (int i = 0; i < 100000; ++i) {
        const float x = static_cast<float>(i) / 100000.f;
        worst = std::max(worst, std::fabs(dsp::fastSine(x) - std::sin(2 * kPi * x)));
        ASSERT_TRUE(same(dsp::fastSine(x), literal::fastSine(x))) << x;
    }
    EXPECT_LT(worst, 1e-5);
    EXPECT_EQ(dsp::fastSine(0.f), 0.f);
}

TEST(Dsp, ShapeWeightsBlendNeighbours) {
    float w[5];
    dsp::shapeWeights(2.5f, w);
    EXPECT_EQ(w[0], 0.f);
    EXPECT_EQ(w[1], 0.f);
    EXPECT_EQ(w[2], 0.5f);
    EXPECT_EQ(w[3], 0.5f);
    EXPECT_EQ(w[4], 0.f);
    for (float g = 0.f; g <= 4.f; g += 0.03125f) {
        dsp::shapeWeights(g, w);
        EXPECT_EQ(w[0] + w[1] + w[2] + w[3] + w[4], 1.f) << g;
    }
    // Each curve is 1 at phase 0 and -1 at phase 0.5.
    for (int s = 0; s <= 4; ++s) {
        dsp::shapeWeights(static_cast<float>(s), w);
        EXPECT_NEAR(literal::shape(0.f, w), 1.f, 1e-6) << s;
        EXPECT_NEAR(literal::shape(0.5f, w), -1.f, 1e-6) << s;
    }
}

TEST(Dsp, SpeedsAtTheirThresholdsAreOff) {
    float v[kNumParameters] = {0, 1, 0.001001f, 0.5005f, 10.01f, 1, 0, 0, 0, 0, 0, 0.2f, 0, 0.5f, 0, 0};
    SlowLfoPhases phases;
    BlockParams p;
    BlockDisplay display;
    computeBlockParams(v, 512, 44100.f, phases, p, display);
    EXPECT_EQ(p.speed, 0.f);
    EXPECT_EQ(p.sweep, 32767.5f); // 1 / 0.0001 x 44100 x 0.0025, limited
    EXPECT_EQ(display.sweepMs, 32767.5f / 44100.f * 2000.f);
    v[kDepthFine] = 0.001f;
    computeBlockParams(v, 512, 44100.f, phases, p, display);
    EXPECT_EQ(p.sweep, 0.001f / 0.0001f * 44100.f * 0.0025f);
    EXPECT_FLOAT_EQ(p.sweep, 1102.5f);
    v[kSpeedSuperfine] = 0.0011f;
    v[kSpeedFine] = 0.51f;
    v[kSpeedCoarse] = 10.02f;
    computeBlockParams(v, 512, 44100.f, phases, p, display);
    EXPECT_EQ(p.speed, 10.02f + 0.51f + 0.0011f);
    v[kDepthCoarse] = 400.f;
    v[kSpeedFine] = v[kSpeedCoarse] = v[kSpeedSuperfine] = 0.f;
    computeBlockParams(v, 512, 44100.f, phases, p, display);
    EXPECT_EQ(p.sweep, 32767.5f);
}

// The scan of written samples (silence and non-finite checks): every variant
// against a plain loop, over lengths around the eight-lane step, unaligned
// starts, and samples of every kind.
SampleScan scanned(const float *samples, int n, SampleScan scan) {
    for (int i = 0; i < n; ++i) {
        const std::uint32_t b = bitsOf(samples[i]);
        scan.anyBits |= b;
        scan.largest = std::max(scan.largest, b & 0x7fffffffu);
    }
    return scan;
}

TEST(SampleScan, EveryVariantMatchesAPlainLoop) {
    int count = 0;
    const SampleScanVariant *variants = sampleScanVariants(count);
    ASSERT_GE(count, 1);
    EXPECT_STREQ(variants[0].name, "plain");
    EXPECT_TRUE(variants[0].supported());
    const float specials[] = {0.f,
                              -0.f,
                              1e-40f,
                              -1e-40f,
                              1e-7f,
                              -0.5f,
                              3e38f,
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(),
                              -std::numeric_limits<float>::quiet_NaN()};
    constexpr int kSpecials = sizeof specials / sizeof specials[0];
    std::mt19937 random(5);
    std::vector<float> samples(300);
    int ran = 0;
    for (int v = 0; v < count; ++v) {
        if (!variants[v].supported()) continue;
        ++ran;
        for (int trial = 0; trial < 2000; ++trial) {
            // Mostly +0 (silence), some small noise, now and then a special value.
            for (float &x : samples) {
                const unsigned r = random() % 16;
                x = r < 10   ? 0.f
                    : r < 15 ? std::ldexp(static_cast<float>(random() % 2001) - 1000.f, -30)
                             : specials[random() % kSpecials];
            }
            const int start = static_cast<int>(random() % 9);
            const int n = trial < 64 ? trial % 32 : static_cast<int>(random() % (samples.size() - start));
            SampleScan before;
            before.largest = random() % 2 ? 0 : bitsOf(1e-6f);
            before.anyBits = random() % 2 ? 0 : 0x80000000u;
            const SampleScan expected = scanned(samples.data() + start, n, before);
            SampleScan got = before;
            variants[v].scan(samples.data() + start, n, got);
            ASSERT_EQ(got.largest, expected.largest) << variants[v].name << " n " << n << " start " << start;
            ASSERT_EQ(got.anyBits, expected.anyBits) << variants[v].name << " n " << n << " start " << start;
        }
    }
    EXPECT_GE(ran, 1);
}

TEST(SampleScan, SilenceAndSoundThroughTheKernel) {
    std::vector<float> samples(37, 0.f);
    EXPECT_TRUE(CMurmeloKernel::allPositiveZero(samples.data(), 37));
    EXPECT_TRUE(CMurmeloKernel::allPositiveZero(samples.data(), 0));
    for (int at : {0, 7, 8, 31, 36}) {
        for (float x : {-0.f, 1e-45f, 1.f}) {
            samples[at] = x;
            EXPECT_FALSE(CMurmeloKernel::allPositiveZero(samples.data(), 37)) << at << " " << x;
            // Outside the scanned part it is not seen.
            EXPECT_TRUE(CMurmeloKernel::allPositiveZero(samples.data(), at)) << at << " " << x;
            samples[at] = 0.f;
        }
    }
}

} // namespace
