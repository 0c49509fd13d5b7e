// The orientation tag of an APP1 "Exif" segment (TIFF 6.0 tag 0x0112 in the first
// image file directory, Exif 2.3 section 4.6.4), read within the segment's body.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xtpjpeg {

// 1 to 8 when the body (after the length field) is an Exif block whose first
// directory holds a valid orientation; 0 for anything else, malformed or cut short
// included. Reads nothing outside [body, body + size).
std::uint32_t exifOrientation(const std::uint8_t* body, std::size_t size);

} // namespace xtpjpeg
