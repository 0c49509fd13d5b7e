// How fast the pictures of a run are being done and how long the rest will take.
// The rate is taken over the last few pictures, so that one slow picture moves it
// little and a change of pace (larger pictures later in a folder) still shows.
// The clock is the caller's: the window and reelsmith-make give the steady
// clock, tests a scripted one.
#pragma once

#include <deque>
#include <functional>
#include <string>

class ProgressEstimate {
public:
    // Seconds on a clock that never goes back.
    using Clock = std::function<double()>;

    // Pictures done before anything is estimated: the first ones carry the start-up.
    static constexpr int kFirstPictures = 3;
    // Pictures the rate is taken over.
    static constexpr int kRatePictures = 10;

    explicit ProgressEstimate(Clock clock);

    // A new run of `total` pictures starts now.
    void Start(int total);
    // `done` pictures are finished by now.
    void Update(int done);
    // Whether enough has been done to say a rate and a time left.
    bool Ready() const;
    // Pictures per second.
    double Rate() const;
    // Seconds until the last picture is done, counted down between pictures.
    double SecondsLeft() const;
    int Percent() const;

    // `format` with %1 as the rate and %2 as the time left, where it has them.
    std::string PaceText(std::string format) const;

    // "0:07", "12:30", "1:02:03".
    static std::string FormatDuration(double seconds);
    // "2.5", "12", "0.25": two or three significant figures.
    static std::string FormatRate(double rate);

private:
    struct Mark {
        int done;
        double at;
    };

    Clock clock;
    int total = 0;
    // The pictures' completion times, oldest first, kRatePictures + 1 at most.
    std::deque<Mark> marks;
};
