// The sound of the real plug-in, loaded through our host library: delays,
// LFO facts, crossfades, feedback, wrap-around, suspend/resume, and whole
// runs of every factory program against the literal transcription.
#include "tests/core/SoundRig.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <iomanip>
#include <random>
#include <sstream>

using namespace murmelo;
using sound::Rig;
using sound::Stereo;

namespace {

constexpr int kBlock = 512;

Stereo silence(int n) { return Stereo(n); }

Stereo impulseAt(int n, int at) {
    Stereo s(n);
    s.left[at] = s.right[at] = 1.f;
    return s;
}

// x[i] = start + i: the output of a pure delay d is then start + i - d, so
// the delay can be read straight off the output (linear interpolation of a
// ramp is the ramp).
Stereo ramp(int n, int start) {
    Stereo s(n);
    for (int i = 0; i < n; ++i)
        s.left[i] = s.right[i] = static_cast<float>(start + i);
    return s;
}

Stereo noise(int n, unsigned seed) {
    Stereo s(n);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.f, 1.f);
    for (int i = 0; i < n; ++i) {
        s.left[i] = d(rng);
        s.right[i] = d(rng);
    }
    return s;
}

// Delays seen on a ramp block starting at `start`.
std::vector<float> delays(const std::vector<float> &out, int start) {
    std::vector<float> d(out.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        d[i] = static_cast<float>(start + static_cast<int>(i)) - out[i];
    return d;
}

::testing::AssertionResult identical(const Stereo &a, const Stereo &b) {
    for (int i = 0; i < a.frames(); ++i)
        if (std::memcmp(&a.left[i], &b.left[i], 4) || std::memcmp(&a.right[i], &b.right[i], 4))
            return ::testing::AssertionFailure() << "frame " << i << ": " << a.left[i] << "/" << a.right[i] << " vs "
                                                 << b.left[i] << "/" << b.right[i];
    return ::testing::AssertionSuccess();
}

// Pure delay: no dry signal, full effect level, no feedback.
void pureDelay(Rig &rig) {
    rig.setNormalised(kDryLevel, 0.f);
    rig.setNormalised(kEffectLevel, 1.f);
}

TEST(Sound, DefaultProgramAt44100) {
    Rig rig;
    ASSERT_TRUE(rig);
    rig.process(silence(kBlock));
    EXPECT_EQ(rig.displayedSpeed(), 5.f);
    const float m = 1.f / 5.f * 44100.f * 0.0025f;
    EXPECT_FLOAT_EQ(m, 22.05f);
    EXPECT_FLOAT_EQ(rig.displayedSweepMs(), 1.0f);
}

TEST(Sound, BiasOneDelaysByTwoM) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kBias, 1.f);
    rig.process(silence(kBlock)); // the start-up crossfade
    const Stereo out = rig.process(impulseAt(kBlock, 100));
    // 2M = 44.1 samples: the impulse lands between 144 and 145.
    EXPECT_NEAR(out.left[144], 0.9f, 1e-3);
    EXPECT_NEAR(out.left[145], 0.1f, 1e-3);
    float elsewhere = 0.f;
    for (int i = 0; i < kBlock; ++i)
        if (i != 144 && i != 145) elsewhere += std::fabs(out.left[i]) + std::fabs(out.right[i]);
    EXPECT_EQ(elsewhere, 0.f);
    EXPECT_EQ(out.left[144], out.right[144]);
}

TEST(Sound, SpreadHalfPutsTheChannelsHalfACycleApart) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kSpread, 0.5f);
    const int n = 8 * 2048; // 5 Hz: one cycle is 8820 frames
    rig.process(ramp(2048, 0));
    const Stereo out = rig.process(ramp(n, 2048));
    const auto d0 = delays(out.left, 2048), d1 = delays(out.right, 2048);
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i + 4410 < n; ++i) {
        ASSERT_NEAR(d1[i], d0[i + 4410], 0.05f) << i;
        lo = std::min(lo, d0[i]);
        hi = std::max(hi, d0[i]);
    }
    EXPECT_NEAR(lo, 0.f, 0.05f);   // from 2R = 0
    EXPECT_NEAR(hi, 44.1f, 0.05f); // to 2M
}

TEST(Sound, SpeedsAtTheirMinimaStandTheLfoStill) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.process(ramp(3000, 0));              // the LFO runs for a while at 5 Hz
    rig.setNormalised(kSpeedSuperfine, 0.f); // 0.001 Hz, off
    rig.setNormalised(kSpeedFine, 0.f);      // 0.5 Hz, off
    rig.setNormalised(kSpeedCoarse, 0.f);    // 10 Hz, off
    rig.setNormalised(kDepthFine, 0.0001f);  // depth 0.001: M = 1102.5
    rig.process(ramp(kBlock, 3000));
    EXPECT_EQ(rig.displayedSpeed(), 0.f);
    EXPECT_FLOAT_EQ(rig.displayedSweepMs(), 1102.5f / 44100.f * 2000.f);
    const auto d = delays(rig.process(ramp(4 * kBlock, 3000 + kBlock)).left, 3000 + kBlock);
    for (float v : d)
        EXPECT_NEAR(v, d[0], 0.01f);
    EXPECT_GT(d[0], 1.f); // stands where it was, not at a phase of 0
    EXPECT_LT(d[0], 2205.f);
    rig.setNormalised(kSpeedSuperfine, 0.01f); // 0.00107 Hz: on
    rig.process(silence(kBlock));
    EXPECT_GT(rig.displayedSpeed(), 0.001001f);
}

TEST(Sound, ChangedBlockParametersCrossfadeButLevelsDoNot) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kBias, 1.f); // constant delay 2M
    for (int b = 0; b < 3; ++b)
        rig.process(ramp(kBlock, b * kBlock));
    rig.setNormalised(kDepthFine, 0.2f); // depth 2: 2M goes from 44.1 to 88.2
    auto d = delays(rig.process(ramp(kBlock, 3 * kBlock)).left, 3 * kBlock);
    for (int j = 0; j < kBlock; ++j)
        ASSERT_NEAR(d[j], 44.1f + 44.1f * j / kBlock, 0.02f) << j;
    d = delays(rig.process(ramp(kBlock, 4 * kBlock)).left, 4 * kBlock);
    for (float v : d)
        ASSERT_NEAR(v, 88.2f, 0.02f);
    rig.setNormalised(kDryLevel, 1.f); // the dry signal is in from the first frame
    const Stereo out = rig.process(ramp(kBlock, 5 * kBlock));
    for (int j = 0; j < kBlock; ++j) {
        const float x = static_cast<float>(5 * kBlock + j);
        ASSERT_NEAR(out.left[j] - x, x - 88.2f, 0.05f) << j;
    }
}

TEST(Sound, FeedbackMinus100Inverts) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kBias, 1.f);
    rig.setNormalised(kFeedback, 0.f); // -100 %
    rig.process(silence(kBlock));
    const Stereo out = rig.process(impulseAt(kBlock, 0));
    for (int echo = 1; echo <= 8; ++echo) {
        const int centre = static_cast<int>(std::lround(44.1 * echo));
        float sum = 0.f;
        for (int i = centre - echo - 2; i <= centre + echo + 2; ++i)
            sum += out.left[i];
        EXPECT_NEAR(sum, echo % 2 ? 1.f : -1.f, 1e-4) << "echo " << echo;
    }
}

TEST(Sound, TheLongestDelayWrapsAroundTheDelayLine) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kBias, 1.f);
    rig.setNormalised(kDepthFine, 1.f);   // 10
    rig.setNormalised(kDepthCoarse, 1.f); // 400
    rig.setNormalised(kSpeedFine, 0.f);   // every speed off: M is limited to 32767.5
    rig.process(silence(kBlock));
    EXPECT_FLOAT_EQ(rig.displayedSweepMs(), 32767.5f / 44100.f * 2000.f);
    Stereo in(70000), out(70000);
    in.left[1000] = in.right[1000] = 1.f;
    for (int done = 0; done < 70000; done += kBlock) {
        const int n = std::min(kBlock, 70000 - done);
        Stereo piece(n), result;
        std::copy(in.left.begin() + done, in.left.begin() + done + n, piece.left.begin());
        piece.right = piece.left;
        result = rig.process(piece);
        std::copy(result.left.begin(), result.left.end(), out.left.begin() + done);
    }
    const auto peak = std::max_element(out.left.begin(), out.left.end()) - out.left.begin();
    EXPECT_EQ(peak, 1000 + 65535); // 2M = 65535 samples, one short of the line
    EXPECT_NEAR(out.left[peak], 1.f, 1e-2);
}

TEST(Sound, SuspendAndResumeKeepTheDelayedSignal) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kBias, 1.f);
    rig.process(silence(kBlock));
    rig.process(impulseAt(kBlock, 500)); // its echo is due 44.1 frames later
    rig.plugin->suspend();
    rig.plugin->resume();
    const Stereo out = rig.process(silence(kBlock));
    EXPECT_NEAR(out.left[32], 0.9f, 1e-3);
    EXPECT_NEAR(out.left[33], 0.1f, 1e-3);
}

TEST(Sound, ANewSampleRateTakesEffectAtTheNextBlock) {
    Rig rig;
    ASSERT_TRUE(rig);
    pureDelay(rig);
    rig.setNormalised(kBias, 1.f);
    rig.process(silence(kBlock));
    rig.setSampleRate(48000.f);   // 2M = 2 x 1/5 x 48000 x 0.0025 = 48 samples
    rig.process(silence(kBlock)); // crossfades to the new delay
    const Stereo out = rig.process(impulseAt(kBlock, 10));
    EXPECT_NEAR(out.left[58], 1.f, 1e-3);
    EXPECT_FLOAT_EQ(rig.displayedSweepMs(), 1.f);
}

TEST(Sound, NonsenseValuesAndRatesNeitherCrashNorStick) {
    Rig rig;
    ASSERT_TRUE(rig);
    // Hosts may send normalised values outside 0..1 (the mapping does not
    // clamp), and a sample rate of 0: read positions and phases become
    // nonsense, yet every read stays inside the delay line.
    const float wild[][2] = {{kBias, 50.f},       {kShape, -3.f},    {kDepthCoarse, 1e6f},   {kSpread, -7.5f},
                             {kSpeedCoarse, 3.f}, {kFeedback, 10.f}, {kDepthLfoDepth, 1e3f}, {kSpeedLfoDepth, -4.f}};
    for (const auto &w : wild)
        rig.plugin->setParameter(static_cast<int>(w[0]), w[1]);
    for (int b = 0; b < 40; ++b)
        rig.process(noise(kBlock, b));
    rig.setSampleRate(0.f);
    for (int b = 0; b < 4; ++b)
        rig.process(noise(kBlock, b));
    // Back to sense: within two delay lines' worth of audio it sounds again.
    rig.setSampleRate(44100.f);
    rig.useProgram(8);
    for (int b = 0; b < 300; ++b)
        rig.process(noise(kBlock, b));
    const Stereo out = rig.process(noise(kBlock, 1000));
    for (int i = 0; i < kBlock; ++i)
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
    EXPECT_NE(out.left[100], 0.f);
    EXPECT_TRUE(std::isfinite(rig.displayedSweepMs()));
}

// Every factory program, with parameter, level, program and sample-rate
// changes and blocks longer than the scratch buffers, bit for bit.
TEST(Sound, EveryFactoryProgramMatchesTheLiteralTranscription) {
    const int sizes[] = {512, 512, 100, 1, 700, 512, 2000, 512};
    for (int program = 0; program < kNumPrograms; ++program) {
        Rig rig;
        ASSERT_TRUE(rig);
        rig.useProgram(program);
        unsigned seed = 1;
        for (int round = 0; round < 3; ++round) {
            for (int n : sizes) {
                const Stereo in = noise(n, seed++);
                ASSERT_TRUE(identical(rig.process(in), rig.model(in)))
                    << "program " << program << ", round " << round << ", block of " << n;
                EXPECT_EQ(rig.displayedSpeed(), rig.literalModel.displaySpeed);
                EXPECT_EQ(rig.displayedSweepMs(), rig.literalModel.displaySweepMs);
            }
            if (round == 0) {
                rig.setNormalised(kShape, 0.625f); // 2.5
                rig.setNormalised(kDryLevel, 0.5f);
            } else {
                rig.setSampleRate(48000.f);
                rig.useProgram((program + 5) % kNumPrograms);
            }
        }
    }
}

// The same input gives the same output bits on every system the plug-in is
// built for: each factory program's output, hashed, against the hashes of
// the Linux build (x86-64, GCC).  The Windows build (MinGW-w64, run under
// wine) must match them bit for bit.  The input comes from integer
// arithmetic alone, so no library's random numbers or conversions enter.
// When the sound is changed on purpose, the failure prints the new hashes.
std::uint64_t fnv1a(std::uint64_t hash, const void *bytes, std::size_t n) {
    const auto *p = static_cast<const unsigned char *>(bytes);
    for (std::size_t i = 0; i < n; ++i)
        hash = (hash ^ p[i]) * 0x100000001b3ull;
    return hash;
}

Stereo exactNoise(int n, std::uint32_t &state) {
    Stereo s(n);
    for (int i = 0; i < n; ++i)
        for (float *x : {&s.left[i], &s.right[i]}) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            *x = static_cast<float>(static_cast<std::int32_t>(state) >> 8) * 0x1p-23f; // exact in [-1, 1)
        }
    return s;
}

std::uint64_t programHash(int program) {
    Rig rig;
    if (!rig) return 0;
    rig.useProgram(program);
    std::uint32_t state = 0x9e3779b9u + static_cast<std::uint32_t>(program);
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (int round = 0; round < 2; ++round) {
        for (int n : {512, 100, 1, 700, 512, 2000}) {
            const Stereo out = rig.process(exactNoise(n, state));
            hash = fnv1a(hash, out.left.data(), out.left.size() * sizeof(float));
            hash = fnv1a(hash, out.right.data(), out.right.size() * sizeof(float));
            const float shown[2] = {rig.displayedSpeed(), rig.displayedSweepMs()};
            hash = fnv1a(hash, shown, sizeof shown);
        }
        rig.setSampleRate(48000.f);
        rig.setNormalised(kShape, 0.625f);
    }
    return hash;
}

TEST(Sound, EveryProgramSoundsTheSameOnEverySystem) {
    const std::uint64_t expected[kNumPrograms] = {
        0x11fdc916c0f3c3f9ull, // 0
        0x0755ec603cc41b53ull, // 1
        0xc3bde4d889bd013full, // 2
        0x72484f692bf2cf3aull, // 3
        0x271243c96e08fca0ull, // 4
        0x9edc555423fa3d84ull, // 5
        0x2e1d110203734ffdull, // 6
        0xcb8765960a0c5c16ull, // 7
        0xc716978a18b267eeull, // 8
        0x3fa15e42143e5aa3ull, // 9
        0xa31e229a01f50929ull, // 10
        0x538ba9caf523faa7ull, // 11
        0x810a3777400bff51ull, // 12
        0x7a2809d784f4a25aull, // 13
        0x3ff406e7d0ce7ea7ull, // 14
        0xc8c7bc9419a0ee9eull, // 15
        0xca94a8622b2acf86ull, // 16
        0xbd72f75c1dd818c2ull, // 17
    };
    std::ostringstream table;
    bool same = true;
    for (int program = 0; program < kNumPrograms; ++program) {
        const std::uint64_t hash = programHash(program);
        table << "        0x" << std::hex << std::setw(16) << std::setfill('0') << hash << "ull, // " << std::dec
              << program << "\n";
        EXPECT_EQ(hash, expected[program]) << "program " << program;
        same = same && hash == expected[program];
    }
    if (!same) std::printf("The hashes of this build:\n%s", table.str().c_str());
}

TEST(Sound, BlockSizeAndSampleRateTogetherResizeTheScratch) {
    Rig rig;
    ASSERT_TRUE(rig);
    rig.useProgram(8); // "Chorusy": its depth LFO changes every block
    rig.setBlockSizeAndSampleRate(300, 48000.f);
    for (int round = 0; round < 4; ++round) {
        const Stereo in = noise(1000, 50 + round); // four pieces: 300, 300, 300, 100
        ASSERT_TRUE(identical(rig.process(in), rig.model(in))) << round;
    }
    rig.setBlockSizeAndSampleRate(4096, 44100.f);
    const Stereo in = noise(4096, 99);
    EXPECT_TRUE(identical(rig.process(in), rig.model(in)));
}

} // namespace
