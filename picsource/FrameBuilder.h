// Turns one JPEG file into one output frame: width x height pixels, 3 bytes each in
// blue, green, red order, bottom row first, rows padded with zeros to 4 bytes.
//
// The file is read whole into a grow-only buffer and decoded into a second one as
// bottom-up BGR rows padded like the frame's (a picture to be turned upright is
// decoded in stored order first and then turned), which is scaled into the frame.
// Each picture is decoded with a fresh decoder record. With the default
// PictureOptions the picture is decoded at full size, kept as stored and stretched by nearest neighbour
// (anchored at the bottom-left pixel, both directions independently); the options
// turn it upright by its Exif tag, keep its aspect ratio, and scale it smoothly from
// a reduced decode.
//
// A picture coded in one sequential scan and kept as stored is decoded and drawn into the
// frame a band of rows at a time (about kBandBytes of decoded pixels), by region reads of
// one decoder record that each resume where the band before ended: the same frame as from
// the whole decode, without holding the whole picture. A band that fails has the picture
// read again whole, so that the failure is the whole read's.
//
// A picture of more than kMaxPicturePixels is decoded at the smallest reduction (1/2,
// 1/4, 1/8) that fits; one too large even at 1/8, or a file larger than kMaxFileBytes,
// is refused like an unreadable one. So one picture takes at most 256 MiB of file,
// 192 MiB of decoded pixels (twice that when it is turned upright) and the decoder's
// kJpegMaxCoefficientBytes for a progressive picture.
// Only regular files are read, and never with a blocking open, so a FIFO or a device
// named *.jpg cannot stall the stream.
//
// Each step answers S_OK, the JPEG decoder's result code when it refused the picture,
// or a failure HRESULT for the file (see EC_PICTURE_SKIPPED).
#pragma once

#include "jpeg/JpegDecoder.h"
#include "picsource/PictureOptions.h"
#include "picsource/SmoothScaler.h"
#include "platform/com/Com.h"

#include <cstdint>
#include <memory>
#include <string>

class FrameBuilder {
public:
    // Bottom row first, B G R, rows padded to 4 bytes with zeros.
    using Image = SmoothScaler::Image;
    using Band = SmoothScaler::Band;

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

    static constexpr std::uint64_t kBandBytes = std::uint64_t{2} << 20;

    explicit FrameBuilder(std::uint64_t bandSize = kBandBytes) : bandBytes(bandSize) {}
    ~FrameBuilder();
    FrameBuilder(const FrameBuilder&) = delete;
    FrameBuilder& operator=(const FrameBuilder&) = delete;

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
    // The loaded file as the builder's upright image (valid until the next decode).
    // `coverage`: how many times over the reduced decode covers width x height at least
    // (when the picture is large enough). Twice for area shrinking, which then averages
    // two or more source pixels into each and keeps the detail a decode of just the
    // frame's size would alias; once for a caller that samples between pixels itself.
    static constexpr int kShrinkCoverage = 2;
    HRESULT DecodeImage(const PictureOptions& options = {}, LONG width = 0, LONG height = 0,
                        int coverage = kShrinkCoverage);
    const Image& DecodedImage() const { return image; }
    static HRESULT FitToFrame(const Image& source, BYTE* frame, LONG width, LONG height,
                              const PictureOptions& options = {});

    // The road of a picture to be turned: decoded as stored (top-down R G B), then
    // turned into the builder's image. Open so that the direct decode can be checked
    // against it.
    HRESULT DecodePicture(Picture& picture, const PictureOptions& options = {}, LONG width = 0, LONG height = 0);
    HRESULT TurnUpright(const Picture& picture);

private:
    // What the file's header says of the picture, and how it is to be decoded.
    struct DecodePlan {
        std::uint32_t fullWidth = 0;
        std::uint32_t fullHeight = 0;
        std::uint32_t outWidth = 0;
        std::uint32_t outHeight = 0;
        int reduction = 1;
        int orientation = 1;
        // Taken as YCbCr and converted by ColourConverter, for smooth scaling.
        bool preciseColour = false;
    };

    // The decoder's reduction for smooth scaling of a full-size picture into the frame.
    static std::uint64_t ReducedPixels(const DecodePlan& plan);
    static int Reduction(std::uint32_t fullWidth, std::uint32_t fullHeight, int orientation, LONG fit, int coverage,
                         LONG width, LONG height);
    static void FitNearest(const Image& source, BYTE* frame, LONG width, LONG height, LONG fit, const Band& band);
    static HRESULT FitBand(const Image& source, const Band& band, BYTE* frame, LONG width, LONG height,
                           const PictureOptions& options);
    HRESULT PlanDecode(const PictureOptions& options, LONG width, LONG height, int coverage, DecodePlan& plan);
    // Rows [top, bottom) of the decoded picture, top row first.
    struct Rows {
        std::uint32_t top = 0;
        std::uint32_t bottom = 0;
    };
    HRESULT DecodeInto(const DecodePlan& plan, BYTE* target, JpegColor colour, bool bottomUp, std::int32_t padBytes,
                       Rows rows);
    HRESULT DecodePlanned(const DecodePlan& plan);
    // Decodes `rows` bottom-up into the image buffer as B G R rows of the frame's padding.
    HRESULT DecodeRowsUpright(const DecodePlan& plan, Rows rows);
    HRESULT DecodeUpright(const DecodePlan& plan);
    std::uint32_t BandRows(const DecodePlan& plan) const;
    bool DrawsInBands(const DecodePlan& plan, LONG width, LONG height) const;
    HRESULT DrawInBands(const DecodePlan& plan, BYTE* frame, LONG width, LONG height, const PictureOptions& options);
    HRESULT DecodeStored(const DecodePlan& plan, Picture& picture);
    bool OpenFreshDecoder();
    int NamedFailure(int rc) const;
    HRESULT ReadWhole(int descriptor, std::uint64_t size);

    struct GrowOnlyBuffer {
        std::unique_ptr<BYTE[]> bytes;
        std::uint64_t capacity = 0;
        bool Reserve(std::uint64_t size);
    };

    std::uint64_t bandBytes;
    GrowOnlyBuffer fileBytes;
    std::uint64_t fileSize = 0;
    GrowOnlyBuffer imageBytes;
    Image image;
    JpegContext decoder{};
    bool decoderOpen = false;
};
