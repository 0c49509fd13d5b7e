// Upsampling, colour conversion and output layouts, plain versions.
//
// Every MCU output routine places the MCU in column m, row n at pixel (m x W, n x H) of
// the output and writes only min(W, width - x) columns and min(H, height - y) rows, where
// width and height are the output's, cut to the image's (so output beyond the image is
// left untouched). Dedicated routines convert the common cases (YCbCr 4:4:4, 4:2:2 and
// 4:2:0 to RGB or BGR, fastPath 1 to 6) without per-pixel tests; one general row-wise
// routine handles every other sampling and colour pairing with the same formulas, so that
// results never depend on which routine ran.
#include "jpeg/JpegInternal.h"
#include "jpeg/Output.h"
#include "jpeg/Routines.h"

#include <algorithm>

namespace xtpjpeg {

namespace {

// ---- Colour conversion ---------------------------------------------------------

// Clamp to 0..255 by table: index v + 512 for v in -512..767.
struct ClampTable {
    std::uint8_t t[1280];
    ClampTable()
    {
        for (int i = 0; i < 1280; ++i) {
            const int v = i - 512;
            t[i] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
};
const ClampTable kClamp;
inline std::uint8_t clamp8(int v) { return kClamp.t[v + 512]; }

// Per chroma sample: dR = (359 Cr - 45813) >> 8; dG = (88 Cb + 183 Cr - 34806) >> 8;
// dB = (454 Cb - 57937) >> 8. Per pixel: R = Y + dR, G = Y - dG, B = Y + dB, clamped.
inline int chromaR(int cr) { return (359 * cr - 45813) >> 8; }
inline int chromaG(int cb, int cr) { return (88 * cb + 183 * cr - 34806) >> 8; }
inline int chromaB(int cb) { return (454 * cb - 57937) >> 8; }

// ---- Output plan ----------------------------------------------------------------------------

enum class Mode : std::uint8_t { Convert, Copy, Packed };

struct Plan {
    Mode mode = Mode::Copy;
    // Copy: for each of the first four channels, the component it takes (0..3), 4 for the
    // constant 255, -1 for none (left untouched).
    std::int8_t map[4] = {-1, -1, -1, -1};
    // Convert: byte offsets of R, G, B (-1: not written) and the fourth byte's source.
    std::int8_t offR = 0, offG = 1, offB = 2;
    std::int8_t fourth = -1; // -1 none, 4 constant 255, 3 component 3
};

// The plan is derived from the working record each time it is needed (cheap), so that the
// routines stay stateless.
Plan makePlan(const JPEG_PROPERTIES& p, const JpegDecoderState& s)
{
    Plan plan;
    const int nc = s.frame.componentCount;
    const int ch = static_cast<int>(std::min<std::uint32_t>(p.outChannels, 4));
    const JpegColor oc = p.outColor;
    if (p.outColor == ColorYcbcr && p.outSubsampling == Subsample2x1 && nc == 3 && ch >= 2) {
        plan.mode = Mode::Packed;
        return plan;
    }
    if (p.colorConversion && nc >= 3) {
        plan.mode = Mode::Convert;
        if (oc == ColorBgr) {
            plan.offR = 2;
            plan.offB = 0;
        }
        if (plan.offR >= ch) plan.offR = -1;
        if (plan.offG >= ch) plan.offG = -1;
        if (plan.offB >= ch) plan.offB = -1;
        if (ch >= 4 && oc == ColorRgba) plan.fourth = nc >= 4 ? 3 : 4;
        return plan;
    }
    plan.mode = Mode::Copy;
    for (int k = 0; k < std::min(nc, ch); ++k) plan.map[k] = static_cast<std::int8_t>(k);
    if (nc == 1 && (oc == ColorRgb || oc == ColorBgr || oc == ColorRgba) && ch >= 3) {
        plan.map[0] = plan.map[1] = plan.map[2] = 0;
        if (oc == ColorRgba && ch >= 4) plan.map[3] = 4;
    } else if (nc == 3 && oc == ColorBgr && ch >= 3) {
        plan.map[0] = 2;
        plan.map[2] = 0;
    } else if (nc == 3 && oc == ColorRgba && ch >= 4) {
        plan.map[3] = 4;
    }
    return plan;
}

// Pixel rectangle of an MCU after clipping; false when nothing is visible.
struct Rect {
    std::uint8_t* dst;
    std::int32_t cols, rows;
};

inline bool mcuRect(const JpegDecoderState& s, std::int32_t mx, std::int32_t my, Rect& r)
{
    const OutputTarget& o = s.out;
    const std::int64_t x0 = static_cast<std::int64_t>(mx) * s.outMcuWidth;
    const std::int64_t y0 = static_cast<std::int64_t>(my) * s.outMcuHeight;
    if (x0 >= o.width || y0 >= o.height || !o.firstRow) return false;
    r.cols = static_cast<std::int32_t>(std::min<std::int64_t>(s.outMcuWidth, o.width - x0));
    r.rows = static_cast<std::int32_t>(std::min<std::int64_t>(s.outMcuHeight, o.height - y0));
    r.dst = o.firstRow + y0 * o.lineBytes + x0 * o.channels;
    return true;
}

// ---- Dedicated whole-MCU conversions: YCbCr with luma HxV, chroma 1x1 -----------------------
//
// Blocks: H x V luma blocks (row-major), then Cb, then Cr. Three bytes per pixel, R at
// offset oR and B at 2 - oR.

// One row of up to 8 x H pixels: the chroma terms once per chroma sample, then clamped
// channels in straight loops (which the compiler may run in parallel lanes), then the
// pixels packed into the row.
template <int H, bool Bgr>
inline void yccRow(const std::int16_t* yLeft, const std::int16_t* yRight, const std::int16_t* cbRow,
                   const std::int16_t* crRow, std::uint8_t* d, int n)
{
    constexpr int kColumns = 8 * H;
    alignas(16) std::int16_t dr[8], dg[8], db[8];
    for (int i = 0; i < 8; ++i) {
        const std::int32_t cb = cbRow[i], cr = crRow[i];
        dr[i] = static_cast<std::int16_t>((359 * cr - 45813) >> 8);
        dg[i] = static_cast<std::int16_t>((88 * cb + 183 * cr - 34806) >> 8);
        db[i] = static_cast<std::int16_t>((454 * cb - 57937) >> 8);
    }
    // Chroma terms replicated to the pixels (the luma samples are copied beside them).
    alignas(16) std::int16_t yy[kColumns], er[kColumns], eg[kColumns], eb[kColumns];
    for (int i = 0; i < 8; ++i) yy[i] = yLeft[i];
    if (H == 2) {
        for (int i = 0; i < 8; ++i) yy[8 + i] = yRight[i];
        for (int i = 0; i < 8; ++i) {
            er[2 * i] = er[2 * i + 1] = dr[i];
            eg[2 * i] = eg[2 * i + 1] = dg[i];
            eb[2 * i] = eb[2 * i + 1] = db[i];
        }
    } else {
        for (int i = 0; i < 8; ++i) {
            er[i] = dr[i];
            eg[i] = dg[i];
            eb[i] = db[i];
        }
    }
    alignas(16) std::uint8_t r8[kColumns], g8[kColumns], b8[kColumns];
    for (int x = 0; x < kColumns; ++x) {
        std::int16_t r = static_cast<std::int16_t>(yy[x] + er[x]);
        std::int16_t g = static_cast<std::int16_t>(yy[x] - eg[x]);
        std::int16_t b = static_cast<std::int16_t>(yy[x] + eb[x]);
        r = std::min<std::int16_t>(std::max<std::int16_t>(r, 0), 255);
        g = std::min<std::int16_t>(std::max<std::int16_t>(g, 0), 255);
        b = std::min<std::int16_t>(std::max<std::int16_t>(b, 0), 255);
        r8[x] = static_cast<std::uint8_t>(Bgr ? b : r);
        g8[x] = static_cast<std::uint8_t>(g);
        b8[x] = static_cast<std::uint8_t>(Bgr ? r : b);
    }
    for (int x = 0; x < n; ++x) {
        d[3 * x] = r8[x];
        d[3 * x + 1] = g8[x];
        d[3 * x + 2] = b8[x];
    }
}

template <int H, int V, bool Bgr>
void convertYcc(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t cols,
                std::int32_t rows)
{
    const std::int16_t* cbBlock = b[H * V];
    const std::int16_t* crBlock = b[H * V + 1];
    for (std::int32_t y = 0; y < rows; ++y) {
        const std::int16_t* yLeft = b[(y >> 3) * H] + (y & 7) * 8;
        const std::int16_t* yRight = H == 2 ? b[(y >> 3) * H + 1] + (y & 7) * 8 : yLeft;
        yccRow<H, Bgr>(yLeft, yRight, cbBlock + (y / V) * 8, crBlock + (y / V) * 8, dst + y * lineBytes, cols);
    }
}

// The fastPath code of the dedicated conversion of luma HxV to RGB or BGR.
constexpr int yccFastPath(int h, int v, bool bgr) { return (h == 1 ? 1 : (v == 2 ? 3 : 5)) + (bgr ? 1 : 0); }

// A whole MCU goes to the class's inner routine, a clipped one to the plain conversion.
template <int H, int V, bool Bgr>
void mcuYcc(const McuOutputArgs& a)
{
    Rect r;
    if (!mcuRect(*a.state, a.mcuX, a.mcuY, r)) return;
    const std::ptrdiff_t lineBytes = a.state->out.lineBytes;
    if (r.cols == 8 * H && r.rows == 8 * V)
        a.state->routines->inner[yccFastPath(H, V, Bgr)](a.blocks, r.dst, lineBytes, r.cols, r.rows);
    else
        convertYcc<H, V, Bgr>(a.blocks, r.dst, lineBytes, r.cols, r.rows);
}

// Gray to one channel.
void mcuGrayCopy(const McuOutputArgs& a)
{
    Rect r;
    if (!mcuRect(*a.state, a.mcuX, a.mcuY, r)) return;
    const std::int16_t* blk = a.blocks[0];
    for (std::int32_t y = 0; y < r.rows; ++y) {
        std::uint8_t* d = r.dst + y * a.state->out.lineBytes;
        const std::int16_t* src = blk + y * 8;
        for (std::int32_t x = 0; x < r.cols; ++x) d[x] = static_cast<std::uint8_t>(src[x]);
    }
}

// Gray to three equal bytes a pixel (RGB or BGR, the picture source's gray case): a whole
// block through the class's inner routine, a clipped one here.
void grayTriples(const std::int16_t (*b)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes, std::int32_t cols,
                 std::int32_t rows)
{
    for (std::int32_t y = 0; y < rows; ++y) {
        std::uint8_t* d = dst + y * lineBytes;
        for (std::int32_t x = 0; x < cols; ++x, d += 3) d[0] = d[1] = d[2] = static_cast<std::uint8_t>(b[0][y * 8 + x]);
    }
}

void mcuGrayTriples(const McuOutputArgs& a)
{
    Rect r;
    if (!mcuRect(*a.state, a.mcuX, a.mcuY, r)) return;
    const std::ptrdiff_t lineBytes = a.state->out.lineBytes;
    if (r.cols == 8 && r.rows == 8)
        a.state->routines->grayTriples(a.blocks, r.dst, lineBytes, r.cols, r.rows);
    else
        grayTriples(a.blocks, r.dst, lineBytes, r.cols, r.rows);
}

// ---- The general routine ------------------------------------------------------------------

// Writes one row of n pixels from the components' sample rows (already upsampled).
void writeRow(const Plan& plan, int nc, const std::uint8_t* const comp[kMaxComponents], std::uint8_t* d, std::int32_t n,
              std::int32_t channels, std::int64_t xAbs)
{
    switch (plan.mode) {
    case Mode::Convert: {
        const std::uint8_t* yy = comp[0];
        const std::uint8_t* cb = comp[1];
        const std::uint8_t* cr = comp[2];
        for (std::int32_t x = 0; x < n; ++x, d += channels) {
            const int luma = yy[x];
            if (plan.offR >= 0) d[plan.offR] = clamp8(luma + chromaR(cr[x]));
            if (plan.offG >= 0) d[plan.offG] = clamp8(luma - chromaG(cb[x], cr[x]));
            if (plan.offB >= 0) d[plan.offB] = clamp8(luma + chromaB(cb[x]));
            if (plan.fourth == 4)
                d[3] = 255;
            else if (plan.fourth == 3 && nc >= 4)
                d[3] = comp[3][x];
        }
        break;
    }
    case Mode::Copy: {
        for (std::int32_t x = 0; x < n; ++x, d += channels) {
            for (int k = 0; k < 4; ++k) {
                const int m = plan.map[k];
                if (m < 0) continue;
                d[k] = m == 4 ? 255 : comp[m][x];
            }
        }
        break;
    }
    case Mode::Packed: {
        // Two bytes per pixel: luma, then Cb on even and Cr on odd columns.
        for (std::int32_t x = 0; x < n; ++x, d += channels) {
            d[0] = comp[0][x];
            d[1] = ((xAbs + x) & 1) ? comp[2][x] : comp[1][x];
        }
        break;
    }
    }
}

// Any sampling at any scale: a component's blocks carry n = 8 >> idctSize samples a side
// (8 apart in the block), and output pixel x of the MCU takes sample x * h * n / (MCU
// width in output pixels), which at full size is x * h / hmax.
void mcuGeneral(const McuOutputArgs& a)
{
    const JpegDecoderState& s = *a.state;
    Rect r;
    if (!mcuRect(s, a.mcuX, a.mcuY, r)) return;
    const Plan plan = makePlan(*a.props, s);
    const Frame& f = s.frame;
    const int nc = f.componentCount;
    int base[kMaxComponents];
    int acc = 0;
    for (int c = 0; c < nc; ++c) {
        base[c] = acc;
        acc += f.comp[c].h * f.comp[c].v;
    }
    std::uint8_t rows[kMaxComponents][32];
    const std::uint8_t* comp[kMaxComponents] = {rows[0], rows[1], rows[2], rows[3]};
    const std::int64_t xAbs = static_cast<std::int64_t>(a.mcuX) * s.outMcuWidth;
    for (std::int32_t y = 0; y < r.rows; ++y) {
        for (int c = 0; c < nc; ++c) {
            const FrameComponent& fc = f.comp[c];
            const int n = 8 >> s.idctSize[c];
            const int sy = y * fc.v * n / s.outMcuHeight;
            const int blockRow = base[c] + (sy / n) * fc.h;
            const int rowOff = (sy % n) * 8;
            for (std::int32_t x = 0; x < r.cols; ++x) {
                const int sx = x * fc.h * n / s.outMcuWidth;
                rows[c][x] = static_cast<std::uint8_t>(a.blocks[blockRow + sx / n][rowOff + sx % n]);
            }
        }
        writeRow(plan, nc, comp, r.dst + y * s.out.lineBytes, r.cols, s.out.channels, xAbs);
    }
}

// Reads whose every component of three has exactly one sample per output pixel (4:4:4
// at any scale, and 4:2:0 in scaled reads, where the chroma's larger transform makes up
// for its sampling): each pixel takes its own samples, found without division.
bool oneSamplePerPixel(const JpegDecoderState& s)
{
    const Frame& f = s.frame;
    if (f.componentCount != 3) return false;
    if (f.comp[1].h != 1 || f.comp[1].v != 1 || f.comp[2].h != 1 || f.comp[2].v != 1) return false;
    for (int c = 0; c < f.componentCount; ++c) {
        const int n = 8 >> s.idctSize[c];
        if (f.comp[c].h * n != s.outMcuWidth || f.comp[c].v * n != s.outMcuHeight) return false;
    }
    return true;
}

// What a pixel of those reads becomes: RGB or BGR converted, or the three samples as they
// are (a caller that converts them itself).
template <bool Bgr>
struct ConvertedPixel {
    static void write(std::uint8_t* d, int luma, int cb, int cr)
    {
        const std::uint8_t red = clamp8(luma + chromaR(cr));
        const std::uint8_t blue = clamp8(luma + chromaB(cb));
        d[0] = Bgr ? blue : red;
        d[1] = clamp8(luma - chromaG(cb, cr));
        d[2] = Bgr ? red : blue;
    }
};
struct CopiedPixel {
    static void write(std::uint8_t* d, int luma, int cb, int cr)
    {
        d[0] = static_cast<std::uint8_t>(luma);
        d[1] = static_cast<std::uint8_t>(cb);
        d[2] = static_cast<std::uint8_t>(cr);
    }
};

template <class Pixel>
void mcuOneSamplePerPixel(const McuOutputArgs& a)
{
    const JpegDecoderState& s = *a.state;
    Rect r;
    if (!mcuRect(s, a.mcuX, a.mcuY, r)) return;
    const Frame& f = s.frame;
    // Samples a side of a block: 8 >> idctSize, a power of two.
    const int lumaShift = 3 - s.idctSize[0], lumaMask = (1 << lumaShift) - 1;
    const int h = f.comp[0].h, blocks = f.comp[0].h * f.comp[0].v;
    const std::int16_t* cb = a.blocks[blocks];
    const std::int16_t* cr = a.blocks[blocks + 1];
    for (std::int32_t y = 0; y < r.rows; ++y) {
        std::uint8_t* d = r.dst + y * s.out.lineBytes;
        const std::int16_t(*lumaBlocks)[64] = a.blocks + (y >> lumaShift) * h;
        const int lumaRow = (y & lumaMask) * 8;
        for (std::int32_t x = 0; x < r.cols; ++x, d += s.out.channels) {
            const int i = y * 8 + x; // the chroma's one block holds the MCU's samples
            Pixel::write(d, lumaBlocks[x >> lumaShift][lumaRow + (x & lumaMask)], cb[i], cr[i]);
        }
    }
}

// Whether the plan copies three components to three channels in their order.
bool copiesInOrder(const Plan& plan, std::uint32_t channels)
{
    return channels == 3 && plan.mode == Mode::Copy && plan.map[0] == 0 && plan.map[1] == 1 && plan.map[2] == 2;
}

// Transform sizes of a scaled read: the operation's size, one larger for components
// sampled 1x1 when every component has H = V in {1, 2} (chroma then comes out at the
// reduced luma size without upsampling).
void chooseTransformSizes(JpegDecoderState& s)
{
    const Frame& f = s.frame;
    const int shift = s.scaleShift;
    bool square = true;
    for (int c = 0; c < f.componentCount; ++c) {
        const FrameComponent& fc = f.comp[c];
        square = square && fc.h == fc.v && (fc.h == 1 || fc.h == 2);
    }
    for (int c = 0; c < f.componentCount; ++c) {
        const FrameComponent& fc = f.comp[c];
        const bool larger = shift > 0 && square && f.hmax == 2 && fc.h == 1;
        s.idctSize[c] = larger ? shift - 1 : shift;
    }
    s.outMcuWidth = f.mcuWidth >> shift;
    s.outMcuHeight = f.mcuHeight >> shift;
}

} // namespace

// ---- Choice of the MCU output routine ---------------------------------------------

int chooseOutputRoutine(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    const Frame& f = s.frame;
    const int nc = f.componentCount;
    const JpegColor ic = p.imageColor;
    const JpegColor oc = p.outColor;
    const std::uint32_t ch = p.outChannels;

    // Flags.
    if (ic == ColorRgb || ic == ColorGray || ic == ColorRgba || ic == ColorOther)
        p.colorConversion = 0;
    else
        p.colorConversion = (oc == ColorGray || oc == ColorYcbcr) ? 0 : 1;
    bool anyFactor = false;
    for (int c = 0; c < nc; ++c)
        if (s.rawH[c] != 1 || s.rawV[c] != 1) anyFactor = true;
    p.upsampling = (anyFactor && oc != ColorYcbcr) ? 1 : 0;

    auto factors = [&](int c, int h, int v) { return f.comp[c].h == h && f.comp[c].v == v; };
    const bool luma2x2 = nc >= 3 && factors(0, 2, 2) && factors(1, 1, 1) && factors(2, 1, 1);
    const bool luma2x1 = nc >= 3 && factors(0, 2, 1) && factors(1, 1, 1) && factors(2, 1, 1);
    const bool all1x1 = [&] {
        for (int c = 0; c < nc; ++c)
            if (!factors(c, 1, 1)) return false;
        return true;
    }();

    if (nc == 3 && ic == ColorYcbcr && oc == ColorYcbcr && !luma2x1) return JpegInvalidProperties;

    // MCU counts.
    if (p.nonInterleaved) {
        p.mcusAcross = static_cast<std::uint32_t>((f.width + 7) / 8);
        p.mcusDown = static_cast<std::uint32_t>((f.height + 7) / 8);
    } else {
        p.mcusAcross = static_cast<std::uint32_t>(f.mcusAcross);
        p.mcusDown = static_cast<std::uint32_t>(f.mcusDown);
    }

    // Output rectangle: the caller's output cut to the (scaled) image.
    chooseTransformSizes(s);
    OutputTarget& o = s.out;
    if (p.outBuffer && !p.coefficientSink) {
        const std::int64_t absHeight = p.outHeight < 0 ? -static_cast<std::int64_t>(p.outHeight) : p.outHeight;
        const std::int64_t unit = std::int64_t{1} << s.scaleShift;
        o.width = static_cast<std::int32_t>(std::min<std::int64_t>(p.outWidth, (f.width + unit - 1) / unit));
        o.height = static_cast<std::int32_t>(std::min<std::int64_t>(absHeight, (f.height + unit - 1) / unit));
        o.channels = static_cast<std::int32_t>(p.outChannels);
        o.lineBytes = p.outLineBytes;
        const std::ptrdiff_t stride = o.lineBytes < 0 ? -o.lineBytes : o.lineBytes;
        o.firstRow = p.outHeight < 0 && absHeight > 0 ? p.outBuffer + (absHeight - 1) * stride : p.outBuffer;
        if (o.channels <= 0) o.width = 0;
    } else {
        o = OutputTarget{};
    }

    RoutineTable& rt = *s.routines;
    std::uint32_t fast = 0;
    McuOutputRoutine routine = mcuGeneral;
    const bool conv = p.colorConversion != 0;
    const bool ups = p.upsampling != 0;
    if (p.nonInterleaved) {
        // Per-component routine (writeComponentBlock); the frame routine is not called.
        fast = 0;
    } else if (ups && conv) {
        if (nc == 3 && ch == 3 && oc == ColorRgb) {
            if (luma2x2)
                fast = 3, routine = mcuYcc<2, 2, false>;
            else if (luma2x1)
                fast = 5, routine = mcuYcc<2, 1, false>;
        } else if (nc == 3 && ch == 3 && oc == ColorBgr) {
            if (luma2x2)
                fast = 4, routine = mcuYcc<2, 2, true>;
            else if (luma2x1)
                fast = 6, routine = mcuYcc<2, 1, true>;
        } else if (nc == 3 && ch == 4 && oc == ColorRgba) {
            if (luma2x2)
                fast = 8;
            else if (luma2x1)
                fast = 9;
        } else if (nc == 4 && ch == 4 && oc == ColorRgba) {
            if (luma2x1 && factors(3, 2, 1))
                fast = 12;
            else if (luma2x2 && factors(3, 2, 2))
                fast = 11;
        }
    } else if (ups) {
        if (nc == 3 && ch == 3 && oc != ColorBgr) {
            if (luma2x2)
                fast = 16;
            else if (luma2x1)
                fast = 17;
        }
    } else if (conv) {
        if (nc == 3 && ch == 3 && oc == ColorRgb)
            fast = 1, routine = all1x1 ? mcuYcc<1, 1, false> : mcuGeneral;
        else if (nc == 3 && ch == 3 && oc == ColorBgr)
            fast = 2, routine = all1x1 ? mcuYcc<1, 1, true> : mcuGeneral;
        else if (nc == 3 && ch == 4 && oc == ColorRgba)
            fast = 7;
        else if (nc == 4 && ch == 4 && oc == ColorRgba)
            fast = 10;
    } else {
        if (nc == 1 && ch == 1)
            routine = mcuGrayCopy;
        else if (nc == 1 && ch == 3 && (oc == ColorRgb || oc == ColorBgr))
            routine = mcuGrayTriples;
        else if (nc == 3 && ch == 2 && oc == ColorYcbcr && p.outSubsampling == Subsample2x1 && luma2x1)
            fast = 19;
        else if (nc == 3 && ch == 3 && oc != ColorBgr)
            fast = 15;
        else if (nc == 3 && ch == 4 && oc == ColorRgba)
            fast = 13;
        else if (nc == 4 && ch == 4)
            fast = 14;
    }
    p.fastPath = fast;
    // The dedicated routines work on whole 8x8 blocks; scaled reads have their own.
    if (s.scaleShift > 0) {
        const bool rgbConversion = conv && nc == 3 && ch == 3 && (oc == ColorRgb || oc == ColorBgr);
        if (rgbConversion && !p.nonInterleaved && oneSamplePerPixel(s))
            routine = oc == ColorBgr ? mcuOneSamplePerPixel<ConvertedPixel<true>>
                                     : mcuOneSamplePerPixel<ConvertedPixel<false>>;
        else
            routine = mcuGeneral;
    }
    if (!p.nonInterleaved && copiesInOrder(makePlan(p, s), ch) && oneSamplePerPixel(s))
        routine = mcuOneSamplePerPixel<CopiedPixel>;
    rt.mcuOutput = routine;
    return JpegSuccess;
}

// ---- Non-interleaved scans --------------------------------------------------------

void writeComponentBlock(const JPEG_PROPERTIES& p, const JpegDecoderState& s, int c, const std::int16_t* samples,
                         std::int32_t blockX, std::int32_t blockY)
{
    const OutputTarget& o = s.out;
    if (!o.firstRow || o.width <= 0 || o.height <= 0) return;
    const Frame& f = s.frame;
    const FrameComponent& fc = f.comp[c];
    const Plan plan = makePlan(p, s);
    // The channels this component goes to.
    int channels[4];
    int count = 0;
    bool packedOdd = false, packedEven = false;
    const int ch = static_cast<int>(std::min<std::uint32_t>(p.outChannels, 4));
    switch (plan.mode) {
    case Mode::Convert: // natural order now, converted at EOI
        if (c < ch) channels[count++] = c;
        break;
    case Mode::Copy:
        for (int k = 0; k < 4; ++k)
            if (plan.map[k] == c) channels[count++] = k;
        break;
    case Mode::Packed:
        if (c == 0) {
            channels[count++] = 0;
            packedEven = packedOdd = true;
        } else {
            channels[count++] = 1;
            packedEven = c == 1;
            packedOdd = c == 2;
        }
        break;
    }
    if (count == 0) return;
    if (plan.mode != Mode::Packed) packedEven = packedOdd = true;

    // Pixels whose sample falls in this block: sample = floor(pixel x h n / (hmax m)), with
    // n samples a side in this component's blocks and m in a block at the operation's scale.
    const std::int64_t n = 8 >> s.idctSize[c];
    const std::int64_t m = 8 >> s.scaleShift;
    const std::int64_t numX = fc.h * n, denX = f.hmax * m;
    const std::int64_t numY = fc.v * n, denY = f.vmax * m;
    const std::int64_t sx0 = static_cast<std::int64_t>(blockX) * n;
    const std::int64_t sy0 = static_cast<std::int64_t>(blockY) * n;
    const std::int64_t px0 = (sx0 * denX + numX - 1) / numX;
    const std::int64_t px1 = std::min<std::int64_t>(((sx0 + n) * denX + numX - 1) / numX, o.width);
    const std::int64_t py0 = (sy0 * denY + numY - 1) / numY;
    const std::int64_t py1 = std::min<std::int64_t>(((sy0 + n) * denY + numY - 1) / numY, o.height);
    for (std::int64_t y = py0; y < py1; ++y) {
        const std::int64_t sy = y * numY / denY - sy0;
        const std::int16_t* src = samples + sy * 8;
        std::uint8_t* row = o.firstRow + y * o.lineBytes;
        for (std::int64_t x = px0; x < px1; ++x) {
            if (!((x & 1) ? packedOdd : packedEven)) continue;
            const std::int64_t sx = x * numX / denX - sx0;
            const auto v = static_cast<std::uint8_t>(src[sx]);
            std::uint8_t* d = row + x * o.channels;
            for (int i = 0; i < count; ++i) d[channels[i]] = v;
        }
    }
    // The constant fourth byte of a 3-component image in RGBA (copy plans): written with
    // the first component so that every visible pixel gets it once.
    if (plan.mode == Mode::Copy && c == 0 && ch >= 4 && plan.map[3] == 4) {
        for (std::int64_t y = py0; y < py1; ++y) {
            std::uint8_t* row = o.firstRow + y * o.lineBytes;
            for (std::int64_t x = px0; x < px1; ++x) row[x * o.channels + 3] = 255;
        }
    }
}

void convertNonInterleavedAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    const OutputTarget& o = s.out;
    if (!o.firstRow || o.channels < 3) return;
    const Plan plan = makePlan(p, s);
    if (plan.mode != Mode::Convert) return;
    for (std::int32_t y = 0; y < o.height; ++y) {
        std::uint8_t* d = o.firstRow + static_cast<std::ptrdiff_t>(y) * o.lineBytes;
        for (std::int32_t x = 0; x < o.width; ++x, d += o.channels) {
            const int luma = d[0], cb = d[1], cr = d[2];
            const int r = clamp8(luma + chromaR(cr));
            const int g = clamp8(luma + ((34806 - 88 * cb - 183 * cr) >> 8));
            const int b = clamp8(luma + chromaB(cb));
            if (plan.offR >= 0) d[plan.offR] = static_cast<std::uint8_t>(r);
            if (plan.offG >= 0) d[plan.offG] = static_cast<std::uint8_t>(g);
            if (plan.offB >= 0) d[plan.offB] = static_cast<std::uint8_t>(b);
            if (plan.fourth == 4) d[3] = 255;
        }
    }
}

void fillInnerRoutines(RoutineTable& table)
{
    table.inner[yccFastPath(1, 1, false)] = convertYcc<1, 1, false>;
    table.inner[yccFastPath(1, 1, true)] = convertYcc<1, 1, true>;
    table.inner[yccFastPath(2, 2, false)] = convertYcc<2, 2, false>;
    table.inner[yccFastPath(2, 2, true)] = convertYcc<2, 2, true>;
    table.inner[yccFastPath(2, 1, false)] = convertYcc<2, 1, false>;
    table.inner[yccFastPath(2, 1, true)] = convertYcc<2, 1, true>;
    table.grayTriples = grayTriples;
}

// Transforms the MCU held in s.mcu (frame-component order) and hands it to the MCU output
// routine; in a region read through the region's scratch MCU.
void outputFrameMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my, bool dequantised)
{
    RoutineTable& rt = *s.routines;
    int b = 0;
    for (int c = 0; c < s.frame.componentCount; ++c) {
        const FrameComponent& fc = s.frame.comp[c];
        const std::int16_t* q = s.quantPrepared[fc.tq & 3];
        const IdctRoutine idct = rt.currentIdct[s.idctSize[c]];
        for (int i = 0; i < fc.h * fc.v; ++i, ++b) {
            if (!dequantised) rt.currentDequant(s.mcu[b], q);
            idct(s.mcu[b]);
        }
    }
    if (!s.region.active()) {
        McuOutputArgs args{&p, &s, s.mcu, mx, my};
        rt.mcuOutput(args);
        return;
    }
    // The decoder's output is the region's rectangle, at least as large as the region.
    std::int32_t ox = 0, oy = 0;
    if (s.region.holdsWhole(mx, my, ox, oy)) {
        McuOutputArgs args{&p, &s, s.mcu, ox, oy};
        rt.mcuOutput(args);
        return;
    }
    if (!s.region.beginMcu(s, mx, my)) return;
    McuOutputArgs args{&p, &s, s.mcu, 0, 0};
    rt.mcuOutput(args);
    s.region.endMcu(s);
}

// One transformed block of a non-interleaved scan to its channels of the output.
void outputComponentBlock(const JPEG_PROPERTIES& p, JpegDecoderState& s, int c, const std::int16_t* samples,
                          std::int32_t blockX, std::int32_t blockY)
{
    if (!s.region.active()) {
        writeComponentBlock(p, s, c, samples, blockX, blockY);
        return;
    }
    // Within the scratch MCU the block sits at its place inside its frame MCU (a shift by
    // whole MCUs moves its pixels by whole output MCUs).
    const FrameComponent& fc = s.frame.comp[c];
    const std::int32_t fx = blockX / fc.h, fy = blockY / fc.v;
    if (!s.region.beginMcu(s, fx, fy)) return;
    writeComponentBlock(p, s, c, samples, blockX - fx * fc.h, blockY - fy * fc.v);
    s.region.endMcu(s);
}

// Renders frame MCU (mx, my) from the coefficient buffer.
void renderFrameMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my)
{
    const Frame& f = s.frame;
    int b = 0;
    for (int c = 0; c < f.componentCount; ++c) {
        const FrameComponent& fc = f.comp[c];
        for (int by = 0; by < fc.v; ++by) {
            for (int bx = 0; bx < fc.h; ++bx, ++b) {
                const std::size_t blockX = static_cast<std::size_t>(mx) * fc.h + bx;
                const std::size_t blockY = static_cast<std::size_t>(my) * fc.v + by;
                const std::int16_t* coef = s.coefficients + s.compOffset[c] +
                                           (blockY * static_cast<std::size_t>(fc.blocksPerMcuRow) + blockX) * 64;
                std::memcpy(s.mcu[b], coef, 64 * sizeof(std::int16_t));
            }
        }
    }
    outputFrameMcu(p, s, mx, my, false);
}

} // namespace xtpjpeg
