// Region: the region of interest of one image read, as the decoder works with it.
//
// The caller's roi (left, top, right, bottom) is taken in pixels of the operation's scale
// (a half read's region is a rectangle of the half-size picture). It is clipped to the
// picture (negative left and top become 0; right and bottom of 0, or beyond the picture,
// become its edge) and then to the output, whose top-left pixel receives the region's
// top-left pixel: picture pixel (x, y) goes to output pixel (x - left, y - top). An empty or
// inverted region is refused with -8 "Invalid JPEG_PROPERTIES".
//
// MCUs that meet the region are rendered into a scratch MCU that holds the output's bytes
// where the region shows it, and only that part is copied back, so that the routines which
// place whole MCUs write nothing outside the region.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace xtpjpeg {

class RegionIndex;

class Region {
public:
    // The roi of a call that starts a read (all zero: whole picture); kept while an
    // interrupted read lasts. No region is active until a scan settles it.
    void request(const std::int32_t roi[4]);
    const std::int32_t* requested() const { return requested_; }

    // Settles the region for the frame and output of a scan about to be decoded: 0, -8 for an
    // empty or inverted region, -5 when the scratch MCU cannot be allocated.
    int settle(const JPEG_PROPERTIES& p, const JpegDecoderState& s);
    bool active() const { return active_; }

    // Frame MCUs that meet the region (end exclusive).
    std::int32_t mcuX0 = 0, mcuY0 = 0, mcuX1 = 0, mcuY1 = 0;

    // Points the decoder's output at the scratch MCU for frame MCU (mx, my), filled from the
    // output where the region shows it; false (nothing to render) when the MCU shows nothing.
    bool beginMcu(JpegDecoderState& s, std::int32_t mx, std::int32_t my);
    // Copies the scratch MCU's visible part to the output and restores the decoder's output.
    void endMcu(JpegDecoderState& s);

    // Whether frame MCU (mx, my) lies wholly inside a region whose corner is on an MCU
    // boundary: then the output routines place it straight into the output, as its MCU
    // (ox, oy), without the scratch MCU's two copies.
    bool holdsWhole(std::int32_t mx, std::int32_t my, std::int32_t& ox, std::int32_t& oy) const;

    // Points the decoder's output at the region's output rectangle (for the conversion of
    // a non-interleaved picture at EOI); restore() undoes it.
    void targetOutput(JpegDecoderState& s);
    void restore(JpegDecoderState& s);

private:
    std::int32_t requested_[4] = {};
    bool active_ = false;
    std::int32_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0; // clipped, in picture pixels
    std::int32_t pictureWidth_ = 0, pictureHeight_ = 0;        // at the operation's scale
    std::uint8_t* firstRow_ = nullptr;                         // output pixel (0, 0)
    std::ptrdiff_t lineBytes_ = 0;
    std::int32_t channels_ = 0;
    std::unique_ptr<std::uint8_t[]> scratch_;
    std::size_t scratchSize_ = 0;
    // The MCU being rendered.
    std::int32_t x0_ = 0, y0_ = 0, cx0_ = 0, cx1_ = 0, cy0_ = 0, cy1_ = 0;
    std::int32_t wholeX1_ = 0, wholeY1_ = 0; // MCUs [mcuX0, wholeX1_) x [mcuY0, wholeY1_) are held whole
    std::ptrdiff_t scratchLine_ = 0;
    // The decoder's output while the scratch or the region target stands in for it.
    std::uint8_t* savedFirstRow_ = nullptr;
    std::ptrdiff_t savedLineBytes_ = 0;
    std::int32_t savedWidth_ = 0, savedHeight_ = 0, savedChannels_ = 0;
    void save(const JpegDecoderState& s);
};

} // namespace xtpjpeg
