#include "core/MurmeloKernel.h"

#include "core/MurmeloDsp.h"

#include <algorithm>
#include <cstring>

namespace murmelo {

namespace {

// Magnitudes compared as float bits without the sign: for finite floats the
// order of the bits is the order of the values.
constexpr std::uint32_t kNonFiniteBits = 0x7f800000; // infinity; NaNs lie above
// 2^-20, about -120 dB below full scale: below any converter's noise.
constexpr std::uint32_t kSilenceLevelBits = 0x35800000;

struct WrittenSpan {
    std::uint32_t largest = 0; // magnitude bits
    std::uint32_t anyBits = 0; // 0 when every sample is +0
};

// Eight lanes at a time, then the rest one by one; magnitude bits fit a
// signed int, so plain SSE2 compares them too, and processors with AVX2 get
// a clone of their own (chosen once, when the library is loaded).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void lookAt(const float *samples, int n, WrittenSpan &span) {
    typedef std::int32_t Lanes __attribute__((vector_size(32)));
    Lanes largest{}, any{};
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        Lanes bits;
        std::memcpy(&bits, samples + i, sizeof bits);
        any |= bits;
        bits &= 0x7fffffff;
        largest = bits > largest ? bits : largest;
    }
    std::uint32_t top = span.largest, anyBits = span.anyBits;
    for (int lane = 0; lane < 8; ++lane) {
        top = std::max(top, static_cast<std::uint32_t>(largest[lane]));
        anyBits |= static_cast<std::uint32_t>(any[lane]);
    }
    for (; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, samples + i, sizeof bits);
        anyBits |= bits;
        top = std::max(top, bits & 0x7fffffffu);
    }
    span = {top, anyBits};
}

} // namespace

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
    WrittenSpan span;
    lookAt(delay.get() + start, first, span);
    lookAt(delay.get(), frames - first, span);
    if (span.largest >= kNonFiniteBits) return false;
    silentLine = silentLine && span.anyBits == 0;
    quietFrames = span.largest < kSilenceLevelBits ? std::min(quietFrames + frames, dsp::kDelayLength) : 0;
    if (quietFrames >= dsp::kDelayLength) clearDelayLine();
    return true;
}

bool CMurmeloKernel::allPositiveZero(const float *samples, int n) {
    WrittenSpan span;
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
