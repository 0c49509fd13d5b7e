#include "platform/window/WindowService.h"

#include <mutex>
#include <shared_mutex>

namespace {

// Calls into the service share the lock; installing takes it whole, so a
// service is never replaced under a call that is still using it.
std::shared_mutex serviceLock;
WindowService* installed = nullptr;

} // namespace

void InstallWindowService(WindowService* service)
{
    std::unique_lock lock(serviceLock);
    installed = service;
}

BOOL PostWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_lock lock(serviceLock);
    return installed ? installed->PostMessage(window, message, wParam, lParam) : FALSE;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!rect) return FALSE;
    std::shared_lock lock(serviceLock);
    return installed ? installed->GetWindowRect(window, rect) : FALSE;
}

void PresentVideoFrame(HWND window, const VideoFrame& frame)
{
    std::shared_lock lock(serviceLock);
    if (installed) installed->PresentFrame(window, frame);
}
