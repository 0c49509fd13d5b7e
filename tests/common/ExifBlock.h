// Test pictures with an Exif orientation: an APP1 "Exif" segment built byte by byte
// (TIFF 6.0 header, first directory with tag 0x0112), put after a JPEG's SOI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exiftest {

using Bytes = std::vector<std::uint8_t>;

class TiffWriter {
public:
    explicit TiffWriter(bool motorolaOrder) : bigEndian(motorolaOrder) {}
    void U16(std::uint32_t v)
    {
        if (bigEndian) {
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
            bytes.push_back(static_cast<std::uint8_t>(v));
        } else {
            bytes.push_back(static_cast<std::uint8_t>(v));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    void U32(std::uint32_t v)
    {
        U16(bigEndian ? v >> 16 : v & 0xFFFF);
        U16(bigEndian ? v & 0xFFFF : v >> 16);
    }
    Bytes bytes;

private:
    bool bigEndian;
};

struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::uint32_t value; // a SHORT goes into the first two bytes of the field
};

// The APP1 body: "Exif\0\0", the TIFF header and one directory at offset 8 holding
// `entries`, its link to a next directory set to `next`.
inline Bytes ExifBody(bool bigEndian, const std::vector<Entry>& entries, std::uint32_t next = 0)
{
    TiffWriter t(bigEndian);
    for (const char c : std::string("Exif\0\0", 6)) t.bytes.push_back(static_cast<std::uint8_t>(c));
    t.bytes.push_back(bigEndian ? 'M' : 'I');
    t.bytes.push_back(bigEndian ? 'M' : 'I');
    t.U16(42);
    t.U32(8);
    t.U16(static_cast<std::uint32_t>(entries.size()));
    for (const Entry& e : entries) {
        t.U16(e.tag);
        t.U16(e.type);
        t.U32(e.count);
        if (e.type == 3 && e.count == 1) {
            t.U16(e.value);
            t.U16(0);
        } else {
            t.U32(e.value);
        }
    }
    t.U32(next);
    return t.bytes;
}

// A directory with a few other tags around the orientation, as cameras write it.
inline Bytes OrientationBody(std::uint32_t orientation, bool bigEndian)
{
    return ExifBody(bigEndian, {{0x010F, 2, 4, 0}, {0x0112, 3, 1, orientation}, {0x011A, 5, 1, 0}});
}

// `jpeg` with an APP1 segment of `body` right after its SOI.
inline Bytes WithApp1(const Bytes& jpeg, const Bytes& body)
{
    const std::size_t length = body.size() + 2;
    Bytes out;
    out.reserve(jpeg.size() + length + 2);
    out.insert(out.end(), jpeg.begin(), jpeg.begin() + 2);
    out.push_back(0xFF);
    out.push_back(0xE1);
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// `jpeg` without its segments of marker `code` (FF code) before the first scan: a
// camera's photo is a JPEG with no JFIF segment (code 0xE0), a CMYK one may lack
// Adobe's (0xEE).
inline Bytes WithoutSegments(const Bytes& jpeg, std::uint8_t code)
{
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const std::size_t length = 2 + (std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
        if (jpeg[at + 1] != code) out.insert(out.end(), jpeg.begin() + at, jpeg.begin() + at + length);
        at += length;
    }
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
    return out;
}

// A camera's or phone's photo made of `jpeg`: Exif, no JFIF.
inline Bytes CameraPhoto(const Bytes& jpeg) { return WithApp1(WithoutSegments(jpeg, 0xE0), OrientationBody(1, true)); }

} // namespace exiftest
