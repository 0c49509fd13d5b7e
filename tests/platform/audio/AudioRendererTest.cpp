// The audio renderer under SDL's dummy and disk drivers, fed by the render
// engine's front end as the playback graph feeds it, and without any device.
#include "tests/common/TestWave.h"
#include "tests/graph/GraphFixture.h"

#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/thread/Threads.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

class AudioRendererTest : public GraphTest {
protected:
    void SetUp() override
    {
        folder =
            ::testing::TempDir() + "audio-renderer-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(folder);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        GraphTest::SetUp();
    }
    void TearDown() override
    {
        if (control) control->Stop();
        if (engine) engine->ScrapIt();
        engine.Reset();
        timeline.Reset();
        renderer.Reset();
        GraphTest::TearDown();
        std::filesystem::remove_all(folder);
    }

    HRESULT CreateRenderer()
    {
        return CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                renderer.ReceiveVoid());
    }
    // A timeline of one clip of the test pattern, `seconds` long.
    void BuildTimeline(double seconds)
    {
        const std::string path = folder + "/pattern.wav";
        ASSERT_TRUE(WriteTestWave(path, kRate, kChannels, static_cast<int>(seconds * kRate)));
        const auto length = static_cast<REFERENCE_TIME>(seconds * kUnitsPerSecond);
        ASSERT_EQ(
            CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline, timeline.ReceiveVoid()),
            S_OK);
        ComPtr<IAMTimelineObj> group;
        ASSERT_EQ(timeline->CreateEmptyNode(group.Receive(), TIMELINE_MAJOR_TYPE_GROUP), S_OK);
        ComPtr<IAMTimelineGroup> groupInterface;
        ASSERT_EQ(group.As(IID_IAMTimelineGroup, groupInterface), S_OK);
        AM_MEDIA_TYPE type{};
        type.majortype = MEDIATYPE_Audio;
        ASSERT_EQ(groupInterface->SetMediaType(&type), S_OK);
        ASSERT_EQ(timeline->AddGroup(group.Get()), S_OK);
        ComPtr<IAMTimelineObj> track;
        ASSERT_EQ(timeline->CreateEmptyNode(track.Receive(), TIMELINE_MAJOR_TYPE_TRACK), S_OK);
        ComPtr<IAMTimelineComp> composition;
        ASSERT_EQ(group.As(IID_IAMTimelineComp, composition), S_OK);
        ASSERT_EQ(composition->VTrackInsBefore(track.Get(), -1), S_OK);
        ComPtr<IAMTimelineObj> clip;
        ASSERT_EQ(timeline->CreateEmptyNode(clip.Receive(), TIMELINE_MAJOR_TYPE_SOURCE), S_OK);
        ASSERT_EQ(clip->SetStartStop(0, length), S_OK);
        ComPtr<IAMTimelineSrc> source;
        ASSERT_EQ(clip.As(IID_IAMTimelineSrc, source), S_OK);
        ASSERT_EQ(source->SetMediaTimes(0, length), S_OK);
        std::u16string name(path.begin(), path.end());
        ASSERT_EQ(source->SetMediaName(name.data()), S_OK);
        ComPtr<IAMTimelineTrack> trackInterface;
        ASSERT_EQ(track.As(IID_IAMTimelineTrack, trackInterface), S_OK);
        ASSERT_EQ(trackInterface->SrcAdd(clip.Get()), S_OK);
    }
    // The playback graph's sound branch, with the renderer as the graph's clock.
    void BuildPlayback(double seconds)
    {
        BuildTimeline(seconds);
        ASSERT_EQ(CreateRenderer(), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_RenderEngine, nullptr, CLSCTX_INPROC_SERVER, IID_IRenderEngine,
                                   engine.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(engine->SetTimelineObject(timeline.Get()), S_OK);
        ASSERT_EQ(engine->SetFilterGraph(graph.Get()), S_OK);
        ASSERT_EQ(engine->ConnectFrontEnd(), S_OK);
        ASSERT_EQ(graph->AddFilter(renderer.Get(), u"Audio Filter"), S_OK);
        ComPtr<IPin> output;
        ASSERT_EQ(engine->GetGroupOutputPin(0, output.Receive()), S_OK);
        ASSERT_EQ(RenderStream(&MEDIATYPE_Audio, output.Get(), nullptr, renderer.Get()), S_OK);
        ASSERT_EQ(renderer.As(IID_IReferenceClock, clock), S_OK);
        ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);
    }
    bool CompletedWithin(LONG milliseconds)
    {
        const std::vector<LONG> codes = EventsWithin(milliseconds);
        return std::find(codes.begin(), codes.end(), EC_COMPLETE) != codes.end();
    }

    std::string folder;
    ComPtr<IBaseFilter> renderer;
    ComPtr<IReferenceClock> clock;
    ComPtr<IAMTimeline> timeline;
    ComPtr<IRenderEngine> engine;
};

TEST_F(AudioRendererTest, WithoutAnAudioDeviceCreationFailsWithNoAudioHardware)
{
    setenv("SDL_AUDIODRIVER", "reelsmith-no-such-driver", 1);
    EXPECT_EQ(CreateRenderer(), VFW_E_NO_AUDIO_HARDWARE);
    EXPECT_FALSE(renderer);
    EXPECT_EQ(static_cast<unsigned>(VFW_E_NO_AUDIO_HARDWARE), 0x80040256u);
}

TEST_F(AudioRendererTest, LeavesTheStopSignalsToTheProgram)
{
    ASSERT_EQ(CreateRenderer(), S_OK);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        ASSERT_EQ(sigaction(signal, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << "signal " << signal;
    }
}

TEST_F(AudioRendererTest, TakesPcmOnly)
{
    ASSERT_EQ(CreateRenderer(), S_OK);
    ComPtr<IPin> input = PinOf(renderer.Get(), u"Audio Input pin (rendered)");
    ASSERT_NE(input.Get(), nullptr);
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof format;
    type.pbFormat = reinterpret_cast<BYTE*>(&format);
    EXPECT_EQ(input->QueryAccept(&type), S_OK);
    format.wBitsPerSample = 24;
    format.nBlockAlign = 6;
    EXPECT_EQ(input->QueryAccept(&type), S_FALSE) << "24-bit";
    format.wBitsPerSample = 16;
    format.nBlockAlign = 3;
    EXPECT_EQ(input->QueryAccept(&type), S_FALSE) << "a block that does not match the channels";
    format.nBlockAlign = 4;
    type.cbFormat = 8;
    EXPECT_EQ(input->QueryAccept(&type), S_FALSE) << "a short format block";
    type.cbFormat = sizeof format;
    type.majortype = MEDIATYPE_Video;
    EXPECT_EQ(input->QueryAccept(&type), S_FALSE);
}

TEST_F(AudioRendererTest, CompletesAfterTheSoundHasPlayedWithAMonotonicClock)
{
    BuildPlayback(0.5);
    std::vector<REFERENCE_TIME> times;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(control->Run(), S_OK);
    bool complete = false;
    while (!complete && std::chrono::steady_clock::now() - started < std::chrono::seconds(10)) {
        REFERENCE_TIME now = 0;
        ASSERT_EQ(clock->GetTime(&now), S_OK);
        times.push_back(now);
        complete = CompletedWithin(10);
    }
    const auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(complete);
    // Completion waits for the device to play half a second of sound.
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_GE(times.back() - times.front(), 3 * kUnitsPerSecond / 10);
}

TEST_F(AudioRendererTest, PauseHoldsThePlaybackAndRunResumesIt)
{
    BuildPlayback(0.4);
    ASSERT_EQ(control->Run(), S_OK);
    // 50 ms of the sound play before the pause, by the renderer's own clock.
    HANDLE played = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    REFERENCE_TIME now = 0;
    ASSERT_EQ(clock->GetTime(&now), S_OK);
    DWORD_PTR cookie = 0;
    ASSERT_EQ(clock->AdviseTime(now, 50 * kUnitsPerMillisecond, reinterpret_cast<HEVENT>(played), &cookie), S_OK);
    EXPECT_EQ(WaitForSingleObject(played, 5000), WAIT_OBJECT_0);
    CloseHandle(played);
    ASSERT_EQ(control->Pause(), S_OK);
    REFERENCE_TIME before = 0;
    ASSERT_EQ(clock->GetTime(&before), S_OK);
    EXPECT_FALSE(CompletedWithin(800)) << "paused sound does not play to its end";
    REFERENCE_TIME after = 0;
    ASSERT_EQ(clock->GetTime(&after), S_OK);
    EXPECT_GE(after, before) << "the clock never goes back";
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(WaitForComplete(5000));
}

TEST_F(AudioRendererTest, TheDiskDriverFileHoldsWhatWasPlayed)
{
    const std::string output = folder + "/played.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    BuildPlayback(0.3);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitForComplete(10000));
    ASSERT_EQ(control->Stop(), S_OK);
    // Closing the device finishes the file.
    ClearGraph();
    renderer.Reset();
    clock.Reset();

    std::ifstream file(output, std::ios::binary);
    const std::vector<char> played((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::vector<std::int16_t> pattern = TestPattern(kChannels, static_cast<int>(0.3 * kRate));
    const auto* first = reinterpret_cast<const char*>(pattern.data());
    const auto* last = first + pattern.size() * sizeof(std::int16_t);
    EXPECT_NE(std::search(played.begin(), played.end(), first, last), played.end())
        << "the whole sound, in order, among " << played.size() << " bytes played";
    unsetenv("SDL_DISKAUDIOFILE");
}

} // namespace
