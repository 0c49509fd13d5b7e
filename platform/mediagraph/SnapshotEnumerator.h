// The enumerators the platform's graph and filters hand out (filters, pins,
// media types): each walks a copy of the list taken when it was made, so a
// caller may change the graph while walking it. Reset takes a fresh copy, as
// a caller that removed what it was given expects.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/OwnedMediaType.h"
#include "platform/mediagraph/PlatformObject.h"

#include <functional>
#include <new>
#include <utility>
#include <vector>

// How an item is handed out: a counted reference, or a record in task memory.
template <typename T>
inline bool HandOutItem(const ComPtr<T>& item, T** out)
{
    *out = item.Get();
    if (*out) (*out)->AddRef();
    return true;
}

inline bool HandOutItem(const OwnedMediaType& item, AM_MEDIA_TYPE** out)
{
    *out = item.CreateTaskCopy();
    return *out != nullptr;
}

template <typename Interface, const IID& InterfaceId, typename Out, typename Item>
class SnapshotEnumerator final
    : public PlatformObject<SnapshotEnumerator<Interface, InterfaceId, Out, Item>, Interface, InterfaceId> {
public:
    using Refresh = std::function<std::vector<Item>()>;

    // Answers a new enumerator with one reference, or nullptr without memory.
    static Interface* Make(Refresh refresh)
    {
        std::vector<Item> items = refresh();
        return new (std::nothrow) SnapshotEnumerator(std::move(refresh), std::move(items), 0);
    }

    HRESULT Next(ULONG count, Out* out, ULONG* fetched) override
    {
        if (!out) return E_POINTER;
        if (count > 1 && !fetched) return E_POINTER;
        ULONG given = 0;
        while (given < count && position < items.size()) {
            if (!HandOutItem(items[position], &out[given])) break;
            ++given;
            ++position;
        }
        if (fetched) *fetched = given;
        if (given == 0 && count > 0 && position < items.size()) return E_OUTOFMEMORY;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        const std::size_t left = items.size() - position;
        if (count > left) {
            position = items.size();
            return S_FALSE;
        }
        position += count;
        return S_OK;
    }
    HRESULT Reset() override
    {
        items = refresh();
        position = 0;
        return S_OK;
    }
    HRESULT Clone(Interface** copy) override
    {
        if (!copy) return E_POINTER;
        *copy = new (std::nothrow) SnapshotEnumerator(refresh, items, position);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    friend PlatformObject<SnapshotEnumerator, Interface, InterfaceId>;
    SnapshotEnumerator(Refresh refill, std::vector<Item> snapshot, std::size_t start)
        : refresh(std::move(refill)), items(std::move(snapshot)), position(start)
    {
    }
    ~SnapshotEnumerator() = default;

    Refresh refresh;
    std::vector<Item> items;
    std::size_t position;
};

using FilterEnumerator = SnapshotEnumerator<IEnumFilters, IID_IEnumFilters, IBaseFilter*, ComPtr<IBaseFilter>>;
using PinEnumerator = SnapshotEnumerator<IEnumPins, IID_IEnumPins, IPin*, ComPtr<IPin>>;
using MediaTypeEnumerator = SnapshotEnumerator<IEnumMediaTypes, IID_IEnumMediaTypes, AM_MEDIA_TYPE*, OwnedMediaType>;
