// IPictureSourceConfig: the folder scan, the stopped-only rules, the guarded
// arguments, and seeking by picture.
#include "tests/picsource/PicsourceFixture.h"

#include <algorithm>

namespace {

std::u16string PictureName(IPictureSourceConfig* config, LONG index)
{
    WCHAR buffer[MAX_PATH];
    if (config->GetPictureName(index, buffer, MAX_PATH) != S_OK) return u"<failed>";
    return buffer;
}

} // namespace

TEST_F(PicsourceTest, SetFolderListsJpegFilesOfAnyCaseInWindowsOrder)
{
    const std::u16string folder = PictureFolderPath("photos");
    ASSERT_EQ(config->SetFolder(folder.c_str()), S_OK);
    LONG count = 0;
    ASSERT_EQ(config->GetPictureCount(&count), S_OK);
    // The sub-folder d.jpg and notes.txt are not pictures; B.JPG sorts between a and c.
    EXPECT_EQ(count, 3);
    EXPECT_EQ(PictureName(config.Get(), 0), folder + u"/a.jpg");
    EXPECT_EQ(PictureName(config.Get(), 1), folder + u"/B.JPG");
    EXPECT_EQ(PictureName(config.Get(), 2), folder + u"/c.Jpg");

    // The same paths with a trailing separator given.
    ASSERT_EQ(config->SetFolder((folder + u"/").c_str()), S_OK);
    EXPECT_EQ(PictureName(config.Get(), 0), folder + u"/a.jpg");
}

TEST_F(PicsourceTest, AFolderWithoutPicturesIsRefusedAndEmptiesTheList)
{
    ASSERT_EQ(config->SetFolder(PictureFolderPath("tiny").c_str()), S_OK);
    EXPECT_EQ(config->SetFolder(PictureFolderPath("empty").c_str()), E_INVALIDARG);
    LONG count = -1;
    ASSERT_EQ(config->GetPictureCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    WCHAR buffer[MAX_PATH];
    EXPECT_EQ(config->GetPictureName(0, buffer, MAX_PATH), E_INVALIDARG);
    EXPECT_EQ(config->SetFolder(PictureFolderPath("no such folder").c_str()), E_INVALIDARG);
    EXPECT_EQ(config->SetFolder(nullptr), E_POINTER);
    const std::u16string tooLong = u"/" + std::u16string(300, u'x');
    EXPECT_EQ(config->SetFolder(tooLong.c_str()), E_INVALIDARG);
}

TEST_F(PicsourceTest, GetPictureNameWritesNothingBeyondItsCapacity)
{
    const std::u16string folder = PictureFolderPath("tiny");
    ASSERT_EQ(config->SetFolder(folder.c_str()), S_OK);
    const std::u16string expected = folder + u"/1.jpg";

    std::vector<WCHAR> buffer(MAX_PATH + 4, u'#');
    ASSERT_EQ(config->GetPictureName(0, buffer.data(), MAX_PATH), S_OK);
    EXPECT_EQ(std::u16string(buffer.data()), expected);
    EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(expected.size()), buffer.begin() + MAX_PATH,
                            [](WCHAR c) { return c == 0; }));
    EXPECT_EQ(buffer[MAX_PATH], u'#');

    // Exactly the path and its terminator fit; one less is refused untouched.
    const LONG fits = static_cast<LONG>(expected.size() + 1);
    std::fill(buffer.begin(), buffer.end(), u'#');
    EXPECT_EQ(config->GetPictureName(0, buffer.data(), fits), S_OK);
    EXPECT_EQ(buffer[static_cast<std::size_t>(fits)], u'#');
    std::fill(buffer.begin(), buffer.end(), u'#');
    EXPECT_EQ(config->GetPictureName(0, buffer.data(), fits - 1), E_INVALIDARG);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](WCHAR c) { return c == u'#'; }));

    EXPECT_EQ(config->GetPictureName(3, buffer.data(), MAX_PATH), E_INVALIDARG);
    EXPECT_EQ(config->GetPictureName(-1, buffer.data(), MAX_PATH), E_INVALIDARG);
    EXPECT_EQ(config->GetPictureName(0, nullptr, MAX_PATH), E_POINTER);
}

TEST_F(PicsourceTest, SizeAndTimeSettersAndGettersNeedAStoppedFilter)
{
    LONG width = 0, height = 0, repTime = 0;
    ASSERT_EQ(config->GetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    ASSERT_EQ(config->GetRepTime(&repTime), S_OK);
    EXPECT_EQ(repTime, 1000);

    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(config->GetRepTime(&repTime), E_INVALIDARG);
    EXPECT_EQ(config->GetVideoSize(&width, &height), E_INVALIDARG);
    repTime = 40;
    EXPECT_EQ(config->SetRepTime(&repTime), E_INVALIDARG);
    width = 640;
    EXPECT_EQ(config->SetVideoSize(&width, &height), E_INVALIDARG);
    EXPECT_EQ(config->SetFolder(PictureFolderPath("tiny").c_str()), E_INVALIDARG);
    // Allowed in any state.
    LONG count = -1;
    EXPECT_EQ(config->GetPictureCount(&count), S_OK);
    EXPECT_EQ(config->SetCurrentPicture(0), S_OK);
    ASSERT_EQ(filter->Stop(), S_OK);

    ASSERT_EQ(config->GetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(width, 320);
    ASSERT_EQ(config->GetRepTime(&repTime), S_OK);
    EXPECT_EQ(repTime, 1000);
}

TEST_F(PicsourceTest, UnusableValuesAreRefused)
{
    LONG zero = 0, negative = -5, huge = 100000, fine = 64;
    EXPECT_EQ(config->SetRepTime(&zero), E_INVALIDARG);
    EXPECT_EQ(config->SetRepTime(&negative), E_INVALIDARG);
    EXPECT_EQ(config->SetRepTime(nullptr), E_POINTER);
    EXPECT_EQ(config->SetVideoSize(&zero, &fine), E_INVALIDARG);
    EXPECT_EQ(config->SetVideoSize(&fine, &huge), E_INVALIDARG);
    EXPECT_EQ(config->SetCurrentPicture(-1), E_INVALIDARG);
    LONG width = 0, height = 0;
    ASSERT_EQ(config->GetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
}

TEST_F(PicsourceTest, SeekingSetsTheNextPictureAndRepTimeLeavesTheStopPosition)
{
    ASSERT_EQ(config->SetFolder(PictureFolderPath("tiny").c_str()), S_OK);
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(pin.As(IID_IMediaSeeking, seeking), S_OK);
    LONGLONG stop = 0;
    ASSERT_EQ(seeking->GetStopPosition(&stop), S_OK);
    EXPECT_EQ(stop, 30000000);
    LONG repTime = 250;
    ASSERT_EQ(config->SetRepTime(&repTime), S_OK);
    ASSERT_EQ(seeking->GetStopPosition(&stop), S_OK);
    EXPECT_EQ(stop, 30000000);
    repTime = 1000;
    ASSERT_EQ(config->SetRepTime(&repTime), S_OK);

    LONGLONG start = 25000000;
    ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    LONG current = -1;
    ASSERT_EQ(config->GetCurrentPicture(&current), S_OK);
    EXPECT_EQ(current, 2);
    // A position before the start is the first picture, never a negative index.
    start = -50000000;
    ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_EQ(config->GetCurrentPicture(&current), S_OK);
    EXPECT_EQ(current, 0);

    DWORD capabilities = 0;
    ASSERT_EQ(seeking->GetCapabilities(&capabilities), S_OK);
    EXPECT_EQ(capabilities, 0x37u);
    capabilities = AM_SEEKING_CanGetCurrentPos;
    EXPECT_EQ(seeking->CheckCapabilities(&capabilities), S_FALSE);
    EXPECT_EQ(seeking->SetPositions(nullptr, AM_SEEKING_AbsolutePositioning, nullptr, 0), E_POINTER);
    EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_IncrementalPositioning, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
    EXPECT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_NONE), E_INVALIDARG);
}

TEST_F(PicsourceTest, TheFilterAnswersItsFacesAndNamesItsPropertyPage)
{
    CLSID clsid{};
    ASSERT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_PictureSource);

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(filter.As(IID_ISpecifyPropertyPages, pages), S_OK);
    CAUUID list{};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], CLSID_PictureSourcePage);
    CoTaskMemFree(list.pElems);

    ComPtr<IAMovieSetup> setup;
    ASSERT_EQ(filter.As(IID_IAMovieSetup, setup), S_OK);
    EXPECT_EQ(setup->Register(), S_FALSE);

    ComPtr<IUnknown> viaFilter;
    ComPtr<IUnknown> viaConfig;
    ASSERT_EQ(filter.As(IID_IUnknown, viaFilter), S_OK);
    ASSERT_EQ(config.As(IID_IUnknown, viaConfig), S_OK);
    EXPECT_EQ(viaFilter.Get(), viaConfig.Get());

    // The pin's configuration face reaches the same settings.
    ComPtr<IPictureSourceConfig> pinConfig;
    ASSERT_EQ(pin.As(IID_IPictureSourceConfig, pinConfig), S_OK);
    LONG repTime = 700;
    ASSERT_EQ(pinConfig->SetRepTime(&repTime), S_OK);
    repTime = 0;
    ASSERT_EQ(config->GetRepTime(&repTime), S_OK);
    EXPECT_EQ(repTime, 700);

    ComPtr<IQualityControl> quality;
    ASSERT_EQ(pin.As(IID_IQualityControl, quality), S_OK);
    EXPECT_EQ(quality->Notify(filter.Get(), Quality{}), E_INVALIDARG);
    IMemInputPin* input = nullptr;
    EXPECT_EQ(pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)), E_NOINTERFACE);
    EXPECT_EQ(input, nullptr);
}
