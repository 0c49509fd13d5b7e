// The body of the fuzz target, shared with the regression test: a params read of the
// input, then reads in the colour pairings the params read allows, and checks of what they
// did, and last a good picture read on the same context. The last eight bytes of the
// input steer it:
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
// declared output (guard bytes around it, and every row's pad bytes), a successful image
// read reports the frame of the params read (the pixels it wrote are of that size), and the
// good picture after the input decodes as it does on a fresh context.
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
    void read(JpegOperation op, Output& out, std::uint8_t knob, std::uint8_t readMode)
    {
        if (readMode & 0x10)
            for (int k = 0; k < 4; ++k) c.props.roi[k] = roi[k];
        Output other;
        int rc = 1;
        for (int stops = 0; (readMode & 0x20) && rc == 1 && stops < kFuzzMaxStops; ++stops) {
            c.props.interrupt = 1;
            rc = jpegRead(&c, op);
            if (rc == 1 && (readMode & 0x80) && stops == 2) {
                other.prepare(c, knob, c.outWidth,
                              static_cast<std::uint32_t>(c.outHeight < 0 ? -c.outHeight : c.outHeight));
                if (readMode & 0x10)
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

// A 24x16 4:2:0 baseline picture with no JFIF or Adobe segment, as cameras write them
// (its colour comes from the request), read after each input on the same context.
inline const std::uint8_t kFollowingPicture[] = {
    0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x0D, 0x09, 0x0A, 0x0B, 0x0A, 0x08, 0x0D, 0x0B, 0x0A, 0x0B, 0x0E, 0x0E,
    0x0D, 0x0F, 0x13, 0x20, 0x15, 0x13, 0x12, 0x12, 0x13, 0x27, 0x1C, 0x1E, 0x17, 0x20, 0x2E, 0x29, 0x31, 0x30, 0x2E,
    0x29, 0x2D, 0x2C, 0x33, 0x3A, 0x4A, 0x3E, 0x33, 0x36, 0x46, 0x37, 0x2C, 0x2D, 0x40, 0x57, 0x41, 0x46, 0x4C, 0x4E,
    0x52, 0x53, 0x52, 0x32, 0x3E, 0x5A, 0x61, 0x5A, 0x50, 0x60, 0x4A, 0x51, 0x52, 0x4F, 0xFF, 0xDB, 0x00, 0x43, 0x01,
    0x0E, 0x0E, 0x0E, 0x13, 0x11, 0x13, 0x26, 0x15, 0x15, 0x26, 0x4F, 0x35, 0x2D, 0x35, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F,
    0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F,
    0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F,
    0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x18, 0x03, 0x01, 0x22,
    0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xC4, 0x00, 0x1F, 0x00, 0x00, 0x01, 0x05, 0x01, 0x01, 0x01, 0x01,
    0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
    0x0A, 0x0B, 0xFF, 0xC4, 0x00, 0xB5, 0x10, 0x00, 0x02, 0x01, 0x03, 0x03, 0x02, 0x04, 0x03, 0x05, 0x05, 0x04, 0x04,
    0x00, 0x00, 0x01, 0x7D, 0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33,
    0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83, 0x84,
    0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5,
    0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6,
    0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6,
    0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFF, 0xC4, 0x00, 0x1F, 0x01,
    0x00, 0x03, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02,
    0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0xFF, 0xC4, 0x00, 0xB5, 0x11, 0x00, 0x02, 0x01, 0x02, 0x04,
    0x04, 0x03, 0x04, 0x07, 0x05, 0x04, 0x04, 0x00, 0x01, 0x02, 0x77, 0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21,
    0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1,
    0x09, 0x23, 0x33, 0x52, 0xF0, 0x15, 0x62, 0x72, 0xD1, 0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18, 0x19,
    0x1A, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49,
    0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74,
    0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95,
    0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6,
    0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7,
    0xD8, 0xD9, 0xDA, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
    0xF9, 0xFA, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0xE4, 0x52, 0xD1,
    0x90, 0x03, 0xE7, 0x72, 0x3B, 0x0C, 0x56, 0x9C, 0x77, 0x6C, 0xC0, 0xA6, 0x1F, 0xAF, 0x61, 0xC0, 0xAC, 0xEB, 0xC8,
    0xD9, 0x59, 0x9A, 0x3C, 0x63, 0x3D, 0x0F, 0x14, 0xFB, 0x0D, 0x59, 0x61, 0x98, 0x29, 0x89, 0x49, 0x3D, 0x41, 0xAD,
    0x6A, 0xD6, 0xAB, 0x3B, 0x26, 0x82, 0xB5, 0x19, 0xD1, 0x6F, 0x53, 0x6D, 0x35, 0x16, 0x84, 0x82, 0xC1, 0x81, 0x07,
    0x83, 0xB6, 0x8A, 0xB5, 0x6C, 0xF6, 0x97, 0xEB, 0xFE, 0xAC, 0x29, 0xC7, 0xA7, 0x4C, 0xD1, 0x53, 0x6A, 0xCB, 0xA1,
    0xC2, 0xB3, 0x0F, 0x67, 0xEE, 0xC9, 0x9F, 0xFF, 0xD9,
};

// The following picture's pixels (R G B, top row first) on `c`, with every request field
// set afresh as a caller that reuses a context sets them; empty when a read fails.
inline std::vector<std::uint8_t> readFollowingPicture(JpegContext& c)
{
    c.useWorkingRecord = 0;
    c.inFileName = nullptr;
    c.inBuffer = kFollowingPicture;
    c.inBufferSize = sizeof kFollowingPicture;
    c.imageChannels = 3;
    c.imageColor = ColorYcbcr;
    c.outColor = ColorRgb;
    c.outChannels = 3;
    c.outSubsampling = SubsampleNone;
    for (auto& side : c.props.roi) side = 0;
    c.props.interrupt = 0;
    c.props.dctType = 1;
    c.props.jpeg_comment = nullptr;
    c.props.jpeg_comment_length = 0;
    if (jpegRead(&c, ReadParamsBuffer) != 0 || c.imageWidth != 24 || c.imageHeight != 16) return {};
    std::vector<std::uint8_t> pixels(24 * 16 * 3);
    c.outBuffer = pixels.data();
    c.outWidth = 24;
    c.outHeight = 16;
    c.outPadBytes = 0;
    if (jpegRead(&c, ReadImageBuffer) != 0) return {};
    return pixels;
}

// Whatever an input did to a context, a good picture read on it afterwards comes out as
// it does on a fresh context of the same processor class.
inline void checkFollowingPicture(JpegContext& used, int cpuClass)
{
    JpegContext fresh;
    if (jpegInit(&fresh) != 0) return;
    jpegSetCpuClass(&fresh, cpuClass);
    const std::vector<std::uint8_t> expected = readFollowingPicture(fresh);
    jpegFree(&fresh);
    if (expected.empty()) fuzzCheckFailed("the following picture does not decode on a fresh context");
    if (readFollowingPicture(used) != expected) fuzzCheckFailed("a read changed how the next picture decodes");
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
        checkFollowingPicture(c, sizes % 8);
        jpegFree(&c);
    }
    if (fileName) ::unlink(fileName);
}

} // namespace jpegtest
