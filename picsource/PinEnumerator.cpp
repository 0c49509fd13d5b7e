#include "picsource/PinEnumerator.h"

#include "picsource/SourceFilterBase.h"
#include "picsource/SourceStreamBase.h"

#include <algorithm>
#include <new>

PinEnumerator::PinEnumerator(SourceFilterBase& enumerated, const PinEnumerator* other)
    : ObjectBase(nullptr), filter(enumerated)
{
    enumerated.AddRef();
    if (other) {
        position = other->position;
        pinCount = other->pinCount;
        version = other->version;
        handedOut = other->handedOut;
    } else {
        pinCount = filter.GetPinCount();
        version = filter.GetPinVersion();
    }
}

PinEnumerator::~PinEnumerator() { filter.Release(); }

HRESULT PinEnumerator::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), object);
    return ObjectBase::NonDelegatingQueryInterface(iid, object);
}

bool PinEnumerator::OutOfSync() { return version != filter.GetPinVersion(); }

bool PinEnumerator::HandedOut(const SourceStreamBase* pin) const
{
    return std::find(handedOut.begin(), handedOut.end(), pin) != handedOut.end();
}

HRESULT PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched)
{
    if (!pins || (count > 1 && !fetched)) return E_POINTER;
    if (OutOfSync()) {
        // Start again over the new array; pins already given stay given.
        position = 0;
        pinCount = filter.GetPinCount();
        version = filter.GetPinVersion();
    }
    ULONG given = 0;
    while (given < count && position < pinCount) {
        SourceStreamBase* pin = filter.GetPin(position++);
        if (!pin || HandedOut(pin)) continue;
        handedOut.push_back(pin);
        pins[given] = pin->AsPin();
        pins[given]->AddRef();
        ++given;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT PinEnumerator::Skip(ULONG count)
{
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    const ULONG left = static_cast<ULONG>(pinCount - position);
    if (count > left) return S_FALSE;
    position += static_cast<int>(count);
    return S_OK;
}

HRESULT PinEnumerator::Reset()
{
    position = 0;
    pinCount = filter.GetPinCount();
    version = filter.GetPinVersion();
    handedOut.clear();
    return S_OK;
}

HRESULT PinEnumerator::Clone(IEnumPins** copy)
{
    if (!copy) return E_POINTER;
    *copy = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *copy = new (std::nothrow) PinEnumerator(filter, this);
    if (!*copy) return E_OUTOFMEMORY;
    (*copy)->AddRef();
    return S_OK;
}
