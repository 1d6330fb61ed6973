// The effect's audio side: kernels, crossfade scratch, the block stage and
// the per-block order of processReplacing.
#include "core/QrvMurmelo.h"

#include "core/FloatMode.h"
#include "core/MurmeloDsp.h"

#include <algorithm>
#include <cstring>

namespace murmelo {

namespace {

// The scratch always holds at least this many frames, so even a host that
// announced a block size of 0 gets its audio processed, and at most a delay
// line's length: longer blocks are rendered in pieces of that length anyway,
// so no block size a host may announce costs more than 1 MB of scratch.
constexpr int kMinimumScratchFrames = 256;
constexpr int kMaximumScratchFrames = dsp::kDelayLength;
constexpr int kMaxChannels = 2;

float cubed(float v) { return v * v * v; }

} // namespace

AUKernelBase *QrvMurmelo::createKernel() {
    if (!kernelShared.render) kernelShared.render = bestRenderFunction();
    return new CMurmeloKernel(this, static_cast<int>(kernels.size()), &kernelShared);
}

// createKernel makes only CMurmeloKernel objects.
CMurmeloKernel *QrvMurmelo::kernelAt(std::size_t index) const { return static_cast<CMurmeloKernel *>(kernels[index]); }

void QrvMurmelo::resizeScratchBuffers(int frames) {
    const int perChannel = std::clamp(frames, kMinimumScratchFrames, kMaximumScratchFrames);
    const std::size_t n = static_cast<std::size_t>(perChannel) * kMaxChannels;
    oldOutput.assign(n, 0.f);
    oldDelayWrites.assign(n, 0.f);
    kernelShared.oldOutput = oldOutput.data();
    kernelShared.oldDelayWrites = oldDelayWrites.data();
    kernelShared.scratchFrames = perChannel;
}

// Runs with subnormals flushed to zero (FloatMode.h): a decaying feedback
// loop would otherwise crawl through them at great cost.
void QrvMurmelo::processReplacing(float **inputs, float **outputs, vst2::VstInt32 frames) {
    // MIDI events that waited for a busy interpreter reach the scripts now,
    // so their parameter changes shape this block (in the host's own
    // floating-point mode, as every other script call).
    midiHost->deliverQueuedMidi();
    const FlushDenormals flush;
    const int channels = std::min<int>(static_cast<int>(kernels.size()), kMaxChannels);
    // Blocks longer than the scratch buffers are processed as several
    // consecutive blocks that fit, never by writing past them.
    const int piece = std::min(kernelShared.scratchFrames, dsp::kDelayLength);
    if (piece <= 0) return;
    float *in[kMaxChannels] = {}, *out[kMaxChannels] = {};
    for (int done = 0, n = 0; done < frames; done += n) {
        n = std::min(frames - done, piece);
        for (int c = 0; c < channels; ++c) {
            in[c] = inputs[c] + done;
            out[c] = outputs[c] + done;
        }
        processBlock(in, out, n);
    }
}

void QrvMurmelo::processBlock(float *const *inputs, float *const *outputs, int frames) {
    int starts[kMaxChannels] = {};
    const std::size_t count = std::min<std::size_t>(kernels.size(), kMaxChannels);
    for (std::size_t k = 0; k < count; ++k)
        starts[k] = kernelAt(k)->writeIndex();
    runBlockStage(frames);
    if (runSilence(inputs, outputs, frames)) {
        previousBlockParams = blockParams;
        return;
    }
    runKernels(inputs, outputs, frames);
    guardDelayLines(starts, outputs, frames);
    previousBlockParams = blockParams;
}

// Silence into silent delay lines comes out as silence: the kernels only
// move their phases and write indices, as rendering would.  This keeps the
// end of a tail, and a track's silent stretches, cheaper than music.
bool QrvMurmelo::runSilence(float *const *inputs, float *const *outputs, int frames) {
    if (kernels.size() != 2 || !kernelAt(0)->holdsSilence() || !kernelAt(1)->holdsSilence()) return false;
    if (!CMurmeloKernel::allPositiveZero(inputs[0], frames) || !CMurmeloKernel::allPositiveZero(inputs[1], frames))
        return false;
    CMurmeloKernel::processPair(*kernelAt(0), *kernelAt(1), inputs, outputs, frames, true);
    return true;
}

// A host that hands us infinities or NaNs (a broken plug-in upstream) would
// otherwise leave them circulating in the delay lines for good.  Everything
// the block wrote is looked at (one pass over n samples per channel); when
// any of it is not finite, every line is cleared and the block comes out
// silent, so the next block with finite input sounds normally.
void QrvMurmelo::guardDelayLines(const int *starts, float *const *outputs, int frames) {
    const std::size_t count = std::min<std::size_t>(kernels.size(), kMaxChannels);
    bool finite = true;
    for (std::size_t k = 0; k < count; ++k)
        finite = kernelAt(k)->reviewWrites(starts[k], frames) && finite;
    if (finite) return;
    for (std::size_t k = 0; k < count; ++k) {
        kernelAt(k)->clearDelayLine();
        std::fill(outputs[k], outputs[k] + frames, 0.f);
    }
}

void QrvMurmelo::runKernels(float *const *inputs, float *const *outputs, int frames) {
    if (kernels.size() == 2) {
        CMurmeloKernel::processPair(*kernelAt(0), *kernelAt(1), inputs, outputs, frames);
        return;
    }
    bool silence = false;
    for (std::size_t k = 0; k < kernels.size() && k < kMaxChannels; ++k)
        kernels[k]->process(inputs[k], outputs[k], frames, 1, silence);
}

void QrvMurmelo::runBlockStage(int frames) {
    for (std::size_t k = 1; k < kernels.size(); ++k)
        kernelAt(k)->setPhase(kernelAt(0)->phase());
    float values[kNumParameters];
    QrvProgram *program = currentProgram();
    for (int i = 0; i < kNumParameters; ++i)
        values[i] = program->getValue(i);

    SlowLfoPhases phases{speedLfoPhase, depthLfoPhase};
    BlockDisplay display;
    computeBlockParams(values, frames, sampleRate, phases, blockParams, display);
    speedLfoPhase = phases.speed;
    depthLfoPhase = phases.depth;
    blockParamsChanged = std::memcmp(&blockParams, &previousBlockParams, sizeof(BlockParams)) != 0;
    displayState.speedHz.store(display.speedHz, std::memory_order_relaxed);
    displayState.sweepMs.store(display.sweepMs, std::memory_order_relaxed);

    kernelShared.current = &blockParams;
    kernelShared.previous = &previousBlockParams;
    kernelShared.changed = blockParamsChanged;
    kernelShared.sampleRate = sampleRate;
    kernelShared.dry = cubed(values[kDryLevel]);
    kernelShared.wet = cubed(values[kEffectLevel]);
}

} // namespace murmelo
