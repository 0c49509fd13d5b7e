#include "platform/wmformat/MovieWriterFilter.h"

#include "platform/base/WideText.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace {

// Linux paths are at most PATH_MAX bytes; a longer name cannot be opened.
constexpr std::size_t kMaxFileNameLength = 4096;

std::u16string PinName(const GUID& majorType, std::size_t ordinal)
{
    const std::string number = (ordinal + 1 < 10 ? "0" : "") + std::to_string(ordinal + 1);
    return WideFromUtf8((majorType == MEDIATYPE_Video ? "Video Input " : "Audio Input ") + number);
}

MovieInput InputOf(const WriterInputPin& pin)
{
    MovieInput input;
    const AM_MEDIA_TYPE& type = pin.ConnectionType().Record();
    if (pin.MajorType() == MEDIATYPE_Video) {
        WriterInputPin::AcceptsVideo(type, &input.video);
    } else {
        WriterInputPin::AcceptsAudio(type, &input.audio);
    }
    return input;
}

} // namespace

MovieWriterFilter::MovieWriterFilter(const CLSID& classId) : PlatformFilter(classId) {}

HRESULT MovieWriterFilter::QueryOtherInterface(REFIID iid, void** object)
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

std::vector<PlatformPin*> MovieWriterFilter::Pins() { return {inputs.begin(), inputs.end()}; }

// ---- Configuration ----

HRESULT MovieWriterFilter::ConfigureFilterUsingProfileId(DWORD) { return E_NOTIMPL; }
HRESULT MovieWriterFilter::GetCurrentProfileId(DWORD*) { return E_NOTIMPL; }
HRESULT MovieWriterFilter::ConfigureFilterUsingProfileGuid(REFGUID) { return E_NOTIMPL; }
HRESULT MovieWriterFilter::GetCurrentProfileGuid(GUID*) { return E_NOTIMPL; }

WriterInputPin* MovieWriterFilter::PinFor(const GUID& majorType, std::size_t ordinal)
{
    const std::u16string name = PinName(majorType, ordinal);
    for (const auto& pin : madePins) {
        if (pin->Name() == name) return pin.get();
    }
    madePins.push_back(std::make_unique<WriterInputPin>(*this, name, majorType));
    return madePins.back().get();
}

HRESULT MovieWriterFilter::ConfigureFilterUsingProfile(IWMProfile* newProfile)
{
    if (!newProfile) return E_POINTER;
    std::lock_guard guard(filterLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (std::any_of(inputs.begin(), inputs.end(), [](WriterInputPin* pin) { return pin->IsConnected(); }))
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
    std::vector<WriterInputPin*> pins;
    std::size_t videos = 0;
    std::size_t audios = 0;
    for (std::size_t i = 0; i < read.size(); ++i) {
        WriterInputPin* pin = read[i].IsVideo() ? PinFor(MEDIATYPE_Video, videos++) : PinFor(MEDIATYPE_Audio, audios++);
        pin->SetStreamIndex(i);
        pins.push_back(pin);
    }
    inputs = std::move(pins);
    streams = std::move(read);
    profile = ComPtr<IWMProfile>(newProfile);
    return S_OK;
}

HRESULT MovieWriterFilter::GetCurrentProfile(IWMProfile** result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(filterLock);
    *result = ComPtr<IWMProfile>(profile).Detach();
    return *result ? S_OK : E_FAIL;
}

HRESULT MovieWriterFilter::SetIndexMode(BOOL indexFile)
{
    std::lock_guard guard(filterLock);
    indexMode = indexFile;
    return S_OK;
}

HRESULT MovieWriterFilter::GetIndexMode(BOOL* indexFile)
{
    if (!indexFile) return E_POINTER;
    std::lock_guard guard(filterLock);
    *indexFile = indexMode;
    return S_OK;
}

HRESULT MovieWriterFilter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*)
{
    if (!name) return E_POINTER;
    std::u16string text;
    for (std::size_t i = 0; name[i] != u'\0'; ++i) {
        if (i >= kMaxFileNameLength) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        text.push_back(name[i]);
    }
    if (text.empty()) return E_INVALIDARG;
    std::lock_guard guard(filterLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    fileName = std::move(text);
    return S_OK;
}

HRESULT MovieWriterFilter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type)
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

HRESULT MovieWriterFilter::OnPause()
{
    if (state != State_Stopped) return S_OK;
    if (inputs.empty() || fileName.empty()) return VFW_E_NOT_CONNECTED;
    if (std::any_of(inputs.begin(), inputs.end(), [](WriterInputPin* pin) { return !pin->IsConnected(); }))
        return VFW_E_NOT_CONNECTED;
    const HRESULT hr = StartFile();
    if (FAILED(hr)) NotifyEvent(EC_ERRORABORT, hr, 0);
    return S_OK;
}

HRESULT MovieWriterFilter::StartFile()
{
    std::vector<MovieInput> formats;
    inputBytes.clear();
    for (WriterInputPin* pin : inputs) {
        formats.push_back(InputOf(*pin));
        inputBytes.push_back(static_cast<std::size_t>(formats.back().video.FrameBytes()));
    }
    queue.Start(inputs.size());
    HRESULT hr = file.Open(Utf8FromWide(fileName), streams, formats, FileFormat());
    if (SUCCEEDED(hr)) {
        try {
            encoder = std::thread(&MovieWriterFilter::EncodeQueued, this);
        } catch (const std::system_error&) {
            file.Abandon();
            hr = E_OUTOFMEMORY;
        }
    }
    if (FAILED(hr)) queue.Close(hr);
    return hr;
}

MovieWriterFilter::~MovieWriterFilter() { StopEncoding(); }

HRESULT MovieWriterFilter::OnStop()
{
    StopEncoding();
    // A finished file has its name already; anything else goes.
    file.Abandon();
    return S_OK;
}

// Neither side waits for the filter lock, so the queue's close always reaches
// a sender held by a full queue and an encoding thread waiting for work, and the
// interrupt one repeating a picture's frame at a constant rate.
void MovieWriterFilter::StopEncoding()
{
    queue.Close(VFW_E_WRONG_STATE);
    file.Interrupt();
    if (encoder.joinable()) encoder.join();
}

// ---- Streaming ----

HRESULT MovieWriterFilter::Deliver(WriterInputPin& pin, IMediaSample* sample)
{
    if (state == State_Stopped) return VFW_E_WRONG_STATE;
    const std::size_t index = pin.StreamIndex();
    HRESULT hr = queue.Admits(index);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const LONG length = sample->GetActualDataLength();
    if (length < 0) return VFW_E_BUFFER_UNDERFLOW;
    EncodeItem item;
    const HRESULT timed = sample->GetTime(&item.start, &item.stop);
    if (FAILED(timed)) return VFW_E_SAMPLE_TIME_NOT_SET;
    if (timed == VFW_S_NO_STOP_TIME) item.stop = item.start;
    item.size = data ? static_cast<std::size_t>(length) : 0;
    item.kind = streams[index].IsVideo() ? EncodeItem::Kind::Video : EncodeItem::Kind::Audio;
    // A short frame is the sender's fault: the file is still good.
    if (item.kind == EncodeItem::Kind::Video && item.size < inputBytes[index]) return VFW_E_BUFFER_UNDERFLOW;
    item.stream = index;
    // Zeros where the scaler reads past the frame keep a movie the same bytes every time.
    constexpr std::size_t kPadding = FfmpegMovieEncoder::kInputPadding;
    if (item.kind == EncodeItem::Kind::Video && pin.OwnsSample(sample)) {
        // Past the buffer's end the allocator keeps zeros; within it, the frame's end is cleared here.
        const auto bufferBytes = static_cast<std::size_t>(std::max<LONG>(sample->GetSize(), 0));
        std::fill(data + item.size, data + std::max(item.size, std::min(item.size + kPadding, bufferBytes)), BYTE{0});
        item.sample = ComPtr<IMediaSample>(sample);
        item.bytes = data;
        return queue.Push(std::move(item));
    }
    // The sample goes back to its sender now: its allocator may have no other.
    item.data = queue.TakeBuffer();
    item.data.assign(data, data + item.size);
    if (item.kind == EncodeItem::Kind::Video) item.data.resize(item.size + kPadding);
    item.bytes = item.data.data();
    return queue.Push(std::move(item));
}

HRESULT MovieWriterFilter::EndOfInput(WriterInputPin& pin)
{
    EncodeItem end;
    end.stream = pin.StreamIndex();
    queue.Push(std::move(end));
    return S_OK;
}

void MovieWriterFilter::EncodeQueued()
{
    std::vector<bool> ended(streams.size(), false);
    EncodeItem item;
    while (queue.Pop(&item)) {
        const HRESULT hr = Encode(item, ended);
        queue.GiveBack(std::move(item.data));
        item.sample.Reset();
        if (FAILED(hr)) {
            file.Abandon();
            if (queue.Close(hr)) NotifyEvent(EC_ERRORABORT, hr, 0);
            return;
        }
        if (hr == S_FALSE) {
            if (queue.Close(VFW_E_WRONG_STATE))
                NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
            return;
        }
    }
}

HRESULT MovieWriterFilter::Encode(const EncodeItem& item, std::vector<bool>& ended)
{
    switch (item.kind) {
    case EncodeItem::Kind::Video:
        return file.WriteVideo(item.stream, item.bytes, item.size, item.start, item.stop);
    case EncodeItem::Kind::Audio:
        return file.WriteAudio(item.stream, item.bytes, item.size, item.start);
    case EncodeItem::Kind::End:
        ended[item.stream] = true;
        if (std::find(ended.begin(), ended.end(), false) != ended.end()) return S_OK;
        const HRESULT hr = file.Finish();
        return FAILED(hr) ? hr : S_FALSE;
    }
    return E_UNEXPECTED;
}
