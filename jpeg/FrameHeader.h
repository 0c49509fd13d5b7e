// Frame headers (SOF0 to SOF2, ITU-T T.81 B.2.2): the frame, its component geometry and
// the image parameters it reports.
#pragma once

#include "jpeg/JpegInternal.h"

namespace xtpjpeg {

// Replaces the frame with the header's and chooses the frame's output routine.
int parseFrame(JPEG_PROPERTIES& p, JpegDecoderState& s);
// A frame header after a scan of the image read has been decoded: the output holds that
// frame's pixels and the caller sized it by that frame, so the header must repeat the frame
// (it is then passed over); any other frame fails the read with -21.
int checkRepeatedFrame(JpegDecoderState& s);
// The progressive decode's record of scans seen, cleared for a new image.
void resetProgressive(JpegDecoderState& s);

} // namespace xtpjpeg
