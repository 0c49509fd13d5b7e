// AVX2 versions of the whole-MCU conversions of the fast output paths, for the AVX2 class
// only (this file alone is compiled for AVX2): YCbCr with luma 1x1, 2x1 or 2x2 and chroma
// 1x1 to RGB or BGR, three bytes per pixel, chroma replicated; and gray to three equal bytes.
// They work as the SSE2 versions (the same exact 16-bit chroma terms, clamping through
// unsigned saturation) on two rows of 16 pixels, or four of 8, per 256-bit vector, and so
// give the plain routines' bytes for samples 0..255. Nothing from the standard library is
// used here: an inline function compiled for AVX2 could be merged with the baseline copy.
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"

#if defined(XTPJPEG_AVX2)
#include <immintrin.h>

namespace xtpjpeg {

namespace {

inline __m128i load8(const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m256i load16(const std::int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void store16(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline void store32(std::uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
inline __m256i k16(std::int16_t v) { return _mm256_set1_epi16(v); }

// The terms dR, dG, dB of sixteen chroma samples, split as in the SSE2 version:
//   (359 Cr - 45813) >> 8 = Cr + ((103 Cr - 20213) >> 8) - 100
//   (88 Cb + 183 Cr - 34806) >> 8 = Cr + ((88 Cb - 73 Cr - 2038) >> 8) - 128
//   (454 Cb - 57937) >> 8 = 2 Cb + ((7599 - 58 Cb) >> 8) - 256
struct ChromaTerms {
    __m256i r, g, b;
};
inline ChromaTerms chromaTerms(const std::int16_t* cbRows, const std::int16_t* crRows)
{
    const __m256i cb = load16(cbRows), cr = load16(crRows);
    const __m256i r = _mm256_srai_epi16(_mm256_sub_epi16(_mm256_mullo_epi16(cr, k16(103)), k16(20213)), 8);
    const __m256i g = _mm256_srai_epi16(
        _mm256_sub_epi16(_mm256_sub_epi16(_mm256_mullo_epi16(cb, k16(88)), _mm256_mullo_epi16(cr, k16(73))), k16(2038)),
        8);
    const __m256i b = _mm256_srai_epi16(_mm256_sub_epi16(k16(7599), _mm256_mullo_epi16(cb, k16(58))), 8);
    return {_mm256_add_epi16(cr, _mm256_sub_epi16(r, k16(100))), _mm256_add_epi16(cr, _mm256_sub_epi16(g, k16(128))),
            _mm256_add_epi16(_mm256_add_epi16(cb, cb), _mm256_sub_epi16(b, k16(256)))};
}

// Each term of one chroma row (the low eight samples, or with `High` the high eight)
// doubled, for the sixteen pixels of a luma row: the 64-bit quarters are spread first so
// that the in-lane unpack gives pixels 0-7 in the low half and 8-15 in the high half.
template <bool High>
inline ChromaTerms doubled(const ChromaTerms& t)
{
    auto twice = [](__m256i v) {
        const __m256i spread = _mm256_permute4x64_epi64(v, High ? 0xFA : 0x50);
        return _mm256_unpacklo_epi16(spread, spread);
    };
    return {twice(t.r), twice(t.g), twice(t.b)};
}

// The three-way byte interleave of the SSE2 version, in each 128-bit half on its own: the
// 16 elements of a, b, c of a half become the 48 bytes a0 b0 c0 a1 b1 c1 ... of that half,
// in v[0], v[1], v[2].
struct Triples {
    __m256i v[3];
};
template <int Bits>
inline void interleaveStep(__m256i& a, __m256i& b, __m256i& c)
{
    const __m256i low = Bits == 8    ? _mm256_set1_epi16(0x00FF)
                        : Bits == 16 ? _mm256_set1_epi32(0x0000FFFF)
                                     : _mm256_set1_epi64x(0x00000000FFFFFFFFll);
    auto up = [](__m256i v) {
        return Bits == 8 ? _mm256_slli_epi16(v, 8) : Bits == 16 ? _mm256_slli_epi32(v, 16) : _mm256_slli_epi64(v, 32);
    };
    auto down = [](__m256i v) {
        return Bits == 8 ? _mm256_srli_epi16(v, 8) : Bits == 16 ? _mm256_srli_epi32(v, 16) : _mm256_srli_epi64(v, 32);
    };
    const __m256i first = _mm256_or_si256(_mm256_and_si256(a, low), up(b));
    const __m256i second = _mm256_or_si256(_mm256_and_si256(c, low), _mm256_andnot_si256(low, a));
    const __m256i third = _mm256_or_si256(down(b), _mm256_andnot_si256(low, c));
    a = first;
    b = second;
    c = third;
}
inline Triples interleave(__m256i c0, __m256i c1, __m256i c2)
{
    interleaveStep<8>(c0, c1, c2);
    interleaveStep<16>(c0, c1, c2);
    interleaveStep<32>(c0, c1, c2);
    return {{_mm256_unpacklo_epi64(c0, c1), _mm256_blend_epi32(c0, c2, 0x33), _mm256_unpackhi_epi64(c1, c2)}};
}

// Clamped R, G, B of sixteen luma samples and their terms, in 16-bit lanes.
struct Pixels16 {
    __m256i r, g, b;
};
inline Pixels16 pixels(__m256i y, const ChromaTerms& t)
{
    return {_mm256_add_epi16(y, t.r), _mm256_sub_epi16(y, t.g), _mm256_add_epi16(y, t.b)};
}

// Two rows of sixteen pixels, 48 bytes each, at a and b.
template <bool Bgr>
inline void storeRowPair(const Pixels16& pa, const Pixels16& pb, std::uint8_t* a, std::uint8_t* b)
{
    // The pack takes eight lanes of each row per half; the permute puts row a in the low half.
    auto bytes = [](__m256i x, __m256i y) { return _mm256_permute4x64_epi64(_mm256_packus_epi16(x, y), 0xD8); };
    const __m256i r = bytes(pa.r, pb.r), g = bytes(pa.g, pb.g), bl = bytes(pa.b, pb.b);
    const Triples px = Bgr ? interleave(bl, g, r) : interleave(r, g, bl);
    store32(a, _mm256_permute2x128_si256(px.v[0], px.v[1], 0x20));
    store16(a + 32, _mm256_castsi256_si128(px.v[2]));
    store32(b, _mm256_permute2x128_si256(px.v[0], px.v[1], 0x31));
    store16(b + 32, _mm256_extracti128_si256(px.v[2], 1));
}

// A luma row of 2xV MCU: the left and right blocks' rows side by side.
inline __m256i lumaRow(const std::int16_t (*b)[64], int y)
{
    const std::int16_t* row = b[(y >> 3) * 2] + (y & 7) * 8;
    return _mm256_inserti128_si256(_mm256_castsi128_si256(load8(row)), load8(row + 64), 1);
}

// Luma 2x1 or 2x2: two chroma rows at a time serve two (2x1) or four (2x2) luma rows.
template <int V, bool Bgr>
void convertYcc2xV(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t, std::int32_t)
{
    const std::int16_t* cb = b[2 * V];
    const std::int16_t* cr = b[2 * V + 1];
    for (int cy = 0; cy < 8; cy += 2) {
        const ChromaTerms t = chromaTerms(cb + cy * 8, cr + cy * 8);
        const ChromaTerms first = doubled<false>(t), second = doubled<true>(t);
        for (int k = 0; k < 2; ++k) {
            // Rows y and y + 1: with V = 2 both of chroma row cy + k, with V = 1 of cy and cy + 1.
            const int y = V == 2 ? 2 * (cy + k) : cy;
            const ChromaTerms& ta = V == 2 ? (k ? second : first) : first;
            const ChromaTerms& tb = V == 2 ? (k ? second : first) : second;
            storeRowPair<Bgr>(pixels(lumaRow(b, y), ta), pixels(lumaRow(b, y + 1), tb), dst + y * lineBytes,
                              dst + (y + 1) * lineBytes);
            if (V == 1) break;
        }
    }
}

// Sixteen pixels of each half (two rows of eight, 24 bytes each) at a0, a1 (low half) and
// b0, b1 (high half).
inline void storeFourRows(const Triples& px, std::uint8_t* a0, std::uint8_t* a1, std::uint8_t* b0, std::uint8_t* b1)
{
    const __m128i lo[3] = {_mm256_castsi256_si128(px.v[0]), _mm256_castsi256_si128(px.v[1]),
                           _mm256_castsi256_si128(px.v[2])};
    const __m128i hi[3] = {_mm256_extracti128_si256(px.v[0], 1), _mm256_extracti128_si256(px.v[1], 1),
                           _mm256_extracti128_si256(px.v[2], 1)};
    auto two = [](const __m128i v[3], std::uint8_t* d0, std::uint8_t* d1) {
        store16(d0, v[0]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d0 + 16), v[1]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), _mm_srli_si128(v[1], 8));
        store16(d1 + 8, v[2]);
    };
    two(lo, a0, a1);
    two(hi, b0, b1);
}

// Luma 1x1: 8 pixels a row, four rows at a time. Rows y, y + 1 lie in one vector and
// y + 2, y + 3 in the next, so the in-lane pack pairs row y with y + 2 and y + 1 with y + 3.
template <bool Bgr>
void convertYcc1x1(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t, std::int32_t)
{
    for (int y = 0; y < 8; y += 4) {
        const Pixels16 p01 = pixels(load16(b[0] + y * 8), chromaTerms(b[1] + y * 8, b[2] + y * 8));
        const Pixels16 p23 = pixels(load16(b[0] + y * 8 + 16), chromaTerms(b[1] + y * 8 + 16, b[2] + y * 8 + 16));
        const __m256i r = _mm256_packus_epi16(p01.r, p23.r);
        const __m256i g = _mm256_packus_epi16(p01.g, p23.g);
        const __m256i bl = _mm256_packus_epi16(p01.b, p23.b);
        std::uint8_t* d = dst + y * lineBytes;
        storeFourRows(Bgr ? interleave(bl, g, r) : interleave(r, g, bl), d, d + 2 * lineBytes, d + lineBytes,
                      d + 3 * lineBytes);
    }
}

// Gray to three equal bytes a pixel, four rows at a time as above.
void grayTriplesAvx2(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t,
                     std::int32_t)
{
    for (int y = 0; y < 8; y += 4) {
        const __m256i g = _mm256_packus_epi16(load16(b[0] + y * 8), load16(b[0] + y * 8 + 16));
        std::uint8_t* d = dst + y * lineBytes;
        storeFourRows(interleave(g, g, g), d, d + 2 * lineBytes, d + lineBytes, d + 3 * lineBytes);
    }
}

} // namespace

void fillInnerRoutinesAvx2(RoutineTable& table)
{
    table.inner[1] = convertYcc1x1<false>;
    table.inner[2] = convertYcc1x1<true>;
    table.inner[3] = convertYcc2xV<2, false>;
    table.inner[4] = convertYcc2xV<2, true>;
    table.inner[5] = convertYcc2xV<1, false>;
    table.inner[6] = convertYcc2xV<1, true>;
    table.grayTriples = grayTriplesAvx2;
}

} // namespace xtpjpeg

#endif
