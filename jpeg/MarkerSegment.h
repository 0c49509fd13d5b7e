// Marker segments (ITU-T T.81 B.1.1.4): the two-byte length and the body after it, read in
// place or gathered across file refills, or passed over.
#pragma once

#include "jpeg/JpegInternal.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace xtpjpeg {

// A marker segment's body: in place, or gathered into a temporary allocation.
struct Body {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::unique_ptr<std::uint8_t[]> copy;
};

// The length field; the caller checks it.
int readLength(InputReader& in, int& length);
// n bytes of body; -21 when they run past the end of the input.
int readBody(InputReader& in, std::size_t n, Body& body);
int skipBody(InputReader& in, std::size_t n);
// A segment whose length must be at least 2 (and whose body at most maxBody bytes): its
// body, or passed over.
int readSegment(InputReader& in, Body& body, std::size_t maxBody = SIZE_MAX);
int skipSegment(InputReader& in);

inline int be16(const std::uint8_t* b) { return (b[0] << 8) | b[1]; }

} // namespace xtpjpeg
