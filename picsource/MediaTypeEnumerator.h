// IEnumMediaTypes over an output pin's types by position. It remembers the pin's
// media-type version: Next, Skip and Clone answer VFW_E_ENUM_OUT_OF_SYNC after a
// change until Reset takes the new version.
#pragma once

#include "picsource/ObjectBase.h"
#include "platform/mediagraph/MediaGraph.h"

class OutputPinBase;

class MediaTypeEnumerator final : public ObjectBase, public IEnumMediaTypes {
public:
    MediaTypeEnumerator(OutputPinBase& pin, const MediaTypeEnumerator* other);
    ~MediaTypeEnumerator() override;

    OBJECTBASE_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** copy) override;

private:
    bool OutOfSync();

    OutputPinBase& pin;
    int position = 0;
    LONG version = 0;
};
