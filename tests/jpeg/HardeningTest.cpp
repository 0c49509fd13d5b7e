// Crafted streams that once cost far more than their size or reported a frame other than the
// one written: a second frame header, the scan cap, end-of-band runs over large frames,
// Huffman tables with the all-ones code, and corrupt data in a region read.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

using namespace jpegtest;

namespace {

const std::vector<Component> kGray = {{1, 1, 1, 0}};

// SOI, DQT 0, the test tables, and a frame.
JpegWriter startStream(int sof, int width, int height, const std::vector<Component>& comps = kGray)
{
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dhtDc(0);
    w.dhtAc(0);
    w.sof(sof, width, height, comps);
    return w;
}

// A scan of component 1 in four flat blocks of 16 x 16 (DC 8, 16, 24, 32: samples 129..132).
void grayPicture(JpegWriter& w)
{
    w.sos(kGray);
    for (int i = 0; i < 4; ++i) w.encodeBlock(8, {});
    w.flushBits();
}

struct Read {
    int paramsRc = 0, imageRc = 0;
    std::uint32_t width = 0, height = 0, channels = 0;
    Bytes out;
};

// Params, then an image read of the components as they are into an output of the reported
// size plus a guard of 64 bytes (0xEE) that must stay untouched; `interrupt` stops after
// every MCU.
Read readPicture(const Bytes& in, bool interrupt = false)
{
    Read r;
    JpegContext c;
    EXPECT_EQ(jpegInit(&c), 0);
    c.inBuffer = in.data();
    c.inBufferSize = static_cast<std::uint32_t>(in.size());
    r.paramsRc = jpegRead(&c, ReadParamsBuffer);
    if (r.paramsRc == 0) {
        c.imageColor = ColorOther;
        c.outColor = ColorOther;
        c.outChannels = c.imageChannels;
        r.out.assign(static_cast<std::size_t>(c.imageWidth) * c.imageHeight * c.outChannels + 64, 0xEE);
        c.outBuffer = r.out.data();
        c.outWidth = c.imageWidth;
        c.outHeight = static_cast<std::int32_t>(c.imageHeight);
        do {
            c.props.interrupt = interrupt ? 1 : 0;
            r.imageRc = jpegRead(&c, ReadImageBuffer);
        } while (r.imageRc == 1);
        r.width = c.imageWidth;
        r.height = c.imageHeight;
        r.channels = c.imageChannels;
    }
    jpegFree(&c);
    return r;
}

bool guardIntact(const Read& r)
{
    for (std::size_t i = r.out.size() - 64; i < r.out.size(); ++i)
        if (r.out[i] != 0xEE) return false;
    return true;
}

} // namespace

// A frame header between the scans of a picture: the same frame again is passed over; any
// other (here 65000 x 65000, or one more component) fails the read with -21, and the public
// results keep the first frame, the one whose pixels were written.
TEST(JpegHardening, SecondFrameHeaderMustRepeatTheFrame)
{
    const std::vector<Component> two = {{1, 1, 1, 0}, {2, 1, 1, 0}};
    for (int sof : {0xC0, 0xC1, 0xC2}) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(testing::Message() << "SOF " << sof << " kind " << kind);
            JpegWriter w = startStream(0xC0, 16, 16, two);
            grayPicture(w); // the first component
            if (kind == 0) w.sof(sof, 16, 16, two);
            if (kind == 1) w.sof(sof, 65000, 65000, two);
            if (kind == 2) w.sof(sof, 16, 16, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}});
            w.sos({two[1]});
            for (int i = 0; i < 4; ++i) w.encodeBlock(0, {});
            w.flushBits();
            w.eoi();
            for (bool interrupt : {false, true}) {
                const Read r = readPicture(w.out, interrupt);
                ASSERT_EQ(r.paramsRc, 0);
                EXPECT_EQ(r.imageRc, kind == 0 ? 0 : JpegDataError);
                EXPECT_EQ(r.width, 16u);
                EXPECT_EQ(r.height, 16u);
                EXPECT_EQ(r.channels, 2u);
                EXPECT_TRUE(guardIntact(r));
                if (kind == 0) {
                    EXPECT_EQ(r.out[0], 129);
                    EXPECT_EQ(r.out[1], 128); // the second component's scan after the repeated header
                }
            }
        }
    }
}

// Each component of a sequential frame is coded in one scan: a scan of it again would
// redraw the picture whatever its own size, and fails the read.
TEST(JpegHardening, SequentialScanOfADecodedComponentFails)
{
    JpegWriter w = startStream(0xC0, 16, 16);
    grayPicture(w);
    grayPicture(w);
    w.eoi();
    EXPECT_EQ(readPicture(w.out).imageRc, JpegDataError);
}

// Before any scan of the image read a frame header still replaces the frame (the read
// reports what it decodes), as it does after an earlier params read.
TEST(JpegHardening, FrameHeaderBeforeTheScansReplacesTheFrame)
{
    JpegWriter w = startStream(0xC0, 65000, 65000);
    w.sof(0xC0, 16, 16, kGray);
    grayPicture(w);
    w.eoi();
    const Read r = readPicture(w.out);
    EXPECT_EQ(r.imageRc, 0);
    EXPECT_EQ(r.width, 16u);
    EXPECT_EQ(r.out[0], 129);
    EXPECT_TRUE(guardIntact(r));
}

// Codes 0, 1 end in the all-ones code that T.81 reserves, as do 0, 10, 11 and 00, 01, 10,
// 110, 111; 0; 0, 10; 0, 10, 110 and 00, 01, 10, 110 leave it free.
TEST(JpegHardening, HuffmanTableWithTheAllOnesCodeIsRefused)
{
    struct Case {
        std::vector<int> counts;
        int rc;
    };
    for (const Case& k :
         {Case{{2}, JpegBadHuffmanTable}, Case{{1, 1}, 0}, Case{{1}, 0}, Case{{1, 2}, JpegBadHuffmanTable},
          Case{{1, 1, 1}, 0}, Case{{0, 3, 1}, 0}, Case{{0, 3, 2}, JpegBadHuffmanTable}}) {
        Bytes body = {0x00};
        int total = 0;
        for (int len = 0; len < 16; ++len) {
            const int n = len < static_cast<int>(k.counts.size()) ? k.counts[len] : 0;
            body.push_back(static_cast<std::uint8_t>(n));
            total += n;
        }
        for (int v = 0; v < total; ++v) body.push_back(static_cast<std::uint8_t>(v));
        JpegWriter w;
        w.soi();
        w.segment(0xC4, body);
        w.eoi();
        JpegContext c;
        ASSERT_EQ(jpegInit(&c), 0);
        c.inBuffer = w.out.data();
        c.inBufferSize = static_cast<std::uint32_t>(w.out.size());
        EXPECT_EQ(jpegRead(&c, ReadTablesBuffer), k.rc) << testing::PrintToString(k.counts);
        jpegFree(&c);
    }
}

// A region read that ends a progressive scan after the region's last MCU still meets the
// input that ends right after an 0xFF inside that scan's data, as the whole read does. The
// scan codes a few of its 16 blocks, with long DC differences: the region's first block
// leaves bits buffered, so the 0xFF is met only when the rest of the scan is passed over.
TEST(JpegHardening, RegionReadReportsCorruptDataAfterTheRegion)
{
    for (int blocks = 2; blocks < 9; ++blocks) {
        JpegWriter w = startStream(0xC2, 32, 32);
        w.sos(kGray, 0, 0, 0, 0);
        for (int i = 0; i < blocks; ++i) w.encodeBlock(i % 2 ? 1000 : -1000, {});
        w.flushBits();
        w.out.push_back(0xFF);
        for (bool region : {false, true}) {
            JpegContext c;
            ASSERT_EQ(jpegInit(&c), 0);
            Bytes out(32 * 32, 0);
            c.inBuffer = w.out.data();
            c.inBufferSize = static_cast<std::uint32_t>(w.out.size());
            c.imageChannels = 1;
            c.imageColor = ColorGray;
            c.outColor = ColorGray;
            c.outChannels = 1;
            c.outBuffer = out.data();
            c.outWidth = 32;
            c.outHeight = 32;
            if (region) c.props.roi[2] = c.props.roi[3] = 8;
            EXPECT_EQ(jpegRead(&c, ReadImageBuffer), JpegDataError) << blocks << (region ? " region" : "");
            jpegFree(&c);
        }
    }
}

// A progressive 16 x 16 grey picture of `scans` scans: an empty DC scan and empty AC scans
// (the second already renders the flat 128), then a DC refinement of bit 3 whose bits are all
// ones (DC 8: 129). Scan number kJpegMaxScans is decoded; one more fails the read with -21,
// and that scan writes nothing.
TEST(JpegHardening, ScansPastTheCapFailTheRead)
{
    for (int scans : {kJpegMaxScans, kJpegMaxScans + 1}) {
        JpegWriter w = startStream(0xC2, 16, 16);
        w.sos(kGray, 0, 0, 0, 0);
        for (int i = 1; i < scans - 1; ++i) w.sos(kGray, 1, 63, 0, 0);
        w.sos(kGray, 0, 0, 4, 3);
        w.putBits(0xF, 4);
        w.flushBits();
        w.eoi();
        const Read r = readPicture(w.out);
        ASSERT_EQ(r.paramsRc, 0);
        EXPECT_EQ(r.imageRc, scans > kJpegMaxScans ? JpegDataError : 0) << scans;
        const int expect = scans > kJpegMaxScans ? 128 : 129;
        for (std::size_t i = 0; i < 256; ++i) ASSERT_EQ(r.out[i], expect) << scans << " at " << i;
    }
}

namespace {

// A 400 x 304 picture: smooth areas (long end-of-band runs) and noisy bands (refinements).
Bytes sourcePpm()
{
    const int w = 400, h = 304;
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes ppm(head.begin(), head.end());
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) {
                seed = seed * 1103515245u + 12345u;
                const int noise = (y / 40) % 2 ? static_cast<int>((seed >> 16) % 64) - 32 : 0;
                const int v = 60 + (x * (k + 1)) / 4 + y / 3 + noise;
                ppm.push_back(static_cast<std::uint8_t>(std::clamp(v, 0, 255)));
            }
    return ppm;
}

} // namespace

// cjpeg writes the same quantised coefficients as a baseline and as a progressive file, so
// both decode to the same bits: every end-of-band run passed over, refinement by the AC
// masks and re-rendering of changed MCUs only must come to what the sequential decode writes.
// Its own progressions render only in their last scan; the two scripts render early (once
// every component has its DC and as many complete AC scans as components) and then change
// the low frequencies, with a refinement among them.
TEST(JpegHardening, ProgressiveFilesDecodeAsTheirBaselineTwins)
{
    struct stat st;
    if (std::string(CJPEG_PATH).empty() || stat(CJPEG_PATH, &st) != 0) GTEST_SKIP() << "cjpeg not installed";
    const std::string source = tempPath("source.ppm");
    writeFile(source, sourcePpm());
    const std::string grayScript = tempPath("gray.scans"), colourScript = tempPath("colour.scans");
    const std::string late = "0: 6 63 0 0;\n0: 1 5 0 1;\n0: 1 5 1 0;\n";
    const std::string gray = "0: 0 0 0 0;\n" + late, colour = "0 1 2: 0 0 0 0;\n1: 1 63 0 0;\n2: 1 63 0 0;\n" + late;
    writeFile(grayScript, Bytes(gray.begin(), gray.end()));
    writeFile(colourScript, Bytes(colour.begin(), colour.end()));
    const std::string grayRendersEarly = "-grayscale -restart 2 -scans " + grayScript;
    const std::string colourRendersEarly = "-sample 2x2 -scans " + colourScript;
    for (const std::string& options : {std::string("-grayscale"), std::string("-sample 2x2"),
                                       std::string("-sample 1x1"), std::string("-sample 2x1 -restart 1"),
                                       std::string("-grayscale -restart 3B"), grayRendersEarly, colourRendersEarly}) {
        SCOPED_TRACE(options);
        const std::string base = tempPath("base.jpg"), prog = tempPath("prog.jpg");
        const std::string cjpeg = std::string(CJPEG_PATH) + " -quality 80 " + options;
        const std::string baseOptions = options.substr(0, options.find(" -scans"));
        ASSERT_EQ(run(std::string(CJPEG_PATH) + " -quality 80 " + baseOptions + " -outfile " + base + " " + source), 0);
        ASSERT_EQ(run(cjpeg + " -progressive -outfile " + prog + " " + source), 0);
        for (std::uint32_t dct : {0u, 1u}) {
            for (int scale : {1, 2}) {
                Request rq;
                rq.dctType = dct;
                rq.scale = scale;
                const Result a = decode(readFile(base), rq), b = decode(readFile(prog), rq);
                ASSERT_EQ(a.imageRc, 0);
                ASSERT_EQ(b.imageRc, 0);
                EXPECT_TRUE(a.pixels == b.pixels) << "dctType " << dct << ", 1/" << scale;
            }
        }
        // Cut inside its later scans and ended with EOI, the scan stalls at the EOI: the frame
        // MCUs it changed before are rendered before it passes over the rest, as when every MCU
        // is decoded in steps.
        const Bytes whole = readFile(prog);
        for (int tenth = 6; tenth < 10; ++tenth) {
            Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * tenth / 10));
            while (cut.back() == 0xFF) cut.pop_back();
            cut.insert(cut.end(), {0xFF, 0xD9});
            const Read once = readPicture(cut), steps = readPicture(cut, true);
            EXPECT_EQ(once.imageRc, steps.imageRc) << tenth;
            EXPECT_TRUE(once.out == steps.out) << tenth;
        }
    }
}
