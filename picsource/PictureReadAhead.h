// Reads one picture ahead of the streaming thread, on a thread of its own: while
// the streaming thread reads a picture, this one reads the next, so two pictures
// are decoded at once and the writer downstream never waits for the decoder. The
// frame is built by a FrameBuilder of its own, by the same steps, so it is the
// very frame the streaming thread would have built. For an animated slide show it
// hands over the prepared picture instead, which the streaming thread composes into
// frames while the next one is read here.
//
// Used by one streaming thread at a time.
#pragma once

#include "picsource/FrameBuilder.h"
#include "picsource/ShowPicture.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PictureReadAhead {
public:
    // One picture made into a frame of one size and kind.
    struct Job {
        LONG index = -1;
        std::string path;
        LONG width = 0;
        LONG height = 0;
        PictureOptions options;
        int priority = 0; // of the reading thread, as the streaming thread's
        ShowOptions show;
        bool wholePicture = false; // the prepared ShowPicture, not a frame

        bool operator==(const Job&) const = default;
    };

    PictureReadAhead() = default;
    ~PictureReadAhead();
    PictureReadAhead(const PictureReadAhead&) = delete;
    PictureReadAhead& operator=(const PictureReadAhead&) = delete;

    // Begins to read `job`, once the read under way, if any, has ended; what it left
    // untaken is dropped.
    void Start(Job job);
    // When the read-ahead was given this very job: waits for it to end, copies its
    // frame into `frame` (height x FrameStride(width) bytes), sets `result` to the
    // read's and answers true. Otherwise answers false and copies nothing.
    bool Take(const Job& job, BYTE* frame, HRESULT& result);
    // The same for a job of a whole picture, which is moved into `picture`.
    bool TakePicture(const Job& job, ShowPicture& picture, HRESULT& result);

private:
    void Run();
    // Waits for `wanted` when it is the job given; false when it is not.
    bool WaitFor(const Job& wanted, std::unique_lock<std::mutex>& guard);
    HRESULT Read(const Job& current);

    std::mutex lock;
    std::condition_variable changed;
    std::thread thread;
    Job job;
    bool reading = false;
    bool ready = false;
    bool quitting = false;
    int appliedPriority = 0;
    HRESULT result = S_OK;
    std::vector<BYTE> frame;
    ShowPicture picture;
    FrameBuilder builder;
};
