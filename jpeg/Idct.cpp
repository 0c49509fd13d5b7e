// Dequantisation and inverse DCT, plain versions.
//
// dctType 1 is the reference: its 8x8 transform follows the decoder's defined formulas to the
// bit, in 32-bit two's-complement arithmetic (wrapping on overflow, which only corrupt
// streams reach) with arithmetic right shifts. dctType 0 is the AAN family with the
// defined constants in 16-bit fixed point; its data flow is our own.
#include "jpeg/Idct.h"
#include "jpeg/JpegInternal.h"

#include <cmath>

namespace xtpjpeg {

namespace {

// Wrapping 32-bit arithmetic: operands are carried as uint32_t, and a right shift
// reinterprets the bits as int32_t (an arithmetic shift in C++20).
using W = std::uint32_t;
inline std::int32_t sra(W v, int n) { return static_cast<std::int32_t>(v) >> n; }
inline W w(std::int32_t v) { return static_cast<W>(v); }

inline std::int16_t clampSample(std::int32_t v) { return static_cast<std::int16_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// One 1-D pass of the dctType 1 transform (its four steps): hands each output
// i = 0..7, before descaling, to store(i, value). With Half, x4..x7 are zero and their
// terms are left out (the same result in wrapping arithmetic).
template <bool Half, class Store>
inline void transform1(W x0, W x1, W x2, W x3, W x4, W x5, W x6, W x7, Store store)
{
    W a1, a3, b1, b3, t0, t1, h1, h2;
    if (Half) {
        a1 = 32138u * x1;
        a3 = 6393u * x1;
        b1 = 27246u * x3;
        b3 = 0u - 18205u * x3;
        t0 = x0 * 32768u;
        t1 = t0;
        h1 = 42813u * x2;
        h2 = 17734u * x2;
    } else {
        a1 = 32138u * x1 + 6393u * x7;
        a3 = 6393u * x1 - 32138u * x7;
        b1 = 18205u * x5 + 27246u * x3;
        b3 = 27246u * x5 - 18205u * x3;
        t0 = (x0 + x4) * 32768u;
        t1 = (x0 - x4) * 32768u;
        h1 = 42813u * x2 + 17734u * x6;
        h2 = 17734u * x2 - 42813u * x6;
    }
    const W d = a1 - b1;
    const W e = a3 - b3;
    const W f = d + e;
    const W g = d - e;
    const W p = w(sra(a1 + b1 + 2048u, 12));
    const W q = w(sra(a3 + b3 + 2048u, 12));
    const W u0 = t0 + h1;
    const W u3 = t0 - h1;
    const W u1 = t1 + h2;
    const W u2 = t1 - h2;
    store(0, u0 + 5793u * p);
    store(1, u1 + f);
    store(2, u2 + g);
    store(3, u3 + 5793u * q);
    store(4, u3 - 5793u * q);
    store(5, u2 - g);
    store(6, u1 - f);
    store(7, u0 - 5793u * p);
}

// The column pass over all 8 columns: one straight loop without branches, so that the
// compiler may run the columns in parallel lanes (wrapping lanes give the same result).
template <bool Half>
inline void columns1(const W* ws, std::int16_t* block)
{
    for (int c = 0; c < 8; ++c) {
        auto store = [&](int r, W v) {
            std::int32_t s = sra(v + (1u << 20), 21) + 128;
            s = s < 0 ? 0 : s;
            s = s > 255 ? 255 : s;
            block[r * 8 + c] = static_cast<std::int16_t>(s);
        };
        if (Half)
            transform1<true>(ws[c], ws[8 + c], ws[16 + c], ws[24 + c], 0, 0, 0, 0, store);
        else
            transform1<false>(ws[c], ws[8 + c], ws[16 + c], ws[24 + c], ws[32 + c], ws[40 + c], ws[48 + c], ws[56 + c],
                              store);
    }
}

// dctType 0 (AAN) works in 16-bit fixed point: every sum and product wraps to 16 bits
// (only corrupt streams reach the wrap), so that versions with eight 16-bit lanes per
// instruction give the same bits. A multiply takes the full product of the 16-bit value
// and a Q15 constant, rounds with 16384 and keeps the low 16 bits of the result.
using S = std::int16_t;
inline S s16(std::int32_t v) { return static_cast<S>(v); } // modular in C++20
inline S mulq15(S x, std::int32_t c)
{
    return s16(static_cast<std::int32_t>((static_cast<std::int64_t>(x) * c + 16384) >> 15));
}
constexpr std::int32_t kSqrt2 = 46341; // 1.414213562
constexpr std::int32_t k1_082 = 35468; // 1.082392200
constexpr std::int32_t k0_765 = 25080; // 0.765366865
constexpr std::int32_t k2_613 = 85627; // 2.613125930

// One 1-D AAN pass (the butterfly network of Arai, Agui and Nakajima, as in the IJG's
// "fast" transform; 1.847759065 is formed as 1.082392200 + 0.765366865).
inline void aan(S x0, S x1, S x2, S x3, S x4, S x5, S x6, S x7, S o[8])
{
    const S tmp10 = s16(x0 + x4);
    const S tmp11 = s16(x0 - x4);
    const S tmp13 = s16(x2 + x6);
    const S tmp12 = s16(mulq15(s16(x2 - x6), kSqrt2) - tmp13);
    const S e0 = s16(tmp10 + tmp13);
    const S e3 = s16(tmp10 - tmp13);
    const S e1 = s16(tmp11 + tmp12);
    const S e2 = s16(tmp11 - tmp12);

    const S z13 = s16(x5 + x3);
    const S z10 = s16(x5 - x3);
    const S z11 = s16(x1 + x7);
    const S z12 = s16(x1 - x7);
    const S t7 = s16(z11 + z13);
    const S t11 = mulq15(s16(z11 - z13), kSqrt2);
    const S z1012 = s16(z10 + z12);
    const S z5 = s16(mulq15(z1012, k1_082) + mulq15(z1012, k0_765));
    const S t10 = s16(mulq15(z12, k1_082) - z5);
    const S t12 = s16(z5 - mulq15(z10, k2_613));
    const S t6 = s16(t12 - t7);
    const S t5 = s16(t11 - t6);
    const S t4 = s16(t10 + t5);

    o[0] = s16(e0 + t7);
    o[7] = s16(e0 - t7);
    o[1] = s16(e1 + t6);
    o[6] = s16(e1 - t6);
    o[2] = s16(e2 + t5);
    o[5] = s16(e2 - t5);
    o[4] = s16(e3 + t4);
    o[3] = s16(e3 - t4);
}

} // namespace

void prepareQuantTable(const std::uint16_t natural[64], std::uint32_t dctType, std::int16_t out[64])
{
    if (dctType == 0) {
        // trunc(q x s(u) x s(v) x 256 + 0.5), s(0) = 1, s(k) = sqrt(2) cos(k pi / 16); 16 bits.
        struct Scales {
            double s[8];
            Scales()
            {
                for (int k = 0; k < 8; ++k) s[k] = k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * M_PI / 16.0);
            }
        };
        static const Scales scales; // initialised once, thread-safe
        const double* s = scales.s;
        for (int v = 0; v < 8; ++v) {
            for (int u = 0; u < 8; ++u) {
                const double value = natural[v * 8 + u] * s[u] * s[v] * 256.0 + 0.5;
                const auto t = static_cast<std::int64_t>(value); // trunc (value is positive)
                out[v * 8 + u] = static_cast<std::int16_t>(static_cast<std::uint16_t>(t));
            }
        }
    } else {
        for (int i = 0; i < 64; ++i) out[i] = static_cast<std::int16_t>(natural[i]);
    }
}

void dequantType1(std::int16_t* block, const std::int16_t* table)
{
    // 16-bit product: the low 16 bits of coefficient x value (the table's 16 bits are the
    // stream's unsigned value; the low half of the product does not depend on the sign).
    for (int i = 0; i < 64; ++i) {
        block[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(
            static_cast<std::uint32_t>(static_cast<std::int32_t>(block[i])) * static_cast<std::uint16_t>(table[i])));
    }
}

void dequantType0(std::int16_t* block, const std::int16_t* table)
{
    for (int i = 0; i < 64; ++i) {
        const std::int64_t product = static_cast<std::int64_t>(block[i]) * static_cast<std::uint16_t>(table[i]) + 64;
        block[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(product >> 7)));
    }
}

void idct8x8Type1(std::int16_t* block)
{
    // Row pass: 8 rows of 16-bit coefficients into 32-bit intermediates.
    alignas(16) W ws[64];
    int lastRow = -1; // the last row whose intermediates may be nonzero
    for (int r = 0; r < 8; ++r) {
        const std::int16_t* x = block + r * 8;
        W* o = ws + r * 8;
        auto store = [o](int i, W v) { o[i] = w(sra(v + 2048u, 12)); };
        if ((x[1] | x[2] | x[3] | x[4] | x[5] | x[6] | x[7]) == 0) {
            // Every output equals (x0 x 32768 + 2048) >> 12 (no overflow: |x0| <= 32768).
            const std::int32_t v = (static_cast<std::int32_t>(x[0]) * 32768 + 2048) >> 12;
            if (v != 0) lastRow = r;
            for (int i = 0; i < 8; ++i) o[i] = w(v);
            continue;
        }
        lastRow = r;
        if ((x[4] | x[5] | x[6] | x[7]) == 0)
            transform1<true>(w(x[0]), w(x[1]), w(x[2]), w(x[3]), 0, 0, 0, 0, store);
        else
            transform1<false>(w(x[0]), w(x[1]), w(x[2]), w(x[3]), w(x[4]), w(x[5]), w(x[6]), w(x[7]), store);
    }
    if (lastRow <= 0) {
        // Every column is (v, 0, ..., 0): each output is ((v x 32768 + 2^20) >> 21) + 128.
        for (int c = 0; c < 8; ++c) {
            const std::int16_t s = clampSample(sra(ws[c] * 32768u + (1u << 20), 21) + 128);
            for (int r = 0; r < 8; ++r) block[r * 8 + c] = s;
        }
        return;
    }
    // Column pass; rows 4 to 7 of zeros make the last four inputs of every column zero.
    if (lastRow <= 3)
        columns1<true>(ws, block);
    else
        columns1<false>(ws, block);
}

void idct8x8Type0(std::int16_t* block)
{
    // The dequantised coefficients carry the AAN scale factors and one extra bit,
    // so the two passes leave 16 x the sample: descale by (v + 8) >> 4 at the end.
    S ws[64];
    for (int r = 0; r < 8; ++r) {
        const S* x = block + r * 8;
        S* o = ws + r * 8;
        if ((x[1] | x[2] | x[3] | x[4] | x[5] | x[6] | x[7]) == 0) {
            for (int i = 0; i < 8; ++i) o[i] = x[0];
            continue;
        }
        aan(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], o);
    }
    for (int c = 0; c < 8; ++c) {
        const S* x = ws + c;
        S o[8];
        aan(x[0], x[8], x[16], x[24], x[32], x[40], x[48], x[56], o);
        for (int r = 0; r < 8; ++r) block[r * 8 + c] = clampSample((s16(o[r] + 8) >> 4) + 128);
    }
}

// ---- Reduced sizes: the samples land in the top-left corner of the block, 8 apart -----------

// dctType 1 at 1/2: the Independent JPEG Group's reduced-size 4x4 transform (13-bit
// constants, two fractional bits between the passes). Column 4 does not take part.
namespace {
struct Odd4 {
    W even0, even1; // tmp10, tmp12
    W odd0, odd2;   // tmp0, tmp2
};
inline Odd4 reduced4(W x0, W x1, W x2, W x3, W x5, W x6, W x7, int shift0)
{
    const W t0 = x0 << shift0;
    const W t2 = x2 * 15137u - x6 * 6270u;
    Odd4 r;
    r.even0 = t0 + t2;
    r.even1 = t0 - t2;
    r.odd0 = 0u - x7 * 1730u + x5 * 11893u - x3 * 17799u + x1 * 8697u;
    r.odd2 = 0u - x7 * 4176u - x5 * 4926u + x3 * 7373u + x1 * 20995u;
    return r;
}
inline W odd2x2(W x1, W x3, W x5, W x7) { return 0u - x7 * 5906u + x5 * 6967u - x3 * 10426u + x1 * 29692u; }
} // namespace

void idct4x4Type1(std::int16_t* block)
{
    W ws[4 * 8];
    for (int c = 0; c < 8; ++c) {
        if (c == 4) continue;
        const std::int16_t* x = block + c;
        const Odd4 r = reduced4(w(x[0]), w(x[8]), w(x[16]), w(x[24]), w(x[40]), w(x[48]), w(x[56]), 14);
        ws[0 * 8 + c] = w(sra(r.even0 + r.odd2 + (1u << 11), 12));
        ws[3 * 8 + c] = w(sra(r.even0 - r.odd2 + (1u << 11), 12));
        ws[1 * 8 + c] = w(sra(r.even1 + r.odd0 + (1u << 11), 12));
        ws[2 * 8 + c] = w(sra(r.even1 - r.odd0 + (1u << 11), 12));
    }
    for (int row = 0; row < 4; ++row) {
        const W* x = ws + row * 8;
        const Odd4 r = reduced4(x[0], x[1], x[2], x[3], x[5], x[6], x[7], 14);
        std::int16_t* o = block + row * 8;
        o[0] = clampSample(sra(r.even0 + r.odd2 + (1u << 18), 19) + 128);
        o[3] = clampSample(sra(r.even0 - r.odd2 + (1u << 18), 19) + 128);
        o[1] = clampSample(sra(r.even1 + r.odd0 + (1u << 18), 19) + 128);
        o[2] = clampSample(sra(r.even1 - r.odd0 + (1u << 18), 19) + 128);
    }
}

// dctType 1 at 1/4: the Independent JPEG Group's reduced-size 2x2 transform; only the
// DC and the odd frequencies take part. Most columns of a typical block have no odd
// frequencies, which leaves their odd term zero.
void idct2x2Type1(std::int16_t* block)
{
    W ws[2 * 8];
    for (int c = 0; c < 8; ++c) {
        if (c == 2 || c == 4 || c == 6) continue;
        const std::int16_t* x = block + c;
        const W t10 = w(x[0]) << 15;
        const bool noOdd = (x[8] | x[24] | x[40] | x[56]) == 0;
        const W t0 = noOdd ? 0u : odd2x2(w(x[8]), w(x[24]), w(x[40]), w(x[56]));
        ws[c] = w(sra(t10 + t0 + (1u << 12), 13));
        ws[8 + c] = w(sra(t10 - t0 + (1u << 12), 13));
    }
    for (int row = 0; row < 2; ++row) {
        const W* x = ws + row * 8;
        const W t10 = x[0] << 15;
        const W t0 = odd2x2(x[1], x[3], x[5], x[7]);
        std::int16_t* o = block + row * 8;
        o[0] = clampSample(sra(t10 + t0 + (1u << 19), 20) + 128);
        o[1] = clampSample(sra(t10 - t0 + (1u << 19), 20) + 128);
    }
}

// dctType 0 at 1/2 and 1/4: the average of the 8x8 transform's pixel pairs (and of its 2x2
// squares). With the AAN scale factors in the coefficients, averaging the 8-point basis over
// a pair of pixels turns each coefficient D(u) into D(u) cos((2n + 1) u pi / 8) / 16: the
// 4-point transform, into which frequencies 5 to 7 fold as D(u) - D(8 - u) (and 4 drops out).
// Plain Q16 cos(pi/8), sin(pi/8) and sqrt(2)/2 do the 4-point form; averaging once more gives
// the 2-point form with cos(pi/8) sqrt(2)/2 and (cos(pi/8) - sin(pi/8)) / 2.
namespace {
constexpr std::int64_t kC1 = 60547, kS1 = 25080, kR2 = 46341;
constexpr std::int64_t kK1 = (kC1 * kR2) >> 16, kK3 = (kC1 - kS1) / 2;
template <class In, class Out>
inline void aan4(In x, Out out)
{
    const std::int64_t e0 = x(0) * 65536 + x(2) * kR2;
    const std::int64_t e1 = x(0) * 65536 - x(2) * kR2;
    const std::int64_t o0 = x(1) * kC1 + x(3) * kS1;
    const std::int64_t o1 = x(1) * kS1 - x(3) * kC1;
    out(0, e0 + o0);
    out(1, e1 + o1);
    out(2, e1 - o1);
    out(3, e0 - o0);
}
template <class In, class Out>
inline void aan2(In x, Out out)
{
    const std::int64_t o = x(1) * kK1 - x(3) * kK3;
    out(0, x(0) * 65536 + o);
    out(1, x(0) * 65536 - o);
}
// Frequency u (0..3) of the pair average: u with 8 - u folded in.
template <class At>
inline std::int64_t folded(At at, int u)
{
    return u == 0 ? at(0) : at(u) - at(8 - u);
}
} // namespace

void idct4x4Type0(std::int16_t* block)
{
    std::int64_t ws[8][4]; // Q2 after the first pass; row 4 folds to nothing
    for (int r = 0; r < 8; ++r) {
        if (r == 4) continue;
        const std::int16_t* x = block + r * 8;
        aan4([&](int u) { return folded([&](int k) { return std::int64_t{x[k]}; }, u); },
             [&](int n, std::int64_t v) { ws[r][n] = (v + (1 << 13)) >> 14; });
    }
    for (int c = 0; c < 4; ++c)
        aan4([&](int v) { return folded([&](int k) { return ws[k][c]; }, v); },
             [&](int n, std::int64_t v) {
                 block[n * 8 + c] = clampSample(static_cast<std::int32_t>((v + (1 << 21)) >> 22) + 128);
             });
}

void idct2x2Type0(std::int16_t* block)
{
    // Rows 0, 1 and 3, with 7 and 5 folded into them, carry what the 2-point form uses.
    std::int64_t rows[8][2];
    for (int r : {0, 1, 3, 5, 7}) {
        const std::int16_t* x = block + r * 8;
        aan2([&](int u) { return folded([&](int k) { return std::int64_t{x[k]}; }, u); },
             [&](int n, std::int64_t v) { rows[r][n] = (v + (1 << 13)) >> 14; });
    }
    for (int c = 0; c < 2; ++c)
        aan2([&](int v) { return v == 2 ? 0 : folded([&](int k) { return rows[k][c]; }, v); },
             [&](int n, std::int64_t v) {
                 block[n * 8 + c] = clampSample(static_cast<std::int32_t>((v + (1 << 21)) >> 22) + 128);
             });
}

// The 1/8-scale transforms (one sample per block).
void idct1x1Type1(std::int16_t* block)
{
    block[0] = clampSample(((static_cast<std::int32_t>(block[0]) + 4) >> 3) + 128);
}

void idct1x1Type0(std::int16_t* block)
{
    block[0] = clampSample(((static_cast<std::int32_t>(block[0]) + 8) >> 4) + 128);
}

} // namespace xtpjpeg
