// libFuzzer target: params and image reads of a buffer (see FuzzOne.h).
#include "FuzzOne.h"
#include "jpeg/Exif.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    jpegtest::fuzzOne(data, size);
    // The input as an APP1 body too, so that the TIFF reader is explored without a JPEG
    // around it.
    if (xtpjpeg::exifOrientation(data, size) > 8) std::abort();
    return 0;
}
