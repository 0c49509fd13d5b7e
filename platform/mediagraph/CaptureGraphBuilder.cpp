#include "platform/mediagraph/CaptureGraphBuilder.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/PinList.h"

HRESULT CreateCaptureGraphBuilder2(IUnknown* outer, REFIID iid, void** object)
{
    return CaptureGraphBuilder::Create(outer, iid, object);
}

HRESULT CaptureGraphBuilder::SetFiltergraph(IGraphBuilder* newGraph)
{
    if (!newGraph) return E_POINTER;
    if (graph) return E_UNEXPECTED;
    graph = ComPtr<IGraphBuilder>(newGraph);
    return S_OK;
}

HRESULT CaptureGraphBuilder::EnsureGraph()
{
    if (graph) return S_OK;
    return CreateFilterGraph(nullptr, IID_IGraphBuilder, graph.ReceiveVoid());
}

HRESULT CaptureGraphBuilder::GetFiltergraph(IGraphBuilder** result)
{
    if (!result) return E_POINTER;
    const HRESULT hr = EnsureGraph();
    if (FAILED(hr)) return hr;
    *result = ComPtr<IGraphBuilder>(graph).Detach();
    return S_OK;
}

bool CaptureGraphBuilder::InGraph(IBaseFilter* filter)
{
    FILTER_INFO info{};
    if (FAILED(filter->QueryFilterInfo(&info))) return false;
    const ComPtr<IFilterGraph> owner = ComPtr<IFilterGraph>::Attach(info.pGraph);
    return owner && owner.Get() == static_cast<IFilterGraph*>(graph.Get());
}

HRESULT CaptureGraphBuilder::SourcePins(IUnknown* source, const GUID* type, std::vector<ComPtr<IPin>>* pins)
{
    ComPtr<IPin> pin;
    if (SUCCEEDED(source->QueryInterface(IID_IPin, pin.ReceiveVoid()))) {
        PIN_INFO info{};
        if (FAILED(pin->QueryPinInfo(&info))) return E_INVALIDARG;
        const ComPtr<IBaseFilter> owner = ComPtr<IBaseFilter>::Attach(info.pFilter);
        if (!owner || !InGraph(owner.Get())) return VFW_E_NOT_IN_GRAPH;
        if (info.dir != PINDIR_OUTPUT) return E_INVALIDARG;
        if (!PeerOf(pin.Get())) pins->push_back(pin);
        return S_OK;
    }
    ComPtr<IBaseFilter> filter;
    if (FAILED(source->QueryInterface(IID_IBaseFilter, filter.ReceiveVoid()))) return E_INVALIDARG;
    if (!InGraph(filter.Get())) return VFW_E_NOT_IN_GRAPH;
    *pins = MatchingPins(filter.Get(), PINDIR_OUTPUT, type, true);
    return S_OK;
}

HRESULT CaptureGraphBuilder::ConnectToFilter(const std::vector<ComPtr<IPin>>& outputs, IBaseFilter* filter,
                                             const GUID* type)
{
    HRESULT result = E_FAIL;
    for (const auto& input : MatchingPins(filter, PINDIR_INPUT, type, true)) {
        for (const auto& output : outputs) {
            const HRESULT hr = graph->Connect(output.Get(), input.Get());
            if (SUCCEEDED(hr)) return S_OK;
            result = hr;
        }
    }
    return result;
}

HRESULT CaptureGraphBuilder::RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                                          IBaseFilter* intermediate, IBaseFilter* sink)
{
    if (!source) return E_POINTER;
    if (!sink) return VFW_E_CANNOT_RENDER;
    HRESULT hr = EnsureGraph();
    if (FAILED(hr)) return hr;
    if (!InGraph(sink) || (intermediate && !InGraph(intermediate))) return VFW_E_NOT_IN_GRAPH;
    std::vector<ComPtr<IPin>> outputs;
    hr = SourcePins(source, type, &outputs);
    if (FAILED(hr)) return hr;
    if (category || outputs.empty()) return E_FAIL;
    if (intermediate) {
        hr = ConnectToFilter(outputs, intermediate, type);
        if (FAILED(hr)) return hr;
        outputs = MatchingPins(intermediate, PINDIR_OUTPUT, type, true);
        if (outputs.empty()) return E_FAIL;
    }
    return ConnectToFilter(outputs, sink, type);
}

HRESULT CaptureGraphBuilder::FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category, const GUID* type,
                                     BOOL unconnected, int index, IPin** pin)
{
    if (!source || !pin) return E_POINTER;
    *pin = nullptr;
    ComPtr<IBaseFilter> filter;
    if (FAILED(source->QueryInterface(IID_IBaseFilter, filter.ReceiveVoid()))) return E_INVALIDARG;
    if (category) return E_FAIL;
    const auto pins = MatchingPins(filter.Get(), direction, type, unconnected != FALSE);
    if (index < 0 || static_cast<std::size_t>(index) >= pins.size()) return E_FAIL;
    *pin = ComPtr<IPin>(pins[index]).Detach();
    return S_OK;
}

HRESULT CaptureGraphBuilder::FindInterface(const GUID* category, const GUID*, IBaseFilter* filter, REFIID iid,
                                           void** object)
{
    if (!filter || !object) return E_POINTER;
    *object = nullptr;
    if (category) return E_FAIL;
    return filter->QueryInterface(iid, object);
}

HRESULT CaptureGraphBuilder::SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter**, IFileSinkFilter**)
{
    return E_NOTIMPL;
}
HRESULT CaptureGraphBuilder::ControlStream(const GUID*, const GUID*, IBaseFilter*, REFERENCE_TIME*, REFERENCE_TIME*,
                                           WORD, WORD)
{
    return E_NOTIMPL;
}
HRESULT CaptureGraphBuilder::AllocCapFile(LPCOLESTR, DWORDLONG) { return E_NOTIMPL; }
HRESULT CaptureGraphBuilder::CopyCaptureFile(LPOLESTR, LPOLESTR, int, IAMCopyCaptureFileProgress*) { return E_NOTIMPL; }
