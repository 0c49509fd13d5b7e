// The output pin of the tests' own sources: it offers one media type and
// connects with it alone.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

class TypedOutputPin final : public PlatformPin {
public:
    TypedOutputPin(PlatformFilter& filter, std::u16string name, OwnedMediaType type);
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<OwnedMediaType> OfferedTypes() override { return {type}; }

    OwnedMediaType type;
};
