// InstalledHandler: the one handler a front end installs for the whole process (message
// boxes, translations), copied out under a lock so that it can be replaced while other
// threads are calling it.
#pragma once

#include <mutex>
#include <utility>

template <typename Handler>
class InstalledHandler {
public:
    void Install(Handler handler)
    {
        std::lock_guard guard(lock);
        current = std::move(handler);
    }
    Handler Get() const
    {
        std::lock_guard guard(lock);
        return current;
    }

private:
    mutable std::mutex lock;
    Handler current;
};
