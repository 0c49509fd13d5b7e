#include "platform/wmformat/WMAsfWriter.h"

#include "platform/base/WideText.h"
#include "platform/mediagraph/UnaggregatedInstance.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Linux paths are at most PATH_MAX bytes; a longer name cannot be opened.
constexpr std::size_t MaxFileNameLength = 4096;

std::u16string PinName(const GUID& majorType, std::size_t ordinal)
{
    const std::string number = (ordinal + 1 < 10 ? "0" : "") + std::to_string(ordinal + 1);
    return WideFromUtf8((majorType == MEDIATYPE_Video ? "Video Input " : "Audio Input ") + number);
}

MovieInputFormat InputFormatOf(const AM_MEDIA_TYPE& type)
{
    MovieInputFormat format;
    if (type.majortype == MEDIATYPE_Video) {
        VIDEOINFOHEADER video;
        std::memcpy(&video, type.pbFormat, sizeof video);
        format.width = video.bmiHeader.biWidth;
        format.height = video.bmiHeader.biHeight;
        format.frameTime = video.AvgTimePerFrame;
    } else {
        WAVEFORMATEX wave{};
        std::memcpy(&wave, type.pbFormat, 16);
        format.sampleRate = static_cast<int>(wave.nSamplesPerSec);
        format.channels = wave.nChannels;
    }
    return format;
}

} // namespace

WMAsfWriter::WMAsfWriter() : WMAsfWriter(CLSID_WMAsfWriter) {}

WMAsfWriter::WMAsfWriter(const CLSID& clsid) : PlatformFilter(clsid) {}

HRESULT CreateWMAsfWriter(IUnknown* outer, REFIID iid, void** object)
{
    return CreateUnaggregatedInstance<WMAsfWriter>(outer, iid, object);
}

HRESULT WMAsfWriter::QueryOtherInterface(REFIID iid, void** object)
{
    if (iid == IID_IConfigAsfWriter) {
        *object = static_cast<IConfigAsfWriter*>(this);
    } else if (iid == IID_IFileSinkFilter) {
        *object = static_cast<IFileSinkFilter*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

std::vector<PlatformPin*> WMAsfWriter::Pins() { return {inputs.begin(), inputs.end()}; }

// ---- Configuration ----

HRESULT WMAsfWriter::ConfigureFilterUsingProfileId(DWORD) { return E_NOTIMPL; }
HRESULT WMAsfWriter::GetCurrentProfileId(DWORD*) { return E_NOTIMPL; }
HRESULT WMAsfWriter::ConfigureFilterUsingProfileGuid(REFGUID) { return E_NOTIMPL; }
HRESULT WMAsfWriter::GetCurrentProfileGuid(GUID*) { return E_NOTIMPL; }

AsfInputPin* WMAsfWriter::PinFor(const GUID& majorType, std::size_t ordinal)
{
    const std::u16string name = PinName(majorType, ordinal);
    for (const auto& pin : madePins) {
        if (pin->Name() == name) return pin.get();
    }
    madePins.push_back(std::make_unique<AsfInputPin>(*this, name, majorType));
    return madePins.back().get();
}

HRESULT WMAsfWriter::ConfigureFilterUsingProfile(IWMProfile* newProfile)
{
    if (!newProfile) return E_POINTER;
    std::lock_guard guard(filterLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (std::any_of(inputs.begin(), inputs.end(), [](AsfInputPin* pin) { return pin->IsConnected(); }))
        return VFW_E_ALREADY_CONNECTED;
    DWORD count = 0;
    HRESULT hr = newProfile->GetStreamCount(&count);
    if (FAILED(hr)) return hr;
    if (count == 0 || count > 63) return NS_E_INVALID_DATA;
    std::vector<ProfileStream> read(count);
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMStreamConfig> config;
        hr = newProfile->GetStream(i, config.Receive());
        if (SUCCEEDED(hr)) hr = ReadStreamConfig(config.Get(), &read[i]);
        if (SUCCEEDED(hr)) hr = read[i].CheckCodec();
        if (FAILED(hr)) return hr;
    }
    std::vector<AsfInputPin*> pins;
    std::size_t videos = 0;
    std::size_t audios = 0;
    for (std::size_t i = 0; i < read.size(); ++i) {
        AsfInputPin* pin = read[i].IsVideo() ? PinFor(MEDIATYPE_Video, videos++) : PinFor(MEDIATYPE_Audio, audios++);
        pin->SetStreamIndex(i);
        pins.push_back(pin);
    }
    inputs = std::move(pins);
    streams = std::move(read);
    profile = ComPtr<IWMProfile>(newProfile);
    return S_OK;
}

HRESULT WMAsfWriter::GetCurrentProfile(IWMProfile** result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(filterLock);
    *result = ComPtr<IWMProfile>(profile).Detach();
    return *result ? S_OK : E_FAIL;
}

HRESULT WMAsfWriter::SetIndexMode(BOOL indexFile)
{
    std::lock_guard guard(filterLock);
    indexMode = indexFile;
    return S_OK;
}

HRESULT WMAsfWriter::GetIndexMode(BOOL* indexFile)
{
    if (!indexFile) return E_POINTER;
    std::lock_guard guard(filterLock);
    *indexFile = indexMode;
    return S_OK;
}

HRESULT WMAsfWriter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*)
{
    if (!name) return E_POINTER;
    std::u16string text;
    for (std::size_t i = 0; name[i] != u'\0'; ++i) {
        if (i >= MaxFileNameLength) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        text.push_back(name[i]);
    }
    if (text.empty()) return E_INVALIDARG;
    std::lock_guard guard(filterLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    fileName = std::move(text);
    return S_OK;
}

HRESULT WMAsfWriter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type)
{
    if (!name) return E_POINTER;
    *name = nullptr;
    std::lock_guard guard(filterLock);
    if (fileName.empty()) return E_FAIL;
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((fileName.size() + 1) * sizeof(OLECHAR)));
    if (!copy) return E_OUTOFMEMORY;
    std::copy(fileName.begin(), fileName.end(), copy);
    copy[fileName.size()] = u'\0';
    *name = copy;
    if (type) *type = AM_MEDIA_TYPE{};
    return S_OK;
}

// ---- States ----

HRESULT WMAsfWriter::OnPause()
{
    if (state != State_Stopped) return S_OK;
    if (inputs.empty() || fileName.empty()) return VFW_E_NOT_CONNECTED;
    if (std::any_of(inputs.begin(), inputs.end(), [](AsfInputPin* pin) { return !pin->IsConnected(); }))
        return VFW_E_NOT_CONNECTED;
    const HRESULT hr = StartFile();
    if (FAILED(hr)) NotifyEvent(EC_ERRORABORT, hr, 0);
    return S_OK;
}

HRESULT WMAsfWriter::StartFile()
{
    std::vector<MovieInputFormat> formats;
    for (AsfInputPin* pin : inputs) formats.push_back(InputFormatOf(pin->ConnectionType().Record()));
    const MovieFormat movieFormat = FileFormat();
    std::lock_guard guard(writeLock);
    ended.assign(inputs.size(), false);
    session = Session::Writing;
    failure = file.Open(Utf8FromWide(fileName), streams, formats, movieFormat);
    if (FAILED(failure)) session = Session::Failed;
    return failure;
}

HRESULT WMAsfWriter::OnStop()
{
    std::lock_guard guard(writeLock);
    if (session == Session::Writing) file.Abandon();
    session = Session::Idle;
    return S_OK;
}

void WMAsfWriter::Fail(HRESULT hr)
{
    file.Abandon();
    session = Session::Failed;
    failure = hr;
}

// ---- Streaming ----

HRESULT WMAsfWriter::Deliver(AsfInputPin& pin, IMediaSample* sample)
{
    HRESULT hr;
    {
        std::lock_guard guard(writeLock);
        if (session == Session::Failed) return failure;
        if (session != Session::Writing || state == State_Stopped) return VFW_E_WRONG_STATE;
        const std::size_t index = pin.StreamIndex();
        if (ended[index]) return VFW_E_SAMPLE_REJECTED_EOS;
        BYTE* data = nullptr;
        hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        const LONG length = sample->GetActualDataLength();
        if (length < 0) return VFW_E_BUFFER_UNDERFLOW;
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        const HRESULT timed = sample->GetTime(&start, &stop);
        if (FAILED(timed)) return VFW_E_SAMPLE_TIME_NOT_SET;
        if (timed == VFW_S_NO_STOP_TIME) stop = start;
        const auto size = static_cast<std::size_t>(length);
        hr = streams[index].IsVideo() ? file.WriteVideo(index, data, size, start, stop)
                                      : file.WriteAudio(index, data, size, start);
        // A short frame is the sender's fault: the file is still good.
        if (hr == VFW_E_BUFFER_UNDERFLOW || SUCCEEDED(hr)) return hr;
        Fail(hr);
    }
    NotifyEvent(EC_ERRORABORT, hr, 0);
    return hr;
}

HRESULT WMAsfWriter::EndOfInput(AsfInputPin& pin)
{
    HRESULT hr;
    {
        std::lock_guard guard(writeLock);
        if (session != Session::Writing) return S_OK;
        ended[pin.StreamIndex()] = true;
        if (std::find(ended.begin(), ended.end(), false) != ended.end()) return S_OK;
        hr = file.Finish();
        if (FAILED(hr)) {
            Fail(hr);
        } else {
            session = Session::Finished;
        }
    }
    if (FAILED(hr)) {
        NotifyEvent(EC_ERRORABORT, hr, 0);
    } else {
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    }
    return S_OK;
}
