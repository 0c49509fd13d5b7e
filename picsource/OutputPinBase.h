// An output pin's connection machinery: IPin and IQualityControl, the agreement of a
// media type with a downstream input pin, the choice of an allocator, and the
// delivery calls the streaming loop makes. The pin lives inside its filter: its
// AddRef and Release count the filter, and its lock is the filter's state lock.
//
// Derived pins decide GetMediaType (by position), CheckMediaType and DecideBufferSize.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/OwnedMediaType.h"

#include <atomic>
#include <mutex>
#include <string>

class SourceFilterBase;

class OutputPinBase : public IPin, public IQualityControl {
public:
    OutputPinBase(SourceFilterBase& filter, const char16_t* name);
    virtual ~OutputPinBase();
    OutputPinBase(const OutputPinBase&) = delete;
    OutputPinBase& operator=(const OutputPinBase&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** object);

    // IPin
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mediaType) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* mediaType) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IQualityControl (Notify is the derived pin's)
    HRESULT SetSink(IQualityControl* sink) override;

    virtual LONG GetMediaTypeVersion();
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
    virtual HRESULT CheckConnect(IPin* peer);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* peer);
    // S_OK and the type at `position`, VFW_S_NO_MORE_ITEMS past the last, E_INVALIDARG below 0.
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT DecideAllocator(IMemInputPin* input, ComPtr<IMemAllocator>& chosen);
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    virtual HRESULT Deliver(IMediaSample* sample);
    virtual HRESULT InitAllocator(ComPtr<IMemAllocator>& created);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    bool IsConnected();
    IPin* AsPin() { return this; }

protected:
    SourceFilterBase& Filter() { return filter; }
    // The connection type; read under the filter's state lock.
    const AM_MEDIA_TYPE& ConnectionType() const { return connectionType.Record(); }
    // Makes enumerators already handed out report that the types changed.
    void BumpMediaTypeVersion();

private:
    HRESULT AgreeMediaType(IPin* peer, const AM_MEDIA_TYPE* proposal);
    HRESULT TryMediaTypes(IPin* peer, const AM_MEDIA_TYPE* proposal, IEnumMediaTypes* types);
    HRESULT AttemptConnection(IPin* peer, const AM_MEDIA_TYPE* type);
    // Checks the peer and the type, then keeps both.
    HRESULT AcceptPeer(IPin* peer, const AM_MEDIA_TYPE* type);
    HRESULT CheckMediaTypeForConnection(const AM_MEDIA_TYPE* type);
    void ForgetPeer();
    HRESULT OfferAllocator(IMemInputPin* input, IMemAllocator* candidate, ALLOCATOR_PROPERTIES& request);

    SourceFilterBase& filter;
    std::recursive_mutex& stateLock;
    const std::u16string pinName;
    ComPtr<IPin> connected;
    bool runTimeError = false;
    IQualityControl* qualitySink = nullptr;
    std::atomic<LONG> mediaTypeVersion{1};
    OwnedMediaType connectionType;
    REFERENCE_TIME segmentStart = 0;
    REFERENCE_TIME segmentStop = 0x7FFFFFFFFFFFFFFFLL;
    double segmentRate = 1.0;
    ComPtr<IMemAllocator> allocator;
    ComPtr<IMemInputPin> inputPin;
};
