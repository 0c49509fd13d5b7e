#include "engine/MovieRun.h"
#include "picsource/IPictureSourceConfig.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaResults.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A filter graph's own event queue, with its events raised by the test.
class MovieRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_GE(
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaEvent, events.ReceiveVoid()),
            0);
        events->CancelDefaultHandling(EC_COMPLETE);
        ASSERT_GE(events.As(IID_IMediaEventSink, sink), 0);
    }
    void TearDown() override
    {
        sink.Reset();
        events.Reset();
        CoUninitialize();
    }
    void Raise(LONG code, LONG_PTR first = 0, LONG_PTR second = 0) { sink->Notify(code, first, second); }

    ComPtr<IMediaEvent> events;
    ComPtr<IMediaEventSink> sink;
    MovieRun run{[] { return 0.0; }};
};

// What the front end was told, in order.
struct Told : MovieRun::Listener {
    void OnPictureSkipped(const MovieRun::Skip& skip) override
    {
        lines.push_back("skip " + std::to_string(skip.picture) + " " + std::to_string(skip.reason));
    }
    void OnRunEnded(MovieRun::End end, HRESULT code) override
    {
        lines.push_back("end " + std::to_string(static_cast<int>(end)) + " " +
                        std::to_string(static_cast<unsigned>(code)));
    }
    std::vector<std::string> lines;
};

TEST_F(MovieRunTest, SkipsAndTheAbortAreToldInOrderAndNothingAfterTheEnd)
{
    run.Start(5);
    Told told;
    Raise(EC_PICTURE_SKIPPED, 1, -4);
    Raise(EC_PICTURE_SKIPPED, 3, E_FAIL);
    Raise(EC_ERRORABORT, E_OUTOFMEMORY);
    Raise(EC_PICTURE_SKIPPED, 4, -4);
    Raise(EC_COMPLETE);
    run.ReadEvents(*events, &told);
    EXPECT_EQ(told.lines, (std::vector<std::string>{"skip 1 -4", "skip 3 " + std::to_string(E_FAIL),
                                                    "end 2 " + std::to_string(static_cast<unsigned>(E_OUTOFMEMORY))}));
    ASSERT_EQ(run.Skipped().size(), 2u);
    EXPECT_EQ(run.Ended(), MovieRun::End::Aborted);
    EXPECT_EQ(run.AbortCode(), E_OUTOFMEMORY);
    EXPECT_FALSE(run.Running());
    LONG code = 0;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    EXPECT_EQ(events->GetEvent(&code, &first, &second, 0), E_ABORT) << "every waiting event was taken";
}

TEST_F(MovieRunTest, AStoppedRunIsNotCompletedLaterAndANewRunForgetsTheLast)
{
    run.Start(3);
    Raise(EC_PICTURE_SKIPPED, 0, -4);
    run.ReadEvents(*events);
    run.Stop();
    Raise(EC_COMPLETE);
    run.ReadEvents(*events);
    EXPECT_EQ(run.Ended(), MovieRun::End::Stopped);
    EXPECT_EQ(run.Skipped().size(), 1u);

    run.Start(3);
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(run.Skipped().empty());
    Raise(EC_COMPLETE);
    run.ReadEvents(*events);
    EXPECT_EQ(run.Ended(), MovieRun::End::Complete);
    EXPECT_EQ(run.AbortCode(), S_OK);
}

TEST_F(MovieRunTest, NothingIsTakenAsTheRunsBeforeItStarts)
{
    Raise(EC_PICTURE_SKIPPED, 0, -4);
    Raise(EC_COMPLETE);
    run.ReadEvents(*events);
    EXPECT_EQ(run.Ended(), MovieRun::End::None);
    EXPECT_TRUE(run.Skipped().empty());
}

} // namespace
