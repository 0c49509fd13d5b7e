#include "picsource/CaptionPainter.h"

#include "picsource/ShowOptions.h"
#include "platform/base/WideText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char32_t kEllipsis = 0x2026;
constexpr unsigned kShadowStrength = 224; // of 255 at full coverage
// fontconfig patterns: the face for the text, then the fallbacks for what it lacks,
// ordered as for Japanese text so that Han characters take Japanese glyph forms.
constexpr const char* kPrimaryPattern = "sans-serif";
constexpr const char* kFallbackPattern = "sans-serif:lang=ja";

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Code points of the text; control characters become spaces and bytes that are not
// UTF-8 U+FFFD.
std::u32string CodePoints(const std::string& utf8)
{
    const std::u16string wide = WideFromUtf8(utf8);
    std::u32string out;
    for (std::size_t i = 0; i < wide.size() && out.size() < CaptionPainter::kMaxCharacters; ++i) {
        char32_t unit = wide[i];
        if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1]))
            unit = 0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00u);
        else if (IsHighSurrogate(unit) || IsLowSurrogate(unit))
            unit = 0xFFFD;
        else if (unit < 0x20 || unit == 0x7F)
            unit = U' ';
        out += unit;
    }
    return out;
}

// x / 255, rounded; exact for 0..255 x 255.
inline unsigned Div255(unsigned x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

LONG PixelsCeil(hb_position_t units) { return (units + 63) >> 6; }
LONG PixelsRound(hb_position_t units) { return (units + 32) >> 6; }

// A box blur of radius r across each row of a w x h plane, in place.
void BlurRows(std::vector<BYTE>& plane, LONG w, LONG h, LONG r, std::vector<BYTE>& scratch)
{
    const unsigned span = 2 * static_cast<unsigned>(r) + 1;
    scratch.resize(static_cast<std::size_t>(w));
    for (LONG y = 0; y < h; ++y) {
        BYTE* row = plane.data() + static_cast<std::size_t>(y) * w;
        unsigned sum = 0;
        for (LONG x = -r; x < w + r; ++x) {
            if (x + r >= 0 && x + r < w) sum += row[x + r];
            if (x >= 0 && x < w) scratch[static_cast<std::size_t>(x)] = static_cast<BYTE>((sum + span / 2) / span);
            if (x - r >= 0 && x - r < w) sum -= row[x - r];
        }
        std::memcpy(row, scratch.data(), scratch.size());
    }
}

std::vector<BYTE> Transposed(const std::vector<BYTE>& plane, LONG w, LONG h)
{
    std::vector<BYTE> out(plane.size());
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x)
            out[static_cast<std::size_t>(x) * h + y] = plane[static_cast<std::size_t>(y) * w + x];
    return out;
}

// Space kept clear between the caption and the frame's edges, a percentage of a side.
LONG Margin(LONG side, LONG percent) { return std::max<LONG>(2, side * percent / 100); }
constexpr LONG kSideMarginPercent = 4;
constexpr LONG kEdgeMarginPercent = 5;
LONG ShadowOffset(LONG size) { return std::max<LONG>(1, size / 20); }
LONG BlurRadius(LONG size) { return std::max<LONG>(1, size / 16); }
// The shadow is this much bolder than the text, so that white text stays legible on a
// white picture.
LONG GrowRadius(LONG size) { return std::max<LONG>(1, size / 24); }
LONG ShadowReach(LONG size) { return ShadowOffset(size) + GrowRadius(size) + 2 * BlurRadius(size); }

// Each pixel of each row as the strongest within r of it, in place.
void GrowRows(std::vector<BYTE>& plane, LONG w, LONG h, LONG r, std::vector<BYTE>& scratch)
{
    scratch.resize(static_cast<std::size_t>(w));
    for (LONG y = 0; y < h; ++y) {
        BYTE* row = plane.data() + static_cast<std::size_t>(y) * w;
        for (LONG x = 0; x < w; ++x)
            scratch[static_cast<std::size_t>(x)] =
                *std::max_element(row + std::max<LONG>(0, x - r), row + std::min<LONG>(w, x + r + 1));
        std::memcpy(row, scratch.data(), scratch.size());
    }
}

// The shadow of a w x h coverage plane: moved right and down, made bolder, blurred
// twice by a box in each direction (close to a Gaussian) and weakened to
// kShadowStrength.
std::vector<BYTE> ShadowOf(const std::vector<BYTE>& text, LONG w, LONG h, LONG size)
{
    const LONG offset = ShadowOffset(size);
    const LONG radius = BlurRadius(size);
    const LONG grow = GrowRadius(size);
    std::vector<BYTE> shadow(text.size(), 0);
    for (LONG y = 0; y + offset < h && offset < w; ++y)
        std::memcpy(&shadow[static_cast<std::size_t>(y + offset) * w + offset], &text[static_cast<std::size_t>(y) * w],
                    static_cast<std::size_t>(w - offset));
    std::vector<BYTE> scratch;
    GrowRows(shadow, w, h, grow, scratch);
    BlurRows(shadow, w, h, radius, scratch);
    BlurRows(shadow, w, h, radius, scratch);
    shadow = Transposed(shadow, w, h);
    GrowRows(shadow, h, w, grow, scratch);
    BlurRows(shadow, h, w, radius, scratch);
    BlurRows(shadow, h, w, radius, scratch);
    shadow = Transposed(shadow, h, w);
    for (BYTE& v : shadow) v = static_cast<BYTE>(Div255(v * kShadowStrength));
    return shadow;
}

// Coverage of a rendered glyph whose top-left pixel is (x0, y0) in frame coordinates,
// taken into `plane` over `area` where it is stronger than what is there.
void BlendMax(const FT_Bitmap& bitmap, LONG x0, LONG y0, std::vector<BYTE>& plane, const CaptionPainter::Box& area)
{
    const LONG w = area.Width();
    for (LONG r = 0; r < static_cast<LONG>(bitmap.rows); ++r) {
        const LONG y = y0 + r;
        if (y < area.top || y >= area.bottom) continue;
        const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(r) * bitmap.pitch;
        BYTE* target = &plane[static_cast<std::size_t>(y - area.top) * w];
        for (LONG c = 0; c < static_cast<LONG>(bitmap.width); ++c) {
            const LONG x = x0 + c;
            if (x < area.left || x >= area.right) continue;
            BYTE& to = target[x - area.left];
            to = std::max<BYTE>(to, source[c]);
        }
    }
}

// One byte of a frame darkened by the shadow, then lightened by the text, each
// scaled by `scale` (0 to 256). Every product stays within 16 bits.
inline BYTE BlendByte(unsigned v, unsigned light, unsigned dark, unsigned scale)
{
    const unsigned down = (dark * scale) >> 8;
    const unsigned up = (light * scale) >> 8;
    v -= Div255(v * down);
    v += Div255((255 - v) * up);
    return static_cast<BYTE>(v);
}

#if defined(__SSE2__)
// Div255 on eight 16-bit lanes.
inline __m128i Div255Lanes(__m128i x)
{
    const __m128i rounded = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(rounded, _mm_srli_epi16(rounded, 8)), 8);
}

// BlendByte on eight bytes widened to 16-bit lanes.
inline __m128i BlendLanes(__m128i v, __m128i light, __m128i dark, __m128i scale)
{
    const __m128i down = _mm_srli_epi16(_mm_mullo_epi16(dark, scale), 8);
    const __m128i up = _mm_srli_epi16(_mm_mullo_epi16(light, scale), 8);
    v = _mm_sub_epi16(v, Div255Lanes(_mm_mullo_epi16(v, down)));
    const __m128i room = _mm_sub_epi16(_mm_set1_epi16(255), v);
    return _mm_add_epi16(v, Div255Lanes(_mm_mullo_epi16(room, up)));
}
#endif

// BlendByte over `count` bytes; SSE2 sixteen bytes at a time where the processor has
// it, with the same result to the bit.
void BlendRow(BYTE* pixel, const BYTE* light, const BYTE* dark, std::size_t count, unsigned scale)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i lanesScale = _mm_set1_epi16(static_cast<short>(scale));
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel + i));
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(light + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dark + i));
        const __m128i low =
            BlendLanes(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(l, zero), _mm_unpacklo_epi8(d, zero), lanesScale);
        const __m128i high =
            BlendLanes(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(l, zero), _mm_unpackhi_epi8(d, zero), lanesScale);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i) pixel[i] = BlendByte(pixel[i], light[i], dark[i], scale);
}

} // namespace

struct CaptionPainter::Fonts {
    struct Candidate {
        FcPattern* pattern = nullptr; // owned by a set
        FT_Face face = nullptr;
        hb_font_t* font = nullptr;
        LONG sizedTo = 0;
        bool failed = false;
    };

    FT_Library library = nullptr;
    FcFontSet* sets[2] = {};
    std::vector<Candidate> candidates; // the primary face first

    ~Fonts()
    {
        for (Candidate& c : candidates) {
            if (c.font) hb_font_destroy(c.font);
            if (c.face) FT_Done_Face(c.face);
        }
        for (FcFontSet* set : sets)
            if (set) FcFontSetDestroy(set);
        if (library) FT_Done_FreeType(library);
    }

    HRESULT Open()
    {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return CAPTION_E_FONT_ENGINE;
        }
        if (!FcInit()) return CAPTION_E_NO_FONT;
        sets[0] = SortedFonts(kPrimaryPattern);
        sets[1] = SortedFonts(kFallbackPattern);
        AddCandidates(sets[0], 1);
        AddCandidates(sets[1], -1);
        return candidates.empty() ? CAPTION_E_NO_FONT : S_OK;
    }

    static FcFontSet* SortedFonts(const char* name)
    {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name));
        if (!pattern) return nullptr;
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
        FcPatternDestroy(pattern);
        return set;
    }

    // Up to `count` (all when negative) scalable fonts of `set` not yet listed.
    void AddCandidates(FcFontSet* set, int count)
    {
        for (int i = 0; set && i < set->nfont && count != 0; ++i) {
            FcPattern* pattern = set->fonts[i];
            FcBool scalable = FcFalse;
            if (FcPatternGetBool(pattern, FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable) continue;
            if (std::any_of(candidates.begin(), candidates.end(),
                            [pattern](const Candidate& c) { return SameFont(c.pattern, pattern); }))
                continue;
            candidates.push_back({pattern});
            --count;
        }
    }

    static bool SameFont(FcPattern* a, FcPattern* b)
    {
        FcChar8* fileA = nullptr;
        FcChar8* fileB = nullptr;
        int indexA = 0;
        int indexB = 0;
        FcPatternGetString(a, FC_FILE, 0, &fileA);
        FcPatternGetString(b, FC_FILE, 0, &fileB);
        FcPatternGetInteger(a, FC_INDEX, 0, &indexA);
        FcPatternGetInteger(b, FC_INDEX, 0, &indexB);
        return fileA && fileB && indexA == indexB &&
               std::strcmp(reinterpret_cast<char*>(fileA), reinterpret_cast<char*>(fileB)) == 0;
    }

    bool Has(std::size_t i, char32_t codePoint) const
    {
        FcCharSet* charset = nullptr;
        return FcPatternGetCharSet(candidates[i].pattern, FC_CHARSET, 0, &charset) == FcResultMatch &&
               FcCharSetHasChar(charset, codePoint);
    }

    // Opens candidate i once and sizes it to an em of `size` pixels.
    bool Load(std::size_t i, LONG size)
    {
        Candidate& c = candidates[i];
        if (c.failed) return false;
        if (!c.face) {
            FcChar8* file = nullptr;
            int index = 0;
            FcPatternGetInteger(c.pattern, FC_INDEX, 0, &index);
            if (FcPatternGetString(c.pattern, FC_FILE, 0, &file) != FcResultMatch ||
                FT_New_Face(library, reinterpret_cast<char*>(file), index, &c.face) != 0) {
                c.face = nullptr;
                c.failed = true;
                return false;
            }
        }
        if (c.sizedTo == size) return true;
        if (FT_Set_Pixel_Sizes(c.face, 0, static_cast<FT_UInt>(size)) != 0) {
            c.failed = true;
            return false;
        }
        if (c.font)
            hb_ft_font_changed(c.font);
        else
            c.font = hb_ft_font_create_referenced(c.face);
        c.sizedTo = size;
        return true;
    }

    // The primary face when it has the character, else the face of the character
    // before (so that runs hold together), else the first fallback that has it; the
    // primary face, with its missing glyph, when none has it.
    std::size_t FontFor(char32_t codePoint, std::size_t previous, LONG size)
    {
        if (Has(0, codePoint)) return 0;
        if (previous != 0 && Has(previous, codePoint)) return previous;
        for (std::size_t i = 1; i < candidates.size(); ++i)
            if (Has(i, codePoint) && Load(i, size)) return i;
        return 0;
    }
};

namespace {

struct Glyph {
    std::size_t font;
    unsigned id;
    hb_position_t advance;
    hb_position_t xOffset;
    hb_position_t yOffset;
    unsigned cluster; // index of its first character
};
using GlyphLine = std::vector<Glyph>;

hb_position_t Width(const GlyphLine& line, std::size_t from, std::size_t to)
{
    hb_position_t width = 0;
    for (std::size_t i = from; i < to; ++i) width += line[i].advance;
    return width;
}

bool IsSpace(char32_t c) { return c == U' ' || c == 0x3000; }

// Shapes text[start, start + length) in `font`, HarfBuzz seeing the rest as context.
bool Shape(hb_buffer_t* buffer, hb_font_t* font, std::size_t fontIndex, const std::u32string& text, std::size_t start,
           std::size_t length, GlyphLine& out, int& missing)
{
    hb_buffer_clear_contents(buffer);
    hb_buffer_add_utf32(buffer, reinterpret_cast<const std::uint32_t*>(text.data()), static_cast<int>(text.size()),
                        static_cast<unsigned>(start), static_cast<int>(length));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font, buffer, nullptr, 0);
    if (!hb_buffer_allocation_successful(buffer)) return false;
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    for (unsigned i = 0; i < count; ++i) {
        out.push_back({fontIndex, infos[i].codepoint, positions[i].x_advance, positions[i].x_offset,
                       positions[i].y_offset, infos[i].cluster});
        missing += infos[i].codepoint == 0;
    }
    return true;
}

} // namespace

struct CaptionPainter::Layout {
    GlyphLine glyphs;
    GlyphLine ellipsis;
    GlyphLine lines[kMaxLines];
    int count = 0;
    hb_position_t ascent = 0;
    hb_position_t descent = 0;

    bool StartsCluster(std::size_t i) const { return i == 0 || glyphs[i].cluster != glyphs[i - 1].cluster; }
    bool IsSpaceAt(const std::u32string& text, std::size_t i) const { return IsSpace(text[glyphs[i].cluster]); }

    // The first line as many whole characters as fit, broken after the last space among
    // them if there is one; the second line the rest, cut with the ellipsis.
    void Break(const std::u32string& text, hb_position_t maxWidth)
    {
        const std::size_t n = glyphs.size();
        std::size_t fit = 0;
        hb_position_t width = 0;
        for (std::size_t i = 0; i < n && (width += glyphs[i].advance) <= maxWidth; ++i)
            if (i + 1 == n || StartsCluster(i + 1)) fit = i + 1;
        if (fit == n) {
            lines[0] = glyphs;
            count = 1;
            return;
        }
        std::size_t cut = fit;
        while (cut > 0 && !(StartsCluster(cut) && IsSpaceAt(text, cut))) --cut;
        if (cut == 0) cut = fit;
        // A line holds one character at least, fitting or not.
        if (cut == 0)
            while (++cut < n && !StartsCluster(cut)) {}
        std::size_t next = cut;
        while (next < n && IsSpaceAt(text, next)) ++next;
        while (cut > 0 && IsSpaceAt(text, cut - 1)) --cut;
        lines[0].assign(glyphs.begin(), glyphs.begin() + static_cast<std::ptrdiff_t>(cut));
        count = 1;
        if (next == n) return;
        count = 2;
        if (Width(glyphs, next, n) <= maxWidth) {
            lines[1].assign(glyphs.begin() + static_cast<std::ptrdiff_t>(next), glyphs.end());
            return;
        }
        const hb_position_t room = maxWidth - Width(ellipsis, 0, ellipsis.size());
        std::size_t end = next;
        width = 0;
        for (std::size_t i = next; i < n && (width += glyphs[i].advance) <= room; ++i)
            if (i + 1 == n || StartsCluster(i + 1)) end = i + 1;
        while (end > next && IsSpaceAt(text, end - 1)) --end;
        lines[1].assign(glyphs.begin() + static_cast<std::ptrdiff_t>(next),
                        glyphs.begin() + static_cast<std::ptrdiff_t>(end));
        lines[1].insert(lines[1].end(), ellipsis.begin(), ellipsis.end());
    }
};

CaptionPainter::CaptionPainter() = default;
CaptionPainter::~CaptionPainter() = default;

void CaptionPainter::Clear()
{
    box = {};
    textAlpha.clear();
    shadowAlpha.clear();
    lightBytes.clear();
    darkBytes.clear();
    lines = 0;
    missing = 0;
}

HRESULT CaptionPainter::Prepare(const std::string& textUtf8, LONG width, LONG height, LONG place, LONG sizePercent)
{
    Clear();
    if (width < 1 || height < 1 || width > kMaxVideoSide || height > kMaxVideoSide ||
        (place != CaptionBottom && place != CaptionTop) || sizePercent < ShowOptions::kMinCaptionSize ||
        sizePercent > ShowOptions::kMaxCaptionSize)
        return E_INVALIDARG;
    frameWidth = width;
    frameHeight = height;
    const std::u32string text = CodePoints(textUtf8);
    if (text.find_first_not_of(U' ') == std::u32string::npos) return S_OK;
    if (!fonts) {
        auto opened = std::make_unique<Fonts>();
        if (const HRESULT hr = opened->Open(); FAILED(hr)) return hr;
        fonts = std::move(opened);
    }
    constexpr LONG kMinSizePixels = 4;
    const LONG size = std::max(kMinSizePixels, height * sizePercent / 100);
    Layout layout;
    if (const HRESULT hr = LayOut(text, size, layout); FAILED(hr)) {
        Clear();
        return hr;
    }
    Rasterise(layout, place, size);
    return S_OK;
}

HRESULT CaptionPainter::LayOut(const std::u32string& text, LONG size, Layout& layout)
{
    if (!fonts->Load(0, size)) return CAPTION_E_NO_FONT;
    std::vector<std::size_t> fontOf(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) fontOf[i] = fonts->FontFor(text[i], i ? fontOf[i - 1] : 0, size);

    hb_buffer_t* buffer = hb_buffer_create();
    bool shaped = hb_buffer_allocation_successful(buffer);
    for (std::size_t start = 0; shaped && start < text.size();) {
        std::size_t end = start + 1;
        while (end < text.size() && fontOf[end] == fontOf[start]) ++end;
        shaped = Shape(buffer, fonts->candidates[fontOf[start]].font, fontOf[start], text, start, end - start,
                       layout.glyphs, missing);
        start = end;
    }
    const std::u32string ellipsis(1, kEllipsis);
    const std::size_t ellipsisFont = fonts->FontFor(kEllipsis, 0, size);
    int ellipsisMissing = 0;
    shaped = shaped && Shape(buffer, fonts->candidates[ellipsisFont].font, ellipsisFont, ellipsis, 0, 1,
                             layout.ellipsis, ellipsisMissing);
    hb_buffer_destroy(buffer);
    if (!shaped) return CAPTION_E_FONT_ENGINE;

    for (const Glyph& glyph : layout.glyphs) {
        const FT_Size_Metrics& metrics = fonts->candidates[glyph.font].face->size->metrics;
        layout.ascent = std::max<hb_position_t>(layout.ascent, static_cast<hb_position_t>(metrics.ascender));
        layout.descent = std::min<hb_position_t>(layout.descent, static_cast<hb_position_t>(metrics.descender));
    }
    layout.Break(text, static_cast<hb_position_t>(frameWidth - 2 * Margin(frameWidth, kSideMarginPercent)) * 64);
    lines = layout.count;
    return S_OK;
}

void CaptionPainter::Rasterise(const Layout& layout, LONG place, LONG size)
{
    const LONG ascent = PixelsCeil(layout.ascent);
    const LONG lineHeight = ascent + PixelsCeil(-layout.descent);
    const LONG blockHeight = lineHeight * layout.count;
    const LONG edge = Margin(frameHeight, kEdgeMarginPercent);
    const LONG top = place == CaptionTop ? edge : frameHeight - edge - blockHeight;
    const LONG pad = ShadowReach(size) + 2;
    LONG lefts[kMaxLines] = {};
    LONG left = frameWidth;
    LONG right = 0;
    for (int k = 0; k < layout.count; ++k) {
        const LONG width = PixelsCeil(Width(layout.lines[k], 0, layout.lines[k].size()));
        lefts[k] = (frameWidth - width) / 2;
        left = std::min(left, lefts[k]);
        right = std::max(right, lefts[k] + width);
    }
    const Box area{std::max<LONG>(0, left - pad), std::max<LONG>(0, top - pad), std::min(frameWidth, right + pad),
                   std::min(frameHeight, top + blockHeight + pad)};
    if (area.Width() <= 0 || area.Height() <= 0) return;
    std::vector<BYTE> text(static_cast<std::size_t>(area.Width()) * area.Height(), 0);
    for (int k = 0; k < layout.count; ++k) {
        const LONG baseline = top + ascent + k * lineHeight;
        hb_position_t pen = lefts[k] * 64;
        for (const Glyph& glyph : layout.lines[k]) {
            const FT_Face face = fonts->candidates[glyph.font].face;
            if (FT_Load_Glyph(face, glyph.id, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP) == 0 &&
                face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                BlendMax(face->glyph->bitmap, PixelsRound(pen + glyph.xOffset) + face->glyph->bitmap_left,
                         baseline - PixelsRound(glyph.yOffset) - face->glyph->bitmap_top, text, area);
            pen += glyph.advance;
        }
    }
    TrimToInk(text, ShadowOf(text, area.Width(), area.Height(), size), area);
}

void CaptionPainter::TrimToInk(const std::vector<BYTE>& text, const std::vector<BYTE>& shadow, const Box& area)
{
    const LONG w = area.Width();
    Box ink{area.right, area.bottom, area.left, area.top};
    for (LONG y = 0; y < area.Height(); ++y)
        for (LONG x = 0; x < w; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * w + x;
            if (!text[at] && !shadow[at]) continue;
            ink.left = std::min(ink.left, area.left + x);
            ink.right = std::max(ink.right, area.left + x + 1);
            ink.top = std::min(ink.top, area.top + y);
            ink.bottom = std::max(ink.bottom, area.top + y + 1);
        }
    if (ink.Width() <= 0 || ink.Height() <= 0) return;
    box = ink;
    const std::size_t size = static_cast<std::size_t>(box.Width()) * box.Height();
    textAlpha.resize(size);
    shadowAlpha.resize(size);
    lightBytes.resize(3 * size);
    darkBytes.resize(3 * size);
    for (LONG y = 0; y < box.Height(); ++y) {
        const std::size_t from = static_cast<std::size_t>(y + box.top - area.top) * w + (box.left - area.left);
        const std::size_t to = static_cast<std::size_t>(y) * box.Width();
        for (LONG x = 0; x < box.Width(); ++x) {
            textAlpha[to + x] = text[from + x];
            shadowAlpha[to + x] = shadow[from + x];
            std::fill_n(&lightBytes[3 * (to + x)], 3, text[from + x]);
            std::fill_n(&darkBytes[3 * (to + x)], 3, shadow[from + x]);
        }
    }
}

void CaptionPainter::Draw(BYTE* frame, unsigned opacity) const
{
    constexpr unsigned kFull = 256;
    const unsigned scale = std::min(opacity, kFull);
    if (!frame || scale == 0 || box.Width() <= 0) return;
    const std::size_t stride = (static_cast<std::size_t>(frameWidth) * 3 + 3) & ~std::size_t{3};
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(box.Width());
    for (LONG y = 0; y < box.Height(); ++y) {
        // Frames are stored bottom row first.
        BYTE* pixel = frame + static_cast<std::size_t>(frameHeight - 1 - (box.top + y)) * stride + box.left * 3;
        const std::size_t at = static_cast<std::size_t>(y) * rowBytes;
        BlendRow(pixel, &lightBytes[at], &darkBytes[at], rowBytes, scale);
    }
}
