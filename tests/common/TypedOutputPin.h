// The output pin of the tests' own sources: it offers one media type and
// connects with it alone. Its filter agrees the allocator, unless a pin built on it
// does so as it connects.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

class TypedOutputPin : public PlatformPin {
public:
    TypedOutputPin(PlatformFilter& filter, std::u16string name, OwnedMediaType type);
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;

protected:
    const AM_MEDIA_TYPE& Type() const { return type.Record(); }

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<OwnedMediaType> OfferedTypes() override { return {type}; }

    OwnedMediaType type;
};
