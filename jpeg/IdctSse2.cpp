// SSE2 versions of the dctType 1 dequantisation and the 8x8 inverse DCTs of both families.
// They compute the plain versions' wrapping arithmetic lane by lane (32-bit lanes for
// dctType 1, 16-bit lanes for the AAN transform of dctType 0), so their results are the
// plain versions' to the bit.
#include "jpeg/JpegInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>

namespace xtpjpeg {

namespace {

// Low 32 bits of the lane-wise product with a constant below 65536 (what SSE4.1's pmulld
// gives): for a = hi x 65536 + lo, the low halves of lo k and hi k, and the high half of lo k
// shifted up, added modulo 2^32.
inline __m128i mul32(__m128i a, std::int32_t k) {
  const __m128i f = _mm_set1_epi16(static_cast<std::int16_t>(k));
  return _mm_add_epi32(_mm_mullo_epi16(a, f), _mm_slli_epi32(_mm_mulhi_epu16(a, f), 16));
}
inline __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
inline __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
inline __m128i descale(__m128i v, int bits) {
  return _mm_srai_epi32(_mm_add_epi32(v, _mm_set1_epi32(1 << (bits - 1))), bits);
}

inline void transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
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
inline void combine(const Terms& t, __m128i o[8]) {
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
inline void transform(const __m128i x[8], __m128i o[8]) {
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

inline __m128i widen(__m128i v16, bool high) {
  const __m128i half = high ? _mm_unpackhi_epi16(v16, v16) : _mm_unpacklo_epi16(v16, v16);
  return _mm_srai_epi32(half, 16);
}

// The dctType 1 transform with 32-bit intermediates throughout, for blocks whose row
// pass leaves values outside 16 bits.
void idct8x8Type1Wide(std::int16_t* block) {
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

inline __m128i load8(const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store8(std::int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// 8x8 transpose of 16-bit values: r[i] becomes what was column i.
inline void transpose8(__m128i r[8]) {
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

inline __m128i pair(std::int16_t a, std::int16_t b) {
  return _mm_set_epi16(b, a, b, a, b, a, b, a);
}

// The dctType 1 transform for four lanes whose inputs are 16-bit: pmaddwd
// forms each sum of two products exactly in 32 bits. `Lo` picks lanes 0-3 or 4-7 of the
// eight 16-bit inputs. 42813 does not fit a signed 16-bit factor: 42813 x = -22723 x + 65536 x,
// and 65536 x is x in the upper half of a 32-bit lane. Forced inline: as a call, its inputs
// and outputs go through memory, which costs more than the arithmetic.
template <bool Lo>
[[gnu::always_inline]] inline void transform16(const __m128i x[8], __m128i o[8]) {
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

// (x c + 16384) >> 15 in 16-bit lanes for a constant c = k x 65536 + c16 with c16 a signed
// 16-bit factor: the high and low halves of x c16 give the rounded Q15 product exactly
// ((p + 16384) >> 15 = 2 hi + ((lo >> 14) + 1) >> 1 for p = hi x 65536 + lo), and k x 65536 x
// adds 2 k x; the result wraps to 16 bits like the plain version's.
template <int C>
inline __m128i mulq15(__m128i x) {
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
inline void aan(const __m128i x[8], __m128i o[8]) {
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

}  // namespace

// Rows first on the transposed block (lane = row), then, when the row pass leaves 16-bit
// values (every real picture), the column pass on 16-bit inputs; otherwise the 32-bit one.
void idct8x8Type1Sse2(std::int16_t* block) {
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
  __m128i high = _mm_set1_epi16(-32768), low = _mm_set1_epi16(32767);
  // Unrolled so that the vectors stay in registers (GCC leaves these loops rolled at -O2).
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    x[i] = _mm_packs_epi32(descale(lo[i], 12), descale(hi[i], 12));
    high = _mm_max_epi16(high, x[i]);
    low = _mm_min_epi16(low, x[i]);
  }
  const __m128i limits = _mm_or_si128(_mm_cmpeq_epi16(high, _mm_set1_epi16(32767)),
                                      _mm_cmpeq_epi16(low, _mm_set1_epi16(-32768)));
  if (_mm_movemask_epi8(limits) != 0) {
    idct8x8Type1Wide(block);
    return;
  }
  transpose8(x);
  transform16<true>(x, lo);
  transform16<false>(x, hi);
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i top = _mm_set1_epi16(255);
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) {
    // ((v + 2^20) >> 21) fits 16 bits for any 32-bit v, so the pack does not saturate.
    __m128i v = _mm_add_epi16(_mm_packs_epi32(descale(lo[r], 21), descale(hi[r], 21)), bias);
    v = _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), top);
    store8(block + r * 8, v);
  }
}

// The row pass on the transposed block (lane = row; a row whose coefficients 1..7 are zero
// gives x0 everywhere, as the network does), then the column pass with lane = column.
void idct8x8Type0Sse2(std::int16_t* block) {
  __m128i x[8], o[8];
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) x[r] = load8(block + r * 8);
  transpose8(x);
  aan(x, o);
  transpose8(o);
  aan(o, x);
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i top = _mm_set1_epi16(255);
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) {
    __m128i v = _mm_add_epi16(_mm_srai_epi16(_mm_add_epi16(x[r], _mm_set1_epi16(8)), 4), bias);
    v = _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), top);
    store8(block + r * 8, v);
  }
}

void dequantType1Sse2(std::int16_t* block, const std::int16_t* table) {
  for (int i = 0; i < 64; i += 8) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_mullo_epi16(c, q));
  }
}

}  // namespace xtpjpeg

#endif
