// The platform's own writer of MP4 and WebM movies, beside the published Windows
// Media interfaces: its class, its configuration interface and its result code.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

inline constexpr CLSID CLSID_MediaFileWriter{
    0x5E58EC8E, 0x607E, 0x43D1, {0x86, 0x94, 0x44, 0x21, 0xD3, 0x6F, 0xB5, 0x05}};
inline constexpr IID IID_IMediaFileWriterConfig{
    0xB020F77E, 0x3ED5, 0x4990, {0x9C, 0x79, 0x2E, 0x80, 0xED, 0x05, 0x39, 0xEE}};

// The writers' own: the chosen format cannot encode frames of the asked size
// (ERROR_NOT_SUPPORTED, 50, as an HRESULT).
constexpr HRESULT WRITER_E_FRAME_TOO_LARGE = HRESULT_FROM_WIN32(50);

// A constant frame rate, or 0 for one frame per picture.
struct IMediaFileWriterConfig : IUnknown {
    // 0 to kMaxFrameRate; only while stopped.
    virtual HRESULT SetFrameRate(LONG framesPerSecond) = 0;
    virtual HRESULT GetFrameRate(LONG* framesPerSecond) = 0;
    static constexpr LONG kMaxFrameRate = 120;
};
