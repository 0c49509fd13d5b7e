// Tables-only streams with abbreviated images, and JFIF/JFXX thumbnails.
#include "JpegTestSupport.h"
#include "jpeg/JpegInternal.h"

#include <gtest/gtest.h>

using namespace jpegtest;

namespace {

struct Decoder {
    JpegContext c;
    Decoder() { jpegInit(&c); }
    ~Decoder() { jpegFree(&c); }
    int read(const Bytes& b, JpegOperation op)
    {
        c.inBuffer = b.data();
        c.inBufferSize = static_cast<std::uint32_t>(b.size());
        return jpegRead(&c, op);
    }
    void output(Bytes& pixels, std::uint32_t w, std::int32_t h, std::uint32_t channels, JpegColor color)
    {
        c.outBuffer = pixels.data();
        c.outWidth = w;
        c.outHeight = h;
        c.outChannels = channels;
        c.outColor = color;
        c.outPadBytes = 0;
        c.outSubsampling = SubsampleNone;
    }
};

// A small valid picture with an APP0 segment right after SOI.
Bytes withApp0(const Bytes& body)
{
    const Bytes picture = JpegWriter::baseline(8, 8, {{1, 1, 1, 0}}, {{16, {}}});
    JpegWriter w;
    w.soi();
    w.segment(0xE0, body);
    w.out.insert(w.out.end(), picture.begin() + 2, picture.end());
    return w.out;
}

Bytes jfifBody(int w, int h)
{
    Bytes body{'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(h)};
    for (int i = 0; i < w * h * 3; ++i) body.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    return body;
}

} // namespace

TEST(JpegTables, TablesOnlyThenAbbreviatedEqualsTheCompleteStream)
{
    for (const char* name : {"s420.jpg", "prog420.jpg", "optimized.jpg", "noninterleaved.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes full = readFile(fixture(name));
        Bytes tables, abbreviated;
        splitTables(full, tables, abbreviated);
        ASSERT_LT(abbreviated.size(), full.size());
        const Result whole = decode(full);
        ASSERT_EQ(whole.imageRc, 0);

        Decoder d;
        ASSERT_EQ(d.read(tables, ReadTablesBuffer), 0);
        Bytes pixels(whole.pixels.size(), 0);
        d.c.imageColor = ColorYcbcr;
        d.output(pixels, whole.width, static_cast<std::int32_t>(whole.rows), 3, ColorRgb);
        ASSERT_EQ(d.read(abbreviated, ReadAbbreviatedBuffer), 0);
        EXPECT_EQ(pixels, whole.pixels);

        // Without the tables the abbreviated stream cannot be decoded.
        Decoder bare;
        bare.c.imageColor = ColorYcbcr;
        bare.output(pixels, whole.width, static_cast<std::int32_t>(whole.rows), 3, ColorRgb);
        const int rc = bare.read(abbreviated, ReadAbbreviatedBuffer);
        EXPECT_TRUE(rc == JpegNoHuffmanTable || rc == JpegNoQuantizationTable) << rc;
    }
}

TEST(JpegTables, TablesReadStopsAtTheFrameAndNeedsSoi)
{
    // A complete stream read as tables loads them and ends at SOF without a frame.
    const Bytes full = readFile(fixture("s444.jpg"));
    Decoder d;
    EXPECT_EQ(d.read(full, ReadTablesBuffer), 0);
    EXPECT_EQ(d.c.props.state->needFrame, true);
    const Bytes noSoi(full.begin() + 2, full.end());
    EXPECT_EQ(d.read(noSoi, ReadTablesBuffer), JpegNotJpeg);
}

TEST(JpegThumbnail, JfifTriplesInRgbBgrAndBottomUp)
{
    const Bytes body = jfifBody(3, 2);
    const Bytes jpeg = withApp0(body);
    const std::uint8_t* rgb = body.data() + 14;
    for (JpegColor color : {ColorRgb, ColorBgr}) {
        for (std::int32_t h : {2, -2}) {
            SCOPED_TRACE(::testing::Message() << "colour " << color << " height " << h);
            Decoder d;
            Bytes pixels(11 * 2, 0xEE); // rows of 3 pixels and 2 pad bytes that stay untouched
            d.output(pixels, 3, h, 3, color);
            d.c.outPadBytes = 2;
            ASSERT_EQ(d.read(jpeg, ReadThumbnailBuffer), 0);
            EXPECT_EQ(d.c.thumbWidth, 3u);
            EXPECT_EQ(d.c.thumbHeight, 2u);
            for (int y = 0; y < 2; ++y) {
                const int row = h < 0 ? 1 - y : y;
                for (int x = 0; x < 3; ++x) {
                    const std::uint8_t* src = rgb + (y * 3 + x) * 3;
                    const std::uint8_t* dst = pixels.data() + row * 11 + x * 3;
                    EXPECT_EQ(dst[0], color == ColorRgb ? src[0] : src[2]);
                    EXPECT_EQ(dst[1], src[1]);
                    EXPECT_EQ(dst[2], color == ColorRgb ? src[2] : src[0]);
                }
                EXPECT_EQ(pixels[row * 11 + 9], 0xEE);
                EXPECT_EQ(pixels[row * 11 + 10], 0xEE);
            }
        }
    }
}

TEST(JpegThumbnail, JfxxRgbAndPaletteForms)
{
    Bytes rgbBody{'J', 'F', 'X', 'X', 0, 0x13, 2, 1, 10, 20, 30, 40, 50, 60};
    Bytes paletteBody{'J', 'F', 'X', 'X', 0, 0x11, 2, 1};
    for (int i = 0; i < 768; ++i) paletteBody.push_back(static_cast<std::uint8_t>(i % 251));
    paletteBody.push_back(5);   // entry 5: bytes 15, 16, 17
    paletteBody.push_back(200); // entry 200: bytes 600, 601, 602 (mod 251)
    const Bytes expectRgb = {10, 20, 30, 40, 50, 60};
    const Bytes expectPalette = {15, 16, 17, 600 % 251, 601 % 251, 602 % 251};
    for (const auto& [body, expect] : {std::pair{rgbBody, expectRgb}, std::pair{paletteBody, expectPalette}}) {
        Decoder d;
        Bytes pixels(6, 0);
        d.output(pixels, 2, 1, 3, ColorRgb);
        ASSERT_EQ(d.read(withApp0(body), ReadThumbnailBuffer), 0);
        EXPECT_EQ(pixels, expect);
        EXPECT_EQ(d.c.thumbWidth, 2u);
        EXPECT_EQ(d.c.thumbHeight, 1u);
    }
    // A params read reports the palette form's size only through a thumbnail read.
    Decoder params;
    ASSERT_EQ(params.read(withApp0(paletteBody), ReadParamsBuffer), 0);
    EXPECT_EQ(params.c.thumbWidth, 0u);
}

TEST(JpegThumbnail, OversizedOrTruncatedThumbnails)
{
    const Bytes jpeg = withApp0(jfifBody(3, 2));
    for (auto [w, h] : {std::pair{2u, 2}, std::pair{3u, 1}, std::pair{3u, -1}}) {
        Decoder d;
        Bytes pixels(3 * 3 * 2, 0x55);
        d.output(pixels, w, h, 3, ColorRgb);
        EXPECT_EQ(d.read(jpeg, ReadThumbnailBuffer), JpegThumbnailTooSmall) << w << "x" << h;
        for (std::uint8_t v : pixels) ASSERT_EQ(v, 0x55);
    }
    // A segment shorter than its pixels: the size is reported, nothing is written.
    Bytes body = jfifBody(3, 2);
    body.resize(body.size() - 1);
    Decoder d;
    Bytes pixels(18, 0x55);
    d.output(pixels, 3, 2, 3, ColorRgb);
    EXPECT_EQ(d.read(withApp0(body), ReadThumbnailBuffer), 0);
    EXPECT_EQ(d.c.thumbWidth, 3u);
    for (std::uint8_t v : pixels) ASSERT_EQ(v, 0x55);
}
