// What a slide show draws over its pictures, such as captions: prepared once per
// picture and drawn on each frame onto that picture's own layer, before the layers are
// mixed, so that it takes the picture's share of every transition (a crossfade at
// weight w shows it at opacity 256 - w on the outgoing picture, w on the incoming).
#pragma once

#include "platform/com/Com.h"

class ShowOverlay {
public:
    virtual ~ShowOverlay() = default;
    // Before the first frame of picture `index` (an index into the picture list).
    virtual void Prepare(LONG index, LONG width, LONG height) = 0;
    // Onto a width x height frame of picture `index` (bottom-up B G R, rows padded to 4 bytes).
    virtual void Draw(LONG index, BYTE* layer, LONG width, LONG height) = 0;
    // After its last frame.
    virtual void Forget(LONG index) = 0;
};
