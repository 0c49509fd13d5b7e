// The marker walk of one jpegRead operation.
#pragma once

#include "jpeg/JpegDecoder.h"

struct JpegDecoderState;

namespace xtpjpeg {

int runOperation(JPEG_PROPERTIES& p, JpegDecoderState& s);

} // namespace xtpjpeg
