// The half, quarter and eighth reads: exact values on hand-built pictures, the output
// rectangle, and djpeg -scale 1/N as an oracle.
//
// Tolerance against djpeg -nosmooth -scale 1/N (dctType 1): libjpeg-turbo's reduced
// transforms are the same published algorithms as ours, so luma agrees to the bit on the
// grey fixtures; colour adds the conversion differences of the full-size oracle test (max
// 4, mean 1.0). Where chroma is subsampled but not square (4:2:2, 4:4:0, 4:1:1), djpeg
// scales chroma with a transform of another size where we replicate: those stay within
// a mean of 1.0 but may differ further at colour edges, so only the mean is bounded there.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace jpegtest;

namespace {

const std::vector<Component> kGrayComp = {{1, 1, 1, 0}};
const std::vector<Component> k420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<Component> k422 = {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<Component> k444 = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

// Every block flat, with a DC that changes from block to block.
Bytes blocky(int width, int height, const std::vector<Component>& comps)
{
    std::vector<Block> blocks;
    const int perMcu = blocksPerMcu(comps);
    const int mcus = mcuCount(width, height, comps);
    for (int i = 0; i < mcus * perMcu; ++i) blocks.push_back({((i * 37) % 61 - 30) * 8, {}});
    return JpegWriter::baseline(width, height, comps, blocks, 2);
}

std::uint32_t scaled(std::uint32_t n, int scale) { return (n + scale - 1) / scale; }

} // namespace

TEST(JpegScaled, FlatBlocksGiveTheFullSizePixelsAtEveryScale)
{
    // A flat block has the same value at every transform size, so pixel (x, y) of a 1/N
    // read equals pixel (N x, N y) of the full read, whatever the sampling (the larger
    // transform for 1x1 chroma of 4:2:0 included) and at the clipped right and bottom edges.
    for (const auto* comps : {&kGrayComp, &k420, &k422, &k444}) {
        const Bytes jpeg = blocky(45, 27, *comps);
        for (std::uint32_t dct : {1u, 0u}) {
            Request rq;
            rq.dctType = dct;
            const Result full = decode(jpeg, rq);
            ASSERT_EQ(full.imageRc, 0);
            for (int scale : {2, 4, 8}) {
                SCOPED_TRACE(::testing::Message() << comps->size() << " components, h " << (*comps)[0].h << " v "
                                                  << (*comps)[0].v << ", dctType " << dct << ", 1/" << scale);
                rq.scale = scale;
                const Result r = decode(jpeg, rq);
                ASSERT_EQ(r.imageRc, 0);
                ASSERT_EQ(r.width, scaled(45, scale));
                ASSERT_EQ(r.rows, scaled(27, scale));
                int mismatches = 0;
                for (std::uint32_t y = 0; y < r.rows; ++y)
                    for (std::uint32_t x = 0; x < r.width; ++x)
                        for (int k = 0; k < 3; ++k)
                            mismatches += r.pixels[(y * r.width + x) * 3 + k] !=
                                          full.pixels[(y * scale * full.width + x * scale) * 3 + k];
                EXPECT_EQ(mismatches, 0);
            }
        }
    }
}

TEST(JpegScaled, EighthOfAZeroBlockIs128InBothFamilies)
{
    const Bytes jpeg = JpegWriter::baseline(8, 8, kGrayComp, {{0, {{0, 0}}}});
    for (std::uint32_t dct : {0u, 1u}) {
        Request rq;
        rq.dctType = dct;
        rq.scale = 8;
        rq.outColor = ColorGray;
        rq.outChannels = 1;
        const Result r = decode(jpeg, rq);
        ASSERT_EQ(r.imageRc, 0);
        ASSERT_EQ(r.pixels.size(), 1u);
        EXPECT_EQ(r.pixels[0], 128) << dct;
    }
}

TEST(JpegScaled, NothingIsWrittenBeyondTheScaledPicture)
{
    // A full-size buffer under a half read: only the top-left ceil(w/2) x ceil(h/2) changes;
    // a narrower output crops the scaled picture instead.
    const Bytes jpeg = blocky(45, 27, k420);
    for (int scale : {2, 4, 8}) {
        Request rq;
        rq.scale = scale;
        rq.outWidth = 45;
        rq.outHeight = 27;
        rq.fill = 7;
        rq.dctType = 1;
        const Result r = decode(jpeg, rq);
        ASSERT_EQ(r.imageRc, 0);
        for (std::uint32_t y = 0; y < 27; ++y)
            for (std::uint32_t x = 0; x < 45; ++x)
                if (x >= scaled(45, scale) || y >= scaled(27, scale)) {
                    ASSERT_EQ(r.pixels[(y * 45 + x) * 3], 7) << scale << " at " << x << "," << y;
                }
        Request narrow = rq;
        narrow.outWidth = 3;
        narrow.outHeight = 2;
        const Result n = decode(jpeg, narrow);
        ASSERT_EQ(n.imageRc, 0);
        for (std::uint32_t y = 0; y < 2; ++y)
            for (std::uint32_t x = 0; x < 9; ++x) EXPECT_EQ(n.pixels[y * 9 + x], r.pixels[y * 45 * 3 + x]) << scale;
    }
}

TEST(JpegScaled, MatchesDjpegScaleWithinTolerance)
{
    struct stat st;
    if (std::string(DJPEG_PATH).empty() || stat(DJPEG_PATH, &st) != 0) GTEST_SKIP() << "djpeg not installed";
    struct Case {
        const char* name;
        bool squareOrNone; // gray, 4:4:4 or 4:2:0: also the per-sample bound
    };
    const Case cases[] = {{"gray.jpg", true},
                          {"proggray.jpg", true},
                          {"s444.jpg", true},
                          {"s420.jpg", true},
                          {"big420.jpg", true},
                          {"prog420.jpg", true},
                          {"progrst.jpg", true},
                          {"rst-each.jpg", true},
                          {"tiny17x9.jpg", true},
                          {"noninterleaved.jpg", true},
                          {"noninterleaved-mixed.jpg", true},
                          {"s422.jpg", false},
                          {"s440.jpg", false},
                          {"s411.jpg", false}};
    for (const Case& c : cases) {
        const std::string path = fixture(c.name);
        const Bytes jpeg = readFile(path);
        for (int scale : {2, 4, 8}) {
            for (bool file : {false, true}) {
                SCOPED_TRACE(::testing::Message() << c.name << " 1/" << scale << (file ? " file" : " buffer"));
                Picture oracle;
                ASSERT_TRUE(djpeg(path, oracle, false, scale));
                Request rq;
                rq.scale = scale;
                rq.keepReportedColor = true;
                rq.useFile = file;
                rq.fileName = path;
                const Result r = decode(jpeg, rq);
                ASSERT_EQ(r.imageRc, 0);
                ASSERT_EQ(r.width, oracle.width);
                ASSERT_EQ(r.rows, oracle.height);
                const Diff d = compare(r.pixels, oracle.pixels);
                if (c.squareOrNone) {
                    EXPECT_LE(d.max, 4);
                }
                EXPECT_LE(d.mean, 1.0);
            }
        }
    }
}

// Reads with one sample per pixel (4:4:4 at every scale, 4:2:0 scaled) to RGB or BGR, or
// with the three components copied as they are, have their own routine; four-channel
// output goes through the general routine, so its first three bytes must be the same
// pixels, with the edge MCUs clipped alike.
TEST(JpegScaled, OneSamplePerPixelRoutinesEqualTheGeneralRoutinesPixels)
{
    struct Kind {
        JpegColor image, out, general;
        bool swapped;
    };
    const Kind kinds[] = {{ColorYcbcr, ColorRgb, ColorRgba, false},
                          {ColorYcbcr, ColorBgr, ColorRgba, true},
                          {ColorOther, ColorOther, ColorOther, false}};
    for (const char* name : {"s444.jpg", "s420.jpg", "big420.jpg", "tiny17x9.jpg", "rst-each.jpg"}) {
        const Bytes jpeg = readFile(fixture(name));
        for (int scale : {1, 2, 4, 8}) {
            for (const Kind& kind : kinds) {
                SCOPED_TRACE(::testing::Message() << name << " 1/" << scale << " out " << kind.out);
                Request four;
                four.scale = scale;
                four.imageColor = kind.image;
                four.outColor = kind.general;
                four.outChannels = 4;
                const Result general = decode(jpeg, four);
                ASSERT_EQ(general.imageRc, 0);
                Request rq;
                rq.scale = scale;
                rq.imageColor = kind.image;
                rq.outColor = kind.out;
                rq.outHeight = -static_cast<std::int32_t>(general.rows); // bottom-up as well
                const Result r = decode(jpeg, rq);
                ASSERT_EQ(r.imageRc, 0);
                ASSERT_EQ(r.width, general.width);
                for (std::uint32_t y = 0; y < r.rows; ++y) {
                    for (std::uint32_t x = 0; x < r.width; ++x) {
                        const std::uint8_t* g = &general.pixels[(y * general.width + x) * 4];
                        const std::uint8_t* p = &r.pixels[((r.rows - 1 - y) * r.width + x) * 3];
                        const int first = kind.swapped ? 2 : 0;
                        ASSERT_TRUE(p[first] == g[0] && p[1] == g[1] && p[2 - first] == g[2]) << x << "," << y;
                    }
                }
            }
        }
    }
}

namespace {

// The rounded average of each N x N square of a picture (clipped at its edges).
Bytes boxAverage(const Result& full, int scale, std::uint32_t channels)
{
    const std::uint32_t w = scaled(full.width, scale), h = scaled(full.rows, scale);
    Bytes out(static_cast<std::size_t>(w) * h * channels);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            for (std::uint32_t k = 0; k < channels; ++k) {
                int sum = 0, n = 0;
                for (std::uint32_t yy = y * scale; yy < std::min(full.rows, (y + 1) * scale); ++yy)
                    for (std::uint32_t xx = x * scale; xx < std::min(full.width, (x + 1) * scale); ++xx, ++n)
                        sum += full.pixels[(static_cast<std::size_t>(yy) * full.width + xx) * channels + k];
                out[(static_cast<std::size_t>(y) * w + x) * channels + k] =
                    static_cast<std::uint8_t>((sum + n / 2) / n);
            }
    return out;
}

} // namespace

// The reduced transforms of both families average the full transform's pixel pairs and
// squares, frequencies 4 to 7 included. A single coefficient at any position: within 3 of the
// box average in both families. Real pictures (grey, and 4:4:4, where every component takes
// the reduced transform): the box average of clamped pixels, and of pixels converted from
// YCbCr, strays further where the picture saturates, so dctType 0 is held to the distance
// of dctType 1 (the published reduced transforms) from its own box average.
TEST(JpegScaled, ReducedTransformsAverageTheFullTransform)
{
    auto distance = [](const Bytes& jpeg, std::uint32_t dct, int scale) {
        Request rq;
        rq.dctType = dct;
        rq.keepReportedColor = true;
        const Result full = decode(jpeg, rq);
        rq.scale = scale;
        const Result part = decode(jpeg, rq);
        EXPECT_EQ(full.imageRc, 0);
        EXPECT_EQ(part.imageRc, 0);
        return compare(part.pixels, boxAverage(full, scale, full.image.outChannels));
    };
    for (int k = 1; k < 64; ++k) {
        const Bytes one = JpegWriter::baseline(8, 8, kGrayComp, {{0, {{k - 1, k % 2 ? 40 : -40}}}}, 2);
        for (std::uint32_t dct : {0u, 1u})
            for (int scale : {2, 4})
                EXPECT_LE(distance(one, dct, scale).max, 3)
                    << "coefficient " << k << ", dctType " << dct << ", 1/" << scale;
    }
    for (const char* name : {"gray.jpg", "proggray.jpg", "s444.jpg", "tiny17x9.jpg", "big420.jpg"}) {
        const Bytes jpeg = readFile(fixture(name));
        for (int scale : {2, 4}) {
            const Diff d0 = distance(jpeg, 0, scale), d1 = distance(jpeg, 1, scale);
            EXPECT_LE(d0.max, d1.max + 2) << name << " 1/" << scale;
            EXPECT_LE(d0.mean, d1.mean + 0.2) << name << " 1/" << scale;
        }
    }
}
