// The frames of an animated slide show from flat-colour pictures through the real
// streaming thread: their times and count, what each transition shows at its middle,
// fades, pan and zoom, the blurred background, skipped pictures and seeks; and the
// composition routines' SSE2 and plain versions against each other.
#include "tests/picsource/PicsourceFixture.h"

#include "picsource/BlurredBackground.h"
#include "picsource/FrameBuilder.h"
#include "picsource/MotionPath.h"
#include "picsource/ShowComposer.h"
#include "picsource/ShowKernels.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace {

constexpr LONG kWidth = 320;
constexpr LONG kHeight = 240;
constexpr REFERENCE_TIME kFrame = 400000; // at 25 frames a second

struct Bgr {
    int b, g, r;
};
constexpr Bgr kFirst{20, 50, 200};   // show/1.jpg
constexpr Bgr kSecond{200, 100, 20}; // show/2.jpg

Bgr PixelAt(const std::vector<BYTE>& frame, LONG width, LONG x, LONG y)
{
    const BYTE* p = &frame[static_cast<std::size_t>(y) * FrameBuilder::FrameStride(width) + 3 * std::size_t(x)];
    return {p[0], p[1], p[2]};
}

// The largest channel difference from `want` over the pixels of columns [x0, x1).
int WorstIn(const std::vector<BYTE>& frame, LONG width, LONG height, LONG x0, LONG x1, Bgr want)
{
    int worst = 0;
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = x0; x < x1; ++x) {
            const Bgr p = PixelAt(frame, width, x, y);
            worst = std::max({worst, std::abs(p.b - want.b), std::abs(p.g - want.g), std::abs(p.r - want.r)});
        }
    }
    return worst;
}

ShowOptions Transition(LONG transition, LONG ms = 400)
{
    ShowOptions show;
    show.transition = transition;
    show.transitionMs = ms;
    return show;
}

class SlideShowTest : public PicsourceTest {
protected:
    std::vector<TestSinkPin::Frame> Show(const char* folder, const ShowOptions& show, LONG repTime = 1000,
                                         LONG width = kWidth, LONG height = kHeight)
    {
        EXPECT_EQ(config->SetShowOptions(&show, nullptr), S_OK);
        PrepareFolder(folder, width, height, repTime);
        EXPECT_EQ(filter->Run(0), S_OK);
        EXPECT_TRUE(sink.WaitForEndOfStream(std::chrono::seconds(60)));
        return sink.Frames();
    }
};

void ExpectBackToBack(const std::vector<TestSinkPin::Frame>& frames, REFERENCE_TIME first = 0)
{
    for (std::size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].start, first + static_cast<REFERENCE_TIME>(k) * kFrame) << k;
        EXPECT_EQ(frames[k].stop, first + static_cast<REFERENCE_TIME>(k + 1) * kFrame) << k;
    }
}

} // namespace

TEST_F(SlideShowTest, AnAnimatedShowIsFramesOfOneTwentyFifthBackToBackAndAsLongAsThePictures)
{
    const auto frames = Show("show", Transition(TransitionCrossfade));
    ASSERT_EQ(frames.size(), 3u * 1000 * 25 / 1000);
    ExpectBackToBack(frames);
}

TEST_F(SlideShowTest, LengthMsSpreadsThePicturesExactlyAnimatedOrNot)
{
    ShowOptions still;
    still.lengthMs = 1000;
    const auto samples = Show("show", still);
    ASSERT_EQ(samples.size(), 3u);
    const REFERENCE_TIME bounds[] = {0, 3333333, 6666666, 10000000};
    for (std::size_t k = 0; k < samples.size(); ++k) {
        EXPECT_EQ(samples[k].start, bounds[k]);
        EXPECT_EQ(samples[k].stop, bounds[k + 1]);
    }
    // Pictures still, delivered one sample each, exactly as without the option.
    EXPECT_LE(WorstIn(samples[0].bytes, kWidth, kHeight, 0, kWidth, kFirst), 3);
}

TEST_F(SlideShowTest, LengthMsSetsTheFrameCountOfAnAnimatedShow)
{
    ShowOptions show = Transition(TransitionCrossfade);
    show.lengthMs = 2000;
    const auto frames = Show("show", show, 5000);
    ASSERT_EQ(frames.size(), 50u);
    ExpectBackToBack(frames);
}

TEST_F(SlideShowTest, ACrossfadesMiddleFrameIsTheAverageOfBothPictures)
{
    const auto frames = Show("show", Transition(TransitionCrossfade));
    ASSERT_EQ(frames.size(), 75u);
    // The transition runs from 0.8 s to 1.2 s; frame 25 starts at the boundary.
    const Bgr first = PixelAt(frames[0].bytes, kWidth, 10, 10);
    const Bgr second = PixelAt(frames[37].bytes, kWidth, 10, 10);
    const Bgr mean{(first.b + second.b) / 2, (first.g + second.g) / 2, (first.r + second.r) / 2};
    EXPECT_LE(WorstIn(frames[25].bytes, kWidth, kHeight, 0, kWidth, mean), 2);
    // Before and after it, each picture alone.
    EXPECT_LE(WorstIn(frames[19].bytes, kWidth, kHeight, 0, kWidth, first), 0);
    EXPECT_LE(WorstIn(frames[31].bytes, kWidth, kHeight, 0, kWidth, second), 0);
    // On the way the frames move steadily from one to the other.
    EXPECT_GT(PixelAt(frames[22].bytes, kWidth, 5, 5).r, PixelAt(frames[28].bytes, kWidth, 5, 5).r);
}

TEST_F(SlideShowTest, AFadeThroughBlackIsBlackAtTheBoundary)
{
    const auto frames = Show("show", Transition(TransitionFadeBlack));
    ASSERT_EQ(frames.size(), 75u);
    EXPECT_EQ(*std::max_element(frames[25].bytes.begin(), frames[25].bytes.end()), 0);
    // Darker and darker towards it, then the next picture brighter and brighter.
    EXPECT_GT(PixelAt(frames[21].bytes, kWidth, 5, 5).r, PixelAt(frames[23].bytes, kWidth, 5, 5).r);
    EXPECT_GT(PixelAt(frames[23].bytes, kWidth, 5, 5).r, 0);
    EXPECT_GT(PixelAt(frames[29].bytes, kWidth, 5, 5).b, PixelAt(frames[27].bytes, kWidth, 5, 5).b);
    EXPECT_GT(PixelAt(frames[27].bytes, kWidth, 5, 5).b, 0);
}

// Halfway each picture on its side; at 0.92 s, 77/256 of the way, the next picture
// covers the right 96 columns.
void ExpectSidesOf(const std::vector<TestSinkPin::Frame>& frames)
{
    ASSERT_EQ(frames.size(), 75u);
    EXPECT_LE(WorstIn(frames[25].bytes, kWidth, kHeight, 0, kWidth / 2 - 1, kFirst), 4);
    EXPECT_LE(WorstIn(frames[25].bytes, kWidth, kHeight, kWidth / 2 + 1, kWidth, kSecond), 4);
    EXPECT_LE(WorstIn(frames[23].bytes, kWidth, kHeight, 0, kWidth - 96 - 2, kFirst), 4);
    EXPECT_LE(WorstIn(frames[23].bytes, kWidth, kHeight, kWidth - 96 + 2, kWidth, kSecond), 4);
}

TEST_F(SlideShowTest, AWipeHalfwayShowsEachPictureOnItsSide)
{
    ExpectSidesOf(Show("show", Transition(TransitionWipeLeft)));
}

TEST_F(SlideShowTest, ASlideHalfwayShowsEachPictureOnItsSide)
{
    ExpectSidesOf(Show("show", Transition(TransitionSlideLeft)));
}

TEST_F(SlideShowTest, FadeInAndOutStartAndEndInBlack)
{
    ShowOptions show;
    show.fadeInOut = 1;
    show.transitionMs = 400;
    const auto frames = Show("show", show);
    ASSERT_EQ(frames.size(), 75u);
    EXPECT_EQ(*std::max_element(frames[0].bytes.begin(), frames[0].bytes.end()), 0);
    // In over 0.2 s: frame 5 is the picture in full; out over the last 0.2 s.
    EXPECT_LE(WorstIn(frames[5].bytes, kWidth, kHeight, 0, kWidth, kFirst), 3);
    EXPECT_LT(PixelAt(frames[74].bytes, kWidth, 5, 5).g, PixelAt(frames[70].bytes, kWidth, 5, 5).g / 2 + 1);
    EXPECT_LE(*std::max_element(frames[74].bytes.begin(), frames[74].bytes.end()), 90);
}

TEST_F(SlideShowTest, PanAndZoomShowTheExpectedRectanglesFirstAndLast)
{
    ShowOptions show;
    show.motion = MotionKenBurns;
    show.motionStrength = 60;
    show.motionSeed = 7;
    const MotionPath path = MotionPath::For(show.motionSeed, 0, show.motionStrength);
    ASSERT_NE(path.zoomFrom, path.zoomTo);
    const auto frames = Show("fit", show, 1000);
    // fit/ lists landscape-1 first: red top-left, green top-right, blue bottom-left,
    // white bottom-right; stretched 256x192 to 320x240 at zoom 1.
    ASSERT_GE(frames.size(), 25u);
    for (const std::size_t k : {std::size_t{0}, std::size_t{24}}) {
        const MotionPath::View view = path.At(static_cast<double>(k) / 25.0, kWidth, kHeight);
        // Where the quadrant lines (frame x = 160, y = 120 at rest) land in this frame.
        const double lineX = (kWidth / 2.0 - view.left) * kWidth / view.width;
        const double lineY = (kHeight / 2.0 - view.bottom) * kHeight / view.height;
        int wrong = 0, checked = 0;
        for (LONG y = 0; y < kHeight; y += 3) {
            for (LONG x = 0; x < kWidth; x += 3) {
                if (std::abs(x + 0.5 - lineX) < 3 || std::abs(y + 0.5 - lineY) < 3) continue;
                const bool right = x + 0.5 > lineX;
                const bool top = y + 0.5 > lineY;
                const Bgr want =
                    top ? (right ? Bgr{0, 255, 0} : Bgr{0, 0, 255}) : (right ? Bgr{255, 255, 255} : Bgr{255, 0, 0});
                const Bgr got = PixelAt(frames[k].bytes, kWidth, x, y);
                ++checked;
                if (std::abs(got.b - want.b) > 40 || std::abs(got.g - want.g) > 40 || std::abs(got.r - want.r) > 40)
                    ++wrong;
            }
        }
        EXPECT_GT(checked, 5000) << k;
        EXPECT_EQ(wrong, 0) << "frame " << k << " lines at " << lineX << ", " << lineY;
    }
    // The motion moves the picture from frame to frame.
    EXPECT_FALSE(frames[0].bytes == frames[1].bytes);
}

TEST_F(SlideShowTest, AnUnreadablePictureIsPassedOverAndTheNextTakesItsTime)
{
    const auto frames = Show("showbroken", Transition(TransitionCrossfade));
    ASSERT_EQ(frames.size(), 50u);
    ExpectBackToBack(frames);
    ASSERT_EQ(graph.events.size(), 1u);
    EXPECT_EQ(graph.events[0].code, EC_PICTURE_SKIPPED);
    EXPECT_EQ(graph.events[0].param1, 1);
    // The crossfade goes from the first picture to the third.
    const Bgr third = PixelAt(frames[49].bytes, kWidth, 5, 5);
    EXPECT_GT(third.g, 150);
    const Bgr middle = PixelAt(frames[25].bytes, kWidth, 5, 5);
    EXPECT_NEAR(middle.g, (PixelAt(frames[0].bytes, kWidth, 5, 5).g + third.g) / 2, 2);
}

TEST_F(SlideShowTest, ASeekStartsAtThePicturesFirstFrame)
{
    const ShowOptions show = Transition(TransitionCrossfade);
    ASSERT_EQ(config->SetShowOptions(&show, nullptr), S_OK);
    PrepareFolder("show", kWidth, kHeight, 1000);
    SeekWhileRunning(15000000);
    ASSERT_TRUE(sink.WaitForEndOfStream(std::chrono::seconds(60)));
    const auto events = sink.Events();
    const auto flushed = std::find(events.begin(), events.end(), "EndFlush");
    ASSERT_NE(flushed, events.end());
    // Picture 1 from its first frame at 1 s (no mix with a picture not shown), then
    // the crossfade into picture 2, to the end: 50 frames.
    EXPECT_EQ(std::count(flushed, events.end(), std::string("Frame")), 50);
    const auto frames = sink.Frames();
    const std::vector<TestSinkPin::Frame> after(frames.end() - 50, frames.end());
    EXPECT_LE(WorstIn(after[0].bytes, kWidth, kHeight, 0, kWidth, kSecond), 3);
    for (std::size_t k = 1; k < after.size(); ++k) EXPECT_EQ(after[k].start, after[k - 1].stop);
}

TEST_F(SlideShowTest, ABlurredBackgroundFillsTheBordersWithTheDarkenedPicture)
{
    ShowOptions show;
    show.background = BackgroundBlur;
    ASSERT_EQ(config->SetPictureOptions(OrientationIgnore, FitLetterbox, ScalingSmooth), S_OK);
    const auto samples = Show("showwide", show);
    ASSERT_EQ(samples.size(), 1u);
    const std::vector<BYTE>& frame = samples[0].bytes;
    // 320x120 letterboxed: the picture in rows 60..179, borders above and below.
    const Bgr colour = PixelAt(frame, kWidth, 160, 120);
    EXPECT_NEAR(colour.r, 200, 4);
    const auto dark = [&](int value) { return (value * BlurredBackground::kBrightness + 128) / 256; };
    for (const LONG y : {0L, 30L, 210L, 239L}) {
        for (const LONG x : {0L, 160L, 319L}) {
            const Bgr border = PixelAt(frame, kWidth, x, y);
            EXPECT_NEAR(border.r, dark(colour.r), 3) << x << ", " << y;
            EXPECT_NEAR(border.g, dark(colour.g), 3) << x << ", " << y;
            EXPECT_NEAR(border.b, dark(colour.b), 3) << x << ", " << y;
        }
    }
    // The still preview is the frame at rest.
    std::vector<BYTE> preview(frame.size());
    ASSERT_EQ(config->RenderPicture(0, kWidth, kHeight, preview.data(), static_cast<LONG>(preview.size())), S_OK);
    EXPECT_TRUE(preview == frame);
}

TEST_F(SlideShowTest, DefaultShowOptionsKeepTheFramesAsTheyAre)
{
    const ShowOptions none;
    const auto frames = Show("photos", none, 500);
    ASSERT_EQ(frames.size(), 3u);
    const DecodedPicture a = DecodeJpeg(PictureFolderUtf8("photos") + "/a.jpg");
    EXPECT_TRUE(frames[0].bytes == ExpectedFrame(a, kWidth, kHeight));
    EXPECT_EQ(frames[2].stop, 15000000);
}

TEST(ShowKernelsTest, Sse2AndPlainGiveTheSameBytesOnOddSizes)
{
    if (!ShowKernels::HasSse2()) GTEST_SKIP() << "no SSE2 in this build";
    const ShowKernels& plain = ShowKernels::Plain();
    const ShowKernels& sse2 = ShowKernels::Sse2();
    std::mt19937 random(5);
    const auto bytes = [&](std::size_t n) {
        std::vector<BYTE> v(n);
        for (BYTE& b : v) b = static_cast<BYTE>(random());
        return v;
    };
    for (const std::size_t n : {1u, 15u, 17u, 33u, 67u, 301u}) {
        const auto a = bytes(n), b = bytes(n);
        for (const int weight : {0, 1, 77, 128, 255, 256}) {
            std::vector<BYTE> p(n), s(n);
            plain.blend(a.data(), b.data(), p.data(), n, weight);
            sse2.blend(a.data(), b.data(), s.data(), n, weight);
            EXPECT_EQ(p, s) << n << " " << weight;
            p = a;
            s = a;
            plain.scale(p.data(), n, weight);
            sse2.scale(s.data(), n, weight);
            EXPECT_EQ(p, s) << n << " " << weight;
        }
        for (const int fraction : {0, 1, 64, 127, 128}) {
            std::vector<std::uint16_t> p(n), s(n);
            plain.lerpRows(a.data(), b.data(), p.data(), n, fraction);
            sse2.lerpRows(a.data(), b.data(), s.data(), n, fraction);
            EXPECT_EQ(p, s) << n << " " << fraction;
        }
    }
    // The horizontal sample, 31 pixels from a lerped row of 40 (and its spare values).
    std::vector<std::uint16_t> lerped(3 * 41 + 2);
    for (auto& v : lerped) v = static_cast<std::uint16_t>(random() % 32641);
    std::vector<std::uint32_t> column(31);
    std::vector<std::uint8_t> fraction(31);
    for (std::size_t k = 0; k < column.size(); ++k) {
        column[k] = static_cast<std::uint32_t>(random() % 40);
        fraction[k] = static_cast<std::uint8_t>(random() % 128);
    }
    std::vector<BYTE> p(93), s(93);
    plain.sampleRow(lerped.data(), column.data(), fraction.data(), p.data(), 31);
    sse2.sampleRow(lerped.data(), column.data(), fraction.data(), s.data(), 31);
    EXPECT_EQ(p, s);
    // The box blur over 37 x 23 pixels (111 bytes a row, not a multiple of 16).
    const auto picture = bytes(111 * 23);
    for (const int radius : {1, 4, 30}) {
        std::vector<BYTE> bp(picture.size()), bs(picture.size());
        plain.boxColumns(picture.data(), bp.data(), 111, 23, 111, radius);
        sse2.boxColumns(picture.data(), bs.data(), 111, 23, 111, radius);
        EXPECT_EQ(bp, bs) << radius;
    }
}

TEST(ShowComposerTest, MovingFramesAndBlurredBackgroundsAreTheSameWithEitherRoutines)
{
    if (!ShowKernels::HasSse2()) GTEST_SKIP() << "no SSE2 in this build";
    constexpr LONG kFrameWidth = 97, kFrameHeight = 61;
    ShowOptions show;
    show.motion = MotionKenBurns;
    show.motionStrength = 40;
    show.transition = TransitionCrossfade;
    show.background = BackgroundBlur;
    const PictureOptions letterbox{OrientationIgnore, FitLetterbox, ScalingSmooth};
    FrameBuilder builder;
    ShowPicture plainPicture, ssePicture;
    const std::string path = PictureFolderUtf8("layouts") + "/13-photo.jpg";
    ASSERT_EQ(plainPicture.Prepare(builder, path, 3, kFrameWidth, kFrameHeight, letterbox, show, ShowKernels::Plain()),
              S_OK);
    ASSERT_EQ(ssePicture.Prepare(builder, path, 3, kFrameWidth, kFrameHeight, letterbox, show, ShowKernels::Sse2()),
              S_OK);
    EXPECT_TRUE(plainPicture.frame == ssePicture.frame);
    // 1201x803 for 97x61 frames zoomed up to 1.4 times: an eighth (151x101) still
    // gives a source pixel per frame pixel; for 320x240 only a half (601x402) does.
    EXPECT_EQ(plainPicture.image.width, 151u);
    ShowPicture larger;
    ASSERT_EQ(larger.Prepare(builder, path, 3, 320, 240, letterbox, show), S_OK);
    EXPECT_EQ(larger.image.width, 601u);
    ShowComposer plain(kFrameWidth, kFrameHeight, show, ShowKernels::Plain());
    ShowComposer sse2(kFrameWidth, kFrameHeight, show, ShowKernels::Sse2());
    std::vector<BYTE> p(plain.FrameBytes()), s(sse2.FrameBytes());
    for (const double progress : {0.0, 0.37, 1.0}) {
        const ShowComposer::Layer from{&plainPicture, progress};
        const ShowComposer::Layer to{&plainPicture, 1.0 - progress};
        ASSERT_TRUE(plain.Compose(from, to, 93, 200, p.data()));
        ASSERT_TRUE(sse2.Compose(from, to, 93, 200, s.data()));
        EXPECT_TRUE(p == s) << progress;
    }
}

namespace {
// Marks its picture's layer with one white pixel at the bottom-left corner.
class MarkingOverlay final : public ShowOverlay {
public:
    void Prepare(LONG, LONG, LONG) override {}
    void Draw(LONG index, BYTE* layer, LONG, LONG) override
    {
        if (index == marked) std::fill(layer, layer + 3, BYTE{255});
    }
    void Forget(LONG) override {}
    LONG marked = 0;
};
} // namespace

TEST(ShowComposerTest, AnOverlayTakesItsPicturesShareOfACrossfade)
{
    constexpr LONG kFrameWidth = 32, kFrameHeight = 24;
    ShowPicture black;
    black.index = 0;
    black.frame.assign(FrameBuilder::FrameStride(kFrameWidth) * kFrameHeight, 0);
    ShowPicture other;
    other.index = 1;
    other.frame = black.frame;
    MarkingOverlay overlay;
    ShowComposer composer(kFrameWidth, kFrameHeight, Transition(TransitionCrossfade));
    composer.SetOverlay(&overlay);
    std::vector<BYTE> frame(composer.FrameBytes());
    ASSERT_TRUE(composer.Compose({&black, 0}, {&other, 0}, 64, ShowComposer::kFull, frame.data()));
    EXPECT_EQ(frame[0], (255 * 192 + 128) >> 8);
    EXPECT_EQ(frame[3], 0);
}

TEST_F(SlideShowTest, SetCurrentPictureWhileRunningStartsThatPictureFromItsFirstFrame)
{
    const ShowOptions show = Transition(TransitionCrossfade);
    ASSERT_EQ(config->SetShowOptions(&show, nullptr), S_OK);
    PrepareFolder("show", kWidth, kHeight, 1000);
    sink.HoldSamples(1);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(1));
    // The worker waits for the one buffer, which the sink keeps.
    ASSERT_EQ(config->SetCurrentPicture(2), S_OK);
    sink.ReleaseHeldSamples();
    ASSERT_TRUE(sink.WaitForEndOfStream(std::chrono::seconds(60)));
    const auto frames = sink.Frames();
    // The first frame, then the third picture's 25 with no mix from one not shown,
    // their times going on from the first frame's.
    ASSERT_EQ(frames.size(), 26u);
    EXPECT_EQ(frames[1].start, kFrame);
    EXPECT_GT(PixelAt(frames[1].bytes, kWidth, 5, 5).g, 150);
    EXPECT_TRUE(frames[1].bytes == frames[25].bytes);
    for (std::size_t k = 1; k < frames.size(); ++k) EXPECT_EQ(frames[k].start, frames[k - 1].stop);
    LONG current = 0;
    ASSERT_EQ(config->GetCurrentPicture(&current), S_OK);
    EXPECT_EQ(current, 3);
}

// Near-white pixels (caption text over a flat colour) in frame rows [fromRow, toRow),
// counted from the bottom.
int CaptionPixels(const std::vector<BYTE>& frame, LONG fromRow, LONG toRow)
{
    int white = 0;
    for (LONG y = fromRow; y < toRow; ++y) {
        for (LONG x = 0; x < kWidth; ++x) {
            const Bgr p = PixelAt(frame, kWidth, x, y);
            if (p.b > 230 && p.g > 230 && p.r > 230) ++white;
        }
    }
    return white;
}

TEST_F(SlideShowTest, EachPictureOfAStillShowCarriesItsCaptionInTheBottomBand)
{
    ShowOptions still;
    still.caption = CaptionFileName;
    still.captionSize = 10;
    const std::vector<TestSinkPin::Frame> frames = Show("show", still);
    ASSERT_EQ(frames.size(), 3u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_GT(CaptionPixels(frames[i].bytes, 0, kHeight / 4), 20) << "the name in the bottom band, " << i;
        EXPECT_EQ(CaptionPixels(frames[i].bytes, kHeight / 4, kHeight), 0) << "nothing above it, " << i;
    }
    EXPECT_LE(WorstIn(frames[0].bytes, kWidth, kHeight, 0, kWidth / 8, kFirst), 2) << "the picture beside it as it was";
}

TEST_F(SlideShowTest, CaptionsOfACrossfadeShowStayWithTheirPicturesAtTheTop)
{
    ShowOptions animated = Transition(TransitionCrossfade);
    animated.caption = CaptionFileName;
    animated.captionSize = 10;
    animated.captionPlace = CaptionTop;
    const std::vector<TestSinkPin::Frame> frames = Show("show", animated);
    ASSERT_EQ(frames.size(), 75u);
    for (const std::size_t middle : {12u, 37u, 62u}) {
        EXPECT_GT(CaptionPixels(frames[middle].bytes, kHeight * 3 / 4, kHeight), 20) << middle;
        EXPECT_EQ(CaptionPixels(frames[middle].bytes, 0, kHeight * 3 / 4), 0) << middle;
    }
}
