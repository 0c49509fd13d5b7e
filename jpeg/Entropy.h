// The scan decoders: sequential and progressive scans (ITU-T T.81 F.2, G.2).
#pragma once

#include "jpeg/JpegDecoder.h"

struct JpegDecoderState;

namespace xtpjpeg {

int decodeSequentialScan(JPEG_PROPERTIES& p, JpegDecoderState& s);
int decodeProgressiveScan(JPEG_PROPERTIES& p, JpegDecoderState& s);

} // namespace xtpjpeg
