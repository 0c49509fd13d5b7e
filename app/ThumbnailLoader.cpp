#include "app/ThumbnailLoader.h"

#include <algorithm>

ThumbnailLoader::ThumbnailLoader(std::vector<std::u16string> pictureNames, Render renderThumbnail,
                                 Deliver deliverThumbnail, unsigned workers)
    : names(std::move(pictureNames)), render(std::move(renderThumbnail)), deliver(std::move(deliverThumbnail))
{
    const auto count = std::min<std::size_t>(std::max(workers, 1u), names.size());
    threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i) threads.emplace_back([this] { Work(); });
}

ThumbnailLoader::~ThumbnailLoader()
{
    cancelled = true;
    for (std::thread& thread : threads) thread.join();
}

void ThumbnailLoader::Work()
{
    while (!cancelled) {
        const std::size_t index = next++;
        if (index >= names.size()) return;
        std::vector<BYTE> frame;
        const HRESULT result = render(names[index], frame);
        if (cancelled) return;
        deliver(index, result, std::move(frame));
    }
}
