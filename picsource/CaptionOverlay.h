// The captions of a slide show as what it draws over its pictures: each picture's
// text laid out once when it comes on screen and blended into each of its frames. A
// painter is kept for every picture on screen at once (two during a transition) and
// reused for the next, so that the fonts are opened once per show.
#pragma once

#include "picsource/CaptionPainter.h"
#include "picsource/PictureCaptions.h"
#include "picsource/ShowOptions.h"
#include "picsource/ShowOverlay.h"

#include <memory>
#include <string>
#include <vector>

class CaptionOverlay final : public ShowOverlay {
public:
    // The texts for the pictures of `folder` named by `pictures` (indices as the
    // overlay's), placed and sized as `place` and `sizePercent` say.
    void Use(const PictureCaptions& texts, std::u16string pictureFolder, std::vector<std::u16string> names, LONG place,
             LONG sizePercent);

    void Prepare(LONG index, LONG width, LONG height) override;
    void Draw(LONG index, BYTE* layer, LONG width, LONG height) override;
    void Forget(LONG index) override;
    // The caption of picture `index` on a still frame of it.
    void DrawStill(LONG index, BYTE* frame, LONG width, LONG height);

private:
    struct Slot {
        LONG index = -1; // -1: free
        std::unique_ptr<CaptionPainter> painter;
    };
    Slot* Find(LONG index);

    PictureCaptions captions;
    std::u16string folder;
    std::vector<std::u16string> pictures;
    LONG captionPlace = CaptionBottom;
    LONG captionSize = 5;
    std::vector<Slot> slots;
};
