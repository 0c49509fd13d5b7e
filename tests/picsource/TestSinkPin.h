// A downstream input pin of the tests' own: it offers the media types it is given,
// accepts connections, optionally hands out an allocator of its own, and records
// everything the picture source delivers (frames, times, flushes, segments,
// end-of-stream). It can hold on to samples to starve the source of buffers.
// It is not the graph tests' TestSink: the picture source's tests link no media graph,
// so that they see the library as a peer outside it does, every call in the test's hand.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class TestSinkPin final : public IPin, public IMemInputPin {
public:
    struct Frame {
        std::vector<BYTE> bytes;
        REFERENCE_TIME start = -1;
        REFERENCE_TIME stop = -1;
        bool syncPoint = false;
        int threadPriority = 0;
    };

    TestSinkPin();
    ~TestSinkPin();

    // Types offered by EnumMediaTypes (copied; the sink frees them).
    void Offer(const AM_MEDIA_TYPE& type);
    // With an allocator of its own, GetAllocator hands it out.
    void UseOwnAllocator();
    // Keeps up to `count` delivered samples instead of letting them go back.
    void HoldSamples(int count) { holdLimit = count; }
    void ReleaseHeldSamples();
    // Makes this pin claim to be an output pin.
    void PretendOutput() { direction = PINDIR_OUTPUT; }

    // Waits until `count` frames arrived in all; false on time-out.
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool WaitForEndOfStream(std::chrono::milliseconds limit = std::chrono::seconds(10));

    std::vector<Frame> Frames();
    // "NewSegment <start>", "BeginFlush", "EndFlush", "EndOfStream", "Frame" in order.
    std::vector<std::string> Events();
    IMemAllocator* NotifiedAllocator() const { return notifiedAllocator.Get(); }
    IMemAllocator* OwnAllocator() const { return ownAllocator.Get(); }
    const AM_MEDIA_TYPE& ReceivedType() const { return receivedType; }
    IPin* Peer() const { return peer.Get(); }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }

    // IPin
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mediaType) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* result) override;
    HRESULT QueryId(LPWSTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* mediaType) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT ReceiveCanBlock() override { return S_OK; }

private:
    void Record(const std::string& event);
    void ClearConnection();

    std::atomic<ULONG> references{1};
    PIN_DIRECTION direction = PINDIR_INPUT;
    std::vector<AM_MEDIA_TYPE> offered;
    ComPtr<IMemAllocator> ownAllocator;
    ComPtr<IMemAllocator> notifiedAllocator;
    ComPtr<IPin> peer;
    AM_MEDIA_TYPE receivedType{};

    std::mutex lock;
    std::condition_variable changed;
    bool flushing = false;
    bool endOfStream = false;
    int holdLimit = 0;
    std::vector<ComPtr<IMediaSample>> held;
    std::vector<Frame> frames;
    std::vector<std::string> events;
};
