// Regions of interest and interrupted reads: every region equals the same crop of the
// whole picture, every interrupted read equals the read in one call, with the reports
// that interrupted reads leave in roi, and the reuse of the region index.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace jpegtest;

namespace {

// Equal bytes, or the first difference.
::testing::AssertionResult same(const Bytes& a, const Bytes& b)
{
    if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return ::testing::AssertionFailure() << "byte " << i << ": " << int(a[i]) << " and " << int(b[i]);
    return ::testing::AssertionSuccess();
}

// One context through the picture source's params read, then the reads a test asks for.
class Reader {
public:
    explicit Reader(const Bytes& jpeg, bool useFile = false, const std::string& fileName = "")
        : readsFile(useFile), sourceName(fileName)
    {
        EXPECT_EQ(jpegInit(&record), 0);
        if (useFile) {
            record.inFileName = sourceName.c_str();
        } else {
            record.inBuffer = jpeg.data();
            record.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
        }
        paramsResult = jpegRead(&record, useFile ? ReadParamsFile : ReadParamsBuffer);
        const std::uint32_t n = record.imageChannels;
        record.imageColor = n == 1 ? ColorGray : n == 3 ? ColorYcbcr : ColorOther;
        record.outColor = n == 1 || n == 3 ? ColorRgb : ColorOther;
        record.outChannels = n == 1 || n == 3 ? 3 : n;
    }
    ~Reader() { jpegFree(&record); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    JpegContext& context() { return record; }
    int paramsRc() const { return paramsResult; }
    std::uint32_t width(int scale = 1) const { return (record.imageWidth + scale - 1) / scale; }
    std::uint32_t height(int scale = 1) const { return (record.imageHeight + scale - 1) / scale; }

    // An output of w x |h| pixels (h negative: bottom-up) filled with `fill`.
    void output(std::uint32_t w, std::int32_t h, std::uint8_t fill = 0xA5)
    {
        const std::uint32_t rows = static_cast<std::uint32_t>(h < 0 ? -h : h);
        pixels.assign(static_cast<std::size_t>(w) * record.outChannels * rows + 1, fill);
        record.outBuffer = pixels.data();
        record.outWidth = w;
        record.outHeight = h;
    }
    void region(int left, int top, int right, int bottom)
    {
        record.props.roi[0] = left;
        record.props.roi[1] = top;
        record.props.roi[2] = right;
        record.props.roi[3] = bottom;
    }
    int read(int scale = 1)
    {
        int op = readsFile ? ReadImageFile : ReadImageBuffer;
        if (scale == 2) op = readsFile ? ReadHalfFile : ReadHalfBuffer;
        if (scale == 4) op = readsFile ? ReadQuarterFile : ReadQuarterBuffer;
        if (scale == 8) op = readsFile ? ReadEighthFile : ReadEighthBuffer;
        return jpegRead(&record, static_cast<JpegOperation>(op));
    }
    // Rows [top, bottom) of the whole width (bottom 0: to the picture's last), into an
    // output of just them.
    int readRows(int top, int bottom)
    {
        output(width(), bottom > 0 ? bottom - top : static_cast<int>(height()) - top);
        region(0, top, 0, bottom);
        return read();
    }
    // Top-down rows of the output (a bottom-up output turned over).
    Bytes rowsTopDown() const
    {
        const std::size_t line = static_cast<std::size_t>(record.outWidth) * record.outChannels;
        const std::size_t rows = (pixels.size() - 1) / (line ? line : 1);
        Bytes out;
        for (std::size_t y = 0; y < rows; ++y) {
            const std::size_t from = record.outHeight < 0 ? rows - 1 - y : y;
            out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(from * line),
                       pixels.begin() + static_cast<std::ptrdiff_t>((from + 1) * line));
        }
        return out;
    }

    Bytes pixels;

private:
    JpegContext record{};
    bool readsFile;
    std::string sourceName;
    int paramsResult = 0;
};

// The whole picture in one read.
Bytes wholePicture(const Bytes& jpeg, int scale = 1)
{
    Reader r(jpeg);
    EXPECT_EQ(r.paramsRc(), 0);
    r.output(r.width(scale), static_cast<std::int32_t>(r.height(scale)));
    EXPECT_EQ(r.read(scale), 0);
    return r.rowsTopDown();
}

// Rows [top, top + h) and columns [left, left + w) of a top-down picture `width` wide.
Bytes crop(const Bytes& picture, std::uint32_t width, std::uint32_t channels, std::uint32_t left, std::uint32_t top,
           std::uint32_t w, std::uint32_t h)
{
    Bytes out;
    for (std::uint32_t y = top; y < top + h; ++y) {
        const auto row =
            picture.begin() + static_cast<std::ptrdiff_t>((static_cast<std::size_t>(y) * width + left) * channels);
        out.insert(out.end(), row, row + static_cast<std::ptrdiff_t>(w * channels));
    }
    return out;
}

// Where the entropy data of the last scan begins: after its SOS segment.
std::size_t entropyDataStart(const Bytes& jpeg)
{
    std::size_t sos = 0;
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) sos = i;
    return sos + 2 + ((jpeg[sos + 2] << 8) | jpeg[sos + 3]);
}

// Zeros make no markers: the bytes stay entropy data, decoded to other values.
void zero(Bytes& jpeg, std::size_t from, std::size_t to)
{
    std::fill(jpeg.begin() + static_cast<std::ptrdiff_t>(from), jpeg.begin() + static_cast<std::ptrdiff_t>(to), 0);
}

struct Rect {
    int left, top, right, bottom;
};

// The region as the decoder clips it to a picture of w x h.
Rect clipped(const Rect& r, int w, int h)
{
    return {std::max(r.left, 0), std::max(r.top, 0), r.right == 0 ? w : std::min(r.right, w),
            r.bottom == 0 ? h : std::min(r.bottom, h)};
}

void expectRegionIsCrop(const std::string& name, const Rect& asked, int scale, bool bottomUp)
{
    SCOPED_TRACE(::testing::Message() << name << " roi " << asked.left << "," << asked.top << "," << asked.right << ","
                                      << asked.bottom << " 1/" << scale << (bottomUp ? " bottom-up" : ""));
    const Bytes jpeg = readFile(fixture(name));
    const Bytes whole = wholePicture(jpeg, scale);
    Reader r(jpeg);
    ASSERT_EQ(r.paramsRc(), 0);
    const int w = static_cast<int>(r.width(scale)), h = static_cast<int>(r.height(scale));
    const Rect c = clipped(asked, w, h);
    const int cw = c.right - c.left, ch = c.bottom - c.top;
    r.region(asked.left, asked.top, asked.right, asked.bottom);
    if (cw <= 0 || ch <= 0) { // nothing of the picture: refused
        r.output(4, 4);
        EXPECT_EQ(r.read(scale), JpegInvalidProperties);
        return;
    }
    r.output(static_cast<std::uint32_t>(cw), bottomUp ? -ch : ch);
    ASSERT_EQ(r.read(scale), JpegRoiSuccess);
    const std::uint32_t channels = r.context().outChannels;
    EXPECT_TRUE(same(r.rowsTopDown(), crop(whole, static_cast<std::uint32_t>(w), channels,
                                           static_cast<std::uint32_t>(c.left), static_cast<std::uint32_t>(c.top),
                                           static_cast<std::uint32_t>(cw), static_cast<std::uint32_t>(ch))));
    EXPECT_EQ(r.pixels.back(), 0xA5);                                                  // the byte after the output
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.context().props.roi[k], (&asked.left)[k]); // roi stays
}

const char* const kSequential[] = {"s420.jpg",
                                   "s422.jpg",
                                   "s444.jpg",
                                   "s411.jpg",
                                   "gray.jpg",
                                   "rst-rows.jpg",
                                   "rst-each.jpg",
                                   "rst-blocks.jpg",
                                   "big420.jpg",
                                   "noninterleaved.jpg",
                                   "noninterleaved444.jpg",
                                   "cmyk.jpg",
                                   "tiny17x9.jpg"};
const char* const kProgressive[] = {"prog420.jpg", "prog444.jpg", "proggray.jpg", "progrst.jpg"};

// Regions inside, across MCU edges, on them (whose inner MCUs go straight to the output),
// a band of whole rows, at the picture's edges and beyond them, with negative left and top,
// and with right or bottom 0 (to the edge), for a picture of w x h.
std::vector<Rect> regionsFor(int w, int h)
{
    return {{5, 3, 29, 21}, {16, 16, 32, 32}, {0, 16, 0, 48},       {-7, -3, 10, 9}, {w - 9, h - 5, w + 20, h + 20},
            {0, 7, 0, 0},   {3, 0, 0, 2},     {w - 1, h - 1, w, h}, {0, 0, 1, h}};
}

} // namespace

TEST(JpegRegion, EqualsTheCropOfTheWholePicture)
{
    std::vector<std::string> names(std::begin(kSequential), std::end(kSequential));
    names.insert(names.end(), std::begin(kProgressive), std::end(kProgressive));
    for (const std::string& name : names) {
        const Bytes jpeg = readFile(fixture(name));
        Reader r(jpeg);
        for (const Rect& rect : regionsFor(static_cast<int>(r.width()), static_cast<int>(r.height())))
            expectRegionIsCrop(name, rect, 1, false);
    }
}

TEST(JpegRegion, BottomUpAndScaledReadsCropTheirOwnPicture)
{
    for (const char* name : {"s420.jpg", "s422.jpg", "noninterleaved.jpg", "prog420.jpg", "rst-rows.jpg"}) {
        expectRegionIsCrop(name, {5, 3, 29, 21}, 1, true);
        expectRegionIsCrop(name, {-2, 9, 50, 0}, 1, true);
        for (int scale : {2, 4, 8}) {
            expectRegionIsCrop(name, {1, 2, 7, 5}, scale, false);
            expectRegionIsCrop(name, {3, 1, 0, 0}, scale, scale == 4);
        }
    }
}

TEST(JpegRegion, EmptyOrInvertedRegionsAreRefused)
{
    const Bytes jpeg = readFile(fixture("s420.jpg"));
    for (const Rect& rect :
         std::vector<Rect>{{10, 10, 10, 20}, {20, 5, 10, 9}, {70, 0, 0, 0}, {0, 50, 0, 0}, {-9, 0, -2, 10}}) {
        SCOPED_TRACE(::testing::Message() << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
        Reader r(jpeg);
        r.output(8, 8);
        r.region(rect.left, rect.top, rect.right, rect.bottom);
        EXPECT_EQ(r.read(), JpegInvalidProperties);
    }
    // A region that covers the picture is the whole picture: result 0.
    Reader r(jpeg);
    r.output(61, 47);
    r.region(0, 0, 61, 47);
    EXPECT_EQ(r.read(), JpegSuccess);
}

TEST(JpegRegion, LaterRegionsOnOneContextSeekThroughTheIndex)
{
    // After a region read has indexed the row starts, a later region read of the same input
    // starts at the indexed row: damaging entropy data before that row (the bytes a fresh read
    // must decode) changes nothing for it, while a fresh context sees the damage.
    for (const char* name : {"big420.jpg", "rst-rows.jpg"}) {
        SCOPED_TRACE(name);
        Bytes jpeg = readFile(fixture(name));
        const Bytes whole = wholePicture(jpeg);
        Reader r(jpeg);
        const std::uint32_t w = r.width(), h = r.height();
        const std::uint32_t top = h - 10; // the last MCU row
        r.output(w, 10);
        r.region(0, static_cast<int>(top), 0, 0);
        ASSERT_EQ(r.read(), JpegRoiSuccess);
        const Bytes expected = crop(whole, w, 3, 0, top, w, 10);
        ASSERT_TRUE(same(r.rowsTopDown(), expected));

        // Zero a stretch in the first third of the entropy data (zeros make no markers).
        const std::size_t data = entropyDataStart(jpeg);
        const std::size_t span = (jpeg.size() - data) / 3;
        zero(jpeg, data + 80, data + span);

        r.output(w, 10);
        ASSERT_EQ(r.read(), JpegRoiSuccess);
        EXPECT_TRUE(same(r.rowsTopDown(), expected));
        // A region above the indexed rows goes back to the start and sees the damage.
        r.output(w, 8);
        r.region(0, 0, 0, 8);
        ASSERT_EQ(r.read(), JpegRoiSuccess);
        EXPECT_FALSE(same(r.rowsTopDown(), crop(whole, w, 3, 0, 0, w, 8)));

        // A fresh context decodes the damaged rows on its way (and, its region reaching the
        // picture's end, reads on as a whole read does, which may fail on them).
        Reader fresh(jpeg);
        fresh.output(w, 10);
        fresh.region(0, static_cast<int>(top), 0, 0);
        const int rc = fresh.read();
        EXPECT_TRUE(rc != JpegRoiSuccess || !same(fresh.rowsTopDown(), expected)) << rc;
    }
}

// A region that ends with a row of MCUs leaves the start of the next row in the index, so
// that the band of rows below it starts there: damaging the entropy data of the first band
// (clear of the bytes that name the scan) after it was read changes nothing for the second.
TEST(JpegRegion, TheBandBelowARegionStartsWhereTheRegionEnded)
{
    Bytes jpeg = readFile(fixture("big420.jpg"));
    const Bytes whole = wholePicture(jpeg);
    Reader r(jpeg);
    const std::uint32_t w = r.width();
    ASSERT_EQ(r.readRows(0, 16), JpegRoiSuccess);
    const std::size_t data = entropyDataStart(jpeg);
    zero(jpeg, data + 100, data + 108);
    ASSERT_EQ(r.readRows(16, 32), JpegRoiSuccess);
    EXPECT_TRUE(same(r.rowsTopDown(), crop(whole, w, 3, 0, 16, w, 16)));
    // A fresh context decodes the damaged first row on its way to the band.
    Reader fresh(jpeg);
    ASSERT_EQ(fresh.readRows(16, 32), JpegRoiSuccess);
    EXPECT_FALSE(same(fresh.rowsTopDown(), crop(whole, w, 3, 0, 16, w, 16)));
}

// A region that ends with the picture's last MCU row reads on to EOI as a whole read does:
// a stream without EOI, or with a further scan after the picture's, fails as that read
// fails; a region above that row ends with it and succeeds on the same stream.
TEST(JpegRegion, ARegionReachingThePicturesEndFailsWhereTheWholeReadFails)
{
    const Bytes good = readFile(fixture("big420.jpg"));
    Bytes noEoi(good.begin(), good.end() - 2);
    Bytes secondScan = good;
    const std::uint8_t sosCutShort[] = {0xFF, 0xDA, 0x00};
    secondScan.insert(secondScan.end() - 2, std::begin(sosCutShort), std::end(sosCutShort));
    for (const Bytes* jpeg : {&noEoi, &secondScan}) {
        Reader whole(*jpeg);
        whole.output(whole.width(), static_cast<std::int32_t>(whole.height()));
        const int wholeRc = whole.read();
        ASSERT_LT(wholeRc, 0);
        Reader r(*jpeg);
        EXPECT_EQ(r.readRows(8, 16), JpegRoiSuccess);
        EXPECT_EQ(r.readRows(static_cast<int>(r.height()) - 16, 0), wholeRc);
    }
    Reader r(good);
    EXPECT_EQ(r.readRows(static_cast<int>(r.height()) - 16, 0), JpegRoiSuccess);
    EXPECT_TRUE(same(r.rowsTopDown(), crop(wholePicture(good), r.width(), 3, 0, r.height() - 16, r.width(), 16)));
}

TEST(JpegRegion, FileInputRegionsEqualBufferRegions)
{
    const std::string file = fixture("s422.jpg");
    const Bytes jpeg = readFile(file);
    Reader buffer(jpeg);
    Reader fromFile(jpeg, true, file);
    ASSERT_EQ(fromFile.paramsRc(), 0);
    for (const Rect& rect : std::vector<Rect>{{20, 30, 50, 47}, {4, 8, 40, 30}, {0, 40, 0, 0}}) {
        const Rect c = clipped(rect, 61, 47);
        for (Reader* r : {&buffer, &fromFile}) {
            r->output(static_cast<std::uint32_t>(c.right - c.left), c.bottom - c.top);
            r->region(rect.left, rect.top, rect.right, rect.bottom);
            ASSERT_EQ(r->read(), JpegRoiSuccess);
        }
        EXPECT_TRUE(same(fromFile.pixels, buffer.pixels));
    }
    // After region reads the context reads headers and whole pictures as before.
    for (Reader* r : {&buffer, &fromFile}) {
        r->region(0, 0, 0, 0);
        EXPECT_EQ(jpegRead(&r->context(), r == &buffer ? ReadParamsBuffer : ReadParamsFile), JpegSuccess);
        r->output(61, 47);
        EXPECT_EQ(r->read(), JpegSuccess);
        EXPECT_TRUE(same(r->rowsTopDown(), wholePicture(jpeg)));
    }
}

TEST(JpegRegion, UnreadableRestartMarkerGivesBadRst)
{
    // The input ends inside a restart interval before the region's last MCU: the marker at
    // the boundary cannot be read.
    for (const char* name : {"rst-rows.jpg", "progrst.jpg"}) {
        SCOPED_TRACE(name);
        Bytes jpeg = readFile(fixture(name));
        jpeg.resize(jpeg.size() * 2 / 3);
        while (jpeg.back() == 0xFF) jpeg.pop_back(); // (an 0xFF at the end is a data error)
        Reader r(jpeg);
        r.output(30, 30);
        r.region(10, 10, 40, 40);
        EXPECT_EQ(r.read(), JpegBadRstMarker);
    }
    // A whole progressive read cut in the middle of its first scan's data.
    Bytes jpeg = readFile(fixture("progrst.jpg"));
    std::size_t sos = 0;
    while (!(jpeg[sos] == 0xFF && jpeg[sos + 1] == 0xDA)) ++sos;
    std::size_t end = sos + 2 + ((jpeg[sos + 2] << 8) | jpeg[sos + 3]);
    while (!(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] & 0xF8) != 0xD0)) ++end;
    jpeg.resize((sos + end) / 2);
    while (jpeg.back() == 0xFF) jpeg.pop_back();
    Reader r(jpeg);
    r.output(61, 47);
    EXPECT_EQ(r.read(), JpegBadRstMarker);
}

namespace {

struct Stop {
    std::int32_t roi[4];
};

// Reads with `interrupt` set before every call until the read ends; the reports of the stops.
int readInSteps(Reader& r, std::vector<Stop>& stops, int scale = 1,
                const std::function<void(const Reader&)>& atStop = nullptr)
{
    for (;;) {
        r.context().props.interrupt = 1;
        const int rc = r.read(scale);
        if (rc != JpegInterruptSuccess) return rc;
        EXPECT_EQ(r.context().props.interrupt, 0u);
        Stop s;
        std::copy(r.context().props.roi, r.context().props.roi + 4, s.roi);
        stops.push_back(s);
        if (atStop) atStop(r);
        if (stops.size() > 100000) return -1000;
    }
}

} // namespace

TEST(JpegResume, InterruptedReadsEqualReadsInOneCall)
{
    std::vector<std::string> names(std::begin(kSequential), std::end(kSequential));
    names.insert(names.end(), std::begin(kProgressive), std::end(kProgressive));
    for (const std::string& name : names) {
        for (bool useFile : {false, true}) {
            SCOPED_TRACE(name + (useFile ? " file" : " buffer"));
            const Bytes jpeg = readFile(fixture(name));
            const Bytes whole = wholePicture(jpeg);
            Reader r(jpeg, useFile, fixture(name));
            r.output(r.width(), static_cast<std::int32_t>(r.height()));
            std::vector<Stop> stops;
            ASSERT_EQ(readInSteps(r, stops), JpegSuccess);
            EXPECT_GT(stops.size(), 0u);
            EXPECT_TRUE(same(r.rowsTopDown(), whole));
            for (int k = 0; k < 4; ++k) EXPECT_EQ(r.context().props.roi[k], 0); // the request again
        }
    }
}

TEST(JpegResume, InterruptedScaledReadsEqualScaledReadsInOneCall)
{
    for (const char* name : {"s420.jpg", "noninterleaved.jpg", "prog420.jpg"}) {
        for (int scale : {2, 8}) {
            SCOPED_TRACE(::testing::Message() << name << " 1/" << scale);
            const Bytes jpeg = readFile(fixture(name));
            const Bytes whole = wholePicture(jpeg, scale);
            Reader r(jpeg);
            r.output(r.width(scale), static_cast<std::int32_t>(r.height(scale)));
            std::vector<Stop> stops;
            ASSERT_EQ(readInSteps(r, stops, scale), JpegSuccess);
            EXPECT_GT(stops.size(), 0u);
            EXPECT_TRUE(same(r.rowsTopDown(), whole));
        }
    }
}

TEST(JpegResume, StopsReportEachMcuOfASequentialScan)
{
    // s420: 61 x 47 in 16 x 16 MCUs, 4 across and 3 down; every MCU but the last stops.
    const Bytes jpeg = readFile(fixture("s420.jpg"));
    Reader r(jpeg);
    r.output(61, 47);
    std::vector<Stop> stops;
    ASSERT_EQ(readInSteps(r, stops), JpegSuccess);
    ASSERT_EQ(stops.size(), 11u);
    for (int k = 0; k < 11; ++k) {
        const int col = k % 4, row = k / 4;
        EXPECT_EQ(stops[k].roi[0], col);
        EXPECT_EQ(stops[k].roi[1], row);
        EXPECT_EQ(stops[k].roi[2], std::min(col * 16 + 16, 61));
        EXPECT_EQ(stops[k].roi[3], std::min(row * 16 + 16, 47));
    }
    // Non-interleaved scans report the frame MCU that holds the block: the luma scan of
    // noninterleaved.jpg (8 x 6 blocks) stops 47 times, twice per MCU column.
    const Bytes noninterleaved = readFile(fixture("noninterleaved.jpg"));
    Reader n(noninterleaved);
    n.output(61, 47);
    std::vector<Stop> nstops;
    ASSERT_EQ(readInSteps(n, nstops), JpegSuccess);
    ASSERT_GT(nstops.size(), 47u);
    EXPECT_EQ(nstops[0].roi[0], 0);
    EXPECT_EQ(nstops[1].roi[0], 0);
    EXPECT_EQ(nstops[2].roi[0], 1);
    EXPECT_EQ(nstops[2].roi[2], 32);
    EXPECT_EQ(nstops[8].roi[1], 0);
    EXPECT_EQ(nstops[16].roi[1], 1);
    EXPECT_EQ(nstops[16].roi[3], 32);
}

TEST(JpegResume, ProgressiveReadsRenderOneMcuAtATime)
{
    // Between two stops at most one more frame MCU has been rendered, and every MCU is either
    // untouched or already final (these progressions render in their last scan only).
    for (const char* name : {"prog420.jpg", "prog444.jpg", "proggray.jpg", "progrst.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes jpeg = readFile(fixture(name));
        const Bytes whole = wholePicture(jpeg);
        Reader r(jpeg);
        r.output(61, 47, 0x5C);
        const int mcu = name == std::string("prog420.jpg") || name == std::string("progrst.jpg") ? 16 : 8;
        const int across = (61 + mcu - 1) / mcu, down = (47 + mcu - 1) / mcu;
        int rendered = 0, renderingStops = 0;
        auto check = [&](const Reader& at) {
            const Bytes now = at.rowsTopDown();
            int count = 0;
            for (int my = 0; my < down; ++my) {
                for (int mx = 0; mx < across; ++mx) {
                    const std::uint32_t x0 = static_cast<std::uint32_t>(mx * mcu),
                                        y0 = static_cast<std::uint32_t>(my * mcu);
                    const std::uint32_t w = std::min<std::uint32_t>(mcu, 61 - x0),
                                        h = std::min<std::uint32_t>(mcu, 47 - y0);
                    const Bytes part = crop(now, 61, 3, x0, y0, w, h);
                    if (part == crop(whole, 61, 3, x0, y0, w, h)) {
                        ++count;
                    } else {
                        EXPECT_TRUE(std::all_of(part.begin(), part.end(), [](std::uint8_t b) { return b == 0x5C; }))
                            << "MCU " << mx << "," << my;
                    }
                }
            }
            EXPECT_LE(count, rendered + 1);
            if (count > rendered) ++renderingStops;
            rendered = count;
        };
        std::vector<Stop> stops;
        ASSERT_EQ(readInSteps(r, stops, 1, check), JpegSuccess);
        EXPECT_TRUE(same(r.rowsTopDown(), whole));
        EXPECT_GE(renderingStops, across * down - 1);
    }
}

TEST(JpegResume, ADifferentRequestStartsAfresh)
{
    const Bytes jpeg = readFile(fixture("prog420.jpg"));
    const Bytes whole = wholePicture(jpeg);
    Reader r(jpeg);
    r.output(61, 47);
    r.context().props.interrupt = 1;
    ASSERT_EQ(r.read(), JpegInterruptSuccess);
    ASSERT_EQ(r.read(), JpegSuccess); // no interrupt: the rest of the picture
    EXPECT_TRUE(same(r.rowsTopDown(), whole));

    // Stopped, then asked for another output: that read starts from the beginning (and roi,
    // which held the report, holds the request again).
    r.output(61, 47);
    r.context().props.interrupt = 1;
    ASSERT_EQ(r.read(), JpegInterruptSuccess);
    r.output(61, 47, 0x11);
    EXPECT_EQ(r.read(), JpegSuccess);
    EXPECT_TRUE(same(r.rowsTopDown(), whole));

    // Stopped, then a params read of the same buffer: it reads the headers afresh.
    r.output(61, 47);
    r.context().props.interrupt = 1;
    ASSERT_EQ(r.read(), JpegInterruptSuccess);
    EXPECT_EQ(jpegRead(&r.context(), ReadParamsBuffer), JpegSuccess);
    EXPECT_EQ(r.context().imageWidth, 61u);
}

TEST(JpegResume, InterruptedRegionReadsEqualRegionReads)
{
    for (const char* name : {"s420.jpg", "noninterleaved.jpg", "prog420.jpg", "rst-each.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes jpeg = readFile(fixture(name));
        const Bytes whole = wholePicture(jpeg);
        Reader r(jpeg);
        r.output(30, 20);
        r.region(20, 18, 50, 38);
        std::vector<Stop> stops;
        ASSERT_EQ(readInSteps(r, stops), JpegRoiSuccess);
        EXPECT_TRUE(same(r.rowsTopDown(), crop(whole, 61, 3, 20, 18, 30, 20)));
        EXPECT_EQ(r.context().props.roi[0], 20); // the region again
        EXPECT_EQ(r.context().props.roi[3], 38);
        for (const Stop& s : stops) { // only MCUs of the region stop
            EXPECT_GE(s.roi[2], 20);
            EXPECT_GE(s.roi[3], 18);
        }
    }
}

// A read in steps decodes every MCU one by one; a read in one call passes over the MCUs
// that cannot change the output once the input is exhausted or the scan has stalled at a
// marker. Both must end alike.
void expectStepsEqualOneCall(const Bytes& jpeg)
{
    for (std::int32_t rows : {47, 20}) {
        SCOPED_TRACE(::testing::Message() << rows << " rows");
        Reader once(jpeg), steps(jpeg);
        once.output(40, rows);
        steps.output(40, rows);
        const int rc = once.read();
        std::vector<Stop> stops;
        EXPECT_EQ(readInSteps(steps, stops), rc);
        EXPECT_TRUE(same(once.pixels, steps.pixels));
    }
}

TEST(JpegResume, ExhaustedInputEndsAsWhenEveryMcuIsDecoded)
{
    for (const char* name :
         {"s420.jpg", "rst-rows.jpg", "noninterleaved.jpg", "prog420.jpg", "progrst.jpg", "gray.jpg"}) {
        const Bytes full = readFile(fixture(name));
        for (std::size_t cut : {full.size() / 2, full.size() * 3 / 4, full.size() - 3}) {
            SCOPED_TRACE(::testing::Message() << name << " cut at " << cut);
            expectStepsEqualOneCall(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        }
    }
}

TEST(JpegResume, AScanStalledAtAMarkerEndsAsWhenEveryMcuIsDecoded)
{
    // An SOI (or an RST of the wrong number) inside entropy data: the scan decodes nothing
    // more until its next restart boundary takes the marker, or until its end.
    for (const char* name :
         {"s420.jpg", "rst-rows.jpg", "rst-each.jpg", "noninterleaved.jpg", "prog420.jpg", "progrst.jpg"}) {
        const Bytes full = readFile(fixture(name));
        for (std::size_t at : {full.size() / 2, full.size() * 2 / 3}) {
            for (std::uint8_t code : {0xD8, 0xD5}) {
                SCOPED_TRACE(::testing::Message() << name << " marker " << int(code) << " at " << at);
                Bytes jpeg = full;
                while (jpeg[at - 1] == 0xFF) ++at;
                jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), {0xFF, code});
                expectStepsEqualOneCall(jpeg);
            }
        }
    }
}
