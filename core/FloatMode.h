// Flush-to-zero for the length of one audio call.
//
// A feedback loop that is left to decay walks its samples down into the
// subnormal range, where every operation on them costs many times the normal
// price on most processors, and where rounding can hold a loop at the same
// tiny values for ever.  While a FlushDenormals object lives, the processor
// treats subnormal operands as zero (denormals-are-zero) and writes zero for
// subnormal results (flush-to-zero).  Normal floats are computed exactly as
// without it.
//
// The control word belongs to the host's thread: the constructor saves it
// whole and the destructor puts back exactly what it found, status flags
// included, however the call is left.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MURMELO_FLOAT_MODE_SSE 1
#elif defined(__aarch64__)
#define MURMELO_FLOAT_MODE_ARM64 1
#endif

namespace murmelo {

class FlushDenormals {
public:
#if defined(MURMELO_FLOAT_MODE_SSE)
    // MXCSR: bit 15 flush-to-zero, bit 6 denormals-are-zero.
    static constexpr unsigned kFlushBits = 0x8040;
    FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushBits); }
    ~FlushDenormals() { _mm_setcsr(saved); }

private:
    unsigned saved;
#elif defined(MURMELO_FLOAT_MODE_ARM64)
    // FPCR bit 24 (FZ) flushes both operands and results.
    static constexpr unsigned long kFlushBits = 1ul << 24;
    FlushDenormals() : saved(__builtin_aarch64_get_fpcr64()) { __builtin_aarch64_set_fpcr64(saved | kFlushBits); }
    ~FlushDenormals() { __builtin_aarch64_set_fpcr64(saved); }

private:
    unsigned long saved;
#else
    // No control word we know of: the delay lines' silence gate alone brings
    // tails to zero.
    FlushDenormals() {}
#endif

public:
    FlushDenormals(const FlushDenormals &) = delete;
    FlushDenormals &operator=(const FlushDenormals &) = delete;
};

} // namespace murmelo
