#include "platform/wmformat/ProfileStream.h"

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaFormat.h"

namespace {

// Larger format blocks than this belong to no codec the writer knows.
constexpr ULONG kMaxFormatBytes = 64 * 1024;

std::u16string ReadName(IWMStreamConfig* config, HRESULT (IWMStreamConfig::*get)(WCHAR*, WORD*), HRESULT* hr)
{
    WORD length = 0;
    *hr = (config->*get)(nullptr, &length);
    if (FAILED(*hr) || length == 0) return {};
    std::u16string text(length, u'\0');
    *hr = (config->*get)(text.data(), &length);
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    return text;
}

} // namespace

const VIDEOINFOHEADER* ProfileStream::VideoHeader() const
{
    if (formatType != FORMAT_VideoInfo || format.size() < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(format.data());
}

const WAVEFORMATEX* ProfileStream::WaveFormat() const
{
    if (formatType != FORMAT_WaveFormatEx || format.size() < sizeof(WAVEFORMATEX)) return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(format.data());
}

HRESULT ProfileStream::CheckCodec() const
{
    if (IsVideo()) {
        const VIDEOINFOHEADER* video = VideoHeader();
        if (subtype != WMMEDIASUBTYPE_WMV1 || !video) return NS_E_INVALID_INPUT_FORMAT;
        const LONG width = video->bmiHeader.biWidth;
        const std::uint64_t rows = DibRows(video->bmiHeader.biHeight);
        if (width < 2 || rows < 2 || width > kMaxVideoSide || rows > static_cast<std::uint64_t>(kMaxVideoSide))
            return NS_E_INVALID_INPUT_FORMAT;
        return S_OK;
    }
    if (IsAudio()) {
        const WAVEFORMATEX* wave = WaveFormat();
        if (subtype != WMMEDIASUBTYPE_WMAudioV8 || !wave || wave->wFormatTag != WAVE_FORMAT_WMAUDIO2)
            return NS_E_INVALID_INPUT_FORMAT;
        if (wave->nChannels < 1 || wave->nChannels > 2 || wave->nSamplesPerSec < 8000 || wave->nSamplesPerSec > 48000)
            return NS_E_INVALID_INPUT_FORMAT;
        return S_OK;
    }
    return NS_E_INVALID_INPUT_FORMAT;
}

HRESULT ProfileStream::AssignMediaType(const WM_MEDIA_TYPE& type)
{
    if (type.majortype != majorType) return E_INVALIDARG;
    if (type.cbFormat > kMaxFormatBytes || (type.cbFormat > 0 && !type.pbFormat)) return E_INVALIDARG;
    subtype = type.subtype;
    fixedSizeSamples = type.bFixedSizeSamples != FALSE;
    temporalCompression = type.bTemporalCompression != FALSE;
    sampleSize = type.lSampleSize;
    formatType = type.formattype;
    format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
    return S_OK;
}

HRESULT ReadStreamConfig(IWMStreamConfig* config, ProfileStream* stream)
{
    if (!config || !stream) return E_POINTER;
    ProfileStream read;
    HRESULT hr = config->GetStreamType(&read.majorType);
    if (SUCCEEDED(hr)) hr = config->GetStreamNumber(&read.number);
    if (SUCCEEDED(hr)) hr = config->GetBitrate(&read.bitrate);
    if (SUCCEEDED(hr)) hr = config->GetBufferWindow(&read.bufferWindow);
    if (SUCCEEDED(hr)) read.name = ReadName(config, &IWMStreamConfig::GetStreamName, &hr);
    if (SUCCEEDED(hr)) read.connectionName = ReadName(config, &IWMStreamConfig::GetConnectionName, &hr);
    if (FAILED(hr)) return hr;

    ComPtr<IWMMediaProps> props;
    hr = config->QueryInterface(IID_IWMMediaProps, props.ReceiveVoid());
    if (FAILED(hr)) return hr;
    DWORD size = 0;
    hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    if (size < sizeof(WM_MEDIA_TYPE) || size > sizeof(WM_MEDIA_TYPE) + kMaxFormatBytes) return NS_E_INVALID_DATA;
    std::vector<std::max_align_t> buffer((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    hr = props->GetMediaType(type, &size);
    if (FAILED(hr)) return hr;
    hr = read.AssignMediaType(*type);
    if (FAILED(hr)) return hr;

    ComPtr<IWMVideoMediaProps> video;
    if (read.IsVideo() && SUCCEEDED(config->QueryInterface(IID_IWMVideoMediaProps, video.ReceiveVoid()))) {
        hr = video->GetMaxKeyFrameSpacing(&read.maxKeyFrameSpacing);
        if (SUCCEEDED(hr)) hr = video->GetQuality(&read.quality);
        if (FAILED(hr)) return hr;
    }
    *stream = std::move(read);
    return S_OK;
}
