#include "GraphFixture.h"

#include "platform/window/WindowDispatcher.h"
#include "tests/common/TestClock.h"

#include <algorithm>

namespace {

class FrameWindow final : public WindowClient {
public:
    void OnMessage(UINT, WPARAM, LPARAM) override {}
    void OnVideoFrame(const StoredFrame& frame) override { frames.push_back(frame); }
    RECT WindowRect() override { return {0, 0, 160, 120}; }
    std::vector<StoredFrame> frames;
};

const HWND kPreviewHandle = reinterpret_cast<HWND>(0x5150);

class RendererTest : public GraphTest {
protected:
    void SetUp() override
    {
        GraphTest::SetUp();
        renderer = AddPlatformFilter(CLSID_VideoRenderer, "Reder Filter");
        ASSERT_EQ(graph.As(IID_IVideoWindow, videoWindow), S_OK);
        ASSERT_EQ(graph.As(IID_IBasicVideo, basicVideo), S_OK);
    }
    void TearDown() override
    {
        InstallWindowService(nullptr);
        basicVideo.Reset();
        videoWindow.Reset();
        renderer.Reset();
        GraphTest::TearDown();
    }
    // The engine's window set-up, through the graph.
    void SetUpVideoWindow()
    {
        videoWindow->put_Owner(reinterpret_cast<OAHWND>(kPreviewHandle));
        ASSERT_EQ(videoWindow->put_WindowStyle(WS_CHILD), S_OK);
        ASSERT_EQ(videoWindow->put_WindowState(0x01000000), S_OK);
        LONG width = 0;
        LONG height = 0;
        ASSERT_EQ(basicVideo->GetVideoSize(&width, &height), S_OK);
        EXPECT_EQ(width, 8);
        EXPECT_EQ(height, 4);
        RECT rect{};
        ASSERT_TRUE(GetWindowRect(kPreviewHandle, &rect));
        ASSERT_EQ(videoWindow->SetWindowPosition(0, 0, rect.right - rect.left, rect.bottom - rect.top), S_OK);
        ASSERT_EQ(videoWindow->put_Visible(OATRUE), S_OK);
    }
    ComPtr<IBaseFilter> renderer;
    ComPtr<IVideoWindow> videoWindow;
    ComPtr<IBasicVideo> basicVideo;
};

} // namespace

TEST_F(RendererTest, FramesReachTheOwnerWindowAtTheWindowPosition)
{
    FrameWindow window;
    WindowDispatcher windows;
    windows.RegisterWindow(kPreviewHandle, &window);
    InstallWindowService(&windows);
    auto source = AddSource("Source", 3);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    SetUpVideoWindow();
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitForComplete(5000));
    windows.DispatchPending();

    ASSERT_FALSE(window.frames.empty());
    const StoredFrame& last = window.frames.back();
    EXPECT_EQ(last.width, 8);
    EXPECT_EQ(last.height, 4);
    EXPECT_EQ(last.bitCount, 24);
    EXPECT_EQ(last.stride, 24);
    EXPECT_EQ(last.pixels.size(), 96u);
    EXPECT_EQ(last.pixels[0], 2); // the third picture's fill value
    EXPECT_EQ(last.position.right, 160);
    EXPECT_EQ(last.position.bottom, 120);
}

TEST_F(RendererTest, HeadlessRunsDropFramesAndStillComplete)
{
    auto source = AddSource("Source", 3);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    RECT rect{};
    EXPECT_FALSE(GetWindowRect(kPreviewHandle, &rect));
    videoWindow->put_Owner(reinterpret_cast<OAHWND>(kPreviewHandle));
    ASSERT_EQ(videoWindow->put_Visible(OATRUE), S_OK);
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(WaitForComplete(5000));
    EXPECT_EQ(source->Delivered(), 3);
}

TEST_F(RendererTest, TheClockPacesSamplesAndWithoutItTheyRunFree)
{
    auto source = AddSource("Source", 5, 200 * kUnitsPerMillisecond);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    ExpectPacedByTheClockOnly(5, 200 * kUnitsPerMillisecond);
}

TEST_F(RendererTest, PauseHoldsTheFirstSampleUntilRun)
{
    auto source = AddSource("Source", 2);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(control->Pause(), S_FALSE);
    OAFilterState state;
    EXPECT_EQ(control->GetState(5000, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    EXPECT_TRUE(EventsWithin(200).empty());
    EXPECT_EQ(source->Delivered(), 0);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(WaitForComplete(5000));
    EXPECT_EQ(source->Delivered(), 2);
}

TEST_F(RendererTest, PauseKeepsThePictureOnScreenAndResumeGivesItTheRestOfItsTime)
{
    FrameWindow window;
    WindowDispatcher windows;
    windows.RegisterWindow(kPreviewHandle, &window);
    InstallWindowService(&windows);
    const auto clock = TestClock::Make(0);
    const auto at = [](int milliseconds) { return milliseconds * kUnitsPerMillisecond; };
    // The first picture may be drawn twice, cued by the pause that starts the run and
    // again at its time: what counts is which pictures have reached the window.
    const auto shown = [&](BYTE picture) {
        return std::any_of(window.frames.begin(), window.frames.end(),
                           [&](const auto& frame) { return frame.pixels[0] == picture; });
    };
    const auto waitUntilShown = [&](BYTE picture) {
        while (!shown(picture) && windows.WaitForWork(5000)) windows.DispatchPending();
        return shown(picture);
    };
    auto source = AddSource("Source", 3, at(500));
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, renderer.Get()), S_OK);
    SetUpVideoWindow();
    ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    clock->SetTime(at(100));
    ASSERT_TRUE(waitUntilShown(0));
    // The second picture waits for its time, 500 ms of stream time after the run's
    // 10 ms lead.
    clock->SetTime(at(300));
    EXPECT_EQ(clock->WaitForPendingAdvise(), at(510));

    EXPECT_EQ(control->Pause(), S_OK) << "the picture on screen completes the pause";
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(2000, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    windows.DispatchPending();
    EXPECT_FALSE(shown(1)) << "nothing new is shown while paused";
    EXPECT_EQ(window.frames.back().pixels[0], 0);

    // Paused at 290 ms of stream time for a long while; after Run the first picture
    // still has its last 210 ms (and the graph's 10 ms lead) to go.
    clock->SetTime(at(2000));
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(clock->WaitForPendingAdvise(), at(2220));
    clock->SetTime(at(2219));
    windows.DispatchPending();
    EXPECT_FALSE(shown(1)) << "the second picture is not due yet";
    clock->SetTime(at(2220));
    ASSERT_TRUE(waitUntilShown(1));
    EXPECT_EQ(window.frames.back().pixels[0], 1);
    clock->SetTime(at(5000));
    EXPECT_TRUE(WaitForComplete(5000));
    EXPECT_EQ(source->Delivered(), 3);
}

TEST_F(RendererTest, TheInputTakesOnlyUncompressedRgbItCanShow)
{
    ComPtr<IPin> input;
    ASSERT_EQ(renderer->FindPin(u"In", input.Receive()), S_OK);
    OwnedMediaType type = TestVideoType(8, 4);
    EXPECT_EQ(input->QueryAccept(&type.Record()), S_OK);
    EXPECT_EQ(input->QueryAccept(&TestVideoType(8, -4).Record()), S_OK);
    EXPECT_EQ(input->QueryAccept(&TestVideoType(0, 4).Record()), S_FALSE);
    EXPECT_EQ(input->QueryAccept(&TestVideoType(1 << 20, 4).Record()), S_FALSE);

    AM_MEDIA_TYPE wrong = type.Record();
    wrong.subtype = MEDIASUBTYPE_RGB32; // the header still says 24 bits
    EXPECT_EQ(input->QueryAccept(&wrong), S_FALSE);
    wrong = type.Record();
    wrong.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    EXPECT_EQ(input->QueryAccept(&wrong), S_FALSE);
    wrong = type.Record();
    wrong.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(input->QueryAccept(&wrong), S_FALSE);
}

TEST_F(RendererTest, WindowCallsAreForwardedOrRefusedAsPublished)
{
    LONG width = 0;
    LONG height = 0;
    EXPECT_EQ(basicVideo->GetVideoSize(&width, &height), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(videoWindow->put_Visible(2), E_INVALIDARG);
    EXPECT_EQ(videoWindow->SetWindowPosition(0, 0, -1, 10), E_INVALIDARG);
    EXPECT_EQ(videoWindow->put_WindowStyle(0x00200000), E_INVALIDARG);
    ASSERT_EQ(videoWindow->put_Owner(42), S_OK);
    OAHWND owner = 0;
    ASSERT_EQ(videoWindow->get_Owner(&owner), S_OK);
    EXPECT_EQ(owner, 42);
    LONG state = 0;
    ASSERT_EQ(videoWindow->put_WindowState(0x01000000), S_OK);
    ASSERT_EQ(videoWindow->get_WindowState(&state), S_OK);
    EXPECT_EQ(state, 0x01000000);

    ASSERT_EQ(graph->RemoveFilter(renderer.Get()), S_OK);
    EXPECT_EQ(videoWindow->put_Visible(OATRUE), E_NOINTERFACE);
    EXPECT_EQ(basicVideo->GetVideoSize(&width, &height), E_NOINTERFACE);
}

TEST_F(RendererTest, GetStateWaitsOnlyAsLongAsAskedForAPauseToComplete)
{
    // The first renderer holds the tee's only sample while paused, so the second never gets one.
    auto source = AddSource("Source", 2);
    auto tee = AddPlatformFilter(CLSID_InfTee, "Tee");
    auto second = AddPlatformFilter(CLSID_VideoRenderer, "Second");
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), renderer.Get()), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, second.Get()), S_OK);
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(control->Pause(), S_FALSE);
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(50, &state), VFW_S_STATE_INTERMEDIATE);
    EXPECT_EQ(state, State_Paused);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(WaitForComplete(5000));
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
}
