#include "picsource/PicturePlacement.h"

#include <algorithm>

namespace {

// a * b / c rounded to the nearest integer, at least 1; all positive and small enough
// (sides below 2^17) that the products fit in 64 bits.
std::int64_t ScaledSide(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return std::max<std::int64_t>(1, (2 * a * b + c) / (2 * c));
}

} // namespace

PicturePlacement::Rect PicturePlacement::Place(std::uint32_t srcWidth, std::uint32_t srcHeight, LONG frameWidth,
                                               LONG frameHeight, LONG fit)
{
    Rect rect{0, 0, frameWidth, frameHeight};
    if (fit == FitStretch) return rect;
    const std::int64_t w = srcWidth;
    const std::int64_t h = srcHeight;
    // Whether the picture is wider than the frame, compared without division.
    const bool wider = w * frameHeight > h * frameWidth;
    // Letterbox fits the longer relative side, crop the shorter.
    if (wider == (fit == FitLetterbox)) {
        rect.height = ScaledSide(h, frameWidth, w);
    } else {
        rect.width = ScaledSide(w, frameHeight, h);
    }
    rect.left = (frameWidth - rect.width) / 2;
    rect.bottom = (frameHeight - rect.height) / 2;
    return rect;
}

int PicturePlacement::Reduction(std::uint32_t srcWidth, std::uint32_t srcHeight, const Rect& rect, int times)
{
    for (int n = 8; n > 1; n /= 2) {
        const std::int64_t w = (std::int64_t{srcWidth} + n - 1) / n;
        const std::int64_t h = (std::int64_t{srcHeight} + n - 1) / n;
        if (w >= std::int64_t{times} * rect.width && h >= std::int64_t{times} * rect.height) return n;
    }
    return 1;
}
