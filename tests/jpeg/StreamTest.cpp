// Stream parsing (and the stream-driven codes of the interface and the entropy decoder): hand-built byte streams for every
// parse error and result code that the decoder raises.
#include "JpegTestSupport.h"
#include "jpeg/JpegInternal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace jpegtest;

namespace {

const std::vector<Component> kGray = {{1, 1, 1, 0}};
const std::vector<Component> k444 = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

int params(const Bytes& b, JpegContext* out = nullptr)
{
    JpegContext c;
    EXPECT_EQ(jpegInit(&c), 0);
    c.inBuffer = b.data();
    c.inBufferSize = static_cast<std::uint32_t>(b.size());
    const int rc = jpegRead(&c, ReadParamsBuffer);
    if (out) *out = c;
    jpegFree(&c);
    return rc;
}

int image(const Bytes& b, std::vector<std::uint8_t>* pixels = nullptr, std::uint32_t w = 8, std::uint32_t h = 8)
{
    JpegContext c;
    EXPECT_EQ(jpegInit(&c), 0);
    std::vector<std::uint8_t> out(w * h * 3, 0xAB);
    c.inBuffer = b.data();
    c.inBufferSize = static_cast<std::uint32_t>(b.size());
    c.outBuffer = out.data();
    c.outWidth = w;
    c.outHeight = static_cast<std::int32_t>(h);
    c.outColor = ColorRgb;
    const int rc = jpegRead(&c, ReadImageBuffer);
    jpegFree(&c);
    if (pixels) *pixels = out;
    return rc;
}

// SOI, tables, an 8x8 grey frame, and its scan: a valid picture.
Bytes grayPicture(int dc = 0) { return JpegWriter::baseline(8, 8, kGray, {Block{dc, {}}}); }

// A stream with the prefix SOI + tables, then the given segments.
Bytes withTables(const std::function<void(JpegWriter&)>& rest)
{
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dhtDc(0);
    w.dhtAc(0);
    rest(w);
    return w.out;
}

} // namespace

TEST(JpegStream, ValidHandBuiltPicture)
{
    JpegContext c;
    EXPECT_EQ(params(grayPicture(), &c), 0);
    EXPECT_EQ(c.imageWidth, 8u);
    EXPECT_EQ(c.imageHeight, 8u);
    EXPECT_EQ(c.imageChannels, 1u);
    EXPECT_EQ(c.imageColor, ColorGray);
    EXPECT_EQ(image(grayPicture()), 0);
}

TEST(JpegStream, NotJpeg)
{
    EXPECT_EQ(params({0xFF, 0xD9, 0xFF, 0xD8}), -13); // first marker EOI
    // Bytes before SOI: params reports the first marker found.
    EXPECT_EQ(params({0x00, 0xFF, 0xE1, 0xFF, 0xD8}), -13);
}

TEST(JpegStream, NoMarkerAtAll)
{
    EXPECT_EQ(params({0x01, 0x02, 0x03}), -5);
    EXPECT_EQ(image({0x01, 0x02, 0x03}), -5);
}

TEST(JpegStream, BytesBeforeSoiAndFillBytes)
{
    Bytes b = {0x00, 0x11, 0x22};
    const Bytes pic = grayPicture(80);
    b.insert(b.end(), pic.begin(), pic.end());
    EXPECT_EQ(params(b), 0); // no 0xFF before SOI: SOI is the first marker found
    std::vector<std::uint8_t> px;
    EXPECT_EQ(image(b, &px), 0);
    // 0xFF fill bytes before a marker code, and 0xFF 0x00 outside entropy-coded data.
    Bytes f = {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0x00};
    f.insert(f.end(), pic.begin() + 2, pic.end());
    std::vector<std::uint8_t> px2;
    EXPECT_EQ(image(f, &px2), 0);
    EXPECT_EQ(px, px2);
}

TEST(JpegStream, EndOfInputRightAfterFF)
{
    // Outside entropy-coded data a marker code that cannot be read is the pseudo-marker
    // "end of input", which ends the operation with success.
    Bytes b = grayPicture(80);
    b.resize(b.size() - 2); // drop EOI
    JpegWriter w;
    w.comment("after the scan");
    b.insert(b.end(), w.out.begin(), w.out.end());
    b.push_back(0xFF);
    std::vector<std::uint8_t> px;
    EXPECT_EQ(image(b, &px), 0);
    EXPECT_EQ(px[0], 138);
}

TEST(JpegStream, BadHuffmanTables)
{
    auto dht = [](Bytes body) {
        JpegWriter w;
        w.soi();
        w.segment(0xC4, body);
        w.eoi();
        return w.out;
    };
    Bytes counts(16, 0);
    counts[0] = 1;
    auto table = [&](int tcth) {
        Bytes b{static_cast<std::uint8_t>(tcth)};
        b.insert(b.end(), counts.begin(), counts.end());
        b.push_back(0);
        return b;
    };
    EXPECT_EQ(params(dht(table(0x00))), -22); // a sound table, and no frame after it
    EXPECT_EQ(params(dht(table(0x04))), -6);  // Th 4
    EXPECT_EQ(params(dht(table(0x20))), -6);  // class byte 32
    Bytes over(16, 0);
    over[0] = 3; // three codes of length 1 do not fit
    Bytes b{0x00};
    b.insert(b.end(), over.begin(), over.end());
    b.insert(b.end(), {0, 1, 2});
    EXPECT_EQ(params(dht(b)), -6);
    Bytes many(16, 0);
    many[15] = 255;
    many[14] = 3; // 258 codes
    Bytes m{0x10};
    m.insert(m.end(), many.begin(), many.end());
    m.resize(m.size() + 258, 0);
    EXPECT_EQ(params(dht(m)), -6);
    Bytes truncated = table(0x00);
    truncated.pop_back(); // the value is missing
    EXPECT_EQ(params(dht(truncated)), -6);
    EXPECT_EQ(params(dht(Bytes(1092, 0))), -21); // body above 1091 bytes
}

TEST(JpegStream, FourHuffmanTablesInOneSegment)
{
    Bytes body;
    for (int tcth : {0x00, 0x10, 0x01, 0x11}) {
        body.push_back(static_cast<std::uint8_t>(tcth));
        Bytes counts(16, 0);
        counts[1] = 2;
        body.insert(body.end(), counts.begin(), counts.end());
        body.insert(body.end(), {0, 1});
    }
    JpegWriter w;
    w.soi();
    w.segment(0xC4, body);
    w.eoi();
    JpegContext c;
    c.props.state = nullptr;
    ASSERT_EQ(jpegInit(&c), 0);
    c.inBuffer = w.out.data();
    c.inBufferSize = static_cast<std::uint32_t>(w.out.size());
    ASSERT_EQ(jpegRead(&c, ReadTablesBuffer), 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(c.props.state->dcTables[i].defined);
        EXPECT_TRUE(c.props.state->acTables[i].defined);
    }
    EXPECT_EQ(c.props.state->dcCount, 2);
    EXPECT_EQ(c.props.state->acCount, 2);
    jpegFree(&c);
}

TEST(JpegStream, QuantisationTables)
{
    auto dqt = [](Bytes body) {
        JpegWriter w;
        w.soi();
        w.segment(0xDB, body);
        w.eoi();
        return w.out;
    };
    Bytes two(130, 1);
    two[0] = 0x00;
    two[65] = 0x01;
    JpegContext c;
    ASSERT_EQ(jpegInit(&c), 0);
    const Bytes s = dqt(two);
    c.inBuffer = s.data();
    c.inBufferSize = static_cast<std::uint32_t>(s.size());
    ASSERT_EQ(jpegRead(&c, ReadTablesBuffer), 0);
    EXPECT_TRUE(c.props.state->quant[0].defined);
    EXPECT_TRUE(c.props.state->quant[1].defined);
    EXPECT_EQ(c.props.state->quantCount, 2);
    jpegFree(&c);
    // Pq = 1: 128 value bytes, big-endian.
    Bytes sixteen{0x12};
    for (int i = 0; i < 64; ++i) sixteen.insert(sixteen.end(), {0x01, static_cast<std::uint8_t>(i)});
    ASSERT_EQ(jpegInit(&c), 0);
    const Bytes s16 = dqt(sixteen);
    c.inBuffer = s16.data();
    c.inBufferSize = static_cast<std::uint32_t>(s16.size());
    ASSERT_EQ(jpegRead(&c, ReadTablesBuffer), 0);
    EXPECT_EQ(c.props.state->quant[2].natural[0], 0x0100);
    EXPECT_EQ(c.props.state->quant[2].natural[1], 0x0101); // zigzag 1 is natural 1
    EXPECT_EQ(c.props.state->quant[2].natural[8], 0x0102); // zigzag 2 is natural 8
    EXPECT_EQ(c.props.state->quant[2].precision, 1);
    jpegFree(&c);
    Bytes bad(65, 1);
    bad[0] = 0x04; // Tq 4
    EXPECT_EQ(params(dqt(bad)), -7);
    Bytes shortTable(10, 1);
    shortTable[0] = 0x00;
    EXPECT_EQ(params(dqt(shortTable)), -7);
    EXPECT_EQ(params(dqt(Bytes(517, 0))), -21); // above 516 bytes
}

TEST(JpegStream, FrameHeaderErrors)
{
    auto frame = [](int precision, int width, int height, std::vector<Component> comps, int code = 0xC0) {
        JpegWriter w;
        w.soi();
        w.sof(code, width, height, comps, precision);
        w.eoi();
        return w.out;
    };
    EXPECT_EQ(params(frame(8, 8, 8, kGray)), 0);
    EXPECT_EQ(params(frame(12, 8, 8, kGray)), -29);
    EXPECT_EQ(params(frame(8, 8, 0, kGray)), -16);
    std::vector<Component> five = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}, {5, 1, 1, 0}};
    EXPECT_EQ(params(frame(8, 8, 8, five)), -14);
    EXPECT_EQ(params(frame(8, 8, 8, {})), -14);
    EXPECT_EQ(params(frame(8, 8, 8, {{1, 0, 1, 0}})), -21); // sampling factor 0
    EXPECT_EQ(params(frame(8, 8, 8, {{1, 5, 1, 0}})), -21); // sampling factor 5
    for (int code : {0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        EXPECT_EQ(params(frame(8, 8, 8, kGray, code)), -29) << code;
    // A frame header cut short.
    JpegWriter w;
    w.soi();
    w.segment(0xC0, {8, 0, 8, 0, 8, 3, 1, 0x11});
    EXPECT_EQ(params(w.out), -21);
}

TEST(JpegStream, SegmentLengthsAndEnds)
{
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x01}), -21);             // length below 2
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x00}), -21);             // skipped segment, length 0
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10, 1, 2}), -21);       // runs past the end
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x01}), -21);             // COM length below 2
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xEE, 0x00, 0x01}), -21);             // APP14 length below 2
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xDD, 0x00, 0x02, 0xFF, 0xD9}), -21); // DRI without value
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xDB, 0x00}), -5);                    // length field cut (buffer)
    // APP0 with a short body or a bad length is passed over without an error: the read
    // ends at EOI with no frame.
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x05, 'J', 'F', 'I', 0xFF, 0xD9}), -22);
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9}), -22);
    // RST markers outside entropy-coded data are ignored.
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xD3, 0xFF, 0xD9}), -22);
    // Nothing but SOI, or SOI and EOI, describes no picture.
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF}), -22);
    EXPECT_EQ(params({0xFF, 0xD8, 0xFF, 0xD9}), -22);
}

TEST(JpegStream, ScanHeaderErrors)
{
    auto scan = [](const std::function<void(JpegWriter&)>& f, bool withFrame = true) {
        return withTables([&](JpegWriter& w) {
            if (withFrame) w.sof(0xC0, 8, 8, kGray);
            f(w);
            w.eoi();
        });
    };
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.sos(kGray); })), 0);
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.sos(kGray); }, false)), -19);
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.segment(0xDA, {0, 0, 63, 0}); })), -21);       // Ns 0
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.segment(0xDA, {5, 1, 0, 0, 63, 0}); })), -21); // Ns 5
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.sos({{9, 1, 1, 0}}); })), -21);                // no such component
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.sos({{1, 1, 1, 0, 4, 0}}); })), -21);          // Td 4
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.sos({{1, 1, 1, 0, 1, 0}}); })), -17);          // DC 1 undefined
    EXPECT_EQ(params(scan([](JpegWriter& w) { w.sos({{1, 1, 1, 0, 0, 2}}); })), -17);          // AC 2 undefined
    // A component whose quantisation table was never defined, and one whose selector is 5.
    Bytes q = withTables([](JpegWriter& w) {
        w.sof(0xC0, 8, 8, {{1, 1, 1, 2}});
        w.sos({{1, 1, 1, 2}});
        w.eoi();
    });
    EXPECT_EQ(params(q), -18);
    Bytes sel = withTables([](JpegWriter& w) {
        w.sof(0xC0, 8, 8, {{1, 1, 1, 5}});
        w.sos({{1, 1, 1, 5}});
        w.eoi();
    });
    EXPECT_EQ(params(sel), -21);
}

TEST(JpegStream, NoImage)
{
    EXPECT_EQ(image(withTables([](JpegWriter& w) { w.eoi(); })), -22);
    // A tables-only prefix followed by an image.
    Bytes b = withTables([](JpegWriter& w) { w.eoi(); });
    const Bytes pic = grayPicture(160);
    b.insert(b.end(), pic.begin(), pic.end());
    std::vector<std::uint8_t> px;
    ASSERT_EQ(image(b, &px), 0);
    EXPECT_EQ(px[0], 128 + 20); // DC 160 = 8 x 20
}

TEST(JpegStream, CommentCapture)
{
    const std::string text = "twenty bytes comment";
    ASSERT_EQ(text.size(), 20u);
    const Bytes b = withTables([&](JpegWriter& w) {
        w.comment(text);
        w.sof(0xC0, 8, 8, kGray);
        w.eoi();
    });
    for (int capacity : {10, 20, 30}) {
        JpegContext c;
        ASSERT_EQ(jpegInit(&c), 0);
        std::uint8_t dest[32];
        std::memset(dest, '#', sizeof dest);
        c.inBuffer = b.data();
        c.inBufferSize = static_cast<std::uint32_t>(b.size());
        c.props.jpeg_comment = dest;
        c.props.jpeg_comment_length = static_cast<std::uint16_t>(capacity);
        const int rc = jpegRead(&c, ReadParamsBuffer);
        EXPECT_EQ(rc, capacity < 20 ? -30 : 0);
        EXPECT_EQ(c.props.jpeg_comment_length, 20);
        const std::size_t copied = capacity < 20 ? 10 : 20;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(dest), copied), text.substr(0, copied));
        EXPECT_EQ(dest[copied], '#'); // no terminating zero
        jpegFree(&c);
    }
}

TEST(JpegStream, JfifThumbnailSize)
{
    JpegWriter w;
    w.soi();
    w.app0Jfif(2, 2);
    w.sof(0xC0, 8, 8, kGray);
    w.eoi();
    JpegContext c;
    EXPECT_EQ(params(w.out, &c), 0);
    EXPECT_EQ(c.thumbWidth, 2u);
    EXPECT_EQ(c.thumbHeight, 2u);
}

TEST(JpegStream, AdobeAndJfifColours)
{
    for (int transform : {0, 1}) {
        const Bytes b = withTables([&](JpegWriter& w) {
            w.app14Adobe(transform);
            w.sof(0xC0, 8, 8, k444);
            w.eoi();
        });
        JpegContext c;
        EXPECT_EQ(params(b, &c), 0);
        EXPECT_EQ(c.imageColor, transform ? ColorYcbcr : ColorRgb);
        EXPECT_EQ(c.outChannels, 3u);
    }
    // Four components with Adobe: RGBA / YCbCrA and RGBA output.
    const std::vector<Component> four = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}};
    for (int transform : {0, 2}) {
        const Bytes b = withTables([&](JpegWriter& w) {
            w.app14Adobe(transform);
            w.sof(0xC0, 8, 8, four);
            w.eoi();
        });
        JpegContext c;
        EXPECT_EQ(params(b, &c), 0);
        EXPECT_EQ(c.imageColor, transform ? ColorYcbcra : ColorRgba);
        EXPECT_EQ(c.outColor, ColorRgba);
        EXPECT_EQ(c.outChannels, 4u);
    }
    // Without Adobe: JFIF makes 3 components YCbCr; without either the caller's value stays.
    const Bytes jfif = withTables([&](JpegWriter& w) {
        w.app0Jfif();
        w.sof(0xC0, 8, 8, k444);
        w.eoi();
    });
    JpegContext c;
    EXPECT_EQ(params(jfif, &c), 0);
    EXPECT_EQ(c.imageColor, ColorYcbcr);
    const Bytes two = withTables([&](JpegWriter& w) {
        w.sof(0xC0, 8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}});
        w.eoi();
    });
    JpegContext t;
    ASSERT_EQ(jpegInit(&t), 0);
    t.inBuffer = two.data();
    t.inBufferSize = static_cast<std::uint32_t>(two.size());
    t.imageColor = ColorOther;
    t.outColor = ColorOther;
    ASSERT_EQ(jpegRead(&t, ReadParamsBuffer), 0);
    EXPECT_EQ(t.imageColor, ColorOther);
    EXPECT_EQ(t.imageSubsampling, SubsampleNone);
    jpegFree(&t);
    const Bytes twoSub = withTables([&](JpegWriter& w) {
        w.sof(0xC0, 8, 8, {{1, 2, 1, 0}, {2, 1, 1, 0}});
        w.eoi();
    });
    JpegContext u;
    EXPECT_EQ(params(twoSub, &u), 0);
    EXPECT_EQ(u.imageSubsampling, SubsampleOther);
}

TEST(JpegStream, SubsamplingClassification)
{
    struct Case {
        std::vector<Component> comps;
        JpegSubsampling expected;
    };
    const std::vector<Case> cases = {
        {{{1, 2, 2, 0}}, SubsampleNone},
        {k444, SubsampleNone},
        {{{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, Subsample2x2},
        {{{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, Subsample2x1},
        {{{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, SubsampleOther},
        {{{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 2, 2, 0}}, Subsample2x2Alpha},
        {{{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 2, 1, 0}}, Subsample2x1Alpha},
        {{{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 1, 1, 0}}, SubsampleOther},
    };
    for (const Case& k : cases) {
        const Bytes b = withTables([&](JpegWriter& w) {
            w.sof(0xC0, 8, 8, k.comps);
            w.eoi();
        });
        JpegContext c;
        ASSERT_EQ(jpegInit(&c), 0);
        c.inBuffer = b.data();
        c.inBufferSize = static_cast<std::uint32_t>(b.size());
        c.imageColor = ColorOther;
        c.outColor = ColorOther;
        EXPECT_EQ(jpegRead(&c, ReadParamsBuffer), 0);
        EXPECT_EQ(c.imageSubsampling, k.expected) << k.comps.size();
        jpegFree(&c);
    }
}

TEST(JpegStream, YcbcrOutputNeeds2x1Sampling)
{
    for (bool twoByOne : {false, true}) {
        const Bytes b = withTables([&](JpegWriter& w) {
            w.sof(0xC0, 16, 8, {{1, 2, twoByOne ? 1 : 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}});
            w.eoi();
        });
        JpegContext c;
        ASSERT_EQ(jpegInit(&c), 0);
        c.inBuffer = b.data();
        c.inBufferSize = static_cast<std::uint32_t>(b.size());
        c.outColor = ColorYcbcr;
        EXPECT_EQ(jpegRead(&c, ReadParamsBuffer), twoByOne ? 0 : -8);
        jpegFree(&c);
    }
}

TEST(JpegStream, MissingEoiAndCutData)
{
    // Complete entropy data without EOI: every pixel written, then -5 (buffer) ...
    Bytes b = JpegWriter::baseline(8, 8, kGray, {Block{80, {}}});
    b.resize(b.size() - 2);
    std::vector<std::uint8_t> px;
    EXPECT_EQ(image(b, &px), -5);
    EXPECT_EQ(px[0], 138);
    EXPECT_EQ(px[3 * 63], 138);
    // ... and from a file the bit reader's failed refill: -23, or -11 from the block decoders
    // of the SIMD classes.
    const std::string path = tempPath("no-eoi.jpg");
    writeFile(path, b);
    Request rq;
    rq.useFile = true;
    rq.fileName = path;
    const Result r = decode({}, rq);
    EXPECT_EQ(r.paramsRc, 0);
    JpegContext probe;
    ASSERT_EQ(jpegInit(&probe), 0);
    const bool simdClass = jpegCpuClass(&probe) >= 3;
    jpegFree(&probe);
    EXPECT_EQ(r.imageRc, simdClass ? -11 : -23);
    // Cut inside the entropy data: the remaining MCUs decode from what is left, then -5.
    Bytes big = JpegWriter::baseline(64, 8, kGray, std::vector<Block>(8, Block{80, {{0, 5}, {3, -7}}}));
    big.resize(big.size() - 8);
    std::vector<std::uint8_t> cut;
    EXPECT_EQ(image(big, &cut, 64, 8), -5);
    EXPECT_NE(cut[3 * 63], 0xAB); // the last MCU was written
}

TEST(JpegStream, BufferEndingRightAfterFFInEntropyData)
{
    JpegWriter w;
    w.out = JpegWriter::baseline(8, 8, kGray, {Block{0, {}}});
    w.out.resize(w.out.size() - 2); // drop EOI
    // Replace the entropy data by a single 0xFF at the end of the buffer.
    Bytes b = withTables([](JpegWriter& x) {
        x.sof(0xC0, 8, 8, kGray);
        x.sos(kGray);
    });
    b.push_back(0xFF);
    EXPECT_EQ(image(b), -21);
}

TEST(JpegStream, FileRefillShortOfALengthField)
{
    // A marker whose code is the last byte of the first 4096-byte block, and one byte of its
    // length after it: the refill supplies fewer bytes than the length needs (-24).
    JpegWriter w;
    w.soi();
    const std::size_t commentBody = 4094 - 2 - 4; // SOI(2) + COM marker and length(4)
    w.comment(std::string(commentBody, 'c'));
    ASSERT_EQ(w.out.size(), 4094u);
    w.marker(0xFE);
    w.out.push_back(0x00);
    const std::string path = tempPath("short-length.jpg");
    writeFile(path, w.out);
    Request rq;
    rq.useFile = true;
    rq.fileName = path;
    EXPECT_EQ(decode({}, rq).paramsRc, -24);
}

TEST(JpegStream, ProgressiveRestartMarkerMissing)
{
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dhtDc(0);
    w.dri(1);
    w.sof(0xC2, 16, 8, kGray);
    w.sos(kGray, 0, 0, 0, 0);
    w.encodeBlock(40, {});
    w.flushBits(); // the restart marker after MCU 1 never comes
    EXPECT_EQ(image(w.out, nullptr, 16, 8), -25);
}

TEST(JpegStream, SequentialRestartMarkerReadFailure)
{
    // The same in a sequential scan: the marker search's own code (-5 for a buffer).
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dhtDc(0);
    w.dhtAc(0);
    w.dri(1);
    w.sof(0xC0, 16, 8, kGray);
    w.sos(kGray);
    w.encodeBlock(40, {});
    w.flushBits();
    EXPECT_EQ(image(w.out, nullptr, 16, 8), -5);
}
