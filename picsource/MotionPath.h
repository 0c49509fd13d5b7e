// The pan and zoom of one picture of a slide show ("Ken Burns"): which part of the
// frame's content the frame shows as the picture's time runs from 0 to 1. Chosen per
// picture from a seed and the picture's index, so that a show looks the same every
// time it is made; seed 0 is a seed like any other.
#pragma once

#include "platform/com/Com.h"

class MotionPath {
public:
    // The shown part, in frame pixels from the bottom-left corner (fractional).
    struct View {
        double left = 0;
        double bottom = 0;
        double width = 0;
        double height = 0;
    };

    // Zooms by `strength` percent, in or out, and pans from one side (or corner, or the
    // centre) to the opposite one.
    static MotionPath For(LONG seed, LONG picture, LONG strength);

    View At(double progress, LONG width, LONG height) const;
    double LargestZoom() const { return zoomFrom > zoomTo ? zoomFrom : zoomTo; }

    double zoomFrom = 1;
    double zoomTo = 1;
    // Where the view lies in the room the zoom leaves: 0 left (bottom) .. 1 right (top).
    double panFromX = 0.5;
    double panFromY = 0.5;
    double panToX = 0.5;
    double panToY = 0.5;
};
