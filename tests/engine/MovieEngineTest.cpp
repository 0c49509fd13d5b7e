#include "EngineFixture.h"

#include "app/Translations.h"
#include "platform/mediagraph/MediaResults.h"

#include <fstream>
#include <thread>

namespace {

constexpr double kTolerance = 0.12; // seconds: ASF durations are stamped to the millisecond plus a frame

const char* const SmallConfig = "[Screen]\nwidth=160\nheight=120\nFrameSpeed=200\nQuality=150000\n"
                                "[System]\nWorkThreadPriority=1\n";

struct VideoStreamFormat {
    LONG width = 0;
    LONG height = 0;
    DWORD bitRate = 0;
    REFERENCE_TIME frameTime = 0;
};

// The video stream of a profile, checking that its image size counts rows padded to four bytes.
VideoStreamFormat VideoFormat(IWMProfile* profile)
{
    VideoStreamFormat format;
    ComPtr<IWMStreamConfig> stream;
    ComPtr<IWMMediaProps> props;
    DWORD size = 0;
    EXPECT_EQ(profile->GetStream(0, stream.Receive()), S_OK);
    EXPECT_EQ(stream.As(IID_IWMMediaProps, props), S_OK);
    if (!props || FAILED(props->GetMediaType(nullptr, &size))) return format;
    std::vector<std::uint64_t> buffer(size / 8 + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    EXPECT_EQ(props->GetMediaType(type, &size), S_OK);
    const auto* header = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    format.width = header->bmiHeader.biWidth;
    format.height = header->bmiHeader.biHeight;
    format.frameTime = header->AvgTimePerFrame;
    EXPECT_EQ(type->lSampleSize, header->bmiHeader.biSizeImage);
    EXPECT_EQ(header->bmiHeader.biSizeImage, DWORD((format.width * 3 + 3) / 4 * 4 * format.height));
    EXPECT_EQ(stream->GetBitrate(&format.bitRate), S_OK);
    return format;
}

class MovieEngineTest : public EngineTest {
protected:
    void UseSmallConfig()
    {
        WriteConfig(SmallConfig);
        ASSERT_TRUE(engine->LoadSettings(WideFromUtf8((folder / "config.ini").string())));
    }
    std::string Output(const std::string& name) const { return (folder / name).string(); }
};

TEST_F(MovieEngineTest, ProfilesCarryTheDefaultsAndTheirOwnFrameRates)
{
    const VideoStreamFormat videoOnly = VideoFormat(engine->VideoOnlyProfile());
    EXPECT_EQ(videoOnly.width, 640);
    EXPECT_EQ(videoOnly.height, 480);
    EXPECT_EQ(videoOnly.bitRate, 185000u);
    EXPECT_EQ(videoOnly.frameTime, 333333);
    const VideoStreamFormat audioVideo = VideoFormat(engine->AudioVideoProfile());
    EXPECT_EQ(audioVideo.width, 640);
    EXPECT_EQ(audioVideo.frameTime, 666666);
    DWORD streams = 0;
    ASSERT_EQ(engine->AudioVideoProfile()->GetStreamCount(&streams), S_OK);
    EXPECT_EQ(streams, 2u);
    ComPtr<IWMStreamConfig> audio;
    ASSERT_EQ(engine->AudioVideoProfile()->GetStream(1, audio.Receive()), S_OK);
    DWORD audioRate = 0;
    ASSERT_EQ(audio->GetBitrate(&audioRate), S_OK);
    EXPECT_EQ(audioRate, 32024u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, SettingsApplyOnlyWhenAllFiveKeysAreThere)
{
    const MovieSettings defaults;
    WriteConfig("[Screen]\nwidth=320\nheight=240\nFrameSpeed=100\nQuality=90000\n");
    EXPECT_FALSE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_EQ(engine->Settings().width, defaults.width);
    WriteConfig("[screen]\nWIDTH=320\nheight=240\nFrameSpeed=-1\nQuality=90000\n[System]\nWorkThreadPriority=0\n");
    EXPECT_FALSE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_EQ(engine->Settings().width, defaults.width);
    EXPECT_FALSE(engine->LoadSettings(WideFromUtf8(Output("missing.ini"))));
    EXPECT_FALSE(engine->LoadSettings(std::u16string(300, u'a')));

    UseSmallConfig();
    EXPECT_EQ(engine->Settings().width, 160);
    EXPECT_EQ(engine->Settings().frameSpeed, 200);
    const VideoStreamFormat loaded = VideoFormat(engine->AudioVideoProfile());
    EXPECT_EQ(loaded.width, 160);
    EXPECT_EQ(loaded.height, 120);
    EXPECT_EQ(loaded.bitRate, 150000u);
    // An odd width: the image size counts rows padded to four bytes (checked in VideoFormat).
    MovieSettings odd = engine->Settings();
    odd.width = 321;
    ASSERT_TRUE(engine->ApplySettings(odd));
    EXPECT_EQ(VideoFormat(engine->VideoOnlyProfile()).width, 321);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, MovieOfMixedPicturesHasTheConfiguredSizeAndLength)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    ASSERT_TRUE(engine->HasPictureFolder());
    ASSERT_EQ(engine->PictureCount(), 6);
    EXPECT_EQ(Utf8FromWide(engine->PicturePath(0)), Media("mixed") + "/a420.jpg");
    MakeMovie(Output("mixed.wmv"));
    EXPECT_EQ(engine->CurrentPicture(), 6);
    EXPECT_EQ(run.Ended(), MovieRun::End::Complete);
    EXPECT_TRUE(run.Skipped().empty()) << "a greyscale picture among colour ones";
    const auto streams = ProbeStreams(Output("mixed.wmv"));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codec, "wmv1");
    EXPECT_EQ(streams[0].width, 160);
    EXPECT_EQ(streams[0].height, 120);
    EXPECT_NEAR(streams[0].duration, 1.2, kTolerance);
}

TEST_F(MovieEngineTest, PreviewShowsThePicturesWhileTheMovieIsWritten)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    MakeMovie(Output("preview.wmv"), kPreviewWindow);
    EXPECT_GT(preview.frames, 0);
    const auto streams = ProbeStreams(Output("preview.wmv"));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_NEAR(streams[0].duration, 1.2, kTolerance);
}

TEST_F(MovieEngineTest, UnreadablePictureIsPassedOverAndTheMovieGoesOn)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("broken")));
    ASSERT_EQ(engine->PictureCount(), 3);
    MakeMovie(Output("broken.wmv"));
    ASSERT_EQ(run.Skipped().size(), 1u);
    EXPECT_EQ(run.Skipped()[0].picture, 1);
    EXPECT_NE(run.Skipped()[0].reason, 0);
    EXPECT_EQ(run.Ended(), MovieRun::End::Complete);
    const auto streams = ProbeStreams(Output("broken.wmv"));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_NEAR(streams[0].duration, 0.4, 0.08) << "pictures 1 and 3, 200 ms each";
}

TEST_F(MovieEngineTest, AValueNoMovieCanBeMadeWithKeepsItsDefault)
{
    const MovieSettings defaults;
    WriteConfig("[Screen]\nwidth=10\nheight=240\nFrameSpeed=0\nQuality=-5\n[System]\nWorkThreadPriority=0\n");
    EXPECT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_EQ(engine->Settings().width, defaults.width);
    EXPECT_EQ(engine->Settings().height, 240);
    EXPECT_EQ(engine->Settings().frameSpeed, defaults.frameSpeed);
    EXPECT_EQ(VideoFormat(engine->VideoOnlyProfile()).bitRate, static_cast<DWORD>(defaults.quality))
        << "not a wrapped 4 Gbit/s";
    EXPECT_EQ(engine->RefusedSettings(),
              (std::vector<std::string>{"width=10 は 20..16384 の範囲外です。640 を使います",
                                        "FrameSpeed=0 は 1..3600000 の範囲外です。500 を使います",
                                        "Quality=-5 は 8000..50000000 の範囲外です。185000 を使います"}));
    UseSmallConfig();
    EXPECT_TRUE(engine->RefusedSettings().empty());
}

TEST_F(MovieEngineTest, TwelveMegapixelPictureIsStretchedToTheFrame)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("large")));
    MakeMovie(Output("large.wmv"));
    const auto streams = ProbeStreams(Output("large.wmv"));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].width, 160);
    EXPECT_NEAR(streams[0].duration, 0.2, kTolerance);
}

TEST_F(MovieEngineTest, ShortWavIsRepeatedToTheMoviesEnd)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("short.wav")));
    ASSERT_TRUE(engine->HasAudioTimeline());
    MakeMovie(Output("wav.wmv"));
    const auto streams = ProbeStreams(Output("wav.wmv"));
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[1].codec, "wmav2");
    EXPECT_EQ(streams[1].sampleRate, 22050);
    EXPECT_EQ(streams[1].channels, 2);
    EXPECT_NEAR(streams[1].duration, 1.2, kTolerance); // 0.7 s laid twice, the second cut
}

TEST_F(MovieEngineTest, SoundChosenBeforeTheFolderIsCutAtTheMoviesEnd)
{
    UseSmallConfig();
    engine->SetAudioFile(WideFromUtf8(Media("long.mp3")));
    EXPECT_FALSE(engine->HasAudioTimeline());
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    ASSERT_TRUE(engine->HasAudioTimeline());
    MakeMovie(Output("mp3.wmv"));
    const auto streams = ProbeStreams(Output("mp3.wmv"));
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_NEAR(streams[1].duration, 1.2, kTolerance);
}

TEST_F(MovieEngineTest, AnotherFolderDropsTheSoundEvenWhenRefused)
{
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("short.wav")));
    ASSERT_TRUE(engine->HasAudioTimeline());
    engine->SetPictureFolder(WideFromUtf8(Media("empty")));
    EXPECT_FALSE(engine->HasAudioTimeline());
    EXPECT_EQ(engine->PictureCount(), 0);
    EXPECT_TRUE(engine->HasPictureFolder()); // the refused folder leaves the old one in place
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, ARefusedFolderSaysWhetherItIsMissingOrEmpty)
{
    EXPECT_EQ(engine->SetPictureFolder(WideFromUtf8(Media("mixed"))), S_OK);
    EXPECT_EQ(engine->SetPictureFolder(WideFromUtf8((folder / "no-such-folder").string())),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(engine->SetPictureFolder(WideFromUtf8(Media("short.wav"))), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
        << "a file is no folder";
    EXPECT_EQ(engine->SetPictureFolder(WideFromUtf8(Media("empty"))), E_INVALIDARG);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, AFolderPathOfAnyLengthIsTakenWithItsPictures)
{
    std::filesystem::path deep = folder;
    for (const char part : {'a', 'b', 'c'}) deep /= std::string(100, part);
    std::filesystem::create_directories(deep);
    for (const char* name : {"x.jpg", "y.jpg"}) std::filesystem::copy_file(Media("second") + "/" + name, deep / name);
    ASSERT_GT(deep.string().size(), 300u);

    EXPECT_EQ(engine->SetPictureFolder(WideFromUtf8(deep.string())), S_OK);
    EXPECT_EQ(engine->PictureCount(), 2);
    EXPECT_EQ(Utf8FromWide(engine->PicturePath(1)), (deep / "y.jpg").string());
    EXPECT_EQ(engine->PicturePath(2), u"");
    std::vector<BYTE> frame;
    LONG width = 0;
    LONG height = 0;
    EXPECT_TRUE(engine->RenderPicture(0, frame, width, height));
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, WithoutARegisteredPictureSourceEveryFolderIsRefusedForThat)
{
    engine.reset();
    const std::string savedRegistry = std::getenv("REELSMITH_REGISTRY");
    setenv("REELSMITH_REGISTRY", (folder / "nothing-registered.reg").c_str(), 1);
    engine = std::make_unique<MovieEngine>();
    setenv("REELSMITH_REGISTRY", savedRegistry.c_str(), 1);
    EXPECT_FALSE(engine->IsReady());
    ASSERT_EQ(errors.size(), 1u) << "told once, at start-up";
    EXPECT_EQ(engine->SetPictureFolder(WideFromUtf8(Media("mixed"))), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(errors.size(), 1u);
}

// The window's user sees no standard error: the box names the registry file that
// cannot be used and what is wrong with it.
TEST_F(MovieEngineTest, ARegistryFileThatCannotBeUsedIsNamedInTheErrorBox)
{
    engine.reset();
    errors.clear();
    const std::string savedRegistry = std::getenv("REELSMITH_REGISTRY");
    const std::filesystem::path broken = folder / "broken.reg";
    std::ofstream(broken) << "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\n";
    setenv("REELSMITH_REGISTRY", broken.c_str(), 1);
    engine = std::make_unique<MovieEngine>();
    setenv("REELSMITH_REGISTRY", savedRegistry.c_str(), 1);
    EXPECT_FALSE(engine->IsReady());
    const auto texts = ErrorTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Error code: 0x80040150."), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find(broken.string() + " cannot be used: line 3"), std::string::npos) << texts[0];
    // Once the registry reads again, a class not found blames no file.
    errors.clear();
    engine = std::make_unique<MovieEngine>();
    ASSERT_TRUE(engine->IsReady());
    engine->ReportError(REGDB_E_CLASSNOTREG);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0].find("cannot be used"), std::string::npos) << ErrorTexts()[0];
}

TEST_F(MovieEngineTest, SecondMovieReplacesEveryFilterOfTheFirst)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("short.wav")));
    MakeMovie(Output("first.wmv"), kPreviewWindow);
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    MakeMovie(Output("second.wmv"));
    const auto first = ProbeStreams(Output("first.wmv"));
    const auto second = ProbeStreams(Output("second.wmv"));
    EXPECT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NEAR(second[0].duration, 0.4, kTolerance);
}

TEST_F(MovieEngineTest, PlaybackCountsThePicturesOnTheScreenNotThoseReadAhead)
{
    WriteConfig("[Screen]\nwidth=160\nheight=120\nFrameSpeed=1000\nQuality=150000\n[System]\nWorkThreadPriority=0\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8((folder / "config.ini").string())));
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    ASSERT_EQ(engine->Play(kPreviewWindow), S_OK);
    while (engine->PicturesShown() < 1 && dispatcher.WaitForWork(5000)) dispatcher.DispatchPending();
    EXPECT_EQ(engine->PicturesShown(), 1) << "the second picture is a second away";
    EXPECT_EQ(WaitForRun(), EC_COMPLETE);
    EXPECT_EQ(engine->PicturesShown(), 2);
}

TEST_F(MovieEngineTest, PlaybackOfAnAnimatedShowCountsPicturesNotFrames)
{
    WriteConfig("[Screen]\nwidth=160\nheight=120\nFrameSpeed=200\nQuality=150000\n[System]\nWorkThreadPriority=0\n"
                "[Show]\nTransition=crossfade\nTransitionMs=100\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8((folder / "config.ini").string())));
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    ASSERT_EQ(engine->Play(kPreviewWindow), S_OK);
    EXPECT_EQ(WaitForRun(), EC_COMPLETE);
    // Ten frames of 1/25 s went to the screen, which are the two pictures.
    EXPECT_EQ(engine->PicturesShown(), 2);
}

TEST_F(MovieEngineTest, PlayPausesResumesAndCompletes)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    MakeMovie(Output("before-play.wmv"), kPreviewWindow);
    preview.frames = 0;
    ASSERT_EQ(engine->Play(kPreviewWindow), S_OK);
    // The encode run switched the graph's clock off; playback paces the pictures by one again.
    ComPtr<IMediaFilter> timing;
    ASSERT_EQ(engine->GraphEvents()->QueryInterface(IID_IMediaFilter, timing.ReceiveVoid()), S_OK);
    ComPtr<IReferenceClock> clock;
    EXPECT_EQ(timing->GetSyncSource(clock.Receive()), S_OK);
    EXPECT_TRUE(clock);
    EXPECT_EQ(engine->GraphState(), 2);
    engine->SetPaused(true);
    EXPECT_EQ(engine->GraphState(), 1);
    engine->SetPaused(false);
    EXPECT_EQ(engine->GraphState(), 2);
    EXPECT_EQ(WaitForRun(), EC_COMPLETE);
    EXPECT_GT(preview.frames, 0);
    engine->Stop();
    EXPECT_EQ(engine->GraphState(), 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, PlayWithSoundCompletes)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    engine->SetAudioFile(WideFromUtf8(Media("short.wav")));
    ASSERT_EQ(engine->Play(kPreviewWindow), S_OK);
    EXPECT_EQ(WaitForRun(), EC_COMPLETE);
    engine->Stop();
    EXPECT_TRUE(errors.empty());
}

TEST_F(MovieEngineTest, VideoOnlyFileAsSoundIsRefusedWithMinusOne)
{
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("video.avi")));
    EXPECT_EQ(ErrorTexts(),
              std::vector<std::string>{"Error code: 0xffffffff.\nこのファイルには読み込める音声がありません: " +
                                       Media("video.avi")});
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].caption, "Reelsmith");
    EXPECT_EQ(errors[0].type, MB_ICONERROR);
    EXPECT_FALSE(engine->HasAudioTimeline());
}

// The writer opens its file when the graph starts, so the failure arrives as
// the run's abort event rather than as a report.
TEST_F(MovieEngineTest, UnwritableOutputAbortsTheRun)
{
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->MakeMovie(u"/nonexistent-folder/movie.wmv", nullptr);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(WaitForRun(), EC_ERRORABORT);
    engine->Stop();
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder/movie.wmv"));
}

TEST_F(MovieEngineTest, MissingAudioDeviceIsReportedOnceAtConstruction)
{
    engine.reset();
    setenv("SDL_AUDIODRIVER", "reelsmith-no-such-driver", 1);
    engine = std::make_unique<MovieEngine>();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_TRUE(engine->IsReady());
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"Error code: 0x80040256.\n音声出力装置がありません"});
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    engine->SetAudioFile(WideFromUtf8(Media("short.wav")));
    EXPECT_EQ(engine->Play(kPreviewWindow), VFW_E_NO_AUDIO_HARDWARE);
}

// The line under "Error code: 0x%x." for each code the program raises: its words in the
// user's language and the path it concerns; a code without words keeps the one line.
TEST_F(MovieEngineTest, EveryCodeTheProgramRaisesIsSaidInWords)
{
    const std::string pictures = Media("mixed");
    engine->SetPictureFolder(WideFromUtf8(pictures));
    engine->SetAudioFile(WideFromUtf8(Media("short.wav")));
    engine->MakeMovie(u"/nonexistent-folder/movie.wmv", nullptr);
    EXPECT_EQ(WaitForRun(), EC_ERRORABORT);
    engine->Stop();
    const std::string movie = ": /nonexistent-folder/movie.wmv";
    const std::string sound = ": " + Media("short.wav");
    struct Case {
        unsigned code;
        std::string japanese;
        std::string english;
    };
    const Case cases[] = {
        {0x80070005, "アクセスが拒否されました" + movie, "Permission denied" + movie},
        {0x80070003, "フォルダーが存在しません" + movie, "The folder does not exist" + movie},
        {0x80070002, "ファイルが存在しません" + sound, "The file does not exist" + sound},
        {0x80070070, "ディスクがいっぱいです" + movie, "The disk is full" + movie},
        {0x80070027, "ディスクがいっぱいです" + movie, "The disk is full" + movie},
        {0x8007001d, "動画ファイルに書き込めません" + movie, "The movie file cannot be written" + movie},
        {0x800700ce, "ファイル名が長すぎます" + movie, "The file name is too long" + movie},
        {0x800700e8, "読み込めるJPGファイルがありません: " + pictures, "No picture could be read: " + pictures},
        {0xffffffff, "このファイルには読み込める音声がありません" + sound,
         "The file has no sound that can be read" + sound},
        {0x8004025c, "このサウンドファイルの音声は変換できません (チャンネルの数か並びに対応していません)" + sound,
         "The sound file's audio cannot be converted (its number or layout of channels is not supported)" + sound},
        {0x8004022f, "サウンドファイルの形式を認識できません" + sound,
         "The sound file's format is not recognised" + sound},
        {0x80040154, "写真ソース (libXTPPic.so) が登録されていません。regsvr で登録してください",
         "The picture source (libXTPPic.so) is not registered; register it with regsvr"},
        {0x8007007e, "登録された写真ソースのライブラリを読み込めません",
         "The registered picture source library cannot be loaded"},
        {0x80040256, "音声出力装置がありません", "There is no sound output"},
        {0x8007000e, "メモリが足りません", "Not enough memory"},
    };
    for (const char* locale : {"C", "ja_JP", "en_US"}) {
        const Translations translations{QLocale(QString::fromLatin1(locale))};
        const bool english = locale == std::string("en_US");
        for (const Case& c : cases) {
            errors.clear();
            engine->ReportError(static_cast<HRESULT>(c.code));
            char code[32];
            std::snprintf(code, sizeof code, "Error code: 0x%x.", c.code);
            EXPECT_EQ(ErrorTexts(),
                      std::vector<std::string>{std::string(code) + "\n" + (english ? c.english : c.japanese)})
                << locale;
        }
        errors.clear();
        engine->ReportError(E_UNEXPECTED);
        EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"Error code: 0x8000ffff."});
    }
}

// With an error handler the failure arrives as a value, from construction on, and no box
// opens; its text is the box's text for the same failure.
TEST_F(MovieEngineTest, AnErrorHandlerGetsTheFailureAsAValueInsteadOfABox)
{
    std::vector<MovieError> handled;
    MovieEngine handling([&handled](const MovieError& error) { handled.push_back(error); });
    ASSERT_TRUE(handling.IsReady());
    const std::u16string pictures = WideFromUtf8(Media("mixed"));
    for (MovieEngine* each : {engine.get(), &handling}) {
        each->SetPictureFolder(pictures);
        each->ReportError(HRESULT_FROM_WIN32(ERROR_NO_DATA));
    }
    ASSERT_EQ(handled.size(), 1u);
    const MovieError& error = handled[0];
    EXPECT_EQ(error.code, HRESULT_FROM_WIN32(ERROR_NO_DATA));
    EXPECT_FALSE(error.words.empty());
    EXPECT_EQ(error.path, pictures);
    EXPECT_TRUE(std::string(error.file).ends_with("MovieEngineTest.cpp")) << error.file;
    EXPECT_GT(error.line, 0);
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{Utf8FromWide(error.Text())});
}

} // namespace

// The picture source's reasons for passing over a picture: the decoder's codes and the
// file's HRESULTs, in words with the code after them.
TEST(ErrorWordsTest, SkipReasonsAreWordsFollowedByTheCode)
{
    struct Case {
        LONG_PTR reason;
        std::string japanese;
        std::string english;
    };
    const Case cases[] = {
        {-4, "CMYK などの 4 チャンネル (または 2 チャンネル) の JPEG (-4)",
         "CMYK or other 4-channel (or 2-channel) JPEG (-4)"},
        {-29, "算術符号化、12 ビットまたはロスレスの JPEG (-29)", "Arithmetic-coded, 12-bit or lossless JPEG (-29)"},
        {-11, "ファイルが途中で終わっています (-11)", "The file ends early (-11)"},
        {-13, "JPEG ファイルではありません (-13)", "Not a JPEG file (-13)"},
        {-19, "ファイルに画像がありません (-19)", "No picture in the file (-19)"},
        {-22, "ファイルに画像がありません (-22)", "No picture in the file (-22)"},
        {-21, "JPEG のデータが壊れています (-21)", "The JPEG data is damaged (-21)"},
        {static_cast<LONG_PTR>(static_cast<HRESULT>(0x80070026u)), "ファイルが途中で終わっています (0x80070026)",
         "The file ends early (0x80070026)"},
        {static_cast<LONG_PTR>(static_cast<HRESULT>(0x800700dfu)), "ファイルが大きすぎます (0x800700df)",
         "The file is too large (0x800700df)"},
        {static_cast<LONG_PTR>(static_cast<HRESULT>(0x800700deu)), "通常のファイルではありません (0x800700de)",
         "Not a regular file (0x800700de)"},
        {static_cast<LONG_PTR>(static_cast<HRESULT>(0x80070002u)), "ファイルが存在しません (0x80070002)",
         "The file does not exist (0x80070002)"},
        {static_cast<LONG_PTR>(static_cast<HRESULT>(0x80070005u)), "アクセスが拒否されました (0x80070005)",
         "Permission denied (0x80070005)"},
        {static_cast<LONG_PTR>(static_cast<HRESULT>(0x80004005u)), "ファイルを読み込めません (0x80004005)",
         "The file cannot be read (0x80004005)"},
    };
    for (const char* locale : {"ja_JP", "en_US"}) {
        const Translations translations{QLocale(QString::fromLatin1(locale))};
        const bool english = locale == std::string("en_US");
        for (const Case& c : cases) {
            EXPECT_EQ(Utf8FromWide(ErrorWords::DescribeSkip(c.reason)), english ? c.english : c.japanese) << locale;
        }
    }
}

TEST_F(MovieEngineTest, PictureKeysAreReadEachOnItsOwn)
{
    WriteConfig(std::string(SmallConfig) + "[picture]\norientation=EXIF\nFit=Letterbox  ; whole\nScaling=smooth;\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_EQ(engine->Settings().picture, (PictureOptions{OrientationExif, FitLetterbox, ScalingSmooth}));
    EXPECT_TRUE(engine->RefusedSettings().empty());

    // A misspelt key is not one; an unknown word keeps the default and is said.
    WriteConfig(std::string(SmallConfig) + "[Picture]\nFit=zoom\nFitt=crop\nScaling=smooth\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_EQ(engine->Settings().picture, (PictureOptions{OrientationIgnore, FitStretch, ScalingSmooth}));
    EXPECT_EQ(engine->RefusedSettings(),
              (std::vector<std::string>{
                  "Fit=zoom は stretch、letterbox、または crop のどれでもありません。stretch を使います"}));

    // Without the five other keys, those keep their values but the picture keys count.
    WriteConfig("[Picture]\nFit=crop\n");
    EXPECT_FALSE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_EQ(engine->Settings().picture.fit, FitCrop);
    EXPECT_EQ(engine->Settings().width, 160);

    UseSmallConfig();
    EXPECT_EQ(engine->Settings().picture, PictureOptions{});
}

TEST_F(MovieEngineTest, TheOrderKeyOrdersTheListThePreviewDrawsFrom)
{
    const std::filesystem::path pictures = folder / "numbered";
    std::filesystem::create_directory(pictures);
    std::filesystem::copy_file(Media("mixed/a420.jpg"), pictures / "10.jpg");
    std::filesystem::copy_file(Media("mixed/b422.jpg"), pictures / "9.jpg");
    const auto frameAt = [this](int index) {
        std::vector<BYTE> frame;
        LONG width = 0;
        LONG height = 0;
        EXPECT_TRUE(engine->RenderPicture(index, frame, width, height)) << index;
        return frame;
    };
    const auto load = [this](const std::string& order) {
        WriteConfig(std::string(SmallConfig) + "[Picture]\nOrder=" + order + "\n");
        EXPECT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
        EXPECT_TRUE(engine->RefusedSettings().empty());
    };
    load("listing");
    engine->SetPictureFolder(WideFromUtf8(pictures.string()));
    EXPECT_EQ(engine->Settings().picture.order, OrderListing);
    const std::vector<BYTE> ten = frameAt(0);
    const std::vector<BYTE> nine = frameAt(1);
    EXPECT_NE(ten, nine);
    // Loaded after the folder, the order re-sorts the list in place.
    load("name");
    EXPECT_EQ(engine->Settings().picture.order, OrderName);
    EXPECT_EQ(frameAt(0), nine);
    EXPECT_EQ(frameAt(1), ten);
    load("listing");
    EXPECT_EQ(frameAt(0), ten);
}

TEST_F(MovieEngineTest, AChosenListSetsThePicturesTheirOrderAndTheSoundsLength)
{
    UseSmallConfig();
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("long.mp3")));
    using Names = std::vector<std::u16string>;
    EXPECT_EQ(engine->FolderPictures(OrderListing).size(), 6u);
    EXPECT_EQ(engine->SetPictureList({u"c444.jpg", u"a420.jpg", u"gone.jpg"}), S_FALSE);
    EXPECT_EQ(engine->PictureNames(), (Names{u"c444.jpg", u"a420.jpg"}));
    EXPECT_EQ(engine->ListedNamesNotFound(), (Names{u"gone.jpg"}));
    EXPECT_EQ(engine->SetPictureList({u"gone.jpg"}), E_INVALIDARG);
    EXPECT_EQ(engine->PictureCount(), 2);
    MakeMovie(Output("chosen.wmv"));
    const auto streams = ProbeStreams(Output("chosen.wmv"));
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, 2);
    EXPECT_NEAR(streams[1].duration, 0.4, kTolerance) << "the sound is cut at the chosen pictures' end";
    EXPECT_TRUE(ErrorTexts().empty());
    // Another folder takes all its pictures again.
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    EXPECT_EQ(engine->PictureNames(), (Names{u"x.jpg", u"y.jpg"}));
}

TEST_F(MovieEngineTest, TheSettingsListIsReadBesideTheFileAndTakenForEveryFolder)
{
    std::ofstream(folder / "list.txt") << "y.jpg\nb422.jpg\n";
    WriteConfig(std::string(SmallConfig) + "[Picture]\nList=list.txt\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    EXPECT_TRUE(engine->RefusedSettings().empty());
    using Names = std::vector<std::u16string>;
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    EXPECT_EQ(engine->PictureNames(), (Names{u"b422.jpg"}));
    EXPECT_EQ(engine->ListedNamesNotFound(), (Names{u"y.jpg"}));
    EXPECT_FALSE(engine->PictureListFoundNone());
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    EXPECT_EQ(engine->PictureNames(), (Names{u"y.jpg"}));
    std::ofstream(folder / "list.txt") << "none.jpg\n";
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    engine->SetPictureFolder(WideFromUtf8(Media("second")));
    EXPECT_TRUE(engine->PictureListFoundNone());
    EXPECT_EQ(engine->PictureNames(), (Names{u"x.jpg", u"y.jpg"})) << "the whole folder, as without a list";

    WriteConfig(std::string(SmallConfig) + "[Picture]\nList=absent.txt\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    ASSERT_EQ(engine->RefusedSettings().size(), 1u);
    EXPECT_NE(engine->RefusedSettings()[0].find("absent.txt"), std::string::npos);
    // A file without the key takes the whole folder again.
    UseSmallConfig();
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    EXPECT_EQ(engine->PictureCount(), 6);
}

TEST_F(MovieEngineTest, RenderPictureDrawsTheFirstFrameWithTheOptions)
{
    // The 4:3 picture in a 16:9 frame: letterboxed, a 120-pixel picture between
    // 20-pixel borders.
    WriteConfig("[Screen]\nwidth=160\nheight=90\nFrameSpeed=200\nQuality=150000\n[System]\nWorkThreadPriority=0\n"
                "[Picture]\nFit=letterbox\nScaling=smooth\n");
    ASSERT_TRUE(engine->LoadSettings(WideFromUtf8(Output("config.ini"))));
    engine->SetPictureFolder(WideFromUtf8(Media("large")));
    std::vector<BYTE> frame;
    LONG width = 0;
    LONG height = 0;
    ASSERT_TRUE(engine->RenderPicture(0, frame, width, height));
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 90);
    ASSERT_EQ(frame.size(), 160u * 3 * 90);
    auto pixelSum = [&](int x, int y) {
        const BYTE* p = &frame[static_cast<std::size_t>(y) * 480 + 3 * static_cast<std::size_t>(x)];
        return p[0] + p[1] + p[2];
    };
    for (const int y : {0, 45, 89}) {
        EXPECT_EQ(pixelSum(0, y) + pixelSum(19, y) + pixelSum(140, y) + pixelSum(159, y), 0) << y;
        EXPECT_GT(pixelSum(21, y), 0) << y;
        EXPECT_GT(pixelSum(138, y), 0) << y;
    }

    engine->SetPictureFolder(WideFromUtf8(Media("broken")));
    EXPECT_TRUE(engine->RenderPicture(0, frame, width, height));
    EXPECT_FALSE(engine->RenderPicture(1, frame, width, height)) << "cut short";
    EXPECT_FALSE(engine->RenderPicture(3, frame, width, height)) << "past the list";
}
