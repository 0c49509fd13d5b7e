#include "picsource/ShowPicture.h"

#include "picsource/BlurredBackground.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

bool Covers(const PicturePlacement::Rect& rect, LONG width, LONG height)
{
    return rect.left <= 0 && rect.bottom <= 0 && rect.left + rect.width >= width && rect.bottom + rect.height >= height;
}

} // namespace

HRESULT ShowPicture::Prepare(FrameBuilder& builder, const std::string& path, LONG pictureIndex, LONG width, LONG height,
                             const PictureOptions& options, const ShowOptions& show, const ShowKernels& kernels)
{
    index = -1;
    image = {};
    pixels.clear();
    HRESULT hr = builder.LoadFile(path);
    if (FAILED(hr)) return hr;
    const bool moving = show.motion == MotionKenBurns;
    if (moving) {
        motion = MotionPath::For(show.motionSeed, pictureIndex, show.motionStrength);
        // Decoded for a frame as large as the largest zoom makes it.
        PictureOptions decode = options;
        decode.scaling = ScalingSmooth;
        const double zoom = motion.LargestZoom();
        hr = builder.DecodeImage(decode, static_cast<LONG>(std::ceil(width * zoom)),
                                 static_cast<LONG>(std::ceil(height * zoom)), 1);
    } else {
        hr = builder.DecodeImage(options, width, height);
    }
    if (hr != S_OK) return hr;
    const SmoothScaler::Image& decoded = builder.DecodedImage();
    placed = PicturePlacement::Place(decoded.width, decoded.height, width, height, options.fit);
    try {
        frame.assign(FrameBuilder::FrameStride(width) * static_cast<std::size_t>(height), 0);
        if (moving) pixels.assign(decoded.pixels, decoded.pixels + decoded.stride * decoded.height);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (show.background == BackgroundBlur && !Covers(placed, width, height) &&
        !BlurredBackground::Paint(decoded, width, height, kernels, frame.data()))
        return E_OUTOFMEMORY;
    if (moving) {
        image = {pixels.data(), decoded.width, decoded.height, decoded.stride};
    } else {
        hr = FrameBuilder::FitToFrame(decoded, frame.data(), width, height, options);
        if (FAILED(hr)) return hr;
    }
    index = pictureIndex;
    return S_OK;
}

HRESULT ShowPicture::ReadFrame(FrameBuilder& builder, const std::string& path, BYTE* frame, LONG width, LONG height,
                               const PictureOptions& options, const ShowOptions& show)
{
    if (show.background == BackgroundBlack) return builder.ReadPicture(path, frame, width, height, options);
    ShowOptions still = show;
    still.motion = MotionNone;
    ShowPicture picture;
    const HRESULT hr = picture.Prepare(builder, path, 0, width, height, options, still);
    if (hr == S_OK) std::memcpy(frame, picture.frame.data(), picture.frame.size());
    return hr;
}
