// The formats the platform's filters read out of media types and write into
// them: uncompressed video in a video-info block, and PCM sound. Each reader
// takes apart what every filter needs; which sizes, depths and rates a filter
// accepts is the filter's own choice, asked of the result.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

#include <cstdint>

// The rows of a bitmap: its height without the sign that says which row comes first.
constexpr std::uint64_t DibRows(LONG height)
{
    return height < 0 ? static_cast<std::uint64_t>(-static_cast<long long>(height))
                      : static_cast<std::uint64_t>(height);
}

// Bytes of a whole bitmap: rows padded to 4 bytes, |height| rows.
constexpr std::uint64_t DibImageBytes(LONG width, LONG height, WORD bitCount)
{
    return DibRowBytes(width, bitCount) * DibRows(height);
}

// The subtype a bitmap header describes, or GUID_NULL; `masks` are the three
// colour masks of a bit-field header, if any.
GUID SubtypeFromBitmap(const BITMAPINFOHEADER& header, const DWORD* masks);

struct VideoFormat {
    GUID subtype{};
    // The block is a VIDEOINFOHEADER by its format type, not only by its size.
    bool videoInfo = false;
    bool fixedSizeSamples = false;
    LONG width = 0;
    LONG height = 0; // negative: top row first
    WORD bitCount = 0;
    DWORD compression = 0;
    REFERENCE_TIME frameTime = 0; // 0: unknown

    // Frames of 24-bit BGR, each row padded to 4 bytes.
    static VideoFormat Rgb24(LONG width, LONG height, REFERENCE_TIME frameTime = 0);
    // A video type whose format block holds a whole VIDEOINFOHEADER; false for any other.
    static bool Read(const AM_MEDIA_TYPE& type, VideoFormat* format);
    // Plain RGB of this depth, with the subtype that says so, in a video-info block.
    bool IsRgb(WORD bits) const;
    // Both sides at least one pixel and at most `maxSide`, rows either way up.
    bool SidesWithin(LONG maxSide) const;

    bool BottomUp() const { return height > 0; }
    std::uint64_t Rows() const { return DibRows(height); }
    std::uint64_t Stride() const { return DibRowBytes(width, bitCount); }
    std::uint64_t FrameBytes() const { return DibImageBytes(width, height, bitCount); }

    // A fixed-size uncompressed video type in a VIDEOINFO block (no palette or masks),
    // its image size set; E_OUTOFMEMORY without a block.
    HRESULT Write(AM_MEDIA_TYPE* type) const;
};

struct AudioFormat {
    DWORD sampleRate = 0;
    WORD channels = 0;
    WORD bitsPerSample = 0;
    WORD blockAlign = 0;
    DWORD bytesPerSecond = 0;
    // The record ends with its cbSize field; older sources leave it off.
    bool wholeRecord = false;

    // Interleaved 16-bit samples.
    static AudioFormat Pcm16(DWORD sampleRate, WORD channels);
    // A PCM type in a WAVEFORMATEX block of at least the record's first 16 bytes.
    static bool Read(const AM_MEDIA_TYPE& type, AudioFormat* format);
    // Whole sample frames: every channel's sample, `bitsPerSample` bits each.
    bool BlockAlignMatches() const { return blockAlign == channels * bitsPerSample / 8; }

    // A PCM type with this layout in a whole WAVEFORMATEX.
    HRESULT Write(AM_MEDIA_TYPE* type) const;
};
