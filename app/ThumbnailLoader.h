// Makes the thumbnails of a list of pictures on worker threads of its own, so that the
// window answers while they are decoded, and hands each one, as it is done, to a
// callback on the worker's thread (the window posts it on to its own thread). Only
// the thumbnails in flight are held here. Cancelled, and its threads joined, when it
// is destroyed: no callback runs after that.
#pragma once

#include "platform/com/Com.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class ThumbnailLoader {
public:
    // Fills the frame with picture `name`'s thumbnail, or answers why it cannot be read.
    using Render = std::function<HRESULT(const std::u16string& name, std::vector<BYTE>& frame)>;
    // Index into the names, the result of Render, and the frame when it succeeded.
    using Deliver = std::function<void(std::size_t index, HRESULT result, std::vector<BYTE>&& frame)>;

    // Two workers: enough to keep a photograph's file read and its decode overlapping
    // without taking the machine from a movie being made meanwhile.
    static constexpr unsigned kWorkers = 2;

    ThumbnailLoader(std::vector<std::u16string> names, Render render, Deliver deliver, unsigned workers = kWorkers);
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

private:
    void Work();

    const std::vector<std::u16string> names;
    const Render render;
    const Deliver deliver;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> cancelled{false};
    std::vector<std::thread> threads;
};
