// One picture of a slide show made ready for its frames: decoded once, with its
// background (black, or blurred from the picture itself) and, without motion, the
// frame it shows at rest. With motion the decoded picture is kept, at the smallest
// decoder reduction that still gives a source pixel per frame pixel at the largest
// zoom, for the frames to sample from.
#pragma once

#include "picsource/FrameBuilder.h"
#include "picsource/MotionPath.h"
#include "picsource/ShowKernels.h"
#include "picsource/ShowOptions.h"

#include <string>
#include <vector>

class ShowPicture {
public:
    ShowPicture() = default;
    // Moves keep `image` pointing into `pixels`; a copy would not.
    ShowPicture(ShowPicture&&) = default;
    ShowPicture& operator=(ShowPicture&&) = default;
    ShowPicture(const ShowPicture&) = delete;
    ShowPicture& operator=(const ShowPicture&) = delete;

    // Index in the picture list; -1 for none.
    LONG index = -1;
    // The frame at rest (without motion), or the background behind the moving picture.
    std::vector<BYTE> frame;
    // With motion: the decoded picture (bottom-up B G R, rows padded to 4 bytes), where it
    // lies in the frame at zoom 1, and its pan and zoom.
    std::vector<BYTE> pixels;
    SmoothScaler::Image image;
    PicturePlacement::Rect placed;
    MotionPath motion;

    bool Moves() const { return image.pixels != nullptr; }

    // Reads the picture at `path` as picture `index` of a show of width x height frames.
    // Fails as FrameBuilder::ReadPicture does.
    HRESULT Prepare(FrameBuilder& builder, const std::string& path, LONG pictureIndex, LONG width, LONG height,
                    const PictureOptions& options, const ShowOptions& show,
                    const ShowKernels& kernels = ShowKernels::Best());

    // The picture as a still frame of a show with these options, into a zeroed `frame`:
    // the frame of FrameBuilder::ReadPicture over a black background, else the same over
    // the blurred one.
    static HRESULT ReadFrame(FrameBuilder& builder, const std::string& path, BYTE* frame, LONG width, LONG height,
                             const PictureOptions& options, const ShowOptions& show);
};
