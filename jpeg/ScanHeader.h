// Scan headers (SOS, ITU-T T.81 B.2.3): the scan's components and tables, sequential or
// progressive, and the decoding of the scan that follows.
#pragma once

#include "jpeg/JpegInternal.h"

namespace xtpjpeg {

constexpr int kScanParsedOnly = 3; // params operations end at the first scan header (no result code)

// Parses the header and, unless paramsOnly, decodes the scan.
int parseSos(JPEG_PROPERTIES& p, JpegDecoderState& s, bool paramsOnly);
// Decodes the current scan from its saved position; the scan stays active while an
// interrupted read waits.
int decodeScan(JPEG_PROPERTIES& p, JpegDecoderState& s);
// The conversion of a non-interleaved picture at EOI, over the region's output in a region read.
void convertAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s);

} // namespace xtpjpeg
