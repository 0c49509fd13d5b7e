#include "platform/window/WindowDispatcher.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

WindowDispatcher::WindowDispatcher(std::function<void()> wakeUpLoop) : wakeUp(std::move(wakeUpLoop)) {}

void WindowDispatcher::RegisterWindow(HWND window, WindowClient* client)
{
    std::lock_guard guard(lock);
    clients[window] = client;
}

void WindowDispatcher::UnregisterWindow(HWND window)
{
    std::lock_guard guard(lock);
    clients.erase(window);
    waitingFrames.erase(window);
    std::erase_if(items, [&](const Item& item) {
        if (item.window != window) return false;
        if (!item.frame) --messageCount;
        return true;
    });
}

WindowClient* WindowDispatcher::ClientOf(HWND window)
{
    const auto found = clients.find(window);
    return found == clients.end() ? nullptr : found->second;
}

void WindowDispatcher::Wake(bool queueWasEmpty)
{
    queued.notify_all();
    if (queueWasEmpty && wakeUp) wakeUp();
}

BOOL WindowDispatcher::PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool wasEmpty;
    {
        std::lock_guard guard(lock);
        if (!ClientOf(window) || messageCount >= kMaxQueuedMessages) return FALSE;
        ++messageCount;
        wasEmpty = items.empty();
        items.push_back({window, message, wParam, lParam, nullptr});
    }
    Wake(wasEmpty);
    return TRUE;
}

BOOL WindowDispatcher::GetWindowRect(HWND window, RECT* rect)
{
    if (!rect) return FALSE;
    WindowClient* client;
    {
        std::lock_guard guard(lock);
        client = ClientOf(window);
    }
    if (!client) return FALSE;
    *rect = client->WindowRect();
    return TRUE;
}

void WindowDispatcher::CopyFrame(const VideoFrame& from, StoredFrame& to)
{
    to.width = from.width;
    to.height = from.height;
    to.bitCount = from.bitCount;
    to.stride = from.stride;
    to.position = from.position;
    const std::size_t bytes = static_cast<std::size_t>(std::abs(from.stride)) * std::abs(from.height);
    to.pixels.assign(from.pixels, from.pixels + bytes);
}

void WindowDispatcher::PresentFrame(HWND window, const VideoFrame& frame)
{
    bool wasEmpty;
    {
        std::lock_guard guard(lock);
        if (!ClientOf(window)) return;
        std::shared_ptr<StoredFrame>& waiting = waitingFrames[window];
        if (waiting) {
            CopyFrame(frame, *waiting);
            return;
        }
        waiting = std::make_shared<StoredFrame>();
        CopyFrame(frame, *waiting);
        wasEmpty = items.empty();
        items.push_back({window, 0, 0, 0, waiting});
    }
    Wake(wasEmpty);
}

std::size_t WindowDispatcher::DispatchPending()
{
    std::size_t handed = 0;
    for (;;) {
        Item item;
        WindowClient* client;
        {
            std::lock_guard guard(lock);
            if (items.empty()) return handed;
            item = std::move(items.front());
            items.pop_front();
            client = ClientOf(item.window);
            if (item.frame) {
                waitingFrames.erase(item.window);
            } else {
                --messageCount;
            }
        }
        if (!client) continue;
        if (item.frame) {
            client->OnVideoFrame(*item.frame);
        } else {
            client->OnMessage(item.message, item.wParam, item.lParam);
        }
        ++handed;
    }
}

bool WindowDispatcher::WaitForWork(DWORD timeoutMs)
{
    std::unique_lock guard(lock);
    const auto hasWork = [&] { return !items.empty(); };
    if (timeoutMs == INFINITE) {
        queued.wait(guard, hasWork);
        return true;
    }
    return queued.wait_for(guard, std::chrono::milliseconds(timeoutMs), hasWork);
}
