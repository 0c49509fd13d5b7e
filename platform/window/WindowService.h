// The windows of the front end, as the platform's media objects see them.
//
// A front end (the Qt window, reelsmith-make, a test host) implements this
// interface and installs it; with none installed the process is headless:
// posted messages and video frames go nowhere and window rectangles are
// unknown, and everything else behaves the same.
//
// PostMessage and PresentFrame are called from any thread and must not wait
// for the front end's thread; the front end delivers what they hand over on
// its own thread, messages in the order they were posted.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/mediagraph/MediaGraph.h"

// One picture for a video window; the pixels are valid during the call only.
struct VideoFrame {
    LONG width;
    LONG height;   // positive: bottom row first
    WORD bitCount; // 24 or 32
    LONG stride;   // bytes from one row to the next
    const BYTE* pixels;
    RECT position; // where the video covers the window, in its client coordinates
};

class WindowService {
public:
    // FALSE when the window is unknown or its queue is full.
    virtual BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // FALSE when the window is unknown.
    virtual BOOL GetWindowRect(HWND window, RECT* rect) = 0;
    virtual void PresentFrame(HWND window, const VideoFrame& frame) = 0;

protected:
    ~WindowService() = default;
};

// Installs the front end's service (nullptr: headless). Returns once no call
// into the previous service is still running.
void InstallWindowService(WindowService* service);

// What the platform's objects call; FALSE (or nothing) when headless.
BOOL PostWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetWindowRect(HWND window, RECT* rect);
void PresentVideoFrame(HWND window, const VideoFrame& frame);
