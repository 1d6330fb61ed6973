// CMurmeloKernel: one channel's modulated delay line.  It owns the delay line,
// its write index and the main-LFO phase; everything else it reads from the
// block the effect prepares (KernelShared), so the kernel has no host types.
#pragma once

#include "core/BlockParams.h"
#include "core/Kernel.h"
#include "core/KernelRender.h"

#include <cstdint>
#include <memory>

namespace murmelo {

// What the effect's block stage hands to its kernels for one block.  Written
// and read on the audio thread only.
struct KernelShared {
    const BlockParams *current = nullptr;
    const BlockParams *previous = nullptr;
    bool changed = false;
    float sampleRate = 44100.f;
    float dry = 0.f; // ("Dry Level")^3
    float wet = 0.f; // ("Effect Level")^3
    // Scratch for crossfades: scratchFrames floats per channel, channel c at
    // offset c x scratchFrames in each buffer.
    float *oldOutput = nullptr;
    float *oldDelayWrites = nullptr;
    int scratchFrames = 0;
    RenderFunction render = nullptr;
};

// What a scan of samples found, added up over one or more scans.
struct SampleScan {
    std::uint32_t largest = 0; // largest magnitude, as float bits without the sign (NaNs above infinity)
    std::uint32_t anyBits = 0; // all bits or-ed together: 0 when every sample is +0
};
// [audio] Adds n samples to scan.  Every variant gives the same result.
using SampleScanFunction = void (*)(const float *samples, int n, SampleScan &scan);
struct SampleScanVariant {
    const char *name;
    SampleScanFunction scan;
    bool (*supported)(); // whether this processor can run it
};
// Every scan variant built in, the plain one first; the kernel uses the last
// one the processor supports.
const SampleScanVariant *sampleScanVariants(int &count);

class CMurmeloKernel : public AUKernelBase {
public:
    // The delay line is allocated and zeroed here; shared must outlive the kernel.
    CMurmeloKernel(QrvAuBase *owner, int channel, const KernelShared *shared);

    // Zeroes the delay line, write index and phase.  Nothing calls it while
    // the effect runs: delay contents and phases survive suspend and resume.
    void reset() override;
    // [audio] one channel; channelCount is ignored (always 1) and silence is
    // always cleared.  More frames than the scratch holds are rendered in
    // consecutive pieces, the first one crossfading.
    void process(const float *input, float *output, int frames, int channelCount, bool &silence) override;
    // [audio] both kernels' channels in one pass: the same floats as calling
    // process on a and then on b.
    // silent: every input sample is +0 and both lines hold only +0 (see
    // holdsSilence), so nothing but phases and write indices moves.
    static void processPair(CMurmeloKernel &a, CMurmeloKernel &b, const float *const inputs[2], float *const outputs[2],
                            int frames, bool silent = false);

    // [audio] Looks at the `frames` samples the last block wrote from delay
    // position `start` on.  False when one of them is infinite or not a
    // number: the caller then clears every line.  A line whose writes have
    // all stayed below the silence level for a whole line's length holds
    // nothing audible, only a tail that would take minutes to die away in
    // the feedback loop; it is cleared here, so a silent input ends in exact
    // zeros.
    bool reviewWrites(int start, int frames);
    // [audio] Zeroes the delay line; write index and phase stay.
    void clearDelayLine();
    // Whether every sample of the delay line is +0: true from creation and
    // each clearing until a block writes anything else.
    bool holdsSilence() const { return silentLine; }
    // [audio] True when every one of the n samples is +0 (the bits, so -0
    // and subnormals count as sound); the same scan as reviewWrites.
    static bool allPositiveZero(const float *samples, int n);

    float phase() const { return lfoPhase; }
    void setPhase(float p) { lfoPhase = p; }
    int writeIndex() const { return writePosition; }
    int channel() const { return channelIndex; }
    const float *delayLine() const { return delay.get(); }

private:
    void fill(ChannelBlock &cb, const float *input, float *output, int slot, bool first) const;
    void take(const ChannelBlock &cb);
    static int pieceLength(const KernelShared &s, int frames);

    QrvAuBase *effect; // the owning effect (also kept by the base)
    int channelIndex;
    std::unique_ptr<float[]> delay;
    int delayBytes;
    int writePosition = 0;
    float lfoPhase = 0.f;
    int quietFrames = 0; // consecutive frames written below the silence level
    bool silentLine = true;
    const KernelShared *shared;
};

} // namespace murmelo
