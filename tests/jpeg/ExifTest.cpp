// The Exif orientation of the params read: every value in both byte orders, where the
// block may sit, and malformed TIFF data that must be ignored without reading outside
// the segment (run under ASan: each body is copied to a buffer of exactly its size).
#include "JpegTestSupport.h"
#include "jpeg/Exif.h"
#include "tests/common/ExifBlock.h"

#include <gtest/gtest.h>

#include <memory>

using namespace jpegtest;
using exiftest::ExifBody;
using exiftest::OrientationBody;
using exiftest::WithApp1;

namespace {

const std::vector<Component> k420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

Bytes TestPicture()
{
    std::vector<Block> blocks;
    for (int i = 0; i < mcuCount(40, 24, k420) * blocksPerMcu(k420); ++i) blocks.push_back({(i % 9 - 4) * 16, {}});
    return JpegWriter::baseline(40, 24, k420, blocks, 2);
}

// The parser on an exact-size heap copy, so that any read past the body is caught.
std::uint32_t Orientation(const Bytes& body)
{
    auto copy = std::make_unique<std::uint8_t[]>(body.size());
    std::copy(body.begin(), body.end(), copy.get());
    return xtpjpeg::exifOrientation(copy.get(), body.size());
}

} // namespace

TEST(JpegExif, EveryOrientationInBothByteOrdersComesWithTheParamsRead)
{
    const Bytes plain = TestPicture();
    const Result reference = decode(plain);
    ASSERT_EQ(reference.imageRc, 0);
    EXPECT_EQ(reference.params.exifOrientation, 0u);
    for (const bool bigEndian : {false, true}) {
        for (std::uint32_t n = 1; n <= 8; ++n) {
            SCOPED_TRACE(::testing::Message() << (bigEndian ? "MM " : "II ") << n);
            const Result r = decode(WithApp1(plain, OrientationBody(n, bigEndian)));
            ASSERT_EQ(r.paramsRc, 0);
            EXPECT_EQ(r.params.exifOrientation, n);
            // The pixels do not change: the tag is only reported.
            ASSERT_EQ(r.imageRc, 0);
            EXPECT_TRUE(r.pixels == reference.pixels);
        }
    }
}

TEST(JpegExif, TheFirstExifBlockCountsAndOtherApp1SegmentsArePassedOver)
{
    const Bytes plain = TestPicture();
    Bytes xmp;
    for (const char c : std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 42))
        xmp.push_back(static_cast<std::uint8_t>(c));
    // Segments are put after SOI, so the last one added comes first.
    EXPECT_EQ(decode(WithApp1(WithApp1(plain, OrientationBody(6, false)), xmp)).params.exifOrientation, 6u);
    EXPECT_EQ(decode(WithApp1(plain, xmp)).params.exifOrientation, 0u);
    EXPECT_EQ(
        decode(WithApp1(WithApp1(plain, OrientationBody(3, true)), OrientationBody(8, true))).params.exifOrientation,
        8u);
    // A malformed block does not count as the first: the good one after it does.
    const Bytes seed =
        readFile(std::string(JPEG_REGRESSIONS_DIR) + "/exif-directory-past-its-segment-then-orientation-8.jpg");
    EXPECT_EQ(decode(seed).params.exifOrientation, 8u);
}

TEST(JpegExif, MalformedTiffIsIgnored)
{
    const Bytes good = OrientationBody(6, true);
    ASSERT_EQ(Orientation(good), 6u);
    // Cut anywhere: the orientation entry is the second of three, so only cuts after
    // the whole directory (3 entries of 12 bytes after 6 + 8 + 2 bytes) keep it.
    for (std::size_t size = 0; size < good.size(); ++size) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(Orientation(cut), size >= 6 + 8 + 2 + 36 ? 6u : 0u) << size;
    }
    auto withByte = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    EXPECT_EQ(Orientation(withByte(0, 'e')), 0u) << "not Exif";
    EXPECT_EQ(Orientation(withByte(7, 'I')), 0u) << "mixed byte order mark";
    EXPECT_EQ(Orientation(withByte(9, 43)), 0u) << "not 42";
    // The directory's offset past the end, at the end, and on the header itself (which
    // then reads as a directory of 0x4D4D entries).
    for (const std::uint8_t offset :
         std::initializer_list<std::uint8_t>{0xFF, static_cast<std::uint8_t>(good.size() - 6 - 1), 0x00})
        EXPECT_EQ(Orientation(withByte(13, offset)), 0u) << int(offset);
    EXPECT_EQ(Orientation(withByte(10, 0xFF)), 0u) << "offset 4 GiB on";
    EXPECT_EQ(Orientation(withByte(15, 200)), 0u) << "more entries than the block holds";
    // The entry itself: another type, another count, values outside 1..8.
    EXPECT_EQ(Orientation(ExifBody(false, {{0x0112, 4, 1, 6}})), 0u);
    EXPECT_EQ(Orientation(ExifBody(false, {{0x0112, 3, 2, 6}})), 0u);
    for (const std::uint32_t value : {0u, 9u, 0xFFFFu})
        EXPECT_EQ(Orientation(ExifBody(false, {{0x0112, 3, 1, value}})), 0u);
    // A next-directory link back to the first one is never followed.
    EXPECT_EQ(Orientation(ExifBody(false, {{0x0112, 3, 1, 5}}, 8)), 5u);
    EXPECT_EQ(Orientation(ExifBody(true, {{0x0100, 4, 1, 640}}, 8)), 0u);
}

TEST(JpegExif, AnApp1SegmentRunningPastTheInputFailsAsAnyOtherSegmentDoes)
{
    const Bytes plain = TestPicture();
    Bytes exif = WithApp1(plain, OrientationBody(6, false));
    Bytes other = exif;
    other[3] = 0xE2; // the same bytes as an APP2 segment, which is skipped by its length
    for (const std::size_t keep : {std::size_t{8}, std::size_t{30}, exif.size() / 2}) {
        const Bytes cutExif(exif.begin(), exif.begin() + static_cast<std::ptrdiff_t>(keep));
        const Bytes cutOther(other.begin(), other.begin() + static_cast<std::ptrdiff_t>(keep));
        const Result a = decode(cutExif);
        EXPECT_EQ(a.paramsRc, decode(cutOther).paramsRc) << keep;
        EXPECT_NE(a.paramsRc, 0) << keep;
    }
}
