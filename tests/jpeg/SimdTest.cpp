// The SIMD routines of processor classes 3 to 6 against the plain ones: the whole-MCU
// colour conversions routine by routine, the block decoders through whole decodes of
// hand-built streams with extreme coefficients, every fixture in every class, and the
// block decoders' code for a file that ends inside the entropy data.
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace jpegtest;

namespace {

struct Lcg {
    std::uint32_t seed;
    std::uint32_t next()
    {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    }
};

// One image read with the routines of a class; the whole output buffer (pad bytes and
// rows prefilled) and the result code.
struct ClassDecode {
    int rc = -1000;
    Bytes pixels;
};
ClassDecode decodeInClass(const Bytes& jpeg, int cpuClass, JpegColor color, std::uint32_t dctType, bool bottomUp)
{
    ClassDecode d;
    JpegContext c;
    if (jpegInit(&c) != 0) return d;
    if (jpegSetCpuClass(&c, cpuClass) == 0) {
        c.inBuffer = jpeg.data();
        c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
        c.props.dctType = dctType;
        d.rc = jpegRead(&c, ReadParamsBuffer);
        if (d.rc == 0) {
            const bool four = c.imageChannels == 4;
            c.outColor = four ? ColorRgba : color;
            c.outChannels = four ? 4 : 3;
            c.outPadBytes = 5;
            const std::size_t stride = static_cast<std::size_t>(c.imageWidth) * c.outChannels + 5;
            d.pixels.assign(stride * c.imageHeight, 0xA5);
            c.outBuffer = d.pixels.data();
            c.outWidth = c.imageWidth;
            c.outHeight =
                static_cast<std::int32_t>(bottomUp ? -static_cast<std::int64_t>(c.imageHeight) : c.imageHeight);
            d.rc = jpegRead(&c, ReadImageBuffer);
        }
    }
    jpegFree(&c);
    return d;
}

// Every class gives class 0's bytes and result for this stream.
void expectEveryClassAgrees(const Bytes& jpeg)
{
    const int highest = xtpjpeg::processorSupportsAvx2() ? xtpjpeg::kCpuClassAvx2 : 6;
    for (std::uint32_t dct : {0u, 1u}) {
        for (JpegColor color : {ColorRgb, ColorBgr}) {
            const bool bottomUp = color == ColorBgr;
            const ClassDecode plain = decodeInClass(jpeg, 0, color, dct, bottomUp);
            ASSERT_EQ(plain.rc, 0) << "dctType " << dct;
            for (int k = 1; k <= highest; ++k) {
                const ClassDecode other = decodeInClass(jpeg, k, color, dct, bottomUp);
                EXPECT_EQ(other.rc, plain.rc) << "class " << k << ", dctType " << dct;
                EXPECT_TRUE(other.pixels == plain.pixels)
                    << "class " << k << ", dctType " << dct << ", colour " << color;
            }
        }
    }
}

// A context with the routines of a class after a params read of the stream.
::testing::AssertionResult paramsInClass(JpegContext& c, const Bytes& jpeg, int cpuClass)
{
    if (jpegInit(&c) != 0) return ::testing::AssertionFailure() << "jpegInit";
    if (jpegSetCpuClass(&c, cpuClass) != 0) return ::testing::AssertionFailure() << "class " << cpuClass;
    c.inBuffer = jpeg.data();
    c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    const int rc = jpegRead(&c, ReadParamsBuffer);
    if (rc != 0) return ::testing::AssertionFailure() << "params read " << rc;
    return ::testing::AssertionSuccess();
}

const std::vector<Component> k420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<Component> k422 = {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<Component> k444 = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

// Blocks with extreme DC steps and AC values of every size at random runs, some blocks
// dense to coefficient 63, some with long zero runs (ZRL).
std::vector<Block> extremeBlocks(int count, Lcg& rng)
{
    std::vector<Block> blocks(static_cast<std::size_t>(count));
    for (Block& b : blocks) {
        const std::uint32_t kind = rng.next() % 4;
        b.dc = kind == 0 ? (rng.next() % 2 ? 2047 : -2047) : static_cast<int>(rng.next() % 1024) - 512;
        int k = 1;
        while (k <= 63 && rng.next() % 6 != 0) {
            const int run = kind == 1 ? 0 : static_cast<int>(rng.next() % (kind == 2 ? 40 : 6));
            if (k + run > 63) break;
            const int size = 1 + static_cast<int>(rng.next() % 10);
            int value = (1 << (size - 1)) + static_cast<int>(rng.next() % (1u << (size - 1)));
            if (rng.next() % 2) value = -value;
            b.ac.push_back({run, value});
            k += run + 1;
        }
    }
    return blocks;
}

} // namespace

#if defined(__SSE2__)
namespace {

// The inner routines of a SIMD class against the plain ones, on random samples, samples at
// both ends, mostly neutral ones, and every pair of chroma samples.
void expectInnerConversionsEqualThePlainOnes(int cpuClass)
{
    xtpjpeg::RoutineTable plain, simd, sse2;
    xtpjpeg::fillRoutineTable(plain, 0);
    xtpjpeg::fillRoutineTable(simd, cpuClass);
    xtpjpeg::fillRoutineTable(sse2, 6);
    Lcg rng{2024};
    struct Geometry {
        int fastPath, h, v; // fastPath 0: gray to three bytes
    };
    for (const Geometry g : {Geometry{0, 1, 1}, {1, 1, 1}, {2, 1, 1}, {3, 2, 2}, {4, 2, 2}, {5, 2, 1}, {6, 2, 1}}) {
        SCOPED_TRACE(g.fastPath);
        const xtpjpeg::InnerConversionRoutine plainRoutine = g.fastPath ? plain.inner[g.fastPath] : plain.grayTriples;
        const xtpjpeg::InnerConversionRoutine simdRoutine = g.fastPath ? simd.inner[g.fastPath] : simd.grayTriples;
        ASSERT_NE(plainRoutine, simdRoutine);
        if (cpuClass != 6) {
            ASSERT_NE(simdRoutine, g.fastPath ? sse2.inner[g.fastPath] : sse2.grayTriples);
        }
        const int cols = 8 * g.h, rows = 8 * g.v, blocks = g.h * g.v + (g.fastPath ? 2 : 0);
        const std::ptrdiff_t stride = cols * 3 + 7;
        for (int round = 0; round < 300; ++round) {
            alignas(16) std::int16_t mcu[6][64];
            for (int b = 0; b < blocks; ++b) {
                for (std::int16_t& v : mcu[b]) {
                    const std::uint32_t r = rng.next();
                    switch (round % 3) {
                    case 0:
                        v = static_cast<std::int16_t>(r % 256);
                        break; // any sample
                    case 1:
                        v = (r & 1) ? 255 : 0;
                        break; // clamping at both ends
                    default:
                        v = r % 16 == 0 ? static_cast<std::int16_t>((r >> 4) % 2 * 255) : 128; // mostly neutral
                    }
                }
            }
            Bytes a(static_cast<std::size_t>(stride) * rows + 16, 0x5A), b = a;
            plainRoutine(mcu, a.data(), stride, cols, rows);
            simdRoutine(mcu, b.data(), stride, cols, rows);
            ASSERT_TRUE(a == b) << "round " << round;
        }
        // Every pair of chroma samples, 64 pairs an MCU.
        for (int first = 0; first < (g.fastPath ? 65536 : 0); first += 64) {
            alignas(16) std::int16_t mcu[6][64];
            for (int b = 0; b < blocks - 2; ++b)
                for (std::int16_t& v : mcu[b]) v = static_cast<std::int16_t>(rng.next() % 256);
            for (int i = 0; i < 64; ++i) {
                mcu[blocks - 2][i] = static_cast<std::int16_t>((first + i) >> 8);
                mcu[blocks - 1][i] = static_cast<std::int16_t>((first + i) & 255);
            }
            Bytes a(static_cast<std::size_t>(stride) * rows + 16, 0x5A), b = a;
            plainRoutine(mcu, a.data(), stride, cols, rows);
            simdRoutine(mcu, b.data(), stride, cols, rows);
            ASSERT_TRUE(a == b) << "chroma pairs from " << first;
        }
    }
}

} // namespace

TEST(JpegSimd, InnerConversionsEqualThePlainOnes) { expectInnerConversionsEqualThePlainOnes(6); }

TEST(JpegSimd, Avx2InnerConversionsEqualThePlainOnes)
{
    if (!xtpjpeg::processorSupportsAvx2()) GTEST_SKIP() << "this processor or system has no AVX2";
    expectInnerConversionsEqualThePlainOnes(xtpjpeg::kCpuClassAvx2);
}
#endif

TEST(JpegSimd, EveryFixtureDecodesTheSameInEveryClass)
{
    for (const char* name : {"adobe-rgb.jpg", "big420.jpg", "cmyk.jpg", "gray.jpg", "noninterleaved.jpg",
                             "optimized.jpg", "prog420.jpg", "quant16.jpg", "rst-each.jpg", "s411.jpg", "s420.jpg",
                             "s422.jpg", "s440.jpg", "s444.jpg", "tiny17x9.jpg", "tiny1x1.jpg"}) {
        SCOPED_TRACE(name);
        expectEveryClassAgrees(readFile(fixture(name)));
    }
}

TEST(JpegSimd, ExtremeCoefficientsDecodeTheSameInEveryClass)
{
    Lcg rng{77};
    // Quantisation 1 keeps the row pass within 16 bits for most blocks; 255 overflows it
    // and wraps the 16-bit products of the dequantisation.
    for (int quant : {1, 255}) {
        for (const auto* comps : {&k420, &k422, &k444}) {
            SCOPED_TRACE(::testing::Message()
                         << "quant " << quant << ", H " << (*comps)[0].h << " V " << (*comps)[0].v);
            const int width = 40, height = 24;
            const int blocks = mcuCount(width, height, *comps) * blocksPerMcu(*comps);
            expectEveryClassAgrees(JpegWriter::baseline(width, height, *comps, extremeBlocks(blocks, rng), quant));
        }
    }
}

// A file that ends inside the entropy data: the plain bit reader reports "File error",
// the block decoders of the SIMD classes "Error EOF"; progressive scans use the plain
// decoders in every class.
TEST(JpegSimd, FileEndingInsideEntropyData)
{
    Lcg rng{5};
    const std::vector<Component> gray = {{1, 1, 1, 0}};
    Bytes sequential = JpegWriter::baseline(64, 64, gray, extremeBlocks(64, rng));
    sequential.resize(sequential.size() / 2);
    Bytes progressive = readFile(fixture("prog420.jpg"));
    progressive.resize(progressive.size() - 200);
    const std::string seqPath = tempPath("cut-sequential.jpg"), progPath = tempPath("cut-progressive.jpg");
    writeFile(seqPath, sequential);
    writeFile(progPath, progressive);
    for (int k = 0; k <= 6; ++k) {
        for (const std::string* path : {&seqPath, &progPath}) {
            JpegContext c;
            ASSERT_EQ(jpegInit(&c), 0);
            ASSERT_EQ(jpegSetCpuClass(&c, k), 0);
            c.inFileName = path->c_str();
            ASSERT_EQ(jpegRead(&c, ReadParamsFile), 0);
            Bytes px(static_cast<std::size_t>(c.imageWidth) * c.imageHeight * 3);
            c.outBuffer = px.data();
            c.outWidth = c.imageWidth;
            c.outHeight = static_cast<std::int32_t>(c.imageHeight);
            c.outColor = ColorRgb;
            const int expected = path == &seqPath && k >= 3 ? JpegErrorEof : JpegFileError;
            EXPECT_EQ(jpegRead(&c, ReadImageFile), expected) << "class " << k << " " << *path;
            jpegFree(&c);
        }
    }
}

// A 1/8 read keeps only the DC of each block and passes over the AC coefficients (in
// pairs of symbols where it can): every sample must be the DC's, also after dense blocks
// that end at coefficient 63 without an end of block and after corrupt runs past 63, and
// in the block decoders of every kind (plain, variant A, variant B).
TEST(JpegSimd, EighthReadsTakeTheDcOfEveryBlock)
{
    Lcg rng{31};
    const std::vector<Component> gray = {{1, 1, 1, 0}};
    const int width = 128, height = 64, count = (width / 8) * (height / 8);
    std::vector<Block> blocks = extremeBlocks(count, rng);
    for (int i = 0; i < count; i += 5) {
        blocks[static_cast<std::size_t>(i)].dc = static_cast<int>(rng.next() % 1024) - 512;
        blocks[static_cast<std::size_t>(i)].ac = {{60, 5}, {10, -3}}; // the second run passes 63
    }
    for (int i = 2; i < count; i += 7) {
        std::vector<std::pair<int, int>> dense;
        for (int k = 1; k <= 63; ++k) dense.push_back({0, rng.next() % 2 ? 1 : -2});
        blocks[static_cast<std::size_t>(i)].ac = dense; // coefficient 63 set: no end of block follows
    }
    const Bytes jpeg = JpegWriter::baseline(width, height, gray, blocks);
    for (int k : {0, 3, 6, 7}) {
        if (k == xtpjpeg::kCpuClassAvx2 && !xtpjpeg::processorSupportsAvx2()) continue;
        JpegContext c;
        ASSERT_TRUE(paramsInClass(c, jpeg, k));
        Bytes px(static_cast<std::size_t>(width / 8) * (height / 8));
        c.outBuffer = px.data();
        c.outWidth = width / 8;
        c.outHeight = height / 8;
        c.outColor = ColorGray;
        c.outChannels = 1;
        ASSERT_EQ(jpegRead(&c, ReadEighthBuffer), 0);
        jpegFree(&c);
        for (int b = 0; b < count; ++b) {
            const int dc = blocks[static_cast<std::size_t>(b)].dc; // quantisation 1
            const int expected = std::clamp(((dc + 4) >> 3) + 128, 0, 255);
            ASSERT_EQ(px[static_cast<std::size_t>(b)], expected) << "class " << k << ", block " << b;
        }
    }
}

// MCUs outside a cropped output are passed over for their DC predictors only: the pixels
// that are shown equal the full decode's, in every kind of block decoder.
TEST(JpegSimd, CroppedOutputEqualsTheFullDecodesCorner)
{
    Lcg rng{9};
    const int width = 48, height = 32;
    const Bytes jpeg = JpegWriter::baseline(width, height, k420,
                                            extremeBlocks(mcuCount(width, height, k420) * blocksPerMcu(k420), rng));
    for (int k : {0, 3, 6, 7}) {
        if (k == xtpjpeg::kCpuClassAvx2 && !xtpjpeg::processorSupportsAvx2()) continue;
        Bytes full, cropped;
        for (const bool crop : {false, true}) {
            JpegContext c;
            ASSERT_TRUE(paramsInClass(c, jpeg, k));
            c.outWidth = crop ? 20 : width;
            c.outHeight = crop ? 20 : height;
            Bytes& px = crop ? cropped : full;
            px.assign(static_cast<std::size_t>(c.outWidth) * static_cast<std::size_t>(c.outHeight) * 3, 0);
            c.outBuffer = px.data();
            c.outColor = ColorRgb;
            ASSERT_EQ(jpegRead(&c, ReadImageBuffer), 0);
            jpegFree(&c);
        }
        for (int y = 0; y < 20; ++y) // the second MCU row follows MCUs that were passed over
            for (int x = 0; x < 20 * 3; ++x)
                ASSERT_EQ(cropped[static_cast<std::size_t>(y * 60 + x)],
                          full[static_cast<std::size_t>(y * width * 3 + x)])
                    << "class " << k << " at " << x / 3 << "," << y;
    }
}
