// Real graphs with the picture source of libXTPPic.so, made the way the engine
// makes it: registered with regsvr into a temporary registry and created
// through COM by its class identifier.
#include "GraphFixture.h"

#include "picsource/IPictureSourceConfig.h"
#include "platform/base/WideText.h"
#include "platform/window/WindowDispatcher.h"
#include "tests/common/TestClock.h"
#include "tests/platform/TempRegistry.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace {

constexpr UINT WM_GRAPHNOTIFY = 0x8000 + 100;
const HWND kMainWindow = reinterpret_cast<HWND>(0x4711);

class MessageCounter final : public WindowClient {
public:
    void OnMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_GRAPHNOTIFY) ++notifications;
    }
    void OnVideoFrame(const StoredFrame&) override {}
    RECT WindowRect() override { return {0, 0, 64, 48}; }
    int notifications = 0;
};

class PictureSourceGraphTest : public GraphTest {
protected:
    static void SetUpTestSuite()
    {
        registry = std::make_unique<TempRegistry>();
        const std::string command = std::string(REGSVR_PATH) + " " + XTPPIC_PATH + " >/dev/null 2>&1";
        registered = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() { registry.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(registered);
        GraphTest::SetUp();
        source = MakeFilter(CLSID_PictureSource);
        ASSERT_EQ(source.As(IID_IPictureSourceConfig, config), S_OK);
        ASSERT_EQ(config->SetFolder(WideFromUtf8(PICTURES_DIR).c_str()), S_OK);
        LONG width = 64;
        LONG height = 48;
        ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
        LONG repTime = 200;
        ASSERT_EQ(config->SetRepTime(&repTime), S_OK);
    }
    void TearDown() override
    {
        if (control) control->Stop();
        config.Reset();
        source.Reset();
        GraphTest::TearDown();
    }
    // The encode graph with a preview: source, tee, writer and renderer.
    void BuildEncodeGraph(IBaseFilter* writer, IBaseFilter* renderer)
    {
        ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
        ASSERT_EQ(graph->AddFilter(tee.Get(), u"XInfTee"), S_OK);
        ASSERT_EQ(graph->AddFilter(renderer, u"Reder Filter"), S_OK);
        ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), writer), S_OK);
        ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, renderer), S_OK);
    }
    void MakeTee() { tee = MakeFilter(CLSID_InfTee); }
    static inline std::unique_ptr<TempRegistry> registry;
    static inline bool registered = false;
    ComPtr<IBaseFilter> source;
    ComPtr<IPictureSourceConfig> config;
    ComPtr<IBaseFilter> tee;
};

// The grey pictures of the sequence folder: picture i is grey 8 + 8 i.
constexpr int kSequenceLength = 24;
constexpr LONG kSequencePictureMs = 40;

int SequenceIndexOf(const VideoFrame& frame)
{
    const BYTE grey = frame.pixels[static_cast<std::size_t>(frame.height / 2) * frame.stride + frame.width / 2 * 3];
    return (grey - 4) / 8;
}

// Records which picture the renderer presents, and when by the graph's clock.
class PresentationLog final : public WindowService {
public:
    explicit PresentationLog(IReferenceClock* graphClock) : clock(graphClock) {}

    BOOL PostMessage(HWND, UINT, WPARAM, LPARAM) override { return FALSE; }
    BOOL GetWindowRect(HWND, RECT*) override { return FALSE; }
    void PresentFrame(HWND, const VideoFrame& frame) override
    {
        REFERENCE_TIME now = 0;
        clock->GetTime(&now);
        {
            std::lock_guard guard(lock);
            shown.push_back({SequenceIndexOf(frame), now});
        }
        changed.notify_all();
    }

    std::size_t Count()
    {
        std::lock_guard guard(lock);
        return shown.size();
    }
    // -1 before the first presentation.
    int LastPicture()
    {
        std::lock_guard guard(lock);
        return shown.empty() ? -1 : shown.back().picture;
    }
    // The clock time of the last presentation.
    REFERENCE_TIME LastTime()
    {
        std::lock_guard guard(lock);
        return shown.empty() ? 0 : shown.back().time;
    }
    // The clock time at which `picture` is first presented at `since` or later.
    std::optional<REFERENCE_TIME> WaitFor(int picture, REFERENCE_TIME since)
    {
        std::unique_lock guard(lock);
        const auto matches = [&](const Presentation& p) { return p.picture == picture && p.time >= since; };
        if (!changed.wait_for(guard, std::chrono::seconds(5),
                              [&] { return std::any_of(shown.begin(), shown.end(), matches); })) {
            return std::nullopt;
        }
        return std::find_if(shown.begin(), shown.end(), matches)->time;
    }

private:
    struct Presentation {
        int picture;
        REFERENCE_TIME time;
    };
    IReferenceClock* clock;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Presentation> shown;
};

// Stops the graph when the call it watches outlasts its limit: a GetState
// waiting for a pause that never completes then returns, and the test fails
// instead of blocking.
class Watchdog {
public:
    explicit Watchdog(IMediaControl* control)
        : thread([this, control] {
              std::unique_lock guard(lock);
              if (changed.wait_for(guard, std::chrono::seconds(5), [this] { return finished; })) return;
              fired = true;
              guard.unlock();
              control->Stop();
          })
    {
    }
    ~Watchdog() { Finish(); }
    // Whether the watched call outlasted the limit.
    bool Finish()
    {
        {
            std::lock_guard guard(lock);
            finished = true;
        }
        changed.notify_all();
        if (thread.joinable()) thread.join();
        return fired;
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    bool finished = false;
    bool fired = false;
    std::thread thread;
};

class PauseResumeTest : public PictureSourceGraphTest {
protected:
    void SetUp() override
    {
        PictureSourceGraphTest::SetUp();
        ASSERT_EQ(config->SetFolder(WideFromUtf8(PICTURES_DIR "/sequence").c_str()), S_OK);
        LONG repTime = kSequencePictureMs;
        ASSERT_EQ(config->SetRepTime(&repTime), S_OK);
        renderer = AddPlatformFilter(CLSID_VideoRenderer, "Reader Filter");
        ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
        ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
        ComPtr<IVideoWindow> window;
        ASSERT_EQ(graph.As(IID_IVideoWindow, window), S_OK);
        ASSERT_EQ(window->put_Owner(reinterpret_cast<OAHWND>(kMainWindow)), S_OK);
        ASSERT_EQ(window->put_Visible(OATRUE), S_OK);
        clock = TestClock::Make(kUnitsPerSecond);
        ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);
    }
    void TearDown() override
    {
        if (control) control->Stop();
        InstallWindowService(nullptr);
        clock.Reset();
        renderer.Reset();
        PictureSourceGraphTest::TearDown();
    }
    // GetState without a time limit, as the engine asks, under a watchdog.
    HRESULT GetStateWatched(OAFilterState* state, bool* hung)
    {
        Watchdog watchdog(control.Get());
        const HRESULT hr = control->GetState(static_cast<LONG>(INFINITE), state);
        *hung = watchdog.Finish();
        return hr;
    }
    // Runs the graph and moves the clock to the first picture's time, once it is asked for.
    bool RunFromTheFirstPicture(PresentationLog& presented)
    {
        if (control->Run() != S_OK) return false;
        const std::optional<REFERENCE_TIME> first = clock->WaitForPendingAdvise();
        if (!first) return false;
        clock->SetTime(*first);
        return presented.WaitFor(0, *first).has_value();
    }
    // Moves the clock from advise to advise up to `time`, each waiter released before the
    // next is looked for, so that everything due by then has been presented.
    bool PresentUntil(REFERENCE_TIME time)
    {
        for (;;) {
            const std::optional<REFERENCE_TIME> due = clock->WaitForPendingAdvise();
            if (!due) return false;
            if (*due > time) break;
            clock->SetTime(*due);
        }
        clock->SetTime(time);
        return true;
    }

    // Installed by a test; it outlives the graph's streaming, which TearDown stops first.
    std::optional<PresentationLog> presentations;
    ComPtr<IBaseFilter> renderer;
    ComPtr<TestClock> clock;
};

} // namespace

TEST_F(PauseResumeTest, TwoHundredPausesNeitherHangNorShortenThePictureOnScreen)
{
    PresentationLog& presented = presentations.emplace(clock.Get());
    InstallWindowService(&presented);
    constexpr REFERENCE_TIME kPicture = kSequencePictureMs * kUnitsPerMillisecond;
    std::minstd_rand random(7);
    ASSERT_TRUE(RunFromTheFirstPicture(presented));
    for (int cycle = 0; cycle < 200; ++cycle) {
        const REFERENCE_TIME pausedAt = clock->Now() + static_cast<REFERENCE_TIME>(random() % kPicture);
        ASSERT_TRUE(PresentUntil(pausedAt)) << "the renderer stopped asking for time, cycle " << cycle;
        const std::size_t count = presented.Count();
        ASSERT_TRUE(SUCCEEDED(control->Pause())) << cycle;
        OAFilterState state = -1;
        bool hung = false;
        const HRESULT hr = GetStateWatched(&state, &hung);
        ASSERT_FALSE(hung) << "GetState(INFINITE) did not return in cycle " << cycle;
        ASSERT_EQ(hr, S_OK) << cycle;
        ASSERT_EQ(state, State_Paused) << cycle;
        const int shown = presented.LastPicture();
        ASSERT_GE(shown, 0) << "a completed pause shows a picture, cycle " << cycle;
        EXPECT_EQ(presented.Count(), count) << "the pause shows the picture on screen, not the next, cycle " << cycle;
        const REFERENCE_TIME runBefore = pausedAt - presented.LastTime();
        // Longer than a picture: a clock that ran on would owe the next one at once.
        clock->SetTime(pausedAt + kPicture + kPicture / 4);
        EXPECT_EQ(presented.Count(), count) << "nothing is presented while paused, cycle " << cycle;

        const REFERENCE_TIME resumed = clock->Now();
        ASSERT_EQ(control->Run(), S_OK) << cycle;
        const std::optional<REFERENCE_TIME> due = clock->WaitForPendingAdvise();
        ASSERT_TRUE(due) << "nothing waits for the clock after cycle " << cycle;
        clock->SetTime(*due);
        if (shown == kSequenceLength - 1) {
            ASSERT_TRUE(WaitForComplete(5000)) << cycle;
            ASSERT_EQ(control->Stop(), S_OK);
            ASSERT_TRUE(RunFromTheFirstPicture(presented)) << cycle;
            continue;
        }
        ASSERT_TRUE(presented.WaitFor(shown + 1, *due)) << "picture " << shown + 1 << " never came, cycle " << cycle;
        EXPECT_GE(runBefore + (*due - resumed), kPicture)
            << "picture " << shown << " ran " << runBefore / kUnitsPerMillisecond << " ms before the pause and "
            << (*due - resumed) / kUnitsPerMillisecond << " ms after it, cycle " << cycle;
    }
}

TEST_F(PictureSourceGraphTest, TheEncodeTopologyCompletesOnceAfterBothBranches)
{
    WindowDispatcher windows;
    MessageCounter mainWindow;
    windows.RegisterWindow(kMainWindow, &mainWindow);
    InstallWindowService(&windows);
    ASSERT_EQ(events->SetNotifyWindow(reinterpret_cast<OAHWND>(kMainWindow), WM_GRAPHNOTIFY, 0), S_OK);

    MakeTee();
    auto writer = AddSink("ASF Writer Filter", {MEDIATYPE_Audio, MEDIATYPE_Video});
    auto preview = ComPtr<TestSink>::Attach(new TestSink("Preview", &log));
    BuildEncodeGraph(writer.Get(), preview.Get());
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);

    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitForComplete(10000));
    EXPECT_EQ(writer->received, 5);
    EXPECT_EQ(preview->received, 5);
    EXPECT_EQ(writer->endsOfStream, 1);
    EXPECT_EQ(preview->endsOfStream, 1);
    EXPECT_TRUE(EventsWithin(200).empty());
    LONG current = 0;
    ASSERT_EQ(config->GetCurrentPicture(&current), S_OK);
    EXPECT_EQ(current, 5);
    ASSERT_EQ(control->Stop(), S_OK);

    windows.DispatchPending();
    InstallWindowService(nullptr);
    EXPECT_EQ(mainWindow.notifications, 1);
}

TEST_F(PictureSourceGraphTest, TheDirectTopologyLeavesTheClockAloneAndCompletes)
{
    auto writer = AddSink("ASF Writer Filter", {MEDIATYPE_Audio, MEDIATYPE_Video});
    ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, writer.Get()), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitForComplete(10000));
    EXPECT_EQ(writer->received, 5);
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(mediaFilter->GetSyncSource(clock.Receive()), S_OK);
    EXPECT_TRUE(clock);
}

TEST_F(PictureSourceGraphTest, FivePicturesAtTwoHundredMillisecondsWaitForTheirTimesOnTheClock)
{
    ComPtr<IBaseFilter> renderer = AddPlatformFilter(CLSID_VideoRenderer, "Reader Filter");
    ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    ExpectPacedByTheClockOnly(5, 200 * kUnitsPerMillisecond);
}

TEST_F(PictureSourceGraphTest, RebuildingAHundredTimesReplacesEveryFilter)
{
    MakeTee();
    ComPtr<IBaseFilter> renderer = MakeFilter(CLSID_VideoRenderer);
    for (int round = 0; round < 100; ++round) {
        ClearGraph();
        auto writer = AddSink("ASF Writer Filter", {MEDIATYPE_Audio, MEDIATYPE_Video});
        BuildEncodeGraph(writer.Get(), renderer.Get());
        ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_TRUE(WaitForComplete(10000)) << "round " << round;
        ASSERT_EQ(writer->received, 5) << "round " << round;
    }
    ClearGraph();
    EXPECT_EQ(FilterCount(), 0u);
}

TEST_F(PictureSourceGraphTest, StoppingWhileStreamingNeverDeadlocks)
{
    MakeTee();
    auto writer = AddSink("ASF Writer Filter", {MEDIATYPE_Audio, MEDIATYPE_Video});
    ComPtr<IBaseFilter> renderer = MakeFilter(CLSID_VideoRenderer);
    BuildEncodeGraph(writer.Get(), renderer.Get());
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(control->Run(), S_OK) << cycle;
        std::this_thread::sleep_for(std::chrono::microseconds(cycle * 53 % 4000));
        ASSERT_EQ(control->Stop(), S_OK) << cycle;
    }
    EXPECT_GT(writer->received, 0);
}

TEST_F(PictureSourceGraphTest, ANewVideoSizeReconnectsThroughTheGraph)
{
    auto sink = AddSink("Sink");
    ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, sink.Get()), S_OK);
    LONG width = 32;
    LONG height = 24;
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(sink->Input().ConnectionMediaType(&type), S_OK);
    ASSERT_GE(type.cbFormat, sizeof(VIDEOINFOHEADER));
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    EXPECT_EQ(info.bmiHeader.biWidth, 32);
    EXPECT_EQ(info.bmiHeader.biHeight, 24);
    FreeMediaTypeFormat(type);
}
