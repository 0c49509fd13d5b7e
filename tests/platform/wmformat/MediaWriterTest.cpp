// Movies written by the media file writer (MP4 and WebM) from the picture
// source's frames and a PCM source, read back with ffprobe; its frame rate;
// the encoding core's failures.
#include "WriterFixture.h"

#include "tests/common/MovieProbe.h"

#include "platform/base/WideText.h"
#include "platform/wmformat/MediaFileWriterConfig.h"
#include "platform/wmformat/FfmpegMovieEncoder.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace {

constexpr int kPictures = 5;
constexpr LONG kRepTime = 500;
constexpr double kMovieSeconds = kPictures * kRepTime / 1000.0;

class MediaWriterTest : public WriterTest {
protected:
    void SetUp() override
    {
        writerClass = CLSID_MediaFileWriter;
        WriterTest::SetUp();
        ASSERT_EQ(writer.As(IID_IMediaFileWriterConfig, mediaConfig), S_OK);
    }
    void TearDown() override
    {
        mediaConfig.Reset();
        WriterTest::TearDown();
    }
    // The five pictures at 160x120, with 2.5 s of sound when asked, into `name`; a
    // later movie of the same test runs the same graph into another file.
    MovieProbe Make(const std::string& name, bool sound)
    {
        if (built) {
            EXPECT_EQ(writerSink->SetFileName(WideFromUtf8((folder / name).string()).c_str(), nullptr), S_OK);
        } else {
            ConfigurePictures(160, 120, kRepTime);
            const ComPtr<IWMProfile> profile =
                EditedProfile(sound ? AudioVideoProfileText() : VideoOnlyProfileText(), 160, 120, 185000);
            BuildGraph(profile.Get(), folder / name);
            if (sound) AddSound(44100, 1, static_cast<REFERENCE_TIME>(kMovieSeconds * 1000) * kUnitsPerMillisecond);
            built = true;
        }
        const std::vector<GraphEvent> seen = RunToEnd();
        EXPECT_TRUE(Has(seen, EC_COMPLETE));
        EXPECT_FALSE(Has(seen, EC_ERRORABORT));
        EXPECT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(Temporaries(folder), 0);
        return MovieProbe::Of(folder / name);
    }
    ComPtr<IMediaFileWriterConfig> mediaConfig;
    bool built = false;
};

// The top-level boxes of an MP4 file, in order.
std::vector<std::string> TopLevelBoxes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> boxes;
    unsigned char header[8];
    while (in.read(reinterpret_cast<char*>(header), sizeof header)) {
        const std::uint64_t size = (std::uint64_t{header[0]} << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        boxes.emplace_back(reinterpret_cast<char*>(header + 4), 4);
        if (size < 8) break;
        in.seekg(static_cast<std::streamoff>(size - 8), std::ios::cur);
    }
    return boxes;
}

void ExpectOneFramePerPicture(const MovieProbe& probe)
{
    std::vector<double> times = probe.videoTimes;
    std::sort(times.begin(), times.end());
    ASSERT_EQ(times.size(), static_cast<std::size_t>(kPictures));
    // WebM moves every time by the sound's few-millisecond lead-in.
    for (int i = 0; i < kPictures; ++i) EXPECT_NEAR(times[i] - times[0], i * kRepTime / 1000.0, 0.002) << i;
    EXPECT_NEAR(probe.Duration(), kMovieSeconds, 0.05);
}

// A movie of the five pictures at 160x120 with 48 kHz stereo sound.
void ExpectStreams(const MovieProbe& probe, const char* container, const char* videoCodec, const char* audioCodec)
{
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.Field("format.format_name"), container);
    const int video = probe.StreamOf("video");
    const int audio = probe.StreamOf("audio");
    ASSERT_GE(video, 0);
    ASSERT_GE(audio, 0);
    EXPECT_EQ(probe.StreamField(video, "codec_name"), videoCodec);
    EXPECT_EQ(probe.StreamField(video, "pix_fmt"), "yuv420p");
    EXPECT_EQ(probe.StreamField(video, "width"), "160");
    EXPECT_EQ(probe.StreamField(video, "height"), "120");
    EXPECT_EQ(probe.StreamField(video, "nb_read_frames"), "5");
    EXPECT_EQ(probe.StreamField(audio, "codec_name"), audioCodec);
    EXPECT_EQ(probe.StreamField(audio, "sample_rate"), "48000");
    EXPECT_EQ(probe.StreamField(audio, "channels"), "2");
    ExpectOneFramePerPicture(probe);
}

} // namespace

TEST_F(MediaWriterTest, Mp4IsH264HighAndAacWithTheIndexFirst)
{
    const MovieProbe probe = Make("movie.mp4", true);
    ExpectStreams(probe, "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac");
    EXPECT_EQ(probe.StreamField(probe.StreamOf("video"), "profile"), "High");
    EXPECT_EQ(probe.StreamField(probe.StreamOf("audio"), "profile"), "LC");

    const std::vector<std::string> boxes = TopLevelBoxes(folder / "movie.mp4");
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    ASSERT_NE(mdat, boxes.end());
    EXPECT_LT(moov, mdat);
}

TEST_F(MediaWriterTest, WebMIsVp9AndOpus) { ExpectStreams(Make("movie.webm", true), "matroska,webm", "vp9", "opus"); }

TEST_F(MediaWriterTest, AConstantFrameRateRepeatsEachPicturesFrameToItsEnd)
{
    ASSERT_EQ(mediaConfig->SetFrameRate(30), S_OK);
    for (const char* name : {"constant.mp4", "constant.webm"}) {
        const MovieProbe probe = Make(name, false);
        const int video = probe.StreamOf("video");
        ASSERT_GE(video, 0) << name;
        EXPECT_EQ(probe.StreamField(video, "avg_frame_rate"), "30/1") << name;
        EXPECT_EQ(probe.StreamField(video, "nb_read_frames"), "75") << name;
        EXPECT_NEAR(probe.Duration(), kMovieSeconds, 0.05) << name;
    }
    // 12.5 frames a picture: each picture ends at the frame nearest to its end.
    ASSERT_EQ(mediaConfig->SetFrameRate(25), S_OK);
    const MovieProbe probe = Make("rounded.mp4", false);
    EXPECT_EQ(probe.StreamField(probe.StreamOf("video"), "nb_read_frames"), "63");
}

// VP9 encodes a picture once; its other frames are one-byte frames that show it
// again, and decode to the very frame encoded, not to an older reference.
TEST_F(MediaWriterTest, WebMAtAConstantRateShowsEachPicturesFrameAgain)
{
    constexpr int kFramesPerPicture = 15;
    ASSERT_EQ(mediaConfig->SetFrameRate(30), S_OK);
    Make("shown.webm", false);
    const std::string file = "'" + (folder / "shown.webm").string() + "'";
    const std::vector<std::string> sizes =
        CommandLines("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 " + file);
    std::vector<std::string> digests;
    for (const std::string& line : CommandLines("ffmpeg -v error -i " + file + " -map 0:v -f framemd5 - 2>/dev/null")) {
        if (!line.empty() && line[0] != '#') digests.push_back(line.substr(line.rfind(',') + 1));
    }
    ASSERT_EQ(sizes.size(), static_cast<std::size_t>(kPictures * kFramesPerPicture));
    ASSERT_EQ(digests.size(), sizes.size());
    for (std::size_t frame = 0; frame < sizes.size(); ++frame) {
        const std::size_t first = frame / kFramesPerPicture * kFramesPerPicture;
        if (frame == first) {
            EXPECT_GT(std::stoi(sizes[frame]), 1) << frame;
            if (frame > 0) {
                EXPECT_NE(digests[frame], digests[frame - 1]) << frame;
            }
        } else {
            EXPECT_EQ(sizes[frame], "1") << frame;
            EXPECT_EQ(digests[frame], digests[first]) << frame;
        }
    }
}

TEST_F(MediaWriterTest, TheFrameRateIsSetWhileStoppedAndWithinRange)
{
    LONG rate = -1;
    ASSERT_EQ(mediaConfig->GetFrameRate(&rate), S_OK);
    EXPECT_EQ(rate, 0);
    EXPECT_EQ(mediaConfig->SetFrameRate(-1), E_INVALIDARG);
    EXPECT_EQ(mediaConfig->SetFrameRate(IMediaFileWriterConfig::kMaxFrameRate + 1), E_INVALIDARG);
    EXPECT_EQ(mediaConfig->GetFrameRate(nullptr), E_POINTER);
    ConfigurePictures(64, 48, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 64, 48, 185000);
    BuildGraph(profile.Get(), folder / "running.mp4");
    ASSERT_TRUE(SUCCEEDED(control->Pause()));
    EXPECT_EQ(mediaConfig->SetFrameRate(25), VFW_E_NOT_STOPPED);
    ASSERT_EQ(mediaConfig->GetFrameRate(&rate), S_OK);
    EXPECT_EQ(rate, 0);
}

TEST_F(MediaWriterTest, AnOddFrameSizeIsEncodedOnePixelShorter)
{
    ConfigurePictures(161, 121, kRepTime);
    const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 161, 121, 185000);
    BuildGraph(profile.Get(), folder / "odd.mp4");
    ASSERT_TRUE(Has(RunToEnd(), EC_COMPLETE));
    ASSERT_EQ(control->Stop(), S_OK);
    const MovieProbe probe = MovieProbe::Of(folder / "odd.mp4");
    const int video = probe.StreamOf("video");
    ASSERT_GE(video, 0);
    EXPECT_EQ(probe.StreamField(video, "width"), "160");
    EXPECT_EQ(probe.StreamField(video, "height"), "120");
}

TEST_F(MediaWriterTest, AFullDiskAbortsAndLeavesNoFile)
{
    for (const char* name : {"full.mp4", "full.webm"}) {
        ConfigurePictures(320, 240, kRepTime);
        const ComPtr<IWMProfile> profile = EditedProfile(VideoOnlyProfileText(), 320, 240, 400000);
        BuildGraph(profile.Get(), folder / name);
        const std::vector<GraphEvent> seen = RunOnAFullDisk();
        LONG_PTR code = 0;
        EXPECT_TRUE(Has(seen, EC_ERRORABORT, &code)) << name;
        EXPECT_TRUE(FAILED(static_cast<HRESULT>(code))) << name;
        EXPECT_FALSE(Has(seen, EC_COMPLETE)) << name;
        ASSERT_EQ(control->Stop(), S_OK);
        EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
        EXPECT_EQ(Temporaries(folder), 0) << name;
        ASSERT_EQ(graph->RemoveFilter(source.Get()), S_OK);
        ASSERT_EQ(graph->RemoveFilter(writer.Get()), S_OK);
    }
}

TEST_F(MediaWriterTest, AnUnwritableFolderAbortsTheRun)
{
    const std::filesystem::path file = folder / "missing" / "movie.mp4";
    EXPECT_EQ(RunToAbort(file), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(file));
}

// The encoding core on its own: an FFmpeg built without an encoder or a container
// fails the same way, before a byte of the movie is written.
TEST(FfmpegMovieEncoderTest, AMissingEncoderFailsAtOpenAndLeavesNothing)
{
    char pattern[] = "/tmp/reelsmith-encoder-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    HRESULT hr = E_FAIL;
    const auto profile = ComPtr<IWMProfile>::Attach(LoadProfile(VideoOnlyProfileText(), &hr));
    ASSERT_EQ(hr, S_OK);
    ComPtr<IWMStreamConfig> config;
    ASSERT_EQ(profile->GetStream(0, config.Receive()), S_OK);
    ProfileStream stream;
    ASSERT_EQ(ReadStreamConfig(config.Get(), &stream), S_OK);
    MovieInput input;
    input.video = VideoFormat::Rgb24(64, 48);
    for (const bool videoMissing : {true, false}) {
        MovieFormat format = MovieFormat::Mp4(0);
        (videoMissing ? format.videoEncoder : format.muxer) = videoMissing ? "no-such-encoder" : "no-such-muxer";
        FfmpegMovieEncoder writer;
        const HRESULT opened = writer.Open((folder / "movie.mp4").string(), {stream}, {input}, format);
        EXPECT_EQ(opened, NS_E_INVALID_INPUT_FORMAT) << videoMissing;
        EXPECT_TRUE(std::filesystem::is_empty(folder)) << videoMissing;
    }
    EXPECT_EQ(
        FfmpegMovieEncoder().Open((folder / "movie.wmv").string(), {stream}, {input}, MovieFormat{"asf", "", "", 25}),
        E_INVALIDARG);
    std::filesystem::remove_all(folder);
}
