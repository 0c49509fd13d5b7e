#include "platform/mediagraph/PinList.h"

#include "platform/mediagraph/OwnedMediaType.h"

namespace {

// A pin that names no types may still take any; one that names some must name the major type.
bool OffersMajorType(IPin* pin, const GUID& major)
{
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Receive()))) return true;
    bool any = false;
    AM_MEDIA_TYPE* type = nullptr;
    while (types->Next(1, &type, nullptr) == S_OK) {
        any = true;
        const bool matches = type->majortype == major;
        DeleteTaskMediaType(type);
        if (matches) return true;
    }
    return !any;
}

} // namespace

ComPtr<IPin> PeerOf(IPin* pin)
{
    IPin* peer = nullptr;
    if (FAILED(pin->ConnectedTo(&peer))) return nullptr;
    return ComPtr<IPin>::Attach(peer);
}

std::vector<ComPtr<IPin>> MatchingPins(IBaseFilter* filter, PIN_DIRECTION direction, const GUID* type,
                                       bool unconnectedOnly)
{
    std::vector<ComPtr<IPin>> matching;
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Receive()))) return matching;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        ComPtr<IPin> owned = ComPtr<IPin>::Attach(pin);
        PIN_DIRECTION pinDirection;
        if (FAILED(owned->QueryDirection(&pinDirection)) || pinDirection != direction) continue;
        if (unconnectedOnly && PeerOf(owned.Get())) continue;
        if (type && !OffersMajorType(owned.Get(), *type)) continue;
        matching.push_back(owned);
    }
    return matching;
}
