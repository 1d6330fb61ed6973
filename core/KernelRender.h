// The modulated-delay rendering of one block, for one or two channels at once.
//
// Per channel and sample i (w the write index, x the input, phi the running
// main-LFO phase, set = block parameters):
//   1. delay[w] = x
//   2. u = w0 C(phi) + w1 P(phi) + w2 X(phi) + w3 Y(phi) + w4 Z(phi)
//   3. d = M (1 - u) + R (1 + u)                    (from 2R at u = 1 to 2M at u = -1)
//   4. p = w - d modulo 65536 into [0, 65536); k = floor(p), f = p - k
//   5. y = delay[k] (1 - f) + delay[(k + 1) mod 65536] f
//   6. delay[w] = x + feedback y
//   7. out = wet y + dry x
//   8. phi = frac(phi + speed / fs)                 (increment rounded to a float once)
//   9. w = (w + 1) mod 65536
// When the block parameters changed, the block is rendered twice, with the
// previous and the current set from the same delay-line state, and both the
// output and what was written into the delay line are crossfaded over the
// block (weight j / n of the current set at frame j).  A read position that
// is not a number, or that rounds onto 65536, reads position 0.
//
// The channels are independent, so rendering both in one pass gives the same
// floats as rendering them one after the other.  Every variant below computes
// bit-identical results; they differ only in the instructions they may use.
#pragma once

#include "core/BlockParams.h"

namespace murmelo {

// One channel's share of a block.
struct ChannelBlock {
    const float *input = nullptr;
    float *output = nullptr;
    float *delay = nullptr;          // 65536 floats
    int writeIndex = 0;              // in: at block start; out: after the block
    float phase = 0.f;               // in: kernel phase at block start; out: after
    int channel = 0;                 // channel index c; its start phase is c x spread ahead
    float *oldOutput = nullptr;      // scratch of at least `frames` floats (crossfades)
    float *oldDelayWrites = nullptr; // scratch of at least `frames` floats (crossfades)
};

struct KernelBlock {
    const BlockParams *current = nullptr;
    const BlockParams *previous = nullptr;
    bool changed = false; // crossfade from previous to current
    float sampleRate = 44100.f;
    float dry = 0.f; // ("Dry Level")^3
    float wet = 0.f; // ("Effect Level")^3
    int frames = 0;
    int channelCount = 1; // 1 or 2
    ChannelBlock channels[2];
};

// [audio] renders the block; never allocates, locks or throws.
using RenderFunction = void (*)(KernelBlock &block);

struct RenderVariant {
    const char *name;
    RenderFunction render;
    bool (*supported)(); // whether this processor can run it
};

// Every variant built in, the plain one first.
const RenderVariant *renderVariants(int &count);
// The last variant this processor supports (chosen once, outside the audio path).
RenderFunction bestRenderFunction();
// [audio] The block every variant renders when every input sample and every
// sample of the delay lines is +0: outputs of +0, the same phases and write
// indices, without the work.
void renderSilence(KernelBlock &block);

} // namespace murmelo
