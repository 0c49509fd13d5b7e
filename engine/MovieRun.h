// One making or playing of a movie as those who follow it see it: how fast it goes,
// which pictures it passed over and why, and how it ended. The window, reelsmith-make
// and the tests read the graph's events through it.
#pragma once

#include "engine/ProgressEstimate.h"
#include "platform/mediagraph/GraphControl.h"

#include <vector>

class MovieRun {
public:
    enum class End { None, Complete, Aborted, Stopped };

    struct Skip {
        int picture;
        // The JPEG decoder's code or the file's HRESULT (see ErrorWords::DescribeSkip).
        LONG_PTR reason;
    };

    // Told of each skip and of the end as the events are read, for a front end that
    // shows them at once.
    class Listener {
    public:
        virtual void OnPictureSkipped(const Skip&) {}
        virtual void OnRunEnded(End, HRESULT) {}

    protected:
        ~Listener() = default;
    };

    explicit MovieRun(ProgressEstimate::Clock clock);

    // A run of `pictures` pictures has started: the last run's skips, end and pace are
    // forgotten.
    void Start(int pictures);
    // The user stopped the run; an end the graph reports after this is not the run's.
    void Stop();
    // Takes every event waiting in `events`.
    void ReadEvents(IMediaEvent& events, Listener* listener = nullptr);
    // `done` pictures are finished by now.
    void ShowProgress(int done);

    bool Running() const { return started && end == End::None; }
    End Ended() const { return end; }
    // Why the graph aborted the run (EC_ERRORABORT's first parameter); S_OK otherwise.
    HRESULT AbortCode() const { return abortCode; }
    const std::vector<Skip>& Skipped() const { return skipped; }
    void ForgetSkips() { skipped.clear(); }
    const ProgressEstimate& Pace() const { return estimate; }

private:
    void ReadEvent(LONG code, LONG_PTR first, LONG_PTR second, Listener* listener);

    ProgressEstimate estimate;
    bool started = false;
    End end = End::None;
    HRESULT abortCode = S_OK;
    std::vector<Skip> skipped;
};
