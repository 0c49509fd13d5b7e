// 128-bit kernels shared by the SSE2 routines and the AVX2 class: the 16-bit 8x8 transpose
// and the whole dctType 0 (AAN) transform, whose network works on eight 16-bit lanes and so
// gains nothing from wider vectors, only from the AVX2 files' three-operand encoding.
// Everything here has internal linkage on purpose: each file compiles its own copy with its
// own instruction set, and no copy built for AVX2 may be picked by the linker for the
// baseline code.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace xtpjpeg {
namespace {

inline __m128i load8(const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store8(std::int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// 8x8 transpose of 16-bit values: r[i] becomes what was column i.
inline void transpose8(__m128i r[8])
{
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
    const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
    const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
    const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
    const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

// (x c + 16384) >> 15 in 16-bit lanes for a constant c = k x 65536 + c16 with c16 a signed
// 16-bit factor: the high and low halves of x c16 give the rounded Q15 product exactly
// ((p + 16384) >> 15 = 2 hi + ((lo >> 14) + 1) >> 1 for p = hi x 65536 + lo), and k x 65536 x
// adds 2 k x; the result wraps to 16 bits like the plain version's.
template <int C>
inline __m128i mulq15(__m128i x)
{
    constexpr int k = C >= 32768 ? (C + 32768) / 65536 : 0;
    constexpr int c16 = C - k * 65536;
    const __m128i f = _mm_set1_epi16(static_cast<std::int16_t>(c16));
    const __m128i hi = _mm_mulhi_epi16(x, f);
    const __m128i lo = _mm_mullo_epi16(x, f);
    const __m128i round = _mm_srli_epi16(_mm_add_epi16(_mm_srli_epi16(lo, 14), _mm_set1_epi16(1)), 1);
    __m128i r = _mm_add_epi16(_mm_add_epi16(hi, hi), round);
    for (int i = 0; i < k; ++i) r = _mm_add_epi16(r, _mm_add_epi16(x, x));
    return r;
}

// One 1-D AAN pass on eight lanes, the plain version's network step by step.
inline void aan(const __m128i x[8], __m128i o[8])
{
    auto a = [](__m128i u, __m128i v) { return _mm_add_epi16(u, v); };
    auto s = [](__m128i u, __m128i v) { return _mm_sub_epi16(u, v); };
    const __m128i tmp10 = a(x[0], x[4]);
    const __m128i tmp11 = s(x[0], x[4]);
    const __m128i tmp13 = a(x[2], x[6]);
    const __m128i tmp12 = s(mulq15<46341>(s(x[2], x[6])), tmp13);
    const __m128i e0 = a(tmp10, tmp13);
    const __m128i e3 = s(tmp10, tmp13);
    const __m128i e1 = a(tmp11, tmp12);
    const __m128i e2 = s(tmp11, tmp12);
    const __m128i z13 = a(x[5], x[3]);
    const __m128i z10 = s(x[5], x[3]);
    const __m128i z11 = a(x[1], x[7]);
    const __m128i z12 = s(x[1], x[7]);
    const __m128i t7 = a(z11, z13);
    const __m128i t11 = mulq15<46341>(s(z11, z13));
    const __m128i z1012 = a(z10, z12);
    const __m128i z5 = a(mulq15<35468>(z1012), mulq15<25080>(z1012));
    const __m128i t10 = s(mulq15<35468>(z12), z5);
    const __m128i t12 = s(z5, mulq15<85627>(z10));
    const __m128i t6 = s(t12, t7);
    const __m128i t5 = s(t11, t6);
    const __m128i t4 = a(t10, t5);
    o[0] = a(e0, t7);
    o[7] = s(e0, t7);
    o[1] = a(e1, t6);
    o[6] = s(e1, t6);
    o[2] = a(e2, t5);
    o[5] = s(e2, t5);
    o[4] = a(e3, t4);
    o[3] = s(e3, t4);
}

// Whether a row pass packed into eight vectors of 16-bit values left a value at either
// limit, where the pack may have saturated.
[[gnu::always_inline]] inline bool anyAtLimit(const __m128i x[8])
{
    __m128i high = _mm_set1_epi16(-32768), low = _mm_set1_epi16(32767);
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        high = _mm_max_epi16(high, x[i]);
        low = _mm_min_epi16(low, x[i]);
    }
    const __m128i limits =
        _mm_or_si128(_mm_cmpeq_epi16(high, _mm_set1_epi16(32767)), _mm_cmpeq_epi16(low, _mm_set1_epi16(-32768)));
    return _mm_movemask_epi8(limits) != 0;
}

// A transformed row plus 128, clamped to 0..255, stored as 16-bit samples.
inline void storeSamples(std::int16_t* row, __m128i v)
{
    v = _mm_add_epi16(v, _mm_set1_epi16(128));
    store8(row, _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(255)));
}

// The dctType 0 transform: the row pass on the transposed block (lane = row; a row whose
// coefficients 1..7 are zero gives x0 everywhere, as the network does), then the column pass
// with lane = column.
[[gnu::always_inline]] inline void idct8x8Type0Kernel(std::int16_t* block)
{
    __m128i x[8], o[8];
#pragma GCC unroll 8
    for (int r = 0; r < 8; ++r) x[r] = load8(block + r * 8);
    transpose8(x);
    aan(x, o);
    transpose8(o);
    aan(o, x);
#pragma GCC unroll 8
    for (int r = 0; r < 8; ++r) storeSamples(block + r * 8, _mm_srai_epi16(_mm_add_epi16(x[r], _mm_set1_epi16(8)), 4));
}

} // namespace
} // namespace xtpjpeg
