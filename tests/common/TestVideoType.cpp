#include "TestVideoType.h"

OwnedMediaType TestVideoType(LONG width, LONG height, REFERENCE_TIME frameTime)
{
    VIDEOINFOHEADER info{};
    info.AvgTimePerFrame = frameTime;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>((width * 24 + 31) / 32 * 4 * height);
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB24;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = info.bmiHeader.biSizeImage;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof info;
    type.pbFormat = reinterpret_cast<BYTE*>(&info);
    return OwnedMediaType(type);
}
