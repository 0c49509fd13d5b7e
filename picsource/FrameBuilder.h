// Turns one JPEG file into one output frame: width x height pixels, 3 bytes each in
// blue, green, red order, bottom row first, rows padded with zeros to 4 bytes.
//
// The file is read whole into a grow-only buffer, decoded, turned bottom-up BGR in
// the same buffer and scaled into the frame. With the default PictureOptions the
// picture is decoded at full size, kept as stored and stretched by nearest neighbour
// (anchored at the bottom-left pixel, both directions independently); the options
// turn it upright by its Exif tag, keep its aspect ratio, and scale it smoothly from
// a reduced decode.
//
// Pictures larger than kMaxPicturePixels decoded, or files larger than kMaxFileBytes,
// are refused like unreadable ones, so no picture can exhaust the process's memory.
// Only regular files are read, and never with a blocking open, so a FIFO or a device
// named *.jpg cannot stall the stream.
//
// Each step answers S_OK, the JPEG decoder's result code when it refused the picture,
// or a failure HRESULT for the file (see EC_PICTURE_SKIPPED).
#pragma once

#include "picsource/PictureOptions.h"
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
        int orientation = 1; // Exif value to apply, 1 to 8 (1: as stored)

        std::uint32_t UprightWidth() const;
        std::uint32_t UprightHeight() const;
    };

    // Bytes of one frame row of `width` pixels.
    static std::uint64_t FrameStride(LONG width);

    // Whole read of one picture into `frame`, which holds height x FrameStride(width)
    // zero bytes (the borders of a letterboxed picture stay so). Fails when the file
    // cannot be read or decoded, has no grey or 3-colour image, or memory is short;
    // `frame` is then untouched.
    HRESULT ReadPicture(const std::string& path, BYTE* frame, LONG width, LONG height,
                        const PictureOptions& options = {});

    // The steps of ReadPicture, one by one. Smooth scaling needs the frame size to
    // choose the decoder's reduction; without it the picture is decoded at full size.
    HRESULT LoadFile(const std::string& path);
    HRESULT DecodePicture(Picture& picture, const PictureOptions& options = {}, LONG width = 0, LONG height = 0);
    // Upright by picture.orientation; the image then has the picture's upright sides.
    HRESULT ConvertToBottomUpBgr(const Picture& picture);
    HRESULT FitToFrame(std::uint32_t srcWidth, std::uint32_t srcHeight, BYTE* frame, LONG width, LONG height,
                       const PictureOptions& options = {}) const;

private:
    // The decoder's reduction for smooth scaling of a full-size picture into the frame.
    static int Reduction(std::uint32_t fullWidth, std::uint32_t fullHeight, int orientation, LONG fit, LONG width,
                         LONG height);
    void FitNearest(std::uint32_t srcWidth, std::uint32_t srcHeight, BYTE* frame, LONG width, LONG height,
                    LONG fit) const;
    bool Reserve(std::uint64_t size);
    HRESULT ReadWhole(int descriptor, std::uint64_t size);

    std::unique_ptr<BYTE[]> fileBuffer;
    std::uint64_t capacity = 0;
    std::uint64_t fileSize = 0;
};
