// The interface, defaults, validation of every operation code, result codes and
// messages, and the version record.
#include "jpeg/Idct.h"
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <utility>

using namespace jpegtest;

namespace {

struct Ctx {
    JpegContext c;
    Ctx()
    {
        std::memset(&c, 0xCD, sizeof c); // jpegInit must not read what was there
        EXPECT_EQ(jpegInit(&c), 0);
    }
    ~Ctx() { jpegFree(&c); }
};

// A request that passes validation for a pixel-writing buffer operation.
void validImageRequest(JpegContext& c, std::uint8_t* out, const Bytes& in)
{
    c.outBuffer = out;
    c.outWidth = 4;
    c.outHeight = 4;
    c.inBuffer = in.data();
    c.inBufferSize = static_cast<std::uint32_t>(in.size());
    c.outColor = ColorRgb;
}

const Bytes kGarbage = {0x12, 0x34, 0x56}; // no marker: any read of it gives -5

} // namespace

TEST(JpegInterface, VersionRecord)
{
    const JpegLibraryVersionInfo* v = jpegLibraryVersion();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->major, 1);
    EXPECT_EQ(v->minor, 51);
    EXPECT_EQ(v->build, 12);
    EXPECT_STREQ(v->name, "xtpjpeg.lib");
    EXPECT_STREQ(v->version, "1.51.12");
    EXPECT_STREQ(v->internalVersion, "[1.51.12.44]");
    EXPECT_STREQ(v->buildDate, "May 30 2001");
    EXPECT_STREQ(v->callingConvention, "Microsoft");
    EXPECT_EQ(jpegLibraryVersion(), v);
}

TEST(JpegInterface, ErrorStrings)
{
    const std::pair<int, const char*> table[] = {{2, "ROI Success"},
                                                 {1, "Interrupt Success"},
                                                 {0, "Success"},
                                                 {-1, "Exception detected"},
                                                 {-2, "Invalid Encoder"},
                                                 {-3, "Unsupported subsampling"},
                                                 {-4, "Unsupported bytes per pixel"},
                                                 {-5, "Memory error"},
                                                 {-6, "Bad Huffman table"},
                                                 {-7, "Bad Quantization table"},
                                                 {-8, "Invalid JPEG_PROPERTIES"},
                                                 {-9, "Error close file"},
                                                 {-10, "Invalid file name"},
                                                 {-11, "Error EOF"},
                                                 {-12, "Not supported"},
                                                 {-13, "Not JPEG"},
                                                 {-14, "Error COMP"},
                                                 {-15, "Error SOF"},
                                                 {-16, "Error DNL"},
                                                 {-17, "No Huffman table"},
                                                 {-18, "No Quantization table"},
                                                 {-19, "No frame"},
                                                 {-20, "Multiply frame"},
                                                 {-21, "Data error"},
                                                 {-22, "No image"},
                                                 {-23, "File error"},
                                                 {-24, "Internal error"},
                                                 {-25, "Bad RST marker"},
                                                 {-26, "Thumbnail too small"},
                                                 {-27, "Thumbnail has wrong color"},
                                                 {-28, "Output buffer too small"},
                                                 {-29, "Unsupported frame was found"},
                                                 {-30, "Error access to jpeg_comment buffer"},
                                                 {-99, "Reserved"}};
    for (auto [code, text] : table) EXPECT_STREQ(jpegErrorString(code), text) << code;
    for (int code : {3, 100, -31, -50, -98, -100, -1000, 1 << 30})
        EXPECT_STREQ(jpegErrorString(code), "Unknown error code") << code;
}

TEST(JpegInterface, InitDefaults)
{
    Ctx x;
    const JpegContext& c = x.c;
    EXPECT_EQ(c.useWorkingRecord, 0u);
    EXPECT_EQ(c.outBuffer, nullptr);
    EXPECT_EQ(c.outWidth, 0u);
    EXPECT_EQ(c.outHeight, 0);
    EXPECT_EQ(c.outPadBytes, 0);
    EXPECT_EQ(c.outChannels, 3u);
    EXPECT_EQ(c.outColor, ColorBgr);
    EXPECT_EQ(c.outSubsampling, SubsampleNone);
    EXPECT_EQ(c.inFileName, nullptr);
    EXPECT_EQ(c.inBuffer, nullptr);
    EXPECT_EQ(c.inBufferSize, 0u);
    EXPECT_EQ(c.imageWidth, 0u);
    EXPECT_EQ(c.imageHeight, 0u);
    EXPECT_EQ(c.imageChannels, 3u);
    EXPECT_EQ(c.imageColor, ColorYcbcr);
    EXPECT_EQ(c.imageSubsampling, Subsample2x2);
    EXPECT_EQ(c.thumbWidth, 0u);
    EXPECT_EQ(c.thumbHeight, 0u);
    EXPECT_EQ(c.colorConversion, 1u);
    EXPECT_EQ(c.upsampling, 1u);
    EXPECT_EQ(c.quality, 75u);
    const JPEG_PROPERTIES& p = c.props;
    EXPECT_EQ(p.operation, JpegOperation::Setup);
    for (int r : p.roi) EXPECT_EQ(r, 0);
    EXPECT_EQ(p.dctType, 1u);
    EXPECT_EQ(p.fastPath, 0u);
    EXPECT_EQ(p.interrupt, 0u);
    EXPECT_EQ(p.outChannels, 3u);
    EXPECT_EQ(p.outColor, ColorBgr);
    EXPECT_EQ(p.imageChannels, 3u);
    EXPECT_EQ(p.imageColor, ColorYcbcr);
    EXPECT_EQ(p.quality, 75u);
    EXPECT_EQ(p.coefficientSink, nullptr);
    EXPECT_EQ(p.interpolatedUpsampling, 0u);
    EXPECT_EQ(p.jpeg_comment, nullptr);
    EXPECT_EQ(p.jpeg_comment_length, 0);
    ASSERT_NE(p.state, nullptr);
    // The state: needFrame, four components with selectors 0, 1, 1, 1, the routine table.
    const JpegDecoderState& s = *p.state;
    EXPECT_TRUE(s.needFrame);
    EXPECT_EQ(s.frame.componentCount, 4);
    EXPECT_EQ(s.frame.comp[0].tq, 0);
    EXPECT_EQ(s.frame.comp[1].tq, 1);
    EXPECT_EQ(s.frame.comp[3].tq, 1);
    ASSERT_NE(s.routines, nullptr);
    EXPECT_GE(s.cpuClass, 0);
    EXPECT_LE(s.cpuClass, 7);
    EXPECT_EQ(s.restartInterval, 0);
    EXPECT_EQ(s.adobeVersion, 100);
    EXPECT_EQ(s.jfifVersion, 0x0101);
    EXPECT_EQ(s.jfifXDensity, 1);
}

TEST(JpegInterface, PlainRoutineTableIsFilled)
{
    Ctx x;
    ASSERT_EQ(jpegSetCpuClass(&x.c, 0), 0);
    const xtpjpeg::RoutineTable& t = *x.c.props.state->routines;
    EXPECT_EQ(t.endOfCall, nullptr); // the plain table's end-of-call does nothing
    EXPECT_EQ(t.idct[0][0], &xtpjpeg::idct8x8Type0);
    EXPECT_EQ(t.idct[1][0], &xtpjpeg::idct8x8Type1);
    EXPECT_EQ(t.idct[0][3], &xtpjpeg::idct1x1Type0);
    EXPECT_EQ(t.idct[1][3], &xtpjpeg::idct1x1Type1);
    EXPECT_EQ(t.idct[0][1], &xtpjpeg::idct4x4Type0);
    EXPECT_EQ(t.idct[1][2], &xtpjpeg::idct2x2Type1);
    EXPECT_EQ(t.dequant[0], &xtpjpeg::dequantType0);
    EXPECT_EQ(t.dequant[1], &xtpjpeg::dequantType1);
    for (int i = 1; i <= 6; ++i) EXPECT_NE(t.inner[i], nullptr) << i;
}

TEST(JpegInterface, ProcessorClasses)
{
    using xtpjpeg::classifyCpu;
    constexpr std::uint32_t kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;
    EXPECT_EQ(classifyCpu(6, kMmx | kSse), 5);
    EXPECT_EQ(classifyCpu(6, kMmx | kSse | kSse2), 5);
    EXPECT_EQ(classifyCpu(6, kMmx), 4);
    EXPECT_EQ(classifyCpu(6, 0), 2);
    EXPECT_EQ(classifyCpu(5, kMmx), 3);
    EXPECT_EQ(classifyCpu(5, 0), 1);
    EXPECT_EQ(classifyCpu(15, kMmx | kSse | kSse2), 6);
    EXPECT_EQ(classifyCpu(15, kMmx | kSse), 0); // family 15 without SSE2: plain
    EXPECT_EQ(classifyCpu(4, kMmx), 0);
    // jpegInit runs the dispatch.
    Ctx x;
    const xtpjpeg::ProcessorDescription d = xtpjpeg::readProcessor();
    EXPECT_EQ(std::strlen(d.vendor), 12u);
    EXPECT_EQ(x.c.props.state->cpuClass, xtpjpeg::detectCpuClass(d));
    EXPECT_EQ(x.c.props.state->cpuClass == xtpjpeg::kCpuClassAvx2, xtpjpeg::processorSupportsAvx2());
}

// AVX2 needs the instruction set (leaf 7 EBX bit 5, read only up to the maximum leaf), AVX
// and OSXSAVE (leaf 1 ECX bits 28 and 27), and the system saving XMM and YMM state (XCR0
// bits 1 and 2); any one missing leaves classifyCpu's class.
TEST(JpegInterface, Avx2Detection)
{
    using xtpjpeg::supportsAvx2;
    constexpr std::uint32_t kOsxsave = 1u << 27, kAvx = 1u << 28, kAvx2 = 1u << 5;
    constexpr std::uint64_t kXmmYmm = 6;
    EXPECT_TRUE(supportsAvx2(7, kOsxsave | kAvx, kAvx2, kXmmYmm));
    EXPECT_TRUE(supportsAvx2(0x1F, kOsxsave | kAvx | 1, kAvx2 | 1, kXmmYmm | 1 | 0xE0));
    EXPECT_FALSE(supportsAvx2(6, kOsxsave | kAvx, kAvx2, kXmmYmm)); // leaf 7 beyond the maximum
    EXPECT_FALSE(supportsAvx2(7, kAvx, kAvx2, kXmmYmm));
    EXPECT_FALSE(supportsAvx2(7, kOsxsave, kAvx2, kXmmYmm));
    EXPECT_FALSE(supportsAvx2(7, kOsxsave | kAvx, 1u << 4, kXmmYmm));
    EXPECT_FALSE(supportsAvx2(7, kOsxsave | kAvx, kAvx2, 2)); // YMM state not saved
    EXPECT_FALSE(supportsAvx2(7, kOsxsave | kAvx, kAvx2, 4));
    EXPECT_FALSE(supportsAvx2(7, kOsxsave | kAvx, kAvx2, 0));

    constexpr std::uint32_t kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;
    xtpjpeg::ProcessorDescription d;
    d.family = 15;
    d.features = kMmx | kSse | kSse2;
    d.maxLeaf = 13;
    d.featuresEcx = kOsxsave | kAvx;
    d.extendedFeatures = kAvx2;
    d.xcr0 = kXmmYmm;
    EXPECT_EQ(xtpjpeg::detectCpuClass(d), xtpjpeg::kCpuClassAvx2);
    d.family = 6; // whatever the family
    EXPECT_EQ(xtpjpeg::detectCpuClass(d), xtpjpeg::kCpuClassAvx2);
    d.xcr0 = 2;
    EXPECT_EQ(xtpjpeg::detectCpuClass(d), 5);
    d.family = 15;
    EXPECT_EQ(xtpjpeg::detectCpuClass(d), 6);
}

TEST(JpegInterface, NullAndReleasedContexts)
{
    EXPECT_EQ(jpegInit(nullptr), -1);
    EXPECT_EQ(jpegRead(nullptr, ReadParamsBuffer), -1);
    EXPECT_EQ(jpegFree(nullptr), -1);
    JpegContext c;
    ASSERT_EQ(jpegInit(&c), 0);
    EXPECT_EQ(jpegFree(&c), 0);
    EXPECT_EQ(c.props.state, nullptr);
    EXPECT_EQ(jpegRead(&c, ReadParamsBuffer), -1); // needs jpegInit again
    EXPECT_EQ(jpegFree(&c), 0);                    // nothing left to release
    ASSERT_EQ(jpegInit(&c), 0);
    EXPECT_EQ(jpegFree(&c), 0);
}

TEST(JpegInterface, OperationCodesOutOfRange)
{
    for (int op : {-1, 22, 23, 100, -100}) {
        Ctx x;
        std::uint8_t out[64];
        validImageRequest(x.c, out, kGarbage);
        EXPECT_EQ(jpegRead(&x.c, static_cast<JpegOperation>(op)), -8) << op;
        EXPECT_EQ(x.c.props.operation, op);
    }
}

TEST(JpegInterface, EveryOperationCodeIsValidatedThenDispatched)
{
    std::uint8_t out[64];
    for (int op = 0; op <= 21; ++op) {
        Ctx x;
        validImageRequest(x.c, out, kGarbage);
        const std::string missing = tempPath("no-such-file.jpg");
        x.c.inFileName = missing.c_str();
        const int rc = jpegRead(&x.c, static_cast<JpegOperation>(op));
        if (op >= 8 && op <= 13)
            EXPECT_EQ(rc, -2) << op; // the encoder is not built
        else
            EXPECT_EQ(rc, op % 2 == 0 ? -10 : -5) << op; // opened / read
    }
}

TEST(JpegInterface, OutputRulesForPixelWritingOperations)
{
    std::uint8_t out[64];
    for (int op : {2, 3, 6, 7, 14, 15, 16, 17, 18, 19, 20, 21}) {
        auto check = [&](auto change, int expected) {
            Ctx x;
            validImageRequest(x.c, out, kGarbage);
            x.c.inFileName = "x.jpg";
            change(x.c);
            EXPECT_EQ(jpegRead(&x.c, static_cast<JpegOperation>(op)), expected) << op;
        };
        check([](JpegContext& c) { c.outBuffer = nullptr; }, -8);
        check([](JpegContext& c) { c.outWidth = 0; }, -8);
        check([](JpegContext& c) { c.outWidth = 65536; }, -8);
        check([](JpegContext& c) { c.outHeight = 65536; }, -8);
        check([](JpegContext& c) { c.outHeight = -65536; }, -8);
        check([](JpegContext& c) { c.outPadBytes = -1; }, -8);
        check([](JpegContext& c) { c.outChannels = 0; }, -8);
        check([](JpegContext& c) { c.outChannels = 256; }, -8);
        check([](JpegContext& c) { c.outSubsampling = Subsample2x2; }, -3);
        check([](JpegContext& c) { c.outSubsampling = Subsample2x1; }, -3); // not with ColorRgb
        if (op >= 20)
            check(
                [](JpegContext& c) {
                    c.outColor = ColorGray;
                    c.outChannels = 1;
                },
                -27);
    }
}

TEST(JpegInterface, ParamsOperationsSkipTheOutputRules)
{
    Ctx x;
    x.c.inBuffer = kGarbage.data();
    x.c.inBufferSize = 3;
    x.c.outWidth = 0; // irrelevant for a params read
    EXPECT_EQ(jpegRead(&x.c, ReadParamsBuffer), -5);
}

TEST(JpegInterface, ImageReadRejectsBadOutputBeforeReadingInput)
{
    // The input is not a JPEG at all: the -8 comes first.
    for (auto change : {+[](JpegContext& c) { c.outWidth = 0; }, +[](JpegContext& c) { c.outBuffer = nullptr; },
                        +[](JpegContext& c) { c.outChannels = 0; }}) {
        Ctx x;
        std::uint8_t out[64];
        validImageRequest(x.c, out, kGarbage);
        change(x.c);
        EXPECT_EQ(jpegRead(&x.c, ReadImageBuffer), -8);
    }
}

TEST(JpegInterface, InputRules)
{
    Ctx a;
    EXPECT_EQ(jpegRead(&a.c, ReadParamsFile), -8); // no file name
    Ctx b;
    b.c.inBufferSize = 3;
    EXPECT_EQ(jpegRead(&b.c, ReadParamsBuffer), -8); // no buffer
    Ctx d;
    d.c.inBuffer = kGarbage.data();
    d.c.inBufferSize = 0;
    EXPECT_EQ(jpegRead(&d.c, ReadParamsBuffer), -8); // empty buffer
    Ctx e;
    const std::string missing = tempPath("missing.jpg");
    e.c.inFileName = missing.c_str();
    EXPECT_EQ(jpegRead(&e.c, ReadParamsFile), -10);
}

TEST(JpegInterface, ImageChannelsAndColourPairs)
{
    struct Case {
        JpegColor ic;
        std::uint32_t in;
        JpegColor oc;
        std::uint32_t out;
        bool ok;
    };
    const Case cases[] = {
        {ColorGray, 1, ColorGray, 1, true},   {ColorGray, 1, ColorRgb, 3, true},
        {ColorGray, 1, ColorBgr, 3, true},    {ColorGray, 1, ColorRgba, 4, true},
        {ColorGray, 1, ColorRgb, 4, false},   {ColorGray, 3, ColorRgb, 3, false},
        {ColorRgb, 3, ColorRgb, 3, true},     {ColorRgb, 3, ColorBgr, 3, true},
        {ColorRgb, 3, ColorRgba, 4, true},    {ColorRgb, 3, ColorGray, 1, false},
        {ColorYcbcr, 3, ColorGray, 1, true},  {ColorYcbcr, 3, ColorRgb, 3, true},
        {ColorYcbcr, 3, ColorBgr, 3, true},   {ColorYcbcr, 3, ColorRgba, 4, true},
        {ColorYcbcr, 3, ColorYcbcr, 1, true}, {ColorYcbcr, 3, ColorYcbcr, 7, true},
        {ColorYcbcr, 3, ColorRgb, 4, false},  {ColorYcbcr, 3, ColorOther, 3, false},
        {ColorRgba, 4, ColorRgba, 4, true},   {ColorRgba, 4, ColorRgb, 3, false},
        {ColorYcbcra, 4, ColorRgba, 4, true}, {ColorYcbcra, 4, ColorRgb, 3, false},
        {ColorOther, 2, ColorOther, 5, true}, {ColorOther, 256, ColorOther, 1, true},
        {ColorOther, 2, ColorRgb, 3, false},  {ColorBgr, 3, ColorBgr, 3, false},
    };
    for (const Case& k : cases) {
        Ctx x;
        x.c.inBuffer = kGarbage.data();
        x.c.inBufferSize = 3;
        x.c.imageColor = k.ic;
        x.c.imageChannels = k.in;
        x.c.outColor = k.oc;
        x.c.outChannels = k.out;
        EXPECT_EQ(jpegRead(&x.c, ReadParamsBuffer), k.ok ? -5 : -8)
            << k.ic << "," << k.in << " -> " << k.oc << "," << k.out;
    }
    for (std::uint32_t n : {0u, 257u}) {
        Ctx x;
        x.c.inBuffer = kGarbage.data();
        x.c.inBufferSize = 3;
        x.c.imageColor = ColorOther;
        x.c.outColor = ColorOther;
        x.c.imageChannels = n;
        EXPECT_EQ(jpegRead(&x.c, ReadParamsBuffer), -8) << n;
    }
}

TEST(JpegInterface, DctTypeAndImplementerOptions)
{
    Ctx a;
    a.c.inBuffer = kGarbage.data();
    a.c.inBufferSize = 3;
    a.c.props.dctType = 2;
    EXPECT_EQ(jpegRead(&a.c, ReadParamsBuffer), -8);
    a.c.props.dctType = 0;
    EXPECT_EQ(jpegRead(&a.c, ReadParamsBuffer), -5);
    Ctx b;
    int sink = 0;
    b.c.inBuffer = kGarbage.data();
    b.c.inBufferSize = 3;
    b.c.props.coefficientSink = &sink;
    b.c.props.interpolatedUpsampling = 1;
    EXPECT_EQ(jpegRead(&b.c, ReadParamsBuffer), -8);
    // With a sink the output rules are skipped.
    b.c.props.interpolatedUpsampling = 0;
    EXPECT_EQ(jpegRead(&b.c, ReadImageBuffer), -5);
}

TEST(JpegInterface, OutHeightZeroPassesValidation)
{
    const Bytes jpeg = readFile(fixture("s420.jpg"));
    Request rq;
    rq.outHeight = 0;
    Result base = decode(jpeg, rq);
    ASSERT_EQ(base.imageRc, 0);
    Ctx x;
    std::uint8_t out[16];
    x.c.inBuffer = jpeg.data();
    x.c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    x.c.outBuffer = out;
    x.c.outWidth = 4;
    x.c.outHeight = 0;
    x.c.outColor = ColorRgb;
    EXPECT_EQ(jpegRead(&x.c, ReadImageBuffer), 0);
}

TEST(JpegInterface, UseWorkingRecordSkipsValidationAndCopies)
{
    const Bytes jpeg = readFile(fixture("s444.jpg"));
    Result ref = decode(jpeg);
    ASSERT_EQ(ref.imageRc, 0);
    Ctx x;
    JpegContext& c = x.c;
    std::vector<std::uint8_t> out(ref.pixels.size());
    c.useWorkingRecord = 1;
    // Public fields that validation would refuse are not looked at.
    c.outWidth = 0;
    c.outBuffer = nullptr;
    c.imageChannels = 999;
    JPEG_PROPERTIES& p = c.props;
    p.inBuffer = jpeg.data();
    p.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    p.outBuffer = out.data();
    p.outWidth = ref.width;
    p.outHeight = static_cast<std::int32_t>(ref.rows);
    p.outChannels = 3;
    p.outColor = ColorRgb;
    p.imageColor = ColorYcbcr;
    p.imageChannels = 3;
    p.outLineBytes = static_cast<std::int32_t>(ref.width * 3);
    ASSERT_EQ(jpegRead(&c, ReadImageBuffer), 0);
    EXPECT_EQ(out, ref.pixels);
    EXPECT_EQ(c.imageWidth, ref.width); // results are still copied back
}

TEST(JpegInterface, FileOperationsOpenAndClose)
{
    const std::string path = fixture("s422.jpg");
    Request rq;
    rq.useFile = true;
    rq.fileName = path;
    Result viaFile = decode({}, rq);
    ASSERT_EQ(viaFile.paramsRc, 0);
    ASSERT_EQ(viaFile.imageRc, 0);
    Result viaBuffer = decode(readFile(path));
    EXPECT_EQ(viaFile.pixels, viaBuffer.pixels);
    // The image read closed the file: the context holds no handle.
    Ctx x;
    x.c.inFileName = path.c_str();
    ASSERT_EQ(jpegRead(&x.c, ReadParamsFile), 0);
    EXPECT_GE(x.c.props.state->input.fd, 0); // params leave it open for the image read
    std::vector<std::uint8_t> out(x.c.imageWidth * x.c.imageHeight * 3);
    x.c.outBuffer = out.data();
    x.c.outWidth = x.c.imageWidth;
    x.c.outHeight = static_cast<std::int32_t>(x.c.imageHeight);
    x.c.outColor = ColorRgb;
    ASSERT_EQ(jpegRead(&x.c, ReadImageFile), 0);
    EXPECT_EQ(x.c.props.state->input.fd, -1);
}

TEST(JpegInterface, ResultsCopiedBackOnlyOnSuccess)
{
    Ctx x;
    const Bytes bad = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 8, 0, 0, 0, 8, 1, 1, 0x11, 0}; // height 0
    x.c.inBuffer = bad.data();
    x.c.inBufferSize = static_cast<std::uint32_t>(bad.size());
    x.c.imageWidth = 77;
    EXPECT_EQ(jpegRead(&x.c, ReadParamsBuffer), -16);
    EXPECT_EQ(x.c.imageWidth, 77u);
}

TEST(JpegInterface, ContextsOnSeveralThreads)
{
    const Bytes jpeg = readFile(fixture("prog420.jpg"));
    const Result ref = decode(jpeg);
    ASSERT_EQ(ref.imageRc, 0);
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                const Result r = decode(jpeg);
                if (r.imageRc != 0 || r.pixels != ref.pixels) return;
            }
            ok[t] = 1;
        });
    for (auto& th : threads) th.join();
    for (int v : ok) EXPECT_EQ(v, 1);
}

// Only a frame whose first scan is sequential and holds every component is coded in one scan.
TEST(JpegInterface, OneSequentialScanTellsBaselineFromProgressiveAndScanPerComponent)
{
    EXPECT_EQ(jpegOneSequentialScan(nullptr), 0);
    const std::pair<const char*, int> cases[] = {
        {"s420.jpg", 1},    {"s444.jpg", 1},     {"gray.jpg", 1},           {"cmyk.jpg", 1},
        {"prog420.jpg", 0}, {"proggray.jpg", 0}, {"noninterleaved.jpg", 0}, {"noninterleaved-mixed.jpg", 0}};
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        Ctx x;
        EXPECT_EQ(jpegOneSequentialScan(&x.c), 0); // no frame yet
        const Bytes in = readFile(fixture(name));
        x.c.inBuffer = in.data();
        x.c.inBufferSize = static_cast<std::uint32_t>(in.size());
        ASSERT_EQ(jpegRead(&x.c, ReadParamsBuffer), 0);
        EXPECT_EQ(jpegOneSequentialScan(&x.c), expected);
        // A progressive frame read after a baseline one on the same context is not taken for it.
        const Bytes progressive = readFile(fixture("prog444.jpg"));
        x.c.inBuffer = progressive.data();
        x.c.inBufferSize = static_cast<std::uint32_t>(progressive.size());
        ASSERT_EQ(jpegRead(&x.c, ReadParamsBuffer), 0);
        EXPECT_EQ(jpegOneSequentialScan(&x.c), 0);
    }
}

// One bit for every block of every component of the frame the params read found.
TEST(JpegInterface, MinimumStreamBytesCountsTheFramesBlocks)
{
    EXPECT_EQ(jpegMinimumStreamBytes(nullptr), 0u);
    Ctx x;
    EXPECT_EQ(jpegMinimumStreamBytes(&x.c), 0u);    // no frame yet
    const Bytes in = readFile(fixture("s420.jpg")); // 61 x 47: 8 x 6 luma blocks, 4 x 3 of each chroma
    x.c.inBuffer = in.data();
    x.c.inBufferSize = static_cast<std::uint32_t>(in.size());
    ASSERT_EQ(jpegRead(&x.c, ReadParamsBuffer), 0);
    EXPECT_EQ(jpegMinimumStreamBytes(&x.c), 9u);
    Ctx y;
    y.c.inBuffer = in.data();
    y.c.inBufferSize = static_cast<std::uint32_t>(in.size());
    ASSERT_EQ(jpegRead(&y.c, ReadParamsBuffer), 0);
    jpegFree(&y.c);
    EXPECT_EQ(jpegMinimumStreamBytes(&y.c), 0u);
}
