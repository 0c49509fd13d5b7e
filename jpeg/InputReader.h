// The decoder's input: buffer or file bytes ahead of the bit reader, and the marker search.
#pragma once

#include "jpeg/BitReader.h"

#include <cstddef>
#include <cstdint>

namespace xtpjpeg {

constexpr int kFileBufferSize = 4096;
constexpr int kMarkerEndOfInput = 256; // the pseudo-marker "end of input"

// The InputReader with the bit reader.
struct InputReader {
    const std::uint8_t* pos = nullptr;
    const std::uint8_t* end = nullptr;
    std::int32_t remaining = 0;
    std::uint32_t consumed = 0;
    int pendingMarker = 0; // 0: none
    int fd = -1;           // input file, -1 for buffer input
    bool fileInput = false;
    BitReader bits;
    std::uint8_t fileBuffer[kFileBufferSize];
};

int nextMarker(InputReader& in, int& marker);
int readInputBytes(InputReader& in, std::size_t n, const std::uint8_t*& out);
long refillInput(InputReader& in); // file input: keeps unread bytes, reads up to 4096

} // namespace xtpjpeg
