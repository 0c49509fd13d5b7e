#include "platform/wmformat/WMAsfWriter.h"

#include "platform/mediagraph/UnaggregatedInstance.h"

HRESULT CreateWMAsfWriter(IUnknown* outer, REFIID iid, void** object)
{
    return CreateUnaggregatedInstance<WMAsfWriter>(outer, iid, object);
}
