// SSE2 versions of the dctType 1 dequantisation and the 8x8 inverse DCTs of both families.
// They compute the plain versions' wrapping arithmetic lane by lane (32-bit lanes for
// dctType 1, 16-bit lanes for the AAN transform of dctType 0), so their results are the
// plain versions' to the bit.
#include "jpeg/JpegInternal.h"

#if defined(__SSE2__)
#include "jpeg/Idct.h"
#include "jpeg/Sse2Kernels.h"

#include <emmintrin.h>

#include <algorithm>

namespace xtpjpeg {

namespace {

// Low 32 bits of the lane-wise product with a constant below 65536 (what SSE4.1's pmulld
// gives): for a = hi x 65536 + lo, the low halves of lo k and hi k, and the high half of lo k
// shifted up, added modulo 2^32.
inline __m128i mul32(__m128i a, std::int32_t k)
{
    const __m128i f = _mm_set1_epi16(static_cast<std::int16_t>(k));
    return _mm_add_epi32(_mm_mullo_epi16(a, f), _mm_slli_epi32(_mm_mulhi_epu16(a, f), 16));
}
inline __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
inline __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
inline __m128i descale(__m128i v, int bits)
{
    return _mm_srai_epi32(_mm_add_epi32(v, _mm_set1_epi32(1 << (bits - 1))), bits);
}

inline void transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d)
{
    const __m128i t0 = _mm_unpacklo_epi32(a, b);
    const __m128i t1 = _mm_unpackhi_epi32(a, b);
    const __m128i t2 = _mm_unpacklo_epi32(c, d);
    const __m128i t3 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(t0, t2);
    b = _mm_unpackhi_epi64(t0, t2);
    c = _mm_unpacklo_epi64(t1, t3);
    d = _mm_unpackhi_epi64(t1, t3);
}

// Steps 2 to 4 of the dctType 1 transform on four lanes, from the products of step 1 and
// the even part's terms.
struct Terms {
    __m128i a1, a3, b1, b3, t0, t1, h1, h2;
};
inline void combine(const Terms& t, __m128i o[8])
{
    const __m128i d = sub(t.a1, t.b1);
    const __m128i e = sub(t.a3, t.b3);
    const __m128i f = add(d, e);
    const __m128i g = sub(d, e);
    const __m128i p = descale(add(t.a1, t.b1), 12);
    const __m128i q = descale(add(t.a3, t.b3), 12);
    const __m128i u0 = add(t.t0, t.h1), u3 = sub(t.t0, t.h1), u1 = add(t.t1, t.h2), u2 = sub(t.t1, t.h2);
    const __m128i p5 = mul32(p, 5793), q5 = mul32(q, 5793);
    o[0] = add(u0, p5);
    o[1] = add(u1, f);
    o[2] = add(u2, g);
    o[3] = add(u3, q5);
    o[4] = sub(u3, q5);
    o[5] = sub(u2, g);
    o[6] = sub(u1, f);
    o[7] = sub(u0, p5);
}

// The dctType 1 transform on four lanes of 32-bit inputs.
inline void transform(const __m128i x[8], __m128i o[8])
{
    Terms t;
    t.a1 = add(mul32(x[1], 32138), mul32(x[7], 6393));
    t.a3 = sub(mul32(x[1], 6393), mul32(x[7], 32138));
    t.b1 = add(mul32(x[5], 18205), mul32(x[3], 27246));
    t.b3 = sub(mul32(x[5], 27246), mul32(x[3], 18205));
    t.t0 = _mm_slli_epi32(add(x[0], x[4]), 15);
    t.t1 = _mm_slli_epi32(sub(x[0], x[4]), 15);
    t.h1 = add(mul32(x[2], 42813), mul32(x[6], 17734));
    t.h2 = sub(mul32(x[2], 17734), mul32(x[6], 42813));
    combine(t, o);
}

inline __m128i widen(__m128i v16, bool high)
{
    const __m128i half = high ? _mm_unpackhi_epi16(v16, v16) : _mm_unpacklo_epi16(v16, v16);
    return _mm_srai_epi32(half, 16);
}

// The dctType 1 transform with 32-bit intermediates throughout, for blocks whose row
// pass leaves values outside 16 bits.
void idct8x8Type1Wide(std::int16_t* block)
{
    alignas(16) std::int32_t ws[64];
    // Row pass, four rows per lane group: the inputs are transposed so that lane r holds row r.
    for (int g = 0; g < 2; ++g) {
        __m128i lo[4], hi[4];
        for (int r = 0; r < 4; ++r) {
            const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + (4 * g + r) * 8));
            lo[r] = widen(row, false);
            hi[r] = widen(row, true);
        }
        transpose4(lo[0], lo[1], lo[2], lo[3]);
        transpose4(hi[0], hi[1], hi[2], hi[3]);
        const __m128i x[8] = {lo[0], lo[1], lo[2], lo[3], hi[0], hi[1], hi[2], hi[3]};
        __m128i o[8];
        transform(x, o);
        for (auto& v : o) v = descale(v, 12);
        transpose4(o[0], o[1], o[2], o[3]);
        transpose4(o[4], o[5], o[6], o[7]);
        for (int r = 0; r < 4; ++r) {
            _mm_store_si128(reinterpret_cast<__m128i*>(ws + (4 * g + r) * 8), o[r]);
            _mm_store_si128(reinterpret_cast<__m128i*>(ws + (4 * g + r) * 8 + 4), o[4 + r]);
        }
    }
    // Column pass, four columns per lane group.
    const __m128i bias = _mm_set1_epi32(128);
    for (int h = 0; h < 2; ++h) {
        __m128i x[8], o[8];
        for (int r = 0; r < 8; ++r) x[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(ws + r * 8 + 4 * h));
        transform(x, o);
        for (int r = 0; r < 8; ++r) {
            // Clamp to 0..255 through saturating packs: the 32-bit value first saturates to
            // 16 bits, then to 0..255 as unsigned bytes, which keeps every in-range value.
            const __m128i v = _mm_add_epi32(descale(o[r], 21), bias);
            const __m128i s16 = _mm_packs_epi32(v, v);
            const __m128i u8 = _mm_packus_epi16(s16, s16);
            const __m128i w16 = _mm_unpacklo_epi8(u8, _mm_setzero_si128());
            _mm_storel_epi64(reinterpret_cast<__m128i*>(block + r * 8 + 4 * h), w16);
        }
    }
}

inline __m128i pair(std::int16_t a, std::int16_t b) { return _mm_set_epi16(b, a, b, a, b, a, b, a); }

// The dctType 1 transform for four lanes whose inputs are 16-bit: pmaddwd
// forms each sum of two products exactly in 32 bits. `Lo` picks lanes 0-3 or 4-7 of the
// eight 16-bit inputs. 42813 does not fit a signed 16-bit factor: 42813 x = -22723 x + 65536 x,
// and 65536 x is x in the upper half of a 32-bit lane. Forced inline: as a call, its inputs
// and outputs go through memory, which costs more than the arithmetic.
template <bool Lo>
[[gnu::always_inline]] inline void transform16(const __m128i x[8], __m128i o[8])
{
    auto mix = [](__m128i a, __m128i b) { return Lo ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b); };
    const __m128i zero = _mm_setzero_si128();
    const __m128i x17 = mix(x[1], x[7]);
    const __m128i x53 = mix(x[5], x[3]);
    const __m128i x26 = mix(x[2], x[6]);
    const __m128i x04 = mix(x[0], x[4]);
    Terms t;
    t.a1 = _mm_madd_epi16(x17, pair(32138, 6393));
    t.a3 = _mm_madd_epi16(x17, pair(6393, -32138));
    t.b1 = _mm_madd_epi16(x53, pair(18205, 27246));
    t.b3 = _mm_madd_epi16(x53, pair(27246, -18205));
    t.t0 = _mm_slli_epi32(_mm_madd_epi16(x04, pair(16384, 16384)), 1);
    t.t1 = _mm_slli_epi32(_mm_madd_epi16(x04, pair(16384, -16384)), 1);
    t.h1 = add(_mm_madd_epi16(x26, pair(-22723, 17734)), mix(zero, x[2]));
    t.h2 = sub(_mm_madd_epi16(x26, pair(17734, 22723)), mix(zero, x[6]));
    combine(t, o);
}

} // namespace

// Rows first on the transposed block (lane = row), then, when the row pass leaves 16-bit
// values (every real picture), the column pass on 16-bit inputs; otherwise the 32-bit one.
void idct8x8Type1Sse2(std::int16_t* block)
{
    __m128i x[8];
#pragma GCC unroll 8
    for (int r = 0; r < 8; ++r) x[r] = load8(block + r * 8);
    const __m128i ac = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_slli_si128(_mm_srli_si128(x[0], 2), 2), x[1]), _mm_or_si128(x[2], x[3])),
        _mm_or_si128(_mm_or_si128(x[4], x[5]), _mm_or_si128(x[6], x[7])));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(ac, _mm_setzero_si128())) == 0xFFFF) {
        // DC only: every row pass output of row 0 is v, the others 0 (the plain version's
        // shortcut), and every sample ((v x 32768 + 2^20) >> 21) + 128.
        const std::int32_t v = (static_cast<std::int32_t>(block[0]) * 32768 + 2048) >> 12;
        std::int32_t sample = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * 32768u + (1u << 20)) >> 21;
        sample = std::clamp(sample + 128, 0, 255);
        const __m128i fill = _mm_set1_epi16(static_cast<std::int16_t>(sample));
        for (int r = 0; r < 8; ++r) store8(block + r * 8, fill);
        return;
    }
    transpose8(x);
    __m128i lo[8], hi[8];
    transform16<true>(x, lo);
    transform16<false>(x, hi);
    // Packed with saturation, x[i] holds output column i of rows 0..7. A lane at either
    // limit may have saturated; such blocks (none in real pictures) take the 32-bit path.
    // Unrolled so that the vectors stay in registers (GCC leaves these loops rolled at -O2).
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) x[i] = _mm_packs_epi32(descale(lo[i], 12), descale(hi[i], 12));
    if (anyAtLimit(x)) {
        idct8x8Type1Wide(block);
        return;
    }
    transpose8(x);
    transform16<true>(x, lo);
    transform16<false>(x, hi);
    // ((v + 2^20) >> 21) fits 16 bits for any 32-bit v, so the pack does not saturate.
#pragma GCC unroll 8
    for (int r = 0; r < 8; ++r) storeSamples(block + r * 8, _mm_packs_epi32(descale(lo[r], 21), descale(hi[r], 21)));
}

void idct8x8Type0Sse2(std::int16_t* block) { idct8x8Type0Kernel(block); }

void dequantType1Sse2(std::int16_t* block, const std::int16_t* table)
{
    for (int i = 0; i < 64; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_mullo_epi16(c, q));
    }
}

} // namespace xtpjpeg

#endif
