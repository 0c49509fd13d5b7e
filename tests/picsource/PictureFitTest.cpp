// Orientation, fit and scaling of the frames: quadrant pictures in all eight Exif
// orientations checked against the geometry computed here, smooth scaling against
// ImageMagick's area average, and the defaults against the plain stretch.
#include "tests/picsource/PicsourceFixture.h"

#include "jpeg/JpegDecoder.h"
#include "picsource/ColourConverter.h"
#include "picsource/FrameBuilder.h"
#include "picsource/PicturePlacement.h"
#include "tests/common/ExifBlock.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

using exiftest::Bytes;

struct Rgb {
    int r, g, b;
};
// Upright: red top-left, green top-right, blue bottom-left, white bottom-right.
Rgb QuadrantColour(bool right, bool bottom)
{
    if (!bottom) return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<BYTE> Render(const std::string& path, LONG width, LONG height, const PictureOptions& options,
                         HRESULT expected = S_OK)
{
    std::vector<BYTE> frame(FrameBuilder::FrameStride(width) * static_cast<std::size_t>(height), 0);
    FrameBuilder builder;
    EXPECT_EQ(builder.ReadPicture(path, frame.data(), width, height, options), expected) << path;
    return frame;
}

// Counts of the pixels checked and of those that were wrong.
struct Verdict {
    int picture = 0;
    int border = 0;
    int wrong = 0;
    std::string firstWrong;
};

// Checks a frame of an upright uprightW x uprightH quadrant picture: where each frame
// pixel's centre falls in the picture, by the fit's own geometry in real numbers,
// decides its colour; pixels near a quadrant line or the picture's edge are passed over.
Verdict CheckQuadrants(const std::vector<BYTE>& frame, int width, int height, double uprightW, double uprightH,
                       LONG fit)
{
    double scaleX = width / uprightW;
    double scaleY = height / uprightH;
    if (fit != FitStretch) {
        const double s = fit == FitLetterbox ? std::min(scaleX, scaleY) : std::max(scaleX, scaleY);
        scaleX = scaleY = s;
    }
    const double left = (width - uprightW * scaleX) / 2;
    const double bottom = (height - uprightH * scaleY) / 2;
    constexpr double kMargin = 3.0; // frame pixels
    const std::size_t stride = FrameBuilder::FrameStride(width);
    Verdict verdict;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double px = x + 0.5 - left;
            const double py = y + 0.5 - bottom; // from the picture's bottom edge
            const double pictureW = uprightW * scaleX;
            const double pictureH = uprightH * scaleY;
            const BYTE* bgr = &frame[static_cast<std::size_t>(y) * stride + 3 * static_cast<std::size_t>(x)];
            const bool outside = px < -1 || py < -1 || px > pictureW + 1 || py > pictureH + 1;
            const bool nearEdge = px < 1.5 || py < 1.5 || px > pictureW - 1.5 || py > pictureH - 1.5;
            const bool nearLine = std::abs(px - pictureW / 2) < kMargin || std::abs(py - pictureH / 2) < kMargin;
            Rgb want{};
            if (outside) {
                ++verdict.border;
            } else if (nearEdge || nearLine) {
                continue;
            } else {
                want = QuadrantColour(px > pictureW / 2, py < pictureH / 2);
                ++verdict.picture;
            }
            const int tolerance = outside ? 0 : 24;
            if (std::abs(bgr[2] - want.r) > tolerance || std::abs(bgr[1] - want.g) > tolerance ||
                std::abs(bgr[0] - want.b) > tolerance) {
                if (verdict.wrong++ == 0) {
                    verdict.firstWrong = "at (" + std::to_string(x) + ", " + std::to_string(y) +
                                         " from the bottom) BGR " + std::to_string(bgr[0]) + " " +
                                         std::to_string(bgr[1]) + " " + std::to_string(bgr[2]);
                }
            }
        }
    }
    return verdict;
}

class TaggedPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::filesystem::temp_directory_path() / ("reelsmith-fit-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        for (const char* shape : {"landscape", "portrait"}) {
            for (int n = 1; n <= 8; ++n) {
                const Bytes stored =
                    ReadBytes(PictureFolderUtf8("fit") + "/" + shape + "-" + std::to_string(n) + ".jpg");
                for (const bool bigEndian : {false, true}) {
                    const auto body = exiftest::OrientationBody(static_cast<std::uint32_t>(n), bigEndian);
                    WriteBytes(Tagged(shape, n, bigEndian), exiftest::WithApp1(stored, body));
                }
            }
        }
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(folder); }

    static std::string Tagged(const char* shape, int n, bool bigEndian)
    {
        return (folder / (std::string(shape) + "-" + std::to_string(n) + (bigEndian ? "-mm" : "-ii") + ".jpg"))
            .string();
    }

    static std::filesystem::path folder;
};
std::filesystem::path TaggedPictures::folder;

} // namespace

TEST_F(TaggedPictures, EveryOrientationFitAndScalingShowsTheQuadrantsUpright)
{
    struct Shape {
        const char* name;
        double width, height; // upright
    };
    for (const Shape shape : {Shape{"landscape", 256, 192}, Shape{"portrait", 192, 256}}) {
        for (int n = 1; n <= 8; ++n) {
            for (const bool bigEndian : {false, true}) {
                for (const auto& [width, height] : {std::pair{320, 180}, std::pair{180, 320}, std::pair{320, 240}}) {
                    for (const LONG fit : {FitStretch, FitLetterbox, FitCrop}) {
                        for (const LONG scaling : {ScalingNearest, ScalingSmooth}) {
                            SCOPED_TRACE(::testing::Message()
                                         << shape.name << " " << n << (bigEndian ? " MM " : " II ") << width << "x"
                                         << height << " fit " << fit << " scaling " << scaling);
                            const auto frame = Render(Tagged(shape.name, n, bigEndian), width, height,
                                                      {OrientationExif, fit, scaling});
                            const Verdict v = CheckQuadrants(frame, width, height, shape.width, shape.height, fit);
                            EXPECT_EQ(v.wrong, 0) << v.firstWrong;
                            EXPECT_GT(v.picture, width * height / 3);
                            // Letterboxing a picture of another aspect leaves black borders.
                            const bool sameAspect = shape.width * height == shape.height * width;
                            if (fit == FitLetterbox && !sameAspect) {
                                EXPECT_GT(v.border, width + height);
                            }
                            if (fit != FitLetterbox) {
                                EXPECT_EQ(v.border, 0);
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST_F(TaggedPictures, WithoutExifOrientationTheTagChangesNoByte)
{
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const std::string untagged = PictureFolderUtf8("fit") + "/landscape-" + std::to_string(n) + ".jpg";
        const std::string tagged = Tagged("landscape", n, n % 2 == 0);
        const auto reference = ExpectedFrame(DecodeJpeg(untagged), 320, 180);
        EXPECT_TRUE(Render(tagged, 320, 180, {}) == reference);
        // With Exif orientation, an untagged picture stays as stored.
        EXPECT_TRUE(Render(untagged, 320, 180, {OrientationExif, FitStretch, ScalingNearest}) == reference);
    }
}

TEST(PictureFit, DefaultOptionsGiveThePlainStretchAtEverySize)
{
    const std::string path = PictureFolderUtf8("fit") + "/plasma.jpg";
    const DecodedPicture picture = DecodeJpeg(path);
    ASSERT_EQ(picture.width, 640);
    for (const auto& [width, height] : {std::pair{200, 150}, std::pair{237, 178}, std::pair{1000, 750},
                                        std::pair{640, 480}, std::pair{640, 100}, std::pair{21, 999}}) {
        SCOPED_TRACE(::testing::Message() << width << "x" << height);
        EXPECT_TRUE(Render(path, width, height, {}) == ExpectedFrame(picture, width, height));
    }
}

namespace {

// Mean and largest channel difference between a frame (bottom-up BGR) and a PPM.
std::pair<double, int> Difference(const std::vector<BYTE>& frame, const DecodedPicture& reference)
{
    const std::size_t stride = FrameBuilder::FrameStride(reference.width);
    double sum = 0;
    int worst = 0;
    for (int row = 0; row < reference.height; ++row) {
        for (int x = 0; x < reference.width; ++x) {
            const BYTE* bgr = &frame[static_cast<std::size_t>(reference.height - 1 - row) * stride + 3 * x];
            const BYTE* rgb = &reference.rgb[(static_cast<std::size_t>(row) * reference.width + x) * 3];
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(bgr[2 - c] - rgb[c]);
                sum += d;
                worst = std::max(worst, d);
            }
        }
    }
    return {sum / (3.0 * reference.width * reference.height), worst};
}

} // namespace

TEST(PictureFit, SmoothShrinkingIsCloseToImageMagicksAreaAverage)
{
    const std::string path = PictureFolderUtf8("fit") + "/plasma.jpg";
    for (const char* size : {"200x150", "237x178"}) {
        SCOPED_TRACE(size);
        const DecodedPicture reference = ReadPpm(PictureFolderUtf8("fit") + "/plasma-" + size + ".ppm");
        ASSERT_GT(reference.width, 0);
        const auto smooth = Difference(
            Render(path, reference.width, reference.height, {OrientationIgnore, FitStretch, ScalingSmooth}), reference);
        const auto nearest = Difference(Render(path, reference.width, reference.height, {}), reference);
        // From the half-size decode, not the full one the reference averaged.
        EXPECT_LT(smooth.first, 1.5);
        EXPECT_LE(smooth.second, 24);
        EXPECT_GT(nearest.first, 2 * smooth.first) << "the reference tells averaging from sampling";
    }
}

TEST(PictureFit, SmoothEnlargingInterpolatesBetweenNeighbours)
{
    // Doubling a picture: each output pixel lies a quarter of the way between two
    // source pixel centres (bilinear, centres aligned), away from the edges. The source
    // is the builder's own decode, colours converted as smooth scaling converts them.
    const std::string path = PictureFolderUtf8("fit") + "/plasma.jpg";
    const PictureOptions options{OrientationIgnore, FitStretch, ScalingSmooth};
    FrameBuilder builder;
    ASSERT_EQ(builder.LoadFile(path), S_OK);
    ASSERT_EQ(builder.DecodeImage(options, 1280, 960), S_OK);
    const FrameBuilder::Image& source = builder.DecodedImage();
    ASSERT_EQ(source.width, 640u);
    ASSERT_EQ(source.height, 480u);
    std::vector<BYTE> frame(FrameBuilder::FrameStride(1280) * 960);
    ASSERT_EQ(FrameBuilder::FitToFrame(source, frame.data(), 1280, 960, options), S_OK);
    const std::size_t stride = FrameBuilder::FrameStride(1280);
    int worst = 0;
    for (int y = 2; y < 958; y += 7) {
        for (int x = 2; x < 1278; x += 5) {
            // Both count their rows from the bottom.
            const double sy = (y + 0.5) / 2 - 0.5;
            const double sx = (x + 0.5) / 2 - 0.5;
            const int y0 = static_cast<int>(std::floor(sy));
            const int x0 = static_cast<int>(std::floor(sx));
            const double fy = sy - y0;
            const double fx = sx - x0;
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int yy, int xx) { return source.pixels[yy * source.stride + xx * 3 + c]; };
                const double want = (1 - fy) * ((1 - fx) * at(y0, x0) + fx * at(y0, x0 + 1)) +
                                    fy * ((1 - fx) * at(y0 + 1, x0) + fx * at(y0 + 1, x0 + 1));
                const int got = frame[static_cast<std::size_t>(y) * stride + 3 * x + c];
                worst = std::max(worst, static_cast<int>(std::abs(got - want) + 0.5));
            }
        }
    }
    EXPECT_LE(worst, 1);
}

TEST(PictureFit, TheLargestReductionThatStillCoversThePictureIsChosen)
{
    using Rect = PicturePlacement::Rect;
    // 12 megapixels into the benchmark's frames.
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 640, 480}), 4);
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 1920, 1080}), 2);
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 500, 375}), 8);
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 501, 375}), 4);
    // Rounded up: 4001 / 8 gives 501 columns.
    EXPECT_EQ(PicturePlacement::Reduction(4001, 3000, Rect{0, 0, 501, 375}), 8);
    EXPECT_EQ(PicturePlacement::Reduction(640, 480, Rect{0, 0, 1280, 960}), 1);
    // Covering twice over: the frame's size shrunk from two source pixels at least.
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 960, 720}, 2), 2);
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 1440, 1080}, 2), 1);
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 250, 187}, 2), 8);
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, Rect{0, 0, 251, 187}, 2), 4);
    // A cropped picture is covered as a whole, past the frame's edges.
    const Rect crop = PicturePlacement::Place(4000, 3000, 640, 360, FitCrop);
    EXPECT_EQ(crop, (Rect{0, -60, 640, 480}));
    EXPECT_EQ(PicturePlacement::Reduction(4000, 3000, crop), 4);
}

TEST(PictureFit, PlacementIsCentredWithTheOddPixelRightAndTop)
{
    using Rect = PicturePlacement::Rect;
    EXPECT_EQ(PicturePlacement::Place(3000, 4000, 640, 480, FitLetterbox), (Rect{140, 0, 360, 480}));
    EXPECT_EQ(PicturePlacement::Place(3000, 4000, 640, 480, FitCrop), (Rect{0, -186, 640, 853}));
    EXPECT_EQ(PicturePlacement::Place(1920, 1080, 641, 480, FitLetterbox), (Rect{0, 59, 641, 361}));
    EXPECT_EQ(PicturePlacement::Place(1920, 1080, 640, 480, FitStretch), (Rect{0, 0, 640, 480}));
    // However thin, a letterboxed picture keeps one pixel.
    EXPECT_EQ(PicturePlacement::Place(65535, 1, 20, 20, FitLetterbox), (Rect{0, 9, 20, 1}));
}

// ---- Through the configuration interface ----

TEST_F(PicsourceTest, PictureOptionsAreCheckedAndKept)
{
    LONG orientation = -1, fit = -1, scaling = -1;
    ASSERT_EQ(config->GetPictureOptions(&orientation, &fit, &scaling), S_OK);
    EXPECT_EQ((std::vector<LONG>{orientation, fit, scaling}), (std::vector<LONG>{0, 0, 0}));
    EXPECT_EQ(config->SetPictureOptions(OrientationExif, FitCrop, ScalingSmooth), S_OK);
    EXPECT_EQ(config->SetPictureOptions(2, FitStretch, ScalingNearest), E_INVALIDARG);
    EXPECT_EQ(config->SetPictureOptions(OrientationIgnore, 3, ScalingNearest), E_INVALIDARG);
    EXPECT_EQ(config->SetPictureOptions(OrientationIgnore, FitStretch, -1), E_INVALIDARG);
    EXPECT_EQ(config->GetPictureOptions(&orientation, &fit, &scaling), S_OK);
    EXPECT_EQ((std::vector<LONG>{orientation, fit, scaling}), (std::vector<LONG>{1, 2, 1}));
    EXPECT_EQ(config->GetPictureOptions(nullptr, &fit, &scaling), E_POINTER);

    PrepareFolder("photos");
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(config->SetPictureOptions(OrientationIgnore, FitStretch, ScalingNearest), E_INVALIDARG);
    ASSERT_EQ(filter->Stop(), S_OK);
}

TEST_F(PicsourceTest, TheStreamAndRenderPictureDrawTheSameFramesWithTheOptions)
{
    ASSERT_EQ(config->SetPictureOptions(OrientationExif, FitLetterbox, ScalingSmooth), S_OK);
    PrepareFolder("photos", 320, 180);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForEndOfStream());
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 3u);
    const LONG bytes = static_cast<LONG>(FrameBuilder::FrameStride(320) * 180);
    // Any state, and without moving the stream.
    LONG before = 0;
    ASSERT_EQ(config->GetCurrentPicture(&before), S_OK);
    for (LONG i = 0; i < 3; ++i) {
        std::vector<BYTE> frame(static_cast<std::size_t>(bytes), 0xAA);
        ASSERT_EQ(config->RenderPicture(i, 320, 180, frame.data(), bytes), S_OK);
        EXPECT_TRUE(frame == frames[static_cast<std::size_t>(i)].bytes) << i;
        // 4:3 pictures in a 16:9 frame: black left and right.
        EXPECT_EQ(frame[0] + frame[1] + frame[2], 0);
    }
    LONG after = 0;
    ASSERT_EQ(config->GetCurrentPicture(&after), S_OK);
    EXPECT_EQ(after, before);
    ASSERT_EQ(filter->Stop(), S_OK);

    std::vector<BYTE> frame(static_cast<std::size_t>(bytes));
    EXPECT_EQ(config->RenderPicture(3, 320, 180, frame.data(), bytes), E_INVALIDARG);
    EXPECT_EQ(config->RenderPicture(-1, 320, 180, frame.data(), bytes), E_INVALIDARG);
    EXPECT_EQ(config->RenderPicture(0, 320, 180, frame.data(), bytes - 1), E_INVALIDARG);
    EXPECT_EQ(config->RenderPicture(0, 0, 180, frame.data(), bytes), E_INVALIDARG);
    EXPECT_EQ(config->RenderPicture(0, 320, 180, nullptr, bytes), E_POINTER);
}

TEST_F(PicsourceTest, RenderPictureAnswersTheReadingsFailure)
{
    PrepareFolder("broken");
    const LONG bytes = static_cast<LONG>(FrameBuilder::FrameStride(320) * 240);
    std::vector<BYTE> frame(static_cast<std::size_t>(bytes));
    EXPECT_EQ(config->RenderPicture(0, 320, 240, frame.data(), bytes), S_OK);
    EXPECT_EQ(config->RenderPicture(1, 320, 240, frame.data(), bytes), JpegNotJpeg);
}

namespace {

// An upright quadrant picture of any size, written through cjpeg with `options`.
bool WriteQuadrantJpeg(const std::string& path, int width, int height, const std::string& options)
{
    FILE* encoder = popen(("cjpeg " + options + " -outfile '" + path + "'").c_str(), "w");
    if (!encoder) return false;
    std::fprintf(encoder, "P6\n%d %d\n255\n", width, height);
    std::vector<BYTE> row(static_cast<std::size_t>(width) * 3);
    bool written = true;
    for (int y = 0; y < height && written; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb colour = QuadrantColour(x >= width / 2, y >= height / 2);
            row[3 * static_cast<std::size_t>(x)] = static_cast<BYTE>(colour.r);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<BYTE>(colour.g);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<BYTE>(colour.b);
        }
        written = std::fwrite(row.data(), 1, row.size(), encoder) == row.size();
    }
    return pclose(encoder) == 0 && written;
}

} // namespace

// A phone's 108-megapixel photo and a 64-megapixel progressive 4:4:4 one become frames,
// decoded at the smallest reduction that keeps within the decoded-pixel bound.
TEST(PictureFit, PhotosOfManyMegapixelsBecomeFramesWithinTheMemoryBound)
{
    struct Big {
        int width, height;
        const char* options;
        std::uint32_t decodedWidth;
    };
    const std::string path = std::filesystem::temp_directory_path() / ("reelsmith-big-" + std::to_string(getpid()));
    for (const Big big : {Big{12000, 9000, "-quality 80", 6000}, Big{8192, 8192, "-progressive -sample 1x1", 8192}}) {
        SCOPED_TRACE(std::to_string(big.width) + "x" + std::to_string(big.height) + " " + big.options);
        ASSERT_TRUE(WriteQuadrantJpeg(path, big.width, big.height, big.options));
        FrameBuilder builder;
        ASSERT_EQ(builder.LoadFile(path), S_OK);
        ASSERT_EQ(builder.DecodeImage(), S_OK);
        EXPECT_EQ(builder.DecodedImage().width, big.decodedWidth);
        for (const PictureOptions options :
             {PictureOptions{}, PictureOptions{OrientationIgnore, FitLetterbox, ScalingSmooth}}) {
            const auto frame = Render(path, 320, 240, options);
            const Verdict verdict = CheckQuadrants(frame, 320, 240, big.width, big.height, options.fit);
            EXPECT_GT(verdict.picture, 10000);
            EXPECT_EQ(verdict.wrong, 0) << verdict.firstWrong;
        }
    }
    std::filesystem::remove(path);
}

TEST(PictureFit, SmoothScalingConvertsColoursByTheJfifEquationsRounded)
{
    // Every Y, Cb and Cr on a grid, against the equations in double precision: at most a
    // level apart where the exact value lies within a hair of a half level.
    std::vector<BYTE> pixels;
    for (int y = 0; y < 256; y += 5)
        for (int cb = 0; cb < 256; cb += 3)
            for (int cr = 0; cr < 256; cr += 3) pixels.insert(pixels.end(), {BYTE(y), BYTE(cb), BYTE(cr)});
    const auto count = static_cast<std::uint32_t>(pixels.size() / 3);
    std::vector<BYTE> bgr = pixels;
    ColourConverter::YcbcrToRgb(bgr.data(), count, 1, bgr.size(), ColourConverter::Order::Bgr);
    std::vector<BYTE> rgb = pixels;
    ColourConverter::YcbcrToRgb(rgb.data(), count, 1, rgb.size(), ColourConverter::Order::Rgb);
    int worst = 0;
    int offByOne = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const double y = pixels[3 * i];
        const double cb = pixels[3 * i + 1] - 128.0;
        const double cr = pixels[3 * i + 2] - 128.0;
        const double exact[3] = {y + 1.402 * cr, y - 0.344136 * cb - 0.714136 * cr, y + 1.772 * cb};
        for (int c = 0; c < 3; ++c) {
            const int want = static_cast<int>(std::clamp(std::floor(exact[c] + 0.5), 0.0, 255.0));
            const int gotRgb = rgb[3 * i + c];
            const int difference = std::abs(gotRgb - want);
            worst = std::max(worst, difference);
            offByOne += difference;
            EXPECT_EQ(bgr[3 * i + 2 - c], gotRgb) << "the same levels in the other order";
        }
    }
    EXPECT_LE(worst, 1);
    EXPECT_LT(offByOne, static_cast<int>(count * 3 / 1000));
}
