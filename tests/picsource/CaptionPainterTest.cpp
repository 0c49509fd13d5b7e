// Captions drawn into frames with the installed fonts: where they land, what the
// opacity does, Japanese glyphs and text too long for one line.
#include "picsource/CaptionPainter.h"
#include "picsource/ShowOptions.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr BYTE kGrey = 80;

struct Frame {
    Frame(LONG w, LONG h) : width(w), height(h), stride((w * 3 + 3) & ~3), bytes(static_cast<std::size_t>(stride) * h)
    {
        for (LONG y = 0; y < h; ++y) std::fill_n(&bytes[static_cast<std::size_t>(y) * stride], w * 3, kGrey);
    }
    // Row y counted from the top of the picture.
    const BYTE* Pixel(LONG x, LONG y) const
    {
        return &bytes[static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3];
    }
    LONG width;
    LONG height;
    LONG stride;
    std::vector<BYTE> bytes;
};

bool IsWhite(const BYTE* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

long Ink(const std::vector<BYTE>& mask)
{
    return std::count_if(mask.begin(), mask.end(), [](BYTE v) { return v > 128; });
}

} // namespace

TEST(CaptionPainter, CaptionLandsInItsBandAndTouchesNothingOutsideItsBox)
{
    for (const LONG place : {CaptionBottom, CaptionTop}) {
        CaptionPainter painter;
        ASSERT_EQ(painter.Prepare("Hello, Reelsmith", 320, 240, place, 10), S_OK);
        const CaptionPainter::Box box = painter.Bounds();
        ASSERT_GT(box.Width(), 0);
        EXPECT_GE(box.left, 0);
        EXPECT_LE(box.right, 320);
        EXPECT_LT(box.Height(), 240 / 4);
        if (place == CaptionBottom) {
            EXPECT_GT(box.top, 240 * 3 / 4);
        } else {
            EXPECT_LT(box.bottom, 240 / 4);
        }
        // Centred: the box's margins left and right differ by the shadow's spread alone.
        EXPECT_LE(std::abs(box.left - (320 - box.right)), 8);

        const Frame before(320, 240);
        Frame frame = before;
        painter.Draw(frame.bytes.data(), 256);
        long white = 0;
        long darker = 0;
        for (LONG y = 0; y < 240; ++y)
            for (LONG x = 0; x < 320; ++x) {
                const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                const BYTE* p = frame.Pixel(x, y);
                if (!inside) {
                    ASSERT_TRUE(std::equal(p, p + 3, before.Pixel(x, y))) << x << "," << y;
                    continue;
                }
                white += IsWhite(p);
                darker += p[0] < kGrey;
            }
        EXPECT_GT(white, 100);
        EXPECT_GT(darker, 100); // the shadow
        // Row padding stays as it was.
        for (LONG y = 0; y < 240; ++y)
            for (LONG b = 320 * 3; b < frame.stride; ++b)
                EXPECT_EQ(frame.bytes[static_cast<std::size_t>(y) * frame.stride + b], 0);
    }
}

TEST(CaptionPainter, OpacityScalesTheCaption)
{
    CaptionPainter painter;
    ASSERT_EQ(painter.Prepare("Opacity", 640, 360, CaptionBottom, 12), S_OK);
    const CaptionPainter::Box box = painter.Bounds();
    const Frame before(640, 360);

    Frame frame = before;
    painter.Draw(frame.bytes.data(), 0);
    EXPECT_EQ(frame.bytes, before.bytes);

    Frame full = before;
    Frame half = before;
    painter.Draw(full.bytes.data(), 256);
    painter.Draw(half.bytes.data(), 128);
    long core = 0;
    for (LONG y = 0; y < box.Height(); ++y)
        for (LONG x = 0; x < box.Width(); ++x) {
            if (painter.TextMask()[static_cast<std::size_t>(y) * box.Width() + x] != 255) continue;
            ++core;
            EXPECT_TRUE(IsWhite(full.Pixel(box.left + x, box.top + y)));
            const BYTE level = half.Pixel(box.left + x, box.top + y)[1];
            EXPECT_GT(level, 120);
            EXPECT_LT(level, 200);
        }
    EXPECT_GT(core, 50);
}

// Every byte of the box as darkened by the shadow and then lightened by the text, each
// scaled by the opacity and rounded to the nearest level: the vector and the plain
// code give the same frame to the bit, whatever the row's length.
TEST(CaptionPainter, BlendIsExactAtEveryOpacity)
{
    CaptionPainter painter;
    for (const char* text : {"Wg", "Exact blend, 2024"}) {
        ASSERT_EQ(painter.Prepare(text, 427, 240, CaptionBottom, 9), S_OK);
        const CaptionPainter::Box box = painter.Bounds();
        Frame before(427, 240);
        for (std::size_t i = 0; i < before.bytes.size(); ++i) before.bytes[i] = static_cast<BYTE>(i * 7 + i / 5);
        for (const unsigned opacity : {1u, 77u, 128u, 255u, 256u, 1000u}) {
            Frame frame = before;
            painter.Draw(frame.bytes.data(), opacity);
            const unsigned scale = std::min(opacity, 256u);
            for (LONG y = 0; y < box.Height(); ++y)
                for (LONG x = 0; x < box.Width(); ++x) {
                    const std::size_t at = static_cast<std::size_t>(y) * box.Width() + x;
                    const unsigned down = painter.ShadowMask()[at] * scale / 256;
                    const unsigned up = painter.TextMask()[at] * scale / 256;
                    const BYTE* was = before.Pixel(box.left + x, box.top + y);
                    const BYTE* is = frame.Pixel(box.left + x, box.top + y);
                    for (int c = 0; c < 3; ++c) {
                        const unsigned shaded = was[c] - (2 * was[c] * down + 255) / 510;
                        const unsigned lit = shaded + (2 * (255 - shaded) * up + 255) / 510;
                        ASSERT_EQ(is[c], lit) << text << " opacity " << opacity << " at " << x << "," << y;
                    }
                }
        }
    }
}

TEST(CaptionPainter, JapaneseRendersWithRealGlyphs)
{
    CaptionPainter painter;
    ASSERT_EQ(painter.Prepare("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 640, 480, CaptionBottom, 10), S_OK); // 日本語
    EXPECT_EQ(painter.MissingGlyphs(), 0);
    const std::vector<BYTE> japanese = painter.TextMask();
    const CaptionPainter::Box japaneseBox = painter.Bounds();

    // Three characters of plane 16's private use area, which no font draws.
    ASSERT_EQ(painter.Prepare("\xF4\x8F\xBF\xBD\xF4\x8F\xBF\xBD\xF4\x8F\xBF\xBD", 640, 480, CaptionBottom, 10), S_OK);
    EXPECT_EQ(painter.MissingGlyphs(), 3);
    EXPECT_NE(japanese, painter.TextMask());

    // Plausible ink for three 48-pixel characters: neither empty nor filled boxes.
    const long ink = Ink(japanese);
    const long area = static_cast<long>(japanese.size());
    EXPECT_GT(ink, area / 20);
    EXPECT_LT(ink, area / 2);
    EXPECT_GT(japaneseBox.Width(), 3 * 40);

    // Latin and Japanese in one caption, each from a font that has it.
    ASSERT_EQ(painter.Prepare("Tokyo \xE6\x9D\xB1\xE4\xBA\xAC 2024", 640, 480, CaptionTop, 10), S_OK);
    EXPECT_EQ(painter.MissingGlyphs(), 0);
}

TEST(CaptionPainter, LongTextTakesTwoLinesThenAnEllipsis)
{
    CaptionPainter painter;
    ASSERT_EQ(painter.Prepare("Short", 320, 240, CaptionBottom, 8), S_OK);
    EXPECT_EQ(painter.LineCount(), 1);
    const LONG oneLine = painter.Bounds().Height();

    ASSERT_EQ(painter.Prepare("A walk along the beach at dusk", 320, 240, CaptionBottom, 8), S_OK);
    EXPECT_EQ(painter.LineCount(), 2);
    EXPECT_GT(painter.Bounds().Height(), oneLine * 3 / 2);
    EXPECT_LE(painter.Bounds().right, 320);

    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "\xE6\xB5\xB7\xE8\xBE\xBA"; // 海辺, no spaces to break at
    ASSERT_EQ(painter.Prepare(longText, 320, 240, CaptionBottom, 8), S_OK);
    EXPECT_EQ(painter.LineCount(), 2);
    EXPECT_EQ(painter.MissingGlyphs(), 0);
    EXPECT_GE(painter.Bounds().left, 0);
    EXPECT_LE(painter.Bounds().right, 320);
    EXPECT_LT(painter.Bounds().bottom, 240);
}

TEST(CaptionPainter, EmptyTextAndBadArgumentsDrawNothing)
{
    CaptionPainter painter;
    const Frame before(320, 240);
    for (const char* text : {"", "   ", "\t\r\n"}) {
        ASSERT_EQ(painter.Prepare(text, 320, 240, CaptionBottom, 5), S_OK);
        EXPECT_EQ(painter.Bounds().Width(), 0);
        Frame frame = before;
        painter.Draw(frame.bytes.data(), 256);
        EXPECT_EQ(frame.bytes, before.bytes);
    }
    ASSERT_EQ(painter.Prepare("Text", 320, 240, CaptionBottom, 5), S_OK);
    const struct {
        LONG width, height, place, size;
    } bad[] = {{0, 240, CaptionBottom, 5}, {320, -1, CaptionBottom, 5}, {kMaxVideoSide + 1, 240, CaptionBottom, 5},
               {320, 240, 2, 5},           {320, 240, CaptionTop, 0},   {320, 240, CaptionTop, 51}};
    for (const auto& b : bad) {
        EXPECT_EQ(painter.Prepare("Text", b.width, b.height, b.place, b.size), E_INVALIDARG);
        EXPECT_EQ(painter.Bounds().Width(), 0);
        Frame frame = before;
        painter.Draw(frame.bytes.data(), 256);
        EXPECT_EQ(frame.bytes, before.bytes);
    }
}

// Frames too small for any caption and text that is not text keep the caption inside
// the frame; the sanitizer build checks that Draw writes nothing beyond it.
TEST(CaptionPainter, TinyFramesAndStrayBytesStayInsideTheFrame)
{
    std::string stray;
    for (int i = 0; i < 3000; ++i) stray += static_cast<char>((i * 37) & 0xFF);
    const std::string longWord(5000, 'W');
    for (const auto& [width, height] : {std::pair<LONG, LONG>{1, 1}, {20, 20}, {3, 900}, {900, 3}}) {
        for (const std::string& text : {stray, longWord, std::string("\xE6\x97\xA5 \xCC\x81\xE2\x80\x8F!")}) {
            CaptionPainter painter;
            ASSERT_EQ(painter.Prepare(text, width, height, CaptionTop, ShowOptions::kMaxCaptionSize), S_OK);
            const CaptionPainter::Box box = painter.Bounds();
            EXPECT_GE(box.left, 0);
            EXPECT_GE(box.top, 0);
            EXPECT_LE(box.right, width);
            EXPECT_LE(box.bottom, height);
            EXPECT_LE(painter.LineCount(), CaptionPainter::kMaxLines);
            Frame frame(width, height);
            painter.Draw(frame.bytes.data(), 256);
        }
    }
}
