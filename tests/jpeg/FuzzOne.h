// The body of the fuzz target, shared with the regression test: a params read of the
// input, then reads in the colour pairings the params read allows, and checks of what they
// did. The last eight bytes of the input steer it:
//   [-1] transform family, row order, colour pairing and pad bytes;
//   [-2] the operation (full, half, quarter, eighth, tables then abbreviated, thumbnail, or
//        two full reads on one context), a region (bit 0x10), an interrupted read (0x20),
//        file input instead of the buffer (0x40), a request changed between the interrupted
//        steps (0x80);
//   [-3..-6] the region's left, top, right and bottom, scaled by [-8];
//   [-7] the processor class (0..6) and how the output's size differs from the picture's;
//   [-8] the comment buffer's size (0..15) and the region's scale (1, 16, 256 or 4096; a
//        byte of 0x80 or 0x7F stands for the least or greatest 32-bit value).
// Checks (a failure aborts, so the fuzzer reports it): the decoder writes nothing outside the
// declared output (guard bytes around it, and every row's pad bytes), and a successful image
// read reports the frame of the params read (the pixels it wrote are of that size).
#pragma once

#include "jpeg/JpegDecoder.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace jpegtest {

// Pictures above this many pixels get only the params read (an output of up to 16 MB).
constexpr std::uint64_t kFuzzMaxPixels = 4u << 20;
// Interrupted reads stop at most this often before they are finished in one call.
constexpr int kFuzzMaxStops = 300;
constexpr std::size_t kGuard = 64;
constexpr std::uint8_t kUnwritten = 0xA5;

[[noreturn]] inline void fuzzCheckFailed(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// The colour pairing of an attempt: the picture source's for attempt 0, others for 1.
inline void chooseColours(JpegContext& c, std::uint8_t knob, int attempt)
{
    const std::uint32_t n = c.imageChannels;
    if (attempt == 0) {
        if (n == 1) {
            c.imageColor = ColorGray;
            c.outColor = ColorRgb;
            c.outChannels = 3;
        } else if (n == 3) {
            if (c.imageColor != ColorRgb) c.imageColor = ColorYcbcr;
            c.outColor = (knob & 4) ? ColorBgr : ColorRgb;
            c.outChannels = 3;
        } else {
            c.imageColor = ColorOther;
            c.outColor = ColorOther;
            c.outChannels = n;
        }
        return;
    }
    // Other routines: grey, RGBA, or YCbCr output (packed when the sampling allows).
    if (n == 3 && (knob & 8)) {
        c.imageColor = ColorYcbcr;
        c.outColor = ColorYcbcr;
        c.outChannels = (knob & 16) ? 2 : 3;
        c.outSubsampling = (knob & 16) ? Subsample2x1 : SubsampleNone;
    } else if (n == 1 || n == 3) {
        c.imageColor = n == 1 ? ColorGray : (c.imageColor == ColorRgb ? ColorRgb : ColorYcbcr);
        c.outColor = (knob & 32) || n != 3 ? ColorRgba : ColorGray;
        c.outChannels = c.outColor == ColorRgba ? 4 : 1;
        if (n == 1 && c.outColor == ColorGray) c.outChannels = 1;
    } else if (n == 4) {
        c.imageColor = (knob & 8) ? ColorYcbcra : ColorRgba;
        c.outColor = ColorRgba;
        c.outChannels = 4;
    } else {
        c.imageColor = ColorOther;
        c.outColor = ColorOther;
        c.outChannels = 1 + (knob & 3);
    }
}

// An output of w x h pixels (bottom-up and padded as the knob says) between guard bytes.
struct Output {
    std::vector<std::uint8_t> bytes;
    std::size_t stride = 0, rowBytes = 0;
    std::uint32_t rows = 0;

    void prepare(JpegContext& c, std::uint8_t knob, std::uint32_t w, std::uint32_t h)
    {
        const std::uint32_t pad = (knob >> 6) & 3;
        rowBytes = static_cast<std::size_t>(w) * c.outChannels;
        stride = rowBytes + pad;
        rows = h;
        bytes.assign(stride * h + 2 * kGuard, kUnwritten);
        c.outBuffer = bytes.data() + kGuard;
        c.outWidth = w;
        c.outHeight = (knob & 2) ? -static_cast<std::int32_t>(h) : static_cast<std::int32_t>(h);
        c.outPadBytes = static_cast<std::int32_t>(pad);
    }

    // The guards and every row's pad bytes as they were.
    void check() const
    {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (bytes[i] != kUnwritten || bytes[bytes.size() - 1 - i] != kUnwritten)
                fuzzCheckFailed("write outside the output");
        for (std::uint32_t r = 0; r < rows; ++r)
            for (std::size_t i = rowBytes; i < stride; ++i)
                if (bytes[kGuard + r * stride + i] != kUnwritten) fuzzCheckFailed("write into a row's pad bytes");
    }
};

// The 32-bit value a region byte stands for.
inline std::int32_t regionValue(std::uint8_t b, std::uint8_t knob)
{
    if (b == 0x80) return INT32_MIN;
    if (b == 0x7F) return INT32_MAX;
    return static_cast<std::int8_t>(b) * (1 << (4 * ((knob >> 4) & 3)));
}

// The output size of a read, from the picture's and the knob: exact, one column or row less,
// three more, or a single pixel.
inline void outputSize(std::uint8_t knob, std::uint32_t& w, std::uint32_t& h)
{
    switch ((knob >> 3) & 7) {
    case 1:
        w = w > 1 ? w - 1 : w;
        break;
    case 2:
        h = h > 1 ? h - 1 : h;
        break;
    case 3:
        w += 3;
        break;
    case 4:
        h += 3;
        break;
    case 5:
        w = h = 1;
        break;
    default:
        break;
    }
}

// The reads of one attempt share this.
struct FuzzRun {
    JpegContext& c;
    std::uint8_t mode;
    std::int32_t roi[4];
    bool file;
    std::uint32_t width, height, channels; // as the params read reported them

    JpegOperation fileOr(JpegOperation bufferOp) const
    {
        return file ? static_cast<JpegOperation>(bufferOp - 1) : bufferOp;
    }

    // A successful image read reports the frame whose pixels it wrote: the params read's.
    void checkResult(int rc) const
    {
        if (rc == 0 && (c.imageWidth != width || c.imageHeight != height || c.imageChannels != channels))
            fuzzCheckFailed("an image read reports another frame than the params read");
    }

    // One read as the mode asks: with a region, interrupted for a while, and with its
    // output moved to a second buffer between two steps (which starts the read afresh).
    void read(JpegOperation op, Output& out, std::uint8_t knob, std::uint8_t mode)
    {
        if (mode & 0x10)
            for (int k = 0; k < 4; ++k) c.props.roi[k] = roi[k];
        Output other;
        int rc = 1;
        for (int stops = 0; (mode & 0x20) && rc == 1 && stops < kFuzzMaxStops; ++stops) {
            c.props.interrupt = 1;
            rc = jpegRead(&c, op);
            if (rc == 1 && (mode & 0x80) && stops == 2) {
                other.prepare(c, knob, c.outWidth,
                              static_cast<std::uint32_t>(c.outHeight < 0 ? -c.outHeight : c.outHeight));
                if (mode & 0x10)
                    for (int k = 0; k < 4; ++k) c.props.roi[k] = roi[k];
            }
        }
        if (rc == 1) rc = jpegRead(&c, op);
        checkResult(rc);
        for (int k = 0; k < 4; ++k) c.props.roi[k] = 0;
        out.check();
        if (!other.bytes.empty()) other.check();
        c.outBuffer = out.bytes.data() + kGuard; // the second buffer ends here
    }
};

// The input as a file of this process, for the file operations.
inline const char* inputFile(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/jpeg-fuzz-" + std::to_string(::getpid()) + ".jpg";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return nullptr;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok) return nullptr;
    return path.c_str();
}

inline void fuzzOne(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 24)) return;
    auto tail = [&](std::size_t k) -> std::uint8_t { return size >= k ? data[size - k] : 0; };
    const std::uint8_t knob = tail(1), mode = tail(2), sizes = tail(7), extra = tail(8);
    const bool file = (mode & 0x40) != 0;
    const char* fileName = file ? inputFile(data, size) : nullptr;
    if (file && !fileName) return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        JpegContext c;
        if (jpegInit(&c) != 0) return;
        jpegSetCpuClass(&c, sizes % 8);
        c.inBuffer = data;
        c.inBufferSize = static_cast<std::uint32_t>(size);
        c.inFileName = fileName;
        c.props.dctType = (knob >> attempt) & 1;
        std::uint8_t comment[16];
        const std::uint16_t commentSize = extra & 15;
        c.props.jpeg_comment = comment;
        c.props.jpeg_comment_length = commentSize;
        FuzzRun run{c,
                    mode,
                    {regionValue(tail(3), extra), regionValue(tail(4), extra), regionValue(tail(5), extra),
                     regionValue(tail(6), extra)},
                    file,
                    0,
                    0,
                    0};
        if (jpegRead(&c, run.fileOr(ReadParamsBuffer)) == 0 && c.imageWidth > 0 && c.imageHeight > 0 &&
            static_cast<std::uint64_t>(c.imageWidth) * c.imageHeight <= kFuzzMaxPixels) {
            run.width = c.imageWidth;
            run.height = c.imageHeight;
            run.channels = c.imageChannels;
            chooseColours(c, knob, attempt);
            Output out;
            const int kind = mode & 7;
            if (kind == 6) {
                // The thumbnail, into an output of its size (or of one pixel when there is none).
                c.outColor = (knob & 4) ? ColorBgr : ColorRgb;
                c.outChannels = 3;
                c.outSubsampling = SubsampleNone;
                out.prepare(c, knob, c.thumbWidth ? c.thumbWidth : 1, c.thumbHeight ? c.thumbHeight : 1);
                // A header read again: the comment's destination holds its own size again.
                c.props.jpeg_comment_length = commentSize;
                jpegRead(&c, run.fileOr(ReadThumbnailBuffer));
                out.check();
            } else {
                const std::uint32_t scale = kind >= 2 && kind <= 4 ? 1u << (kind - 1) : 1u;
                std::uint32_t w = (c.imageWidth + scale - 1) / scale, h = (c.imageHeight + scale - 1) / scale;
                outputSize(sizes, w, h);
                out.prepare(c, knob, w, h);
                JpegOperation op = ReadImageBuffer;
                if (scale == 2) op = ReadHalfBuffer;
                if (scale == 4) op = ReadQuarterBuffer;
                if (scale == 8) op = ReadEighthBuffer;
                if (kind == 5) {
                    // Tables first (a header read: the comment's size again), then the abbreviated read.
                    c.props.jpeg_comment_length = commentSize;
                    jpegRead(&c, run.fileOr(ReadTablesBuffer));
                    op = ReadAbbreviatedBuffer;
                }
                run.read(run.fileOr(op), out, knob, mode);
                // A second read on the same context (the frame and the region index stay).
                if (kind == 7 || attempt == 1) run.read(run.fileOr(op), out, knob, mode ^ 0x20);
            }
        }
        jpegFree(&c);
    }
    if (fileName) ::unlink(fileName);
}

} // namespace jpegtest
