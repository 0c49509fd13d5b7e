// The frames of an animated slide show, on the streaming thread: frame k of
// 1/framesPerSecond seconds shows the picture of the slot its start time falls in,
// mixed with the previous or next picture while a transition is under way. Only the
// pictures on screen are held (two at most); the next one is prepared meanwhile on
// the read-ahead thread, so composing and decoding keep two cores busy.
#pragma once

#include "picsource/PictureReadAhead.h"
#include "picsource/ShowComposer.h"
#include "picsource/ShowTimeline.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SlideShow {
public:
    struct Settings {
        std::u16string folder;
        std::vector<std::u16string> pictures;
        LONG width = 0;
        LONG height = 0;
        LONG repTime = 0;
        PictureOptions options;
        ShowOptions show;
        int priority = 0;
    };
    // An unreadable picture passed over: its index and the reading's failure.
    using SkipReport = std::function<void(LONG index, HRESULT why)>;

    SlideShow(PictureReadAhead& readAhead, FrameBuilder& builder);

    // Begins at the first frame of picture `first`; the samples' times then count from
    // `origin`.
    void Start(Settings settings, LONG first, REFERENCE_TIME origin);
    // The next frame into `frame` (FrameBytes of the settings' size) with its times.
    // S_FALSE after the last frame; E_OUTOFMEMORY when composing found no memory.
    HRESULT NextFrame(BYTE* frame, REFERENCE_TIME& start, REFERENCE_TIME& stop, const SkipReport& skipped);
    // The list index of the picture the last frame belonged to, -1 before the first.
    LONG Shown() const { return shown; }

    void SetOverlay(ShowOverlay* drawn);

private:
    struct Held {
        LONG slot;
        ShowPicture picture;
    };

    PictureReadAhead::Job JobFor(LONG index) const;
    const ShowPicture* Find(LONG slot) const;
    // Makes sure the picture of `slot` is held, passing over unreadable ones; false
    // when the list has run out.
    bool Ensure(LONG slot, const SkipReport& skipped);
    // The next readable picture as that of `slot`.
    bool Load(LONG slot, const SkipReport& skipped);
    void DropBefore(LONG slot);
    void ReadNextAhead();
    double Progress(LONG slot, REFERENCE_TIME t) const;
    int Brightness(LONG slot, REFERENCE_TIME t) const;

    PictureReadAhead& readAhead;
    FrameBuilder& builder;
    ShowOverlay* overlay = nullptr;
    Settings settings;
    std::optional<ShowTimeline> timeline;
    std::unique_ptr<ShowComposer> composer;
    std::deque<Held> held;
    LONG readCursor = 0;
    LONG nextSlot = 0;
    LONG aheadIndex = -1;
    LONG lastSlot = -1;
    LONG shown = -1;
    LONGLONG frameIndex = 0;
    LONGLONG firstFrame = 0;
    REFERENCE_TIME origin = 0;
};
