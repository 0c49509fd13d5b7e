// Application segments and comments: JFIF and JFXX (APP0) with their thumbnails, the Exif
// orientation (APP1), Adobe's colour transform (APP14) and the COM text.
#pragma once

#include "jpeg/JpegInternal.h"

namespace xtpjpeg {

bool isThumbnailOperation(int op);
int parseApp0(JPEG_PROPERTIES& p, JpegDecoderState& s);
// Only the frame's first Exif block counts; later APP1 segments (XMP among them) are
// passed over by their length as before.
int parseApp1(JpegDecoderState& s);
int parseApp14(JPEG_PROPERTIES& p, JpegDecoderState& s);
int parseComment(JPEG_PROPERTIES& p, JpegDecoderState& s);

} // namespace xtpjpeg
