// What the real plug-in does with input no host should hand it and with the
// silence after the music: samples that are not finite are forgotten after
// the block that brought them, a feedback tail ends in exact zeros without
// crawling through subnormal floats, and the host's floating-point control
// word comes back exactly as it was handed over.
#include "tests/core/SoundRig.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <set>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

using namespace murmelo;
using sound::Rig;
using sound::Stereo;

namespace {

constexpr int kBlock = 512;
constexpr float kRate = 44100.f;

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

template <class Test> bool everySample(const Stereo &s, Test test) {
    for (int i = 0; i < s.frames(); ++i)
        if (!test(s.left[i]) || !test(s.right[i])) return false;
    return true;
}

bool finiteSample(float x) { return std::isfinite(x); }
bool exactZero(float x) { return x == 0.f; }
bool notSubnormal(float x) { return std::fpclassify(x) != FP_SUBNORMAL; }

::testing::AssertionResult identical(const Stereo &a, const Stereo &b) {
    for (int i = 0; i < a.frames(); ++i)
        if (std::memcmp(&a.left[i], &b.left[i], 4) || std::memcmp(&a.right[i], &b.right[i], 4))
            return ::testing::AssertionFailure() << "frame " << i << ": " << a.left[i] << "/" << a.right[i] << " vs "
                                                 << b.left[i] << "/" << b.right[i];
    return ::testing::AssertionSuccess();
}

// Plays n blocks of noise through the plug-in and the literal model, which
// must agree bit for bit; returns the last output.
Stereo playNoise(Rig &rig, int blocks, unsigned &seed) {
    Stereo out;
    for (int b = 0; b < blocks; ++b) {
        const Stereo in = noise(kBlock, seed++);
        out = rig.process(in);
        EXPECT_TRUE(identical(out, rig.model(in))) << "block " << b;
    }
    return out;
}

} // namespace

// One broken block (a NaN, an infinity, a whole channel of garbage) comes out
// silent; from the next block on the effect sounds again, exactly as the
// model does from empty delay lines.
TEST(Recovery, SamplesThatAreNotFiniteAreForgottenAfterOneBlock) {
    const float broken[] = {NAN, INFINITY, -INFINITY};
    for (int program : {0, 9, 10, 13, 16}) {
        for (float value : broken) {
            SCOPED_TRACE(::testing::Message() << "program " << program << ", value " << value);
            Rig rig;
            ASSERT_TRUE(rig);
            rig.useProgram(program);
            unsigned seed = 1;
            playNoise(rig, 20, seed);

            Stereo faulty = noise(kBlock, seed++);
            faulty.left[100] = value;
            if (std::isinf(value)) std::fill(faulty.right.begin() + 300, faulty.right.end(), value);
            EXPECT_TRUE(everySample(rig.process(faulty), exactZero)) << "the broken block is silent";
            rig.model(faulty);
            for (literal::Kernel &k : rig.literalModel.kernels)
                std::fill(k.delay.begin(), k.delay.end(), 0.f);

            const Stereo out = playNoise(rig, 20, seed);
            EXPECT_TRUE(everySample(out, finiteSample));
            EXPECT_FALSE(everySample(out, exactZero)) << "the effect sounds again";
        }
    }
}

// A block longer than the scratch is processed in pieces: only the piece
// with the broken sample is silenced, the pieces after it sound.
TEST(Recovery, OnlyThePieceWithTheBrokenSampleIsSilenced) {
    Rig rig;
    ASSERT_TRUE(rig);
    rig.useProgram(9); // "Flangey"
    unsigned seed = 5;
    playNoise(rig, 10, seed);
    Stereo faulty = noise(4 * kBlock, seed++);
    faulty.right[kBlock + 7] = NAN;
    const Stereo out = rig.process(faulty);
    EXPECT_TRUE(everySample(out, finiteSample));
    for (int i = 0; i < 4 * kBlock; ++i) {
        const bool inBrokenPiece = i >= kBlock && i < 2 * kBlock;
        if (inBrokenPiece) {
            ASSERT_TRUE(out.left[i] == 0.f && out.right[i] == 0.f) << i;
        } else if (i % 64 == 3) {
            ASSERT_NE(out.left[i], 0.f) << i;
        }
    }
}

// Noise, then silence: every factory program's tail reaches exact zeros and
// stays there, and no output sample on the way is a subnormal float (the
// feedback loop of "Tight Flange" used to hold one for ever).  A line is
// cleared once a whole line's length of it has stayed below -120 dB; the
// echo programs, whose repeats fall by only 1.5 to 3 dB each, take longer
// to get there than the flangers and choruses.
TEST(Recovery, SilenceAfterNoiseEndsInExactZerosForEveryProgram) {
    const int noiseBlocks = static_cast<int>(0.5f * kRate) / kBlock;
    const int stayBlocks = static_cast<int>(2.f * kRate) / kBlock;
    const std::set<int> echoes = {10, 11, 14, 15}; // "Simple Delay", "Wobbly Delay", ...
    const Stereo quiet(kBlock);
    for (int program = 0; program < kNumPrograms; ++program) {
        SCOPED_TRACE(::testing::Message() << "program " << program);
        const float limitSeconds = echoes.count(program) ? 15.f : 3.f;
        const int limitBlocks = static_cast<int>(limitSeconds * kRate) / kBlock;
        Rig rig;
        ASSERT_TRUE(rig);
        rig.useProgram(program);
        for (int b = 0; b < noiseBlocks; ++b)
            rig.process(noise(kBlock, 100 + b));
        int silentFrom = -1;
        for (int b = 0; b < limitBlocks + stayBlocks; ++b) {
            const Stereo out = rig.process(quiet);
            ASSERT_TRUE(everySample(out, notSubnormal)) << "block " << b << " of silence";
            const bool zeros = everySample(out, exactZero);
            if (zeros && silentFrom < 0) silentFrom = b;
            if (silentFrom >= 0) {
                ASSERT_TRUE(zeros) << "sound after " << silentFrom << " silent blocks";
            }
            if (silentFrom >= 0 && b - silentFrom >= stayBlocks) break;
        }
        ASSERT_GE(silentFrom, 0) << "still sounding after " << limitSeconds << " s of silence";
        EXPECT_LE(silentFrom, limitBlocks);
        std::printf("program %2d: exact zeros after %.2f s of silence\n", program, silentFrom * kBlock / kRate);
    }
}

// Silence into silent delay lines takes a short cut; the LFOs must move
// through it exactly as through rendering, or the music after a silent
// stretch would no longer match the model.
TEST(Recovery, SilentStretchesKeepTheLfosInStep) {
    for (int program : {8, 12, 14}) { // slow LFOs on: blocks crossfade
        SCOPED_TRACE(::testing::Message() << "program " << program);
        Rig rig;
        ASSERT_TRUE(rig);
        rig.useProgram(program);
        for (int n : {512, 100, 1, 512, 2000, 512, 3}) {
            const Stereo quiet(n);
            const Stereo out = rig.process(quiet);
            EXPECT_TRUE(identical(out, rig.model(quiet)));
            EXPECT_TRUE(everySample(out, exactZero));
        }
        unsigned seed = 40;
        playNoise(rig, 10, seed);
        // Half a minute of silence: the tail dies, the lines are cleared,
        // and the short cut runs again; then music once more.
        for (int b = 0; b < 2600; ++b)
            rig.process(Stereo(kBlock));
        for (literal::Kernel &k : rig.literalModel.kernels)
            std::fill(k.delay.begin(), k.delay.end(), 0.f);
        for (int b = 0; b < 2600; ++b)
            rig.model(Stereo(kBlock));
        playNoise(rig, 10, seed);
    }
}

#if defined(__SSE__) || defined(__x86_64__)
// processReplacing flushes subnormals while it runs and hands the host's
// thread back its control word as it was: rounding mode, exception masks,
// the host's own flush bits and the sticky status flags alike.
TEST(Recovery, TheHostsFloatingPointControlWordIsLeftAsFound) {
    Rig rig;
    ASSERT_TRUE(rig);
    rig.useProgram(16);
    const unsigned saved = _mm_getcsr();
    const unsigned base = 0x1f80; // all exceptions masked, round to nearest, no flushing
    const unsigned words[] = {base, base | 0x8040, base | 0x8000, base | 0x0040, base | 0x6000, base | 0x003f};
    unsigned seed = 9;
    for (unsigned word : words) {
        for (int frames : {kBlock, 3 * kBlock + 5, 0}) {
            const Stereo in = noise(frames, seed++);
            float *i[2] = {const_cast<float *>(in.left.data()), const_cast<float *>(in.right.data())};
            Stereo out(frames);
            float *o[2] = {out.left.data(), out.right.data()};
            vst2::AEffect *e = rig.plugin->effect();
            _mm_setcsr(word);
            e->processReplacing(e, i, o, frames);
            const unsigned after = _mm_getcsr();
            _mm_setcsr(saved);
            EXPECT_EQ(after, word) << std::hex << "control word 0x" << word << std::dec << ", " << frames << " frames";
        }
    }
}
#endif
