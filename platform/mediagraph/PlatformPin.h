// The common part of the platform filters' pins: IPin, and IMemInputPin for
// input pins. A pin lives inside its filter and counts its references there.
//
// Connections change only while the filter is stopped and under the filter's
// lock. An input pin accepts the connection its derived class agrees to
// (CheckMediaType); output pins make their connections themselves (Connect).
// Input pins do not offer allocators: the upstream pin brings its own.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/OwnedMediaType.h"

#include <string>
#include <vector>

class PlatformFilter;

class PlatformPin : public IPin, public IMemInputPin {
public:
    PlatformPin(PlatformFilter& filter, std::u16string name, PIN_DIRECTION direction);
    PlatformPin(const PlatformPin&) = delete;
    PlatformPin& operator=(const PlatformPin&) = delete;
    virtual ~PlatformPin() = default;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

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
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT ReceiveCanBlock() override;

    const std::u16string& Name() const { return name; }
    bool IsConnected() const { return static_cast<bool>(peer); }
    // The connection type; empty when unconnected. Under the filter lock.
    const OwnedMediaType& ConnectionType() const { return connectionType; }
    ComPtr<IPin> Peer() const { return peer; }
    ComPtr<IMemAllocator> Allocator() const { return allocator; }

protected:
    // S_OK when the pin takes this type.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
    // The types the pin proposes, in order.
    virtual std::vector<OwnedMediaType> OfferedTypes() { return {}; }
    // Hooks under the filter lock, after a connection is made and before it is broken.
    virtual HRESULT CompleteConnect() { return S_OK; }
    virtual void BreakConnect() {}
    // Refuses a connection attempt in the wrong filter state or while connected.
    HRESULT CheckConnectable() const;
    // Keeps a connection made by this (output) pin.
    void KeepConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);

    PlatformFilter& filter;

private:
    const std::u16string name;
    const PIN_DIRECTION direction;
    ComPtr<IPin> peer;
    OwnedMediaType connectionType;
    ComPtr<IMemAllocator> allocator;
};

// The major type of a media type record is GUID_NULL for "any".
bool MediaTypeIsFullySpecified(const AM_MEDIA_TYPE& type);
