#include "GraphFixture.h"

#include "platform/thread/Threads.h"
#include "platform/window/WindowDispatcher.h"

#include <algorithm>
#include <thread>

namespace {

// Where in the log an entry first appears.
std::ptrdiff_t Position(const std::vector<std::string>& entries, const std::string& entry)
{
    const auto found = std::find(entries.begin(), entries.end(), entry);
    EXPECT_NE(found, entries.end()) << entry;
    return found - entries.begin();
}

class RecordingWindow final : public WindowClient {
public:
    void OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        wParams.push_back(wParam);
        lParams.push_back(lParam);
    }
    void OnVideoFrame(const StoredFrame& frame) override { frames.push_back(frame); }
    RECT WindowRect() override { return {0, 0, 320, 240}; }

    std::vector<UINT> messages;
    std::vector<WPARAM> wParams;
    std::vector<LPARAM> lParams;
    std::vector<StoredFrame> frames;
};

constexpr UINT WM_GRAPHNOTIFY = 0x8000 + 100;

} // namespace

TEST_F(GraphTest, StateChangesReachDownstreamFiltersFirst)
{
    auto source = AddSource("Source", 0);
    auto tee = AddPlatformFilter(CLSID_InfTee, "Tee");
    auto writer = AddSink("Writer");
    auto renderer = AddSink("Renderer");
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), writer.Get()), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, renderer.Get()), S_OK);

    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(control->Stop(), S_OK);
    const auto entries = log.Entries();
    for (const char* change : {":Pause", ":Run", ":Stop"}) {
        EXPECT_LT(Position(entries, std::string("Writer") + change), Position(entries, std::string("Source") + change));
        EXPECT_LT(Position(entries, std::string("Renderer") + change),
                  Position(entries, std::string("Source") + change));
    }
    EXPECT_LT(Position(entries, "Source:Pause"), Position(entries, "Writer:Run"));
}

TEST_F(GraphTest, GetStateFollowsTheControlCalls)
{
    auto source = AddSource("Source", 0);
    auto sink = AddSink("Sink");
    ASSERT_EQ(graph->Connect(&source->Output(), &sink->Input()), S_OK);
    OAFilterState state = -1;
    ASSERT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    ASSERT_EQ(control->Pause(), S_OK);
    ASSERT_EQ(control->GetState(INFINITE, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(control->GetState(INFINITE, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(sink->State(), State_Running);
    EXPECT_EQ(control->GetState(0, nullptr), E_POINTER);
}

TEST_F(GraphTest, CompletionIsReportedOnceAfterBothBranchesEnded)
{
    WindowDispatcher windows;
    RecordingWindow window;
    const HWND handle = reinterpret_cast<HWND>(0x1234);
    windows.RegisterWindow(handle, &window);
    InstallWindowService(&windows);
    ASSERT_EQ(events->SetNotifyWindow(reinterpret_cast<OAHWND>(handle), WM_GRAPHNOTIFY, 77), S_OK);

    auto source = AddSource("Source", 5);
    auto tee = AddPlatformFilter(CLSID_InfTee, "Tee");
    auto writer = AddSink("Writer");
    auto renderer = AddSink("Renderer");
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), writer.Get()), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, renderer.Get()), S_OK);

    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_TRUE(WaitForComplete(5000));
        EXPECT_EQ(writer->endsOfStream, run + 1);
        EXPECT_EQ(renderer->endsOfStream, run + 1);
        EXPECT_TRUE(EventsWithin(100).empty());
        ASSERT_EQ(control->Stop(), S_OK);
    }
    // Both branches saw the very same samples.
    EXPECT_EQ(writer->received, 10);
    EXPECT_EQ(renderer->received, 10);
    EXPECT_EQ(writer->lastSample.load(), renderer->lastSample.load());

    windows.DispatchPending();
    InstallWindowService(nullptr);
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0], WM_GRAPHNOTIFY);
    EXPECT_EQ(window.wParams[0], 0u);
    EXPECT_EQ(window.lParams[0], 77);
}

TEST_F(GraphTest, ErrorAbortPassesOnWithItsCode)
{
    auto source = AddSource("Source", 1);
    auto sink = AddSink("Sink");
    sink->failAtEnd = E_OUTOFMEMORY;
    ASSERT_EQ(graph->Connect(&source->Output(), &sink->Input()), S_OK);
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(events->WaitForCompletion(5000, &code), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    // The queue's handle is set while events wait.
    OAEVENT handle = 0;
    ASSERT_EQ(events->GetEventHandle(&handle), S_OK);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0), WAIT_OBJECT_0);
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    ASSERT_EQ(events->GetEvent(&code, &param1, &param2, 5000), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    EXPECT_EQ(param1, E_OUTOFMEMORY);
    EXPECT_EQ(events->GetEvent(&code, &param1, &param2, 0), E_ABORT);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0), WAIT_TIMEOUT);
}

TEST_F(GraphTest, CompletionReportedOutsideARunIsDropped)
{
    auto sink = AddSink("Sink");
    ComPtr<IMediaEventSink> eventSink;
    ASSERT_EQ(graph.As(IID_IMediaEventSink, eventSink), S_OK);
    ASSERT_EQ(eventSink->Notify(EC_COMPLETE, S_OK, 0), S_OK);
    EXPECT_TRUE(EventsWithin(0).empty());
    // Other events pass whenever they come.
    ASSERT_EQ(eventSink->Notify(EC_USER, 1, 2), S_OK);
    EXPECT_EQ(EventsWithin(0), std::vector<LONG>{EC_USER});
}

TEST_F(GraphTest, TheFirstRunPicksTheSystemClockUnlessNoneWasSet)
{
    auto source = AddSource("Source", 0);
    auto sink = AddSink("Sink");
    ASSERT_EQ(graph->Connect(&source->Output(), &sink->Input()), S_OK);
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(mediaFilter->GetSyncSource(clock.Receive()), S_OK);
    EXPECT_FALSE(clock);

    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(mediaFilter->GetSyncSource(clock.Receive()), S_OK);
    ASSERT_TRUE(clock);
    ComPtr<IReferenceClock> sinkClock;
    ASSERT_EQ(sink->GetSyncSource(sinkClock.Receive()), S_OK);
    EXPECT_EQ(sinkClock.Get(), clock.Get());
    EXPECT_EQ(mediaFilter->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);

    ASSERT_EQ(control->Stop(), S_OK);
    ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(mediaFilter->GetSyncSource(clock.Receive()), S_OK);
    EXPECT_FALSE(clock);
    ASSERT_EQ(sink->GetSyncSource(sinkClock.Receive()), S_OK);
    EXPECT_FALSE(sinkClock);
}

TEST_F(GraphTest, EmptyingAndRebuildingAHundredTimesKeepsTheGraphWhole)
{
    ComPtr<IBaseFilter> tee = MakeFilter(CLSID_InfTee);
    ComPtr<IBaseFilter> renderer = MakeFilter(CLSID_VideoRenderer);
    for (int round = 0; round < 100; ++round) {
        ClearGraph();
        auto source = AddSource("Source", 2);
        auto writer = AddSink("Writer");
        ASSERT_EQ(graph->AddFilter(tee.Get(), u"XInfTee"), S_OK);
        ASSERT_EQ(graph->AddFilter(renderer.Get(), u"Reder Filter"), S_OK);
        ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), writer.Get()), S_OK);
        ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, renderer.Get()), S_OK);
        ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_TRUE(WaitForComplete(5000)) << "round " << round;
    }
    ClearGraph();
    EXPECT_EQ(FilterCount(), 0u);
    // The tee kept reusing its outputs: two connections at most, one free.
    ComPtr<IPin> pin;
    EXPECT_EQ(tee->FindPin(u"Output3", pin.Receive()), S_OK);
    EXPECT_EQ(tee->FindPin(u"Output4", pin.Receive()), VFW_E_NOT_FOUND);
}

TEST_F(GraphTest, StopInTheMiddleOfStreamingNeverDeadlocks)
{
    auto source = AddSource("Source", 1000, 2 * kUnitsPerMillisecond);
    auto tee = AddPlatformFilter(CLSID_InfTee, "Tee");
    auto writer = AddSink("Writer");
    auto renderer = AddPlatformFilter(CLSID_VideoRenderer, "Renderer");
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), writer.Get()), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, renderer.Get()), S_OK);
    for (int cycle = 0; cycle < 200; ++cycle) {
        // Alternate between paused (the renderer holds a sample) and running (it waits for the clock).
        ASSERT_EQ(cycle % 2 ? control->Run() : control->Pause(), cycle % 2 ? S_OK : S_FALSE) << cycle;
        std::this_thread::sleep_for(std::chrono::microseconds(cycle * 37 % 3000));
        ASSERT_EQ(control->Stop(), S_OK) << cycle;
    }
    EXPECT_GT(writer->received, 0);
}
