#include "platform/resource/MessageBox.h"

#include "platform/base/WideText.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex& HandlerLock()
{
    static std::mutex lock;
    return lock;
}

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

void InstallMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard guard(HandlerLock());
    Handler() = std::move(handler);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    const std::u16string body = text ? text : u"";
    const std::u16string title = caption ? caption : u"";
    MessageBoxHandler handler;
    {
        std::lock_guard guard(HandlerLock());
        handler = Handler();
    }
    if (handler) return handler(owner, body, title, type);
    std::fprintf(stderr, "%s: %s\n", Utf8FromWide(title).c_str(), Utf8FromWide(body).c_str());
    return IDOK;
}
