#include "app/TerminationWatch.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

void SetHandler(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

TerminationWatch::TerminationWatch(std::function<void()> callback) : onTerminate(std::move(callback))
{
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { OnSignalled(); });
    SetHandler(SIGTERM, OnTerminationSignal);
    SetHandler(SIGHUP, OnTerminationSignal);
}

TerminationWatch::~TerminationWatch()
{
    if (!notifier) return;
    SetHandler(SIGTERM, SIG_DFL);
    SetHandler(SIGHUP, SIG_DFL);
    notifier.reset();
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TerminationWatch::OnSignalled()
{
    char bytes[16];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) {}
    onTerminate();
}
