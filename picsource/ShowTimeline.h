// When each picture of a slide show begins and ends, and how long its transitions and
// fades last, in 100 ns units. Pictures are counted by slot: the k-th picture the
// show delivers (an unreadable picture takes no slot). Every time is computed from an
// index, never summed up, so no rounding error builds up over a long show.
#pragma once

#include "picsource/ShowOptions.h"
#include "platform/mediagraph/MediaGraph.h"

class ShowTimeline {
public:
    // Fade in and out when there is no transition length to take half of.
    static constexpr LONG kDefaultFadeMs = 500;

    ShowTimeline(LONG count, LONG repTime, const ShowOptions& show);

    // Start of slot `slot` (0..count); Boundary(count) is the end of the show.
    REFERENCE_TIME Boundary(LONG slot) const;
    REFERENCE_TIME Duration(LONG slot) const { return Boundary(slot + 1) - Boundary(slot); }
    // The slot that holds time t (count once the show is over).
    LONG SlotAt(REFERENCE_TIME t) const;

    // Frames of 1/framesPerSecond: frame k starts at k x 10^7 / framesPerSecond.
    REFERENCE_TIME FrameTime(LONGLONG frame) const;
    // The first frame that starts at or after t.
    LONGLONG FirstFrameFrom(REFERENCE_TIME t) const;

    // Half the transition centred on the start of slot `slot` (1..count-1), clamped so
    // that it takes at most half of either slot; 0 without a transition.
    REFERENCE_TIME HalfTransition(LONG slot) const;
    // The fade from black at the start of slot `slot`'s picture as the first one, and to
    // black at its end as the last one; 0 without fades.
    REFERENCE_TIME Fade(LONG slot) const;

private:
    LONG count;
    LONG repTime;
    ShowOptions show;
};
