// Exponential and logarithms that give the same bits on every build.
//
// The C libraries of the systems we build for (glibc, the Windows runtimes)
// may round exp2, log2 and log differently in the last bit, and values
// computed with them reach the sound (the hertz parameters).  These functions
// use nothing but IEEE double +, -, *, / and exact operations on the bits, so
// every compiler and processor that honours IEEE double (no x87 arithmetic, no
// contracted multiply-adds: the build passes -ffp-contract=off, and
// -mfpmath=sse for 32-bit x86) computes the same result.
//
// Accuracy: less than one unit in the last place in the normal range (the
// tests hold them to std::exp2, std::log2 and std::log).  Special values as
// in C: NaN gives NaN; exp2(+inf) = +inf, exp2(-inf) = +0, exp2 overflows to
// +inf and underflows to +0; log(+0) = log(-0) = -inf, log of a negative
// number or of -inf is NaN, log(+inf) = +inf; the same for log2.
#pragma once

namespace murmelo {

// 2^y.  Exact for integer y whose power of two is a double (and 2^0 = 1).
double portableExp2(double y);
// Base-2 logarithm.  Exact for powers of two.
double portableLog2(double x);
// Natural logarithm.  log(1) = 0 exactly.
double portableLog(double x);

} // namespace murmelo
