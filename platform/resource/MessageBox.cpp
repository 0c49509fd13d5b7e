#include "platform/resource/MessageBox.h"

#include "platform/base/WideText.h"
#include "platform/resource/InstalledHandler.h"

#include <cstdio>

namespace {

InstalledHandler<MessageBoxHandler>& Handler()
{
    static InstalledHandler<MessageBoxHandler> handler;
    return handler;
}

} // namespace

void InstallMessageBoxHandler(MessageBoxHandler handler) { Handler().Install(std::move(handler)); }

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    const std::u16string body = text ? text : u"";
    const std::u16string title = caption ? caption : u"";
    const MessageBoxHandler handler = Handler().Get();
    if (handler) return handler(owner, body, title, type);
    std::fprintf(stderr, "%s: %s\n", Utf8FromWide(title).c_str(), Utf8FromWide(body).c_str());
    return IDOK;
}
