// The body of the fuzz target, shared with the regression test: a params read of the
// input, then image reads in the colour pairings the params read allows, into an output
// buffer of exactly the declared size.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jpegtest {

// Pictures above this many pixels get only the params read: a tiny stream can declare a
// 65535 x 65535 frame whose decode, though bounded, would take too long for a fuzzer.
constexpr std::uint64_t kFuzzMaxPixels = 1u << 18;

inline void fuzzOne(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 24)) return;
  const std::uint8_t knob = data[size - 1];  // picks the transform family and row order
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
      } else {
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
      const std::uint32_t pad = (knob >> 6) & 3;
      const std::size_t stride = static_cast<std::size_t>(c.imageWidth) * c.outChannels + pad;
      std::vector<std::uint8_t> out(stride * c.imageHeight);
      c.outBuffer = out.data();
      c.outWidth = c.imageWidth;
      c.outHeight = (knob & 2) ? -static_cast<std::int32_t>(c.imageHeight) : static_cast<std::int32_t>(c.imageHeight);
      c.outPadBytes = static_cast<std::int32_t>(pad);
      jpegRead(&c, ReadImageBuffer);
      // A second image read on the same context (the frame stays in force).
      if (attempt == 1) jpegRead(&c, ReadImageBuffer);
    }
    jpegFree(&c);
  }
}

}  // namespace jpegtest
