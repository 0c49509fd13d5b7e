// What the picture source tests share: the real libXTPPic.so loaded the way COM
// loads it, a filter made by its class factory, a small graph that takes events
// and reconnects pins, and the pictures made by make-pictures.sh.
#pragma once

#include "picsource/IPictureSourceConfig.h"
#include "platform/com/ComPtr.h"
#include "tests/picsource/TestSinkPin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The library's entry points, found with dlopen and dlsym.
class XtpPicLibrary {
public:
    XtpPicLibrary();
    ~XtpPicLibrary();
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
    {
        return getClassObject(clsid, iid, object);
    }
    HRESULT CanUnloadNow() const { return canUnloadNow(); }

private:
    void* handle = nullptr;
    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr;
};

// Takes graph events and reconnects pins as a filter graph would.
class TestGraph final : public IFilterGraph, public IMediaEventSink {
public:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }
    HRESULT Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;

    int reconnections = 0;
    std::vector<Event> events;
};

// Picture folders (see make-pictures.sh).
std::u16string PictureFolderPath(const char* name);
std::string PictureFolderUtf8(const char* name);

// A decoded picture, top row first, R G B.
struct DecodedPicture {
    std::vector<BYTE> rgb;
    int width = 0;
    int height = 0;
};
// Decodes with the library's own decoder.
DecodedPicture DecodeJpeg(const std::string& path);
// Reads a binary PPM (P6) as written by djpeg.
DecodedPicture ReadPpm(const std::string& path);
// The frame the filter must deliver for `picture`, computed independently: bottom
// row first, B G R, rows padded to 4 bytes, nearest source pixel counted from the
// bottom-left corner with exact integer arithmetic.
std::vector<BYTE> ExpectedFrame(const DecodedPicture& picture, int width, int height);

// A filter from the library's class factory, with its configuration interface and
// its one output pin.
class PicsourceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects the output pin to the sink; answers the pin's Connect result.
    HRESULT ConnectSink(const AM_MEDIA_TYPE* proposal = nullptr);
    // Uses a folder and connects at the given frame size.
    void PrepareFolder(const char* name, LONG width = 320, LONG height = 240, LONG repTime = 1000);
    // The first frame a paused filter delivers from a folder at a frame size; empty,
    // with the failure recorded, when none comes.
    std::vector<BYTE> FirstFrame(const char* name, LONG width, LONG height);
    FILTER_STATE State();
    // Runs with the sink keeping the one sample, so that the worker waits for it, and
    // seeks to `start` meanwhile.
    void SeekWhileRunning(LONGLONG start);

    XtpPicLibrary library;
    ComPtr<IBaseFilter> filter;
    ComPtr<IPictureSourceConfig> config;
    ComPtr<IPin> pin;
    TestSinkPin sink;
    TestGraph graph;
};

// RGB24 video at a size, as a downstream pin would propose it.
class VideoType {
public:
    VideoType(LONG width, LONG height);
    ~VideoType();
    VideoType(const VideoType&) = delete;
    VideoType& operator=(const VideoType&) = delete;
    AM_MEDIA_TYPE* operator&() { return &type; }
    const AM_MEDIA_TYPE& Get() const { return type; }
    AM_MEDIA_TYPE& Get() { return type; }
    VIDEOINFOHEADER& Info() { return *reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat); }

private:
    AM_MEDIA_TYPE type{};
};
