// Real graphs with the picture source of libXTPPic.so, made the way the engine
// makes it: registered with regsvr into a temporary registry and created
// through COM by its class identifier.
#include "GraphFixture.h"

#include "picsource/IPictureSourceConfig.h"
#include "platform/base/WideText.h"
#include "platform/window/WindowDispatcher.h"
#include "tests/platform/TempRegistry.h"

#include <cstdlib>
#include <memory>
#include <thread>

namespace {

constexpr UINT WM_GRAPHNOTIFY = 0x8000 + 100;
const HWND MainWindow = reinterpret_cast<HWND>(0x4711);

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
    void MakeTee()
    {
        tee = MakeFilter(CLSID_InfTee);
    }
    static inline std::unique_ptr<TempRegistry> registry;
    static inline bool registered = false;
    ComPtr<IBaseFilter> source;
    ComPtr<IPictureSourceConfig> config;
    ComPtr<IBaseFilter> tee;
};

} // namespace

TEST_F(PictureSourceGraphTest, TheEncodeTopologyCompletesOnceAfterBothBranches)
{
    WindowDispatcher windows;
    MessageCounter mainWindow;
    windows.RegisterWindow(MainWindow, &mainWindow);
    InstallWindowService(&windows);
    ASSERT_EQ(events->SetNotifyWindow(reinterpret_cast<OAHWND>(MainWindow), WM_GRAPHNOTIFY, 0), S_OK);

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

TEST_F(PictureSourceGraphTest, FivePicturesAtTwoHundredMillisecondsTakeASecondWithTheClock)
{
    ComPtr<IBaseFilter> renderer = AddPlatformFilter(CLSID_VideoRenderer, "Reader Filter");
    ASSERT_EQ(graph->AddFilter(source.Get(), u"JPEG Source Filter"), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    EXPECT_GE(MillisecondsToComplete(), 1000);
    ASSERT_EQ(control->Stop(), S_OK);
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    // Unpaced, it finishes before the paced run could have.
    EXPECT_LT(MillisecondsToComplete(), 1000);
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
