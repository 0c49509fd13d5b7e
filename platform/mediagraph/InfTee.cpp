#include "platform/mediagraph/InfTee.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/UnaggregatedInstance.h"

#include "platform/mediagraph/MediaTypes.h"

#include <string>

InfTee::InfTee() : PlatformFilter(CLSID_InfTee), input(*this) { EnsureFreeOutput(); }

HRESULT CreateInfTee(IUnknown* outer, REFIID iid, void** object)
{
    return CreateUnaggregatedInstance<InfTee>(outer, iid, object);
}

void InfTee::EnsureFreeOutput()
{
    for (const auto& output : outputs) {
        if (!output->IsConnected()) return;
    }
    const std::string number = std::to_string(outputs.size() + 1);
    outputs.push_back(std::make_unique<TeeOutputPin>(*this, u"Output" + std::u16string(number.begin(), number.end())));
}

std::vector<TeeOutputPin*> InfTee::ConnectedOutputs()
{
    std::lock_guard guard(filterLock);
    std::vector<TeeOutputPin*> connected;
    for (const auto& output : outputs) {
        if (output->IsConnected()) connected.push_back(output.get());
    }
    return connected;
}

std::vector<PlatformPin*> InfTee::Pins()
{
    std::vector<PlatformPin*> pins{&input};
    for (const auto& output : outputs) pins.push_back(output.get());
    return pins;
}

HRESULT InfTee::OnStop()
{
    input.EndFlushing();
    return S_OK;
}
