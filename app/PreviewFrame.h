// The first picture of a chosen folder, drawn once into the preview area: the
// movie's first frame as the picture source makes it (frame size, orientation, fit
// and scaling in force), stretched into the window.
#pragma once

#include "app/DialogHost.h"
#include "app/WorkflowEngine.h"

class PreviewFrame {
public:
    // Quietly does nothing when no frame can be had.
    static void Show(WorkflowEngine& engine, HWND target, DialogHost& host);
};
