// A ready-made window service for front ends: windows are registered by
// handle with a client object, and everything posted to them from any thread
// is queued and handed to the clients, in order, by DispatchPending on the
// front end's own thread.
//
// The wake-up function runs on the posting thread whenever the queue goes
// from empty to not empty, so an event loop can schedule DispatchPending
// (a Qt front end posts a queued call; a console front end can instead block
// in WaitForWork).
//
// Frames are coalesced: a window has at most one frame waiting, the newest,
// so a front end that falls behind skips pictures instead of piling them up.
// At most kMaxQueuedMessages messages wait; further posts fail, as a full
// thread message queue makes PostMessage fail on Windows.
#pragma once

#include "platform/window/WindowService.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// A frame as the dispatcher keeps it: its own copy of the pixels.
struct StoredFrame {
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    LONG stride = 0;
    RECT position{};
    std::vector<BYTE> pixels;
};

class WindowClient {
public:
    virtual void OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void OnVideoFrame(const StoredFrame& frame) = 0;
    // The window's rectangle; asked on the thread that calls GetWindowRect.
    virtual RECT WindowRect() = 0;

protected:
    ~WindowClient() = default;
};

class WindowDispatcher final : public WindowService {
public:
    static constexpr std::size_t kMaxQueuedMessages = 10000;

    explicit WindowDispatcher(std::function<void()> wakeUp = {});
    WindowDispatcher(const WindowDispatcher&) = delete;
    WindowDispatcher& operator=(const WindowDispatcher&) = delete;
    ~WindowDispatcher() = default;

    void RegisterWindow(HWND window, WindowClient* client);
    // Drops what is still queued for the window.
    void UnregisterWindow(HWND window);

    // On the front end's thread: hands every queued item to its client;
    // answers how many were handed over.
    std::size_t DispatchPending();
    // Waits until something is queued or the time is up; true if something is.
    bool WaitForWork(DWORD timeoutMs);

    BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL GetWindowRect(HWND window, RECT* rect) override;
    void PresentFrame(HWND window, const VideoFrame& frame) override;

private:
    struct Item {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::shared_ptr<StoredFrame> frame; // set for a frame item
    };

    void Wake(bool queueWasEmpty);
    static void CopyFrame(const VideoFrame& from, StoredFrame& to);
    WindowClient* ClientOf(HWND window);

    std::function<void()> wakeUp;
    std::mutex lock;
    std::condition_variable queued;
    std::map<HWND, WindowClient*> clients;
    std::deque<Item> items;
    std::size_t messageCount = 0;
    // The frame still waiting in the queue for each window.
    std::map<HWND, std::shared_ptr<StoredFrame>> waitingFrames;
};
