// One picture's caption, laid out once and blended into each of its frames: white
// text with a soft dark shadow, centred near the bottom (or top) of the frame.
//
// The text is shaped with HarfBuzz and rasterised with FreeType. Its font is the
// system's sans-serif face (fontconfig); a character that face lacks is taken from the
// first font of fontconfig's list for Japanese sans-serif text that has it, so that
// Japanese renders with real glyphs. The text's size is the font's em height, a
// percentage of the frame's height. Text wider than the frame (less its margins)
// breaks into a second line, at the last space that fits or else between any two
// characters; what still does not fit is cut with "…". Lines are laid left to right
// in the order of the text (no bidirectional reordering).
//
// A painter holds its own FreeType library and opened fonts: use one from one thread
// at a time, and keep it across pictures so that the fonts are opened once.
#pragma once

#include "platform/com/Com.h"
#include "platform/mediagraph/MediaGraph.h"

#include <memory>
#include <string>
#include <vector>

constexpr HRESULT CAPTION_E_NO_FONT = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr HRESULT CAPTION_E_FONT_ENGINE = E_FAIL; // FreeType or HarfBuzz refused

class CaptionPainter {
public:
    static constexpr int kMaxLines = 2;
    // Characters beyond these are not laid out: they could never fit two lines.
    static constexpr std::size_t kMaxCharacters = 1000;

    // The caption's rectangle in the frame, counted from its top-left pixel; right and
    // bottom exclusive.
    struct Box {
        LONG left = 0;
        LONG top = 0;
        LONG right = 0;
        LONG bottom = 0;
        LONG Width() const { return right - left; }
        LONG Height() const { return bottom - top; }
    };

    CaptionPainter();
    ~CaptionPainter();
    CaptionPainter(const CaptionPainter&) = delete;
    CaptionPainter& operator=(const CaptionPainter&) = delete;

    // Lays out `textUtf8` for frames of width x height; `place` is a ShowCaptionPlace,
    // `sizePercent` within the ShowOptions caption sizes. E_INVALIDARG for values out of
    // range (sides of 1 to kMaxVideoSide), CAPTION_E_NO_FONT when no font can be loaded, CAPTION_E_FONT_ENGINE when
    // FreeType or HarfBuzz fails; after a failure Draw draws nothing. Empty text
    // succeeds and draws nothing.
    HRESULT Prepare(const std::string& textUtf8, LONG width, LONG height, LONG place, LONG sizePercent);
    // Blends the caption into `frame`, a frame of the prepared size: bottom row first,
    // B G R, rows padded to 4 bytes. `opacity` 0 (nothing) to 256 (full) scales it.
    // Touches the caption's box only.
    void Draw(BYTE* frame, unsigned opacity) const;

    // Empty when nothing is drawn.
    const Box& Bounds() const { return box; }
    // Coverage of the text (not its shadow), Bounds' width a row, top row first.
    const std::vector<BYTE>& TextMask() const { return textAlpha; }
    // Strength of the shadow, laid out as TextMask.
    const std::vector<BYTE>& ShadowMask() const { return shadowAlpha; }
    int LineCount() const { return lines; }
    // Characters no font could draw, shown as the font's missing-glyph box.
    int MissingGlyphs() const { return missing; }

private:
    struct Fonts;
    struct Layout;

    void Clear();
    HRESULT LayOut(const std::u32string& text, LONG sizePixels, Layout& layout);
    void Rasterise(const Layout& layout, LONG place, LONG sizePixels);
    void TrimToInk(const std::vector<BYTE>& text, const std::vector<BYTE>& shadow, const Box& area);

    std::unique_ptr<Fonts> fonts;
    LONG frameWidth = 0;
    LONG frameHeight = 0;
    Box box;
    std::vector<BYTE> textAlpha;
    std::vector<BYTE> shadowAlpha;
    // Text and shadow coverage once for each byte of the box's pixels (B, G, R), so
    // that Draw runs over plain byte rows.
    std::vector<BYTE> lightBytes;
    std::vector<BYTE> darkBytes;
    int lines = 0;
    int missing = 0;
};
