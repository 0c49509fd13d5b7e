#include "jpeg/MarkerSegment.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace xtpjpeg {

int readLength(InputReader& in, int& length)
{
    const std::uint8_t* b;
    const int rc = readInputBytes(in, 2, b);
    if (rc != JpegSuccess) return rc;
    length = (b[0] << 8) | b[1];
    return JpegSuccess;
}

int readBody(InputReader& in, std::size_t n, Body& body)
{
    body.size = n;
    const std::size_t avail = static_cast<std::size_t>(in.end - in.pos);
    if (avail >= n) {
        body.data = in.pos;
        in.pos += n;
        in.consumed += static_cast<std::uint32_t>(n);
        in.remaining = static_cast<std::int32_t>(in.end - in.pos);
        return JpegSuccess;
    }
    if (!in.fileInput) return JpegDataError; // runs past the end of the input
    body.copy.reset(new (std::nothrow) std::uint8_t[n]);
    if (!body.copy) return JpegMemoryError;
    std::size_t got = avail;
    std::memcpy(body.copy.get(), in.pos, avail);
    in.pos = in.end;
    while (got < n) {
        if (refillInput(in) <= 0) return JpegDataError;
        const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(in.end - in.pos), n - got);
        std::memcpy(body.copy.get() + got, in.pos, take);
        in.pos += take;
        got += take;
    }
    in.consumed += static_cast<std::uint32_t>(n);
    body.data = body.copy.get();
    return JpegSuccess;
}

int skipBody(InputReader& in, std::size_t n)
{
    std::size_t avail = static_cast<std::size_t>(in.end - in.pos);
    if (avail >= n) {
        in.pos += n;
        in.consumed += static_cast<std::uint32_t>(n);
        return JpegSuccess;
    }
    if (!in.fileInput) return JpegDataError;
    std::size_t left = n - avail;
    in.pos = in.end;
    while (left > 0) {
        if (refillInput(in) <= 0) return JpegDataError;
        avail = static_cast<std::size_t>(in.end - in.pos);
        const std::size_t take = std::min(avail, left);
        in.pos += take;
        left -= take;
    }
    in.consumed += static_cast<std::uint32_t>(n);
    return JpegSuccess;
}

int readSegment(InputReader& in, Body& body, std::size_t maxBody)
{
    int length = 0;
    int rc = readLength(in, length);
    if (rc != JpegSuccess) return rc;
    if (length < 2 || static_cast<std::size_t>(length - 2) > maxBody) return JpegDataError;
    return readBody(in, static_cast<std::size_t>(length - 2), body);
}

int skipSegment(InputReader& in)
{
    int length = 0;
    const int rc = readLength(in, length);
    if (rc != JpegSuccess) return rc;
    if (length < 2) return JpegDataError;
    return skipBody(in, static_cast<std::size_t>(length - 2));
}

} // namespace xtpjpeg
