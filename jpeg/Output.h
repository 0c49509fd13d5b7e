// The output stage: the MCU output routine of a frame and the writing of decoded samples.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstdint>

struct JpegDecoderState;

namespace xtpjpeg {

int chooseOutputRoutine(JPEG_PROPERTIES& p, JpegDecoderState& s);
void convertNonInterleavedAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s);
void writeComponentBlock(const JPEG_PROPERTIES& p, const JpegDecoderState& s, int frameIndex,
                         const std::int16_t* samples, std::int32_t blockX, std::int32_t blockY);

}  // namespace xtpjpeg
