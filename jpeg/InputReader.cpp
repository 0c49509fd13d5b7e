// The input reader: whole bytes from the caller's buffer or the input file, and the search
// for the next marker (ITU-T T.81 B.1.1.2).
#include "jpeg/JpegInternal.h"
#include "jpeg/Markers.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace xtpjpeg {

long refillInput(InputReader& in)
{
    const std::size_t left = static_cast<std::size_t>(in.end - in.pos);
    if (left > 0 && in.pos != in.fileBuffer) std::memmove(in.fileBuffer, in.pos, left);
    in.pos = in.fileBuffer;
    in.end = in.fileBuffer + left;
    if (left >= sizeof(in.fileBuffer)) return 0;
    ssize_t r;
    do {
        r = ::read(in.fd, in.fileBuffer + left, sizeof(in.fileBuffer) - left);
    } while (r < 0 && errno == EINTR);
    if (r > 0) in.end += r;
    in.remaining = static_cast<std::int32_t>(in.end - in.pos);
    return r;
}

int readInputBytes(InputReader& in, std::size_t n, const std::uint8_t*& out)
{
    if (static_cast<std::size_t>(in.end - in.pos) < n) {
        if (!in.fileInput) return JpegMemoryError;
        const long r = refillInput(in);
        if (r <= 0) return JpegFileError;
        if (static_cast<std::size_t>(in.end - in.pos) < n) return JpegInternalError;
    }
    out = in.pos;
    in.pos += n;
    in.consumed += static_cast<std::uint32_t>(n);
    in.remaining = static_cast<std::int32_t>(in.end - in.pos);
    return JpegSuccess;
}

namespace {

// One byte for the marker search: 1 read, 0 end of input, negative a read error.
inline int getByte(InputReader& in, std::uint8_t& b)
{
    if (in.pos >= in.end) {
        if (!in.fileInput) return 0;
        const long r = refillInput(in);
        if (r < 0) return JpegFileError;
        if (r == 0) return 0;
    }
    b = *in.pos++;
    ++in.consumed;
    return 1;
}

} // namespace

int nextMarker(InputReader& in, int& marker)
{
    if (in.pendingMarker) {
        marker = in.pendingMarker;
        in.pendingMarker = 0;
        return JpegSuccess;
    }
    for (;;) {
        // Skip up to and including a 0xFF.
        if (!in.fileInput) {
            const void* ff = std::memchr(in.pos, kMarkerPrefix, static_cast<std::size_t>(in.end - in.pos));
            if (!ff) {
                in.pos = in.end;
                return JpegMemoryError; // buffer input ended during the search
            }
            in.pos = static_cast<const std::uint8_t*>(ff) + 1;
        } else {
            std::uint8_t b = 0;
            do {
                const int r = getByte(in, b);
                if (r <= 0) return JpegFileError; // a file refill that reads no bytes
            } while (b != kMarkerPrefix);
        }
        // Further 0xFF bytes, then the code.
        std::uint8_t code = kMarkerPrefix;
        while (code == kMarkerPrefix) {
            const int r = getByte(in, code);
            if (r < 0) return r;
            if (r == 0) {
                marker = kMarkerEndOfInput; // the code byte cannot be read
                return JpegSuccess;
            }
        }
        if (code == 0x00) continue; // stuffed byte
        marker = code;
        return JpegSuccess;
    }
}

} // namespace xtpjpeg
