// The [Show] keys as the engine reads them and hands them to the picture source, the
// pictures fitted to the sound, and the sound's fades in the written movie.
#include "EngineFixture.h"

#include "engine/ShowKeys.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const char* const kSmallConfig = "[Screen]\nwidth=160\nheight=120\nFrameSpeed=200\nQuality=150000\n"
                                 "[System]\nWorkThreadPriority=0\n";

// The movie's first audio stream as mono 16-bit samples at 22,050 Hz.
std::vector<std::int16_t> DecodeSound(const std::string& path)
{
    const std::string command = "ffmpeg -v error -i '" + path + "' -map 0:a:0 -ac 1 -ar 22050 -f s16le -";
    std::vector<std::int16_t> samples;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return samples;
    std::int16_t block[4096];
    for (std::size_t read; (read = std::fread(block, sizeof block[0], std::size(block), pipe)) > 0;)
        samples.insert(samples.end(), block, block + read);
    pclose(pipe);
    return samples;
}

int Peak(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to)
{
    int peak = 0;
    for (std::size_t i = from; i < std::min(to, samples.size()); ++i) peak = std::max(peak, std::abs(int{samples[i]}));
    return peak;
}

constexpr std::size_t kRate = 22050;

} // namespace

TEST(ShowKeys, EveryKeyTakesItsValuesAndRefusesOthersKeepingWhatItHad)
{
    struct Case {
        const char* key;
        const char* text;
        bool taken;
        std::string read; // the key's value afterwards
        const char* refusal = "";
    };
    const Case cases[] = {
        {"Transition", "crossfade", true, "crossfade"},
        {"transition", "SlideLeft ; comment", true, "slideleft"},
        {"Transition", "dissolve", false, "none",
         "Transition=dissolve は none、crossfade、fadeblack、wipeleft、または slideleft のどれでもありません。none "
         "を使います"},
        {"TransitionMs", "1500", true, "1500"},
        {"TransitionMs", "60001", false, "1000", "TransitionMs=60001 は 0..60000 の範囲外です。1000 を使います"},
        {"TransitionMs", "fast", false, "1000", "TransitionMs=fast は整数ではありません。1000 を使います"},
        {"TransitionMs", "99999999999999", false, "1000"},
        {"FadeInOut", "1", true, "1"},
        {"FadeInOut", "2", false, "0", "FadeInOut=2 は 0..1 の範囲外です。0 を使います"},
        {"Motion", "kenburns", true, "kenburns"},
        {"MotionStrength", "100", true, "100"},
        {"MotionStrength", "-1", false, "15"},
        {"MotionSeed", "2147483647", true, "2147483647"},
        {"MotionSeed", "2147483648", false, "0"},
        {"Caption", "date", true, "date"},
        {"Caption", "file", true, "file"},
        {"CaptionFile", "captions.txt", true, "captions.txt"},
        {"CaptionPlace", "top", true, "top"},
        {"CaptionPlace", "middle", false, "bottom"},
        {"CaptionSize", "50", true, "50"},
        {"CaptionSize", "0", false, "5", "CaptionSize=0 は 1..50 の範囲外です。5 を使います"},
        {"Background", "blur", true, "blur"},
        {"FitToSound", "1", true, "1"},
        {"MinPictureMs", "1", true, "1"},
        {"MinPictureMs", "0", false, "1000"},
        {"AudioFadeInMs", "600000", true, "600000"},
        {"AudioFadeOutMs", "600001", false, "0"},
        {"Sparkle", "1", false, "", "スライドショーのオプション Sparkle はありません"},
    };
    for (const Case& c : cases) {
        ShowSettings settings;
        std::string refusal;
        EXPECT_EQ(ShowKeys::Set(c.key, c.text, settings, refusal), c.taken) << c.key << "=" << c.text;
        EXPECT_EQ(ShowKeys::Value(c.key, settings), c.read) << c.key << "=" << c.text;
        EXPECT_EQ(refusal.empty(), c.taken) << c.key << "=" << c.text;
        if (c.refusal[0] != '\0') {
            EXPECT_EQ(refusal, c.refusal);
        }
        if (!c.taken) {
            EXPECT_EQ(settings, ShowSettings{}) << c.key << "=" << c.text;
        }
    }
}

TEST(ShowKeys, OptionsAreTheKeysInLowerCaseWithDashes)
{
    EXPECT_EQ(ShowKeys::OptionName("TransitionMs"), "--transition-ms");
    EXPECT_EQ(ShowKeys::OptionName("AudioFadeOutMs"), "--audio-fade-out-ms");
    EXPECT_STREQ(ShowKeys::KeyOfOption("--fit-to-sound"), "FitToSound");
    EXPECT_STREQ(ShowKeys::KeyOfOption("--caption-file"), "CaptionFile");
    EXPECT_EQ(ShowKeys::KeyOfOption("--transitionms"), nullptr);
    EXPECT_EQ(ShowKeys::KeyOfOption("--fps"), nullptr);
    EXPECT_TRUE(ShowKeys::IsSwitch("FadeInOut"));
    EXPECT_TRUE(ShowKeys::IsSwitch("FitToSound"));
    EXPECT_FALSE(ShowKeys::IsSwitch("TransitionMs"));
    EXPECT_FALSE(ShowKeys::IsSwitch("Motion"));
    // Every key reads back what it was given: the window writes them so.
    ShowSettings written;
    written.options = {TransitionWipeLeft, 700,        1, MotionKenBurns, 30, 9,
                       CaptionFromFile,    CaptionTop, 8, BackgroundBlur};
    written.captionFile = "a b.txt";
    written.fitToSound = 1;
    written.minPictureMs = 1500;
    written.audioFadeInMs = 250;
    written.audioFadeOutMs = 2000;
    ShowSettings read;
    for (const char* name : ShowKeys::kNames) {
        std::string refusal;
        EXPECT_TRUE(ShowKeys::Set(name, ShowKeys::Value(name, written), read, refusal)) << name;
    }
    EXPECT_EQ(read, written);
    ShowSettings unnamed;
    unnamed.options.transition = 9;
    unnamed.options.caption = -1;
    EXPECT_EQ(ShowKeys::Value("Transition", unnamed), "none");
    EXPECT_EQ(ShowKeys::Value("Caption", unnamed), "none");
}

class ShowSettingsTest : public EngineTest {
protected:
    bool Load(const std::string& show)
    {
        WriteConfig(std::string(kSmallConfig) + show);
        return engine->LoadSettings(WideFromUtf8((folder / "config.ini").string()));
    }
    std::string Output(const std::string& name) const { return (folder / name).string(); }
};

TEST_F(ShowSettingsTest, TheShowSectionIsHandedToThePictureSourceWithTheFrameRate)
{
    ASSERT_TRUE(Load(""));
    EXPECT_EQ(engine->ShowOptionsInForce(), ShowOptions{});
    EXPECT_EQ(engine->FramesPerSecond(), 0);

    std::ofstream(folder / "captions.txt") << "a.jpg\t海辺\n";
    const std::string withCaptions = "[show]\ntransition=crossfade\nTransitionMs=800\nMotion=kenburns\nMotionSeed=7\n"
                                     "Caption=file\nCaptionFile=captions.txt\nCaptionSize=80\nBackground=blur\n";
    ASSERT_TRUE(Load(withCaptions));
    ShowOptions expected;
    expected.transition = TransitionCrossfade;
    expected.transitionMs = 800;
    expected.motion = MotionKenBurns;
    expected.motionSeed = 7;
    expected.caption = CaptionFromFile;
    expected.background = BackgroundBlur;
    EXPECT_EQ(engine->ShowOptionsInForce(), expected);
    EXPECT_EQ(engine->Settings().show.captionFile, "captions.txt");
    EXPECT_EQ(engine->RefusedSettings(),
              std::vector<std::string>{"CaptionSize=80 は 1..50 の範囲外です。5 を使います"});
    EXPECT_EQ(engine->FramesPerSecond(), 25); // moving pictures without a FrameRate
    // A captions file the picture source cannot read costs the captions alone.
    std::filesystem::remove(folder / "captions.txt");
    ASSERT_TRUE(Load(withCaptions));
    expected.caption = CaptionNone;
    EXPECT_EQ(engine->ShowOptionsInForce(), expected);
    EXPECT_EQ(engine->RefusedSettings(),
              (std::vector<std::string>{"CaptionSize=80 は 1..50 の範囲外です。5 を使います",
                                        "CaptionFile=captions.txt を読めません。字幕なしで作ります"}));

    ASSERT_TRUE(Load("[Output]\nFrameRate=30\n[Show]\nFadeInOut=1\n"));
    EXPECT_EQ(engine->ShowOptionsInForce().framesPerSecond, 30);
    EXPECT_EQ(engine->FramesPerSecond(), 30);
    // A still effect leaves one frame a picture.
    ASSERT_TRUE(Load("[Show]\nCaption=filename\n"));
    EXPECT_EQ(engine->FramesPerSecond(), 0);

    // Without the five keys the [Show] keys still count, like [Picture]'s.
    WriteConfig("[Show]\nTransition=fadeblack\n");
    EXPECT_FALSE(engine->LoadSettings(WideFromUtf8((folder / "config.ini").string())));
    EXPECT_EQ(engine->ShowOptionsInForce().transition, TransitionFadeBlack);
}

TEST_F(ShowSettingsTest, FittedToTheSoundTheMovieIsAsLongAsTheSound)
{
    ASSERT_TRUE(Load("[Output]\nFrameRate=25\n[Show]\nFitToSound=1\n"));
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("long.mp3")));
    ASSERT_TRUE(engine->HasAudioTimeline());
    REFERENCE_TIME sound = 0;
    ASSERT_EQ(engine->AudioLength(WideFromUtf8(Media("long.mp3")), sound), S_OK);
    EXPECT_EQ(engine->FittedLengthMs(), sound / 10'000);
    EXPECT_EQ(engine->ShowOptionsInForce().lengthMs, sound / 10'000);
    // The dialog shows the picture time of the settings, not the fitted one.
    EXPECT_EQ(engine->SettingsInForce().frameSpeed, 200);
    MakeMovie(Output("fitted.mp4"));
    const auto streams = ProbeStreams(Output("fitted.mp4"));
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_NEAR(streams[0].duration, static_cast<double>(sound) / 1e7, 0.04); // one frame at 25 a second

    // Without the sound the pictures keep their time again.
    engine->ClearAudioFile();
    EXPECT_EQ(engine->FittedLengthMs(), 0);
    EXPECT_EQ(engine->ShowOptionsInForce().lengthMs, 0);
    EXPECT_EQ(engine->SettingsInForce().frameSpeed, 200);
}

TEST_F(ShowSettingsTest, TheLeastPictureTimeWinsOverAShortSound)
{
    ASSERT_TRUE(Load("[Output]\nFrameRate=25\n[Show]\nFitToSound=1\nMinPictureMs=2000\n"));
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("long.mp3")));
    EXPECT_EQ(engine->FittedLengthMs(), 6 * 2000);
    MakeMovie(Output("least.mp4"));
    const auto streams = ProbeStreams(Output("least.mp4"));
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_NEAR(streams[0].duration, 12.0, 0.04);
    EXPECT_NEAR(streams[1].duration, 12.0, 0.1); // the sound repeated to the movie's end, as always
}

TEST_F(ShowSettingsTest, TheSoundFadesInFromSilenceAndOutToSilenceWhereItIsCut)
{
    // 6 pictures of 200 ms: the 9 s sound is cut at 1.2 s.
    ASSERT_TRUE(Load(""));
    engine->SetPictureFolder(WideFromUtf8(Media("mixed")));
    engine->SetAudioFile(WideFromUtf8(Media("long.mp3")));
    MakeMovie(Output("plain.wmv"));
    const std::vector<std::int16_t> plain = DecodeSound(Output("plain.wmv"));
    ASSERT_GT(plain.size(), kRate);

    ASSERT_TRUE(Load("[Show]\nAudioFadeInMs=300\nAudioFadeOutMs=500\n"));
    engine->SetAudioFile(WideFromUtf8(Media("long.mp3")));
    MakeMovie(Output("faded.wmv"));
    const std::vector<std::int16_t> faded = DecodeSound(Output("faded.wmv"));
    ASSERT_GT(faded.size(), kRate);
    const std::size_t end = std::min(faded.size(), std::size_t{kRate * 12 / 10});
    const int full = Peak(plain, kRate / 2, kRate * 6 / 10);
    ASSERT_GT(full, 2000);
    // The codec's start-up delay lies before the sound: the first 20 ms of sound are near silence.
    const std::size_t first = static_cast<std::size_t>(
        std::find_if(plain.begin(), plain.end(), [](std::int16_t s) { return std::abs(int{s}) > 200; }) -
        plain.begin());
    EXPECT_LT(Peak(faded, first, first + kRate / 50), full / 50);
    EXPECT_NEAR(Peak(faded, kRate / 2, kRate * 6 / 10), full, full / 20); // untouched between the fades
    EXPECT_GT(Peak(plain, end - kRate / 10, end), full / 2);
    EXPECT_LT(Peak(faded, end - kRate / 10, end), full / 100); // the last 100 ms
}
