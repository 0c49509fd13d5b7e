// A filter graph made through the COM run time, as the engine makes it, with
// helpers to add the tests' filters and the platform's own.
#pragma once

#include "tests/common/TestFilters.h"
#include "tests/common/TestClock.h"

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/GraphControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.ReceiveVoid()),
            S_OK);
        ASSERT_EQ(graph.As(IID_IMediaControl, control), S_OK);
        ASSERT_EQ(graph.As(IID_IMediaEventEx, events), S_OK);
        ASSERT_EQ(graph.As(IID_IMediaFilter, mediaFilter), S_OK);
    }
    void TearDown() override
    {
        if (control) control->Stop();
        builder.Reset();
        mediaFilter.Reset();
        events.Reset();
        control.Reset();
        graph.Reset();
        CoUninitialize();
    }

    ComPtr<TestSource> AddSource(const std::string& name, int frames, REFERENCE_TIME frameTime = 0)
    {
        auto source = ComPtr<TestSource>::Attach(new TestSource(name, &log, frames, frameTime));
        EXPECT_EQ(graph->AddFilter(source.Get(), Wide(name).c_str()), S_OK);
        return source;
    }
    ComPtr<TestSink> AddSink(const std::string& name, std::vector<GUID> majorTypes = {MEDIATYPE_Video},
                             GUID subtype = GUID_NULL)
    {
        auto sink = ComPtr<TestSink>::Attach(new TestSink(name, &log, std::move(majorTypes), subtype));
        EXPECT_EQ(graph->AddFilter(sink.Get(), Wide(name).c_str()), S_OK);
        return sink;
    }
    static ComPtr<IBaseFilter> MakeFilter(const CLSID& clsid)
    {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.ReceiveVoid()), S_OK);
        return filter;
    }
    ComPtr<IBaseFilter> AddPlatformFilter(const CLSID& clsid, const std::string& name)
    {
        ComPtr<IBaseFilter> filter = MakeFilter(clsid);
        EXPECT_EQ(graph->AddFilter(filter.Get(), Wide(name).c_str()), S_OK);
        return filter;
    }
    // Runs the graph on a test clock: the renderer must wait for each of `count` samples
    // of `each` at its time after the run's 10 ms lead, and complete at the last one's
    // stop, not before. Then runs it without a clock, where nothing waits.
    void ExpectPacedByTheClockOnly(int count, REFERENCE_TIME each)
    {
        const auto clock = TestClock::Make(0);
        ASSERT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);
        ASSERT_EQ(control->Run(), S_OK);
        for (int i = 0; i <= count; ++i) {
            const REFERENCE_TIME due = kRunLead + each * i;
            EXPECT_EQ(clock->WaitForPendingAdvise(), due) << i;
            EXPECT_TRUE(EventsWithin(0).empty()) << "complete before the time of " << i;
            clock->SetTime(due);
        }
        EXPECT_TRUE(WaitForComplete(5000));
        ASSERT_EQ(control->Stop(), S_OK);
        ASSERT_EQ(mediaFilter->SetSyncSource(nullptr), S_OK);
        ASSERT_EQ(control->Run(), S_OK);
        EXPECT_TRUE(WaitForComplete(5000)) << "without a clock nothing waits";
        ASSERT_EQ(control->Stop(), S_OK);
    }
    static constexpr REFERENCE_TIME kRunLead = 10 * kUnitsPerMillisecond;
    HRESULT RenderStream(const GUID* type, IUnknown* source, IBaseFilter* intermediate, IBaseFilter* sink)
    {
        if (!builder) {
            EXPECT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ICaptureGraphBuilder2, builder.ReceiveVoid()),
                      S_OK);
            EXPECT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
        }
        return builder->RenderStream(nullptr, type, source, intermediate, sink);
    }
    // The codes of the events that arrive within the time, in order.
    std::vector<LONG> EventsWithin(LONG milliseconds)
    {
        std::vector<LONG> codes;
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
        while (events->GetEvent(&code, &param1, &param2, milliseconds) == S_OK) {
            codes.push_back(code);
            events->FreeEventParams(code, param1, param2);
        }
        return codes;
    }
    // Waits for EC_COMPLETE; answers whether it came within the time.
    bool WaitForComplete(LONG milliseconds)
    {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
        while (events->GetEvent(&code, &param1, &param2, milliseconds) == S_OK) {
            if (code == EC_COMPLETE) return true;
        }
        return false;
    }
    // Empties the graph as the engine does before every build.
    void ClearGraph()
    {
        ASSERT_EQ(control->Stop(), S_OK);
        ComPtr<IEnumFilters> filters;
        ASSERT_EQ(graph->EnumFilters(filters.Receive()), S_OK);
        ComPtr<IBaseFilter> filter;
        while (filters->Next(1, filter.Receive(), nullptr) == S_OK) {
            ASSERT_EQ(graph->RemoveFilter(filter.Get()), S_OK);
            filters->Reset();
        }
    }
    std::size_t FilterCount()
    {
        ComPtr<IEnumFilters> filters;
        EXPECT_EQ(graph->EnumFilters(filters.Receive()), S_OK);
        std::size_t count = 0;
        ComPtr<IBaseFilter> filter;
        while (filters->Next(1, filter.Receive(), nullptr) == S_OK) ++count;
        return count;
    }

    static std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
    static ComPtr<IPin> PinOf(IBaseFilter* filter, const char16_t* id)
    {
        ComPtr<IPin> pin;
        EXPECT_EQ(filter->FindPin(id, pin.Receive()), S_OK);
        return pin;
    }

    StateLog log;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IMediaFilter> mediaFilter;
    ComPtr<ICaptureGraphBuilder2> builder;
};
