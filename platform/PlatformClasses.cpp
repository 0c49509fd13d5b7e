// The media library's composition: the classes its subsystems serve, handed to the COM
// run time beneath as the library is loaded, so that the run time includes none of them.
#include "platform/com/BuiltinClasses.h"

#include "platform/audio/AudioRenderer.h"
#include "platform/editing/MediaDet.h"
#include "platform/editing/RenderEngine.h"
#include "platform/editing/Timeline.h"
#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/wmformat/MediaFileWriter.h"
#include "platform/wmformat/WMAsfWriter.h"

#include <array>

namespace {

const std::array kMediaClasses = {
    BuiltinClass{CLSID_MemoryAllocator, CreateMemoryAllocator},
    BuiltinClass{CLSID_FilterMapper2, CreateFilterMapper2},
    BuiltinClass{CLSID_FilterGraph, CreateFilterGraph},
    BuiltinClass{CLSID_SystemClock, CreateSystemClock},
    BuiltinClass{CLSID_CaptureGraphBuilder2, CreateCaptureGraphBuilder2},
    BuiltinClass{CLSID_InfTee, CreateInfTee},
    BuiltinClass{CLSID_VideoRenderer, CreateVideoRenderer},
    BuiltinClass{CLSID_AMTimeline, Timeline::Create},
    BuiltinClass{CLSID_RenderEngine, RenderEngine::Create},
    BuiltinClass{CLSID_MediaDet, MediaDet::Create},
    BuiltinClass{CLSID_AudioRender, AudioRenderer::Create},
    BuiltinClass{CLSID_WMAsfWriter, CreateWMAsfWriter},
    BuiltinClass{CLSID_MediaFileWriter, CreateMediaFileWriter},
};

[[maybe_unused]] const bool kMediaClassesAdded = (AddBuiltinClasses(kMediaClasses), true);

} // namespace
