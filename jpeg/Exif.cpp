#include "jpeg/Exif.h"

#include <cstring>

namespace xtpjpeg {

namespace {

constexpr std::size_t kExifHeader = 6; // "Exif" and two zero bytes
constexpr std::size_t kTiffHeader = 8; // byte order, 42, offset of the first directory
constexpr std::size_t kEntryBytes = 12;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

class TiffReader {
public:
    TiffReader(const std::uint8_t* data, std::size_t size, bool bigEndian)
        : data(data), size(size), bigEndian(bigEndian)
    {
    }

    bool fits(std::size_t offset, std::size_t bytes) const { return offset <= size && bytes <= size - offset; }

    std::uint16_t u16(std::size_t offset) const
    {
        const std::uint8_t* b = data + offset;
        return static_cast<std::uint16_t>(bigEndian ? (b[0] << 8) | b[1] : (b[1] << 8) | b[0]);
    }

    std::uint32_t u32(std::size_t offset) const
    {
        const std::uint32_t high = u16(offset + (bigEndian ? 0 : 2));
        const std::uint32_t low = u16(offset + (bigEndian ? 2 : 0));
        return (high << 16) | low;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    bool bigEndian;
};

} // namespace

std::uint32_t exifOrientation(const std::uint8_t* body, std::size_t size)
{
    if (!body || size < kExifHeader + kTiffHeader || std::memcmp(body, "Exif\0\0", kExifHeader) != 0) return 0;
    const std::uint8_t* tiff = body + kExifHeader;
    const std::size_t tiffSize = size - kExifHeader;
    bool bigEndian;
    if (std::memcmp(tiff, "II", 2) == 0) {
        bigEndian = false;
    } else if (std::memcmp(tiff, "MM", 2) == 0) {
        bigEndian = true;
    } else {
        return 0;
    }
    const TiffReader reader(tiff, tiffSize, bigEndian);
    if (reader.u16(2) != 42) return 0;
    // Only the first directory is read, so no chain of directories can loop.
    const std::size_t directory = reader.u32(4);
    if (!reader.fits(directory, 2)) return 0;
    const std::size_t entries = reader.u16(directory);
    if (!reader.fits(directory + 2, entries * kEntryBytes)) return 0;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * kEntryBytes;
        if (reader.u16(entry) != kOrientationTag) continue;
        if (reader.u16(entry + 2) != kShortType || reader.u32(entry + 4) != 1) return 0;
        // A single SHORT sits in the first two bytes of the value field.
        const std::uint32_t value = reader.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}

} // namespace xtpjpeg
