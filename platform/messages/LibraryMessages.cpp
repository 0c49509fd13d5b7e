#include "platform/messages/LibraryMessages.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::atomic<bool> messagesShown{false};

void FfmpegMessage(void* context, int level, const char* format, va_list arguments)
{
    if (!messagesShown || level > AV_LOG_WARNING) return;
    av_log_default_callback(context, level, format, arguments);
}

void AlsaMessage(const char* file, int line, const char* function, int error, const char* format, ...)
{
    if (!messagesShown) return;
    std::fprintf(stderr, "ALSA %s:%d (%s): ", file, line, function);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    if (error) std::fprintf(stderr, ": %s", snd_strerror(error));
    std::fputc('\n', stderr);
}

// Installed when the platform library is loaded, before any front end can start
// FFmpeg or SDL.
[[gnu::constructor]] void RouteLibraryMessages()
{
    av_log_set_callback(FfmpegMessage);
    snd_lib_error_set_handler(AlsaMessage);
}

} // namespace

void ShowLibraryMessages(bool shown) { messagesShown = shown; }
