#include "tests/picsource/PicsourceFixture.h"

#include "jpeg/JpegDecoder.h"
#include "platform/base/WideText.h"

#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <iterator>

XtpPicLibrary::XtpPicLibrary()
{
    handle = dlopen(XTPPIC_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
}

XtpPicLibrary::~XtpPicLibrary()
{
    if (handle) dlclose(handle);
}

HRESULT TestGraph::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IFilterGraph) {
        *object = static_cast<IFilterGraph*>(this);
    } else if (iid == IID_IMediaEventSink) {
        *object = static_cast<IMediaEventSink*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT TestGraph::Reconnect(IPin* pin)
{
    ++reconnections;
    ComPtr<IPin> peer;
    const HRESULT hr = pin->ConnectedTo(peer.Receive());
    if (FAILED(hr)) return hr;
    pin->Disconnect();
    peer->Disconnect();
    return pin->Connect(peer.Get(), nullptr);
}

HRESULT TestGraph::Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2)
{
    events.push_back({eventCode, param1, param2});
    return S_OK;
}

std::string PictureFolderUtf8(const char* name) { return std::string(PICTURES_DIR) + "/" + name; }

std::u16string PictureFolderPath(const char* name) { return WideFromUtf8(PictureFolderUtf8(name)); }

DecodedPicture DecodeJpeg(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DecodedPicture picture;
    JpegContext c;
    if (jpegInit(&c) != 0) return picture;
    c.inBuffer = bytes.data();
    c.inBufferSize = static_cast<std::uint32_t>(bytes.size());
    if (jpegRead(&c, ReadParamsBuffer) == 0) {
        c.imageColor = c.imageChannels == 1 ? ColorGray : ColorYcbcr;
        c.outColor = ColorRgb;
        c.outChannels = 3;
        std::vector<BYTE> rgb(std::size_t{c.imageWidth} * c.imageHeight * 3);
        c.outBuffer = rgb.data();
        c.outWidth = c.imageWidth;
        c.outHeight = static_cast<std::int32_t>(c.imageHeight);
        if (jpegRead(&c, ReadImageBuffer) == 0) {
            picture.rgb = std::move(rgb);
            picture.width = static_cast<int>(c.imageWidth);
            picture.height = static_cast<int>(c.imageHeight);
        }
    }
    jpegFree(&c);
    return picture;
}

DecodedPicture ReadPpm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    DecodedPicture picture;
    in >> magic >> picture.width >> picture.height >> maxValue;
    in.get();
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()), static_cast<std::streamsize>(picture.rgb.size()));
    return picture;
}

std::vector<BYTE> ExpectedFrame(const DecodedPicture& picture, int width, int height)
{
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<BYTE> frame(stride * height, 0);
    for (int i = 0; i < height; ++i) {
        const int fromBottom = static_cast<int>(static_cast<long long>(i) * picture.height / height);
        const int sourceRow = picture.height - 1 - fromBottom;
        for (int j = 0; j < width; ++j) {
            const int sourceColumn = static_cast<int>(static_cast<long long>(j) * picture.width / width);
            const BYTE* rgb = &picture.rgb[(static_cast<std::size_t>(sourceRow) * picture.width + sourceColumn) * 3];
            BYTE* bgr = &frame[i * stride + j * 3];
            bgr[0] = rgb[2];
            bgr[1] = rgb[1];
            bgr[2] = rgb[0];
        }
    }
    return frame;
}

void PicsourceTest::SetUp()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(library.GetClassObject(CLSID_PictureSource, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, filter.ReceiveVoid()), S_OK);
    ASSERT_EQ(filter.As(IID_IPictureSourceConfig, config), S_OK);
    ASSERT_EQ(filter->FindPin(u"1", pin.Receive()), S_OK);
    ASSERT_EQ(filter->JoinFilterGraph(&graph, u"JPEG Source Filter"), S_OK);
}

void PicsourceTest::TearDown()
{
    if (filter) filter->Stop();
    if (pin) pin->Disconnect();
    sink.Disconnect();
    sink.ReleaseHeldSamples();
    pin.Reset();
    config.Reset();
    if (filter) {
        filter->JoinFilterGraph(nullptr, nullptr);
        filter.Reset();
    }
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
    CoUninitialize();
}

HRESULT PicsourceTest::ConnectSink(const AM_MEDIA_TYPE* proposal) { return pin->Connect(&sink, proposal); }

void PicsourceTest::PrepareFolder(const char* name, LONG width, LONG height, LONG repTime)
{
    ASSERT_EQ(config->SetRepTime(&repTime), S_OK);
    ASSERT_EQ(config->SetFolder(PictureFolderPath(name).c_str()), S_OK);
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    ASSERT_EQ(ConnectSink(), S_OK);
}

std::vector<BYTE> PicsourceTest::FirstFrame(const char* name, LONG width, LONG height)
{
    PrepareFolder(name, width, height);
    EXPECT_EQ(filter->Pause(), S_OK);
    if (!sink.WaitForFrames(1)) {
        ADD_FAILURE() << "no frame from " << name;
        return {};
    }
    return sink.Frames().at(0).bytes;
}

void PicsourceTest::SeekWhileRunning(LONGLONG start)
{
    sink.HoldSamples(1);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(1));
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(pin.As(IID_IMediaSeeking, seeking), S_OK);
    ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
}

FILTER_STATE PicsourceTest::State()
{
    FILTER_STATE state = State_Running;
    filter->GetState(0, &state);
    return state;
}

VideoType::VideoType(LONG width, LONG height)
{
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB24;
    type.formattype = FORMAT_VideoInfo;
    type.bFixedSizeSamples = TRUE;
    type.cbFormat = sizeof(VIDEOINFOHEADER);
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(type.cbFormat));
    std::memset(type.pbFormat, 0, type.cbFormat);
    BITMAPINFOHEADER& header = Info().bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>((width * 3 + 3) / 4 * 4 * (height < 0 ? -height : height));
    type.lSampleSize = header.biSizeImage;
}

VideoType::~VideoType() { CoTaskMemFree(type.pbFormat); }
