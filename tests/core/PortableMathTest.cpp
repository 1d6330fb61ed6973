// Our own exp2, log2 and log, held to the C library's and to correctly rounded
// reference values, and the hertz mapping between normalised and real values
// that is built on them.
#include "core/PortableMath.h"
#include "core/Parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

using namespace murmelo;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Doubles in the order of their values as integers (-0 and +0 both 0), so
// the difference of two is their distance in units in the last place.
std::int64_t orderOf(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    const auto magnitude = static_cast<std::int64_t>(b & 0x7fffffffffffffffULL);
    return (b >> 63) ? -magnitude : magnitude;
}

std::int64_t ulpsBetween(double a, double b) {
    const std::int64_t d = orderOf(a) - orderOf(b);
    return d < 0 ? -d : d;
}

std::int32_t orderOf(float x) {
    std::uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    const auto magnitude = static_cast<std::int32_t>(b & 0x7fffffffU);
    return (b >> 31) ? -magnitude : magnitude;
}

int ulpsBetween(float a, float b) {
    const std::int32_t d = orderOf(a) - orderOf(b);
    return d < 0 ? -d : d;
}

// Uniform in [0, 1) from the bits of a fully specified generator, so every
// standard library draws the same values.
double unit(std::mt19937_64 &g) { return static_cast<double>(g() >> 11) * 0x1p-53; }

// The largest distance between f and reference over the inputs, and how
// many results differ at all.
struct Agreement {
    std::int64_t worst = 0;
    double worstInput = 0;
    long differing = 0;
    long count = 0;
};

template <class F, class R> Agreement compare(const std::vector<double> &inputs, F f, R reference) {
    Agreement a;
    for (double x : inputs) {
        const std::int64_t d = ulpsBetween(f(x), reference(x));
        ++a.count;
        if (d != 0) ++a.differing;
        if (d > a.worst) {
            a.worst = d;
            a.worstInput = x;
        }
    }
    return a;
}

// Correctly rounded values (computed with 300-bit arithmetic).
struct Case {
    double in, out;
};

const Case kExp2Cases[] = {
    {0x1.0000000000000p-1, 0x1.6a09e667f3bcdp+0},    {-0x1.0000000000000p-1, 0x1.6a09e667f3bcdp-1},
    {0x1.5555555555555p-2, 0x1.428a2f98d728bp+0},    {0x1.999999999999ap-4, 0x1.125fbee250664p+0},
    {-0x1.999999999999ap-4, 0x1.ddb680117ab12p-1},   {0x1.d000000000000p+2, 0x1.306fe0a31b715p+7},
    {-0x1.f000000000000p+2, 0x1.306fe0a31b715p-8},   {0x1.9133333333333p+6, 0x1.3b2c47bff831ep+100},
    {-0x1.92ccccccccccdp+6, 0x1.3b2c47bff831ep-101}, {0x1.a666666666666p+1, 0x1.3b2c47bff8328p+3},
    {0x1.ffc0000000000p+9, 0x1.6a09e667f3bcdp+1023}, {-0x1.fea0000000000p+9, 0x1.ae89f995ad3adp-1022},
    {0x1.0624dd2f1a9fcp-10, 0x1.002d711c79a96p+0},   {-0x1.3333333333333p-2, 0x1.9fdf8bcce533ep-1},
    {0x1.fffffffffffffp-2, 0x1.6a09e667f3bccp+0},    {0x1.3000000000000p+3, 0x1.6a09e667f3bcdp+9},
    {0x1.6934f0979a371p+2, 0x1.8fffffffffffep+5},    {0x1.1ee7b471b3a95p+3, 0x1.f400000000000p+8},
    {0x1.3ee7b471b3a95p+3, 0x1.f400000000000p+9},
};

const Case kLog2Cases[] = {
    {0x1.8000000000000p+1, 0x1.95c01a39fbd68p+0},      {0x1.4000000000000p+3, 0x1.a934f0979a371p+1},
    {0x1.f400000000000p+9, 0x1.3ee7b471b3a95p+3},      {0x1.4000000000000p+5, 0x1.549a784bcd1b9p+2},
    {0x1.f400000000000p+8, 0x1.1ee7b471b3a95p+3},      {0x1.9000000000000p+8, 0x1.149a784bcd1b9p+3},
    {0x1.999999999999ap-4, -0x1.a934f0979a371p+1},     {0x1.56e1fc2f8f359p-997, -0x1.f24a09f1a8b89p+9},
    {0x1.7e43c8800759cp+996, 0x1.f24a09f1a8b89p+9},    {0x1.6666666666666p-1, -0x1.0776228967d13p-1},
    {0x1.4cccccccccccdp+0, 0x1.83988d0c1f60dp-2},      {0x1.0000000000001p+0, 0x1.71547652b82fdp-52},
    {0x1.fffffffffffffp-1, -0x1.71547652b82fep-53},    {0x1.6a09e667f3bcdp+0, 0x1.0000000000001p-1},
    {0x1.8000000000000p-1, -0x1.a8ff971810a5ep-2},     {0x1.e240c9fbe76c9p+16, 0x1.0e9e4bf2a1cb2p+4},
    {0x0.0000000000001p-1022, -0x1.0c80000000000p+10}, {0x0.4cccccccccccdp-1022, -0x1.ffde54e37a9c5p+9},
};

const Case kLogCases[] = {
    {0x1.8000000000000p+1, 0x1.193ea7aad030bp+0},     {0x1.4000000000000p+3, 0x1.26bb1bbb55516p+1},
    {0x1.f400000000000p+9, 0x1.ba18a998fffa0p+2},     {0x1.4000000000000p+5, 0x1.d82d33b32720dp+1},
    {0x1.f400000000000p+8, 0x1.8dbc239b0b862p+2},     {0x1.9000000000000p+8, 0x1.7f7427b73e391p+2},
    {0x1.999999999999ap-4, -0x1.26bb1bbb55515p+1},    {0x1.56e1fc2f8f359p-997, -0x1.5963447f87fb5p+9},
    {0x1.7e43c8800759cp+996, 0x1.5963447f87fb5p+9},   {0x1.6666666666666p-1, -0x1.6d3c324e13f50p-2},
    {0x1.4cccccccccccdp+0, 0x1.0ca937be1b9dcp-2},     {0x1.0000000000001p+0, 0x1.fffffffffffffp-53},
    {0x1.fffffffffffffp-1, -0x1.0000000000000p-53},   {0x1.6a09e667f3bcdp+0, 0x1.62e42fefa39f0p-2},
    {0x1.8000000000000p-1, -0x1.269621134db92p-2},    {0x1.e240c9fbe76c9p+16, 0x1.77281cad8a844p+3},
    {0x0.0000000000001p-1022, -0x1.74385446d71c3p+9}, {0x0.4cccccccccccdp-1022, -0x1.62ccd99f91ba6p+9},
};

TEST(PortableMath, AgreesWithCorrectlyRoundedValues) {
    // Less than one unit in the last place from the true value leaves the
    // correctly rounded double or its neighbour on the true value's side.
    for (const Case &c : kExp2Cases)
        EXPECT_LE(ulpsBetween(portableExp2(c.in), c.out), 1) << "exp2 " << std::hexfloat << c.in;
    for (const Case &c : kLog2Cases)
        EXPECT_LE(ulpsBetween(portableLog2(c.in), c.out), 1) << "log2 " << std::hexfloat << c.in;
    for (const Case &c : kLogCases)
        EXPECT_LE(ulpsBetween(portableLog(c.in), c.out), 1) << "log " << std::hexfloat << c.in;
    // Most of them are the correctly rounded value itself.
    int inexact = 0;
    for (const Case &c : kExp2Cases)
        inexact += portableExp2(c.in) != c.out;
    for (const Case &c : kLog2Cases)
        inexact += portableLog2(c.in) != c.out;
    for (const Case &c : kLogCases)
        inexact += portableLog(c.in) != c.out;
    EXPECT_LE(inexact, 3);
}

TEST(PortableMath, Exp2AgreesWithTheCLibrary) {
    std::mt19937_64 g(20240611);
    std::vector<double> wide, mapping;
    for (int i = 0; i < 1000000; ++i) {
        wide.push_back(-1022.0 + 2046.0 * unit(g)); // normal results
        mapping.push_back(-12.0 + 24.0 * unit(g));  // what the hertz mapping asks for
    }
    auto ours = [](double y) { return portableExp2(y); };
    auto theirs = [](double y) { return std::exp2(y); };
    for (const std::vector<double> *inputs : {&wide, &mapping}) {
        const Agreement a = compare(*inputs, ours, theirs);
        EXPECT_LE(a.worst, 1) << "at " << std::hexfloat << a.worstInput;
        // Two results below one unit each differ only where the true value
        // lies near the middle between two doubles: rarely.
        EXPECT_LT(a.differing, a.count / 100);
    }
}

TEST(PortableMath, LogarithmsAgreeWithTheCLibrary) {
    std::mt19937_64 g(77);
    std::vector<double> anyPositive, nearOne, hertzRatios;
    for (int i = 0; i < 1000000; ++i) {
        // Every positive finite double, subnormals included, from its bits.
        std::uint64_t b = g() & 0x7fffffffffffffffULL;
        if ((b >> 52) == 0x7ff) b &= 0x7fefffffffffffffULL;
        double x;
        std::memcpy(&x, &b, sizeof x);
        if (x > 0) anyPositive.push_back(x);
        const double offset = unit(g) - 0.5;
        nearOne.push_back(1.0 + offset * std::ldexp(1.0, -static_cast<int>(g() % 50)));
        hertzRatios.push_back(std::exp(unit(g) * 7.0)); // 1 .. 1097
    }
    auto ours2 = [](double x) { return portableLog2(x); };
    auto theirs2 = [](double x) { return std::log2(x); };
    auto oursE = [](double x) { return portableLog(x); };
    auto theirsE = [](double x) { return std::log(x); };
    for (const std::vector<double> *inputs : {&anyPositive, &nearOne, &hertzRatios}) {
        const Agreement a2 = compare(*inputs, ours2, theirs2);
        EXPECT_LE(a2.worst, 1) << "log2 at " << std::hexfloat << a2.worstInput;
        EXPECT_LT(a2.differing, a2.count / 100);
        const Agreement ae = compare(*inputs, oursE, theirsE);
        EXPECT_LE(ae.worst, 1) << "log at " << std::hexfloat << ae.worstInput;
        EXPECT_LT(ae.differing, ae.count / 100);
    }
}

TEST(PortableMath, ExactResults) {
    EXPECT_EQ(portableExp2(0.0), 1.0);
    EXPECT_EQ(portableExp2(-0.0), 1.0);
    EXPECT_EQ(portableLog2(1.0), 0.0);
    EXPECT_EQ(portableLog(1.0), 0.0);
    for (int k = -1074; k <= 1023; ++k) {
        const double power = std::ldexp(1.0, k);
        ASSERT_EQ(portableExp2(k), power) << k;
        ASSERT_EQ(portableLog2(power), k) << k;
        ASSERT_LE(ulpsBetween(portableLog(power), std::log(power)), 1) << k;
    }
    // The last place of a square root is exact in IEEE arithmetic.
    EXPECT_EQ(portableExp2(0.5), std::sqrt(2.0));
}

// FNV-1a over the bits of each result.
struct Fingerprint {
    std::uint64_t value = 0xcbf29ce484222325ULL;
    void add(double x) {
        std::uint64_t b;
        std::memcpy(&b, &x, sizeof b);
        for (int i = 0; i < 8; ++i, b >>= 8)
            value = (value ^ (b & 0xff)) * 0x100000001b3ULL;
    }
};

// The point of these functions: every build computes the same bits.  The
// fingerprints of 300000 results were taken from the Linux x86-64 build and
// reproduced by Clang and by the 64-bit mingw-w64 build under wine; a
// compiler that contracts a * b + c into a fused multiply-add, or evaluates
// in x87 precision, changes them.  A deliberate change of the algorithms
// changes them too, and with them the sound of the hertz parameters: take
// new ones only then.
TEST(PortableMath, SameBitsOnEveryBuild) {
    std::mt19937_64 g(1);
    Fingerprint exp2, log2, log;
    for (int i = 0; i < 100000; ++i) {
        exp2.add(portableExp2(-1100.0 + 2150.0 * unit(g)));
        const double mantissa = 0.5 + 0.5 * unit(g); // draws in a fixed order
        const int exponent = static_cast<int>(g() % 2100) - 1070;
        const double x = std::ldexp(mantissa, exponent);
        log2.add(portableLog2(x));
        log.add(portableLog(x));
    }
    EXPECT_EQ(exp2.value, 0x57b0ce6f67ce40f0ULL) << std::hex << exp2.value;
    EXPECT_EQ(log2.value, 0x02cce9a34418d6a1ULL) << std::hex << log2.value;
    EXPECT_EQ(log.value, 0x814de565ec41bf95ULL) << std::hex << log.value;
    // The C libraries' own exp2, log2 and log give other fingerprints, and
    // glibc's differ from the mingw-w64 runtime's.
}

TEST(PortableMath, EdgesOfTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_TRUE(std::isnan(portableExp2(nan)));
    EXPECT_TRUE(std::isnan(portableLog2(nan)));
    EXPECT_TRUE(std::isnan(portableLog(nan)));

    EXPECT_EQ(portableExp2(kInf), kInf);
    EXPECT_EQ(portableExp2(-kInf), 0.0);
    EXPECT_FALSE(std::signbit(portableExp2(-kInf)));
    EXPECT_EQ(portableExp2(1024.0), kInf);
    EXPECT_EQ(portableExp2(1e300), kInf);
    const double justBelow = std::nextafter(1024.0, 0.0);
    EXPECT_LE(ulpsBetween(portableExp2(justBelow), std::exp2(justBelow)), 1);
    EXPECT_LT(portableExp2(justBelow), kInf);
    // Subnormal results: 2^-1075 lies halfway to 0 and rounds to it (even).
    EXPECT_EQ(portableExp2(-1074.0), tiny);
    EXPECT_EQ(portableExp2(-1074.9), tiny);
    EXPECT_EQ(portableExp2(-1075.0), 0.0);
    EXPECT_EQ(portableExp2(-1e300), 0.0);
    for (double y = -1074.0; y < -1020.0; y += 0.01)
        ASSERT_LE(ulpsBetween(portableExp2(y), std::exp2(y)), 1) << y;

    for (double zero : {0.0, -0.0}) {
        EXPECT_EQ(portableLog2(zero), -kInf);
        EXPECT_EQ(portableLog(zero), -kInf);
    }
    for (double negative : {-tiny, -1.0, -kInf}) {
        EXPECT_TRUE(std::isnan(portableLog2(negative))) << negative;
        EXPECT_TRUE(std::isnan(portableLog(negative))) << negative;
    }
    EXPECT_EQ(portableLog2(kInf), kInf);
    EXPECT_EQ(portableLog(kInf), kInf);
    EXPECT_EQ(portableLog2(tiny), -1074.0);
    EXPECT_EQ(portableLog2(std::numeric_limits<double>::max()), std::log2(std::numeric_limits<double>::max()));
}

// The hertz parameters: their indices, checked against the table.
std::vector<int> hertzParameters() {
    std::vector<int> found;
    for (int i = 0; i < kNumParameters; ++i)
        if (parameterInfo(i).unit == kUnitHertz) found.push_back(i);
    return found;
}

// The mapping as it was written with the C library's functions.
float libraryRealValue(int index, float x) {
    const ParameterInfo &p = parameterInfo(index);
    const double ratio = static_cast<double>(p.maximum) / p.minimum;
    return static_cast<float>(p.minimum * std::exp2(x * std::log2(ratio)));
}

// Normalised values from 0 to 1 in steps of 2^-18, plus the 4096 floats
// right above 0 and right below 1; ascending.
std::vector<float> normalisedGrid() {
    std::vector<float> grid;
    float low = 0.f, high = 1.f;
    for (int i = 0; i < 4096; ++i) {
        grid.push_back(low);
        grid.push_back(high);
        low = std::nextafter(low, 1.f);
        high = std::nextafter(high, 0.f);
    }
    for (int i = 1; i < (1 << 18); ++i)
        grid.push_back(static_cast<float>(i) * 0x1p-18f);
    std::sort(grid.begin(), grid.end());
    grid.erase(std::unique(grid.begin(), grid.end()), grid.end());
    return grid;
}

TEST(HertzMapping, EndpointsAreExact) {
    const std::vector<int> hertz = hertzParameters();
    EXPECT_EQ(hertz, (std::vector<int>{kSpeedSuperfine, kSpeedFine, kSpeedCoarse, kSpeedLfoSpeed, kDepthLfoSpeed}));
    for (int i : hertz) {
        const ParameterInfo &p = parameterInfo(i);
        EXPECT_EQ(toRealValue(i, 0.f), p.minimum) << p.name;
        EXPECT_EQ(toRealValue(i, 1.f), p.maximum) << p.name;
        EXPECT_EQ(toNormalisedValue(i, p.minimum), 0.f) << p.name;
        EXPECT_EQ(toNormalisedValue(i, p.maximum), 1.f) << p.name;
    }
}

// As PortableMath.SameBitsOnEveryBuild, for the mapping itself (the same
// fingerprints on Linux x86-64 and 64-bit Windows).
TEST(HertzMapping, SameBitsOnEveryBuild) {
    Fingerprint real, normalised;
    for (int i : hertzParameters()) {
        for (std::uint32_t b = 0; b <= 0x3f800000u; b += 4099) {
            float x;
            std::memcpy(&x, &b, sizeof x);
            real.add(toRealValue(i, x));
        }
        real.add(toRealValue(i, 1.f));
        const float low = parameterInfo(i).minimum, high = parameterInfo(i).maximum;
        for (int k = 0; k <= 100000; ++k)
            normalised.add(toNormalisedValue(i, low + (high - low) * (k / 100000.f)));
    }
    EXPECT_EQ(real.value, 0x1038b91ebe1a30c4ULL) << std::hex << real.value;
    EXPECT_EQ(normalised.value, 0xb5449f5bd59347e2ULL) << std::hex << normalised.value;
}

TEST(HertzMapping, AlmostAlwaysTheCLibraryResult) {
    const std::vector<float> grid = normalisedGrid();
    for (int i : hertzParameters()) {
        long differing = 0;
        for (float x : grid) {
            const float ours = toRealValue(i, x), theirs = libraryRealValue(i, x);
            ASSERT_LE(ulpsBetween(ours, theirs), 1) << parameterInfo(i).name << " at " << x;
            differing += ours != theirs;
        }
        // A float differs only when the double lies within a few units of a
        // float's rounding boundary: about once in 10^8.
        EXPECT_LE(differing, 2) << parameterInfo(i).name;
    }
}

TEST(HertzMapping, RoundTrips) {
    const std::vector<float> grid = normalisedGrid();
    for (int i : hertzParameters()) {
        const ParameterInfo &p = parameterInfo(i);
        float worst = 0.f;
        for (float x : grid)
            worst = std::max(worst, std::fabs(toNormalisedValue(i, toRealValue(i, x)) - x));
        // The real value is a float: its rounding moves x by at most
        // 2^-24 / ln(maximum / minimum), well below 2^-25.
        EXPECT_LE(worst, 0x1p-25f) << p.name;
        // Real values: within three floats of where they started.
        int worstUlps = 0;
        const float step = (p.maximum - p.minimum) / 65536.f;
        for (float v = p.minimum; v <= p.maximum; v += step)
            worstUlps = std::max(worstUlps, ulpsBetween(toRealValue(i, toNormalisedValue(i, v)), v));
        EXPECT_LE(worstUlps, 3) << p.name;
    }
}

TEST(HertzMapping, Monotonic) {
    const std::vector<float> grid = normalisedGrid();
    for (int i : hertzParameters()) {
        const ParameterInfo &p = parameterInfo(i);
        float previous = toRealValue(i, 0.f);
        long rising = 0;
        for (float x : grid) {
            const float v = toRealValue(i, x);
            ASSERT_GE(v, previous) << p.name << " at " << x;
            rising += v > previous;
            previous = v;
        }
        EXPECT_GT(rising, 200000) << p.name; // not stuck on one value
        // Back again over every float just above the minimum and below the
        // maximum, and a grid in between.
        std::vector<float> reals;
        float low = p.minimum, high = p.maximum;
        for (int k = 0; k < 4096; ++k, low = std::nextafter(low, kInf), high = std::nextafter(high, 0.f))
            reals.push_back(low), reals.push_back(high);
        for (int k = 0; k <= 65536; ++k)
            reals.push_back(p.minimum * std::pow(p.maximum / p.minimum, k / 65536.f));
        std::sort(reals.begin(), reals.end());
        float previousNormalised = -1.f;
        for (float v : reals) {
            const float n = toNormalisedValue(i, v);
            ASSERT_GE(n, previousNormalised) << p.name << " at " << v;
            previousNormalised = n;
        }
    }
}

TEST(HertzMapping, ValuesOutsideTheRange) {
    for (int i : hertzParameters()) {
        const ParameterInfo &p = parameterInfo(i);
        // No clamping here (writeParameter clamps): beyond 0..1 the curve goes on.
        EXPECT_LE(ulpsBetween(toRealValue(i, 2.f), libraryRealValue(i, 2.f)), 1) << p.name;
        EXPECT_LE(ulpsBetween(toRealValue(i, -1.f), libraryRealValue(i, -1.f)), 1) << p.name;
        EXPECT_GT(toRealValue(i, 2.f), p.maximum);
        EXPECT_LT(toRealValue(i, -1.f), p.minimum);
        EXPECT_TRUE(std::isnan(toRealValue(i, std::numeric_limits<float>::quiet_NaN()))) << p.name;
        EXPECT_EQ(toRealValue(i, std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
        EXPECT_EQ(toRealValue(i, -std::numeric_limits<float>::infinity()), 0.f);
        EXPECT_EQ(toRealValue(i, 1e30f), std::numeric_limits<float>::infinity());
        // The "off" value 0, anything below it and NaN report the bottom.
        EXPECT_EQ(toNormalisedValue(i, 0.f), 0.f) << p.name;
        EXPECT_EQ(toNormalisedValue(i, -1.f), 0.f) << p.name;
        EXPECT_EQ(toNormalisedValue(i, std::numeric_limits<float>::quiet_NaN()), 0.f) << p.name;
        EXPECT_EQ(toNormalisedValue(i, std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
        const float below = toNormalisedValue(i, p.minimum / 2), above = toNormalisedValue(i, p.maximum * 2);
        EXPECT_LT(below, 0.f) << p.name;
        EXPECT_GT(above, 1.f) << p.name;
        EXPECT_NEAR(above - 1.f, -below, 1e-6f) << p.name; // both one factor of two away
    }
}

} // namespace
