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
    TiffReader(const std::uint8_t* block, std::size_t blockSize, bool motorolaOrder)
        : data(block), size(blockSize), bigEndian(motorolaOrder)
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

// The TIFF block of an Exif body and its byte order; false when there is none.
bool openTiff(const std::uint8_t* body, std::size_t size, const std::uint8_t*& tiff, std::size_t& tiffSize,
              bool& bigEndian)
{
    if (!body || size < kExifHeader + kTiffHeader || std::memcmp(body, "Exif\0\0", kExifHeader) != 0) return false;
    tiff = body + kExifHeader;
    tiffSize = size - kExifHeader;
    if (std::memcmp(tiff, "II", 2) == 0) {
        bigEndian = false;
    } else if (std::memcmp(tiff, "MM", 2) == 0) {
        bigEndian = true;
    } else {
        return false;
    }
    return TiffReader(tiff, tiffSize, bigEndian).u16(2) == 42;
}

// Offset of the entry of `tag` in the directory at `directory`, 0 when the directory
// is cut short or lacks it. Directories are looked up one by one, never followed as a
// chain, so that no chain can loop.
std::size_t findEntry(const TiffReader& reader, std::size_t directory, std::uint16_t tag)
{
    if (!reader.fits(directory, 2)) return 0;
    const std::size_t entries = reader.u16(directory);
    if (!reader.fits(directory + 2, entries * kEntryBytes)) return 0;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * kEntryBytes;
        if (reader.u16(entry) == tag) return entry;
    }
    return 0;
}

bool twoDigits(const std::uint8_t* text, int& value, int lowest, int highest)
{
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return false;
    value = (text[0] - '0') * 10 + (text[1] - '0');
    return value >= lowest && value <= highest;
}

// "YYYY:MM:DD HH:MM:SS", an ASCII entry of 20 bytes with its NUL (Exif 2.3 section
// 4.6.5); cameras that do not know the date write spaces, which is no date.
bool readDate(const TiffReader& reader, const std::uint8_t* tiff, std::size_t entry, ExifDateTime& date)
{
    constexpr std::uint16_t kAsciiType = 2;
    constexpr std::size_t kDateBytes = 19;
    if (entry == 0 || reader.u16(entry + 2) != kAsciiType || reader.u32(entry + 4) < kDateBytes) return false;
    const std::size_t at = reader.u32(entry + 8);
    if (!reader.fits(at, kDateBytes)) return false;
    const std::uint8_t* text = tiff + at;
    int century = 0;
    int year = 0;
    if (text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' || text[16] != ':') return false;
    if (!twoDigits(text, century, 0, 99) || !twoDigits(text + 2, year, 0, 99)) return false;
    date.year = century * 100 + year;
    return twoDigits(text + 5, date.month, 1, 12) && twoDigits(text + 8, date.day, 1, 31) &&
           twoDigits(text + 11, date.hour, 0, 23) && twoDigits(text + 14, date.minute, 0, 59) &&
           twoDigits(text + 17, date.second, 0, 60);
}

} // namespace

std::uint32_t exifOrientation(const std::uint8_t* body, std::size_t size)
{
    const std::uint8_t* tiff = nullptr;
    std::size_t tiffSize = 0;
    bool bigEndian = false;
    if (!openTiff(body, size, tiff, tiffSize, bigEndian)) return 0;
    const TiffReader reader(tiff, tiffSize, bigEndian);
    const std::size_t entry = findEntry(reader, reader.u32(4), kOrientationTag);
    if (entry == 0) return 0;
    if (reader.u16(entry + 2) != kShortType || reader.u32(entry + 4) != 1) return 0;
    // A single SHORT sits in the first two bytes of the value field.
    const std::uint32_t value = reader.u16(entry + 8);
    return value >= 1 && value <= 8 ? value : 0;
}

bool exifDateTaken(const std::uint8_t* body, std::size_t size, ExifDateTime& date)
{
    constexpr std::uint16_t kExifDirectoryTag = 0x8769;
    constexpr std::uint16_t kLongType = 4;
    constexpr std::uint16_t kDateTimeOriginalTag = 0x9003;
    constexpr std::uint16_t kDateTimeTag = 0x0132;
    const std::uint8_t* tiff = nullptr;
    std::size_t tiffSize = 0;
    bool bigEndian = false;
    if (!openTiff(body, size, tiff, tiffSize, bigEndian)) return false;
    const TiffReader reader(tiff, tiffSize, bigEndian);
    const std::size_t first = reader.u32(4);
    const std::size_t link = findEntry(reader, first, kExifDirectoryTag);
    if (link != 0 && reader.u16(link + 2) == kLongType && reader.u32(link + 4) == 1 &&
        readDate(reader, tiff, findEntry(reader, reader.u32(link + 8), kDateTimeOriginalTag), date))
        return true;
    return readDate(reader, tiff, findEntry(reader, first, kDateTimeTag), date);
}

} // namespace xtpjpeg
