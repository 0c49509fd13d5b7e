#include "app/PreviewFrame.h"

#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/MediaTypes.h"

#include <new>
#include <vector>

namespace {

constexpr LONG BitmapHeaderSize = 40;

bool OpenSingleVideoStream(IMediaDet* detector, const std::u16string& path)
{
    std::u16string name = path;
    if (detector->put_Filename(name.data()) < 0) return false;
    LONG streams = 0;
    if (detector->get_OutputStreams(&streams) < 0 || streams != 1) return false;
    if (detector->put_CurrentStream(0) < 0) return false;
    GUID type{};
    return detector->get_StreamType(&type) >= 0 && type == MEDIATYPE_Video;
}

} // namespace

void PreviewFrame::Show(const std::u16string& path, HWND target, DialogHost& host)
{
    ComPtr<IMediaDet> detector;
    if (CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, detector.ReceiveVoid()) < 0)
        return;
    if (!OpenSingleVideoStream(detector.Get(), path)) return;
    LONG size = 0;
    if (detector->GetBitmapBits(0.0, &size, nullptr, FrameWidth, FrameHeight) < 0 || size <= BitmapHeaderSize) return;
    std::vector<char> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return;
    }
    if (detector->GetBitmapBits(0.0, nullptr, buffer.data(), FrameWidth, FrameHeight) < 0) return;
    host.DrawFrameToWindow(target, reinterpret_cast<const BYTE*>(buffer.data() + BitmapHeaderSize), FrameWidth,
                           FrameHeight, 24);
}
