// Movies written by the ASF writer from the picture source's frames, read
// back with ffprobe; the writer's configuration; write failures.
#include "WriterFixture.h"

#include "tests/common/MovieProbe.h"

#include "platform/base/WideText.h"

#include <fstream>

namespace {

// The five test pictures, shown 500 ms each.
constexpr int kPictures = 5;
constexpr LONG kRepTime = 500;
constexpr double kMovieSeconds = kPictures * kRepTime / 1000.0;
constexpr double kFrameSeconds = kRepTime / 1000.0;

bool Exists(const std::filesystem::path& path) { return std::filesystem::exists(path); }

void ExpectOneFramePerPicture(const MovieProbe& probe)
{
    ASSERT_EQ(probe.videoTimes.size(), static_cast<std::size_t>(kPictures));
    for (int i = 0; i < kPictures; ++i) EXPECT_NEAR(probe.videoTimes[i], i * kFrameSeconds, 0.002) << i;
    EXPECT_NEAR(probe.Duration(), kMovieSeconds, kFrameSeconds);
}

} // namespace

TEST_F(WriterTest, AMovieHasOneWmv1FramePerPictureAtItsTime)
{
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 160, 120, 185000);
    const std::filesystem::path file = folder / "movie.wmv";
    BuildGraph(profile.Get(), file);
    const std::vector<GraphEvent> seen = RunToEnd();
    ASSERT_TRUE(Has(seen, EC_COMPLETE));
    EXPECT_FALSE(Has(seen, EC_ERRORABORT));
    ASSERT_EQ(control->Stop(), S_OK);

    const MovieProbe probe = MovieProbe::Of(file);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.Field("format.format_name"), "asf");
    const int video = probe.StreamOf("video");
    ASSERT_GE(video, 0);
    EXPECT_EQ(probe.StreamOf("audio"), -1);
    EXPECT_EQ(probe.StreamField(video, "codec_name"), "wmv1");
    EXPECT_EQ(probe.StreamField(video, "width"), "160");
    EXPECT_EQ(probe.StreamField(video, "height"), "120");
    ExpectOneFramePerPicture(probe);
    EXPECT_EQ(Temporaries(folder), 0);
}

TEST_F(WriterTest, SoundIsWrittenAsWma2At22050HzStereo)
{
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(AudioVideoProfileText(), 64, 48, 185000);
    const std::filesystem::path file = folder / "sound.wmv";
    BuildGraph(profile.Get(), file);
    AddSound(44100, 1, static_cast<REFERENCE_TIME>(kMovieSeconds * 1000) * kUnitsPerMillisecond);
    ASSERT_TRUE(Has(RunToEnd(), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);

    const MovieProbe probe = MovieProbe::Of(file);
    ASSERT_TRUE(probe.readable);
    const int audio = probe.StreamOf("audio");
    ASSERT_GE(audio, 0);
    EXPECT_EQ(probe.StreamField(audio, "codec_name"), "wmav2");
    EXPECT_EQ(probe.StreamField(audio, "sample_rate"), "22050");
    EXPECT_EQ(probe.StreamField(audio, "channels"), "2");
    EXPECT_EQ(probe.StreamField(probe.StreamOf("video"), "codec_name"), "wmv1");
    ExpectOneFramePerPicture(probe);
}

TEST_F(WriterTest, ASecondRunWritesASecondWholeMovie)
{
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 64, 48, 185000);
    BuildGraph(profile.Get(), folder / "first.wmv");
    ASSERT_TRUE(Has(RunToEnd(), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    const std::filesystem::path second = folder / "second.wmv";
    ASSERT_EQ(writerSink->SetFileName(WideFromUtf8(second.string()).c_str(), nullptr), S_OK);
    ASSERT_TRUE(Has(RunToEnd(), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    ExpectOneFramePerPicture(MovieProbe::Of(folder / "first.wmv"));
    ExpectOneFramePerPicture(MovieProbe::Of(second));
}

TEST_F(WriterTest, ASoundInputThatEndsAtOnceStillGivesTheWholeMovie)
{
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(AudioVideoProfileText(), 64, 48, 185000);
    const std::filesystem::path file = folder / "silent.wmv";
    BuildGraph(profile.Get(), file);
    AddSound(22050, 2, 0);
    ASSERT_TRUE(Has(RunToEnd(), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    const MovieProbe probe = MovieProbe::Of(file);
    ASSERT_TRUE(probe.readable);
    EXPECT_GE(probe.StreamOf("audio"), 0);
    ExpectOneFramePerPicture(probe);
}

TEST_F(WriterTest, AnOddFrameSizeIsEncodedOnePixelShorter)
{
    ConfigurePictures(321, 241, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 321, 241, 185000);
    const std::filesystem::path file = folder / "odd.wmv";
    BuildGraph(profile.Get(), file);
    ASSERT_TRUE(Has(RunToEnd(), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);

    const MovieProbe probe = MovieProbe::Of(file);
    const int video = probe.StreamOf("video");
    ASSERT_GE(video, 0);
    EXPECT_EQ(probe.StreamField(video, "width"), "320");
    EXPECT_EQ(probe.StreamField(video, "height"), "240");
    ExpectOneFramePerPicture(probe);
}

TEST_F(WriterTest, AFolderThatDoesNotExistAbortsTheRunAndWritesNothing)
{
    const std::filesystem::path file = folder / "missing" / "movie.wmv";
    EXPECT_EQ(RunToAbort(file), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(Exists(file));
}

TEST_F(WriterTest, AnOutputNameThatIsAFolderAbortsAndLeavesTheFolderAlone)
{
    const std::filesystem::path taken = folder / "taken.wmv";
    std::filesystem::create_directory(taken);
    std::ofstream(taken / "inside.txt") << "kept";
    EXPECT_EQ(RunToAbort(taken), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_TRUE(Exists(taken / "inside.txt"));
    EXPECT_EQ(Temporaries(folder), 0);
}

TEST_F(WriterTest, AMovieWithoutAPictureFailsAndKeepsTheEarlierFile)
{
    const std::filesystem::path bad = folder / "bad";
    std::filesystem::create_directory(bad);
    for (const char* name : {"1.jpg", "2.jpg"}) std::ofstream(bad / name) << "not a JPEG";
    ASSERT_EQ(sourceConfig->SetFolder(WideFromUtf8(bad.string()).c_str()), S_OK);
    const std::filesystem::path file = folder / "earlier.wmv";
    std::ofstream(file) << "an earlier movie";
    EXPECT_EQ(RunToAbort(file), HRESULT_FROM_WIN32(ERROR_NO_DATA));
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an earlier movie");
    EXPECT_EQ(Temporaries(folder), 0);
}

TEST_F(WriterTest, AFullDiskMidMovieAbortsAndLeavesNoFile)
{
    ConfigurePictures(320, 240, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 320, 240, 185000);
    const std::filesystem::path file = folder / "full.wmv";
    BuildGraph(profile.Get(), file);
    const std::vector<GraphEvent> seen = RunOnAFullDisk();

    LONG_PTR code = 0;
    ASSERT_TRUE(Has(seen, EC_ERRORABORT, &code));
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(code)));
    EXPECT_FALSE(Has(seen, EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(Temporaries(folder), 0);
}

TEST_F(WriterTest, StoppingBeforeTheEndLeavesNoFile)
{
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(AudioVideoProfileText(), 64, 48, 185000);
    const std::filesystem::path file = folder / "stopped.wmv";
    BuildGraph(profile.Get(), file);
    // An hour of sound: the run is still writing when it is stopped.
    AddSound(22050, 2, 3600LL * 1000 * kUnitsPerMillisecond);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
    EXPECT_EQ(events->GetEvent(&code, &param1, &param2, 300), E_ABORT);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(Temporaries(folder), 0);
}

TEST_F(WriterTest, TheProfileDecidesThePinsWhileTheWriterIsUnconnected)
{
    const ComPtr<IWMProfile> audioVideo = EditedProfile(AudioVideoProfileText(), 64, 48, 185000);
    const ComPtr<IWMProfile> videoOnly = EditedProfile(VideoOnlyProfileText(), 64, 48, 185000);
    ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(audioVideo.Get()), S_OK);
    ComPtr<IPin> pin;
    EXPECT_EQ(writer->FindPin(u"Video Input 01", pin.Receive()), S_OK);
    EXPECT_EQ(writer->FindPin(u"Audio Input 01", pin.Receive()), S_OK);
    pin.Reset(); // no pin of the old profile held while the writer changes its pins

    ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(videoOnly.Get()), S_OK);
    EXPECT_EQ(writer->FindPin(u"Audio Input 01", pin.Receive()), VFW_E_NOT_FOUND);
    ComPtr<IWMProfile> current;
    ASSERT_EQ(writerConfig->GetCurrentProfile(current.Receive()), S_OK);
    EXPECT_EQ(current.Get(), videoOnly.Get());

    // Once connected the pins stay as they are.
    ConfigurePictures(64, 48, kRepTime);
    BuildGraph(videoOnly.Get(), (folder / "pins.wmv").string());
    EXPECT_EQ(writerConfig->ConfigureFilterUsingProfile(audioVideo.Get()), VFW_E_ALREADY_CONNECTED);
}

TEST_F(WriterTest, TheFileNameIsKeptAndARunNeedsOne)
{
    LPOLESTR name = nullptr;
    EXPECT_EQ(writerSink->GetCurFile(&name, nullptr), E_FAIL);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 64, 48, 185000);
    ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(profile.Get()), S_OK);
    EXPECT_EQ(writer->Pause(), VFW_E_NOT_CONNECTED);

    EXPECT_EQ(writerSink->SetFileName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(writerSink->SetFileName(u"", nullptr), E_INVALIDARG);
    ASSERT_EQ(writerSink->SetFileName(u"/tmp/名前.wmv", nullptr), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(writerSink->GetCurFile(&name, &type), S_OK);
    EXPECT_EQ(std::u16string(name), u"/tmp/名前.wmv");
    CoTaskMemFree(name);
}

TEST_F(WriterTest, TheSourceFillsTheWritersOwnBuffersAndSoundIsCopied)
{
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(AudioVideoProfileText(), 64, 48, 185000);
    const std::filesystem::path file = folder / "own.wmv";
    BuildGraph(profile.Get(), file);
    AddSound(44100, 1, static_cast<REFERENCE_TIME>(kMovieSeconds * 1000) * kUnitsPerMillisecond);
    ComPtr<IMemInputPin> video;
    ASSERT_EQ(WriterPin(u"Video Input 01")->QueryInterface(IID_IMemInputPin, video.ReceiveVoid()), S_OK);
    ComPtr<IMemAllocator> allocator;
    ASSERT_EQ(video->GetAllocator(allocator.Receive()), S_OK);
    ALLOCATOR_PROPERTIES agreed{};
    ASSERT_EQ(allocator->GetProperties(&agreed), S_OK);
    EXPECT_EQ(agreed.cbBuffer, 64 * 48 * 3) << "the picture source sized the writer's buffers";
    EXPECT_EQ(agreed.cBuffers, 2);
    ComPtr<IMemInputPin> sound;
    ASSERT_EQ(WriterPin(u"Audio Input 01")->QueryInterface(IID_IMemInputPin, sound.ReceiveVoid()), S_OK);
    ComPtr<IMemAllocator> none;
    EXPECT_EQ(sound->GetAllocator(none.Receive()), VFW_E_NO_ALLOCATOR);

    const std::vector<GraphEvent> seen = RunToEnd();
    ASSERT_TRUE(Has(seen, EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    const MovieProbe probe = MovieProbe::Of(file);
    ASSERT_TRUE(probe.readable);
    ExpectOneFramePerPicture(probe);
    EXPECT_GE(probe.StreamOf("audio"), 0);
}

TEST_F(WriterTest, TheVideoInputTakesOnlyRgb24)
{
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 64, 48, 185000);
    ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(profile.Get()), S_OK);
    const ComPtr<IPin> input = WriterPin(u"Video Input 01");
    ASSERT_NE(input.Get(), nullptr);
    VIDEOINFOHEADER video{};
    video.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    video.bmiHeader.biWidth = 64;
    video.bmiHeader.biHeight = 48;
    video.bmiHeader.biPlanes = 1;
    video.bmiHeader.biBitCount = 24;
    AM_MEDIA_TYPE type{MEDIATYPE_Video, MEDIASUBTYPE_RGB24, TRUE,
                       FALSE,           64 * 48 * 3,        FORMAT_VideoInfo,
                       nullptr,         sizeof video,       reinterpret_cast<BYTE*>(&video)};
    EXPECT_EQ(input->QueryAccept(&type), S_OK);
    type.subtype = MEDIASUBTYPE_RGB32;
    EXPECT_NE(input->QueryAccept(&type), S_OK);
    type.subtype = MEDIASUBTYPE_RGB24;
    video.bmiHeader.biWidth = 0;
    EXPECT_NE(input->QueryAccept(&type), S_OK);
    type.cbFormat = sizeof video - 1;
    video.bmiHeader.biWidth = 64;
    EXPECT_NE(input->QueryAccept(&type), S_OK);
}
