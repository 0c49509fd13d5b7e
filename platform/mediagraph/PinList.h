// The pins of a filter, as the graph manager and the capture graph builder
// look for them.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"

#include <vector>

// The pins of one direction, of the major type (null: any), unconnected only if asked.
std::vector<ComPtr<IPin>> MatchingPins(IBaseFilter* filter, PIN_DIRECTION direction, const GUID* type,
                                       bool unconnectedOnly);
// The peer of a pin; none when unconnected.
ComPtr<IPin> PeerOf(IPin* pin);
