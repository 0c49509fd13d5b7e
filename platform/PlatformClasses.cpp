// The platform's composition: the table of classes each subsystem serves, kept above
// the subsystems so that the COM run time beneath them includes none of them.
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
