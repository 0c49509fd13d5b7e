// When a picture was taken or last changed, as keys that sort in time. Taken reads
// only the segments before the first scan, and no more than kMaxBytesRead bytes of
// them, so that ordering a large folder does not read its pictures whole.
#pragma once

#include "jpeg/Exif.h"

#include <cstdint>
#include <string>

struct PictureTime {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    auto operator<=>(const PictureTime&) const = default;
};

class PictureDate {
public:
    static constexpr long kMaxBytesRead = 128 * 1024;

    // The file's modification time since the epoch; the latest time for a file that
    // cannot be looked at, so that it goes last.
    static PictureTime Modified(const std::string& path);
    // The first Exif date taken among the APP1 segments before the first scan; false
    // when the file has none or cannot be read.
    static bool ExifTaken(const std::string& path, xtpjpeg::ExifDateTime& date);
    // The Exif date taken (DateTimeOriginal, else DateTime), else the modification time,
    // both as local wall-clock time counted from 1970-01-01 00:00 as if it were UTC, so
    // that a camera's clock and the file's time compare.
    static PictureTime Taken(const std::string& path);
};
