// Turns SIGTERM (and SIGHUP, the end of the session) into a call on the UI thread,
// so that the window can close as a desktop program does when the session or the
// user asks it to: a signal handler may only write to a pipe, which a socket
// notifier of the event loop reads.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

class TerminationWatch : public QObject {
public:
    explicit TerminationWatch(std::function<void()> onTerminate);
    ~TerminationWatch() override;
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

private:
    void OnSignalled();

    std::function<void()> onTerminate;
    std::unique_ptr<QSocketNotifier> notifier;
};
