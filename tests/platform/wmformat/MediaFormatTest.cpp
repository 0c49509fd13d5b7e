// Which media types each filter that reads a format accepts: the writer's two
// inputs, the video and audio renderers and the picture source. They read
// through one parser each for video and sound, and each keeps its own limits.
#include "WriterFixture.h"

#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/OwnedMediaType.h"

#include <cstdlib>
#include <functional>
#include <limits>

namespace {

// The picture source is set to this frame size.
constexpr LONG kWidth = 64;
constexpr LONG kHeight = 48;

enum Taker { WriterVideo, WriterAudio, VideoRenderer, AudioRenderer, PictureSource, kTakers };

struct Case {
    const char* what;
    std::function<void(AM_MEDIA_TYPE&, VIDEOINFOHEADER&, WAVEFORMATEX&)> change;
    bool audio; // the case starts from the PCM type, else from the RGB24 one
    bool accepted[kTakers];
};

VIDEOINFOHEADER& VideoOf(AM_MEDIA_TYPE& type) { return *reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat); }

// Writer video, writer audio, video renderer, audio renderer, picture source.
const Case kCases[] = {
    {"64x48 RGB24", [](auto&, auto&, auto&) {}, false, {true, false, true, false, true}},
    {"top row first",
     [](auto&, auto& v, auto&) { v.bmiHeader.biHeight = -kHeight; },
     false,
     {true, false, true, false, true}},
    {"RGB32",
     [](auto& t, auto& v, auto&) { t.subtype = MEDIASUBTYPE_RGB32, v.bmiHeader.biBitCount = 32; },
     false,
     {false, false, true, false, false}},
    {"RGB32 named, 24 bits in the header",
     [](auto& t, auto&, auto&) { t.subtype = MEDIASUBTYPE_RGB32; },
     false,
     {false, false, false, false, false}},
    {"samples of varying size",
     [](auto& t, auto&, auto&) { t.bFixedSizeSamples = FALSE; },
     false,
     {true, false, true, false, false}},
    {"no format type",
     [](auto& t, auto&, auto&) { t.formattype = GUID_NULL; },
     false,
     {false, false, false, false, true}},
    {"format block a byte short",
     [](auto& t, auto&, auto&) { t.cbFormat = sizeof(VIDEOINFOHEADER) - 1; },
     false,
     {false, false, false, false, false}},
    {"bit fields",
     [](auto&, auto& v, auto&) { v.bmiHeader.biCompression = BI_BITFIELDS; },
     false,
     {false, false, false, false, true}},
    {"no width", [](auto&, auto& v, auto&) { v.bmiHeader.biWidth = 0; }, false, {false, false, false, false, false}},
    {"no height", [](auto&, auto& v, auto&) { v.bmiHeader.biHeight = 0; }, false, {false, false, false, false, false}},
    {"widest side",
     [](auto&, auto& v, auto&) { v.bmiHeader.biWidth = kMaxVideoSide; },
     false,
     {true, false, true, false, false}},
    {"too wide",
     [](auto&, auto& v, auto&) { v.bmiHeader.biWidth = kMaxVideoSide + 1; },
     false,
     {false, false, false, false, false}},
    {"tallest, top row first",
     [](auto&, auto& v, auto&) { v.bmiHeader.biHeight = -kMaxVideoSide; },
     false,
     {true, false, true, false, false}},
    {"too tall, top row first",
     [](auto&, auto& v, auto&) { v.bmiHeader.biHeight = -kMaxVideoSide - 1; },
     false,
     {false, false, false, false, false}},
    {"the most negative height",
     [](auto&, auto& v, auto&) { v.bmiHeader.biHeight = std::numeric_limits<LONG>::min(); },
     false,
     {false, false, false, false, false}},
    {"another size",
     [](auto&, auto& v, auto&) { v.bmiHeader.biWidth = 32, v.bmiHeader.biHeight = 24; },
     false,
     {true, false, true, false, false}},
    {"smaller than the source's smallest",
     [](auto&, auto& v, auto&) { v.bmiHeader.biWidth = 10; },
     false,
     {true, false, true, false, false}},
    {"video called sound",
     [](auto& t, auto&, auto&) { t.majortype = MEDIATYPE_Audio; },
     false,
     {false, false, false, false, false}},

    {"44.1 kHz 16-bit stereo", [](auto&, auto&, auto&) {}, true, {false, true, false, true, false}},
    {"8-bit",
     [](auto&, auto&, auto& w) { w.wBitsPerSample = 8, w.nBlockAlign = 2; },
     true,
     {false, false, false, true, false}},
    {"24-bit",
     [](auto&, auto&, auto& w) { w.wBitsPerSample = 24, w.nBlockAlign = 6; },
     true,
     {false, false, false, false, false}},
    {"a block that does not match the channels",
     [](auto&, auto&, auto& w) { w.nBlockAlign = 3; },
     true,
     {false, false, false, false, false}},
    {"the record without its size field",
     [](auto& t, auto&, auto&) { t.cbFormat = 16; },
     true,
     {false, true, false, false, false}},
    {"a record shorter still",
     [](auto& t, auto&, auto&) { t.cbFormat = 15; },
     true,
     {false, false, false, false, false}},
    {"eight channels",
     [](auto&, auto&, auto& w) { w.nChannels = 8, w.nBlockAlign = 16; },
     true,
     {false, true, false, true, false}},
    {"nine channels",
     [](auto&, auto&, auto& w) { w.nChannels = 9, w.nBlockAlign = 18; },
     true,
     {false, false, false, false, false}},
    {"no channels",
     [](auto&, auto&, auto& w) { w.nChannels = 0, w.nBlockAlign = 0; },
     true,
     {false, false, false, false, false}},
    {"999 Hz", [](auto&, auto&, auto& w) { w.nSamplesPerSec = 999; }, true, {false, false, false, false, false}},
    {"1000 Hz", [](auto&, auto&, auto& w) { w.nSamplesPerSec = 1000; }, true, {false, true, false, true, false}},
    {"192 kHz", [](auto&, auto&, auto& w) { w.nSamplesPerSec = 192000; }, true, {false, true, false, true, false}},
    {"192,001 Hz", [](auto&, auto&, auto& w) { w.nSamplesPerSec = 192001; }, true, {false, true, false, false, false}},
    {"384 kHz", [](auto&, auto&, auto& w) { w.nSamplesPerSec = 384000; }, true, {false, true, false, false, false}},
    {"384,001 Hz", [](auto&, auto&, auto& w) { w.nSamplesPerSec = 384001; }, true, {false, false, false, false, false}},
    {"floating point", [](auto&, auto&, auto& w) { w.wFormatTag = 3; }, true, {false, false, false, false, false}},
    {"no format type",
     [](auto& t, auto&, auto&) { t.formattype = GUID_NULL; },
     true,
     {false, false, false, false, false}},
    {"not PCM",
     [](auto& t, auto&, auto&) { t.subtype = MEDIASUBTYPE_RGB24; },
     true,
     {false, false, false, false, false}},
    {"sound called video",
     [](auto& t, auto&, auto&) { t.majortype = MEDIATYPE_Video; },
     true,
     {false, false, false, false, false}},
};

class MediaFormatTest : public WriterTest {
protected:
    void SetUp() override
    {
        // Without a sound device the audio renderer is not made; its input is what is asked here.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        WriterTest::SetUp();
        ConfigurePictures(kWidth, kHeight, 500);
        const ComPtr<IWMProfile> profile = EditedProfile(AudioVideoProfileText(), kWidth, kHeight, 185000);
        ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(profile.Get()), S_OK);
        takers[WriterVideo] = WriterPin(u"Video Input 01");
        takers[WriterAudio] = WriterPin(u"Audio Input 01");
        ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   videoRenderer.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(videoRenderer->FindPin(u"In", takers[VideoRenderer].Receive()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   audioRenderer.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(audioRenderer->FindPin(u"Audio Input pin (rendered)", takers[AudioRenderer].Receive()), S_OK);
        ASSERT_EQ(source->FindPin(u"1", takers[PictureSource].Receive()), S_OK);
        for (const ComPtr<IPin>& pin : takers) ASSERT_NE(pin.Get(), nullptr);
    }

    ComPtr<IBaseFilter> videoRenderer;
    ComPtr<IBaseFilter> audioRenderer;
    ComPtr<IPin> takers[kTakers];
};

} // namespace

TEST_F(MediaFormatTest, EachFilterTakesTheTypesItCanUseAndNoOthers)
{
    const char* names[kTakers] = {"writer video", "writer audio", "video renderer", "audio renderer", "picture source"};
    for (const Case& c : kCases) {
        OwnedMediaType video;
        ASSERT_EQ(VideoFormat::Rgb24(kWidth, kHeight).Write(video.Receive()), S_OK);
        OwnedMediaType sound;
        ASSERT_EQ(AudioFormat::Pcm16(44100, 2).Write(sound.Receive()), S_OK);
        AM_MEDIA_TYPE type = (c.audio ? sound : video).Record();
        // A change edits the block of its own kind; the other kind's is a spare.
        VIDEOINFOHEADER spareVideo{};
        WAVEFORMATEX spareWave{};
        VIDEOINFOHEADER& header = c.audio ? spareVideo : VideoOf(type);
        WAVEFORMATEX& wave = c.audio ? *reinterpret_cast<WAVEFORMATEX*>(type.pbFormat) : spareWave;
        c.change(type, header, wave);
        for (int taker = 0; taker < kTakers; ++taker) {
            EXPECT_EQ(takers[taker]->QueryAccept(&type), c.accepted[taker] ? S_OK : S_FALSE)
                << names[taker] << ": " << c.what;
        }
    }
}

TEST(MediaFormatRead, TheSourcesTypeReadsBackAsItWasWritten)
{
    OwnedMediaType type;
    ASSERT_EQ(VideoFormat::Rgb24(321, -7, 400000).Write(type.Receive()), S_OK);
    EXPECT_EQ(type.Record().lSampleSize, 964u * 7) << "rows of 321 pixels padded to 964 bytes";
    VideoFormat read;
    ASSERT_TRUE(VideoFormat::Read(type.Record(), &read));
    EXPECT_TRUE(read.IsRgb(24));
    EXPECT_FALSE(read.BottomUp());
    EXPECT_EQ(read.Rows(), 7u);
    EXPECT_EQ(read.Stride(), 964u);
    EXPECT_EQ(read.frameTime, 400000);

    OwnedMediaType sound;
    ASSERT_EQ(AudioFormat::Pcm16(22050, 1).Write(sound.Receive()), S_OK);
    AudioFormat heard;
    ASSERT_TRUE(AudioFormat::Read(sound.Record(), &heard));
    EXPECT_EQ(heard.sampleRate, 22050u);
    EXPECT_EQ(heard.bytesPerSecond, 44100u);
    EXPECT_TRUE(heard.wholeRecord);
    EXPECT_TRUE(heard.BlockAlignMatches());
}
