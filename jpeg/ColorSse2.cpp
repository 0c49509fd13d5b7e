// SSE2 versions of the whole-MCU conversions of the fast output paths: YCbCr with luma
// 1x1, 2x1 or 2x2 and chroma 1x1 to RGB or BGR, three bytes per pixel, chroma replicated;
// and gray to three equal bytes.
// They are called only for an MCU that lies wholly inside the output, and give the plain
// routines' bytes for samples 0..255 (what the transforms leave): the chroma terms are
// formed exactly in 16-bit lanes, and the sums of luma and chroma terms clamp through
// unsigned saturation.
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace xtpjpeg {

namespace {

inline __m128i load8(const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The terms dR, dG, dB of eight chroma samples in 16-bit lanes. For samples 0..255 the
// plain terms split exactly into a multiple of the sample and a 16-bit remainder, with the
// bias moved by a multiple of 256 into range:
//   (359 Cr - 45813) >> 8 = Cr + ((103 Cr - 20213) >> 8) - 100
//   (88 Cb + 183 Cr - 34806) >> 8 = Cr + ((88 Cb - 73 Cr - 2038) >> 8) - 128
//   (454 Cb - 57937) >> 8 = 2 Cb + ((7599 - 58 Cb) >> 8) - 256
struct ChromaTerms {
    __m128i r, g, b;
};
inline __m128i k16(std::int16_t v) { return _mm_set1_epi16(v); }
inline ChromaTerms chromaTerms(const std::int16_t* cbRow, const std::int16_t* crRow)
{
    const __m128i cb = load8(cbRow), cr = load8(crRow);
    const __m128i r = _mm_srai_epi16(_mm_sub_epi16(_mm_mullo_epi16(cr, k16(103)), k16(20213)), 8);
    const __m128i g = _mm_srai_epi16(
        _mm_sub_epi16(_mm_sub_epi16(_mm_mullo_epi16(cb, k16(88)), _mm_mullo_epi16(cr, k16(73))), k16(2038)), 8);
    const __m128i b = _mm_srai_epi16(_mm_sub_epi16(k16(7599), _mm_mullo_epi16(cb, k16(58))), 8);
    return {_mm_add_epi16(cr, _mm_sub_epi16(r, k16(100))), _mm_add_epi16(cr, _mm_sub_epi16(g, k16(128))),
            _mm_add_epi16(_mm_add_epi16(cb, cb), _mm_sub_epi16(b, k16(256)))};
}

// Sixteen pixels of three channels, interleaved into 48 bytes.
struct Triples {
    __m128i v[3];
};

// One step of the three-way interleave a0 b0 c0 a1 b1 c1 ... of elements of `Bits` bits in
// lanes of twice that: pairs of neighbouring output elements become the elements of the next
// step, (a0, b0) (c0, a1) (b1, c1) (a2, b2) ..., formed lane by lane from the even and odd
// elements of the three streams.
template <int Bits>
inline void interleaveStep(__m128i& a, __m128i& b, __m128i& c)
{
    const __m128i low = Bits == 8    ? _mm_set1_epi16(0x00FF)
                        : Bits == 16 ? _mm_set1_epi32(0x0000FFFF)
                                     : _mm_set_epi32(0, -1, 0, -1);
    auto up = [](__m128i v) {
        return Bits == 8 ? _mm_slli_epi16(v, 8) : Bits == 16 ? _mm_slli_epi32(v, 16) : _mm_slli_epi64(v, 32);
    };
    auto down = [](__m128i v) {
        return Bits == 8 ? _mm_srli_epi16(v, 8) : Bits == 16 ? _mm_srli_epi32(v, 16) : _mm_srli_epi64(v, 32);
    };
    const __m128i first = _mm_or_si128(_mm_and_si128(a, low), up(b));                     // (a even, b even)
    const __m128i second = _mm_or_si128(_mm_and_si128(c, low), _mm_andnot_si128(low, a)); // (c even, a odd)
    const __m128i third = _mm_or_si128(down(b), _mm_andnot_si128(low, c));                // (b odd, c odd)
    a = first;
    b = second;
    c = third;
}

inline Triples interleave(__m128i c0, __m128i c1, __m128i c2)
{
    interleaveStep<8>(c0, c1, c2);
    interleaveStep<16>(c0, c1, c2);
    interleaveStep<32>(c0, c1, c2);
    // The 64-bit elements: a0 b0 | c0 a1 | b1 c1.
    const __m128i middle = _mm_castpd_si128(_mm_move_sd(_mm_castsi128_pd(c0), _mm_castsi128_pd(c2)));
    return {{_mm_unpacklo_epi64(c0, c1), middle, _mm_unpackhi_epi64(c1, c2)}};
}

// Sixteen pixels from two vectors of eight luma samples each and the chroma terms of
// each pixel (also two vectors each).
template <bool Bgr>
inline Triples convert16(__m128i y0, __m128i y1, const ChromaTerms& t0, const ChromaTerms& t1)
{
    const __m128i r = _mm_packus_epi16(_mm_add_epi16(y0, t0.r), _mm_add_epi16(y1, t1.r));
    const __m128i g = _mm_packus_epi16(_mm_sub_epi16(y0, t0.g), _mm_sub_epi16(y1, t1.g));
    const __m128i b = _mm_packus_epi16(_mm_add_epi16(y0, t0.b), _mm_add_epi16(y1, t1.b));
    return Bgr ? interleave(b, g, r) : interleave(r, g, b);
}

// Each chroma term of four samples doubled: the terms of pixels 0-7 (low) or 8-15.
inline ChromaTerms doubled(const ChromaTerms& t, bool high)
{
    auto twice = [high](__m128i v) { return high ? _mm_unpackhi_epi16(v, v) : _mm_unpacklo_epi16(v, v); };
    return {twice(t.r), twice(t.g), twice(t.b)};
}

// Luma 2x1 or 2x2: 16 pixels a row, the left and right luma blocks side by side.
template <int V, bool Bgr>
void convertYcc2xV(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t, std::int32_t)
{
    const std::int16_t* cb = b[2 * V];
    const std::int16_t* cr = b[2 * V + 1];
    for (int cy = 0; cy < 8; ++cy) {
        const ChromaTerms t = chromaTerms(cb + cy * 8, cr + cy * 8);
        const ChromaTerms left = doubled(t, false), right = doubled(t, true);
        for (int k = 0; k < V; ++k) {
            const int y = cy * V + k;
            const std::int16_t* row = b[(y >> 3) * 2] + (y & 7) * 8;
            const Triples px = convert16<Bgr>(load8(row), load8(row + 64), left, right);
            std::uint8_t* d = dst + y * lineBytes;
            for (int i = 0; i < 3; ++i) store16(d + 16 * i, px.v[i]);
        }
    }
}

// Sixteen pixels as two rows of eight (24 bytes each).
inline void storeTwoRows(std::uint8_t* d0, std::ptrdiff_t lineBytes, const Triples& px)
{
    std::uint8_t* d1 = d0 + lineBytes;
    store16(d0, px.v[0]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d0 + 16), px.v[1]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), _mm_srli_si128(px.v[1], 8));
    store16(d1 + 8, px.v[2]);
}

// Luma 1x1: 8 pixels a row, two rows at a time.
template <bool Bgr>
void convertYcc1x1(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t, std::int32_t)
{
    for (int y = 0; y < 8; y += 2) {
        const ChromaTerms t0 = chromaTerms(b[1] + y * 8, b[2] + y * 8);
        const ChromaTerms t1 = chromaTerms(b[1] + y * 8 + 8, b[2] + y * 8 + 8);
        storeTwoRows(dst + y * lineBytes, lineBytes,
                     convert16<Bgr>(load8(b[0] + y * 8), load8(b[0] + y * 8 + 8), t0, t1));
    }
}

// Gray to three equal bytes a pixel.
void grayTriplesSse2(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t,
                     std::int32_t)
{
    for (int y = 0; y < 8; y += 2) {
        const __m128i g = _mm_packus_epi16(load8(b[0] + y * 8), load8(b[0] + y * 8 + 8));
        storeTwoRows(dst + y * lineBytes, lineBytes, interleave(g, g, g));
    }
}

} // namespace

void fillInnerRoutinesSse2(RoutineTable& table)
{
    table.inner[1] = convertYcc1x1<false>;
    table.inner[2] = convertYcc1x1<true>;
    table.inner[3] = convertYcc2xV<2, false>;
    table.inner[4] = convertYcc2xV<2, true>;
    table.inner[5] = convertYcc2xV<1, false>;
    table.inner[6] = convertYcc2xV<1, true>;
    table.grayTriples = grayTriplesSse2;
}

} // namespace xtpjpeg

#endif
