// libjpeg-turbo's djpeg as an independent oracle on the committed fixtures.
//
// Tolerance. Our results follow the decoder's defined formulas to the bit, which libjpeg-turbo does not:
//  - its accurate integer transform ("islow") uses 13-bit constants and other roundings
//    than the Q15 dctType 1 transform (about +-1 per sample);
//  - its YCbCr-to-RGB conversion works with 16-bit fractions and rounds, where ours
//    uses 8-bit factors (359, 88, 183, 454) and floors; chroma errors are amplified by
//    up to 1.77 (the Cb factor of blue);
//  - the non-interleaved conversion at EOI uses a G formula that may differ by one more.
// Together these stay within 4 per channel with a mean below 1; we allow max 4, mean 1.0.
// dctType 0 (the AAN family) carries coarser fixed-point constants and only one fraction
// bit in its dequantised coefficients; it is compared with the same accurate djpeg output
// (djpeg's own "fast" AAN transform strays up to 10 from it, ours up to 5): max 6, mean 1.5; its tables are kept in 16 bits, so
// quantisation tables with values far above 255 overflow them, as in the original, and
// quant16.jpg is left out of that comparison. Upsampling is replication on both sides
// (djpeg -nosmooth).
#include "JpegTestSupport.h"
#include "jpeg/JpegInternal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ostream>

using namespace jpegtest;

namespace {

struct Fixture {
    const char* name;
    std::uint32_t width, height, channels;
    JpegSubsampling subsampling;
};

const Fixture kFixtures[] = {
    {"s444.jpg", 61, 47, 3, SubsampleNone},
    {"s422.jpg", 61, 47, 3, Subsample2x1},
    {"s420.jpg", 61, 47, 3, Subsample2x2},
    {"s440.jpg", 61, 47, 3, SubsampleOther},
    {"s411.jpg", 61, 47, 3, SubsampleOther},
    {"gray.jpg", 61, 47, 1, SubsampleNone},
    {"prog420.jpg", 61, 47, 3, Subsample2x2},
    {"prog444.jpg", 61, 47, 3, SubsampleNone},
    {"proggray.jpg", 61, 47, 1, SubsampleNone},
    {"progrst.jpg", 61, 47, 3, Subsample2x2},
    {"rst-rows.jpg", 61, 47, 3, Subsample2x2},
    {"rst-blocks.jpg", 61, 47, 3, Subsample2x2},
    {"rst-each.jpg", 61, 47, 3, SubsampleNone},
    {"optimized.jpg", 61, 47, 3, Subsample2x2},
    {"quant16.jpg", 61, 47, 3, Subsample2x2},
    {"adobe-rgb.jpg", 61, 47, 3, SubsampleNone},
    {"noninterleaved.jpg", 61, 47, 3, Subsample2x2},
    {"noninterleaved444.jpg", 61, 47, 3, SubsampleNone},
    {"noninterleaved-mixed.jpg", 61, 47, 3, Subsample2x2},
    {"tiny17x9.jpg", 17, 9, 3, Subsample2x2},
    {"tiny1x1.jpg", 1, 1, 3, Subsample2x2},
    {"tiny1x1-prog.jpg", 1, 1, 3, Subsample2x2},
    {"big420.jpg", 100, 75, 3, Subsample2x2},
};

bool haveDjpeg()
{
    struct stat st;
    return std::string(DJPEG_PATH).size() > 0 && stat(DJPEG_PATH, &st) == 0;
}

class JpegOracle : public ::testing::TestWithParam<Fixture> {};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

} // namespace

TEST_P(JpegOracle, MatchesDjpegWithinTolerance)
{
    if (!haveDjpeg()) GTEST_SKIP() << "djpeg not installed";
    const Fixture& f = GetParam();
    const std::string path = fixture(f.name);
    const Bytes jpeg = readFile(path);
    ASSERT_FALSE(jpeg.empty());
    for (std::uint32_t dct : {1u, 0u}) {
        if (dct == 0 && std::string(f.name) == "quant16.jpg") continue;
        Picture oracle;
        ASSERT_TRUE(djpeg(path, oracle));
        ASSERT_EQ(oracle.width, f.width);
        ASSERT_EQ(oracle.height, f.height);
        for (bool file : {false, true}) {
            SCOPED_TRACE(::testing::Message() << f.name << " dctType " << dct << (file ? " file" : " buffer"));
            Request rq;
            rq.dctType = dct;
            rq.keepReportedColor = true; // Adobe RGB stays RGB, JFIF YCbCr converts
            rq.useFile = file;
            rq.fileName = path;
            const Result r = decode(jpeg, rq);
            ASSERT_EQ(r.paramsRc, 0);
            ASSERT_EQ(r.imageRc, 0);
            EXPECT_EQ(r.params.imageWidth, f.width);
            EXPECT_EQ(r.params.imageHeight, f.height);
            EXPECT_EQ(r.params.imageChannels, f.channels);
            EXPECT_EQ(r.params.imageSubsampling, f.subsampling);
            const Diff d = compare(r.pixels, oracle.pixels);
            EXPECT_LE(d.max, dct == 1 ? 4 : 6);
            EXPECT_LE(d.mean, dct == 1 ? 1.0 : 1.5);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JpegOracle, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<Fixture>& paramInfo) {
                             std::string n = paramInfo.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

TEST(JpegOracleExtra, AdobeRgbIsReportedAsRgb)
{
    JpegContext c;
    const Bytes jpeg = readFile(fixture("adobe-rgb.jpg"));
    ASSERT_EQ(jpegInit(&c), 0);
    c.inBuffer = jpeg.data();
    c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    ASSERT_EQ(jpegRead(&c, ReadParamsBuffer), 0);
    EXPECT_EQ(c.imageColor, ColorRgb);
    jpegFree(&c);
}

TEST(JpegOracleExtra, FourComponentAdobePicture)
{
    const Bytes jpeg = readFile(fixture("cmyk.jpg"));
    Request rq;
    rq.keepReportedColor = true;
    rq.outColor = ColorRgba;
    rq.outChannels = 4;
    const Result r = decode(jpeg, rq);
    ASSERT_EQ(r.paramsRc, 0);
    EXPECT_EQ(r.params.imageChannels, 4u);
    // ImageMagick writes an Adobe segment with a nonzero transform: YCbCrA, shown as RGBA.
    EXPECT_EQ(r.params.imageColor, ColorYcbcra);
    EXPECT_EQ(r.params.outColor, ColorRgba);
    EXPECT_EQ(r.params.outChannels, 4u);
    EXPECT_EQ(r.imageRc, 0);
    EXPECT_EQ(r.image.props.fastPath, 10u); // conversion only, four components to RGBA
}

TEST(JpegOracleExtra, ParamsThenImageOnTheSameFileContext)
{
    // The picture source's sequence with a file: params, then image (which rewinds).
    const std::string path = fixture("prog420.jpg");
    Request rq;
    rq.useFile = true;
    rq.fileName = path;
    const Result viaFile = decode({}, rq);
    const Result viaBuffer = decode(readFile(path));
    ASSERT_EQ(viaFile.imageRc, 0);
    EXPECT_EQ(viaFile.pixels, viaBuffer.pixels);
}
