// The profile manager on the two profiles the program carries, the engine's
// edit of their video stream, and texts it must refuse.
#include "ProfileTexts.h"

#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

ComPtr<IWMProfile> Load(const std::u16string& text)
{
    HRESULT hr = E_FAIL;
    auto profile = ComPtr<IWMProfile>::Attach(LoadProfile(text, &hr));
    EXPECT_EQ(hr, S_OK);
    return profile;
}

HRESULT LoadResult(const std::u16string& text)
{
    HRESULT hr = S_OK;
    const auto profile = ComPtr<IWMProfile>::Attach(LoadProfile(text, &hr));
    return hr;
}

ComPtr<IWMStreamConfig> Stream(IWMProfile* profile, DWORD index)
{
    ComPtr<IWMStreamConfig> config;
    EXPECT_EQ(profile->GetStream(index, config.Receive()), S_OK);
    return config;
}

// The stream's media type record, its format block after it.
std::vector<BYTE> MediaType(IWMStreamConfig* config)
{
    ComPtr<IWMMediaProps> props;
    EXPECT_EQ(config->QueryInterface(IID_IWMMediaProps, props.ReceiveVoid()), S_OK);
    DWORD size = 0;
    EXPECT_EQ(props->GetMediaType(nullptr, &size), S_OK);
    std::vector<BYTE> buffer(size + alignof(std::max_align_t));
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    EXPECT_EQ(props->GetMediaType(type, &size), S_OK);
    return buffer;
}

const WM_MEDIA_TYPE& TypeOf(const std::vector<BYTE>& buffer)
{
    return *reinterpret_cast<const WM_MEDIA_TYPE*>(buffer.data());
}

const VIDEOINFOHEADER& VideoOf(const std::vector<BYTE>& buffer)
{
    return *reinterpret_cast<const VIDEOINFOHEADER*>(TypeOf(buffer).pbFormat);
}

std::string Xml(const std::u16string& text) { return std::string(text.begin(), text.end()); }

} // namespace

TEST(ProfileTest, TheVideoOnlyProfileHasOneWmv1StreamAsWritten)
{
    const ComPtr<IWMProfile> profile = Load(VideoOnlyProfileText());
    ASSERT_TRUE(profile);
    DWORD count = 0;
    ASSERT_EQ(profile->GetStreamCount(&count), S_OK);
    ASSERT_EQ(count, 1u);
    WMT_VERSION version = 0;
    EXPECT_EQ(profile->GetVersion(&version), S_OK);
    EXPECT_EQ(version, WMT_VER_9_0);
    DWORD length = 0;
    ASSERT_EQ(profile->GetDescription(nullptr, &length), S_OK);
    std::u16string description(length, u'\0');
    ASSERT_EQ(profile->GetDescription(description.data(), &length), S_OK);
    EXPECT_EQ(description.c_str(), std::u16string(u"Streams: 1 video"));

    const ComPtr<IWMStreamConfig> config = Stream(profile.Get(), 0);
    GUID type{};
    WORD number = 0;
    DWORD bitrate = 0;
    DWORD window = 0;
    EXPECT_EQ(config->GetStreamType(&type), S_OK);
    EXPECT_EQ(type, MEDIATYPE_Video);
    EXPECT_EQ(config->GetStreamNumber(&number), S_OK);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(config->GetBitrate(&bitrate), S_OK);
    EXPECT_EQ(bitrate, 100000u);
    EXPECT_EQ(config->GetBufferWindow(&window), S_OK);
    EXPECT_EQ(window, 3000u);
    WORD nameLength = 16;
    WCHAR name[16] = {};
    EXPECT_EQ(config->GetStreamName(name, &nameLength), S_OK);
    EXPECT_EQ(std::u16string(name), u"Video1");

    ComPtr<IWMVideoMediaProps> props;
    ASSERT_EQ(config.As(IID_IWMVideoMediaProps, props), S_OK);
    LONGLONG spacing = 0;
    DWORD quality = 0;
    EXPECT_EQ(props->GetMaxKeyFrameSpacing(&spacing), S_OK);
    EXPECT_EQ(spacing, 80000000);
    EXPECT_EQ(props->GetQuality(&quality), S_OK);
    EXPECT_EQ(quality, 100u);

    const std::vector<BYTE> media = MediaType(config.Get());
    EXPECT_EQ(TypeOf(media).subtype, WMMEDIASUBTYPE_WMV1);
    EXPECT_EQ(TypeOf(media).formattype, FORMAT_VideoInfo);
    EXPECT_EQ(TypeOf(media).cbFormat, sizeof(VIDEOINFOHEADER));
    EXPECT_TRUE(TypeOf(media).bTemporalCompression);
    const VIDEOINFOHEADER& video = VideoOf(media);
    EXPECT_EQ(video.AvgTimePerFrame, 333333);
    EXPECT_EQ(video.bmiHeader.biWidth, 320);
    EXPECT_EQ(video.bmiHeader.biHeight, 240);
    EXPECT_EQ(video.bmiHeader.biCompression, 0x31564D57u);
    EXPECT_EQ(video.rcTarget.right, 320);
}

TEST(ProfileTest, TheAudioVideoProfileAddsAWma2StreamThatIsNotVideo)
{
    const ComPtr<IWMProfile> profile = Load(AudioVideoProfileText());
    ASSERT_TRUE(profile);
    DWORD count = 0;
    ASSERT_EQ(profile->GetStreamCount(&count), S_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(VideoOf(MediaType(Stream(profile.Get(), 0).Get())).AvgTimePerFrame, 666666);

    const ComPtr<IWMStreamConfig> audio = Stream(profile.Get(), 1);
    DWORD bitrate = 0;
    EXPECT_EQ(audio->GetBitrate(&bitrate), S_OK);
    EXPECT_EQ(bitrate, 32024u);
    ComPtr<IWMVideoMediaProps> videoProps;
    EXPECT_EQ(audio.As(IID_IWMVideoMediaProps, videoProps), E_NOINTERFACE);

    const std::vector<BYTE> media = MediaType(audio.Get());
    const WM_MEDIA_TYPE& type = TypeOf(media);
    EXPECT_EQ(type.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(type.subtype, WMMEDIASUBTYPE_WMAudioV8);
    EXPECT_EQ(type.formattype, FORMAT_WaveFormatEx);
    ASSERT_EQ(type.cbFormat, sizeof(WAVEFORMATEX) + 10);
    WAVEFORMATEX wave;
    std::memcpy(&wave, type.pbFormat, sizeof wave);
    EXPECT_EQ(wave.wFormatTag, 0x0161);
    EXPECT_EQ(wave.nChannels, 2);
    EXPECT_EQ(wave.nSamplesPerSec, 22050u);
    EXPECT_EQ(wave.nAvgBytesPerSec, 4003u);
    EXPECT_EQ(wave.nBlockAlign, 1487);
    EXPECT_EQ(wave.cbSize, 10);
    const BYTE codecData[10] = {0x00, 0x44, 0x00, 0x00, 0x17, 0x00, 0x3D, 0x17, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(type.pbFormat + sizeof(WAVEFORMATEX), codecData, 10), 0);
}

TEST(ProfileTest, TheEnginesEditReachesTheProfileOnlyThroughReconfigStream)
{
    for (const std::u16string& text : {VideoOnlyProfileText(), AudioVideoProfileText()}) {
        const ComPtr<IWMProfile> profile = Load(text);
        ASSERT_TRUE(profile);
        const VIDEOINFOHEADER before = VideoOf(MediaType(Stream(profile.Get(), 0).Get()));

        // A changed copy that is not given back changes nothing.
        ASSERT_EQ(Stream(profile.Get(), 0)->SetBitrate(5), S_OK);
        DWORD bitrate = 0;
        EXPECT_EQ(Stream(profile.Get(), 0)->GetBitrate(&bitrate), S_OK);
        EXPECT_NE(bitrate, 5u);

        ASSERT_EQ(EditVideoStream(profile.Get(), 640, 480, 185000), S_OK);
        const ComPtr<IWMStreamConfig> edited = Stream(profile.Get(), 0);
        EXPECT_EQ(edited->GetBitrate(&bitrate), S_OK);
        EXPECT_EQ(bitrate, 185000u);
        const std::vector<BYTE> media = MediaType(edited.Get());
        const VIDEOINFOHEADER& video = VideoOf(media);
        EXPECT_EQ(video.bmiHeader.biWidth, 640);
        EXPECT_EQ(video.bmiHeader.biHeight, 480);
        EXPECT_EQ(video.bmiHeader.biSizeImage, 921600u);
        EXPECT_TRUE(TypeOf(media).bFixedSizeSamples);
        EXPECT_EQ(TypeOf(media).lSampleSize, 921600u);
        EXPECT_EQ(video.rcSource.right, 640);
        EXPECT_EQ(video.rcTarget.bottom, 480);
        EXPECT_EQ(video.dwBitRate, 185000u);
        EXPECT_EQ(video.AvgTimePerFrame, before.AvgTimePerFrame);
        EXPECT_EQ(video.bmiHeader.biCompression, before.bmiHeader.biCompression);
        EXPECT_EQ(TypeOf(media).subtype, WMMEDIASUBTYPE_WMV1);
    }
    const ComPtr<IWMProfile> audioVideo = Load(AudioVideoProfileText());
    ASSERT_EQ(EditVideoStream(audioVideo.Get(), 640, 480, 185000), S_OK);
    DWORD audioBitrate = 0;
    EXPECT_EQ(Stream(audioVideo.Get(), 1)->GetBitrate(&audioBitrate), S_OK);
    EXPECT_EQ(audioBitrate, 32024u);
}

TEST(ProfileTest, ReconfigStreamRefusesAStreamTheProfileDoesNotHave)
{
    const ComPtr<IWMProfile> profile = Load(AudioVideoProfileText());
    ASSERT_TRUE(profile);
    const ComPtr<IWMStreamConfig> audio = Stream(profile.Get(), 1);
    ASSERT_EQ(audio->SetStreamNumber(7), S_OK);
    EXPECT_EQ(profile->ReconfigStream(audio.Get()), E_INVALIDARG);
    // The audio stream given the video stream's number is refused too: the types differ.
    ASSERT_EQ(audio->SetStreamNumber(1), S_OK);
    EXPECT_EQ(profile->ReconfigStream(audio.Get()), E_INVALIDARG);
    EXPECT_EQ(profile->ReconfigStream(nullptr), E_POINTER);
}

TEST(ProfileTest, GetMediaTypeSaysHowMuchRoomItNeeds)
{
    const ComPtr<IWMProfile> profile = Load(VideoOnlyProfileText());
    ComPtr<IWMMediaProps> props;
    ASSERT_EQ(Stream(profile.Get(), 0).As(IID_IWMMediaProps, props), S_OK);
    DWORD size = 0;
    ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
    EXPECT_EQ(size, sizeof(WM_MEDIA_TYPE) + sizeof(VIDEOINFOHEADER));
    std::vector<std::max_align_t> buffer(size / sizeof(std::max_align_t) + 1);
    DWORD small = size - 1;
    EXPECT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data()), &small),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, size);
}

TEST(ProfileTest, TextsThatAreNoProfileAreRefusedWithPublishedCodes)
{
    const std::string good = Xml(VideoOnlyProfileText());
    const auto changed = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return ProfileText(text);
    };
    EXPECT_EQ(LoadResult(u""), NS_E_INVALID_DATA);
    EXPECT_EQ(LoadResult(ProfileText(good.substr(0, good.size() / 2))), NS_E_INVALID_DATA);
    EXPECT_EQ(LoadResult(ProfileText("<profile version=\"589824\" name=\"\" description=\"\"/>")), NS_E_INVALID_DATA);
    EXPECT_EQ(LoadResult(changed("bitrate=\"100000\"", "bitrate=\"lots\"")), NS_E_INVALID_DATA);
    EXPECT_EQ(LoadResult(changed("biwidth=\"320\"", "biwidth=\"99999999999\"")), NS_E_INVALID_DATA);
    EXPECT_EQ(LoadResult(changed("streamnumber=\"1\"", "streamnumber=\"0\"")), NS_E_INVALID_DATA);
    EXPECT_EQ(LoadResult(changed("<bitmapinfoheader", "<bitmapheader")), NS_E_INVALID_DATA);
    // A codec the platform cannot write: WMV3, and a stream that is neither video nor audio.
    EXPECT_EQ(LoadResult(changed("{31564D57-", "{33564D57-")), NS_E_INVALID_INPUT_FORMAT);
    EXPECT_EQ(LoadResult(changed("{73646976-", "{73747874-")), NS_E_INVALID_INPUT_FORMAT);
    EXPECT_EQ(LoadResult(changed("biwidth=\"320\"", "biwidth=\"1\"")), NS_E_INVALID_INPUT_FORMAT);
}

TEST(ProfileTest, TwoStreamsWithOneNumberAreRefused)
{
    std::string text = Xml(AudioVideoProfileText());
    text.replace(text.find("streamnumber=\"2\""), 16, "streamnumber=\"1\"");
    EXPECT_EQ(LoadResult(ProfileText(text)), NS_E_INVALID_DATA);
}
