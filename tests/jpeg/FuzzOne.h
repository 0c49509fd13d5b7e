// The body of the fuzz target, shared with the regression test: a params read of the
// input, then reads in the colour pairings the params read allows, into an output buffer of
// exactly the declared size. The input's last byte picks the transform family, row order,
// colour pairing and pad bytes; the byte before it the operation (full, half, quarter,
// eighth, tables then abbreviated, thumbnail, or two full reads on one context), whether a
// region is asked for (taken from the four bytes before it) and whether the read is
// interrupted after its MCUs (for a bounded number of steps, then finished in one call).
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jpegtest {

// Pictures above this many pixels get only the params read: a tiny stream can declare a
// 65535 x 65535 frame whose decode, though bounded, would take too long for a fuzzer.
constexpr std::uint64_t kFuzzMaxPixels = 1u << 18;
// Interrupted reads stop at most this often before they are finished in one call.
constexpr int kFuzzMaxStops = 300;

// The colour pairing of an attempt: the picture source's for attempt 0, others for 1.
inline void chooseColours(JpegContext& c, std::uint8_t knob, int attempt) {
  const std::uint32_t n = c.imageChannels;
  if (attempt == 0) {
    if (n == 1) {
      c.imageColor = ColorGray;
      c.outColor = ColorRgb;
      c.outChannels = 3;
    } else if (n == 3) {
      if (c.imageColor != ColorRgb) c.imageColor = ColorYcbcr;
      c.outColor = (knob & 4) ? ColorBgr : ColorRgb;
      c.outChannels = 3;
    } else {
      c.imageColor = ColorOther;
      c.outColor = ColorOther;
      c.outChannels = n;
    }
    return;
  }
  // Other routines: grey, RGBA, or YCbCr output (packed when the sampling allows).
  if (n == 3 && (knob & 8)) {
    c.imageColor = ColorYcbcr;
    c.outColor = ColorYcbcr;
    c.outChannels = (knob & 16) ? 2 : 3;
    c.outSubsampling = (knob & 16) ? Subsample2x1 : SubsampleNone;
  } else if (n == 1 || n == 3) {
    c.imageColor = n == 1 ? ColorGray : (c.imageColor == ColorRgb ? ColorRgb : ColorYcbcr);
    c.outColor = (knob & 32) || n != 3 ? ColorRgba : ColorGray;
    c.outChannels = c.outColor == ColorRgba ? 4 : 1;
    if (n == 1 && c.outColor == ColorGray) c.outChannels = 1;
  } else if (n == 4) {
    c.imageColor = (knob & 8) ? ColorYcbcra : ColorRgba;
    c.outColor = ColorRgba;
    c.outChannels = 4;
  } else {
    c.imageColor = ColorOther;
    c.outColor = ColorOther;
    c.outChannels = 1 + (knob & 3);
  }
}

// An output of w x h pixels in `out`, bottom-up and padded as the knob says.
inline void prepareOutput(JpegContext& c, std::uint8_t knob, std::uint32_t w, std::uint32_t h,
                          std::vector<std::uint8_t>& out) {
  const std::uint32_t pad = (knob >> 6) & 3;
  const std::size_t stride = static_cast<std::size_t>(w) * c.outChannels + pad;
  out.assign(stride * h + 1, 0);  // +1: never null
  c.outBuffer = out.data();
  c.outWidth = w;
  c.outHeight = (knob & 2) ? -static_cast<std::int32_t>(h) : static_cast<std::int32_t>(h);
  c.outPadBytes = static_cast<std::int32_t>(pad);
}

// One read as the mode byte asks: with a region, and interrupted for a while.
inline void readAsAsked(JpegContext& c, JpegOperation op, std::uint8_t mode, const std::int32_t roi[4]) {
  if (mode & 0x10)
    for (int k = 0; k < 4; ++k) c.props.roi[k] = roi[k];
  int rc = 1;
  for (int stops = 0; (mode & 0x20) && rc == 1 && stops < kFuzzMaxStops; ++stops) {
    c.props.interrupt = 1;
    rc = jpegRead(&c, op);
  }
  if (rc == 1) jpegRead(&c, op);
  for (int k = 0; k < 4; ++k) c.props.roi[k] = 0;
}

inline void fuzzOne(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 24)) return;
  const std::uint8_t knob = data[size - 1];
  const std::uint8_t mode = size >= 2 ? data[size - 2] : 0;
  std::int32_t roi[4] = {};
  if (size >= 6) {
    roi[0] = static_cast<std::int8_t>(data[size - 3]);
    roi[1] = static_cast<std::int8_t>(data[size - 4]);
    roi[2] = roi[0] + data[size - 5];
    roi[3] = roi[1] + data[size - 6];
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    JpegContext c;
    if (jpegInit(&c) != 0) return;
    c.inBuffer = data;
    c.inBufferSize = static_cast<std::uint32_t>(size);
    c.props.dctType = (knob >> attempt) & 1;
    std::uint8_t comment[16];
    c.props.jpeg_comment = comment;
    c.props.jpeg_comment_length = sizeof comment;
    if (jpegRead(&c, ReadParamsBuffer) == 0 && c.imageWidth > 0 && c.imageHeight > 0 &&
        static_cast<std::uint64_t>(c.imageWidth) * c.imageHeight <= kFuzzMaxPixels) {
      chooseColours(c, knob, attempt);
      std::vector<std::uint8_t> out;
      const int kind = mode & 7;
      if (kind == 6) {
        // The thumbnail, into an output of its size (or of one pixel when there is none).
        c.outColor = (knob & 4) ? ColorBgr : ColorRgb;
        c.outChannels = 3;
        c.outSubsampling = SubsampleNone;
        prepareOutput(c, knob, c.thumbWidth ? c.thumbWidth : 1, c.thumbHeight ? c.thumbHeight : 1, out);
        // A header read again: the comment's destination holds its own size again.
        c.props.jpeg_comment_length = sizeof comment;
        jpegRead(&c, ReadThumbnailBuffer);
      } else {
        const std::uint32_t scale = kind >= 2 && kind <= 4 ? 1u << (kind - 1) : 1u;
        prepareOutput(c, knob, (c.imageWidth + scale - 1) / scale, (c.imageHeight + scale - 1) / scale, out);
        JpegOperation op = ReadImageBuffer;
        if (scale == 2) op = ReadHalfBuffer;
        if (scale == 4) op = ReadQuarterBuffer;
        if (scale == 8) op = ReadEighthBuffer;
        if (kind == 5) {
          // Tables first (a header read: the comment's size again), then the abbreviated read.
          c.props.jpeg_comment_length = sizeof comment;
          jpegRead(&c, ReadTablesBuffer);
          op = ReadAbbreviatedBuffer;
        }
        readAsAsked(c, op, mode, roi);
        // A second read on the same context (the frame and the region index stay).
        if (kind == 7 || attempt == 1) readAsAsked(c, op, mode ^ 0x20, roi);
      }
    }
    jpegFree(&c);
  }
}

}  // namespace jpegtest
