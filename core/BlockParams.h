// The ten per-block parameters the block stage derives from the 16 values.
#pragma once

namespace murmelo {

struct BlockParams {
    float shapeWeights[5]; // Sine, Saw Up, Saw Down, Tri, Square
    float sweep;           // M, half the sweep width, in samples
    float biasOffset;      // Bias x M, in samples
    float speed;           // main LFO speed in Hz
    float feedback;        // Feedback x 0.01
    float spread;          // phase offset per channel, in cycles
};

static_assert(sizeof(BlockParams) == 10 * sizeof(float), "ten packed floats");

} // namespace murmelo
