// Filters of the graph tests, made on the platform's filter and pin base:
// a push source of small RGB24 frames on its own thread, and a sink with one
// input per major type it is given, which keeps the times (and when asked the
// bytes) of what it receives. Both write their state changes to a shared log,
// so tests can see the order in which the graph told them.
#pragma once

#include "tests/common/TestVideoType.h"
#include "tests/common/TypedOutputPin.h"

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/PlatformObject.h"
#include "platform/mediagraph/PlatformFilter.h"
#include "platform/mediagraph/PlatformPin.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class StateLog {
public:
    void Add(const std::string& entry);
    std::vector<std::string> Entries();
    void Clear();

private:
    std::mutex lock;
    std::vector<std::string> entries;
};

class TestSource;

// Agrees the allocator with its peer as it connects, as the picture source does.
class TestOutputPin final : public TypedOutputPin {
public:
    TestOutputPin(TestSource& source, OwnedMediaType type);
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;
    ComPtr<IMemInputPin> Downstream() const { return downstream; }

private:
    void BreakConnect() override;

    ComPtr<IMemInputPin> downstream;
};

class TestSource final : public PlatformFilter {
public:
    TestSource(std::string name, StateLog* log, int frames, REFERENCE_TIME frameTime, LONG width = 8, LONG height = 4);
    TestOutputPin& Output() { return output; }
    IMemAllocator* AllocatorInUse() { return allocator.Get(); }
    void SetAllocator(ComPtr<IMemAllocator> chosen) { allocator = std::move(chosen); }
    int Delivered() const { return delivered; }

private:
    ~TestSource() override;
    std::vector<PlatformPin*> Pins() override { return {&output}; }
    HRESULT OnStop() override;
    HRESULT OnPause() override;
    HRESULT OnRun(REFERENCE_TIME start) override;
    void Stream();
    void FillFrame(BYTE* pixels, LONG length, int index);

    std::string name;
    StateLog* log;
    const int frames;
    const REFERENCE_TIME frameTime;
    TestOutputPin output;
    ComPtr<IMemAllocator> allocator;
    std::thread worker;
    std::atomic<int> delivered{0};
};

class TestSink;

class TestInputPin final : public PlatformPin {
public:
    TestInputPin(TestSink& sink, std::u16string name, GUID majorType, GUID subtype);
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<OwnedMediaType> OfferedTypes() override;

    TestSink& sink;
    GUID majorType;
    GUID subtype; // GUID_NULL: any
};

class TestSink final : public PlatformFilter {
public:
    // A subtype other than GUID_NULL narrows what every input accepts.
    TestSink(std::string name, StateLog* log, std::vector<GUID> majorTypes = {MEDIATYPE_Video},
             GUID subtype = GUID_NULL);
    TestInputPin& Input(std::size_t index = 0) { return *inputs[index]; }

    struct Stamp {
        REFERENCE_TIME start;
        REFERENCE_TIME stop;
        LONG bytes;
    };
    // The received samples' times and lengths in order, and after KeepData their bytes end to end.
    std::vector<Stamp> Stamps();
    void KeepData() { keepData = true; }
    std::vector<BYTE> Bytes();
    // Waits until `count` samples have come in all; false when they did not within ten seconds
    // (a hang, not a timing).
    bool WaitForSamples(std::size_t count);
    void Keep(IMediaSample* sample);

    std::atomic<int> received{0};
    std::atomic<int> endsOfStream{0};
    std::atomic<int> flushes{0};
    std::atomic<int> segments{0};
    std::atomic<IMediaSample*> lastSample{nullptr};
    // A failure to report instead of completing at end-of-stream.
    HRESULT failAtEnd = S_OK;

    void LogReceipt(const std::string& what) { log->Add(name + ":" + what); }
    bool Stopped() { return State() == State_Stopped; }

private:
    ~TestSink() override = default;
    std::vector<PlatformPin*> Pins() override;
    HRESULT OnStop() override;
    HRESULT OnPause() override;
    HRESULT OnRun(REFERENCE_TIME start) override;

    std::string name;
    StateLog* log;
    std::vector<std::unique_ptr<TestInputPin>> inputs;
    std::atomic<bool> keepData{false};
    std::mutex keptLock;
    std::condition_variable kept;
    std::vector<Stamp> stamps;
    std::vector<BYTE> bytes;
};
