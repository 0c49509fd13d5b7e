#include "picsource/CaptionOverlay.h"

#include <new>

void CaptionOverlay::Use(const PictureCaptions& texts, std::u16string pictureFolder, std::vector<std::u16string> names,
                         LONG place, LONG sizePercent)
{
    captions = texts;
    folder = std::move(pictureFolder);
    pictures = std::move(names);
    captionPlace = place;
    captionSize = sizePercent;
    for (Slot& slot : slots) slot.index = -1;
}

CaptionOverlay::Slot* CaptionOverlay::Find(LONG index)
{
    for (Slot& slot : slots) {
        if (slot.index == index) return &slot;
    }
    return nullptr;
}

void CaptionOverlay::Prepare(LONG index, LONG width, LONG height)
{
    if (index < 0 || static_cast<std::size_t>(index) >= pictures.size()) return;
    Slot* slot = Find(index);
    if (!slot) slot = Find(-1);
    if (!slot) {
        auto painter = std::unique_ptr<CaptionPainter>(new (std::nothrow) CaptionPainter);
        if (!painter) return;
        slots.push_back({-1, std::move(painter)});
        slot = &slots.back();
    }
    slot->index = index;
    // A caption that cannot be laid out is left off; the picture still shows.
    slot->painter->Prepare(captions.TextFor(folder, pictures[static_cast<std::size_t>(index)]), width, height,
                           captionPlace, captionSize);
}

void CaptionOverlay::Draw(LONG index, BYTE* layer, LONG, LONG)
{
    if (const Slot* slot = Find(index)) slot->painter->Draw(layer, 256);
}

void CaptionOverlay::Forget(LONG index)
{
    if (Slot* slot = Find(index)) slot->index = -1;
}

void CaptionOverlay::DrawStill(LONG index, BYTE* frame, LONG width, LONG height)
{
    Prepare(index, width, height);
    Draw(index, frame, width, height);
    Forget(index);
}
