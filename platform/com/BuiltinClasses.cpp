#include "platform/com/BuiltinClasses.h"

#include "platform/audio/AudioRenderer.h"
#include "platform/editing/MediaDet.h"
#include "platform/editing/RenderEngine.h"
#include "platform/editing/Timeline.h"
#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/wmformat/MediaFileWriter.h"

#include <vector>

std::span<const BuiltinClass> BuiltinClasses()
{
    static const std::vector<BuiltinClass> table = {
        {CLSID_MemoryAllocator, CreateMemoryAllocator},
        {CLSID_FilterMapper2, CreateFilterMapper2},
        {CLSID_FilterGraph, CreateFilterGraph},
        {CLSID_SystemClock, CreateSystemClock},
        {CLSID_CaptureGraphBuilder2, CreateCaptureGraphBuilder2},
        {CLSID_InfTee, CreateInfTee},
        {CLSID_VideoRenderer, CreateVideoRenderer},
        {CLSID_AMTimeline, Timeline::Create},
        {CLSID_RenderEngine, RenderEngine::Create},
        {CLSID_MediaDet, MediaDet::Create},
        {CLSID_AudioRender, AudioRenderer::Create},
        {CLSID_WMAsfWriter, CreateWMAsfWriter},
        {CLSID_MediaFileWriter, CreateMediaFileWriter},
    };
    return table;
}

const BuiltinClass* FindBuiltinClass(REFCLSID clsid)
{
    for (const BuiltinClass& entry : BuiltinClasses()) {
        if (entry.clsid == clsid) return &entry;
    }
    return nullptr;
}
