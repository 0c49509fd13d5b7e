#include "GraphFixture.h"

#include <string>

TEST_F(GraphTest, AddFilterJoinsTheFilterUnderAUniqueName)
{
    auto first = AddSink("Sink");
    auto second = ComPtr<TestSink>::Attach(new TestSink("Sink", &log));
    EXPECT_EQ(graph->AddFilter(second.Get(), u"Sink"), VFW_S_DUPLICATE_NAME);

    FILTER_INFO info{};
    ASSERT_EQ(second->QueryFilterInfo(&info), S_OK);
    const auto joined = ComPtr<IFilterGraph>::Attach(info.pGraph);
    EXPECT_EQ(std::u16string(info.achName), u"Sink 0001");
    EXPECT_EQ(joined.Get(), static_cast<IFilterGraph*>(graph.Get()));

    ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph->FindFilterByName(u"Sink 0001", found.Receive()), S_OK);
    EXPECT_EQ(found.Get(), static_cast<IBaseFilter*>(second.Get()));
    EXPECT_EQ(graph->FindFilterByName(u"Missing", found.Receive()), VFW_E_NOT_FOUND);
    // The same filter twice, a name that cannot fit, and no filter at all are refused.
    EXPECT_EQ(graph->AddFilter(first.Get(), u"Again"), E_INVALIDARG);
    auto third = ComPtr<TestSink>::Attach(new TestSink("Long", &log));
    EXPECT_EQ(graph->AddFilter(third.Get(), std::u16string(MAX_FILTER_NAME, u'x').c_str()), E_INVALIDARG);
    EXPECT_EQ(graph->AddFilter(nullptr, u"None"), E_POINTER);
    EXPECT_EQ(FilterCount(), 2u);
}

TEST_F(GraphTest, RemoveFilterDisconnectsBothEndsAndLeavesTheGraph)
{
    auto source = AddSource("Source", 1);
    auto sink = AddSink("Sink");
    ASSERT_EQ(graph->Connect(&source->Output(), &sink->Input()), S_OK);

    ASSERT_EQ(graph->RemoveFilter(sink.Get()), S_OK);
    ComPtr<IPin> peer;
    EXPECT_EQ(source->Output().ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(sink->Input().ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
    FILTER_INFO info{};
    ASSERT_EQ(sink->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(graph->RemoveFilter(sink.Get()), VFW_E_NOT_FOUND);
}

TEST_F(GraphTest, ClearingThroughTheEnumeratorEmptiesTheGraph)
{
    auto source = AddSource("Source", 1);
    auto tee = AddPlatformFilter(CLSID_InfTee, "XInfTee");
    auto sink = AddSink("Sink");
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), sink.Get()), S_OK);
    ClearGraph();
    EXPECT_EQ(FilterCount(), 0u);
}

TEST_F(GraphTest, ConnectIsDirectAndNeverInsertsAConverter)
{
    auto source = AddSource("Source", 1);
    auto audioSink = AddSink("Audio", {MEDIATYPE_Audio});
    EXPECT_EQ(graph->Connect(&source->Output(), &audioSink->Input()), VFW_E_CANNOT_CONNECT);

    auto sink = AddSink("Sink");
    EXPECT_EQ(graph->Connect(&sink->Input(), &source->Output()), VFW_E_INVALID_DIRECTION);
    auto outsider = ComPtr<TestSink>::Attach(new TestSink("Outsider", &log));
    EXPECT_EQ(graph->ConnectDirect(&source->Output(), &outsider->Input(), nullptr), VFW_E_NOT_IN_GRAPH);

    ASSERT_EQ(graph->Connect(&source->Output(), &sink->Input()), S_OK);
    EXPECT_EQ(graph->Connect(&source->Output(), &sink->Input()), VFW_E_ALREADY_CONNECTED);
}

TEST_F(GraphTest, ReconnectExMakesTheSameConnectionAgain)
{
    auto source = AddSource("Source", 1);
    auto sink = AddSink("Sink");
    ComPtr<IFilterGraph2> graph2;
    ASSERT_EQ(graph.As(IID_IFilterGraph2, graph2), S_OK);
    EXPECT_EQ(graph2->ReconnectEx(&source->Output(), nullptr), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(graph->Connect(&source->Output(), &sink->Input()), S_OK);
    ASSERT_EQ(graph2->ReconnectEx(&source->Output(), nullptr), S_OK);
    ComPtr<IPin> peer;
    ASSERT_EQ(source->Output().ConnectedTo(peer.Receive()), S_OK);
    EXPECT_EQ(peer.Get(), static_cast<IPin*>(&sink->Input()));

    ASSERT_EQ(control->Pause(), S_OK);
    EXPECT_EQ(graph2->ReconnectEx(&source->Output(), nullptr), VFW_E_NOT_STOPPED);
}

TEST_F(GraphTest, RenderStreamBuildsTheEncodeTopologyThroughTheTee)
{
    auto source = AddSource("Source", 1);
    auto tee = AddPlatformFilter(CLSID_InfTee, "XInfTee");
    // The writer stand-in has an audio input first: the video link must skip it.
    auto writer = AddSink("Writer", {MEDIATYPE_Audio, MEDIATYPE_Video});
    auto renderer = AddSink("Renderer");
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), tee.Get(), writer.Get()), S_OK);
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, tee.Get(), nullptr, renderer.Get()), S_OK);

    ComPtr<IPin> peer;
    EXPECT_EQ(writer->Input(0).ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(writer->Input(1).ConnectedTo(peer.Receive()), S_OK);
    EXPECT_EQ(peer.Get(), PinOf(tee.Get(), u"Output1").Get());
    ASSERT_EQ(renderer->Input().ConnectedTo(peer.Receive()), S_OK);
    EXPECT_EQ(peer.Get(), PinOf(tee.Get(), u"Output2").Get());
    // The tee always keeps one free output.
    ComPtr<IPin> free;
    EXPECT_EQ(tee->FindPin(u"Output3", free.Receive()), S_OK);
    EXPECT_EQ(free->ConnectedTo(peer.Receive()), VFW_E_NOT_CONNECTED);
}

TEST_F(GraphTest, RenderStreamReportsThePublishedFailures)
{
    auto source = AddSource("Source", 1);
    auto sink = AddSink("Sink");
    auto audioOnly = AddSink("AudioOnly", {MEDIATYPE_Audio});
    auto outsider = ComPtr<TestSink>::Attach(new TestSink("Outsider", &log));

    EXPECT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, outsider.Get()), VFW_E_NOT_IN_GRAPH);
    EXPECT_EQ(RenderStream(&MEDIATYPE_Video, nullptr, nullptr, sink.Get()), E_POINTER);
    // No output of the major type.
    EXPECT_EQ(RenderStream(&MEDIATYPE_Audio, source.Get(), nullptr, sink.Get()), E_FAIL);
    // No input that takes it.
    EXPECT_TRUE(FAILED(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, audioOnly.Get())));
    // A given output pin, then nothing left to connect.
    ASSERT_EQ(RenderStream(&MEDIATYPE_Video, static_cast<IPin*>(&source->Output()), nullptr, sink.Get()), S_OK);
    EXPECT_EQ(RenderStream(&MEDIATYPE_Video, source.Get(), nullptr, sink.Get()), E_FAIL);
}

TEST_F(GraphTest, TeeOutputsConnectOnlyAfterItsInputAndFollowItsType)
{
    auto tee = AddPlatformFilter(CLSID_InfTee, "Tee");
    auto sink = AddSink("Sink");
    EXPECT_EQ(graph->Connect(PinOf(tee.Get(), u"Output1").Get(), &sink->Input()), VFW_E_NOT_CONNECTED);

    auto source = AddSource("Source", 1);
    ASSERT_EQ(graph->Connect(&source->Output(), PinOf(tee.Get(), u"Input").Get()), S_OK);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(PinOf(tee.Get(), u"Output1")->EnumMediaTypes(types.Receive()), S_OK);
    AM_MEDIA_TYPE* offered = nullptr;
    ASSERT_EQ(types->Next(1, &offered, nullptr), S_OK);
    EXPECT_EQ(offered->subtype, MEDIASUBTYPE_RGB24);
    DeleteTaskMediaType(offered);

    auto audioSink = AddSink("Audio", {MEDIATYPE_Audio});
    EXPECT_EQ(graph->Connect(PinOf(tee.Get(), u"Output1").Get(), &audioSink->Input()), VFW_E_CANNOT_CONNECT);
    ASSERT_EQ(graph->Connect(PinOf(tee.Get(), u"Output1").Get(), &sink->Input()), S_OK);
    // A disconnected output becomes the free one again: no new pin is made.
    ASSERT_EQ(graph->RemoveFilter(sink.Get()), S_OK);
    ComPtr<IPin> pin;
    EXPECT_EQ(tee->FindPin(u"Output2", pin.Receive()), S_OK);
    EXPECT_EQ(tee->FindPin(u"Output3", pin.Receive()), VFW_E_NOT_FOUND);
}
