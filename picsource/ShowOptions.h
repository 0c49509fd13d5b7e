// How the picture source makes a slide show of the pictures beyond one still frame
// each: transitions, pan and zoom, captions and a background for letterboxed
// pictures. Shared with the program through IPictureSourceConfig; the zero values
// (ShowOptions{}) keep the frames and their times exactly as they are without them.
#pragma once

#include "platform/com/Com.h"

enum ShowTransition : LONG {
    TransitionNone = 0,      // a hard cut
    TransitionCrossfade = 1, // the next picture blends in over the last one
    TransitionFadeBlack = 2, // out to black, then in from black
    TransitionWipeLeft = 3,  // the next picture uncovered from the right edge towards the left
    TransitionSlideLeft = 4, // the next picture slides in from the right, pushing the last one out
};

enum ShowMotion : LONG {
    MotionNone = 0,
    MotionKenBurns = 1, // each picture slowly zooms in or out and pans
};

enum ShowCaption : LONG {
    CaptionNone = 0,
    CaptionFileName = 1, // the picture's file name, without its folder
    CaptionDate = 2,     // the Exif date taken, else nothing
    CaptionFromFile = 3, // the picture's line of the captions file: name, TAB, text (UTF-8)
};

enum ShowCaptionPlace : LONG {
    CaptionBottom = 0,
    CaptionTop = 1,
};

enum ShowBackground : LONG {
    BackgroundBlack = 0,
    BackgroundBlur = 1, // the picture itself, enlarged to cover the frame, blurred and darkened
};

struct ShowOptions {
    static constexpr LONG kMaxTransitionMs = 60'000;
    static constexpr LONG kMaxMotionStrength = 100;
    static constexpr LONG kMinCaptionSize = 1;
    static constexpr LONG kMaxCaptionSize = 50;
    static constexpr LONG kMaxFramesPerSecond = 120;

    LONG transition = TransitionNone;
    LONG transitionMs = 1000; // overlaps the end of one picture and the start of the next
    LONG fadeInOut = 0;       // 1: in from black at the start, out to black at the end
    LONG motion = MotionNone;
    LONG motionStrength = 15; // percent of zoom from the start of a picture to its end
    LONG motionSeed = 0;      // picks each picture's zoom and pan, repeatably
    LONG caption = CaptionNone;
    LONG captionPlace = CaptionBottom;
    LONG captionSize = 5; // text height, percent of the frame's height
    LONG background = BackgroundBlack;
    // Frames a second while a transition, a fade or motion is on; each picture is then
    // delivered as frames of 1/framesPerSecond seconds instead of one sample.
    LONG framesPerSecond = 25;
    // 0: every picture lasts the rep time. Otherwise the pictures share this many
    // milliseconds exactly, picture i starting at i x lengthMs / count.
    LONG lengthMs = 0;

    // Whether frames change within a picture's time.
    bool IsAnimated() const { return transition != TransitionNone || fadeInOut != 0 || motion != MotionNone; }
    bool IsValid() const
    {
        return transition >= TransitionNone && transition <= TransitionSlideLeft && transitionMs >= 0 &&
               transitionMs <= kMaxTransitionMs && (fadeInOut == 0 || fadeInOut == 1) &&
               (motion == MotionNone || motion == MotionKenBurns) && motionStrength >= 0 &&
               motionStrength <= kMaxMotionStrength && caption >= CaptionNone && caption <= CaptionFromFile &&
               (captionPlace == CaptionBottom || captionPlace == CaptionTop) && captionSize >= kMinCaptionSize &&
               captionSize <= kMaxCaptionSize && (background == BackgroundBlack || background == BackgroundBlur) &&
               framesPerSecond >= 1 && framesPerSecond <= kMaxFramesPerSecond && lengthMs >= 0;
    }
    bool operator==(const ShowOptions&) const = default;
};
