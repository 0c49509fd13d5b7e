// Frames from real JPEG files through the real streaming thread: content, times,
// end of stream, seeking, stopping while starved of samples, thread priority.
#include "tests/picsource/PicsourceFixture.h"

#include "jpeg/JpegDecoder.h"
#include "picsource/FrameBuilder.h"
#include "platform/base/WideText.h"
#include "platform/thread/Threads.h"
#include "tests/common/ExifBlock.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace {

std::vector<BYTE> Expected(const char* folder, const char* file, int width, int height)
{
    const DecodedPicture picture = DecodeJpeg(PictureFolderUtf8(folder) + "/" + file);
    EXPECT_GT(picture.width, 0) << file;
    return ExpectedFrame(picture, width, height);
}

long CountOf(const std::vector<std::string>& events, const std::string& name)
{
    return std::count(events.begin(), events.end(), name);
}

// The largest channel difference between a frame of the picture's own size (bottom-up
// B G R, rows a multiple of 4 bytes) and an independent decode (top-down R G B).
int WorstDifference(const std::vector<BYTE>& frame, const DecodedPicture& reference)
{
    const std::size_t stride = (static_cast<std::size_t>(reference.width) * 3 + 3) & ~std::size_t{3};
    int worst = 0;
    for (int row = 0; row < reference.height; ++row) {
        for (int column = 0; column < reference.width; ++column) {
            const BYTE* bgr = &frame[static_cast<std::size_t>(reference.height - 1 - row) * stride + column * 3];
            const BYTE* rgb = &reference.rgb[(static_cast<std::size_t>(row) * reference.width + column) * 3];
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(bgr[2 - c] - rgb[c]));
        }
    }
    return worst;
}

// The skip events the filter raised: (index, reason) pairs.
std::vector<std::pair<LONG_PTR, LONG_PTR>> Skips(const TestGraph& graph)
{
    std::vector<std::pair<LONG_PTR, LONG_PTR>> skips;
    for (const auto& event : graph.events) {
        if (event.code == EC_PICTURE_SKIPPED) skips.emplace_back(event.param1, event.param2);
    }
    return skips;
}

} // namespace

TEST_F(PicsourceTest, FramesAreStretchedBottomUpBgrInListOrderWithTimes)
{
    PrepareFolder("photos", 320, 240, 500);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForEndOfStream());
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 3u);
    // a.jpg 640x480 takes every second row and column, B.JPG 160x120 becomes 2x2
    // blocks, c.Jpg 400x300 steps by 5/4.
    EXPECT_TRUE(frames[0].bytes == Expected("photos", "a.jpg", 320, 240));
    EXPECT_TRUE(frames[1].bytes == Expected("photos", "B.JPG", 320, 240));
    EXPECT_TRUE(frames[2].bytes == Expected("photos", "c.Jpg", 320, 240));
    for (std::size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].start, static_cast<REFERENCE_TIME>(k) * 5000000);
        EXPECT_EQ(frames[k].stop, static_cast<REFERENCE_TIME>(k + 1) * 5000000);
        EXPECT_TRUE(frames[k].syncPoint);
    }
    const auto events = sink.Events();
    EXPECT_EQ(events.front(), "NewSegment 0");
    EXPECT_EQ(events.back(), "EndOfStream");

    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(pin.As(IID_IMediaSeeking, seeking), S_OK);
    LONGLONG stop = 0;
    EXPECT_EQ(seeking->GetStopPosition(&stop), S_OK);
    EXPECT_EQ(stop, 15000000);
    LONG current = 0;
    EXPECT_EQ(config->GetCurrentPicture(&current), S_OK);
    EXPECT_EQ(current, 3);
}

TEST_F(PicsourceTest, ColourAndRowOrderMatchAnIndependentDecoder)
{
    // djpeg decodes independently: channel and row order must agree within the
    // small differences two decoders may have.
    const auto frame = FirstFrame("exact", 320, 240);
    ASSERT_FALSE(frame.empty());
    const DecodedPicture reference = ReadPpm(PictureFolderUtf8("exact") + "/e.ppm");
    ASSERT_EQ(reference.width, 320);
    EXPECT_LE(WorstDifference(frame, reference), 8);
    // An exact-size picture is copied unchanged.
    EXPECT_TRUE(frame == Expected("exact", "e.jpg", 320, 240));
}

TEST_F(PicsourceTest, AGreyPictureIsDeliveredAsColour)
{
    const auto frame = FirstFrame("grey", 320, 240);
    ASSERT_FALSE(frame.empty());
    EXPECT_TRUE(frame == Expected("grey", "g.jpg", 320, 240));
    EXPECT_EQ(frame[0], frame[1]);
    EXPECT_EQ(frame[1], frame[2]);
}

TEST_F(PicsourceTest, PaddedRowsAndATopDownTypeStillGiveBottomUpFrames)
{
    VideoType topDown(322, -240);
    sink.Offer(topDown.Get());
    ASSERT_EQ(config->SetFolder(PictureFolderPath("photos").c_str()), S_OK);
    LONG width = 322, height = 240;
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    ASSERT_EQ(ConnectSink(), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(1));
    const auto frame = sink.Frames().at(0).bytes;
    ASSERT_EQ(frame.size(), 968u * 240);
    EXPECT_TRUE(frame == Expected("photos", "a.jpg", 322, 240));
}

TEST_F(PicsourceTest, AnUnreadablePictureIsSkippedAndTheTimesGoOnWithoutAGap)
{
    PrepareFolder("broken", 64, 48, 500);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForEndOfStream());
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[1].bytes == Expected("broken", "3.jpg", 64, 48));
    EXPECT_EQ(frames[1].start, 5000000);
    EXPECT_EQ(frames[1].stop, 10000000);
    LONG current = 0;
    config->GetCurrentPicture(&current);
    EXPECT_EQ(current, 3) << "the bar reaches the end";
    ASSERT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(Skips(graph), (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{1, JpegNotJpeg}}));
    EXPECT_EQ(graph.events.size(), 1u);
}

TEST_F(PicsourceTest, AFourChannelPictureIsSkipped)
{
    PrepareFolder("cmyk", 64, 48);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForEndOfStream());
    EXPECT_EQ(sink.Frames().size(), 2u);
    ASSERT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(Skips(graph), (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{1, JpegUnsupportedBytesPerPixel}}));
}

// A folder of the test's own: copies of the tiny pictures, changed after the scan.
class ChangedFolderTest : public PicsourceTest {
protected:
    void SetUp() override
    {
        PicsourceTest::SetUp();
        char pattern[] = "/tmp/picsource-changed-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        for (const char* name : {"1.jpg", "2.jpg", "3.jpg"})
            std::filesystem::copy_file(PictureFolderUtf8("tiny") + "/" + name, folder / name);
        LONG repTime = 1000, width = 64, height = 48;
        ASSERT_EQ(config->SetRepTime(&repTime), S_OK);
        ASSERT_EQ(config->SetFolder(WideFromUtf8(folder.string() + "/").c_str()), S_OK);
        ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
        ASSERT_EQ(ConnectSink(), S_OK);
    }
    void TearDown() override
    {
        PicsourceTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void Write(const char* name, const std::string& bytes)
    {
        std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Read(const char* name)
    {
        std::ifstream in(folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::pair<LONG_PTR, LONG_PTR>> RunToEnd()
    {
        EXPECT_EQ(filter->Run(0), S_OK);
        EXPECT_TRUE(sink.WaitForEndOfStream());
        EXPECT_EQ(filter->Stop(), S_OK);
        return Skips(graph);
    }
    std::filesystem::path folder;
};

TEST_F(ChangedFolderTest, VanishedEmptyAndTruncatedFilesAreSkippedWithTheirReasons)
{
    std::filesystem::remove(folder / "1.jpg");
    Write("2.jpg", "");
    const std::string whole = Read("3.jpg");
    Write("3.jpg", whole.substr(0, whole.size() / 2));
    const auto skips = RunToEnd();
    ASSERT_GE(skips.size(), 2u);
    EXPECT_EQ(skips[0], (std::pair<LONG_PTR, LONG_PTR>{0, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)}));
    EXPECT_EQ(skips[1], (std::pair<LONG_PTR, LONG_PTR>{1, HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)}));
    // Half a picture is a frame of its upper half, or a decoder's refusal.
    EXPECT_EQ(sink.Frames().size() + skips.size(), 3u);
    if (skips.size() == 3) {
        EXPECT_TRUE(IsDecoderResult(skips[2].second));
    }
}

TEST_F(ChangedFolderTest, AFifoInPlaceOfAPictureIsSkippedWithoutWaitingForAWriter)
{
    std::filesystem::remove(folder / "2.jpg");
    ASSERT_EQ(mkfifo((folder / "2.jpg").c_str(), 0644), 0);
    const auto skips = RunToEnd();
    EXPECT_EQ(skips, (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{1, HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE)}}));
    EXPECT_EQ(sink.Frames().size(), 2u);
}

TEST_F(ChangedFolderTest, NoReadablePictureEndsTheStreamWithNoFrame)
{
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) Write(name, "no JPEG at all");
    EXPECT_EQ(RunToEnd().size(), 3u);
    EXPECT_TRUE(sink.Frames().empty());
    EXPECT_EQ(sink.Events().back(), "EndOfStream");
}

// A picture whose stream declares a second, huge frame after its first one: the frame
// is built only from what the pixel block was made for, or the picture is skipped.
TEST_F(ChangedFolderTest, ASecondFrameDeclaringAnotherSizeNeverOverrunsTheFrame)
{
    std::string bytes = Read("2.jpg");
    const std::size_t sof = bytes.find("\xFF\xC0");
    const std::size_t sos = bytes.find("\xFF\xDA");
    ASSERT_NE(sof, std::string::npos);
    ASSERT_NE(sos, std::string::npos);
    std::string secondFrame =
        bytes.substr(sof, 2 + 256 * static_cast<BYTE>(bytes[sof + 2]) + static_cast<BYTE>(bytes[sof + 3]));
    secondFrame[5] = secondFrame[7] = '\xFD';
    secondFrame[6] = secondFrame[8] = '\xE8'; // 65000 x 65000
    const std::string scanHeader =
        bytes.substr(sos, 2 + 256 * static_cast<BYTE>(bytes[sos + 2]) + static_cast<BYTE>(bytes[sos + 3]));
    bytes.resize(bytes.size() - 2); // EOI
    bytes += secondFrame + scanHeader + std::string(64, '\0') + "\xFF\xD9";
    Write("2.jpg", bytes);
    const auto skips = RunToEnd();
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size() + skips.size(), 3u);
    for (const auto& frame : frames) EXPECT_EQ(frame.bytes.size(), 64u * 3 * 48);
    EXPECT_TRUE(frames.back().bytes == Expected("tiny", "3.jpg", 64, 48));
}

TEST_F(ChangedFolderTest, AFewBytesDeclaringAHugeFrameAreRefusedBeforeAnyPixelMemory)
{
    std::string bytes = Read("2.jpg");
    const std::size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bytes[sof + 5] = bytes[sof + 7] = '\x1F';
    bytes[sof + 6] = bytes[sof + 8] = '\x40'; // 8000 x 8000 in a couple of kilobytes
    Write("2.jpg", bytes);
    EXPECT_EQ(RunToEnd(), (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{1, JpegErrorEof}}));
    EXPECT_EQ(sink.Frames().size(), 2u);
}

TEST_F(PicsourceTest, AnRgbCodedPictureKeepsItsColours)
{
    const auto frame = FirstFrame("rgb", 64, 48);
    ASSERT_FALSE(frame.empty());
    const DecodedPicture reference = ReadPpm(PictureFolderUtf8("rgb") + "/r.ppm");
    ASSERT_EQ(reference.width, 64);
    EXPECT_LE(WorstDifference(frame, reference), 8);
}

TEST_F(PicsourceTest, SetCurrentPictureMovesAStreamThatRuns)
{
    PrepareFolder("tiny", 64, 48);
    sink.HoldSamples(1);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(1));
    // The worker now waits for the one buffer, which the sink keeps.
    ASSERT_EQ(config->SetCurrentPicture(3), S_OK);
    sink.ReleaseHeldSamples();
    ASSERT_TRUE(sink.WaitForEndOfStream());
    EXPECT_EQ(sink.Frames().size(), 1u);
}

TEST_F(PicsourceTest, ASeekWhileRunningFlushesOnceAndStartsANewSegment)
{
    PrepareFolder("tiny", 64, 48, 1000);
    SeekWhileRunning(25000000);
    ASSERT_TRUE(sink.WaitForEndOfStream());

    const auto events = sink.Events();
    EXPECT_EQ(CountOf(events, "BeginFlush"), 1);
    EXPECT_EQ(CountOf(events, "EndFlush"), 1);
    const auto newSegment = std::find(events.begin(), events.end(), "NewSegment 25000000");
    ASSERT_NE(newSegment, events.end());
    EXPECT_GT(newSegment - std::find(events.begin(), events.end(), "EndFlush"), 0);
    // After the new segment only picture 2 (the third) is delivered.
    EXPECT_EQ(std::count(newSegment, events.end(), std::string("Frame")), 1);
    EXPECT_TRUE(sink.Frames().back().bytes == Expected("tiny", "3.jpg", 64, 48));
}

TEST_F(PicsourceTest, StopWhileTheWorkerWaitsForASampleNeverDeadlocks)
{
    PrepareFolder("tiny", 64, 48);
    for (int cycle = 0; cycle < 200; ++cycle) {
        sink.HoldSamples(1);
        ASSERT_EQ(filter->Pause(), S_OK);
        if (cycle % 2 == 0) {
            ASSERT_TRUE(sink.WaitForFrames(static_cast<std::size_t>(cycle / 2 + 1)));
        }
        ASSERT_EQ(filter->Stop(), S_OK) << "cycle " << cycle;
        sink.ReleaseHeldSamples();
    }
    EXPECT_EQ(State(), State_Stopped);
}

TEST_F(PicsourceTest, ASeekRacingAStopNeverLeavesStopWaiting)
{
    PrepareFolder("tiny", 64, 48);
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(pin.As(IID_IMediaSeeking, seeking), S_OK);
    for (int cycle = 0; cycle < 200; ++cycle) {
        sink.HoldSamples(1);
        ASSERT_EQ(filter->Run(0), S_OK);
        std::thread seeker([&seeking] {
            LONGLONG start = 10000000;
            seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        });
        std::future<HRESULT> stopped = std::async(std::launch::async, [this] { return filter->Stop(); });
        sink.ReleaseHeldSamples();
        ASSERT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "cycle " << cycle;
        EXPECT_EQ(stopped.get(), S_OK);
        seeker.join();
    }
}

TEST_F(PicsourceTest, StateChanges)
{
    // Unconnected: Pause succeeds and nothing streams.
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(State(), State_Paused);
    EXPECT_EQ(filter->Stop(), S_OK);

    PrepareFolder("tiny", 64, 48);
    // Run from Stopped pauses first and so starts the worker.
    EXPECT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(State(), State_Running);
    ASSERT_TRUE(sink.WaitForEndOfStream());
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(State(), State_Paused);
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(filter->GetState(0, nullptr), E_POINTER);
    // Each start plays the list again from the first picture.
    EXPECT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(6));
    EXPECT_EQ(sink.Frames().size(), 6u);
    EXPECT_EQ(sink.Frames()[3].start, 0);
}

TEST_F(PicsourceTest, WorkerPriorityIsClampedAndAppliedToTheStreamingThread)
{
    PrepareFolder("tiny", 64, 48);
    EXPECT_EQ(config->SetWorkerPriority(-9), S_OK); // no thread yet: stored only
    sink.HoldSamples(1);
    ASSERT_EQ(filter->Pause(), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(1));
    EXPECT_EQ(sink.Frames()[0].threadPriority, THREAD_PRIORITY_IDLE);
    ASSERT_EQ(filter->Stop(), S_OK);
    sink.ReleaseHeldSamples();

    EXPECT_EQ(config->SetWorkerPriority(-2), S_OK);
    sink.HoldSamples(1);
    ASSERT_EQ(filter->Pause(), S_OK);
    ASSERT_TRUE(sink.WaitForFrames(2));
    EXPECT_EQ(sink.Frames()[1].threadPriority, THREAD_PRIORITY_LOWEST);
    // Applied at once to the running thread (a lower priority is never refused).
    EXPECT_EQ(config->SetWorkerPriority(-100), S_FALSE);
    sink.ReleaseHeldSamples();
    ASSERT_TRUE(sink.WaitForFrames(3));
    EXPECT_EQ(sink.Frames()[2].threadPriority, THREAD_PRIORITY_IDLE);
}

TEST_F(PicsourceTest, ASampleTooSmallForTheFrameAbortsTheStreamWithAnEvent)
{
    sink.UseOwnAllocator();
    PrepareFolder("tiny", 64, 48);
    // The sink shrinks its buffers behind the agreement.
    ALLOCATOR_PROPERTIES smaller{1, 100, 1, 0}, actual{};
    ASSERT_EQ(sink.OwnAllocator()->SetProperties(&smaller, &actual), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(sink.WaitForEndOfStream());
    EXPECT_TRUE(sink.Frames().empty());
    ASSERT_EQ(filter->Stop(), S_OK);
    ASSERT_EQ(graph.events.size(), 1u);
    EXPECT_EQ(graph.events[0].code, EC_ERRORABORT);
    EXPECT_EQ(graph.events[0].param1, VFW_E_BUFFER_OVERFLOW);
    // Nothing was taken from the list.
    LONG current = -1;
    config->GetCurrentPicture(&current);
    EXPECT_EQ(current, 0);
}

namespace {

exiftest::Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return exiftest::Bytes(std::istreambuf_iterator<char>(in), {});
}

// A baseline 3-component picture cut down to its first two components, frame and scan.
exiftest::Bytes TwoComponents(exiftest::Bytes jpeg)
{
    for (const BYTE marker : {BYTE{0xC0}, BYTE{0xDA}}) {
        const BYTE code[] = {0xFF, marker};
        const auto at = std::search(jpeg.begin(), jpeg.end(), std::begin(code), std::end(code));
        EXPECT_NE(at, jpeg.end());
        if (at == jpeg.end()) return jpeg;
        const bool frame = marker == 0xC0;
        const std::size_t count = frame ? 9 : 4; // offset of the component count
        const std::size_t entry = frame ? 3 : 2; // bytes per component
        const auto base = static_cast<std::size_t>(at - jpeg.begin());
        EXPECT_EQ(jpeg[base + count], 3);
        jpeg[base + count] = 2;
        jpeg[base + 3] = static_cast<BYTE>(jpeg[base + 3] - entry);
        const auto third = jpeg.begin() + static_cast<std::ptrdiff_t>(base + count + 1 + 2 * entry);
        jpeg.erase(third, third + static_cast<std::ptrdiff_t>(entry));
    }
    return jpeg;
}

} // namespace

// A real folder: camera photos (Exif, no JFIF) after every kind of odd picture. Each
// photo must come out as it does alone, and each odd one as it does alone or skipped
// with its own reason.
TEST_F(ChangedFolderTest, EveryPictureOfAMixedFolderComesOutAsItDoesAlone)
{
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) std::filesystem::remove(folder / name);
    const std::vector<std::string> photos = {"tiny/1.jpg", "tiny/2.jpg", "tiny/3.jpg", "broken/1.jpg", "broken/3.jpg",
                                             "cmyk/1.jpg", "cmyk/3.jpg", "tiny/1.jpg", "tiny/2.jpg",   "broken/3.jpg"};
    const exiftest::Bytes cmyk = ReadBytes(PictureFolderUtf8("cmyk") + "/2.jpg");
    const std::vector<std::pair<std::string, exiftest::Bytes>> odd = {
        {"grey", ReadBytes(PictureFolderUtf8("grey") + "/g.jpg")},
        {"rgb", ReadBytes(PictureFolderUtf8("rgb") + "/r.jpg")},
        {"cmyk", cmyk},
        {"cmyk-no-adobe", exiftest::WithoutSegments(cmyk, 0xEE)},
        {"two-components", TwoComponents(ReadBytes(PictureFolderUtf8("fit") + "/landscape-1.jpg"))},
        {"three-bytes", {0xFF, 0xD8, 0xFF}},
        {"text", {'n', 'o', ' ', 'J', 'P', 'E', 'G'}},
        {"soi-eoi", {0xFF, 0xD8, 0xFF, 0xD9}},
        {"grey-again", ReadBytes(PictureFolderUtf8("grey") + "/g.jpg")},
    };
    // Names sort as listed: photo k, then odd picture k.
    std::vector<std::string> names;
    for (std::size_t k = 0; k < photos.size(); ++k) {
        const std::string photo = std::to_string(10 + 2 * k) + "-photo.jpg";
        const auto parts = photos[k].find('/');
        exiftest::Bytes bytes = exiftest::CameraPhoto(
            ReadBytes(PictureFolderUtf8(photos[k].substr(0, parts).c_str()) + photos[k].substr(parts)));
        Write(photo.c_str(), std::string(bytes.begin(), bytes.end()));
        names.push_back(photo);
        if (k == odd.size()) break;
        const std::string other = std::to_string(11 + 2 * k) + "-" + odd[k].first + ".jpg";
        Write(other.c_str(), std::string(odd[k].second.begin(), odd[k].second.end()));
        names.push_back(other);
    }
    LONG width = 64, height = 48;
    ASSERT_EQ(config->SetFolder(WideFromUtf8(folder.string() + "/").c_str()), S_OK);
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);

    // What each picture gives alone: a frame, or the reason it is skipped.
    std::vector<std::vector<BYTE>> alone;
    std::vector<std::pair<LONG_PTR, LONG_PTR>> expectedSkips;
    for (std::size_t k = 0; k < names.size(); ++k) {
        FrameBuilder builder;
        std::vector<BYTE> frame(FrameBuilder::FrameStride(width) * static_cast<std::size_t>(height), 0);
        const HRESULT hr = builder.ReadPicture((folder / names[k]).string(), frame.data(), width, height);
        if (hr == S_OK) {
            alone.push_back(frame);
        } else {
            expectedSkips.emplace_back(static_cast<LONG_PTR>(k), hr);
        }
    }
    ASSERT_EQ(alone.size(), photos.size() + 3) << "every photo, both greys and the RGB-coded picture";
    EXPECT_EQ(expectedSkips, (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{5, JpegUnsupportedBytesPerPixel},
                                                                         {7, JpegUnsupportedBytesPerPixel},
                                                                         {9, JpegUnsupportedBytesPerPixel},
                                                                         {11, JpegNoImage},
                                                                         {13, JpegNotJpeg},
                                                                         {15, JpegNoImage}}));

    const auto skips = RunToEnd();
    EXPECT_EQ(skips, expectedSkips);
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), alone.size());
    for (std::size_t k = 0; k < frames.size(); ++k) EXPECT_TRUE(frames[k].bytes == alone[k]) << "frame " << k;
}

// Every entry the folder lists is a frame or a skip with its own reason: a name in
// Latin-1 is a user's photo, and what cannot be read is never dropped unsaid.
TEST_F(ChangedFolderTest, EveryListedEntryIsAFrameOrASkippedPictureWithItsReason)
{
    std::filesystem::copy_file(folder / "2.jpg", folder / "4-caf\xE9.jpg");
    ASSERT_EQ(mkfifo((folder / "5-fifo.jpg").c_str(), 0644), 0);
    std::filesystem::create_symlink(folder / "6-loop.jpg", folder / "6-loop.jpg");
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (folder / "7-socket.jpg").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink(folder / "gone.jpg", folder / "8-broken-link.jpg");
    ASSERT_EQ(config->SetFolder(WideFromUtf8(folder.string() + "/").c_str()), S_OK);
    LONG count = 0;
    ASSERT_EQ(config->GetPictureCount(&count), S_OK);
    EXPECT_EQ(count, 8);

    const auto skips = RunToEnd();
    close(listener);
    EXPECT_EQ(skips, (std::vector<std::pair<LONG_PTR, LONG_PTR>>{
                         {4, HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE)},
                         {5, HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME)},
                         {6, HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE)},
                         {7, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
                     }));
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_TRUE(frames[3].bytes == Expected("tiny", "2.jpg", 64, 48)) << "the Latin-1 name is read";
}

// The decoder's "Memory error" for input that ends while it seeks a marker is, for a
// file without its EOI, a file cut short; the user is told so.
TEST_F(ChangedFolderTest, APictureCutShortIsSkippedAsEndingEarly)
{
    const exiftest::Bytes whole = ReadBytes(PictureFolderUtf8("fit") + "/plasma.jpg");
    Write("2.jpg", std::string(whole.begin(), whole.begin() + 2000));
    EXPECT_EQ(RunToEnd(), (std::vector<std::pair<LONG_PTR, LONG_PTR>>{{1, JpegErrorEof}}));
    EXPECT_EQ(sink.Frames().size(), 2u);
}
