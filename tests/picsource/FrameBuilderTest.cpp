// The frame builder's direct decode (bottom-up, padded B G R rows straight from the
// decoder) against the road a turned picture takes (stored order, then turned), and
// one builder reading a mixed folder against a fresh builder per picture.
#include "picsource/FrameBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> LayoutPictures()
{
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(PICTURES_DIR) + "/layouts"))
        paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<BYTE> ImageBytes(const FrameBuilder::Image& image)
{
    const std::size_t size = static_cast<std::size_t>(image.stride) * image.height;
    return std::vector<BYTE>(image.pixels, image.pixels + size);
}

struct Request {
    PictureOptions options;
    LONG width;
    LONG height;
};

// Full size, and smooth scaling into frames small enough for each of the decoder's
// reductions of the 333x211 pictures (and the 1201x803 photograph) to cover twice.
const Request kRequests[] = {
    {{}, 0, 0},
    {{OrientationIgnore, FitStretch, ScalingSmooth}, 80, 50},
    {{OrientationIgnore, FitLetterbox, ScalingSmooth}, 40, 25},
    {{OrientationIgnore, FitCrop, ScalingSmooth}, 20, 13},
};

TEST(FrameBuilderTest, TheDirectDecodeGivesTheBytesOfTheStoredDecodeTurned)
{
    const std::vector<std::string> paths = LayoutPictures();
    ASSERT_GE(paths.size(), 13u);
    FrameBuilder direct; // one builder, and one decoder context, for every picture
    std::vector<std::uint32_t> widthsSeen;
    int decoded = 0;
    for (const Request& request : kRequests) {
        for (const std::string& path : paths) {
            SCOPED_TRACE(path + " frame " + std::to_string(request.width) + "x" + std::to_string(request.height));
            ASSERT_EQ(direct.LoadFile(path), S_OK);
            const HRESULT directResult = direct.DecodeImage(request.options, request.width, request.height);

            FrameBuilder stored;
            ASSERT_EQ(stored.LoadFile(path), S_OK);
            FrameBuilder::Picture picture;
            HRESULT storedResult = stored.DecodePicture(picture, request.options, request.width, request.height);
            if (storedResult == S_OK) storedResult = stored.TurnUpright(picture);

            ASSERT_EQ(directResult, storedResult);
            if (directResult != S_OK) continue;
            const FrameBuilder::Image& a = direct.DecodedImage();
            const FrameBuilder::Image& b = stored.DecodedImage();
            ASSERT_EQ(a.width, b.width);
            ASSERT_EQ(a.height, b.height);
            ASSERT_EQ(a.stride, b.stride);
            EXPECT_TRUE(ImageBytes(a) == ImageBytes(b));
            if (path.find("01-420") != std::string::npos) widthsSeen.push_back(a.width);
            ++decoded;
        }
    }
    // Full size and the reductions by 2, 4 and 8 of the 333-pixel-wide picture.
    EXPECT_EQ(widthsSeen, (std::vector<std::uint32_t>{333, 167, 84, 42}));
    // Everything but the text file decodes on each road.
    EXPECT_GE(decoded, 4 * 10);
}

TEST(FrameBuilderTest, OneBuilderMakesTheFramesOfAFreshBuilderPerPicture)
{
    constexpr LONG kWidth = 150;
    constexpr LONG kHeight = 101;
    const std::size_t frameBytes = FrameBuilder::FrameStride(kWidth) * kHeight;
    const PictureOptions kinds[] = {{}, {OrientationExif, FitLetterbox, ScalingSmooth}};
    FrameBuilder reused;
    int failures = 0;
    for (const PictureOptions& options : kinds) {
        for (const std::string& path : LayoutPictures()) {
            SCOPED_TRACE(path);
            std::vector<BYTE> a(frameBytes, 0), b(frameBytes, 0);
            const HRESULT reusedResult = reused.ReadPicture(path, a.data(), kWidth, kHeight, options);
            FrameBuilder fresh;
            const HRESULT freshResult = fresh.ReadPicture(path, b.data(), kWidth, kHeight, options);
            ASSERT_EQ(reusedResult, freshResult);
            EXPECT_TRUE(a == b);
            if (FAILED(reusedResult)) ++failures;
        }
    }
    // The text file, at least, fails on each pass, between pictures that decode.
    EXPECT_GE(failures, 2);
}

// Bands of 32 rows (the least), against a builder whose band holds any picture whole.
constexpr std::uint64_t kSmallestBands = 1;
constexpr std::uint64_t kWholePictures = std::numeric_limits<std::uint64_t>::max();

struct Frame {
    HRESULT result;
    std::vector<BYTE> bytes;
    bool operator==(const Frame&) const = default;
};

Frame ReadFrame(FrameBuilder& builder, const std::string& path, LONG width, LONG height, const PictureOptions& options)
{
    Frame frame{E_FAIL, std::vector<BYTE>(FrameBuilder::FrameStride(width) * height, 0)};
    frame.result = builder.ReadPicture(path, frame.bytes.data(), width, height, options);
    return frame;
}

// Shrinking and enlarging (the smooth scaler's taps then reach across band edges), every
// fit, full size and each reduction, odd frame sizes whose rows are padded.
TEST(FrameBuilderTest, PicturesDrawnBandByBandGiveTheFramesOfTheWholeDecode)
{
    const struct {
        PictureOptions options;
        LONG width;
        LONG height;
    } requests[] = {
        {{}, 150, 101},
        {{}, 333, 211},
        {{OrientationIgnore, FitLetterbox}, 97, 61},
        {{OrientationIgnore, FitCrop}, 700, 500},
        {{OrientationIgnore, FitStretch, ScalingSmooth}, 150, 101},
        {{OrientationIgnore, FitLetterbox, ScalingSmooth}, 61, 47},
        {{OrientationIgnore, FitCrop, ScalingSmooth}, 21, 13},
        {{OrientationIgnore, FitLetterbox, ScalingSmooth}, 701, 503},
        {{OrientationExif, FitStretch, ScalingSmooth}, 150, 101},
    };
    FrameBuilder banded(kSmallestBands);
    FrameBuilder whole(kWholePictures);
    int compared = 0;
    for (const auto& request : requests) {
        for (const std::string& path : LayoutPictures()) {
            SCOPED_TRACE(path + " frame " + std::to_string(request.width) + "x" + std::to_string(request.height));
            const Frame a = ReadFrame(banded, path, request.width, request.height, request.options);
            const Frame b = ReadFrame(whole, path, request.width, request.height, request.options);
            ASSERT_EQ(a.result, b.result);
            EXPECT_TRUE(a.bytes == b.bytes);
            if (SUCCEEDED(a.result)) ++compared;
        }
    }
    EXPECT_GE(compared, 9 * 10);
}

// A band that fails leaves the picture to the whole read: the same failure, and the
// frame as zeroed as it came; a picture whose data the bands all decode is the same frame.
TEST(FrameBuilderTest, BrokenPicturesDrawnBandByBandFailOrSucceedAsTheWholeDecode)
{
    std::ifstream in(std::string(PICTURES_DIR) + "/layouts/01-420.jpg", std::ios::binary);
    const std::vector<char> good{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(good.size(), 2000u);
    std::vector<std::vector<char>> broken;
    for (const std::size_t cut : {good.size() / 4, good.size() / 2, good.size() - 40, good.size() - 2})
        broken.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    for (const std::size_t at : {good.size() / 3, good.size() / 2, good.size() - 100}) {
        std::vector<char> damaged = good;
        for (std::size_t i = at; i < at + 24; ++i) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
        broken.push_back(damaged);
    }
    std::vector<char> trailing = good;
    trailing.insert(trailing.end() - 2, {'\xFF', '\xDA', '\x00'}); // a scan header cut short before EOI
    broken.push_back(trailing);
    const auto folder = std::filesystem::temp_directory_path() / ("frame-builder-bands-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const PictureOptions kinds[] = {{}, {OrientationIgnore, FitLetterbox, ScalingSmooth}};
    int failed = 0;
    for (std::size_t n = 0; n < broken.size(); ++n) {
        const std::string path = (folder / ("broken" + std::to_string(n) + ".jpg")).string();
        std::ofstream(path, std::ios::binary).write(broken[n].data(), static_cast<std::streamsize>(broken[n].size()));
        for (const PictureOptions& options : kinds) {
            SCOPED_TRACE(path);
            FrameBuilder banded(kSmallestBands);
            FrameBuilder whole(kWholePictures);
            const Frame a = ReadFrame(banded, path, 150, 101, options);
            const Frame b = ReadFrame(whole, path, 150, 101, options);
            EXPECT_EQ(a.result, b.result);
            EXPECT_TRUE(a.bytes == b.bytes);
            if (FAILED(b.result)) {
                ++failed;
                EXPECT_TRUE(std::all_of(a.bytes.begin(), a.bytes.end(), [](BYTE v) { return v == 0; }));
            }
        }
    }
    std::filesystem::remove_all(folder);
    EXPECT_GE(failed, 2);
}

} // namespace
