// The arithmetic the block stage and the kernels share: the fast sine, the
// five shape curves, the shape weights and the block-stage constants.
//
// Every function here is a template over the number type so the kernels can
// run it on vectors of floats (GCC vector extensions) and the block stage on
// single floats; each lane does exactly the single-float operations written
// here, in this order, so every build and every instruction set gives the
// same bits.  Nothing here may be reassociated or contracted into fused
// multiply-adds (the build sets -ffp-contract=off and never fast-math).
#pragma once

#include <cstdint>

#define MURMELO_ALWAYS_INLINE inline __attribute__((always_inline))

namespace murmelo {
namespace dsp {

// Delay line length and index mask.
constexpr int kDelayLength = 65536;
constexpr int kDelayMask = kDelayLength - 1;
constexpr float kDelayLengthF = 65536.f;
constexpr float kInverseDelayLength = 0x1p-16f;

// Block-stage constants (float bit patterns in the comments).
constexpr float kSlowLfoDepthThreshold = 0x1.0624dep-10f; // 0x3A83126F, 0.001
constexpr float kSuperfineThreshold = 0x1.0667fap-10f;    // 0x3A8333FD, 0.001001
constexpr float kFineThreshold = 0x1.00418ap-1f;          // 0x3F0020C5, 0.5005
constexpr float kCoarseThreshold = 0x1.4051ecp+3f;        // 0x412028F6, 10.01
constexpr float kMinimumSpeedDivisor = 0x1.a36e2ep-14f;   // 0x38D1B717, 0.0001
constexpr float kSweepScale = 0x1.47ae14p-9f;             // 0x3B23D70A, 0.0025
constexpr float kMaximumSweep = 0x1.fffep+14f;            // 0x46FFFF00, 32767.5
constexpr float kFeedbackScale = 0x1.47ae14p-7f;          // 0x3C23D70A, 0.01
constexpr float kSweepDisplayScale = 0x1.f4p+10f;         // 0x44FA0000, 2000

// Fast-sine coefficients: S = c1 b + c3 b^3 - c5 b^5 + c7 b^7 - c9 b^9.
constexpr float kSineC1 = -0x1.921fb6p+2f; // 0xC0C90FDB, -6.2831855
constexpr float kSineC3 = 0x1.4abbc2p+5f;  // 0x42255DE1, 41.341679
constexpr float kSineC5 = 0x1.4668b0p+6f;  // 0x42A33458, 81.602234
constexpr float kSineC7 = 0x1.324cc6p+6f;  // 0x42992663, 76.574974
constexpr float kSineC9 = 0x1.3daf76p+5f;  // 0x421ED7BB, 39.710674

// std::min / std::max semantics (the first argument wins ties and NaNs in
// the comparison), written as selects so they also work lane by lane.
template <class T> MURMELO_ALWAYS_INLINE T minOf(T a, T b) { return b < a ? b : a; }
template <class T> MURMELO_ALWAYS_INLINE T maxOf(T a, T b) { return a < b ? b : a; }

// S(x) for a phase x in [0, 1): sin(2 pi x) within about 1e-6, no library
// trigonometry.  b folds the phase into [-0.25, 0.25]; the powers are formed
// by successive multiplication by b.
template <class T> MURMELO_ALWAYS_INLINE T fastSine(T x) {
    const T b = maxOf<T>(-x, minOf<T>(x - 0.5f, 1.f - x));
    const T b2 = b * b, b3 = b2 * b, b4 = b3 * b, b5 = b4 * b;
    const T b6 = b5 * b, b7 = b6 * b, b8 = b7 * b, b9 = b8 * b;
    return kSineC1 * b + kSineC3 * b3 - kSineC5 * b5 + kSineC7 * b7 - kSineC9 * b9;
}

// The five shape curves at phase a.  Each is 1 at a = 0 and -1 at a = 0.5;
// they describe the delay time, so the pitch follows their slope.
// C needs frac(a + 0.25), which the caller supplies.
template <class T> MURMELO_ALWAYS_INLINE T shapeSine(T quarterOnFrac) { return fastSine<T>(quarterOnFrac); }
template <class T> MURMELO_ALWAYS_INLINE T shapeSawUp(T a, T a2) { return 8.f * a2 - 8.f * a + 1.f; }
template <class T> MURMELO_ALWAYS_INLINE T shapeSawDown(T a, T a2) {
    return maxOf<T>(1.f - 8.f * a2, 16.f * a - 7.f - 8.f * a2);
}
template <class T> MURMELO_ALWAYS_INLINE T shapeTri(T a, T a2) {
    return maxOf<T>(8.f * a2 - 8.f * a + 1.f, 16.f * a - 7.f - 8.f * a2);
}
template <class T> MURMELO_ALWAYS_INLINE T shapeSquare(T a) { return maxOf<T>(1.f - 4.f * a, 4.f * a - 3.f); }

// Weights of the five shapes for "Shape" g: two neighbours blend, the rest
// are exactly 0.  For g in 0..4 they sum to 1.
void shapeWeights(float g, float weights[5]);

// t - floor(t), with the library floor: for the block stage, once per block.
float fracOf(float t);

} // namespace dsp
} // namespace murmelo
