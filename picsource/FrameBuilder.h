// Turns one JPEG file into one output frame: width x height pixels, 3 bytes each in
// blue, green, red order, bottom row first, rows padded with zeros to 4 bytes.
//
// The file is read whole into a grow-only buffer, decoded at full size, turned
// bottom-up BGR in the same buffer and stretched by nearest neighbour (anchored at
// the bottom-left pixel, both directions independently) into the frame.
//
// Pictures larger than kMaxPicturePixels decoded, or files larger than kMaxFileBytes,
// are refused like unreadable ones, so no picture can exhaust the process's memory.
// Only regular files are read, and never with a blocking open, so a FIFO or a device
// named *.jpg cannot stall the stream.
//
// Each step answers S_OK, the JPEG decoder's result code when it refused the picture,
// or a failure HRESULT for the file (see EC_PICTURE_SKIPPED).
#pragma once

#include "platform/com/Com.h"

#include <cstdint>
#include <memory>
#include <string>

class FrameBuilder {
public:
    static constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{64} << 20;
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{256} << 20;

    struct Picture {
        std::unique_ptr<BYTE[]> pixels; // top row first, R G B, no padding
        std::uint32_t width = 0;
        std::uint32_t height = 0;
    };

    // Bytes of one frame row of `width` pixels.
    static std::uint64_t FrameStride(LONG width);

    // Whole read of one picture into `frame`, which holds height x FrameStride(width)
    // bytes. Fails when the file cannot be read or decoded, has no grey or 3-colour
    // image, or memory is short; `frame` is then untouched.
    HRESULT ReadPicture(const std::string& path, BYTE* frame, LONG width, LONG height);

    // The steps of ReadPicture, one by one.
    HRESULT LoadFile(const std::string& path);
    HRESULT DecodePicture(Picture& picture);
    HRESULT ConvertToBottomUpBgr(const Picture& picture);
    void FitToFrame(std::uint32_t srcWidth, std::uint32_t srcHeight, BYTE* frame, LONG width, LONG height) const;

private:
    bool Reserve(std::uint64_t size);
    HRESULT ReadWhole(int descriptor, std::uint64_t size);

    std::unique_ptr<BYTE[]> fileBuffer;
    std::uint64_t capacity = 0;
    std::uint64_t fileSize = 0;
};
