#include "tests/common/TestFilters.h"

#include <chrono>
#include <cstring>

namespace {

const CLSID CLSID_TestSource{0x6D1C0001, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x01}};
const CLSID CLSID_TestSink{0x6D1C0002, 0x1111, 0x4222, {0x83, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x02}};

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

} // namespace

void StateLog::Add(const std::string& entry)
{
    std::lock_guard guard(lock);
    entries.push_back(entry);
}

std::vector<std::string> StateLog::Entries()
{
    std::lock_guard guard(lock);
    return entries;
}

void StateLog::Clear()
{
    std::lock_guard guard(lock);
    entries.clear();
}

// ---- Source ----

TestOutputPin::TestOutputPin(TestSource& source, OwnedMediaType mediaType)
    : TypedOutputPin(source, u"Out", std::move(mediaType))
{
}

HRESULT TestOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType)
{
    if (!receivePin) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    HRESULT hr = CheckConnectable();
    if (FAILED(hr)) return hr;
    if (mediaType && mediaType->majortype != GUID_NULL && mediaType->majortype != Type().majortype) {
        return VFW_E_NO_ACCEPTABLE_TYPES;
    }
    ComPtr<IMemInputPin> memInput;
    if (FAILED(receivePin->QueryInterface(IID_IMemInputPin, memInput.ReceiveVoid()))) return VFW_E_NO_TRANSPORT;
    hr = receivePin->ReceiveConnection(this, &Type());
    if (FAILED(hr)) return hr;
    ComPtr<IMemAllocator> agreed;
    if (FAILED(memInput->GetAllocator(agreed.Receive()))) {
        hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                              agreed.ReceiveVoid());
    }
    ALLOCATOR_PROPERTIES request{1, static_cast<LONG>(Type().lSampleSize), 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    if (SUCCEEDED(hr)) hr = agreed->SetProperties(&request, &actual);
    if (SUCCEEDED(hr)) hr = memInput->NotifyAllocator(agreed.Get(), FALSE);
    if (FAILED(hr)) {
        receivePin->Disconnect();
        return hr;
    }
    KeepConnection(receivePin, Type());
    downstream = memInput;
    static_cast<TestSource&>(filter).SetAllocator(agreed);
    return S_OK;
}

void TestOutputPin::BreakConnect()
{
    downstream.Reset();
    static_cast<TestSource&>(filter).SetAllocator(nullptr);
}

TestSource::TestSource(std::string logName, StateLog* stateLog, int frameCount, REFERENCE_TIME frameDuration,
                       LONG width, LONG height)
    : PlatformFilter(CLSID_TestSource),
      name(std::move(logName)),
      log(stateLog),
      frames(frameCount),
      frameTime(frameDuration),
      output(*this, TestVideoType(width, height))
{
}

TestSource::~TestSource()
{
    if (worker.joinable()) worker.join();
}

HRESULT TestSource::OnPause()
{
    log->Add(name + ":Pause");
    if (worker.joinable() || !allocator) return S_OK;
    const HRESULT hr = allocator->Commit();
    if (FAILED(hr)) return hr;
    worker = std::thread([this] { Stream(); });
    return S_OK;
}

HRESULT TestSource::OnRun(REFERENCE_TIME)
{
    log->Add(name + ":Run");
    return S_OK;
}

HRESULT TestSource::OnStop()
{
    log->Add(name + ":Stop");
    if (allocator) allocator->Decommit();
    if (worker.joinable()) worker.join();
    return S_OK;
}

void TestSource::FillFrame(BYTE* pixels, LONG length, int index)
{
    std::memset(pixels, index & 0xFF, static_cast<std::size_t>(length));
}

void TestSource::Stream()
{
    const ComPtr<IMemInputPin> target = output.Downstream();
    for (int index = 0; index < frames; ++index) {
        ComPtr<IMediaSample> sample;
        if (FAILED(allocator->GetBuffer(sample.Receive(), nullptr, nullptr, 0))) return;
        BYTE* pixels = nullptr;
        sample->GetPointer(&pixels);
        FillFrame(pixels, sample->GetSize(), index);
        sample->SetActualDataLength(sample->GetSize());
        REFERENCE_TIME start = index * frameTime;
        REFERENCE_TIME stop = start + frameTime;
        sample->SetTime(&start, &stop);
        if (target->Receive(sample.Get()) != S_OK) return;
        ++delivered;
    }
    if (ComPtr<IPin> peer = output.Peer()) peer->EndOfStream();
}

// ---- Sink ----

TestInputPin::TestInputPin(TestSink& owner, std::u16string pinName, GUID acceptedType, GUID acceptedSubtype)
    : PlatformPin(owner, std::move(pinName), PINDIR_INPUT),
      sink(owner),
      majorType(acceptedType),
      subtype(acceptedSubtype)
{
}

HRESULT TestInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    return type.majortype == majorType && (subtype == GUID_NULL || type.subtype == subtype) ? S_OK : S_FALSE;
}

std::vector<OwnedMediaType> TestInputPin::OfferedTypes()
{
    AM_MEDIA_TYPE type{};
    type.majortype = majorType;
    return {OwnedMediaType(type)};
}

HRESULT TestInputPin::Receive(IMediaSample* sample)
{
    if (sink.Stopped()) return VFW_E_WRONG_STATE;
    sink.lastSample = sample;
    sink.Keep(sample);
    ++sink.received;
    return S_OK;
}

HRESULT TestInputPin::EndOfStream()
{
    if (sink.Stopped()) return S_OK;
    ++sink.endsOfStream;
    sink.LogReceipt("EndOfStream");
    if (FAILED(sink.failAtEnd)) return sink.NotifyEvent(EC_ERRORABORT, sink.failAtEnd, 0);
    return sink.NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(&sink)));
}

HRESULT TestInputPin::BeginFlush()
{
    ++sink.flushes;
    return S_OK;
}

HRESULT TestInputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double)
{
    ++sink.segments;
    return S_OK;
}

TestSink::TestSink(std::string logName, StateLog* stateLog, std::vector<GUID> majorTypes, GUID subtype)
    : PlatformFilter(CLSID_TestSink), name(std::move(logName)), log(stateLog)
{
    for (std::size_t i = 0; i < majorTypes.size(); ++i) {
        inputs.push_back(
            std::make_unique<TestInputPin>(*this, u"In" + Wide(std::to_string(i)), majorTypes[i], subtype));
    }
}

void TestSink::Keep(IMediaSample* sample)
{
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const LONG length = sample->GetActualDataLength();
    Stamp stamp{-1, -1, length};
    sample->GetTime(&stamp.start, &stamp.stop);
    {
        std::lock_guard guard(keptLock);
        if (keepData && data && length > 0) bytes.insert(bytes.end(), data, data + length);
        stamps.push_back(stamp);
    }
    kept.notify_all();
}

bool TestSink::WaitForSamples(std::size_t count)
{
    std::unique_lock guard(keptLock);
    return kept.wait_for(guard, std::chrono::seconds(10), [&] { return stamps.size() >= count; });
}

std::vector<TestSink::Stamp> TestSink::Stamps()
{
    std::lock_guard guard(keptLock);
    return stamps;
}

std::vector<BYTE> TestSink::Bytes()
{
    std::lock_guard guard(keptLock);
    return bytes;
}

std::vector<PlatformPin*> TestSink::Pins()
{
    std::vector<PlatformPin*> pins;
    for (const auto& input : inputs) pins.push_back(input.get());
    return pins;
}

HRESULT TestSink::OnStop()
{
    log->Add(name + ":Stop");
    return S_OK;
}

HRESULT TestSink::OnPause()
{
    log->Add(name + ":Pause");
    return S_OK;
}

HRESULT TestSink::OnRun(REFERENCE_TIME)
{
    log->Add(name + ":Run");
    return S_OK;
}
