// Makes one frame of a slide show from the pictures it shows at that moment: each
// picture rendered as a layer (at rest, or panned and zoomed with bilinear samples at
// 1/128-pixel positions), the layers mixed by the transition, the whole faded from or
// to black. The composer holds only its scratch layers; the pictures are the caller's.
#pragma once

#include "picsource/ShowKernels.h"
#include "picsource/ShowOptions.h"
#include "picsource/ShowOverlay.h"
#include "picsource/ShowPicture.h"

#include <cstdint>
#include <vector>

class ShowComposer {
public:
    static constexpr int kFull = 256;

    // A picture as it shows in one frame: how far its motion has run, 0..1.
    struct Layer {
        const ShowPicture* picture = nullptr;
        double progress = 0;
    };

    ShowComposer(LONG width, LONG height, const ShowOptions& show, const ShowKernels& kernels = ShowKernels::Best());

    void SetOverlay(ShowOverlay* drawn) { overlay = drawn; }

    // `from` alone when `to` has no picture; else the transition from `from` to `to` at
    // `weight` 0 (all `from`) .. 256 (all `to`). `brightness` 0..256 fades the frame.
    // False when memory for the scratch layers is short.
    bool Compose(const Layer& from, const Layer& to, int weight, int brightness, BYTE* frame);
    // One picture's layer, overlay included.
    void RenderLayer(const Layer& layer, BYTE* out);

    std::size_t FrameBytes() const { return frameBytes; }

private:
    void RenderMoving(const ShowPicture& picture, double progress, BYTE* out);
    void Wipe(const BYTE* to, int weight, BYTE* frame) const;
    void Slide(const BYTE* from, const BYTE* to, int weight, BYTE* frame) const;

    LONG width;
    LONG height;
    std::size_t stride;
    std::size_t frameBytes;
    ShowOptions show;
    const ShowKernels& kernels;
    ShowOverlay* overlay = nullptr;
    std::vector<BYTE> first;
    std::vector<BYTE> second;
    std::vector<std::uint16_t> lerped;
    std::vector<std::uint32_t> column;
    std::vector<std::uint8_t> fraction;
};
