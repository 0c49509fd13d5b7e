#include "jpeg/AppSegments.h"

#include "jpeg/Exif.h"
#include "jpeg/MarkerSegment.h"
#include "jpeg/Output.h"

#include <cstring>

namespace xtpjpeg {

bool isThumbnailOperation(int op) { return op == ReadThumbnailFile || op == ReadThumbnailBuffer; }

namespace {

// Copies a thumbnail of w x h pixels, each an RGB triple (or a palette index when
// palette is set), into the caller's output: R, G, B for ColorRgb, B, G, R for ColorBgr.
// A thumbnail that does not fit the declared output is refused with -26.
int writeThumbnail(const JPEG_PROPERTIES& p, int w, int h, const std::uint8_t* pixels, const std::uint8_t* palette)
{
    const std::int64_t rows = p.outHeight < 0 ? -static_cast<std::int64_t>(p.outHeight) : p.outHeight;
    if (static_cast<std::uint32_t>(w) > p.outWidth || h > rows || p.outChannels < 3) return JpegThumbnailTooSmall;
    const std::ptrdiff_t stride = p.outLineBytes < 0 ? -p.outLineBytes : p.outLineBytes;
    std::uint8_t* first = p.outHeight < 0 ? p.outBuffer + (rows - 1) * stride : p.outBuffer;
    const bool bgr = p.outColor == ColorBgr;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* d = first + static_cast<std::ptrdiff_t>(y) * p.outLineBytes;
        for (int x = 0; x < w; ++x, d += p.outChannels) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const std::uint8_t* rgb = palette ? palette + 3 * pixels[i] : pixels + 3 * i;
            d[0] = rgb[bgr ? 2 : 0];
            d[1] = rgb[1];
            d[2] = rgb[bgr ? 0 : 2];
        }
    }
    return JpegSuccess;
}

} // namespace

int parseApp0(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    InputReader& in = s.input;
    const std::uint8_t* lb;
    if (readInputBytes(in, 2, lb) != JpegSuccess) return JpegSuccess; // not reported
    const int length = be16(lb);
    if (length < 2 || length - 2 < 14) return JpegSuccess; // body left unread
    Body body;
    const int rc = readBody(in, static_cast<std::size_t>(length - 2), body);
    if (rc == JpegMemoryError) return rc;
    if (rc != JpegSuccess) return JpegDataError;
    if (!s.needFrame) return JpegSuccess;
    const bool thumbnailOp = isThumbnailOperation(p.operation);
    const std::uint8_t* b = body.data;
    if (std::memcmp(b, "JFIF\0", 5) == 0) {
        s.jfifSeen = true;
        s.jfifVersion = static_cast<std::uint16_t>(be16(b + 5));
        s.jfifUnits = b[7];
        s.jfifXDensity = static_cast<std::uint16_t>(be16(b + 8));
        s.jfifYDensity = static_cast<std::uint16_t>(be16(b + 10));
        const int w = b[12], h = b[13];
        if (w && h) {
            p.thumbWidth = static_cast<std::uint32_t>(w);
            p.thumbHeight = static_cast<std::uint32_t>(h);
        }
        if (thumbnailOp && body.size >= 14 + static_cast<std::size_t>(w) * h * 3)
            return writeThumbnail(p, w, h, b + 14, nullptr);
    } else if (std::memcmp(b, "JFXX\0", 5) == 0) {
        const int w = b[6], h = b[7];
        if (b[5] == 0x13) {
            if (w && h) {
                p.thumbWidth = static_cast<std::uint32_t>(w);
                p.thumbHeight = static_cast<std::uint32_t>(h);
            }
            if (thumbnailOp && body.size >= 8 + static_cast<std::size_t>(w) * h * 3)
                return writeThumbnail(p, w, h, b + 8, nullptr);
        } else if (b[5] == 0x11 && thumbnailOp && body.size >= 776 + static_cast<std::size_t>(w) * h) {
            p.thumbWidth = static_cast<std::uint32_t>(w);
            p.thumbHeight = static_cast<std::uint32_t>(h);
            return writeThumbnail(p, w, h, b + 776, b + 8);
        }
        // Other codes, 0x10 (a JPEG-coded thumbnail) among them, are ignored.
    }
    return JpegSuccess;
}

int parseApp1(JpegDecoderState& s)
{
    if (!s.needFrame || s.exifOrientation != 0) return skipSegment(s.input);
    Body body;
    const int rc = readSegment(s.input, body);
    if (rc != JpegSuccess) return rc;
    s.exifOrientation = exifOrientation(body.data, body.size);
    return JpegSuccess;
}

int parseApp14(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    InputReader& in = s.input;
    int length = 0;
    int rc = readLength(in, length);
    if (rc != JpegSuccess) return rc;
    if (length < 2) return JpegDataError;
    if (length - 2 < 12) return JpegSuccess; // body left unread
    Body body;
    rc = readBody(in, static_cast<std::size_t>(length - 2), body);
    if (rc != JpegSuccess) return rc;
    const std::uint8_t* b = body.data;
    if (std::memcmp(b, "Adobe", 5) == 0) {
        s.adobeVersion = static_cast<std::uint16_t>(be16(b + 5));
        s.adobeFlags0 = static_cast<std::uint16_t>(be16(b + 7));
        s.adobeFlags1 = static_cast<std::uint16_t>(be16(b + 9));
        s.adobeTransform = b[11];
        s.adobeSeen = true;
    }
    if (!s.needFrame) return chooseOutputRoutine(p, s);
    return JpegSuccess;
}

int parseComment(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    Body body;
    const int rc = readSegment(s.input, body);
    if (rc != JpegSuccess) return rc;
    if (!s.needFrame || !p.jpeg_comment) return JpegSuccess;
    const auto size = static_cast<std::uint16_t>(body.size);
    if (p.jpeg_comment_length >= size) {
        if (size) std::memcpy(p.jpeg_comment, body.data, size);
        p.jpeg_comment_length = size;
        return JpegSuccess;
    }
    if (p.jpeg_comment_length) std::memcpy(p.jpeg_comment, body.data, p.jpeg_comment_length);
    p.jpeg_comment_length = size;
    return JpegCommentAccessError;
}

} // namespace xtpjpeg
