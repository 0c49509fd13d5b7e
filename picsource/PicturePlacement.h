// Where a picture lands in a frame: the rectangle its whole (upright) image covers,
// and how far the decoder may reduce it on the way.
#pragma once

#include "picsource/PictureOptions.h"

#include <cstdint>

class PicturePlacement {
public:
    // In frame pixels, counted from the bottom-left corner. A cropped picture's
    // rectangle reaches past the frame on two sides; a letterboxed one lies inside it.
    struct Rect {
        std::int64_t left = 0;
        std::int64_t bottom = 0;
        std::int64_t width = 0;
        std::int64_t height = 0;
        bool operator==(const Rect&) const = default;
    };

    // The rectangle of a srcWidth x srcHeight picture (both 1 or more) in a
    // frameWidth x frameHeight frame. Centred; an odd spare pixel goes to the right
    // and top border.
    static Rect Place(std::uint32_t srcWidth, std::uint32_t srcHeight, LONG frameWidth, LONG frameHeight, LONG fit);

    // 1, 2, 4 or 8: the largest decoder reduction whose picture, ceil(side / n) each
    // way, still covers `rect` `times` over in both directions (1 when none does).
    static int Reduction(std::uint32_t srcWidth, std::uint32_t srcHeight, const Rect& rect, int times = 1);

    // Exif orientations 5 to 8 turn the picture a quarter, so its sides swap.
    static bool SwapsSides(int exifOrientation) { return exifOrientation >= 5 && exifOrientation <= 8; }
};
