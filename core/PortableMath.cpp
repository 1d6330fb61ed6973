// The reductions are the classic ones: exp2 splits y into an integer n and a
// remainder r in [-1/2, 1/2] and evaluates e^(r ln 2) by its Taylor series;
// the logarithms split x into 2^k m with m in [sqrt(1/2), sqrt(2)) and
// evaluate ln m = 2 atanh(s), s = (m - 1)/(m + 1), by its series.  Where a
// rounding error would reach the last place, the leading terms are carried as
// unevaluated sums of two doubles (hi + lo), using the exact sum and product
// of Knuth and Dekker; everything else is small enough that its rounding
// stays far below the result's last place.
//
// The constants are written in hexadecimal, so no compiler's decimal
// conversion is involved; each is the double nearest to the value named.
#include "core/PortableMath.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace murmelo {

namespace {

std::uint64_t bitsOf(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

double fromBits(std::uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// 2^e for -1022 <= e <= 1023 (a normal double).
double powerOfTwo(int e) { return fromBits(static_cast<std::uint64_t>(e + 1023) << 52); }

// hi + lo = a + b exactly, hi = a + b rounded; needs |a| >= |b| or a = 0.
void fastTwoSum(double a, double b, double &hi, double &lo) {
    hi = a + b;
    lo = b - (hi - a);
}

// hi + lo = a * b exactly (Dekker), for |a|, |b| far from overflow and
// products far from underflow.  Relies on a * b not being fused with the
// following additions, which -ffp-contract=off guarantees.
void split(double a, double &hi, double &lo) {
    const double c = 0x1.0000002p27 * a; // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

void twoProduct(double a, double b, double &hi, double &lo) {
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    hi = a * b;
    lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

// ln 2 as a sum of two doubles.
constexpr double kLn2Hi = 0x1.62e42fefa39efp-1;
constexpr double kLn2Lo = 0x1.abc9e3b39803fp-56;
// ln 2 split so that k * kLn2Head is exact for |k| < 2^11 (42 significant
// bits), and the rest.
constexpr double kLn2Head = 0x1.62e42fefa3800p-1;
constexpr double kLn2Tail = 0x1.ef35793c76730p-45;
// 1 / ln 2 as a sum of two doubles.
constexpr double kInvLn2Hi = 0x1.71547652b82fep+0;
constexpr double kInvLn2Lo = 0x1.777d0ffda0d24p-56;

constexpr double kSqrt2 = 0x1.6a09e667f3bcdp+0;
// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51
// to the nearest integer (ties to even).
constexpr double kRoundingShift = 0x1.8p52;

// (e^t - 1 - t - t^2/2) / t^3 for |t| <= ln 2 / 2, by Taylor series: the
// terms 1/k!, k = 3..14.  The first term left out, t^15 / 15!, is below
// 2^-63 there.
double expSeries3(double t) {
    constexpr double c[] = {
        0x1.5555555555555p-3,  0x1.5555555555555p-5,  0x1.1111111111111p-7,  0x1.6c16c16c16c17p-10,
        0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-16, 0x1.71de3a556c734p-19, 0x1.27e4fb7789f5cp-22,
        0x1.ae64567f544e4p-26, 0x1.1eed8eff8d898p-29, 0x1.6124613a86d09p-33, 0x1.93974a8c07c9dp-37,
    };
    constexpr int terms = static_cast<int>(sizeof c / sizeof c[0]);
    double p = c[terms - 1];
    for (int i = terms - 2; i >= 0; --i)
        p = c[i] + t * p;
    return p;
}

// ln m as hi + lo for m in [sqrt(1/2), sqrt(2)], error below 2^-55 |ln m|.
// With f = m - 1 and s = f / (2 + f): ln m = 2 atanh s = 2s + s R(s^2), and
// 2s = f - s f, so ln m = f - f^2/2 + s (f^2/2 + R).  f is exact; the
// rounding of s only touches the small last term.
void logReduced(double m, double &hi, double &lo) {
    // 2 / (2j + 1), j = 1..10: the series 2 atanh s = 2s + sum 2 s^(2j+1) / (2j + 1).
    // |s| <= 0.1716, so the first term left out is below 2^-60 of the sum.
    constexpr double c[] = {
        0x1.5555555555555p-1, 0x1.999999999999ap-2, 0x1.2492492492492p-2, 0x1.c71c71c71c71cp-3, 0x1.745d1745d1746p-3,
        0x1.3b13b13b13b14p-3, 0x1.1111111111111p-3, 0x1.e1e1e1e1e1e1ep-4, 0x1.af286bca1af28p-4, 0x1.8618618618618p-4,
    };
    constexpr int terms = static_cast<int>(sizeof c / sizeof c[0]);
    const double f = m - 1.0; // exact for m in [1/2, 2]
    const double s = f / (2.0 + f);
    const double z = s * s;
    double p = c[terms - 1];
    for (int i = terms - 2; i >= 0; --i)
        p = c[i] + z * p;
    const double r = z * p;
    // f^2 / 2 exactly, as half + halfLo.
    double sq, sqLo;
    twoProduct(f, f, sq, sqLo);
    const double half = 0.5 * sq, halfLo = 0.5 * sqLo;
    double err;
    fastTwoSum(f, -half, hi, err); // |f| >= f^2 / 2 for |f| < 1/2
    lo = (err - halfLo) + s * (half + r);
}

// x = 2^k m with m in [sqrt(1/2), sqrt(2)), for finite x > 0.
double reduce(double x, int &k) {
    std::uint64_t b = bitsOf(x);
    int bias = 1023;
    if ((b >> 52) == 0) { // subnormal: scale into the normal range first
        b = bitsOf(x * 0x1p54);
        bias += 54;
    }
    k = static_cast<int>(b >> 52) - bias;
    double m = fromBits((b & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL);
    if (m > kSqrt2) {
        m *= 0.5;
        ++k;
    }
    return m;
}

// The special cases of both logarithms; true when result is set.
bool logSpecial(double x, double &result) {
    if (x > 0.0 && x < std::numeric_limits<double>::infinity()) return false;
    if (x == 0.0)
        result = -std::numeric_limits<double>::infinity();
    else if (x > 0.0)
        result = x; // +inf
    else
        result = std::numeric_limits<double>::quiet_NaN(); // negative, -inf or NaN
    return true;
}

} // namespace

double portableExp2(double y) {
    if (y != y) return y;
    if (y >= 1024.0) return std::numeric_limits<double>::infinity();
    // 2^-1075 is half the smallest subnormal and rounds to 0 (ties to even).
    if (y <= -1075.0) return 0.0;
    const double n = (y + kRoundingShift) - kRoundingShift;
    const double r = y - n; // exact, |r| <= 1/2
    // t = r ln 2 as th + tl.
    double th, tl;
    twoProduct(r, kLn2Hi, th, tl);
    tl += r * kLn2Lo;
    // e^(th + tl) = e^th (1 + tl) to far below the last place, and
    // e^th = 1 + th + th^2/2 + th^3 S(th): the first three terms summed
    // exactly as two doubles, the rest rounded far below the last place.
    double sq, sqLo;
    twoProduct(th, th, sq, sqLo);
    const double half = 0.5 * sq;
    double a, aLo, v, vLo;
    fastTwoSum(1.0, th, a, aLo); // |th| < 1
    fastTwoSum(a, half, v, vLo); // half < 1/16 < a
    v += ((aLo + vLo) + 0.5 * sqLo) + (sq * th * expSeries3(th) + tl * (1.0 + th));
    // v * 2^n: multiplying by powers of two is exact unless the result leaves
    // the normal range, where the second factor rounds once.
    const int e = static_cast<int>(n);
    if (e > 1023) return v * powerOfTwo(1023) * 2.0;
    if (e < -1022) return v * powerOfTwo(e + 54) * 0x1p-54;
    return v * powerOfTwo(e);
}

double portableLog2(double x) {
    double result;
    if (logSpecial(x, result)) return result;
    int k;
    const double m = reduce(x, k);
    double hi, lo;
    logReduced(m, hi, lo);
    // (hi + lo) / ln 2, then + k.
    double p, pLo;
    twoProduct(hi, kInvLn2Hi, p, pLo);
    pLo += hi * kInvLn2Lo + lo * kInvLn2Hi;
    double sum, sumLo;
    fastTwoSum(k, p, sum, sumLo); // |p| <= 1/2: k = 0 or |k| > |p|
    return sum + (sumLo + pLo);
}

double portableLog(double x) {
    double result;
    if (logSpecial(x, result)) return result;
    int k;
    const double m = reduce(x, k);
    double hi, lo;
    logReduced(m, hi, lo);
    // k ln 2 + hi + lo; k * kLn2Head is exact.
    const double kd = k;
    double sum, sumLo;
    fastTwoSum(kd * kLn2Head, hi, sum, sumLo); // |hi| <= ln 2 / 2: k = 0 or |k ln 2| > |hi|
    return sum + (sumLo + (lo + kd * kLn2Tail));
}

} // namespace murmelo
