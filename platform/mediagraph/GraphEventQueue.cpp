#include "platform/mediagraph/GraphEventQueue.h"

#include "platform/thread/Threads.h"
#include "platform/window/WindowService.h"

#include <chrono>

namespace {

// IMediaEventEx::SetNotifyFlags: no window messages.
constexpr LONG AM_MEDIAEVENT_NONOTIFY = 0x01;

} // namespace

GraphEventQueue::GraphEventQueue() : signal(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

GraphEventQueue::~GraphEventQueue()
{
    if (signal) CloseHandle(signal);
}

HRESULT GraphEventQueue::GetEventHandle(OAEVENT* event)
{
    if (!event) return E_POINTER;
    if (!signal) return E_OUTOFMEMORY;
    *event = reinterpret_cast<OAEVENT>(signal);
    return S_OK;
}

HRESULT GraphEventQueue::GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout)
{
    if (!eventCode || !param1 || !param2) return E_POINTER;
    std::unique_lock guard(lock);
    const auto available = [&] { return !events.empty(); };
    if (msTimeout < 0) {
        arrived.wait(guard, available);
    } else if (!arrived.wait_for(guard, std::chrono::milliseconds(msTimeout), available)) {
        return E_ABORT;
    }
    const Event event = events.front();
    events.pop_front();
    if (events.empty() && signal) ResetEvent(signal);
    *eventCode = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT GraphEventQueue::WaitForCompletion(LONG msTimeout, LONG* eventCode)
{
    if (!eventCode) return E_POINTER;
    std::unique_lock guard(lock);
    const auto ended = [&] { return runEnd != 0; };
    if (msTimeout < 0) {
        arrived.wait(guard, ended);
    } else if (!arrived.wait_for(guard, std::chrono::milliseconds(msTimeout), ended)) {
        *eventCode = 0;
        return E_ABORT;
    }
    *eventCode = runEnd;
    return S_OK;
}

HRESULT GraphEventQueue::CancelDefaultHandling(LONG eventCode)
{
    if (eventCode != EC_COMPLETE) return E_INVALIDARG;
    std::lock_guard guard(lock);
    completeHandled = false;
    return S_OK;
}

HRESULT GraphEventQueue::RestoreDefaultHandling(LONG eventCode)
{
    if (eventCode != EC_COMPLETE) return E_INVALIDARG;
    std::lock_guard guard(lock);
    completeHandled = true;
    return S_OK;
}

HRESULT GraphEventQueue::SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData)
{
    bool pending;
    {
        std::lock_guard guard(lock);
        notifyWindow = window;
        notifyMessage = message;
        notifyData = instanceData;
        pending = !events.empty();
    }
    // Events already waiting are announced once.
    if (pending) PostNotification();
    return S_OK;
}

HRESULT GraphEventQueue::SetNotifyFlags(LONG flags)
{
    if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
    std::lock_guard guard(lock);
    notifyFlags = flags;
    return S_OK;
}

HRESULT GraphEventQueue::GetNotifyFlags(LONG* flags)
{
    if (!flags) return E_POINTER;
    std::lock_guard guard(lock);
    *flags = notifyFlags;
    return S_OK;
}

void GraphEventQueue::PostNotification()
{
    OAHWND window;
    LONG message;
    LONG_PTR data;
    {
        std::lock_guard guard(lock);
        if (!notifyWindow || notifyFlags == AM_MEDIAEVENT_NONOTIFY) return;
        window = notifyWindow;
        message = notifyMessage;
        data = notifyData;
    }
    PostWindowMessage(reinterpret_cast<HWND>(window), static_cast<UINT>(message), 0, data);
}

bool GraphEventQueue::Queue(const Event& event)
{
    if (running && runEnd == 0 &&
        (event.code == EC_COMPLETE || event.code == EC_ERRORABORT || event.code == EC_USERABORT)) {
        runEnd = event.code;
    }
    if (events.size() >= kMaxEvents) return false;
    events.push_back(event);
    if (signal) SetEvent(signal);
    arrived.notify_all();
    return true;
}

bool GraphEventQueue::CountCompletion(LONG_PTR status, LONG_PTR renderer)
{
    if (!running || completeSent) return false;
    // A report that does not name its renderer counts as one renderer of its own.
    completedRenderers.insert(renderer ? renderer : --anonymousReports);
    if (FAILED(static_cast<HRESULT>(status)) && SUCCEEDED(static_cast<HRESULT>(completionStatus))) {
        completionStatus = status;
    }
    if (completedRenderers.size() < renderersInRun) return false;
    completeSent = true;
    return Queue({EC_COMPLETE, completionStatus, 0});
}

HRESULT GraphEventQueue::Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2)
{
    bool queued;
    {
        std::lock_guard guard(lock);
        if (eventCode == EC_COMPLETE && completeHandled) {
            queued = CountCompletion(param1, param2);
        } else {
            queued = Queue({eventCode, param1, param2});
        }
    }
    if (queued) PostNotification();
    return S_OK;
}

void GraphEventQueue::BeginRun(std::size_t renderers)
{
    std::lock_guard guard(lock);
    running = true;
    completeSent = false;
    renderersInRun = renderers;
    completedRenderers.clear();
    completionStatus = S_OK;
    runEnd = 0;
}

void GraphEventQueue::EndRun()
{
    std::lock_guard guard(lock);
    running = false;
}
