// How the picture source turns a picture into a frame, beyond the stretch by nearest
// neighbour that it does by default. Shared with the program through
// IPictureSourceConfig; the zero values keep the frames exactly as they were without
// these options.
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

struct PictureOptions {
    LONG orientation = OrientationIgnore;
    LONG fit = FitStretch;
    LONG scaling = ScalingNearest;

    bool IsValid() const
    {
        return (orientation == OrientationIgnore || orientation == OrientationExif) &&
               (fit == FitStretch || fit == FitLetterbox || fit == FitCrop) &&
               (scaling == ScalingNearest || scaling == ScalingSmooth);
    }
    bool operator==(const PictureOptions&) const = default;
};
