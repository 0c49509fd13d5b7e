// The render engine's front end inside a graph: the sound of a timeline's
// clips delivered as PCM to a sink of the tests' own, with silence where no
// clip plays, up to the timeline's end.
#include "tests/common/TestWave.h"
#include "tests/graph/GraphFixture.h"

#include "platform/editing/EditingServices.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = 4;

class RenderEngineTest : public GraphTest {
protected:
    void SetUp() override
    {
        GraphTest::SetUp();
        folder =
            ::testing::TempDir() + "render-engine-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(folder);
        ASSERT_EQ(
            CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline, timeline.ReceiveVoid()),
            S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_RenderEngine, nullptr, CLSCTX_INPROC_SERVER, IID_IRenderEngine,
                                   engine.ReceiveVoid()),
                  S_OK);
    }
    void TearDown() override
    {
        if (control) control->Stop();
        if (engine) engine->ScrapIt();
        engine.Reset();
        track.Reset();
        groupNode.Reset();
        timeline.Reset();
        std::filesystem::remove_all(folder);
        GraphTest::TearDown();
    }

    // The audio group and its track, as the engine builds them; a format block is optional.
    void BuildGroup(const WAVEFORMATEX* format = nullptr)
    {
        ComPtr<IAMTimelineObj> group;
        ASSERT_EQ(timeline->CreateEmptyNode(group.Receive(), TIMELINE_MAJOR_TYPE_GROUP), S_OK);
        ComPtr<IAMTimelineGroup> groupInterface;
        ASSERT_EQ(group.As(IID_IAMTimelineGroup, groupInterface), S_OK);
        WAVEFORMATEX block{};
        AM_MEDIA_TYPE type{};
        type.majortype = MEDIATYPE_Audio;
        type.bFixedSizeSamples = TRUE;
        type.lSampleSize = 1;
        if (format) {
            block = *format;
            type.formattype = FORMAT_WaveFormatEx;
            type.cbFormat = sizeof block;
            type.pbFormat = reinterpret_cast<BYTE*>(&block);
        }
        ASSERT_EQ(groupInterface->SetMediaType(&type), S_OK);
        ASSERT_EQ(timeline->AddGroup(group.Get()), S_OK);
        groupNode = group;
        ASSERT_EQ(timeline->CreateEmptyNode(track.Receive(), TIMELINE_MAJOR_TYPE_TRACK), S_OK);
        ComPtr<IAMTimelineComp> composition;
        ASSERT_EQ(group.As(IID_IAMTimelineComp, composition), S_OK);
        ASSERT_EQ(composition->VTrackInsBefore(track.Get(), -1), S_OK);
    }
    void AddClip(const std::string& path, REFERENCE_TIME start, REFERENCE_TIME stop)
    {
        ComPtr<IAMTimelineObj> clip;
        ASSERT_EQ(timeline->CreateEmptyNode(clip.Receive(), TIMELINE_MAJOR_TYPE_SOURCE), S_OK);
        ASSERT_EQ(clip->SetStartStop(start, stop), S_OK);
        ComPtr<IAMTimelineSrc> source;
        ASSERT_EQ(clip.As(IID_IAMTimelineSrc, source), S_OK);
        ASSERT_EQ(source->SetMediaTimes(0, stop - start), S_OK);
        std::u16string name(path.begin(), path.end());
        ASSERT_EQ(source->SetMediaName(name.data()), S_OK);
        ComPtr<IAMTimelineTrack> trackInterface;
        ASSERT_EQ(track.As(IID_IAMTimelineTrack, trackInterface), S_OK);
        ASSERT_EQ(trackInterface->SrcAdd(clip.Get()), S_OK);
    }
    std::string Wave(const std::string& name, double seconds)
    {
        const std::string path = folder + "/" + name;
        EXPECT_TRUE(WriteTestWave(path, kRate, kChannels, static_cast<int>(seconds * kRate)));
        return path;
    }
    // Builds the front end into the graph and renders group 0 to a new sink.
    ComPtr<TestSink> ConnectToSink()
    {
        EXPECT_EQ(engine->SetTimelineObject(timeline.Get()), S_OK);
        EXPECT_EQ(engine->SetFilterGraph(graph.Get()), S_OK);
        EXPECT_EQ(engine->ConnectFrontEnd(), S_OK);
        ComPtr<TestSink> sink = AddSink("PCM Sink", {MEDIATYPE_Audio}, MEDIASUBTYPE_PCM);
        sink->KeepData();
        ComPtr<IPin> output;
        EXPECT_EQ(engine->GetGroupOutputPin(0, output.Receive()), S_OK);
        EXPECT_EQ(RenderStream(&MEDIATYPE_Audio, output.Get(), nullptr, sink.Get()), S_OK);
        return sink;
    }
    void RunToCompletion()
    {
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_TRUE(WaitForComplete(10000));
    }
    static bool Silent(const std::vector<BYTE>& bytes, std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to; ++i) {
            if (bytes[i] != 0) return false;
        }
        return true;
    }
    // Whether the bytes from `at` hold the start of the test pattern for `frames` frames.
    static bool HoldsPattern(const std::vector<BYTE>& bytes, std::size_t at, int frames)
    {
        const std::vector<std::int16_t> pattern = TestPattern(kChannels, frames);
        return at + pattern.size() * 2 <= bytes.size() &&
               std::memcmp(bytes.data() + at, pattern.data(), pattern.size() * 2) == 0;
    }
    static void ExpectContiguousStamps(const std::vector<TestSink::Stamp>& stamps, REFERENCE_TIME end)
    {
        ASSERT_FALSE(stamps.empty());
        EXPECT_EQ(stamps.front().start, 0);
        for (std::size_t i = 1; i < stamps.size(); ++i) {
            EXPECT_EQ(stamps[i].start, stamps[i - 1].stop) << "sample " << i;
            EXPECT_LT(stamps[i].start, stamps[i].stop) << "sample " << i;
        }
        EXPECT_EQ(stamps.back().stop, end);
    }

    std::string folder;
    ComPtr<IAMTimeline> timeline;
    ComPtr<IAMTimelineObj> groupNode;
    ComPtr<IAMTimelineObj> track;
    ComPtr<IRenderEngine> engine;
};

TEST_F(RenderEngineTest, LaysClipsOnTheTimelineWithSilenceWhereNonePlays)
{
    BuildGroup();
    const std::string sound = Wave("quarter.wav", 0.25);
    AddClip(sound, kUnitsPerSecond / 4, kUnitsPerSecond / 2);
    AddClip(sound, 3 * kUnitsPerSecond / 4, kUnitsPerSecond);
    ComPtr<TestSink> sink = ConnectToSink();

    ComPtr<IPin> output;
    ASSERT_EQ(engine->GetGroupOutputPin(0, output.Receive()), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(output->ConnectionMediaType(&type), S_OK);
    WAVEFORMATEX format;
    ASSERT_GE(type.cbFormat, sizeof format);
    std::memcpy(&format, type.pbFormat, sizeof format);
    CoTaskMemFree(type.pbFormat);
    EXPECT_EQ(format.nSamplesPerSec, 44100u) << "a group type without a format plays CD-rate stereo";
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.wBitsPerSample, 16);

    RunToCompletion();
    const std::vector<BYTE> bytes = sink->Bytes();
    const std::size_t quarter = kRate / 4 * kFrameBytes;
    ASSERT_EQ(bytes.size(), 4 * quarter);
    EXPECT_TRUE(Silent(bytes, 0, quarter));
    EXPECT_TRUE(HoldsPattern(bytes, quarter, kRate / 4));
    EXPECT_TRUE(Silent(bytes, 2 * quarter, 3 * quarter));
    EXPECT_TRUE(HoldsPattern(bytes, 3 * quarter, kRate / 4));
    ExpectContiguousStamps(sink->Stamps(), kUnitsPerSecond);
    EXPECT_EQ(sink->endsOfStream, 1);
}

TEST_F(RenderEngineTest, SoundLongerThanTheMovieIsCutAtItsEnd)
{
    BuildGroup();
    AddClip(Wave("long.wav", 1.5), 0, kUnitsPerSecond);
    ComPtr<TestSink> sink = ConnectToSink();
    RunToCompletion();
    const std::vector<BYTE> bytes = sink->Bytes();
    ASSERT_EQ(bytes.size(), kRate * kFrameBytes);
    EXPECT_TRUE(HoldsPattern(bytes, 0, kRate));
    ExpectContiguousStamps(sink->Stamps(), kUnitsPerSecond);
}

TEST_F(RenderEngineTest, TheGroupsFadesRampItsSoundInFromTheStartAndOutToWhereTheSoundEnds)
{
    BuildGroup();
    ComPtr<IAMTimelineGroupFades> fades;
    ASSERT_EQ(groupNode.As(IID_IAMTimelineGroupFades, fades), S_OK);
    ComPtr<IAMTimelineGroupFades> trackFades;
    EXPECT_EQ(track.As(IID_IAMTimelineGroupFades, trackFades), E_NOINTERFACE) << "only a group fades";
    EXPECT_EQ(fades->SetAudioFades(-1, 0), E_INVALIDARG);
    ASSERT_EQ(fades->SetAudioFades(kUnitsPerSecond / 10, kUnitsPerSecond / 5), S_OK);
    REFERENCE_TIME in = 0;
    REFERENCE_TIME out = 0;
    ASSERT_EQ(fades->GetAudioFades(&in, &out), S_OK);
    EXPECT_EQ(in, kUnitsPerSecond / 10);
    EXPECT_EQ(out, kUnitsPerSecond / 5);
    // Half a second of sound: the timeline, and the fade-out, end with it.
    AddClip(Wave("half.wav", 0.5), 0, kUnitsPerSecond / 2);
    ComPtr<TestSink> sink = ConnectToSink();
    RunToCompletion();
    const std::vector<BYTE> bytes = sink->Bytes();
    ASSERT_EQ(bytes.size(), kRate / 2 * kFrameBytes);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    const std::vector<std::int16_t> pattern = TestPattern(kChannels, kRate / 2);
    const std::size_t channels = kChannels;
    // The pattern's samples are 1000 or more: the gain of a frame is its first sample's share.
    const auto gainAt = [&](std::size_t frame) {
        return static_cast<double>(samples[frame * channels]) / pattern[frame * channels];
    };
    EXPECT_EQ(gainAt(0), 0.0) << "the first frame is silent";
    EXPECT_NEAR(gainAt(kRate / 20), 0.125, 0.005) << "halfway through the fade-in: the cube of a half";
    // Between the fades the sound is the clip's, sample for sample.
    const auto steadyFrom = samples.begin() + kRate / 10 * kChannels;
    EXPECT_TRUE(
        std::equal(steadyFrom, samples.begin() + kRate * 3 / 10 * kChannels, pattern.begin() + kRate / 10 * kChannels));
    EXPECT_NEAR(gainAt(kRate * 4 / 10), 0.125, 0.005) << "halfway through the fade-out";
    EXPECT_EQ(gainAt(kRate / 2 - 1), 0.0) << "the fade-out ends with the sound";
}

TEST_F(RenderEngineTest, ATimelineWithoutClipsEndsAtOnce)
{
    BuildGroup();
    ComPtr<TestSink> sink = ConnectToSink();
    RunToCompletion();
    EXPECT_TRUE(sink->Bytes().empty());
    EXPECT_EQ(sink->endsOfStream, 1);
}

TEST_F(RenderEngineTest, DecodesMp3AtTheGroupsRateAndChannels)
{
    WAVEFORMATEX mono{};
    mono.wFormatTag = WAVE_FORMAT_PCM;
    mono.nChannels = 1;
    mono.nSamplesPerSec = 22050;
    mono.wBitsPerSample = 16;
    mono.nBlockAlign = 2;
    mono.nAvgBytesPerSec = 44100;
    BuildGroup(&mono);
    AddClip(MEDIA_DIR "/tone.mp3", 0, kUnitsPerSecond);
    ComPtr<TestSink> sink = ConnectToSink();
    RunToCompletion();
    const std::vector<BYTE> bytes = sink->Bytes();
    ASSERT_EQ(bytes.size(), 22050u * 2);
    // The tone fills the second: its middle is not silent.
    EXPECT_FALSE(Silent(bytes, bytes.size() / 2, bytes.size() / 2 + 2000));
    ExpectContiguousStamps(sink->Stamps(), kUnitsPerSecond);
}

TEST_F(RenderEngineTest, AClipThatCannotBeDecodedStaysSilent)
{
    BuildGroup();
    AddClip(MEDIA_DIR "/notes.txt", 0, kUnitsPerSecond / 2);
    ComPtr<TestSink> sink = ConnectToSink();
    RunToCompletion();
    const std::vector<BYTE> bytes = sink->Bytes();
    ASSERT_EQ(bytes.size(), kRate / 2 * kFrameBytes);
    EXPECT_TRUE(Silent(bytes, 0, bytes.size()));
}

TEST_F(RenderEngineTest, ScrapItRemovesWhatConnectFrontEndAdded)
{
    BuildGroup();
    AddClip(Wave("short.wav", 0.1), 0, kUnitsPerSecond / 10);
    ASSERT_EQ(engine->SetTimelineObject(timeline.Get()), S_OK);
    ASSERT_EQ(engine->SetFilterGraph(graph.Get()), S_OK);
    ComPtr<IGraphBuilder> held;
    ASSERT_EQ(engine->GetFilterGraph(held.Receive()), S_OK);
    EXPECT_EQ(held.Get(), graph.Get());

    ASSERT_EQ(engine->ConnectFrontEnd(), S_OK);
    ASSERT_EQ(engine->ConnectFrontEnd(), S_OK);
    EXPECT_EQ(FilterCount(), 1u) << "a second front end replaces the first";
    EXPECT_EQ(engine->SetFilterGraph(nullptr), E_UNEXPECTED) << "the front end lives in its graph";
    ComPtr<IPin> output;
    EXPECT_EQ(engine->GetGroupOutputPin(1, output.Receive()), E_INVALIDARG);

    ASSERT_EQ(engine->ScrapIt(), S_OK);
    EXPECT_EQ(FilterCount(), 0u);
    EXPECT_EQ(engine->GetGroupOutputPin(0, output.Receive()), E_INVALIDARG);
    // The engine's own ClearGraph removes the filters before ScrapIt: both orders work.
    ASSERT_EQ(engine->ConnectFrontEnd(), S_OK);
    ClearGraph();
    EXPECT_EQ(engine->ScrapIt(), S_OK);
    EXPECT_EQ(FilterCount(), 0u);
}

TEST_F(RenderEngineTest, ConnectFrontEndNeedsATimeline)
{
    EXPECT_EQ(engine->ConnectFrontEnd(), E_UNEXPECTED);
    EXPECT_EQ(engine->SetTimelineObject(nullptr), E_POINTER);
}

TEST_F(RenderEngineTest, StopsInTheMiddleOfALongSound)
{
    BuildGroup();
    AddClip(Wave("long.wav", 1.5), 0, 1000 * kUnitsPerSecond);
    ComPtr<TestSink> sink = ConnectToSink();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(control->Stop(), S_OK);
    const std::size_t firstRun = sink->Stamps().size();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(firstRun + 1)) << "a second run streams again";
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(sink->endsOfStream, 0);
    // The sink stops first and refuses what is still on its way: no error for that.
    const std::vector<LONG> codes = EventsWithin(50);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_ERRORABORT), 0);
}

} // namespace
