// Region: clipping of the caller's region of interest and rendering of the MCUs that
// meet it through a scratch MCU.
#include "jpeg/Region.h"

#include "jpeg/JpegInternal.h"

#include <algorithm>
#include <new>

namespace xtpjpeg {

void Region::request(const std::int32_t roi[4])
{
    std::copy(roi, roi + 4, requested_);
    active_ = false; // until a scan settles it
}

int Region::settle(const JPEG_PROPERTIES& p, const JpegDecoderState& s)
{
    active_ = false;
    const Frame& f = s.frame;
    const std::int64_t unit = std::int64_t{1} << s.scaleShift;
    pictureWidth_ = static_cast<std::int32_t>((f.width + unit - 1) / unit);
    pictureHeight_ = static_cast<std::int32_t>((f.height + unit - 1) / unit);
    const std::int32_t l = requested_[0], t = requested_[1], r = requested_[2], b = requested_[3];
    const bool asked = (r != 0 && r < pictureWidth_) || (b != 0 && b < pictureHeight_) || l >= 1 || t >= 1;
    if (!asked) return JpegSuccess;
    left_ = std::max(l, 0);
    top_ = std::max(t, 0);
    right_ = r == 0 ? pictureWidth_ : std::min(r, pictureWidth_);
    bottom_ = b == 0 ? pictureHeight_ : std::min(b, pictureHeight_);
    if (right_ <= left_ || bottom_ <= top_) return JpegInvalidProperties;

    // The output holds the region's first outWidth columns and |outHeight| rows.
    const OutputTarget& o = s.out;
    const std::int64_t absHeight = p.outHeight < 0 ? -static_cast<std::int64_t>(p.outHeight) : p.outHeight;
    right_ = static_cast<std::int32_t>(std::min<std::int64_t>(right_, left_ + std::int64_t{p.outWidth}));
    bottom_ = static_cast<std::int32_t>(std::min<std::int64_t>(bottom_, top_ + absHeight));
    firstRow_ = o.firstRow;
    lineBytes_ = o.lineBytes;
    channels_ = o.channels;
    if (!firstRow_ || channels_ <= 0) right_ = left_;
    active_ = true;
    if (right_ <= left_ || bottom_ <= top_) {
        mcuX0 = mcuY0 = mcuX1 = mcuY1 = wholeX1_ = wholeY1_ = 0; // nothing of the region fits the output
        return JpegSuccess;
    }
    mcuX0 = left_ / s.outMcuWidth;
    mcuY0 = top_ / s.outMcuHeight;
    mcuX1 = (right_ + s.outMcuWidth - 1) / s.outMcuWidth;
    mcuY1 = (bottom_ + s.outMcuHeight - 1) / s.outMcuHeight;
    // The output's pixel (0, 0) is the region's corner: from a corner on an MCU boundary the
    // MCUs wholly inside fall on MCU boundaries of the output too.
    const bool aligned = left_ % s.outMcuWidth == 0 && top_ % s.outMcuHeight == 0;
    wholeX1_ = aligned ? right_ / s.outMcuWidth : mcuX0;
    wholeY1_ = aligned ? bottom_ / s.outMcuHeight : mcuY0;

    const std::size_t need = static_cast<std::size_t>(s.outMcuWidth) * s.outMcuHeight * channels_;
    if (need > scratchSize_) {
        scratch_.reset(new (std::nothrow) std::uint8_t[need]);
        scratchSize_ = scratch_ ? need : 0;
        if (!scratch_) {
            active_ = false;
            return JpegMemoryError;
        }
    }
    return JpegSuccess;
}

void Region::save(const JpegDecoderState& s)
{
    savedFirstRow_ = s.out.firstRow;
    savedLineBytes_ = s.out.lineBytes;
    savedWidth_ = s.out.width;
    savedHeight_ = s.out.height;
    savedChannels_ = s.out.channels;
}

void Region::restore(JpegDecoderState& s)
{
    s.out.firstRow = savedFirstRow_;
    s.out.lineBytes = savedLineBytes_;
    s.out.width = savedWidth_;
    s.out.height = savedHeight_;
    s.out.channels = savedChannels_;
}

bool Region::beginMcu(JpegDecoderState& s, std::int32_t mx, std::int32_t my)
{
    x0_ = mx * s.outMcuWidth;
    y0_ = my * s.outMcuHeight;
    const std::int32_t width = std::min(s.outMcuWidth, pictureWidth_ - x0_);
    const std::int32_t height = std::min(s.outMcuHeight, pictureHeight_ - y0_);
    cx0_ = std::max(x0_, left_);
    cx1_ = std::min(x0_ + width, right_);
    cy0_ = std::max(y0_, top_);
    cy1_ = std::min(y0_ + height, bottom_);
    if (cx0_ >= cx1_ || cy0_ >= cy1_) return false;
    scratchLine_ = static_cast<std::ptrdiff_t>(s.outMcuWidth) * channels_;
    const std::size_t bytes = static_cast<std::size_t>(cx1_ - cx0_) * channels_;
    for (std::int32_t y = cy0_; y < cy1_; ++y)
        std::memcpy(scratch_.get() + (y - y0_) * scratchLine_ + static_cast<std::ptrdiff_t>(cx0_ - x0_) * channels_,
                    firstRow_ + (y - top_) * lineBytes_ + static_cast<std::ptrdiff_t>(cx0_ - left_) * channels_, bytes);
    save(s);
    s.out.firstRow = scratch_.get();
    s.out.lineBytes = scratchLine_;
    s.out.width = width;
    s.out.height = height;
    s.out.channels = channels_;
    return true;
}

bool Region::holdsWhole(std::int32_t mx, std::int32_t my, std::int32_t& ox, std::int32_t& oy) const
{
    if (mx < mcuX0 || mx >= wholeX1_ || my < mcuY0 || my >= wholeY1_) return false;
    ox = mx - mcuX0;
    oy = my - mcuY0;
    return true;
}

void Region::endMcu(JpegDecoderState& s)
{
    const std::size_t bytes = static_cast<std::size_t>(cx1_ - cx0_) * channels_;
    for (std::int32_t y = cy0_; y < cy1_; ++y)
        std::memcpy(firstRow_ + (y - top_) * lineBytes_ + static_cast<std::ptrdiff_t>(cx0_ - left_) * channels_,
                    scratch_.get() + (y - y0_) * scratchLine_ + static_cast<std::ptrdiff_t>(cx0_ - x0_) * channels_,
                    bytes);
    restore(s);
}

void Region::targetOutput(JpegDecoderState& s)
{
    save(s);
    s.out.firstRow = firstRow_;
    s.out.lineBytes = lineBytes_;
    s.out.width = right_ - left_;
    s.out.height = bottom_ - top_;
    s.out.channels = channels_;
}

} // namespace xtpjpeg
