#include "picsource/PictureReadAhead.h"

#include "platform/thread/Threads.h"

#include <algorithm>
#include <system_error>

PictureReadAhead::~PictureReadAhead()
{
    {
        std::lock_guard guard(lock);
        quitting = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
}

void PictureReadAhead::Start(Job next)
{
    std::unique_lock guard(lock);
    changed.wait(guard, [this] { return !reading; });
    job = std::move(next);
    ready = false;
    reading = true;
    // Without a thread the streaming thread reads every picture itself.
    try {
        if (!thread.joinable()) thread = std::thread(&PictureReadAhead::Run, this);
    } catch (const std::system_error&) {
        reading = false;
        return;
    }
    guard.unlock();
    changed.notify_all();
}

bool PictureReadAhead::WaitFor(const Job& wanted, std::unique_lock<std::mutex>& guard)
{
    if (!(reading || ready) || !(job == wanted)) return false;
    changed.wait(guard, [this] { return !reading; });
    ready = false;
    return true;
}

bool PictureReadAhead::Take(const Job& wanted, BYTE* target, HRESULT& answer)
{
    std::unique_lock guard(lock);
    if (!WaitFor(wanted, guard)) return false;
    answer = result;
    if (SUCCEEDED(result)) std::copy(frame.begin(), frame.end(), target);
    return true;
}

bool PictureReadAhead::TakePicture(const Job& wanted, ShowPicture& target, HRESULT& answer)
{
    std::unique_lock guard(lock);
    if (!WaitFor(wanted, guard)) return false;
    answer = result;
    target = std::move(picture);
    return true;
}

HRESULT PictureReadAhead::Read(const Job& current)
{
    if (current.wholePicture)
        return picture.Prepare(builder, current.path, current.index, current.width, current.height, current.options,
                               current.show);
    const std::uint64_t bytes = FrameBuilder::FrameStride(current.width) * static_cast<std::uint64_t>(current.height);
    frame.assign(bytes, 0);
    return ShowPicture::ReadFrame(builder, current.path, frame.data(), current.width, current.height, current.options,
                                  current.show);
}

void PictureReadAhead::Run()
{
    std::unique_lock guard(lock);
    for (;;) {
        changed.wait(guard, [this] { return reading || quitting; });
        if (quitting) return;
        const Job current = job;
        guard.unlock();
        // A refused priority leaves this thread at the one it has; the streaming
        // thread, whose priority was asked for, reports the refusal.
        if (current.priority != appliedPriority && SetThreadPriority(GetCurrentThread(), current.priority))
            appliedPriority = current.priority;
        HRESULT read = E_OUTOFMEMORY;
        try {
            read = Read(current);
        } catch (const std::bad_alloc&) {
            frame.clear();
        }
        guard.lock();
        result = read;
        reading = false;
        ready = true;
        changed.notify_all();
    }
}
