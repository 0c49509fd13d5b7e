#include "picsource/ShowTimeline.h"

#include <algorithm>

ShowTimeline::ShowTimeline(LONG pictures, LONG milliseconds, const ShowOptions& options)
    : count(std::max<LONG>(pictures, 0)), repTime(milliseconds), show(options)
{
}

REFERENCE_TIME ShowTimeline::Boundary(LONG slot) const
{
    if (show.lengthMs > 0 && count > 0)
        return static_cast<LONGLONG>(slot) * show.lengthMs * kUnitsPerMillisecond / count;
    return static_cast<LONGLONG>(slot) * repTime * kUnitsPerMillisecond;
}

LONG ShowTimeline::SlotAt(REFERENCE_TIME t) const
{
    if (t < 0) return 0;
    if (count == 0 || t >= Boundary(count)) return count;
    // A first guess from the mean slot length, then a step or two to the exact one.
    LONG slot = static_cast<LONG>(std::min<LONGLONG>(count - 1, t * count / Boundary(count)));
    while (slot > 0 && Boundary(slot) > t) --slot;
    while (slot + 1 < count && Boundary(slot + 1) <= t) ++slot;
    return slot;
}

REFERENCE_TIME ShowTimeline::FrameTime(LONGLONG frame) const { return frame * kUnitsPerSecond / show.framesPerSecond; }

LONGLONG ShowTimeline::FirstFrameFrom(REFERENCE_TIME t) const
{
    if (t <= 0) return 0;
    LONGLONG frame = t * show.framesPerSecond / kUnitsPerSecond;
    while (FrameTime(frame) < t) ++frame;
    return frame;
}

REFERENCE_TIME ShowTimeline::HalfTransition(LONG slot) const
{
    if (show.transition == TransitionNone || slot <= 0 || slot >= count) return 0;
    const REFERENCE_TIME wanted = static_cast<LONGLONG>(show.transitionMs) * kUnitsPerMillisecond / 2;
    return std::min({wanted, Duration(slot - 1) / 2, Duration(slot) / 2});
}

REFERENCE_TIME ShowTimeline::Fade(LONG slot) const
{
    if (show.fadeInOut == 0 || slot < 0 || slot >= count) return 0;
    const LONG ms = show.transitionMs > 0 ? show.transitionMs / 2 : kDefaultFadeMs;
    return std::min<REFERENCE_TIME>(static_cast<LONGLONG>(ms) * kUnitsPerMillisecond, Duration(slot) / 2);
}
