// A source of the tests' own that sends what a test hands it, on the test's
// thread: samples of one media type from an allocator of one buffer (as the
// picture source has), end-of-stream and flushes. A sample must come back
// before the next is sent: Send fails with VFW_E_TIMEOUT when the receiver
// still holds it.
#pragma once

#include "tests/common/TypedOutputPin.h"

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/PlatformFilter.h"

#include <vector>

class PushSource final : public PlatformFilter {
public:
    PushSource(OwnedMediaType type, LONG bufferBytes);

    IPin* Output() { return &output; }
    // The receiver's answer to the sample.
    HRESULT Send(const std::vector<BYTE>& data, REFERENCE_TIME start, REFERENCE_TIME stop);
    HRESULT SendEnd();
    HRESULT SendBeginFlush();
    HRESULT SendEndFlush();

private:
    ~PushSource() override = default;
    std::vector<PlatformPin*> Pins() override { return {&output}; }
    HRESULT OnPause() override;
    HRESULT OnStop() override;

    const LONG bufferBytes;
    TypedOutputPin output;
    ComPtr<IMemAllocator> allocator;
    ComPtr<IMemInputPin> target;
};
