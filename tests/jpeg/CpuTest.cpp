// Processor classes: the "USECPU" override read through the registry stand-in, and the
// SIMD routines of the classes that use them, which must give the plain routines' bytes.
#include "jpeg/Idct.h"
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"
#include "JpegTestSupport.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace jpegtest;

namespace {

// Points the registry stand-in at a fresh file for this test process.
class JpegCpuRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        picturePath = tempPath("usecpu.reg");
        std::remove(picturePath.c_str());
        setenv("REELSMITH_REGISTRY", picturePath.c_str(), 1);
    }
    void TearDown() override { unsetenv("REELSMITH_REGISTRY"); }

    static void setValue(const Bytes& data, DWORD type = REG_DWORD)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "USECPU", 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static Bytes dword(std::int32_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
                static_cast<std::uint8_t>(u >> 24)};
    }
    static int classOfNewContext()
    {
        JpegContext c;
        if (jpegInit(&c) != 0) return -100;
        const int k = jpegCpuClass(&c);
        jpegFree(&c);
        return k;
    }

    std::string picturePath;
};

} // namespace

TEST_F(JpegCpuRegistry, UseCpuOverridesTheDetectedClass)
{
    const xtpjpeg::ProcessorDescription d = xtpjpeg::readProcessor();
    const int detected = xtpjpeg::detectCpuClass(d);
    EXPECT_EQ(classOfNewContext(), detected); // no key yet
    for (int forced : {0, 3, 6}) {
        setValue(dword(forced));
        EXPECT_EQ(classOfNewContext(), forced);
    }
    for (int ignored : {7, -1}) {
        setValue(dword(ignored));
        EXPECT_EQ(classOfNewContext(), detected) << ignored;
    }
    // A value longer than 4 bytes does not fit and is ignored; its type is not examined.
    setValue({2, 0, 0, 0, 0}, REG_BINARY);
    EXPECT_EQ(classOfNewContext(), detected);
    setValue(dword(2), REG_BINARY);
    EXPECT_EQ(classOfNewContext(), 2);
}

// Real photographs decoded with "USECPU" forcing the plain class and the SSE2 class, and
// with the value 7, which leaves the detected class (the AVX2 one where the processor has
// it): the same pixels, in both colour orders and both transform families.
TEST_F(JpegCpuRegistry, ForcedClassesDecodePhotographsAlike)
{
    const bool avx2 = xtpjpeg::processorSupportsAvx2();
    std::vector<std::string> paths;
    for (const char* name : {"sample1.jpg", "sample2.jpg", "sample3.jpg"})
        paths.push_back(std::string(SAMPLES_DIR) + "/" + name);
    for (const char* name : {"big420.jpg", "s422.jpg", "s444.jpg", "prog420.jpg", "gray.jpg"})
        paths.push_back(fixture(name));
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const Bytes jpeg = readFile(path);
        ASSERT_FALSE(jpeg.empty());
        for (std::uint32_t dct : {0u, 1u}) {
            for (JpegColor color : {ColorRgb, ColorBgr}) {
                Bytes reference;
                for (int value : {0, 6, 7}) {
                    setValue(dword(value));
                    JpegContext c;
                    ASSERT_EQ(jpegInit(&c), 0);
                    if (value == 7) {
                        EXPECT_EQ(jpegCpuClass(&c) == xtpjpeg::kCpuClassAvx2, avx2);
                    } else {
                        EXPECT_EQ(jpegCpuClass(&c), value);
                    }
                    c.inBuffer = jpeg.data();
                    c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
                    c.props.dctType = dct;
                    ASSERT_EQ(jpegRead(&c, ReadParamsBuffer), 0);
                    Bytes pixels(static_cast<std::size_t>(c.imageWidth) * c.imageHeight * 3, 0x33);
                    c.outBuffer = pixels.data();
                    c.outWidth = c.imageWidth;
                    c.outHeight = -static_cast<std::int32_t>(c.imageHeight);
                    c.outColor = color;
                    ASSERT_EQ(jpegRead(&c, ReadImageBuffer), 0);
                    jpegFree(&c);
                    if (value == 0) reference = pixels;
                    EXPECT_TRUE(pixels == reference)
                        << "USECPU " << value << ", dctType " << dct << ", colour " << color;
                }
            }
        }
    }
}

// The AVX2 class is taken only where the processor and the system support AVX2; elsewhere
// it cannot be forced, and a table filled for it holds the SSE2 routines (the sequential
// decoder too, unless the processor has BMI2).
TEST(JpegCpu, Avx2ClassOnlyWhereSupported)
{
    JpegContext c;
    ASSERT_EQ(jpegInit(&c), 0);
    const bool avx2 = xtpjpeg::processorSupportsAvx2();
    EXPECT_EQ(jpegSetCpuClass(&c, xtpjpeg::kCpuClassAvx2), avx2 ? 0 : JpegInvalidProperties);
    EXPECT_EQ(jpegSetCpuClass(&c, 8), JpegInvalidProperties);
    jpegFree(&c);
    xtpjpeg::RoutineTable sse2, t;
    xtpjpeg::fillRoutineTable(sse2, 6);
    xtpjpeg::fillRoutineTable(t, xtpjpeg::kCpuClassAvx2);
    EXPECT_EQ(t.mcuDecoder[1] == sse2.mcuDecoder[1], !__builtin_cpu_supports("bmi2"));
    EXPECT_EQ(t.endOfCall, sse2.endOfCall);
#if defined(XTPJPEG_AVX2)
    EXPECT_EQ(t.idct[1][0] == &xtpjpeg::idct8x8Type1Avx2, avx2);
    EXPECT_EQ(t.currentIdct[0] == &xtpjpeg::idct8x8Type1Avx2, avx2);
    EXPECT_EQ(t.idct[1][1] == &xtpjpeg::idct4x4Type1Avx2, avx2);
    EXPECT_EQ(t.idct[0][0] == &xtpjpeg::idct8x8Type0Avx2, avx2);
    EXPECT_EQ(t.dequant[1] == &xtpjpeg::dequantType1Avx2, avx2);
    EXPECT_EQ(t.inner[3] != sse2.inner[3], avx2);
#endif
    if (!avx2) {
        EXPECT_EQ(t.idct[1][0], sse2.idct[1][0]);
        EXPECT_EQ(t.inner[3], sse2.inner[3]);
    }
}

#if defined(__SSE2__)
namespace {

// Blocks of four kinds by round: typical coefficients, any 16 bits, extremes (saturating
// and wrapping cases), and sparse blocks (most coefficients zero, some DC-only).
struct BlockSource {
    std::uint32_t seed = 12345;
    std::uint32_t next()
    {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    }
    void fill(int round, std::int16_t* a)
    {
        static const std::int16_t extremes[] = {0, 1, -1, 32767, -32768, 2047, -2048, 1023, -1024};
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t r = next();
            switch (round % 4) {
            case 0:
                a[i] = static_cast<std::int16_t>((r % 2048) - 1024);
                break;
            case 1:
                a[i] = static_cast<std::int16_t>(r);
                break;
            case 2:
                a[i] = extremes[r % 9];
                break;
            default:
                a[i] = (i == 0 || r % (round % 3 == 0 ? 64 : 8) == 0) ? static_cast<std::int16_t>((r >> 4) % 512 - 256)
                                                                      : 0;
            }
        }
    }
};

using Transform = void (*)(std::int16_t*);

// The SIMD transform against the plain one over the four kinds of blocks, every single
// coefficient at its extremes, and every DC value alone.
void expectSameTransform(Transform plain, Transform simd)
{
    BlockSource src;
    for (int round = 0; round < 4000; ++round) {
        alignas(16) std::int16_t a[64], b[64];
        src.fill(round, a);
        std::copy(a, a + 64, b);
        plain(a);
        simd(b);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "round " << round;
    }
    for (int i = 0; i < 64; ++i) {
        for (std::int16_t v : {std::int16_t{32767}, std::int16_t{-32768}, std::int16_t{-1}}) {
            alignas(16) std::int16_t a[64] = {}, b[64] = {};
            a[i] = b[i] = v;
            plain(a);
            simd(b);
            ASSERT_TRUE(std::equal(a, a + 64, b)) << i << " " << v;
        }
    }
    for (std::int32_t dc = -32768; dc <= 32767; dc += 3) {
        alignas(16) std::int16_t a[64] = {}, b[64] = {};
        a[0] = b[0] = static_cast<std::int16_t>(dc);
        plain(a);
        simd(b);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "DC " << dc;
    }
}

} // namespace

TEST(JpegCpu, Sse2TransformsEqualThePlainOnes)
{
    {
        SCOPED_TRACE("dctType 1");
        expectSameTransform(xtpjpeg::idct8x8Type1, xtpjpeg::idct8x8Type1Sse2);
    }
    {
        SCOPED_TRACE("dctType 0");
        expectSameTransform(xtpjpeg::idct8x8Type0, xtpjpeg::idct8x8Type0Sse2);
    }
}

namespace {

using Dequant = void (*)(std::int16_t*, const std::int16_t*);

void expectSameDequantisation(Dequant simd)
{
    BlockSource src;
    for (int round = 0; round < 4000; ++round) {
        alignas(16) std::int16_t a[64], b[64], q[64];
        src.fill(round, a);
        for (auto& v : q) v = static_cast<std::int16_t>(src.next() % (round % 3 == 0 ? 65536 : 256));
        std::copy(a, a + 64, b);
        xtpjpeg::dequantType1(a, q);
        simd(b, q);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "round " << round;
    }
}

} // namespace

TEST(JpegCpu, Sse2DequantisationEqualsThePlainOne) { expectSameDequantisation(xtpjpeg::dequantType1Sse2); }
#endif

#if defined(XTPJPEG_AVX2)
TEST(JpegCpu, Avx2TransformsAndDequantisationEqualThePlainOnes)
{
    if (!xtpjpeg::processorSupportsAvx2()) GTEST_SKIP() << "this processor or system has no AVX2";
    {
        SCOPED_TRACE("dctType 1");
        expectSameTransform(xtpjpeg::idct8x8Type1, xtpjpeg::idct8x8Type1Avx2);
    }
    {
        SCOPED_TRACE("dctType 0");
        expectSameTransform(xtpjpeg::idct8x8Type0, xtpjpeg::idct8x8Type0Avx2);
    }
    {
        SCOPED_TRACE("dctType 1 at 1/2");
        expectSameTransform(xtpjpeg::idct4x4Type1, xtpjpeg::idct4x4Type1Avx2);
    }
    expectSameDequantisation(xtpjpeg::dequantType1Avx2);
}
#endif

TEST(JpegCpu, EveryClassDecodesTheSameBytes)
{
    const int highest = xtpjpeg::processorSupportsAvx2() ? xtpjpeg::kCpuClassAvx2 : 6;
    for (const char* name : {"big420.jpg", "prog420.jpg", "s444.jpg", "noninterleaved.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes jpeg = readFile(fixture(name));
        Bytes reference;
        for (int k = 0; k <= highest; ++k) {
            JpegContext c;
            ASSERT_EQ(jpegInit(&c), 0);
            ASSERT_EQ(jpegSetCpuClass(&c, k), 0);
            EXPECT_EQ(jpegCpuClass(&c), k);
            c.inBuffer = jpeg.data();
            c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
            ASSERT_EQ(jpegRead(&c, ReadParamsBuffer), 0);
            Bytes pixels(static_cast<std::size_t>(c.imageWidth) * c.imageHeight * 3);
            c.outBuffer = pixels.data();
            c.outWidth = c.imageWidth;
            c.outHeight = static_cast<std::int32_t>(c.imageHeight);
            c.outColor = ColorRgb;
            ASSERT_EQ(jpegRead(&c, ReadImageBuffer), 0);
            EXPECT_EQ(jpegSetCpuClass(&c, 8), JpegInvalidProperties);
            jpegFree(&c);
            EXPECT_EQ(jpegCpuClass(&c), -1);
            if (k == 0) reference = pixels;
            EXPECT_EQ(pixels, reference) << k;
        }
    }
}
