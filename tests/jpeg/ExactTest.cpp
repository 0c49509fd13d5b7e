// Exact values where the decoder's results are defined by formulas: the dctType 1 transform and
// dequantisation bit for bit against an independent reference, colour conversion (neutral
// grey 128, 129, 128; the clamping cases; the non-interleaved formula at EOI), Huffman
// decoding details (EOB, ZRL, restart intervals), placement, cropping, row order, padding,
// and the fastPath code of every MCU output routine.
#include "jpeg/Idct.h"
#include "jpeg/JpegInternal.h"
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

using namespace jpegtest;

namespace {

// ---- Reference: the transform's formulas in 32-bit two's-complement arithmetic --------------------

struct I32 {
    std::int32_t v;
};
inline I32 mk(std::int64_t x)
{
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(x)))};
}
inline I32 operator+(I32 a, I32 b) { return mk(static_cast<std::int64_t>(a.v) + b.v); }
inline I32 operator-(I32 a, I32 b) { return mk(static_cast<std::int64_t>(a.v) - b.v); }
inline I32 operator*(std::int64_t c, I32 a) { return mk(c * a.v); }
inline I32 shr(I32 a, int n) { return {a.v >> n}; }

void referencePass(const I32 x[8], I32 out[8])
{
    const I32 a1 = 32138 * x[1] + 6393 * x[7];
    const I32 a3 = 6393 * x[1] - 32138 * x[7];
    const I32 b1 = 18205 * x[5] + 27246 * x[3];
    const I32 b3 = 27246 * x[5] - 18205 * x[3];
    const I32 d = a1 - b1, e = a3 - b3, f = d + e, g = d - e;
    const I32 p = shr(a1 + b1 + I32{2048}, 12), q = shr(a3 + b3 + I32{2048}, 12);
    const I32 t0 = 32768 * (x[0] + x[4]), t1 = 32768 * (x[0] - x[4]);
    const I32 h1 = 42813 * x[2] + 17734 * x[6], h2 = 17734 * x[2] - 42813 * x[6];
    const I32 u0 = t0 + h1, u3 = t0 - h1, u1 = t1 + h2, u2 = t1 - h2;
    out[0] = u0 + 5793 * p;
    out[1] = u1 + f;
    out[2] = u2 + g;
    out[3] = u3 + 5793 * q;
    out[4] = u3 - 5793 * q;
    out[5] = u2 - g;
    out[6] = u1 - f;
    out[7] = u0 - 5793 * p;
}

void referenceIdct(const std::int16_t in[64], std::int16_t out[64])
{
    I32 rows[64];
    for (int r = 0; r < 8; ++r) {
        I32 x[8], o[8];
        for (int i = 0; i < 8; ++i) x[i] = {in[r * 8 + i]};
        referencePass(x, o);
        for (int i = 0; i < 8; ++i) rows[r * 8 + i] = shr(o[i] + I32{2048}, 12);
    }
    for (int c = 0; c < 8; ++c) {
        I32 x[8], o[8];
        for (int i = 0; i < 8; ++i) x[i] = rows[i * 8 + c];
        referencePass(x, o);
        for (int i = 0; i < 8; ++i) {
            const std::int32_t v = shr(o[i] + I32{1 << 20}, 21).v + 128;
            out[i * 8 + c] = static_cast<std::int16_t>(std::clamp(v, 0, 255));
        }
    }
}

const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                         41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                         30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Decodes with explicit colours and returns the pixels (rows of width x channels).
Result decodeAs(const Bytes& jpeg, JpegColor imageColor, JpegColor outColor, std::uint32_t channels,
                JpegSubsampling outSub = SubsampleNone)
{
    Request rq;
    rq.imageColor = imageColor;
    rq.outColor = outColor;
    rq.outChannels = channels;
    rq.outSubsampling = outSub;
    rq.fill = 0xAB;
    return decode(jpeg, rq);
}

const std::vector<Component> kGray = {{1, 1, 1, 0}};
const std::vector<Component> k444 = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<Component> k422 = {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<Component> k420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

// A picture whose blocks all have the given DC (per component) and no AC.
Bytes flat(int width, int height, const std::vector<Component>& comps, const std::vector<int>& dc)
{
    std::vector<Block> blocks;
    const int mcus = mcuCount(width, height, comps);
    for (int m = 0; m < mcus; ++m)
        for (std::size_t c = 0; c < comps.size(); ++c)
            for (int i = 0; i < (comps.size() == 1 ? 1 : comps[c].h * comps[c].v); ++i) blocks.push_back({dc[c], {}});
    return JpegWriter::baseline(width, height, comps, blocks);
}

} // namespace

TEST(JpegExact, Idct8x8Type1MatchesTheFormulasBitForBit)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 20000; ++trial) {
        std::int16_t block[64] = {};
        const int kind = trial % 5;
        for (int i = 0; i < 64; ++i) {
            switch (kind) {
            case 0: // sparse, photograph-like
                if (rng() % 6 == 0) block[i] = static_cast<std::int16_t>(static_cast<int>(rng() % 401) - 200);
                break;
            case 1: // the top-left quarter only
                if ((i & 7) < 4 && i < 32) block[i] = static_cast<std::int16_t>(static_cast<int>(rng() % 2001) - 1000);
                break;
            case 2: // DC and the first row or column
                if (i < 8 || i % 8 == 0) block[i] = static_cast<std::int16_t>(static_cast<int>(rng() % 4001) - 2000);
                break;
            default: // anything 16 bits can hold, overflowing the 32-bit intermediates
                block[i] = static_cast<std::int16_t>(rng());
                break;
            }
        }
        std::int16_t expected[64];
        referenceIdct(block, expected);
        std::int16_t actual[64];
        std::memcpy(actual, block, sizeof block);
        xtpjpeg::idct8x8Type1(actual);
        ASSERT_EQ(0, std::memcmp(actual, expected, sizeof expected)) << "trial " << trial;
    }
}

TEST(JpegExact, DequantisationAndOneSampleTransforms)
{
    std::int16_t block[64], table[64];
    for (int i = 0; i < 64; ++i) {
        block[i] = static_cast<std::int16_t>(i * 977 - 30000);
        table[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(i * 1031 + 1));
    }
    std::int16_t d[64];
    std::memcpy(d, block, sizeof d);
    xtpjpeg::dequantType1(d, table);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(d[i], static_cast<std::int16_t>(
                            static_cast<std::uint16_t>(block[i] * static_cast<std::uint16_t>(table[i]))));
    // dctType 0 tables: trunc(q s(u) s(v) 256 + 0.5) in 16 bits; coefficient (c x t + 64) >> 7.
    std::uint16_t q[64];
    for (int i = 0; i < 64; ++i) q[i] = static_cast<std::uint16_t>(1 + i);
    std::int16_t prepared[64];
    xtpjpeg::prepareQuantTable(q, 0, prepared);
    EXPECT_EQ(static_cast<std::uint16_t>(prepared[0]), 256); // 1 x 1 x 1 x 256
    EXPECT_EQ(static_cast<std::uint16_t>(prepared[1]),
              static_cast<std::uint16_t>(2 * std::sqrt(2.0) * std::cos(M_PI / 16) * 256 + 0.5));
    std::int16_t c0[64] = {};
    c0[0] = 10;
    xtpjpeg::dequantType0(c0, prepared);
    EXPECT_EQ(c0[0], (10 * 256 + 64) >> 7);
    // 1/8-scale transforms: DC 0 gives 128 in both families.
    std::int16_t one[64] = {};
    xtpjpeg::idct1x1Type1(one);
    EXPECT_EQ(one[0], 128);
    one[0] = 0;
    xtpjpeg::idct1x1Type0(one);
    EXPECT_EQ(one[0], 128);
}

namespace {

// Gray blocks with random coefficients (runs below maxRun, values up to maxValue) and a
// random quantisation table, decoded: the samples equal reference-transform(dequantise(
// coefficients)). Large values give long value bits, so symbols alternate between the
// combined lookups and the general path.
void expectBlocksDecodeExactly(std::mt19937& rng, int blocksWide, int blocksHigh, int maxRun, int maxValue,
                               bool useFile)
{
    std::uint16_t qZigzag[64];
    for (auto& v : qZigzag) v = static_cast<std::uint16_t>(1 + rng() % 60);
    const int count = blocksWide * blocksHigh;
    std::vector<Block> blocks(count);
    std::vector<std::array<std::int16_t, 64>> coef(count);
    for (int b = 0; b < count; ++b) {
        coef[b].fill(0);
        blocks[b].dc = static_cast<int>(rng() % 201) - 100;
        coef[b][0] = static_cast<std::int16_t>(blocks[b].dc);
        int k = 1;
        while (true) {
            const int run = static_cast<int>(rng() % maxRun);
            if (k + run > 63) break;
            int v = static_cast<int>(rng() % (2 * maxValue + 1)) - maxValue;
            if (v == 0) v = 1;
            blocks[b].ac.push_back({run, v});
            k += run;
            coef[b][kZigzag[k]] = static_cast<std::int16_t>(v);
            ++k;
            if (k > 63 || rng() % 9 == 0) break;
        }
    }
    JpegWriter w;
    w.soi();
    w.dqtValues(0, qZigzag, false);
    w.dhtDc(0);
    w.dhtAc(0);
    w.sof(0xC0, 8 * blocksWide, 8 * blocksHigh, kGray);
    w.sos(kGray);
    int pred = 0;
    for (const Block& b : blocks) {
        w.encodeBlock(b.dc - pred, b.ac);
        pred = b.dc;
    }
    w.flushBits();
    w.eoi();
    Request rq;
    rq.imageColor = ColorGray;
    rq.outColor = ColorGray;
    rq.outChannels = 1;
    rq.useFile = useFile;
    if (useFile) {
        rq.fileName = tempPath("exact-long.jpg");
        writeFile(rq.fileName, w.out);
    }
    const Result r = decode(w.out, rq);
    ASSERT_EQ(r.paramsRc, 0);
    ASSERT_EQ(r.imageRc, 0);
    const int width = 8 * blocksWide;
    for (int b = 0; b < count; ++b) {
        std::int16_t deq[64], expected[64];
        for (int i = 0; i < 64; ++i) {
            std::uint16_t qNatural = 0;
            for (int z = 0; z < 64; ++z)
                if (kZigzag[z] == i) qNatural = qZigzag[z];
            deq[i] = static_cast<std::int16_t>(coef[b][i] * qNatural);
        }
        referenceIdct(deq, expected);
        const int x0 = 8 * (b % blocksWide), y0 = 8 * (b / blocksWide);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(r.pixels[(y0 + y) * width + x0 + x], expected[y * 8 + x]) << "block " << b;
    }
}

} // namespace

TEST(JpegExact, HuffmanDequantisationAndTransformEndToEnd)
{
    std::mt19937 rng(11);
    for (int trial = 0; trial < 30; ++trial) {
        SCOPED_TRACE(trial);
        expectBlocksDecodeExactly(rng, 2, 1, trial % 3 == 0 ? 20 : 4, 30, false);
    }
}

// Long streams, from a buffer and from a file (read in chunks), whose stuffed 0xFF bytes
// and long codes fall at every position of the bit reader's refills.
TEST(JpegExact, LongStreamsDecodeExactlyAcrossRefills)
{
    std::mt19937 rng(12);
    for (int trial = 0; trial < 8; ++trial) {
        SCOPED_TRACE(trial);
        expectBlocksDecodeExactly(rng, 40, 6, trial % 2 == 0 ? 6 : 3, trial < 4 ? 1023 : 60, trial % 4 >= 2);
    }
}

TEST(JpegExact, EndOfBlockAndZeroRunLength)
{
    // EOB only: coefficients 1..63 stay zero. ZRL: 16 zeros, then a run of 2 after it.
    Block eob{80, {}};
    Block zrl{0, {{16, 50}, {2, -40}}}; // zigzag 17, then zigzag 20
    const Bytes b = JpegWriter::baseline(16, 8, kGray, {eob, zrl});
    const Result r = decodeAs(b, ColorGray, ColorGray, 1);
    ASSERT_EQ(r.imageRc, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(r.pixels[y * 16 + x], 138);
    std::int16_t coef[64] = {}, expected[64];
    coef[kZigzag[17]] = 50;
    coef[kZigzag[20]] = -40;
    referenceIdct(coef, expected);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(r.pixels[y * 16 + 8 + x], expected[y * 8 + x]);
}

// AC symbols are decoded two at a time where their bits allow. At the end of a block the
// second must not be taken when the first stores coefficient 63: each block here is followed
// by one with the same DC and no AC, whose DC code (00) and end of block read as an AC symbol
// that would pair. A second symbol that lands on 63 ends the block; one whose run passes 63
// is consumed and ends it without storing. (1, 1) first moves the pairs' alignment by one.
// Quantisation 1.
TEST(JpegExact, SymbolPairsAtTheEndOfABlock)
{
    // `first`, then (0, +-1) up to coefficient `last`, then `after`.
    const auto ac = [](std::vector<std::pair<int, int>> first, int last, std::vector<std::pair<int, int>> after) {
        for (int k = first.empty() ? 1 : 3; k <= last; ++k) first.push_back({0, k % 2 ? 1 : -1});
        first.insert(first.end(), after.begin(), after.end());
        return first;
    };
    struct Case {
        Block block;
        std::vector<std::pair<int, int>> stored; // the symbols the block keeps
    };
    const std::vector<Case> cases = {
        {{-40, ac({}, 63, {})}, ac({}, 63, {})},                 // 63 first
        {{24, ac({{1, 1}}, 63, {})}, ac({{1, 1}}, 63, {})},      // 63 second
        {{8, ac({{1, 1}}, 62, {{1, 1}})}, ac({{1, 1}}, 62, {})}, // the second's run passes 63 by one
        {{-16, ac({}, 61, {{5, 1}})}, ac({}, 61, {})},           // ... by more, the first at 61
    };
    std::vector<Block> blocks;
    std::vector<std::vector<std::pair<int, int>>> stored;
    for (const Case& c : cases) {
        blocks.push_back(c.block);
        stored.push_back(c.stored);
        blocks.push_back({c.block.dc, {}});
        stored.push_back({});
    }
    const int width = 8 * static_cast<int>(blocks.size());
    const Result r = decodeAs(JpegWriter::baseline(width, 8, kGray, blocks), ColorGray, ColorGray, 1);
    ASSERT_EQ(r.imageRc, 0);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        std::int16_t coef[64] = {}, expected[64];
        coef[0] = static_cast<std::int16_t>(blocks[b].dc);
        int k = 0;
        for (auto [run, value] : stored[b]) {
            k += run + 1;
            coef[kZigzag[k]] = static_cast<std::int16_t>(value);
        }
        referenceIdct(coef, expected);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(r.pixels[y * width + 8 * static_cast<int>(b) + x], expected[y * 8 + x]) << "block " << b;
    }
}

// A table with short codes for large values (code and value bits longer than the combined
// lookups): such symbols are decoded from the lookahead table on the register reader, also
// where one lands on coefficient 63 or its run passes 63. DC codes: 0 (difference 0) alone.
TEST(JpegExact, ShortCodesOfLongValues)
{
    struct Symbol {
        std::uint32_t code;
        int length, run, size;
    };
    const Symbol eob{0b00, 2, 0, 0}, zero10{0b01, 2, 0, 10}, one9{0b100, 3, 1, 9}, zrl{0b101, 3, 15, 0},
        zero1{0b1100, 4, 0, 1}, one10{0b1101, 4, 1, 10};
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    w.segment(0xC4, {0x10, 0, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x0A, 0x19, 0xF0, 0x01, 0x1A});
    const int blockCount = 5;
    w.sof(0xC0, 8 * blockCount, 8, kGray);
    w.sos(kGray);
    std::array<std::array<std::int16_t, 64>, blockCount> coef{};
    int block = 0, k = 0;
    const auto put = [&](const Symbol& sym, int value, bool kept) {
        w.putBits(sym.code, sym.length);
        if (sym.size) w.putBits(static_cast<std::uint32_t>(value < 0 ? value + (1 << sym.size) - 1 : value), sym.size);
        k += sym.run + 1;
        if (kept && sym.size) coef[block][kZigzag[k]] = static_cast<std::int16_t>(value);
    };
    const auto next = [&] {
        ++block;
        k = 0;
        w.putBits(0, 1); // DC difference 0
    };
    w.putBits(0, 1);
    put(zero10, 600, true);
    put(zero10, -1000, true);
    put(zrl, 0, true);
    put(one9, 300, true);
    put(zero1, -1, true);
    put(eob, 0, true);
    next(); // symbols that land on 63
    for (int i = 1; i <= 61; ++i) put(zero1, i % 2 ? 1 : -1, true);
    put(one9, -400, true);
    next();
    for (int i = 1; i <= 62; ++i) put(zero1, 1, true);
    put(zero10, 700, true);
    next(); // a run past 63: read, not stored
    for (int i = 1; i <= 62; ++i) put(zero1, -1, true);
    put(one10, 512, false);
    next();
    put(zero10, -513, true);
    put(eob, 0, true);
    w.flushBits();
    w.eoi();
    const Result r = decodeAs(w.out, ColorGray, ColorGray, 1);
    ASSERT_EQ(r.imageRc, 0);
    for (int b = 0; b < blockCount; ++b) {
        std::int16_t expected[64];
        referenceIdct(coef[b].data(), expected);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(r.pixels[y * 8 * blockCount + 8 * b + x], expected[y * 8 + x]) << "block " << b;
    }
}

TEST(JpegExact, NeutralGreyIs128_129_128)
{
    for (const auto& comps : {k444, k422, k420}) {
        for (JpegColor oc : {ColorRgb, ColorBgr}) {
            const Result r = decodeAs(flat(16, 16, comps, {0, 0, 0}), ColorYcbcr, oc, 3);
            ASSERT_EQ(r.imageRc, 0);
            for (std::size_t i = 0; i < r.pixels.size(); i += 3) {
                ASSERT_EQ(r.pixels[i], 128);
                ASSERT_EQ(r.pixels[i + 1], 129);
                ASSERT_EQ(r.pixels[i + 2], 128);
            }
        }
    }
}

TEST(JpegExact, ClampingCases)
{
    // DC 8k gives the sample 128 + k. Y = 255, Cb = 128, Cr = 255: R clamps to 255.
    {
        const Result r = decodeAs(flat(8, 8, k444, {1016, 0, 1016}), ColorYcbcr, ColorRgb, 3);
        ASSERT_EQ(r.imageRc, 0);
        EXPECT_EQ(r.pixels[0], 255);                                         // 255 + 178, clamped
        EXPECT_EQ(r.pixels[1], 255 - ((88 * 128 + 183 * 255 - 34806) >> 8)); // 165
        EXPECT_EQ(r.pixels[2], 255);                                         // 255 + 0
        EXPECT_EQ(r.pixels[1], 165);
    }
    // Y = 0, Cb = 0, Cr = 128: B clamps to 0.
    {
        const Result r = decodeAs(flat(8, 8, k444, {-1024, -1024, 0}), ColorYcbcr, ColorRgb, 3);
        ASSERT_EQ(r.imageRc, 0);
        EXPECT_EQ(r.pixels[0], 0);  // 0 + (139 >> 8)
        EXPECT_EQ(r.pixels[1], 45); // 0 - ((23424 - 34806) >> 8) = 0 - (-45)
        EXPECT_EQ(r.pixels[2], 0);  // 0 - 227, clamped
    }
    // The same through the general routine (RGBA output) and with upsampling.
    {
        const Result r = decodeAs(flat(16, 16, k420, {1016, 0, 1016}), ColorYcbcr, ColorRgba, 4);
        ASSERT_EQ(r.imageRc, 0);
        EXPECT_EQ(r.image.props.fastPath, 8u);
        for (std::size_t i = 0; i < r.pixels.size(); i += 4) {
            ASSERT_EQ(r.pixels[i], 255);
            ASSERT_EQ(r.pixels[i + 1], 165);
            ASSERT_EQ(r.pixels[i + 2], 255);
            ASSERT_EQ(r.pixels[i + 3], 255);
        }
    }
}

TEST(JpegExact, NonInterleavedConversionAtEoi)
{
    // One scan per component; converted at EOI with G = Y + ((34806 - 88 Cb - 183 Cr) >> 8):
    // neutral grey stays 128, 128, 128.
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dqt(1, 1);
    w.dhtDc(0);
    w.dhtAc(0);
    w.sof(0xC0, 16, 8, k444);
    for (const Component& c : k444) {
        w.sos({c});
        w.encodeBlock(0, {});
        w.encodeBlock(0, {});
        w.flushBits();
    }
    w.eoi();
    for (JpegColor oc : {ColorRgb, ColorBgr}) {
        const Result r = decodeAs(w.out, ColorYcbcr, oc, 3);
        ASSERT_EQ(r.imageRc, 0);
        EXPECT_EQ(r.image.props.fastPath, 0u);
        for (std::uint8_t v : r.pixels) ASSERT_EQ(v, 128);
    }
    // RGBA: the fourth byte is 255.
    const Result a = decodeAs(w.out, ColorYcbcr, ColorRgba, 4);
    ASSERT_EQ(a.imageRc, 0);
    for (std::size_t i = 0; i < a.pixels.size(); i += 4) {
        ASSERT_EQ(a.pixels[i + 1], 128);
        ASSERT_EQ(a.pixels[i + 3], 255);
    }
    // Grey output: the Y plane only.
    const Result g = decodeAs(w.out, ColorYcbcr, ColorGray, 1);
    ASSERT_EQ(g.imageRc, 0);
    for (std::uint8_t v : g.pixels) ASSERT_EQ(v, 128);
}

TEST(JpegExact, RestartIntervals)
{
    // With an interval of 1 the DC predictor is 0 at the start of every MCU: the writer codes
    // the differences that way, and the decoder must read them back as the same values.
    std::vector<Block> blocks;
    for (int i = 0; i < 12; ++i) blocks.push_back({8 * (i * 7 % 20 - 10), {}});
    const Bytes b = JpegWriter::baseline(96, 8, kGray, blocks, 1, 1);
    const Result r = decodeAs(b, ColorGray, ColorGray, 1);
    ASSERT_EQ(r.imageRc, 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(r.pixels[i * 8], 128 + (i * 7 % 20 - 10)) << i;
    // Restart markers with the wrong numbers are accepted by a sequential decode.
    Bytes wrong = b;
    for (std::size_t i = 0; i + 1 < wrong.size(); ++i)
        if (wrong[i] == 0xFF && wrong[i + 1] >= 0xD0 && wrong[i + 1] <= 0xD7) wrong[i + 1] = 0xD3;
    const Result r2 = decodeAs(wrong, ColorGray, ColorGray, 1);
    ASSERT_EQ(r2.imageRc, 0);
    EXPECT_EQ(r2.pixels, r.pixels);
    // An interval in blocks across MCU rows, with 4:2:0.
    std::vector<Block> color(6 * 6, Block{16, {{0, 3}}});
    const Bytes c = JpegWriter::baseline(48, 32, k420, color, 1, 2);
    const Bytes plain = JpegWriter::baseline(48, 32, k420, color, 1, 0);
    EXPECT_EQ(decodeAs(c, ColorYcbcr, ColorRgb, 3).pixels, decodeAs(plain, ColorYcbcr, ColorRgb, 3).pixels);
}

TEST(JpegExact, PlacementCroppingRowOrderAndPadding)
{
    const Bytes jpeg = readFile(fixture("s420.jpg")); // 61 x 47
    Request base;
    const Result ref = decode(jpeg, base);
    ASSERT_EQ(ref.imageRc, 0);
    ASSERT_EQ(ref.width, 61u);
    ASSERT_EQ(ref.rows, 47u);
    const std::size_t line = 61 * 3;
    auto refRow = [&](std::uint32_t y) {
        return Bytes(ref.pixels.begin() + y * line, ref.pixels.begin() + (y + 1) * line);
    };

    Request crop;
    crop.outWidth = 30;
    crop.outHeight = 20;
    const Result c = decode(jpeg, crop);
    ASSERT_EQ(c.imageRc, 0);
    for (std::uint32_t y = 0; y < 20; ++y)
        ASSERT_TRUE(
            std::equal(c.pixels.begin() + y * 90, c.pixels.begin() + (y + 1) * 90, ref.pixels.begin() + y * line));

    Request larger;
    larger.outWidth = 70;
    larger.outHeight = 50;
    larger.fill = 0xAB;
    const Result l = decode(jpeg, larger);
    ASSERT_EQ(l.imageRc, 0);
    for (std::uint32_t y = 0; y < 50; ++y)
        for (std::uint32_t x = 0; x < 70 * 3; ++x) {
            const std::uint8_t v = l.pixels[y * 210 + x];
            if (y < 47 && x < line)
                ASSERT_EQ(v, ref.pixels[y * line + x]);
            else
                ASSERT_EQ(v, 0xAB) << "outside the image at " << x << "," << y;
        }

    Request bottomUp;
    bottomUp.outHeight = -47;
    bottomUp.outPad = 3;
    bottomUp.fill = 0xCD;
    const Result b = decode(jpeg, bottomUp);
    ASSERT_EQ(b.imageRc, 0);
    const std::size_t stride = line + 3;
    for (std::uint32_t y = 0; y < 47; ++y) {
        // The top image row is stored at the highest row address.
        const Bytes expected = refRow(46 - y);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), b.pixels.begin() + y * stride)) << y;
        for (int p = 0; p < 3; ++p) ASSERT_EQ(b.pixels[y * stride + line + p], 0xCD); // padding untouched
    }

    // 17 pixels wide with luma 2x2: the second MCU column is cut to one pixel column.
    const Result t = decode(readFile(fixture("tiny17x9.jpg")));
    ASSERT_EQ(t.imageRc, 0);
    EXPECT_EQ(t.width, 17u);
    EXPECT_EQ(t.rows, 9u);
}

TEST(JpegExact, RoutinesAndFastPathCodes)
{
    struct Case {
        std::vector<Component> comps;
        JpegColor ic, oc;
        std::uint32_t channels;
        JpegSubsampling sub;
        std::uint32_t fastPath, conversion, upsampling;
    };
    const std::vector<Component> k4 = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 1, 1, 0}};
    const std::vector<Component> k4Luma2x2 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 2, 2, 0}};
    const std::vector<Component> k4Luma2x1 = {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 2, 1, 0}};
    const std::vector<Case> cases = {
        {k444, ColorYcbcr, ColorRgb, 3, SubsampleNone, 1, 1, 0},
        {k444, ColorYcbcr, ColorBgr, 3, SubsampleNone, 2, 1, 0},
        {k420, ColorYcbcr, ColorRgb, 3, SubsampleNone, 3, 1, 1},
        {k420, ColorYcbcr, ColorBgr, 3, SubsampleNone, 4, 1, 1},
        {k422, ColorYcbcr, ColorRgb, 3, SubsampleNone, 5, 1, 1},
        {k422, ColorYcbcr, ColorBgr, 3, SubsampleNone, 6, 1, 1},
        {k444, ColorYcbcr, ColorRgba, 4, SubsampleNone, 7, 1, 0},
        {k420, ColorYcbcr, ColorRgba, 4, SubsampleNone, 8, 1, 1},
        {k422, ColorYcbcr, ColorRgba, 4, SubsampleNone, 9, 1, 1},
        {k4, ColorYcbcra, ColorRgba, 4, SubsampleNone, 10, 1, 0},
        {k4Luma2x2, ColorYcbcra, ColorRgba, 4, SubsampleNone, 11, 1, 1},
        {k4Luma2x1, ColorYcbcra, ColorRgba, 4, SubsampleNone, 12, 1, 1},
        {k444, ColorRgb, ColorRgba, 4, SubsampleNone, 13, 0, 0},
        {k4, ColorRgba, ColorRgba, 4, SubsampleNone, 14, 0, 0},
        {k444, ColorRgb, ColorRgb, 3, SubsampleNone, 15, 0, 0},
        {k420, ColorRgb, ColorRgb, 3, SubsampleNone, 16, 0, 1},
        {k422, ColorRgb, ColorRgb, 3, SubsampleNone, 17, 0, 1},
        {k420, ColorRgb, ColorBgr, 3, SubsampleNone, 0, 0, 1},
        {k422, ColorYcbcr, ColorYcbcr, 2, Subsample2x1, 19, 0, 0},
        {k444, ColorRgb, ColorBgr, 3, SubsampleNone, 0, 0, 0},
        {k420, ColorYcbcr, ColorGray, 1, SubsampleNone, 0, 0, 1},
        {kGray, ColorGray, ColorGray, 1, SubsampleNone, 0, 0, 0},
        {kGray, ColorGray, ColorRgb, 3, SubsampleNone, 0, 0, 0},
        {{{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, ColorYcbcr, ColorRgb, 3, SubsampleNone, 0, 1, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "fastPath " << k.fastPath << " comps " << k.comps.size() << " out " << k.oc);
        std::vector<int> dc = {80, -40, 24, 160};
        const Result r = decodeAs(flat(16, 16, k.comps, dc), k.ic, k.oc, k.channels, k.sub);
        ASSERT_EQ(r.paramsRc, 0);
        ASSERT_EQ(r.imageRc, 0);
        EXPECT_EQ(r.image.props.fastPath, k.fastPath);
        EXPECT_EQ(r.image.colorConversion, k.conversion);
        EXPECT_EQ(r.image.upsampling, k.upsampling);
        // Component samples: 138, 123, 131, 148 (DC 8k gives 128 + k).
        const int y = 138, cb = 123, cr = 131, a = 148;
        const int red = std::clamp(y + ((359 * cr - 45813) >> 8), 0, 255);
        const int green = std::clamp(y - ((88 * cb + 183 * cr - 34806) >> 8), 0, 255);
        const int blue = std::clamp(y + ((454 * cb - 57937) >> 8), 0, 255);
        std::vector<int> px;
        const bool four = k.comps.size() == 4;
        if (k.conversion) {
            if (k.oc == ColorBgr)
                px = {blue, green, red};
            else if (k.oc == ColorRgba)
                px = {red, green, blue, four ? a : 255};
            else
                px = {red, green, blue};
        } else if (k.comps.size() == 1) {
            px = k.oc == ColorGray ? std::vector<int>{y} : std::vector<int>{y, y, y};
        } else if (k.oc == ColorGray) {
            px = {y};
        } else if (k.sub == Subsample2x1) {
            px = {y, cb}; // even columns; odd ones carry Cr
        } else if (k.oc == ColorBgr) {
            px = {cr, cb, y};
        } else if (k.oc == ColorRgba) {
            px = {y, cb, cr, four ? a : 255};
        } else {
            px = {y, cb, cr};
        }
        for (std::size_t i = 0; i < 256; ++i) {
            for (std::size_t ch = 0; ch < k.channels; ++ch) {
                int expected = px[ch];
                if (k.sub == Subsample2x1 && ch == 1 && (i % 16) % 2 == 1) expected = cr;
                ASSERT_EQ(r.pixels[i * k.channels + ch], expected) << "pixel " << i << " channel " << ch;
            }
        }
    }
}

TEST(JpegExact, GreyToRgbGivesEqualTriples)
{
    const Bytes jpeg = readFile(fixture("gray.jpg"));
    const Result g = decodeAs(jpeg, ColorGray, ColorGray, 1);
    const Result rgb = decodeAs(jpeg, ColorGray, ColorRgb, 3);
    const Result rgba = decodeAs(jpeg, ColorGray, ColorRgba, 4);
    ASSERT_EQ(g.imageRc, 0);
    ASSERT_EQ(rgb.imageRc, 0);
    ASSERT_EQ(rgba.imageRc, 0);
    for (std::size_t i = 0; i < g.pixels.size(); ++i) {
        ASSERT_EQ(rgb.pixels[3 * i], g.pixels[i]);
        ASSERT_EQ(rgb.pixels[3 * i + 1], g.pixels[i]);
        ASSERT_EQ(rgb.pixels[3 * i + 2], g.pixels[i]);
        ASSERT_EQ(rgba.pixels[4 * i + 2], g.pixels[i]);
        ASSERT_EQ(rgba.pixels[4 * i + 3], 255);
    }
    // A 1-component image as RGB with 4 channels is refused.
    EXPECT_EQ(decodeAs(jpeg, ColorGray, ColorRgb, 4).imageRc, -8);
}

TEST(JpegExact, BgrIsRgbReversedAndRgbaAddsOpaqueAlpha)
{
    for (const char* name :
         {"s420.jpg", "s422.jpg", "s444.jpg", "s440.jpg", "s411.jpg", "prog420.jpg", "noninterleaved.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes jpeg = readFile(fixture(name));
        const Result rgb = decodeAs(jpeg, ColorYcbcr, ColorRgb, 3);
        const Result bgr = decodeAs(jpeg, ColorYcbcr, ColorBgr, 3);
        const Result rgba = decodeAs(jpeg, ColorYcbcr, ColorRgba, 4);
        ASSERT_EQ(rgb.imageRc, 0);
        ASSERT_EQ(bgr.imageRc, 0);
        ASSERT_EQ(rgba.imageRc, 0);
        for (std::size_t i = 0; i < rgb.pixels.size() / 3; ++i) {
            ASSERT_EQ(bgr.pixels[3 * i], rgb.pixels[3 * i + 2]);
            ASSERT_EQ(bgr.pixels[3 * i + 1], rgb.pixels[3 * i + 1]);
            ASSERT_EQ(bgr.pixels[3 * i + 2], rgb.pixels[3 * i]);
            for (int c = 0; c < 3; ++c) ASSERT_EQ(rgba.pixels[4 * i + c], rgb.pixels[3 * i + c]);
            ASSERT_EQ(rgba.pixels[4 * i + 3], 255);
        }
    }
}

TEST(JpegExact, ProgressiveRendersOnlyAfterTheFinalScans)
{
    // A DC scan alone never meets the rendering condition: the output stays unwritten.
    auto picture = [](bool withAcScan) {
        JpegWriter w;
        w.soi();
        w.dqt(0, 1);
        w.dhtDc(0);
        w.dhtAc(0);
        w.sof(0xC2, 8, 8, kGray);
        w.sos(kGray, 0, 0, 0, 0);
        w.encodeBlock(80, {});
        w.flushBits();
        if (withAcScan) {
            w.sos(kGray, 1, 63, 0, 0);
            w.putBits(0, 2); // EOB (code 00 of the test AC table)
            w.flushBits();
        }
        w.eoi();
        return w.out;
    };
    const Result partial = decodeAs(picture(false), ColorGray, ColorGray, 1);
    ASSERT_EQ(partial.imageRc, 0);
    for (std::uint8_t v : partial.pixels) ASSERT_EQ(v, 0xAB);
    const Result full = decodeAs(picture(true), ColorGray, ColorGray, 1);
    ASSERT_EQ(full.imageRc, 0);
    for (std::uint8_t v : full.pixels) ASSERT_EQ(v, 138);
}

TEST(JpegExact, MemoryCapFailsBeforeAllocating)
{
    // A progressive 4:4:4 frame of 65535 x 65535 would need 24 GiB of coefficients.
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dhtDc(0);
    w.sof(0xC2, 65535, 65535, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}});
    w.sos({{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, 0, 0, 0, 1);
    w.flushBits();
    w.eoi();
    std::uint8_t out[3];
    JpegContext c;
    ASSERT_EQ(jpegInit(&c), 0);
    c.inBuffer = w.out.data();
    c.inBufferSize = static_cast<std::uint32_t>(w.out.size());
    c.outBuffer = out;
    c.outWidth = 1;
    c.outHeight = 1;
    c.outColor = ColorRgb;
    EXPECT_EQ(jpegRead(&c, ReadImageBuffer), -5);
    EXPECT_EQ(c.props.state->coefficients, nullptr);
    jpegFree(&c);
}
