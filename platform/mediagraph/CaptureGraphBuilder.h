// CLSID_CaptureGraphBuilder2: builds chains of direct connections in a filter
// graph. RenderStream connects a source (a filter's first unconnected output
// of the major type, or a given output pin) through an optional intermediate
// filter to a sink's unconnected input of that type; the graph's Connect makes
// each link, so no converter is ever inserted.
//
// No pin of this platform has a pin category: with a category given, no pin
// matches. A sink must be named, as no default renderer is chosen.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/GraphControl.h"
#include "platform/mediagraph/PlatformObject.h"

#include <vector>

class CaptureGraphBuilder final
    : public PlatformObject<CaptureGraphBuilder, ICaptureGraphBuilder2, IID_ICaptureGraphBuilder2> {
public:
    CaptureGraphBuilder() = default;

    HRESULT SetFiltergraph(IGraphBuilder* graph) override;
    HRESULT GetFiltergraph(IGraphBuilder** graph) override;
    HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux, IFileSinkFilter** sink) override;
    HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                          void** object) override;
    HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                         IBaseFilter* sink) override;
    HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, REFERENCE_TIME* start,
                          REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override;
    HRESULT AllocCapFile(LPCOLESTR file, DWORDLONG size) override;
    HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                            IAMCopyCaptureFileProgress* callback) override;
    HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category, const GUID* type, BOOL unconnected,
                    int index, IPin** pin) override;

private:
    friend PlatformObject;
    ~CaptureGraphBuilder() = default;

    HRESULT EnsureGraph();
    bool InGraph(IBaseFilter* filter);
    // The source's output pins to start from; empty when there are none.
    HRESULT SourcePins(IUnknown* source, const GUID* type, std::vector<ComPtr<IPin>>* pins);
    // Connects one of the outputs to an unconnected input of the filter.
    HRESULT ConnectToFilter(const std::vector<ComPtr<IPin>>& outputs, IBaseFilter* filter, const GUID* type);

    ComPtr<IGraphBuilder> graph;
};
