#include "platform/mediagraph/MediaFormat.h"

#include "platform/mediagraph/MediaTypes.h"
#include "platform/mediagraph/OwnedMediaType.h"

#include <cstring>

namespace {

// The PCM record without its trailing size field.
constexpr ULONG kPcmRecordBytes = 16;

} // namespace

GUID SubtypeFromBitmap(const BITMAPINFOHEADER& header, const DWORD* masks)
{
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
        return SubtypeFromFourCC(header.biCompression);
    switch (header.biBitCount) {
    case 1:
        return MEDIASUBTYPE_RGB1;
    case 4:
        return MEDIASUBTYPE_RGB4;
    case 8:
        return MEDIASUBTYPE_RGB8;
    case 24:
        return MEDIASUBTYPE_RGB24;
    case 32:
        return MEDIASUBTYPE_RGB32;
    case 16:
        if (!masks || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)) return MEDIASUBTYPE_RGB555;
        if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) return MEDIASUBTYPE_RGB565;
        return GUID_NULL;
    default:
        return GUID_NULL;
    }
}

VideoFormat VideoFormat::Rgb24(LONG width, LONG height, REFERENCE_TIME frameTime)
{
    return {MEDIASUBTYPE_RGB24, true, true, width, height, 24, BI_RGB, frameTime};
}

bool VideoFormat::Read(const AM_MEDIA_TYPE& type, VideoFormat* format)
{
    if (type.majortype != MEDIATYPE_Video || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER)) return false;
    VIDEOINFOHEADER info;
    std::memcpy(&info, type.pbFormat, sizeof info);
    format->subtype = type.subtype;
    format->videoInfo = type.formattype == FORMAT_VideoInfo;
    format->fixedSizeSamples = type.bFixedSizeSamples != FALSE;
    format->width = info.bmiHeader.biWidth;
    format->height = info.bmiHeader.biHeight;
    format->bitCount = info.bmiHeader.biBitCount;
    format->compression = info.bmiHeader.biCompression;
    format->frameTime = info.AvgTimePerFrame;
    return true;
}

bool VideoFormat::IsRgb(WORD bits) const
{
    const GUID& named = bits == 24 ? MEDIASUBTYPE_RGB24 : bits == 32 ? MEDIASUBTYPE_RGB32 : GUID_NULL;
    return videoInfo && compression == BI_RGB && bitCount == bits && subtype == named && named != GUID_NULL;
}

bool VideoFormat::SidesWithin(LONG maxSide) const
{
    return width > 0 && width <= maxSide && height != 0 && Rows() <= static_cast<std::uint64_t>(maxSide);
}

HRESULT VideoFormat::Write(AM_MEDIA_TYPE* type) const
{
    BYTE* block = MediaTypeFormatBuffer(*type, sizeof(VIDEOINFO));
    if (!block) return E_OUTOFMEMORY;
    std::memset(block, 0, sizeof(VIDEOINFO));
    auto* info = reinterpret_cast<VIDEOINFO*>(block);
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = compression;
    header.biSizeImage = static_cast<DWORD>(FrameBytes());
    info->AvgTimePerFrame = frameTime;
    type->majortype = MEDIATYPE_Video;
    type->formattype = FORMAT_VideoInfo;
    type->bTemporalCompression = FALSE;
    type->subtype = SubtypeFromBitmap(header, nullptr);
    // A size of 0 says the samples vary.
    type->bFixedSizeSamples = header.biSizeImage != 0;
    if (header.biSizeImage != 0) type->lSampleSize = header.biSizeImage;
    return S_OK;
}

AudioFormat AudioFormat::Pcm16(DWORD sampleRate, WORD channels)
{
    const auto blockAlign = static_cast<WORD>(channels * 2);
    return {sampleRate, channels, 16, blockAlign, sampleRate * blockAlign, true};
}

bool AudioFormat::Read(const AM_MEDIA_TYPE& type, AudioFormat* format)
{
    if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
        type.formattype != FORMAT_WaveFormatEx || !type.pbFormat || type.cbFormat < kPcmRecordBytes)
        return false;
    WAVEFORMATEX wave{};
    std::memcpy(&wave, type.pbFormat, kPcmRecordBytes);
    if (wave.wFormatTag != WAVE_FORMAT_PCM) return false;
    format->sampleRate = wave.nSamplesPerSec;
    format->channels = wave.nChannels;
    format->bitsPerSample = wave.wBitsPerSample;
    format->blockAlign = wave.nBlockAlign;
    format->bytesPerSecond = wave.nAvgBytesPerSec;
    format->wholeRecord = type.cbFormat >= sizeof(WAVEFORMATEX);
    return true;
}

HRESULT AudioFormat::Write(AM_MEDIA_TYPE* type) const
{
    BYTE* block = MediaTypeFormatBuffer(*type, sizeof(WAVEFORMATEX));
    if (!block) return E_OUTOFMEMORY;
    const WAVEFORMATEX wave{WAVE_FORMAT_PCM, channels, sampleRate, bytesPerSecond, blockAlign, bitsPerSample, 0};
    std::memcpy(block, &wave, sizeof wave);
    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_PCM;
    type->formattype = FORMAT_WaveFormatEx;
    type->bFixedSizeSamples = TRUE;
    type->bTemporalCompression = FALSE;
    type->lSampleSize = blockAlign;
    return S_OK;
}
