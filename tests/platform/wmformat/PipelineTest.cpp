// The writers' encoding thread and its queue, fed by push sources on the
// tests' threads: the movies are those the encoding core writes when it is
// called on the sender's thread; the queue stays within its bound and loses
// nothing; completion, failures, stops and flushes of a run with queued work.
#include "WriterFixture.h"

#include "tests/common/MovieProbe.h"
#include "tests/common/PcmSource.h"
#include "tests/common/PushSource.h"

#include "tests/common/TestVideoType.h"

#include "platform/base/WideText.h"
#include "platform/wmformat/MediaFileWriterConfig.h"
#include "platform/wmformat/FfmpegMovieEncoder.h"
#include "platform/wmformat/MovieWriterFilter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <thread>

namespace {

constexpr REFERENCE_TIME kPictureTime = 500 * kUnitsPerMillisecond;
constexpr int kSampleRate = 22050;
constexpr int kChannels = 2;
constexpr std::size_t kSoundBytes = kSampleRate / 2 * kChannels * 2; // one picture's length
constexpr std::size_t kCapacity = EncodeQueue::kCapacity;
// VP9 at this size is far slower than the sender: the queue fills and stays full.
constexpr LONG kSlowWidth = 1280;
constexpr LONG kSlowHeight = 720;

LONG Stride(LONG width) { return (width * 3 + 3) & ~3; }

// Noise over a gradient that moves with the picture's number: no two frames alike.
std::vector<BYTE> Picture(LONG width, LONG height, int number)
{
    std::vector<BYTE> frame(static_cast<std::size_t>(Stride(width) * height));
    std::minstd_rand noise(static_cast<unsigned>(number) + 1);
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width * 3; ++x)
            frame[static_cast<std::size_t>(y * Stride(width) + x)] =
                static_cast<BYTE>((x + y + 16 * number) % 256 / 2 + noise() % 64);
    }
    return frame;
}

// A tone rising with the picture's number, for the picture's length.
std::vector<BYTE> Sound(int number)
{
    std::vector<BYTE> pcm(kSoundBytes);
    for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
        const auto level = static_cast<int16_t>((i * (number + 3) * 37) % 16000 - 8000);
        pcm[2 * i] = static_cast<BYTE>(level & 0xFF);
        pcm[2 * i + 1] = static_cast<BYTE>((level >> 8) & 0xFF);
    }
    return pcm;
}

REFERENCE_TIME StartOf(int picture) { return picture * kPictureTime; }

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PipelineTest : public WriterTest {
protected:
    void TearDown() override
    {
        if (control) control->Stop();
        video.Reset();
        sound.Reset();
        profile.Reset();
        WriterTest::TearDown();
    }

    // A writer of this class in the fixture's graph, fed by a push source of
    // frames of this size, and one of sound when the profile has it.
    void Build(const CLSID& writerId, IWMProfile* movieProfile, const std::filesystem::path& file, LONG width,
               LONG height)
    {
        ASSERT_EQ(CoCreateInstance(writerId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, writer.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(writer.As(IID_IConfigAsfWriter, writerConfig), S_OK);
        ASSERT_EQ(writer.As(IID_IFileSinkFilter, writerSink), S_OK);
        ASSERT_EQ(graph->AddFilter(writer.Get(), u"ASF Writer Filter"), S_OK);
        ASSERT_EQ(writerSink->SetFileName(WideFromUtf8(file.string()).c_str(), nullptr), S_OK);
        ASSERT_EQ(writerConfig->ConfigureFilterUsingProfile(movieProfile), S_OK);
        video = ComPtr<PushSource>::Attach(
            new PushSource(TestVideoType(width, height, kPictureTime), Stride(width) * height));
        ASSERT_EQ(graph->AddFilter(video.Get(), u"Pictures"), S_OK);
        ASSERT_EQ(graph->ConnectDirect(video->Output(), WriterPin(u"Video Input 01").Get(), nullptr), S_OK);
        ComPtr<IPin> audioInput;
        if (writer->FindPin(u"Audio Input 01", audioInput.Receive()) != S_OK) return;
        sound = ComPtr<PushSource>::Attach(new PushSource(PcmType(kSampleRate, kChannels), kSoundBytes));
        ASSERT_EQ(graph->AddFilter(sound.Get(), u"Sound"), S_OK);
        ASSERT_EQ(graph->ConnectDirect(sound->Output(), audioInput.Get(), nullptr), S_OK);
    }

    // A video-only movie of this size and bit rate into `movie`.
    void BuildVideoOnly(const CLSID& writerId, const std::string& name, LONG width, LONG height, DWORD bitrate)
    {
        movie = folder / name;
        profile = EditedProfile(VideoOnlyProfileText(), width, height, bitrate);
        Build(writerId, profile.Get(), movie, width, height);
    }

    std::size_t PeakDepth() { return static_cast<MovieWriterFilter*>(writer.Get())->PeakQueueDepth(); }

    // `count` pictures (with their sound when there is a sound source), then the ends;
    // the pictures are made first, so that the sender is as fast as it can be.
    void SendMovie(LONG width, LONG height, int count)
    {
        std::vector<std::vector<BYTE>> pictures;
        for (int i = 0; i < count; ++i) pictures.push_back(Picture(width, height, i));
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(video->Send(pictures[i], StartOf(i), StartOf(i + 1)), S_OK) << i;
            if (sound) {
                ASSERT_EQ(sound->Send(Sound(i), StartOf(i), StartOf(i + 1)), S_OK) << i;
            }
        }
        EXPECT_EQ(video->SendEnd(), S_OK);
        if (sound) {
            EXPECT_EQ(sound->SendEnd(), S_OK);
        }
    }

    ComPtr<PushSource> video;
    ComPtr<PushSource> sound;
    ComPtr<IWMProfile> profile;
    std::filesystem::path movie;
};

// The same movie written by the encoding core on the caller's thread.
void WriteDirectly(IWMProfile* profile, const MovieFormat& format, const std::filesystem::path& file, LONG width,
                   LONG height, int count)
{
    DWORD streamCount = 0;
    ASSERT_EQ(profile->GetStreamCount(&streamCount), S_OK);
    std::vector<ProfileStream> streams(streamCount);
    std::vector<MovieInput> inputs(streamCount);
    std::size_t videoIndex = 0;
    std::size_t soundIndex = 0;
    for (DWORD i = 0; i < streamCount; ++i) {
        ComPtr<IWMStreamConfig> config;
        ASSERT_EQ(profile->GetStream(i, config.Receive()), S_OK);
        ASSERT_EQ(ReadStreamConfig(config.Get(), &streams[i]), S_OK);
        if (streams[i].IsVideo()) {
            videoIndex = i;
            inputs[i].video = VideoFormat::Rgb24(width, height, kPictureTime);
        } else {
            soundIndex = i;
            inputs[i].audio = AudioFormat::Pcm16(kSampleRate, kChannels);
        }
    }
    FfmpegMovieEncoder direct;
    ASSERT_EQ(direct.Open(file.string(), streams, inputs, format), S_OK);
    for (int i = 0; i < count; ++i) {
        const std::vector<BYTE> frame = Picture(width, height, i);
        ASSERT_EQ(direct.WriteVideo(videoIndex, frame.data(), frame.size(), StartOf(i), StartOf(i + 1)), S_OK);
        if (streamCount < 2) continue;
        const std::vector<BYTE> pcm = Sound(i);
        ASSERT_EQ(direct.WriteAudio(soundIndex, pcm.data(), pcm.size(), StartOf(i)), S_OK);
    }
    ASSERT_EQ(direct.Finish(), S_OK);
}

std::string Quoted(const std::filesystem::path& file) { return "'" + file.string() + "'"; }

// Every packet's bytes and times.
std::string Packets(const std::filesystem::path& file, const std::string& streams = "0")
{
    return CommandOutput("ffmpeg -v error -i " + Quoted(file) + " -map 0:" + streams + " -c copy -f framemd5 -");
}

// Every packet's stream, times and flags.
std::string PacketTimes(const std::filesystem::path& file)
{
    return CommandOutput("ffprobe -v error -of csv -show_entries packet=stream_index,pts,dts,duration,flags " +
                         Quoted(file));
}

} // namespace

// WMV files are the same bytes whenever they are made. A WebM file has a random segment
// identity, so its packets are compared; in an MP4 libx264's threads vary the video's
// bytes from run to run, so its sound and every packet's times are compared.
TEST_F(PipelineTest, EachFormatIsTheMovieTheEncodingCoreWritesOnTheSendersThread)
{
    constexpr LONG kWidth = 160;
    constexpr LONG kHeight = 120;
    constexpr int kPictures = 12;
    profile = EditedProfile(AudioVideoProfileText(), kWidth, kHeight, 185000);
    const struct {
        const char* extension;
        CLSID writerClass;
        MovieFormat format;
    } formats[] = {
        {".wmv", CLSID_WMAsfWriter, MovieFormat{}},
        {".mp4", CLSID_MediaFileWriter, MovieFormat::Mp4(0)},
        {".webm", CLSID_MediaFileWriter, MovieFormat::WebM(0)},
    };
    for (const auto& format : formats) {
        SCOPED_TRACE(format.extension);
        const std::filesystem::path queued = folder / (std::string("queued") + format.extension);
        const std::filesystem::path direct = folder / (std::string("direct") + format.extension);
        WriteDirectly(profile.Get(), format.format, direct, kWidth, kHeight, kPictures);
        Build(format.writerClass, profile.Get(), queued, kWidth, kHeight);
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        SendMovie(kWidth, kHeight, kPictures);
        const std::vector<GraphEvent> seen = EventsUntilEnd(60000);
        ASSERT_TRUE(Has(seen, EC_COMPLETE));
        ASSERT_EQ(control->Stop(), S_OK);
        EXPECT_LE(PeakDepth(), kCapacity);
        if (format.format.IsAsf()) {
            EXPECT_EQ(ReadFile(queued), ReadFile(direct));
        } else if (format.format.muxer == "webm") {
            EXPECT_EQ(Packets(queued), Packets(direct));
        } else {
            EXPECT_EQ(Packets(queued, "a"), Packets(direct, "a"));
            EXPECT_EQ(PacketTimes(queued), PacketTimes(direct));
        }
        EXPECT_FALSE(Packets(queued).empty());
        ASSERT_EQ(graph->RemoveFilter(writer.Get()), S_OK);
        ASSERT_EQ(graph->RemoveFilter(video.Get()), S_OK);
        if (sound) {
            ASSERT_EQ(graph->RemoveFilter(sound.Get()), S_OK);
        }
        sound.Reset();
    }
}

TEST_F(PipelineTest, TheQueueHoldsTheSenderBackLosesNoFrameAndCompletesOnlyOnceItIsWritten)
{
    constexpr int kPictures = 12;
    BuildVideoOnly(CLSID_MediaFileWriter, "held.webm", kSlowWidth, kSlowHeight, 2000000);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    SendMovie(kSlowWidth, kSlowHeight, kPictures);
    EXPECT_EQ(PeakDepth(), kCapacity);
    const std::vector<GraphEvent> seen = EventsUntilEnd(120000);
    ASSERT_TRUE(Has(seen, EC_COMPLETE));
    // Completion means the whole movie is there under its name, before anyone stops the graph.
    const MovieProbe probe = MovieProbe::Of(movie);
    ASSERT_TRUE(probe.readable);
    ASSERT_EQ(probe.videoTimes.size(), static_cast<std::size_t>(kPictures));
    for (int i = 0; i < kPictures; ++i) EXPECT_NEAR(probe.videoTimes[i], i * 0.5, 0.002) << i;
    EXPECT_EQ(Temporaries(folder), 0);
    ASSERT_EQ(control->Stop(), S_OK);
}

TEST_F(PipelineTest, StopWhileTheSenderWaitsOnAFullQueueEndsTheRunAndLeavesNoFile)
{
    BuildVideoOnly(CLSID_MediaFileWriter, "stopped.webm", kSlowWidth, kSlowHeight, 2000000);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    const std::vector<BYTE> frame = Picture(kSlowWidth, kSlowHeight, 0);
    std::atomic<HRESULT> refusal{S_OK};
    std::thread sender([&] {
        for (int i = 0; i < 10000; ++i) {
            const HRESULT hr = video->Send(frame, StartOf(i), StartOf(i + 1));
            if (hr != S_OK) {
                refusal = hr;
                return;
            }
        }
    });
    EXPECT_TRUE(static_cast<MovieWriterFilter*>(writer.Get())->WaitForQueueDepth(kCapacity, 30000));
    EXPECT_EQ(PeakDepth(), kCapacity);
    auto stopped = std::async(std::launch::async, [&] { return control->Stop(); });
    const bool returned = stopped.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    sender.join();
    ASSERT_TRUE(returned) << "Stop did not return";
    EXPECT_EQ(stopped.get(), S_OK);
    EXPECT_TRUE(FAILED(refusal.load()));
    EXPECT_FALSE(std::filesystem::exists(movie));
    EXPECT_EQ(Temporaries(folder), 0);
}

TEST_F(PipelineTest, AWriteFailureOnTheEncodingThreadAbortsOnceAndRefusesTheSamplesAfterIt)
{
    constexpr LONG kWidth = 320;
    constexpr LONG kHeight = 240;
    BuildVideoOnly(CLSID_WMAsfWriter, "full.wmv", kWidth, kHeight, 185000);
    HRESULT refusal = S_OK;
    std::vector<GraphEvent> seen;
    {
        const FileSizeLimit limit(16 * 1024);
        ASSERT_TRUE(limit.Holds());
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        for (int i = 0; i < 400 && refusal == S_OK; ++i)
            refusal = video->Send(Picture(kWidth, kHeight, i), StartOf(i), StartOf(i + 1));
        seen = EventsUntilEnd(10000);
    }
    EXPECT_TRUE(FAILED(refusal));
    // The source would stop at the first refusal; one that does not is refused again.
    EXPECT_EQ(video->Send(Picture(kWidth, kHeight, 0), StartOf(500), StartOf(501)), refusal);
    EXPECT_EQ(video->SendEnd(), S_OK);
    for (const GraphEvent& event : EventsUntilEnd(300)) seen.push_back(event);
    LONG_PTR code = S_OK;
    ASSERT_TRUE(Has(seen, EC_ERRORABORT, &code));
    EXPECT_EQ(static_cast<HRESULT>(code), refusal);
    EXPECT_EQ(
        std::count_if(seen.begin(), seen.end(), [](const GraphEvent& event) { return event.code == EC_ERRORABORT; }),
        1);
    EXPECT_FALSE(Has(seen, EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_FALSE(std::filesystem::exists(movie));
    EXPECT_EQ(Temporaries(folder), 0);
}

// The first 720p VP9 frame takes the encoder far longer than three copies take the sender.
TEST_F(PipelineTest, AFlushDropsItsInputsQueuedFramesAndRefusesSamplesUntilItEnds)
{
    BuildVideoOnly(CLSID_MediaFileWriter, "flushed.webm", kSlowWidth, kSlowHeight, 2000000);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    const std::vector<BYTE> picture = Picture(kSlowWidth, kSlowHeight, 0);
    const auto send = [&](int i) { return video->Send(picture, StartOf(i), StartOf(i + 1)); };
    for (int i = 0; i < 3; ++i) ASSERT_EQ(send(i), S_OK);
    ASSERT_EQ(video->SendBeginFlush(), S_OK);
    EXPECT_EQ(send(3), S_FALSE);
    ASSERT_EQ(video->SendEndFlush(), S_OK);
    for (int i = 4; i < 6; ++i) ASSERT_EQ(send(i), S_OK);
    ASSERT_EQ(video->SendEnd(), S_OK);
    ASSERT_TRUE(Has(EventsUntilEnd(60000), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    const MovieProbe probe = MovieProbe::Of(movie);
    ASSERT_GE(probe.videoTimes.size(), 2u);
    EXPECT_LT(probe.videoTimes.size(), 5u);
    EXPECT_NEAR(probe.videoTimes.end()[-2], 2.0, 0.002);
    EXPECT_NEAR(probe.videoTimes.back(), 2.5, 0.002);
}

// Runs stopped at every point of their life: before a frame, with frames queued, after
// the end was queued, after completion; each one's thread ends and each run starts clean.
TEST_F(PipelineTest, ManyShortRunsStartAndStopWithoutAHangOrALeftoverFile)
{
    constexpr LONG kWidth = 64;
    constexpr LONG kHeight = 48;
    profile = EditedProfile(AudioVideoProfileText(), kWidth, kHeight, 185000);
    Build(CLSID_WMAsfWriter, profile.Get(), folder / "run0.wmv", kWidth, kHeight);
    for (int run = 0; run < 24; ++run) {
        SCOPED_TRACE(run);
        const std::filesystem::path file = folder / ("run" + std::to_string(run) + ".wmv");
        ASSERT_EQ(writerSink->SetFileName(WideFromUtf8(file.string()).c_str(), nullptr), S_OK);
        // Every third run pauses first, as a graph with a clock would.
        if (run % 3 == 0) {
            ASSERT_TRUE(SUCCEEDED(control->Pause()));
        }
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        const int pictures = run / 2 % 3;
        for (int i = 0; i < pictures; ++i) {
            ASSERT_EQ(video->Send(Picture(kWidth, kHeight, i), StartOf(i), StartOf(i + 1)), S_OK);
            ASSERT_EQ(sound->Send(Sound(i), StartOf(i), StartOf(i + 1)), S_OK);
        }
        const bool ends = run % 2 == 1;
        if (ends) {
            ASSERT_EQ(video->SendEnd(), S_OK);
            ASSERT_EQ(sound->SendEnd(), S_OK);
            const std::vector<GraphEvent> seen = EventsUntilEnd(20000);
            EXPECT_TRUE(Has(seen, pictures > 0 ? EC_COMPLETE : EC_ERRORABORT));
        }
        ASSERT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(std::filesystem::exists(file), ends && pictures > 0);
        EXPECT_EQ(Temporaries(folder), 0);
    }
}
