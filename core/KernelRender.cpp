// The rendering loop, written once over GCC vector types and compiled into
// one function per instruction set.  All the work is forced inline into those
// functions, so each is compiled for its own target and no code compiled for
// a newer instruction set can leak into the plain one.
//
// A block is rendered in chunks of kChunk frames, each in three passes:
//   1. main-LFO phases (scalar: each phase is rounded from the one before),
//   2. read positions and interpolation weights (vectors; only the shape
//      curves whose weights can be non-zero are evaluated),
//   3. the delay-line reads and writes and the output (scalar, both channels
//      interleaved: a read may see the sample written the same frame).
// Skipping curves with weight exactly 0 changes at most the sign of a zero u,
// which 1 - u and 1 + u do not see, so the delays are the same floats.
#include "core/KernelRender.h"

#include "core/MurmeloDsp.h"

#include <cmath>
#include <cstring>

namespace murmelo {

namespace {

using namespace dsp;

constexpr int kChunk = 256;

template <int W> struct Lanes;
template <> struct Lanes<4> {
    typedef float F __attribute__((vector_size(16)));
    typedef int I __attribute__((vector_size(16)));
    static constexpr int width = 4;
    static MURMELO_ALWAYS_INLINE I iota() { return I{0, 1, 2, 3}; }
};
template <> struct Lanes<8> {
    typedef float F __attribute__((vector_size(32)));
    typedef int I __attribute__((vector_size(32)));
    static constexpr int width = 8;
    static MURMELO_ALWAYS_INLINE I iota() { return I{0, 1, 2, 3, 4, 5, 6, 7}; }
};

template <class V> MURMELO_ALWAYS_INLINE V loadV(const void *p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V> MURMELO_ALWAYS_INLINE void storeV(void *p, V v) { std::memcpy(p, &v, sizeof v); }

template <class L> MURMELO_ALWAYS_INLINE typename L::I laneIndex(int base) { return L::iota() + base; }

// floor(x) exactly as the library computes it, for every float: truncation
// stepped down for negative non-integers, with x's sign kept so floor(-0)
// stays -0; magnitudes from 2^23 on (and NaN) are already integral.
template <class L> MURMELO_ALWAYS_INLINE typename L::F floorExact(typename L::F x) {
    using F = typename L::F;
    using I = typename L::I;
    const I absBits = (I)x & 0x7fffffff;
    const I small = (F)absBits < 0x1p23f;
    const F safe = small ? x : F{};
    F t = __builtin_convertvector(__builtin_convertvector(safe, I), F);
    t = t > safe ? t - 1.f : t;
    const F signedT = (F)(((I)t & 0x7fffffff) | ((I)x & ~0x7fffffff));
    return small ? signedT : x;
}

// frac(a + 0.25).  For a in [0, 1], t lies in [0.25, 1.25] and floor(t) is
// 0 or 1: t - 0 is t, t - 1 is the same subtraction.
template <class L, bool InRange> MURMELO_ALWAYS_INLINE typename L::F quarterOn(typename L::F a) {
    const typename L::F t = a + 0.25f;
    if constexpr (InRange)
        return t >= 1.f ? t - 1.f : t;
    else
        return t - floorExact<L>(t);
}

// u at phases a, for the weight pair starting at Pair (or all five, Pair -1).
template <class L, int Pair, bool InRange>
MURMELO_ALWAYS_INLINE typename L::F shapeAt(typename L::F a, const float *w) {
    using F = typename L::F;
    const F a2 = a * a;
    if constexpr (Pair == 0)
        return w[0] * shapeSine<F>(quarterOn<L, InRange>(a)) + w[1] * shapeSawUp<F>(a, a2);
    else if constexpr (Pair == 1)
        return w[1] * shapeSawUp<F>(a, a2) + w[2] * shapeSawDown<F>(a, a2);
    else if constexpr (Pair == 2)
        return w[2] * shapeSawDown<F>(a, a2) + w[3] * shapeTri<F>(a, a2);
    else if constexpr (Pair == 3)
        return w[3] * shapeTri<F>(a, a2) + w[4] * shapeSquare<F>(a);
    else
        return w[0] * shapeSine<F>(quarterOn<L, InRange>(a)) + w[1] * shapeSawUp<F>(a, a2) +
               w[2] * shapeSawDown<F>(a, a2) + w[3] * shapeTri<F>(a, a2) + w[4] * shapeSquare<F>(a);
}

// The first of two neighbouring weights that hold every non-zero weight, or
// -1 when the weights are spread wider (only sets not made by the block stage).
int weightPair(const float *w) {
    int first = -1, last = -1;
    for (int i = 0; i < 5; ++i)
        if (w[i] != 0.f) {
            if (first < 0) first = i;
            last = i;
        }
    if (first < 0) return 3;
    if (last - first > 1) return -1;
    return first < 3 ? first : 3;
}

// Per-chunk working arrays of one channel.
struct alignas(32) ChunkLanes {
    float phase[kChunk];
    int k[kChunk];
    float f[kChunk];
};

template <class I> MURMELO_ALWAYS_INLINE bool anyLane(I mask) {
    int any = 0;
    for (unsigned i = 0; i < sizeof(I) / sizeof(int); ++i)
        any |= mask[i];
    return any != 0;
}

// What pass 2 learns about a chunk.
struct ChunkFlags {
    bool outOfRange = false;    // a position needed the full modulo
    bool readsOwnWrite = false; // a frame reads the position it writes
};

// Pass 2: read positions for `count` frames (a multiple of the width).
// The position is w - d modulo 65536.  For w - d in [-65536, 65536) that is
// one conditional addition of 65536 (adding 0 otherwise turns -0 into +0, as
// subtracting 0 x 65536 does); Full selects t - floor(t / 65536) x 65536,
// needed only when a delay lies outside the delay line.  InRange: every phase
// lies in [0, 1], so frac(a + 0.25) is a conditional subtraction.
template <class L, int Pair, bool Full, bool InRange>
MURMELO_ALWAYS_INLINE ChunkFlags positions(ChunkLanes &c, int count, int w, const BlockParams &set) {
    using F = typename L::F;
    using I = typename L::I;
    const float m = set.sweep, r = set.biasOffset;
    I bad{}, own{};
    for (int i = 0; i < count; i += L::width) {
        const F u = shapeAt<L, Pair, InRange>(loadV<F>(c.phase + i), set.shapeWeights);
        const F d = m * (1.f - u) + r * (1.f + u);
        const I wv = laneIndex<L>(w + i) & kDelayMask;
        const F p = __builtin_convertvector(wv, F) - d;
        F q;
        if constexpr (Full)
            q = p - floorExact<L>(p * kInverseDelayLength) * kDelayLengthF;
        else
            q = p < 0.f ? p + kDelayLengthF : p + 0.f;
        const I inside = (q >= 0.f) & (q < kDelayLengthF);
        bad |= ~inside;
        q = inside ? q : F{};
        const I k = __builtin_convertvector(q, I);
        own |= ((wv - k) & kDelayMask) <= 1;
        storeV(c.k + i, k);
        storeV(c.f + i, q - __builtin_convertvector(k, F));
    }
    return {anyLane(bad), anyLane(own)};
}

template <class L, int Pair, bool InRange>
MURMELO_ALWAYS_INLINE ChunkFlags positionsChecked(ChunkLanes &c, int count, int w, const BlockParams &set) {
    ChunkFlags flags = positions<L, Pair, false, InRange>(c, count, w, set);
    if (__builtin_expect(flags.outOfRange, 0)) flags = positions<L, Pair, true, InRange>(c, count, w, set);
    return flags;
}

template <class L, bool InRange>
MURMELO_ALWAYS_INLINE ChunkFlags positionsFor(ChunkLanes &c, int count, int w, const BlockParams &set, int pair) {
    switch (pair) {
    case 0:
        return positionsChecked<L, 0, InRange>(c, count, w, set);
    case 1:
        return positionsChecked<L, 1, InRange>(c, count, w, set);
    case 2:
        return positionsChecked<L, 2, InRange>(c, count, w, set);
    case 3:
        return positionsChecked<L, 3, InRange>(c, count, w, set);
    default:
        return positionsChecked<L, -1, InRange>(c, count, w, set);
    }
}

// One channel's running state through a pass.
struct PassChannel {
    const float *input;
    float *output;
    float *delay;
    int w;
    float phase;
};

// Pass 1: the phases used by each frame, for all channels at once (their
// serial chains overlap).  With the increment in [0, 1) and the phases in
// [0, 1], frac is a conditional subtraction (t - floor(t) for t in [0, 2))
// whose branch is almost never taken, so each chain is one addition per
// frame.  Returns whether that held, i.e. every phase lies in [0, 1].
template <int C> MURMELO_ALWAYS_INLINE bool phaseRun(PassChannel *ch, ChunkLanes *lanes, float inc, int n) {
    bool fast = inc >= 0.f && inc < 1.f;
    for (int c = 0; c < C; ++c)
        fast = fast && ch[c].phase >= 0.f && ch[c].phase <= 1.f;
    if (fast) {
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < C; ++c) {
                lanes[c].phase[i] = ch[c].phase;
                const float t = ch[c].phase + inc;
                ch[c].phase = __builtin_expect(t >= 1.f, 0) ? t - 1.f : t;
            }
        return true;
    }
    for (int c = 0; c < C; ++c)
        for (int i = 0; i < n; ++i) {
            lanes[c].phase[i] = ch[c].phase;
            const float t = ch[c].phase + inc;
            ch[c].phase = t - std::floor(t);
        }
    return false;
}

// Pass 3: reads and writes of the delay lines and the output, frame by frame.  WriteFirst:
// some frame reads the position it writes, so the input must be there first
// (otherwise the final write alone leaves the same delay line).
template <int C, bool WriteFirst>
MURMELO_ALWAYS_INLINE void delayLoop(PassChannel *ch, ChunkLanes *lanes, int n, float feedback, float wet, float dry) {
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < C; ++c) {
            float *delay = ch[c].delay;
            const int w = ch[c].w;
            const float x = ch[c].input[i];
            if (WriteFirst) delay[w] = x;
            const int k = lanes[c].k[i];
            const float f = lanes[c].f[i];
            const float y = delay[k] * (1.f - f) + delay[(k + 1) & kDelayMask] * f;
            delay[w] = x + feedback * y;
            ch[c].output[i] = wet * y + dry * x;
            ch[c].w = (w + 1) & kDelayMask;
        }
    }
}

// R over n frames for C channels; leaves the end phases and write indices in ch.
template <class L, int C>
MURMELO_ALWAYS_INLINE void renderPass(PassChannel *ch, int n, const BlockParams &set, float sampleRate, float dry,
                                      float wet) {
    ChunkLanes lanes[C];
    const float inc = set.speed / sampleRate;
    const int pair = weightPair(set.shapeWeights);
    for (int done = 0; done < n; done += kChunk) {
        const int len = n - done < kChunk ? n - done : kChunk;
        const int padded = (len + L::width - 1) / L::width * L::width;
        const bool inRange = phaseRun<C>(ch, lanes, inc, len);
        bool readsOwnWrite = false;
        for (int c = 0; c < C; ++c) {
            for (int i = len; i < padded; ++i)
                lanes[c].phase[i] = 0.f;
            const ChunkFlags flags = inRange ? positionsFor<L, true>(lanes[c], padded, ch[c].w, set, pair)
                                             : positionsFor<L, false>(lanes[c], padded, ch[c].w, set, pair);
            readsOwnWrite = readsOwnWrite || flags.readsOwnWrite;
        }
        if (readsOwnWrite)
            delayLoop<C, true>(ch, lanes, len, set.feedback, wet, dry);
        else
            delayLoop<C, false>(ch, lanes, len, set.feedback, wet, dry);
        for (int c = 0; c < C; ++c) {
            ch[c].input += len;
            ch[c].output += len;
        }
    }
}

// Calls fn(delayStart, j, length) for the one or two contiguous pieces of the
// delay line that frames w0 .. w0 + n - 1 write.
template <class Fn> MURMELO_ALWAYS_INLINE void forDelaySpan(int w0, int n, Fn fn) {
    const int first = n < kDelayLength - w0 ? n : kDelayLength - w0;
    fn(w0, 0, first);
    if (first < n) fn(0, first, n - first);
}

template <class L> MURMELO_ALWAYS_INLINE void swapSpan(float *a, float *b, int n) {
    using F = typename L::F;
    int i = 0;
    for (; i + L::width <= n; i += L::width) {
        const F va = loadV<F>(a + i);
        storeV(a + i, loadV<F>(b + i));
        storeV(b + i, va);
    }
    for (; i < n; ++i) {
        const float t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

// target[i] = old[i] (1 - e) + target[i] e with e = (j0 + i) / n.
template <class L> MURMELO_ALWAYS_INLINE void fadeSpan(const float *old, float *target, int j0, int len, int n) {
    using F = typename L::F;
    const float nf = static_cast<float>(n);
    int i = 0;
    for (; i + L::width <= len; i += L::width) {
        const F e = __builtin_convertvector(laneIndex<L>(j0 + i), F) / nf;
        storeV(target + i, loadV<F>(old + i) * (1.f - e) + loadV<F>(target + i) * e);
    }
    for (; i < len; ++i) {
        const float e = static_cast<float>(j0 + i) / nf;
        target[i] = old[i] * (1.f - e) + target[i] * e;
    }
}

float startPhase(const ChannelBlock &cb, float spread) {
    const float t = static_cast<float>(cb.channel) * spread + cb.phase;
    return t - std::floor(t);
}

template <class L, int C>
MURMELO_ALWAYS_INLINE void runPass(KernelBlock &b, const BlockParams &set, bool intoScratch, PassChannel *ch) {
    for (int c = 0; c < C; ++c) {
        const ChannelBlock &cb = b.channels[c];
        ch[c] = {cb.input, intoScratch ? cb.oldOutput : cb.output, cb.delay, cb.writeIndex, startPhase(cb, set.spread)};
    }
    renderPass<L, C>(ch, b.frames, set, b.sampleRate, b.dry, b.wet);
}

// The old setting's pass: its output goes to oldOutput, its delay writes end
// up in oldDelayWrites and the delay line is as it was before the block.
template <class L, int C> MURMELO_ALWAYS_INLINE void oldPass(KernelBlock &b) {
    for (int c = 0; c < C; ++c) {
        ChannelBlock &cb = b.channels[c];
        forDelaySpan(cb.writeIndex, b.frames, [&](int start, int j, int len) {
            std::memcpy(cb.oldDelayWrites + j, cb.delay + start, sizeof(float) * len);
        });
    }
    PassChannel ch[C];
    runPass<L, C>(b, *b.previous, true, ch);
    for (int c = 0; c < C; ++c) {
        ChannelBlock &cb = b.channels[c];
        forDelaySpan(cb.writeIndex, b.frames,
                     [&](int start, int j, int len) { swapSpan<L>(cb.delay + start, cb.oldDelayWrites + j, len); });
    }
}

template <class L, int C> MURMELO_ALWAYS_INLINE void crossfade(KernelBlock &b) {
    for (int c = 0; c < C; ++c) {
        ChannelBlock &cb = b.channels[c];
        fadeSpan<L>(cb.oldOutput, cb.output, 0, b.frames, b.frames);
        forDelaySpan(cb.writeIndex, b.frames, [&](int start, int j, int len) {
            fadeSpan<L>(cb.oldDelayWrites + j, cb.delay + start, j, len, b.frames);
        });
    }
}

template <class L, int C> MURMELO_ALWAYS_INLINE void renderChannels(KernelBlock &b) {
    if (b.frames <= 0) return;
    if (b.changed) oldPass<L, C>(b);
    PassChannel ch[C];
    runPass<L, C>(b, *b.current, false, ch);
    if (b.changed) crossfade<L, C>(b);
    for (int c = 0; c < C; ++c) {
        // A phase that is not a number would never recover; start it over.
        b.channels[c].phase = ch[c].phase >= 0.f && ch[c].phase <= 1.f ? ch[c].phase : 0.f;
        b.channels[c].writeIndex = ch[c].w;
    }
}

template <class L> MURMELO_ALWAYS_INLINE void renderBlock(KernelBlock &b) {
    if (b.channelCount == 2)
        renderChannels<L, 2>(b);
    else
        renderChannels<L, 1>(b);
}

// A block longer than the delay line would write some positions twice, which
// the crossfade cannot undo; such blocks are rendered as consecutive blocks,
// the first one crossfading.
template <class L> MURMELO_ALWAYS_INLINE void renderBlocks(KernelBlock &b) {
    const int total = b.frames;
    for (int done = 0; done < total; done += kDelayLength) {
        b.frames = total - done < kDelayLength ? total - done : kDelayLength;
        renderBlock<L>(b);
        b.changed = false;
        for (int c = 0; c < b.channelCount; ++c) {
            b.channels[c].input += b.frames;
            b.channels[c].output += b.frames;
            b.channels[c].channel = 0; // the phase already carries the channel's offset
        }
    }
}

// A block of +0 input into delay lines of +0: every read, write and output is
// +0, so only the phases and write indices move.  They move through the same
// code as in renderChannels, so they come out as the same floats.
template <int C> void silentChannels(KernelBlock &b) {
    if (b.frames <= 0) return;
    PassChannel ch[C];
    ChunkLanes lanes[C];
    for (int c = 0; c < C; ++c) {
        const ChannelBlock &cb = b.channels[c];
        ch[c] = {cb.input, cb.output, cb.delay, cb.writeIndex, startPhase(cb, b.current->spread)};
    }
    const float inc = b.current->speed / b.sampleRate;
    for (int done = 0; done < b.frames; done += kChunk)
        phaseRun<C>(ch, lanes, inc, b.frames - done < kChunk ? b.frames - done : kChunk);
    for (int c = 0; c < C; ++c) {
        ChannelBlock &cb = b.channels[c];
        std::memset(cb.output, 0, sizeof(float) * b.frames);
        cb.phase = ch[c].phase >= 0.f && ch[c].phase <= 1.f ? ch[c].phase : 0.f;
        cb.writeIndex = (cb.writeIndex + b.frames) & kDelayMask;
    }
}

void renderPlain(KernelBlock &b) { renderBlocks<Lanes<4>>(b); }
bool always() { return true; }

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("sse4.1"))) void renderSse41(KernelBlock &b) { renderBlocks<Lanes<4>>(b); }
__attribute__((target("avx2"))) void renderAvx2(KernelBlock &b) { renderBlocks<Lanes<8>>(b); }
bool hasSse41() { return __builtin_cpu_supports("sse4.1"); }
bool hasAvx2() { return __builtin_cpu_supports("avx2"); }

const RenderVariant kVariants[] = {
    {"plain", renderPlain, always},
    {"sse4.1", renderSse41, hasSse41},
    {"avx2", renderAvx2, hasAvx2},
};
#else
const RenderVariant kVariants[] = {{"plain", renderPlain, always}};
#endif

} // namespace

const RenderVariant *renderVariants(int &count) {
    count = static_cast<int>(sizeof(kVariants) / sizeof(kVariants[0]));
    return kVariants;
}

void renderSilence(KernelBlock &b) {
    const int total = b.frames;
    for (int done = 0; done < total; done += kDelayLength) {
        b.frames = total - done < kDelayLength ? total - done : kDelayLength;
        if (b.channelCount == 2)
            silentChannels<2>(b);
        else
            silentChannels<1>(b);
        for (int c = 0; c < b.channelCount; ++c) {
            b.channels[c].input += b.frames;
            b.channels[c].output += b.frames;
            b.channels[c].channel = 0;
        }
    }
}

RenderFunction bestRenderFunction() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
#endif
    RenderFunction best = renderPlain;
    for (const RenderVariant &v : kVariants)
        if (v.supported()) best = v.render;
    return best;
}

} // namespace murmelo
