// The block stage: once per audio block, the 16 parameter values become the
// ten block parameters, and the two slow LFOs (speed and depth) advance.
#pragma once

#include "core/BlockParams.h"
#include "core/Parameters.h"

namespace murmelo {

// The slow LFOs' phases, in [0, 1); they belong to the effect and carry over
// from block to block.
struct SlowLfoPhases {
    float speed = 0.f;
    float depth = 0.f;
};

// What the editor shows for the block: LFO speed in Hz, sweep width in ms.
struct BlockDisplay {
    float speedHz = 0.f;
    float sweepMs = 0.f;
};

// [audio] values are the current program's 16 real values; frames the block
// length; sampleRate in Hz.  Advances phases and fills params and display.
void computeBlockParams(const float (&values)[kNumParameters], int frames, float sampleRate, SlowLfoPhases &phases,
                        BlockParams &params, BlockDisplay &display);

} // namespace murmelo
