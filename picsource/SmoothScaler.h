// Resamples a bottom-up BGR image into its rectangle of a frame, one direction after
// the other: each output pixel averages the source area it covers when the picture
// shrinks that way, and interpolates between the two nearest source pixels
// (bilinear, centres aligned) when it grows. Values are used as stored (no gamma).
#pragma once

#include "picsource/PicturePlacement.h"

#include <cstdint>
#include <vector>

class SmoothScaler {
public:
    struct Image {
        const BYTE* pixels = nullptr; // bottom row first, 3 bytes a pixel
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::uint64_t stride = 0;
    };

    // Part of a picture decoded a band of rows at a time: an Image whose pixels start at
    // row `first` of the picture (bottom-up numbering; its width, height and stride are the
    // picture's), of which the output rows whose source rows begin in [first, ownedEnd) are
    // drawn. The rows after ownedEnd that those output rows reach must be held too.
    struct Band {
        std::uint32_t first = 0;
        std::uint32_t ownedEnd = 0;
        static Band Whole(const Image& image) { return {0, image.height}; }
    };

    // Writes the pixels of `rect` that lie inside the frame; the rest is left as it is.
    // False (frame untouched) when memory for the weights is short.
    static bool Scale(const Image& source, const PicturePlacement::Rect& rect, BYTE* frame, LONG width, LONG height)
    {
        return Scale(source, rect, frame, width, height, Band::Whole(source));
    }
    static bool Scale(const Image& source, const PicturePlacement::Rect& rect, BYTE* frame, LONG width, LONG height,
                      const Band& band);
    // The most source pixels one output pixel takes along a direction of `sourceLength`
    // pixels placed over `placedLength`.
    static std::uint32_t MostTaps(std::uint32_t sourceLength, std::int64_t placedLength);

private:
    // The source pixels behind one output pixel along one direction.
    struct Taps {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        std::uint32_t weights = 0; // index of the first weight
    };
    struct Axis {
        std::int64_t firstOutput = 0;
        std::vector<Taps> taps;
        std::vector<float> weights;
    };

    static bool BuildAxis(std::uint32_t sourceLength, std::int64_t placedStart, std::int64_t placedLength,
                          LONG frameLength, Axis& axis);
    static void AddAreaTaps(std::uint32_t sourceLength, double start, double end, Axis& axis);
    static void AddBilinearTaps(std::uint32_t sourceLength, double centre, Axis& axis);
};
