// The graph manager's event queue: what filters report (IMediaEventSink) and
// the application takes (IMediaEvent, IMediaEventEx).
//
// EC_COMPLETE is handled by default: the application is told once per run,
// when every renderer of the run has reported it, with the first failure any
// of them gave (or S_OK) as its first parameter. Reports while no run is on
// are stale and dropped. With default handling cancelled, each report passes
// through. Every other event passes through as it came.
//
// WaitForCompletion answers once the run has ended, without taking events.
//
// For every event queued, the notify window (if any) gets its message posted
// through the window service, with wParam 0 and the instance data as lParam.
// The queue holds at most kMaxEvents events; a filter that floods it loses the
// newest, never the application's memory.
//
// The queue has its own lock and never calls a filter, so filters may report
// from any thread while the graph changes state.
#pragma once

#include "platform/mediagraph/GraphControl.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <set>

class GraphEventQueue {
public:
    static constexpr std::size_t kMaxEvents = 10000;

    GraphEventQueue();
    ~GraphEventQueue();
    GraphEventQueue(const GraphEventQueue&) = delete;
    GraphEventQueue& operator=(const GraphEventQueue&) = delete;

    HRESULT GetEventHandle(OAEVENT* event);
    HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout);
    // Waits for the run to end: EC_COMPLETE, EC_ERRORABORT or EC_USERABORT queued
    // since it began. Leaves the queue as it is.
    HRESULT WaitForCompletion(LONG msTimeout, LONG* eventCode);
    HRESULT CancelDefaultHandling(LONG eventCode);
    HRESULT RestoreDefaultHandling(LONG eventCode);
    HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData);
    HRESULT SetNotifyFlags(LONG flags);
    HRESULT GetNotifyFlags(LONG* flags);
    HRESULT Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2);

    // A run starts with this many renderers to hear EC_COMPLETE from.
    void BeginRun(std::size_t renderers);
    void EndRun();

private:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // Under the lock; answers whether the notify window is to be told.
    bool Queue(const Event& event);
    // Under the lock: EC_COMPLETE from one renderer.
    bool CountCompletion(LONG_PTR status, LONG_PTR renderer);
    void PostNotification();

    std::mutex lock;
    std::condition_variable arrived;
    std::deque<Event> events;
    HANDLE signal;

    OAHWND notifyWindow = 0;
    LONG notifyMessage = 0;
    LONG_PTR notifyData = 0;
    LONG notifyFlags = 0;

    bool completeHandled = true;
    bool running = false;
    bool completeSent = false;
    std::size_t renderersInRun = 0;
    std::set<LONG_PTR> completedRenderers;
    LONG_PTR completionStatus = S_OK;
    LONG_PTR anonymousReports = 0;
    // The event that ended the current run; 0 while it goes on.
    LONG runEnd = 0;
};
