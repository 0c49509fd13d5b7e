// SSE2 versions of the composition routines: sixteen bytes at a time in 16-bit lanes
// (every intermediate of the plain formulas fits them: 255 x 256 + 128 below 2^16),
// the horizontal sample in 32-bit lanes through pmaddwd. Tails go to the plain code.
#include "picsource/ShowKernels.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

inline __m128i MixHalf(__m128i a, __m128i b, __m128i keep, __m128i weight, __m128i round)
{
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, weight)), round), 8);
}

void BlendSse2(const BYTE* a, const BYTE* b, BYTE* out, std::size_t bytes, int weight)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - weight));
    const __m128i w = _mm_set1_epi16(static_cast<short>(weight));
    const __m128i round = _mm_set1_epi16(128);
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i va = Load(a + i), vb = Load(b + i);
        const __m128i lo = MixHalf(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero), keep, w, round);
        const __m128i hi = MixHalf(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero), keep, w, round);
        Store(out + i, _mm_packus_epi16(lo, hi));
    }
    ShowKernels::Plain().blend(a + i, b + i, out + i, bytes - i, weight);
}

void ScaleSse2(BYTE* bytes, std::size_t count, int weight)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i w = _mm_set1_epi16(static_cast<short>(weight));
    const __m128i round = _mm_set1_epi16(128);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i v = Load(bytes + i);
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w), round), 8);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w), round), 8);
        Store(bytes + i, _mm_packus_epi16(lo, hi));
    }
    ShowKernels::Plain().scale(bytes + i, count - i, weight);
}

void LerpRowsSse2(const BYTE* top, const BYTE* bottom, std::uint16_t* out, std::size_t bytes, int fraction)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(static_cast<short>(128 - fraction));
    const __m128i f = _mm_set1_epi16(static_cast<short>(fraction));
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i t = Load(top + i), b = Load(bottom + i);
        Store(out + i, _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), keep),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), f)));
        Store(out + i + 8, _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), keep),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), f)));
    }
    ShowKernels::Plain().lerpRows(top + i, bottom + i, out + i, bytes - i, fraction);
}

// One pixel: its three channels and its right neighbour's, paired for pmaddwd.
inline __m128i SamplePixel(const std::uint16_t* left, int f, __m128i round)
{
    const __m128i v = Load(left);                                      // l0 l1 l2 r0 r1 r2 . .
    const __m128i pairs = _mm_unpacklo_epi16(v, _mm_srli_si128(v, 6)); // l0 r0 l1 r1 l2 r2 . .
    const __m128i weights = _mm_set1_epi32(static_cast<int>((static_cast<unsigned>(f) << 16) | (128u - f)));
    const __m128i sums = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), round), 14);
    const __m128i words = _mm_packs_epi32(sums, sums);
    return _mm_packus_epi16(words, words);
}

void SampleRowSse2(const std::uint16_t* lerped, const std::uint32_t* column, const std::uint8_t* fraction, BYTE* out,
                   std::size_t pixels)
{
    const __m128i round = _mm_set1_epi32(8192);
    std::size_t k = 0;
    // Four bytes a pixel are written; the fourth is the next pixel's first, written again.
    for (; k + 1 < pixels; ++k, out += 3) {
        const int value = _mm_cvtsi128_si32(SamplePixel(lerped + 3 * std::size_t{column[k]}, fraction[k], round));
        std::memcpy(out, &value, 4);
    }
    ShowKernels::Plain().sampleRow(lerped, column + k, fraction + k, out, pixels - k);
}

void BoxColumnsSse2(const BYTE* in, BYTE* out, std::size_t rowBytes, std::size_t rows, std::size_t stride, int radius)
{
    const auto window = static_cast<unsigned>(2 * radius + 1);
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(static_cast<short>(window / 2));
    const __m128i multiplier = _mm_set1_epi16(static_cast<short>(65536 / window));
    const auto last = static_cast<std::ptrdiff_t>(rows) - 1;
    const auto at = [&](std::ptrdiff_t row) {
        return in + (row < 0 ? 0 : row > last ? last : row) * static_cast<std::ptrdiff_t>(stride);
    };
    std::size_t x = 0;
    for (; x + 16 <= rowBytes; x += 16) {
        __m128i lo = zero, hi = zero;
        for (std::ptrdiff_t k = -radius; k <= radius; ++k) {
            const __m128i v = Load(at(k) + x);
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
        }
        for (std::size_t y = 0; y < rows; ++y) {
            const __m128i outLo = _mm_mulhi_epu16(_mm_add_epi16(lo, half), multiplier);
            const __m128i outHi = _mm_mulhi_epu16(_mm_add_epi16(hi, half), multiplier);
            Store(out + y * stride + x, _mm_packus_epi16(outLo, outHi));
            const __m128i leaving = Load(at(static_cast<std::ptrdiff_t>(y) - radius) + x);
            const __m128i entering = Load(at(static_cast<std::ptrdiff_t>(y) + radius + 1) + x);
            lo = _mm_sub_epi16(_mm_add_epi16(lo, _mm_unpacklo_epi8(entering, zero)), _mm_unpacklo_epi8(leaving, zero));
            hi = _mm_sub_epi16(_mm_add_epi16(hi, _mm_unpackhi_epi8(entering, zero)), _mm_unpackhi_epi8(leaving, zero));
        }
    }
    ShowKernels::Plain().boxColumns(in + x, out + x, rowBytes - x, rows, stride, radius);
}

} // namespace

bool ShowKernels::HasSse2() { return true; }

const ShowKernels& ShowKernels::Sse2()
{
    static const ShowKernels table{BlendSse2, ScaleSse2, LerpRowsSse2, SampleRowSse2, BoxColumnsSse2};
    return table;
}

#else

bool ShowKernels::HasSse2() { return false; }

const ShowKernels& ShowKernels::Sse2() { return Plain(); }

#endif
