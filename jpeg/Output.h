// The output stage: the MCU output routine of a frame and the writing of decoded samples.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstdint>

struct JpegDecoderState;

namespace xtpjpeg {

int chooseOutputRoutine(JPEG_PROPERTIES& p, JpegDecoderState& s);
void convertNonInterleavedAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s);
// Transforms the MCU held in s.mcu (frame-component order), dequantising it first unless
// it was dequantised while decoded, and hands it to the MCU output routine; in a region read
// through the region's scratch MCU.
void outputFrameMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my, bool dequantised);
// One transformed block of a non-interleaved scan to its channels of the output.
void outputComponentBlock(const JPEG_PROPERTIES& p, JpegDecoderState& s, int c, const std::int16_t* samples,
                          std::int32_t blockX, std::int32_t blockY);
// Renders frame MCU (mx, my) from the progressive coefficient buffer.
void renderFrameMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my);
void writeComponentBlock(const JPEG_PROPERTIES& p, const JpegDecoderState& s, int frameIndex,
                         const std::int16_t* samples, std::int32_t blockX, std::int32_t blockY);

} // namespace xtpjpeg
