// AVX2 versions of the dctType 1 dequantisation and the 8x8 inverse DCTs of both families,
// for the AVX2 class only (this file alone is compiled for AVX2). The dctType 1 transform
// runs the SSE2 version's exact 16-bit-input arithmetic on all eight 32-bit lanes of a
// pass at once; the AAN transform is the shared 128-bit kernel. Their results are the plain
// versions' to the bit. Nothing from the standard library is used here: an inline function
// compiled for AVX2 could be merged with the baseline copy of the same function.
#include "jpeg/JpegInternal.h"

#if defined(XTPJPEG_AVX2)
#include "jpeg/Idct.h"
#include "jpeg/Sse2Kernels.h"

#include <immintrin.h>

namespace xtpjpeg {

namespace {

inline __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
inline __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
inline __m256i descale(__m256i v, int bits)
{
    return _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(1 << (bits - 1))), bits);
}

inline __m256i factors(std::int16_t a, std::int16_t b)
{
    return _mm256_set1_epi32(static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(static_cast<std::uint16_t>(b)) << 16) | static_cast<std::uint16_t>(a)));
}

// The dctType 1 transform of eight lanes into 32-bit outputs, from the inputs paired as
// (x0, x4), (x1, x7), (x5, x3), (x2, x6) in each 32-bit lane: each sum of two products is
// formed exactly by pmaddwd; 42813 x = -22723 x + 65536 x, as in the SSE2 version, and
// 65536 x2 and 65536 x6 are the pair (x2, x6) with the other half cleared.
[[gnu::always_inline]] inline void transform(__m256i x04, __m256i x17, __m256i x53, __m256i x26, __m256i o[8])
{
    const __m256i a1 = _mm256_madd_epi16(x17, factors(32138, 6393));
    const __m256i a3 = _mm256_madd_epi16(x17, factors(6393, -32138));
    const __m256i b1 = _mm256_madd_epi16(x53, factors(18205, 27246));
    const __m256i b3 = _mm256_madd_epi16(x53, factors(27246, -18205));
    const __m256i t0 = _mm256_slli_epi32(_mm256_madd_epi16(x04, factors(16384, 16384)), 1);
    const __m256i t1 = _mm256_slli_epi32(_mm256_madd_epi16(x04, factors(16384, -16384)), 1);
    const __m256i h1 = add(_mm256_madd_epi16(x26, factors(-22723, 17734)), _mm256_slli_epi32(x26, 16));
    const __m256i h2 = sub(_mm256_madd_epi16(x26, factors(17734, 22723)),
                           _mm256_and_si256(x26, _mm256_set1_epi32(static_cast<std::int32_t>(0xFFFF0000u))));
    const __m256i d = sub(a1, b1);
    const __m256i e = sub(a3, b3);
    const __m256i f = add(d, e);
    const __m256i g = sub(d, e);
    const __m256i p5 = _mm256_mullo_epi32(descale(add(a1, b1), 12), _mm256_set1_epi32(5793));
    const __m256i q5 = _mm256_mullo_epi32(descale(add(a3, b3), 12), _mm256_set1_epi32(5793));
    const __m256i u0 = add(t0, h1), u3 = sub(t0, h1), u1 = add(t1, h2), u2 = sub(t1, h2);
    o[0] = add(u0, p5);
    o[1] = add(u1, f);
    o[2] = add(u2, g);
    o[3] = add(u3, q5);
    o[4] = sub(u3, q5);
    o[5] = sub(u2, g);
    o[6] = sub(u1, f);
    o[7] = sub(u0, p5);
}

// Eight 32-bit lanes packed with signed saturation into eight 16-bit lanes.
inline __m128i pack(__m256i v) { return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)); }

// Whether four vectors of a packed row pass hold a value at either 16-bit limit, where the
// pack may have saturated.
inline bool anyAtLimit(const __m256i v[4])
{
    const __m256i high = _mm256_max_epi16(_mm256_max_epi16(v[0], v[1]), _mm256_max_epi16(v[2], v[3]));
    const __m256i low = _mm256_min_epi16(_mm256_min_epi16(v[0], v[1]), _mm256_min_epi16(v[2], v[3]));
    const __m256i limits = _mm256_or_si256(_mm256_cmpeq_epi16(high, _mm256_set1_epi16(32767)),
                                           _mm256_cmpeq_epi16(low, _mm256_set1_epi16(-32768)));
    return !_mm256_testz_si256(limits, limits);
}

} // namespace

// As the SSE2 version: rows first (lane = row), then the column pass; a block whose row
// pass leaves a value at a 16-bit limit (none in real pictures) takes the SSE2 version's
// 32-bit path.
void idct8x8Type1Avx2(std::int16_t* block)
{
    const __m256i r01 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i r23 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 16));
    const __m256i r45 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
    const __m256i r67 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 48));
    const __m256i dcLane = _mm256_setr_epi16(0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i ac = _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(r01, dcLane), r23), _mm256_or_si256(r45, r67));
    if (_mm256_testz_si256(ac, ac)) {
        // DC only: every row pass output of row 0 is v, the others 0, and every sample
        // ((v x 32768 + 2^20) >> 21) + 128, clamped.
        const std::int32_t v = (static_cast<std::int32_t>(block[0]) * 32768 + 2048) >> 12;
        std::int32_t sample =
            (static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * 32768u + (1u << 20)) >> 21) + 128;
        sample = sample < 0 ? 0 : sample > 255 ? 255 : sample;
        const __m256i fill = _mm256_set1_epi16(static_cast<std::int16_t>(sample));
        for (int r = 0; r < 64; r += 16) _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + r), fill);
        return;
    }
    // Row pass inputs without a 16-bit transpose: each row's coefficients shuffled into the
    // four pairs, then a 32-bit transpose of the pairs, which leaves the rows in the lane
    // order 0, 2, 4, 6, 1, 3, 5, 7.
    const __m256i order = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 14, 15, 10, 11, 6, 7, 4, 5, 12, 13, 0, 1, 8, 9, 2, 3, 14,
                                           15, 10, 11, 6, 7, 4, 5, 12, 13);
    const __m256i p01 = _mm256_shuffle_epi8(r01, order), p23 = _mm256_shuffle_epi8(r23, order);
    const __m256i p45 = _mm256_shuffle_epi8(r45, order), p67 = _mm256_shuffle_epi8(r67, order);
    const __m256i a = _mm256_unpacklo_epi32(p01, p23), b = _mm256_unpackhi_epi32(p01, p23);
    const __m256i c = _mm256_unpacklo_epi32(p45, p67), d = _mm256_unpackhi_epi32(p45, p67);
    __m256i o[8];
    transform(_mm256_unpacklo_epi64(a, c), _mm256_unpackhi_epi64(a, c), _mm256_unpacklo_epi64(b, d),
              _mm256_unpackhi_epi64(b, d), o);
    // Row pass outputs packed two columns a vector: packs of columns c and c + 1 holds, in
    // its low half, rows 0, 2, 4, 6 of each, in its high half rows 1, 3, 5, 7.
    __m256i cols[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) cols[i] = _mm256_packs_epi32(descale(o[2 * i], 12), descale(o[2 * i + 1], 12));
    if (anyAtLimit(cols)) {
        idct8x8Type1Sse2(block);
        return;
    }
    // Column pass inputs: the pairs (x0, x4), (x2, x6) of both columns from the low half,
    // (x1, x7), (x5, x3) from the high half, then gathered by column (lane = column).
    const __m256i toPairs = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0, 1, 6, 7, 8, 9, 14,
                                             15, 4, 5, 2, 3, 12, 13, 10, 11);
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) cols[i] = _mm256_shuffle_epi8(cols[i], toPairs);
    const __m256i lo0 = _mm256_unpacklo_epi64(cols[0], cols[1]), hi0 = _mm256_unpackhi_epi64(cols[0], cols[1]);
    const __m256i lo1 = _mm256_unpacklo_epi64(cols[2], cols[3]), hi1 = _mm256_unpackhi_epi64(cols[2], cols[3]);
    transform(_mm256_permute2x128_si256(lo0, lo1, 0x20), _mm256_permute2x128_si256(lo0, lo1, 0x31),
              _mm256_permute2x128_si256(hi0, hi1, 0x31), _mm256_permute2x128_si256(hi0, hi1, 0x20), o);
    // Two rows a store: ((v + 2^20) >> 21) fits 16 bits for any 32-bit v, so the pack does
    // not saturate.
    const __m256i offset = _mm256_set1_epi16(128), limit = _mm256_set1_epi16(255), zero = _mm256_setzero_si256();
#pragma GCC unroll 4
    for (int r = 0; r < 8; r += 2) {
        const __m256i rows =
            _mm256_permute4x64_epi64(_mm256_packs_epi32(descale(o[r], 21), descale(o[r + 1], 21)), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + r * 8),
                            _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(rows, offset), zero), limit));
    }
}

namespace {

// One pass of the reduced 4x4 transform on eight 32-bit lanes: the plain version's
// even and odd terms, with its wrapping 32-bit products and sums, lane by lane.
struct Reduced4 {
    __m256i even0, even1, odd0, odd2;
};
inline Reduced4 reduced4(__m256i x0, __m256i x1, __m256i x2, __m256i x3, __m256i x5, __m256i x6, __m256i x7)
{
    const auto times = [](__m256i v, int c) { return _mm256_mullo_epi32(v, _mm256_set1_epi32(c)); };
    const __m256i t0 = _mm256_slli_epi32(x0, 14);
    const __m256i t2 = sub(times(x2, 15137), times(x6, 6270));
    return {add(t0, t2), sub(t0, t2),
            add(sub(add(times(x5, 11893), times(x1, 8697)), times(x7, 1730)), times(x3, -17799)),
            add(sub(times(x3, 7373), add(times(x7, 4176), times(x5, 4926))), times(x1, 20995))};
}
inline __m256i widen(const std::int16_t* row) { return _mm256_cvtepi16_epi32(load8(row)); }

// 4x4 transpose of the 32-bit lanes of each 128-bit half: v[i] becomes what was lane i
// of each of v[0..3].
inline void transpose4(__m256i v[4])
{
    const __m256i a = _mm256_unpacklo_epi32(v[0], v[1]), b = _mm256_unpacklo_epi32(v[2], v[3]);
    const __m256i c = _mm256_unpackhi_epi32(v[0], v[1]), d = _mm256_unpackhi_epi32(v[2], v[3]);
    v[0] = _mm256_unpacklo_epi64(a, b);
    v[1] = _mm256_unpackhi_epi64(a, b);
    v[2] = _mm256_unpacklo_epi64(c, d);
    v[3] = _mm256_unpackhi_epi64(c, d);
}

} // namespace

// The columns pass with a lane per column (column 4, which takes no part, is computed and
// dropped), the rows pass with a lane per row; only the top-left 4x4 samples are stored.
void idct4x4Type1Avx2(std::int16_t* block)
{
    const Reduced4 c = reduced4(widen(block), widen(block + 8), widen(block + 16), widen(block + 24), widen(block + 40),
                                widen(block + 48), widen(block + 56));
    // Rows 0..3 of the work array, a lane per column; then, per 128-bit half, the lanes of
    // columns 0..3 (low) and 4..7 (high) turned into a vector per column.
    __m256i rows[4] = {descale(add(c.even0, c.odd2), 12), descale(add(c.even1, c.odd0), 12),
                       descale(sub(c.even1, c.odd0), 12), descale(sub(c.even0, c.odd2), 12)};
    transpose4(rows);
    const auto low = [](__m256i v) { return _mm256_castsi128_si256(_mm256_castsi256_si128(v)); };
    const auto high = [](__m256i v) { return _mm256_castsi128_si256(_mm256_extracti128_si256(v, 1)); };
    const Reduced4 r =
        reduced4(low(rows[0]), low(rows[1]), low(rows[2]), low(rows[3]), high(rows[1]), high(rows[2]), high(rows[3]));
    __m256i out[4] = {add(descale(add(r.even0, r.odd2), 19), _mm256_set1_epi32(128)),
                      add(descale(add(r.even1, r.odd0), 19), _mm256_set1_epi32(128)),
                      add(descale(sub(r.even1, r.odd0), 19), _mm256_set1_epi32(128)),
                      add(descale(sub(r.even0, r.odd2), 19), _mm256_set1_epi32(128))};
    // out[k] holds output k of rows 0..3: turned, it is a row per vector.
    transpose4(out);
    const __m128i limit = _mm_set1_epi16(255), zero = _mm_setzero_si128();
    const __m128i rows01 =
        _mm_max_epi16(_mm_min_epi16(pack(_mm256_permute2x128_si256(out[0], out[1], 0x20)), limit), zero);
    const __m128i rows23 =
        _mm_max_epi16(_mm_min_epi16(pack(_mm256_permute2x128_si256(out[2], out[3], 0x20)), limit), zero);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(block), rows01);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(block + 8), _mm_unpackhi_epi64(rows01, rows01));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(block + 16), rows23);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(block + 24), _mm_unpackhi_epi64(rows23, rows23));
}

void idct8x8Type0Avx2(std::int16_t* block) { idct8x8Type0Kernel(block); }

void dequantType1Avx2(std::int16_t* block, const std::int16_t* table)
{
    for (int i = 0; i < 64; i += 16) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i));
        const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(table + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + i), _mm256_mullo_epi16(c, q));
    }
}

} // namespace xtpjpeg

#endif
