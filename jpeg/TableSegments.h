// Table segments: Huffman tables (DHT, ITU-T T.81 B.2.4.2) and quantisation tables (DQT,
// B.2.4.1), each into its slot of the decoder state.
#pragma once

#include "jpeg/JpegInternal.h"

namespace xtpjpeg {

int parseDht(JpegDecoderState& s);
// Also prepares each table in the form the context's dctType selects.
int parseDqt(JPEG_PROPERTIES& p, JpegDecoderState& s);

} // namespace xtpjpeg
