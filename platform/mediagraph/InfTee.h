// CLSID_InfTee: one input, and always one free output besides the connected
// ones. Every sample that arrives is delivered, as the same sample, to every
// connected output in turn; end-of-stream, flushes and new segments are
// passed to every connected output.
//
// Outputs connect only after the input, take the input's connection type and
// get the input's allocator, read-only, since all of them see the same buffer.
// Outputs are never removed: one that is disconnected becomes free again, so
// the filter has at most one more output than it ever had connections.
#pragma once

#include "platform/mediagraph/PlatformFilter.h"
#include "platform/mediagraph/TeeInputPin.h"
#include "platform/mediagraph/TeeOutputPin.h"

#include <memory>
#include <vector>

class InfTee final : public PlatformFilter {
public:
    InfTee();

    // Under the filter lock.
    void EnsureFreeOutput();
    TeeInputPin& Input() { return input; }
    // Every connected output; taken under the filter lock.
    std::vector<TeeOutputPin*> ConnectedOutputs();

private:
    ~InfTee() override = default;

    std::vector<PlatformPin*> Pins() override;
    HRESULT OnStop() override;

    TeeInputPin input;
    std::vector<std::unique_ptr<TeeOutputPin>> outputs;
};
