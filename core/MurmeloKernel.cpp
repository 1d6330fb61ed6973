#include "core/MurmeloKernel.h"

#include "core/MurmeloDsp.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace murmelo {

namespace {

// Magnitudes compared as float bits without the sign: for finite floats the
// order of the bits is the order of the values.
constexpr std::uint32_t kNonFiniteBits = 0x7f800000; // infinity; NaNs lie above
// 2^-20, about -120 dB below full scale: below any converter's noise.
constexpr std::uint32_t kSilenceLevelBits = 0x35800000;

// Two registers of W lanes at a time, then the rest one by one.  Magnitude
// bits fit a signed int, so plain SSE2 compares them too.  Two running
// maxima, so each comparison need not wait for the one before.  Inlined into
// each variant and compiled for its instruction set.
template <int W> struct ScanLanes;
template <> struct ScanLanes<4> { typedef std::int32_t I __attribute__((vector_size(16))); };
template <> struct ScanLanes<8> { typedef std::int32_t I __attribute__((vector_size(32))); };

template <class Lanes> MURMELO_ALWAYS_INLINE void scanLanes(const float *samples, Lanes &largest, Lanes &any) {
    Lanes bits;
    std::memcpy(&bits, samples, sizeof bits);
    any |= bits;
    bits &= 0x7fffffff;
    largest = bits > largest ? bits : largest;
}

template <int W> MURMELO_ALWAYS_INLINE void scanSamples(const float *samples, int n, SampleScan &scan) {
    typedef typename ScanLanes<W>::I Lanes;
    Lanes largest{}, any{}, largest2{}, any2{};
    int i = 0;
    for (; i + 2 * W <= n; i += 2 * W) {
        scanLanes(samples + i, largest, any);
        scanLanes(samples + i + W, largest2, any2);
    }
    largest = largest2 > largest ? largest2 : largest;
    any |= any2;
    std::uint32_t top = scan.largest, anyBits = scan.anyBits;
    for (int lane = 0; lane < W; ++lane) {
        top = std::max(top, static_cast<std::uint32_t>(largest[lane]));
        anyBits |= static_cast<std::uint32_t>(any[lane]);
    }
    for (; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, samples + i, sizeof bits);
        anyBits |= bits;
        top = std::max(top, bits & 0x7fffffffu);
    }
    scan = {top, anyBits};
}

void scanPlain(const float *samples, int n, SampleScan &scan) { scanSamples<4>(samples, n, scan); }
bool always() { return true; }

// An explicit choice rather than target_clones: those need ELF indirect
// functions, which Windows DLLs do not have.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void scanAvx2(const float *samples, int n, SampleScan &scan) {
    scanSamples<8>(samples, n, scan);
}
bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

const SampleScanVariant kScanVariants[] = {{"plain", scanPlain, always}, {"avx2", scanAvx2, hasAvx2}};
#else
const SampleScanVariant kScanVariants[] = {{"plain", scanPlain, always}};
#endif

void chooseAndScan(const float *samples, int n, SampleScan &scan);

// The variant in use.  It starts as chooseAndScan, a constant, so no order
// of static initialisation can find it unset; the first scan replaces it
// with the last variant this processor supports.  A relaxed atomic: no lock
// on the audio thread, and two threads choosing at once store the same
// pointer.
std::atomic<SampleScanFunction> chosenScan{chooseAndScan};
static_assert(std::atomic<SampleScanFunction>::is_always_lock_free, "the audio path never locks");

void chooseAndScan(const float *samples, int n, SampleScan &scan) {
    SampleScanFunction best = scanPlain;
    for (const SampleScanVariant &v : kScanVariants)
        if (v.supported()) best = v.scan;
    chosenScan.store(best, std::memory_order_relaxed);
    best(samples, n, scan);
}

void lookAt(const float *samples, int n, SampleScan &scan) {
    chosenScan.load(std::memory_order_relaxed)(samples, n, scan);
}

} // namespace

const SampleScanVariant *sampleScanVariants(int &count) {
    count = static_cast<int>(sizeof kScanVariants / sizeof kScanVariants[0]);
    return kScanVariants;
}

CMurmeloKernel::CMurmeloKernel(QrvAuBase *owner, int channel, const KernelShared *shared)
    : AUKernelBase(owner), effect(owner), channelIndex(channel), delay(new float[dsp::kDelayLength]()),
      delayBytes(static_cast<int>(dsp::kDelayLength * sizeof(float))), shared(shared) {}

void CMurmeloKernel::reset() {
    std::fill(delay.get(), delay.get() + dsp::kDelayLength, 0.f);
    writePosition = 0;
    lfoPhase = 0.f;
    quietFrames = 0;
    silentLine = true;
}

bool CMurmeloKernel::reviewWrites(int start, int frames) {
    const int first = std::min(frames, dsp::kDelayLength - start);
    SampleScan span;
    lookAt(delay.get() + start, first, span);
    lookAt(delay.get(), frames - first, span);
    if (span.largest >= kNonFiniteBits) return false;
    silentLine = silentLine && span.anyBits == 0;
    quietFrames = span.largest < kSilenceLevelBits ? std::min(quietFrames + frames, dsp::kDelayLength) : 0;
    if (quietFrames >= dsp::kDelayLength) clearDelayLine();
    return true;
}

bool CMurmeloKernel::allPositiveZero(const float *samples, int n) {
    SampleScan span;
    lookAt(samples, n, span);
    return span.anyBits == 0;
}

void CMurmeloKernel::clearDelayLine() {
    std::fill(delay.get(), delay.get() + dsp::kDelayLength, 0.f);
    quietFrames = 0;
    silentLine = true;
}

void CMurmeloKernel::fill(ChannelBlock &cb, const float *input, float *output, int slot, bool first) const {
    cb.input = input;
    cb.output = output;
    cb.delay = delay.get();
    cb.writeIndex = writePosition;
    cb.phase = lfoPhase;
    cb.channel = first ? channelIndex : 0; // later pieces continue the offset phase
    const int offset = slot * shared->scratchFrames;
    cb.oldOutput = shared->oldOutput ? shared->oldOutput + offset : nullptr;
    cb.oldDelayWrites = shared->oldDelayWrites ? shared->oldDelayWrites + offset : nullptr;
}

void CMurmeloKernel::take(const ChannelBlock &cb) {
    writePosition = cb.writeIndex;
    lfoPhase = cb.phase;
}

int CMurmeloKernel::pieceLength(const KernelShared &s, int frames) {
    return s.scratchFrames > 0 && frames > s.scratchFrames ? s.scratchFrames : frames;
}

void CMurmeloKernel::process(const float *input, float *output, int frames, int, bool &silence) {
    silence = false;
    const KernelShared &s = *shared;
    bool changed = s.changed && s.scratchFrames > 0;
    for (int done = 0, n = 0; done < frames; done += n) {
        n = pieceLength(s, frames - done);
        KernelBlock b{s.current, s.previous, changed, s.sampleRate, s.dry, s.wet, n, 1, {}};
        fill(b.channels[0], input + done, output + done, 0, done == 0);
        s.render(b);
        take(b.channels[0]);
        changed = false;
    }
}

void CMurmeloKernel::processPair(CMurmeloKernel &a, CMurmeloKernel &b, const float *const inputs[2],
                                 float *const outputs[2], int frames, bool silent) {
    const KernelShared &s = *a.shared;
    const RenderFunction render = silent ? renderSilence : s.render;
    bool changed = s.changed && s.scratchFrames > 0;
    for (int done = 0, n = 0; done < frames; done += n) {
        n = pieceLength(s, frames - done);
        KernelBlock block{s.current, s.previous, changed, s.sampleRate, s.dry, s.wet, n, 2, {}};
        a.fill(block.channels[0], inputs[0] + done, outputs[0] + done, 0, done == 0);
        b.fill(block.channels[1], inputs[1] + done, outputs[1] + done, 1, done == 0);
        render(block);
        a.take(block.channels[0]);
        b.take(block.channels[1]);
        changed = false;
    }
}

} // namespace murmelo
