#include "tests/common/TypedOutputPin.h"

#include "platform/mediagraph/PlatformFilter.h"

TypedOutputPin::TypedOutputPin(PlatformFilter& owner, std::u16string pinName, OwnedMediaType offered)
    : PlatformPin(owner, std::move(pinName), PINDIR_OUTPUT), type(std::move(offered))
{
}

HRESULT TypedOutputPin::CheckMediaType(const AM_MEDIA_TYPE& candidate)
{
    return candidate.majortype == type.Record().majortype ? S_OK : S_FALSE;
}

HRESULT TypedOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE*)
{
    if (!receivePin) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    HRESULT hr = CheckConnectable();
    if (FAILED(hr)) return hr;
    hr = receivePin->ReceiveConnection(this, &type.Record());
    if (FAILED(hr)) return hr;
    KeepConnection(receivePin, type.Record());
    return S_OK;
}
