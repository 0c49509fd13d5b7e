#include "engine/MovieRun.h"

#include "picsource/IPictureSourceConfig.h"
#include "platform/mediagraph/MediaResults.h"

#include <utility>

MovieRun::MovieRun(ProgressEstimate::Clock clock) : estimate(std::move(clock)) {}

void MovieRun::Start(int pictures)
{
    started = true;
    end = End::None;
    abortCode = S_OK;
    skipped.clear();
    estimate.Start(pictures);
}

void MovieRun::Stop()
{
    if (Running()) end = End::Stopped;
}

void MovieRun::ReadEvents(IMediaEvent& events, Listener* listener)
{
    LONG code = 0;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    while (SUCCEEDED(events.GetEvent(&code, &first, &second, 0))) {
        events.FreeEventParams(code, first, second);
        ReadEvent(code, first, second, listener);
    }
}

void MovieRun::ReadEvent(LONG code, LONG_PTR first, LONG_PTR second, Listener* listener)
{
    if (!Running()) return;
    if (code == EC_PICTURE_SKIPPED) {
        skipped.push_back({static_cast<int>(first), second});
        if (listener) listener->OnPictureSkipped(skipped.back());
        return;
    }
    if (code == EC_COMPLETE) end = End::Complete;
    if (code == EC_USERABORT) end = End::Stopped;
    if (code == EC_ERRORABORT) {
        end = End::Aborted;
        abortCode = static_cast<HRESULT>(first);
    }
    if (end != End::None && listener) listener->OnRunEnded(end, abortCode);
}

void MovieRun::ShowProgress(int done) { estimate.Update(done); }
