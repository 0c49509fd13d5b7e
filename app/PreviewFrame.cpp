#include "app/PreviewFrame.h"

#include <vector>

void PreviewFrame::Show(WorkflowEngine& engine, HWND target, DialogHost& host)
{
    std::vector<BYTE> frame;
    LONG width = 0;
    LONG height = 0;
    if (!engine.RenderPicture(0, frame, width, height) || frame.empty()) return;
    host.DrawFrameToWindow(target, frame.data(), width, height, 24);
}
