// One stream of a Windows Media profile as the platform keeps it: what the
// profile XML says and what IWMStreamConfig, IWMMediaProps and
// IWMVideoMediaProps read and change.
#pragma once

#include "platform/wmformat/WMFormat.h"

#include <string>
#include <vector>

struct ProfileStream {
    GUID majorType{};
    WORD number = 0;
    std::u16string name;
    std::u16string connectionName;
    DWORD bitrate = 0;
    DWORD bufferWindow = 0;
    // The media type; its format block is `format`.
    GUID subtype{};
    bool fixedSizeSamples = false;
    bool temporalCompression = false;
    ULONG sampleSize = 0;
    GUID formatType{};
    std::vector<BYTE> format;
    // Video streams only.
    LONGLONG maxKeyFrameSpacing = 0;
    DWORD quality = 0;

    bool IsVideo() const { return majorType == MEDIATYPE_Video; }
    bool IsAudio() const { return majorType == MEDIATYPE_Audio; }
    // The format block as the record its format type names; nullptr when it is another kind or short.
    const VIDEOINFOHEADER* VideoHeader() const;
    const WAVEFORMATEX* WaveFormat() const;
    // S_OK for a stream the writer can encode: WMV1 video of positive size, or
    // Windows Media Audio 2 of a sane rate and channel count.
    HRESULT CheckCodec() const;
    // Takes a media type record: its major type must be the stream's.
    HRESULT AssignMediaType(const WM_MEDIA_TYPE& type);
};

// Reads any stream configuration through its published interfaces.
HRESULT ReadStreamConfig(IWMStreamConfig* config, ProfileStream* stream);
