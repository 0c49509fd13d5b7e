// IEnumPins over a source filter's pin array. It remembers the filter's pin
// version: Next refreshes itself after a change and never hands a pin out twice;
// Skip and Clone answer VFW_E_ENUM_OUT_OF_SYNC until Reset.
#pragma once

#include "picsource/ObjectBase.h"
#include "platform/mediagraph/MediaGraph.h"

#include <vector>

class SourceFilterBase;
class SourceStreamBase;

class PinEnumerator final : public ObjectBase, public IEnumPins {
public:
    // Copies the position and the pins handed out of `other` when given.
    PinEnumerator(SourceFilterBase& filter, const PinEnumerator* other);
    ~PinEnumerator() override;

    OBJECTBASE_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumPins** copy) override;

private:
    bool OutOfSync();
    bool HandedOut(const SourceStreamBase* pin) const;

    SourceFilterBase& filter;
    int position = 0;
    int pinCount = 0;
    LONG version = 0;
    std::vector<const SourceStreamBase*> handedOut;
};
