// The video type of the tests' frames: RGB24, bottom-up, rows padded to four bytes.
#pragma once

#include "platform/mediagraph/OwnedMediaType.h"

OwnedMediaType TestVideoType(LONG width, LONG height, REFERENCE_TIME frameTime = 0);
