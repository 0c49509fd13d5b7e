// The first picture of a chosen folder, drawn once into the preview area:
// one 640x480 frame from the media detector, stretched into the window.
#pragma once

#include "app/DialogHost.h"

#include <string>

class PreviewFrame {
public:
    static constexpr LONG FrameWidth = 640;
    static constexpr LONG FrameHeight = 480;

    // Quietly does nothing when no frame can be had.
    static void Show(const std::u16string& path, HWND target, DialogHost& host);
};
