// SSE2 versions of the dctType 1 dequantisation and 8x8 inverse DCT. They compute the
// plain versions' 32-bit wrapping arithmetic lane by lane, four rows or columns at once,
// so their results are the plain versions' to the bit.
#include "jpeg/JpegInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace xtpjpeg {

namespace {

// Low 32 bits of the lane-wise product (what SSE4.1's pmulld gives).
inline __m128i mul32(__m128i a, std::int32_t k) {
  const __m128i b = _mm_set1_epi32(k);
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), b);
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
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

// Steps 1 to 4 of the dctType 1 transform on four lanes; x and o may not alias.
inline void transform(const __m128i x[8], __m128i o[8]) {
  const __m128i a1 = add(mul32(x[1], 32138), mul32(x[7], 6393));
  const __m128i a3 = sub(mul32(x[1], 6393), mul32(x[7], 32138));
  const __m128i b1 = add(mul32(x[5], 18205), mul32(x[3], 27246));
  const __m128i b3 = sub(mul32(x[5], 27246), mul32(x[3], 18205));
  const __m128i d = sub(a1, b1);
  const __m128i e = sub(a3, b3);
  const __m128i f = add(d, e);
  const __m128i g = sub(d, e);
  const __m128i p = descale(add(a1, b1), 12);
  const __m128i q = descale(add(a3, b3), 12);
  const __m128i t0 = _mm_slli_epi32(add(x[0], x[4]), 15);
  const __m128i t1 = _mm_slli_epi32(sub(x[0], x[4]), 15);
  const __m128i h1 = add(mul32(x[2], 42813), mul32(x[6], 17734));
  const __m128i h2 = sub(mul32(x[2], 17734), mul32(x[6], 42813));
  const __m128i u0 = add(t0, h1), u3 = sub(t0, h1), u1 = add(t1, h2), u2 = sub(t1, h2);
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

inline __m128i widen(__m128i v16, bool high) {
  const __m128i half = high ? _mm_unpackhi_epi16(v16, v16) : _mm_unpacklo_epi16(v16, v16);
  return _mm_srai_epi32(half, 16);
}

}  // namespace

void idct8x8Type1Sse2(std::int16_t* block) {
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

void dequantType1Sse2(std::int16_t* block, const std::int16_t* table) {
  for (int i = 0; i < 64; i += 8) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_mullo_epi16(c, q));
  }
}

}  // namespace xtpjpeg

#endif
