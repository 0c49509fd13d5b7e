#include "app/SkinButton.h"
#include "app/SkinProgress.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// One application for the whole run, destroyed before exit so that the font
// database it loaded is released.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app = std::make_unique<QApplication>(argc, argv); }
    void TearDown() override { app.reset(); }

private:
    int argc = 1;
    char name[10] = "app-tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
};

const ::testing::Environment* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A bar 510 pixels wide: 255 bands of exactly two pixels each with the defaults.
class SkinProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar.backgroundColour = 0x00FF00; // green, unlike any band
        bar.showPercent = false;
    }
    QColor At(const QImage& image, int x) const { return image.pixelColor(x, 3); }

    SkinProgress bar;
    const QSize area{510, 8};
};

TEST_F(SkinProgressTest, PositionZeroStillShowsTheFirstBandThenBackground)
{
    bar.SetRange(0, 100);
    const QImage image = bar.Render(area);
    EXPECT_EQ(At(image, 0), QColor(255, 0, 0));
    EXPECT_EQ(At(image, 1), QColor(255, 0, 0));
    EXPECT_EQ(At(image, 2), QColor(0, 255, 0));
    EXPECT_EQ(At(image, 509), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(100, 0), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(100, 7), QColor(0, 255, 0));
}

TEST_F(SkinProgressTest, FullBarDrawsEveryBandFromRedTowardsBlue)
{
    bar.SetRange(0, 12);
    bar.SetPos(12);
    const QImage image = bar.Render(area);
    EXPECT_EQ(At(image, 0), QColor(255, 0, 0));
    // Band i is start + i/255 of the difference; the last one is 254/255 of the way.
    EXPECT_EQ(At(image, 509), QColor(1, 0, 254));
    EXPECT_EQ(At(image, 255), QColor(128, 0, 127)); // band 127
    EXPECT_EQ(image.pixelColor(509, 7), QColor(1, 0, 254));
}

TEST_F(SkinProgressTest, GradientIsRevealedNotCompressed)
{
    bar.SetRange(0, 2);
    bar.SetPos(1);
    const QImage image = bar.Render(area);
    // Half full: the red-to-purple half, then background.
    EXPECT_EQ(At(image, 254), QColor(128, 0, 127));
    EXPECT_EQ(At(image, 300), QColor(0, 255, 0));
}

TEST_F(SkinProgressTest, PositionInsideABandShowsTheWholeBand)
{
    // 100 bands of 3 pixels over 300: fillWidth 31 falls inside band 10 (30..32).
    bar.startColour = 0x000000;
    bar.endColour = 0x000064; // red 0 to 100
    bar.SetRange(0, 300);
    bar.SetPos(31);
    const QImage image = bar.Render(QSize(300, 8));
    EXPECT_EQ(At(image, 32), QColor(10, 0, 0));
    EXPECT_EQ(At(image, 33), QColor(0, 255, 0));
    EXPECT_EQ(At(image, 29), QColor(9, 0, 0));
}

TEST_F(SkinProgressTest, LabelReadsTextThenRoundedPercentage)
{
    bar.SetRange(0, 12);
    EXPECT_EQ(bar.LabelText(), QStringLiteral("[0%]"));
    bar.SetPos(5);
    EXPECT_EQ(bar.LabelText(), QStringLiteral("[42%]"));
    bar.label = QStringLiteral("再生中");
    bar.SetPos(12);
    EXPECT_EQ(bar.LabelText(), QStringLiteral("再生中[100%]"));
    bar.SetPos(15);
    EXPECT_EQ(bar.LabelText(), QStringLiteral("再生中[125%]"));
}

TEST_F(SkinProgressTest, LabelIsDrawnCentredInTheTextColour)
{
    bar.showPercent = true;
    bar.textColour = 0xFFFFFF;
    bar.backgroundColour = 0x000000;
    bar.SetRange(0, 100);
    const QImage image = bar.Render(QSize(400, 20));
    int leftmost = image.width();
    int rightmost = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 10; x < image.width(); ++x)
            if (image.pixelColor(x, y).lightness() > 128) {
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
            }
    ASSERT_GE(rightmost, 0) << "no label pixels";
    EXPECT_NEAR((leftmost + rightmost) / 2.0, 200.0, 4.0);
}

TEST_F(SkinProgressTest, EqualColoursDrawNoBandButStillPaint)
{
    bar.endColour = bar.startColour;
    bar.SetRange(0, 100);
    bar.SetPos(50);
    const QImage image = bar.Render(area);
    EXPECT_EQ(image.size(), area);
}

TEST(SkinButtonTest, StateChoosesTheImageAndSizeFollowsTheNormalOne)
{
    SkinButton audio;
    EXPECT_TRUE(audio.LoadImages(140, 141, 0, 145));
    audio.SizeToImage();
    EXPECT_EQ(audio.size(), QSize(90, 90));
    const QImage normal = audio.CurrentImage();
    audio.setDown(true);
    const QImage pressed = audio.CurrentImage();
    EXPECT_NE(pressed, normal);
    audio.setDown(false);
    audio.setEnabled(false);
    const QImage disabled = audio.CurrentImage();
    EXPECT_NE(disabled, normal);
    EXPECT_NE(disabled, pressed);

    SkinButton start;
    EXPECT_TRUE(start.LoadImages(132, 131));
    start.SizeToImage();
    EXPECT_EQ(start.size(), QSize(161, 53));
    start.setEnabled(false);
    const QImage disabledStart = start.CurrentImage();
    start.setEnabled(true);
    EXPECT_EQ(disabledStart, start.CurrentImage()) << "no disabled image: the normal one shows";
}

TEST(SkinButtonTest, MissingImagesReportFailure)
{
    SkinButton button;
    EXPECT_FALSE(button.LoadImages(9999, 131));
    EXPECT_TRUE(button.CurrentImage().isNull());
    EXPECT_FALSE(button.LoadImages(132, 9999));
    EXPECT_FALSE(button.CurrentImage().isNull());
    EXPECT_EQ(button.CurrentImage().size(), QSize(161, 53));
}

TEST(ArtworkTest, SkinIsTheWholeWindow)
{
    SkinButton skin;
    ASSERT_TRUE(skin.LoadImages(133, 0));
    EXPECT_EQ(skin.CurrentImage().size(), QSize(800, 600));
    ASSERT_TRUE(skin.LoadImages(150, 151));
    EXPECT_EQ(skin.CurrentImage().size(), QSize(48, 48));
}

} // namespace
