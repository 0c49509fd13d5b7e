// Tags of an APP1 "Exif" segment, read within the segment's body: the orientation
// (TIFF 6.0 tag 0x0112 in the first image file directory, Exif 2.3 section 4.6.4) and
// the date the photo was taken.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xtpjpeg {

// 1 to 8 when the body (after the length field) is an Exif block whose first
// directory holds a valid orientation; 0 for anything else, malformed or cut short
// included. Reads nothing outside [body, body + size).
std::uint32_t exifOrientation(const std::uint8_t* body, std::size_t size);

// A date and time of day as the camera's clock told it, without a time zone.
struct ExifDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// DateTimeOriginal (0x9003) of the Exif directory, else DateTime (0x0132) of the first
// directory. False when the body holds neither as a well-formed "YYYY:MM:DD HH:MM:SS";
// reads nothing outside [body, body + size).
bool exifDateTaken(const std::uint8_t* body, std::size_t size, ExifDateTime& date);

} // namespace xtpjpeg
