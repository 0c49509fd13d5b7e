// The encoding core's output file: what the name may be (a FIFO or a socket is
// refused, a link followed, a file's permissions kept), the temporaries of
// ended runs cleared, a stop during a long repeated picture, the frame sizes
// each format takes, the colours of flat pictures as ffmpeg decodes them, and the
// quality of a WebM still with bits to spare.
#include "tests/common/MovieProbe.h"
#include "ProfileTexts.h"

#include "platform/com/ComPtr.h"
#include "platform/wmformat/MediaFileWriterConfig.h"
#include "platform/wmformat/FfmpegMovieEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr LONG kWidth = 64;
constexpr LONG kHeight = 48;
constexpr REFERENCE_TIME kSecond = kUnitsPerSecond;

ProfileStream VideoStream(LONG width, LONG height)
{
    HRESULT hr = E_FAIL;
    const auto profile = ComPtr<IWMProfile>::Attach(LoadProfile(VideoOnlyProfileText(), &hr));
    ProfileStream stream;
    EXPECT_EQ(hr, S_OK);
    if (!profile) return stream;
    EXPECT_EQ(EditVideoStream(profile.Get(), width, height, 185000), S_OK);
    ComPtr<IWMStreamConfig> config;
    EXPECT_EQ(profile->GetStream(0, config.Receive()), S_OK);
    EXPECT_EQ(ReadStreamConfig(config.Get(), &stream), S_OK);
    return stream;
}

MovieInput VideoInput(LONG width, LONG height) { return {VideoFormat::Rgb24(width, height, kSecond), {}}; }

// One bottom-up BGR frame of a single grey level, with the scaler's padding.
std::vector<BYTE> FlatFrame(BYTE level)
{
    std::vector<BYTE> frame(DibImageBytes(kWidth, kHeight, 24) + FfmpegMovieEncoder::kInputPadding, level);
    return frame;
}

int HiddenFiles(const std::filesystem::path& folder)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().starts_with(".");
    return count;
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/reelsmith-output-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // A one-second movie of flat frames of these levels into `path`: Open's result, then Finish's.
    HRESULT Make(const std::filesystem::path& path, const MovieFormat& format = MovieFormat::Mp4(0),
                 std::initializer_list<BYTE> levels = {128})
    {
        FfmpegMovieEncoder writer;
        HRESULT hr = writer.Open(path.string(), {VideoStream(kWidth, kHeight)}, {VideoInput(kWidth, kHeight)}, format);
        REFERENCE_TIME start = 0;
        for (const BYTE level : levels) {
            const std::vector<BYTE> frame = FlatFrame(level);
            if (SUCCEEDED(hr))
                hr = writer.WriteVideo(0, frame.data(), frame.size() - FfmpegMovieEncoder::kInputPadding, start,
                                       start + kSecond);
            start += kSecond;
        }
        return SUCCEEDED(hr) ? writer.Finish() : hr;
    }
    std::filesystem::path folder;
};

bool IsMovie(const std::filesystem::path& path) { return MovieProbe::Of(path.string()).StreamOf("video") >= 0; }

} // namespace

// A socket stands for a device too: a run as root could otherwise replace /dev/null.
TEST_F(OutputFileTest, AFifoOrASocketIsRefusedAndStaysWhatItWas)
{
    const std::filesystem::path fifo = folder / "fifo.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(Make(fifo), HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    const std::filesystem::path socketPath = folder / "socket.mp4";
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(Make(socketPath), HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));
    EXPECT_TRUE(std::filesystem::is_socket(socketPath));
    close(listener);
    EXPECT_EQ(HiddenFiles(folder), 0);
}

// The movie goes where the link points, however many links lead there, and the
// temporary beside it; the links stay links.
TEST_F(OutputFileTest, ALinkIsFollowedToItsTargetAndStaysALink)
{
    const std::filesystem::path elsewhere = folder / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::ofstream(elsewhere / "target.mp4") << "earlier";
    std::filesystem::create_symlink("elsewhere/target.mp4", folder / "first.mp4");
    std::filesystem::create_symlink(folder / "first.mp4", folder / "second.mp4");
    ASSERT_EQ(Make(folder / "second.mp4"), S_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "first.mp4"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "second.mp4"));
    EXPECT_TRUE(IsMovie(elsewhere / "target.mp4"));
    EXPECT_EQ(HiddenFiles(folder), 0);
    EXPECT_EQ(HiddenFiles(elsewhere), 0);
    // A link to nothing yet makes its target.
    std::filesystem::create_symlink("elsewhere/new.mp4", folder / "dangling.mp4");
    ASSERT_EQ(Make(folder / "dangling.mp4"), S_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "dangling.mp4"));
    EXPECT_TRUE(IsMovie(elsewhere / "new.mp4"));
}

TEST_F(OutputFileTest, AnExistingFileKeepsItsPermissionsAndANewOneTakesTheUmasks)
{
    const std::filesystem::path kept = folder / "private.wmv";
    std::ofstream(kept) << "earlier";
    ASSERT_EQ(chmod(kept.c_str(), 0600), 0);
    ASSERT_EQ(Make(kept, MovieFormat{}), S_OK);
    EXPECT_TRUE(IsMovie(kept));
    struct stat found {};
    ASSERT_EQ(stat(kept.c_str(), &found), 0);
    EXPECT_EQ(found.st_mode & 07777, 0600u);

    const mode_t saved = umask(027);
    const HRESULT made = Make(folder / "new.wmv", MovieFormat{});
    umask(saved);
    ASSERT_EQ(made, S_OK);
    ASSERT_EQ(stat((folder / "new.wmv").c_str(), &found), 0);
    EXPECT_EQ(found.st_mode & 07777, 0640u);
}

// A temporary of the same movie that no writer holds is a killed run's; one whose
// lock is held is a running one's, and other names are not the writer's at all.
TEST_F(OutputFileTest, TheTemporariesOfEndedRunsAreRemovedAndALiveOneIsKept)
{
    const std::vector<std::string> kept = {".movie.mp4.89abcdef.part", ".movie.mp4.notours.part",
                                           ".other.mp4.01234567.part", ".movie.mp4.0123456.part"};
    for (const std::string& name : kept) std::ofstream(folder / name) << "x";
    std::ofstream(folder / ".movie.mp4.01234567.part") << "stale";
    const int live = open((folder / kept[0]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    ASSERT_EQ(Make(folder / "movie.mp4"), S_OK);
    close(live);
    EXPECT_FALSE(std::filesystem::exists(folder / ".movie.mp4.01234567.part"));
    for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    EXPECT_TRUE(IsMovie(folder / "movie.mp4"));
}

// An hour of one picture at 120 frames a second is 432,000 frames: the stop ends it.
TEST_F(OutputFileTest, AnInterruptEndsAPictureRepeatedForAnHour)
{
    FfmpegMovieEncoder writer;
    ASSERT_EQ(writer.Open((folder / "long.mp4").string(), {VideoStream(kWidth, kHeight)}, {VideoInput(kWidth, kHeight)},
                          MovieFormat::Mp4(120)),
              S_OK);
    const std::vector<BYTE> frame = FlatFrame(128);
    auto written = std::async(std::launch::async, [&] {
        return writer.WriteVideo(0, frame.data(), frame.size() - FfmpegMovieEncoder::kInputPadding, 0, 3600 * kSecond);
    });
    writer.Interrupt();
    EXPECT_EQ(written.get(), VFW_E_WRONG_STATE);
    writer.Abandon();
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// H.264 and VP9 at level 6.2: 139,264 blocks of 16x16, sides to 16,384; FFmpeg's own
// limit for WMV. A 16384x16384 frame is refused by every format, before any file is made.
TEST_F(OutputFileTest, AFrameTooLargeForTheFormatIsRefusedAtOpen)
{
    for (const MovieFormat& format : {MovieFormat::Mp4(0), MovieFormat::WebM(0)}) {
        EXPECT_TRUE(format.Encodes(8192, 4352)) << format.muxer;
        EXPECT_TRUE(format.Encodes(16384, 2176)) << format.muxer;
        EXPECT_FALSE(format.Encodes(8192, 4354)) << format.muxer;
        EXPECT_FALSE(format.Encodes(16386, 20)) << format.muxer;
    }
    EXPECT_TRUE(MovieFormat{}.Encodes(16254, 16254));
    EXPECT_FALSE(MovieFormat{}.Encodes(16256, 16256));
    for (const MovieFormat& format : {MovieFormat{}, MovieFormat::Mp4(0), MovieFormat::WebM(0)}) {
        FfmpegMovieEncoder writer;
        EXPECT_EQ(writer.Open((folder / "huge").string(), {VideoStream(kMaxVideoSide, kMaxVideoSide)},
                              {VideoInput(kMaxVideoSide, kMaxVideoSide)}, format),
                  WRITER_E_FRAME_TOO_LARGE)
            << format.muxer;
        EXPECT_TRUE(std::filesystem::is_empty(folder)) << format.muxer;
    }
}

// A still whose frame may take several bits a pixel is encoded close to its picture:
// libvpx's rate control, left to itself, made a movie's first pictures in coarse blocks
// however many bits they had. Grey noise, so that the frame's 4:2:0 chroma loses nothing.
TEST_F(OutputFileTest, AWebMStillWithBitsToSpareIsEncodedCloseToItsPicture)
{
    std::vector<BYTE> frame = FlatFrame(0);
    std::uint32_t seed = 12345;
    for (std::size_t pixel = 0; pixel + 3 <= DibImageBytes(kWidth, kHeight, 24); pixel += 3) {
        seed = seed * 1664525u + 1013904223u;
        std::fill_n(frame.begin() + static_cast<std::ptrdiff_t>(pixel), 3, static_cast<BYTE>(64 + (seed >> 25)));
    }
    const std::filesystem::path movie = folder / "still.webm";
    FfmpegMovieEncoder writer;
    ASSERT_EQ(writer.Open(movie.string(), {VideoStream(kWidth, kHeight)}, {VideoInput(kWidth, kHeight)},
                          MovieFormat::WebM(25)),
              S_OK);
    ASSERT_EQ(writer.WriteVideo(0, frame.data(), frame.size() - FfmpegMovieEncoder::kInputPadding, 0, 3 * kSecond),
              S_OK);
    ASSERT_EQ(writer.Finish(), S_OK);
    const std::string grey = CommandOutput("ffmpeg -v error -i '" + movie.string() +
                                           "' -frames:v 1 -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    ASSERT_EQ(grey.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
    double squaredError = 0;
    for (LONG y = 0; y < kHeight; ++y) {
        for (LONG x = 0; x < kWidth; ++x) {
            const BYTE given = frame[DibRowBytes(kWidth, 24) * (kHeight - 1 - y) + 3 * x];
            const double difference =
                static_cast<unsigned char>(grey[3 * (y * kWidth + x) + 1]) - static_cast<double>(given);
            squaredError += difference * difference;
        }
    }
    const double psnr = 10 * std::log10(255.0 * 255.0 * kWidth * kHeight / std::max(squaredError, 1.0));
    EXPECT_GT(psnr, 45.0); // 42.7 dB without the ceiling, 48.6 with it
}

// White, grey and black pictures come out as ffmpeg decodes them, level for level,
// and the streams say what their frames are.
TEST_F(OutputFileTest, FlatPicturesKeepTheirLevelsInEveryFormat)
{
    for (const MovieFormat& format : {MovieFormat{}, MovieFormat::Mp4(0), MovieFormat::WebM(0)}) {
        const std::filesystem::path movie = folder / ("flat." + format.muxer);
        ASSERT_EQ(Make(movie, format, {255, 128, 0}), S_OK) << format.muxer;
        const std::string rgb =
            CommandOutput("ffmpeg -v error -i '" + movie.string() + "' -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
        const std::size_t frameBytes = kWidth * kHeight * 3;
        ASSERT_EQ(rgb.size(), 3 * frameBytes) << format.muxer;
        const int levels[] = {255, 128, 0};
        for (std::size_t frame = 0; frame < 3; ++frame) {
            // The middle of the frame and its first pixel, each channel.
            for (const std::size_t pixel : {std::size_t{0}, (kHeight / 2 * kWidth + kWidth / 2) * std::size_t{3}}) {
                for (std::size_t channel = 0; channel < 3; ++channel) {
                    EXPECT_NEAR(static_cast<unsigned char>(rgb[frame * frameBytes + pixel + channel]), levels[frame], 1)
                        << format.muxer << " frame " << frame << " channel " << channel;
                }
            }
        }
        if (format.IsAsf()) continue; // ASF has no field for them
        const std::string tags = CommandOutput("ffprobe -v error -of csv=p=0 -show_entries "
                                               "stream=color_range,color_space,color_transfer,color_primaries '" +
                                               movie.string() + "'");
        EXPECT_EQ(tags, "tv,smpte170m,iec61966-2-1,bt709\n") << format.muxer;
    }
}
