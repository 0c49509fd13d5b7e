// How the picture source turns a picture into a frame, beyond the stretch by nearest
// neighbour that it does by default, and in which order it takes the pictures. Shared
// with the program through IPictureSourceConfig; the zero values keep the frames and
// their order exactly as they were without these options.
#pragma once

#include "platform/com/Com.h"

enum PictureOrientation : LONG {
    OrientationIgnore = 0, // the stored rows as they are
    OrientationExif = 1,   // turned upright by the Exif orientation tag (0x0112), when there is one
};

enum PictureFit : LONG {
    FitStretch = 0,   // both directions independently to the whole frame
    FitLetterbox = 1, // the whole picture, aspect kept, centred, black borders
    FitCrop = 2,      // the whole frame, aspect kept, centred, the overflow cut
};

enum PictureScaling : LONG {
    ScalingNearest = 0, // nearest neighbour from the full-size decode
    ScalingSmooth = 1,  // area average shrinking, bilinear enlarging, from the smallest decoder reduction that suffices
};

enum PictureOrder : LONG {
    OrderListing = 0, // as the folder lists them (names compared case-insensitively, code unit by code unit)
    OrderName = 1,    // by name, digit runs as numbers: "2.jpg" before "10.jpg"
    OrderDate = 2,    // by the Exif date taken, else the file's modification time; then by name
    OrderTime = 3,    // by the file's modification time; then by name
};

struct PictureOptions {
    LONG orientation = OrientationIgnore;
    LONG fit = FitStretch;
    LONG scaling = ScalingNearest;
    LONG order = OrderListing;

    bool IsValid() const
    {
        return (orientation == OrientationIgnore || orientation == OrientationExif) &&
               (fit == FitStretch || fit == FitLetterbox || fit == FitCrop) &&
               (scaling == ScalingNearest || scaling == ScalingSmooth) && IsOrder(order);
    }
    static bool IsOrder(LONG value) { return value >= OrderListing && value <= OrderTime; }
    bool operator==(const PictureOptions&) const = default;
};
