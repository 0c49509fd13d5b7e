// The output pin's connection: the types offered and accepted, the agreement of a
// type with a downstream pin, the allocator, and reconnection after a size change.
#include "tests/picsource/PicsourceFixture.h"

#include <cstring>

namespace {

const VIDEOINFOHEADER& Info(const AM_MEDIA_TYPE& type)
{
    return *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

ALLOCATOR_PROPERTIES PropertiesOf(IMemAllocator* allocator)
{
    ALLOCATOR_PROPERTIES properties{};
    allocator->GetProperties(&properties);
    return properties;
}

} // namespace

TEST_F(PicsourceTest, OffersOneRgb24TypeAtTheConfiguredSize)
{
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pin->EnumMediaTypes(types.Receive()), S_OK);
    AM_MEDIA_TYPE* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    const AM_MEDIA_TYPE& type = *got[0];
    EXPECT_EQ(type.majortype, MEDIATYPE_Video);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(type.formattype, FORMAT_VideoInfo);
    EXPECT_TRUE(type.bFixedSizeSamples);
    EXPECT_FALSE(type.bTemporalCompression);
    EXPECT_EQ(type.cbFormat, sizeof(VIDEOINFO));
    EXPECT_EQ(type.lSampleSize, 230400u);
    EXPECT_EQ(Info(type).bmiHeader.biWidth, 320);
    EXPECT_EQ(Info(type).bmiHeader.biHeight, 240);
    EXPECT_EQ(Info(type).bmiHeader.biBitCount, 24);
    EXPECT_EQ(Info(type).AvgTimePerFrame, 0);
    CoTaskMemFree(type.pbFormat);
    CoTaskMemFree(got[0]);

    // A size change makes the enumerator out of date until it is reset.
    LONG width = 352, height = 288;
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(types->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Next(1, got, &fetched), S_OK);
    EXPECT_EQ(Info(*got[0]).bmiHeader.biWidth, 352);
    CoTaskMemFree(got[0]->pbFormat);
    CoTaskMemFree(got[0]);
}

TEST_F(PicsourceTest, GetOutputTypeReusesAFormatBlockOfTheRightSize)
{
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(config->GetOutputType(&type), S_OK);
    BYTE* first = type.pbFormat;
    ASSERT_EQ(config->GetOutputType(&type), S_OK);
    EXPECT_EQ(type.pbFormat, first);
    EXPECT_EQ(Info(type).bmiHeader.biSizeImage, 230400u);
    CoTaskMemFree(type.pbFormat);
    EXPECT_EQ(config->GetOutputType(nullptr), E_POINTER);
}

TEST_F(PicsourceTest, AcceptsOnlyRgb24OfTheConfiguredSizeAndAtLeast20)
{
    VideoType exact(320, 240);
    EXPECT_EQ(pin->QueryAccept(&exact), S_OK);
    VideoType topDown(320, -240);
    EXPECT_EQ(pin->QueryAccept(&topDown), S_OK);
    VideoType other(352, 288);
    EXPECT_EQ(pin->QueryAccept(&other), S_FALSE);
    VideoType wrongSubtype(320, 240);
    wrongSubtype.Get().subtype = MEDIASUBTYPE_RGB32;
    EXPECT_EQ(pin->QueryAccept(&wrongSubtype), S_FALSE);
    VideoType variable(320, 240);
    variable.Get().bFixedSizeSamples = FALSE;
    EXPECT_EQ(pin->QueryAccept(&variable), S_FALSE);
    VideoType shortFormat(320, 240);
    shortFormat.Get().cbFormat = 40;
    EXPECT_EQ(pin->QueryAccept(&shortFormat), S_FALSE);

    // Below 20 is refused even when it is the configured size, so nothing connects.
    LONG width = 19, height = 19;
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    VideoType small(19, 19);
    EXPECT_EQ(pin->QueryAccept(&small), S_FALSE);
    EXPECT_EQ(ConnectSink(), VFW_E_NO_ACCEPTABLE_TYPES);
    IPin* peer = nullptr;
    EXPECT_EQ(pin->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(sink.Peer(), nullptr);
}

TEST_F(PicsourceTest, WithoutDownstreamTypesItsOwnTypeAndAMemoryAllocatorAreUsed)
{
    ASSERT_EQ(ConnectSink(), S_OK);
    EXPECT_EQ(Info(sink.ReceivedType()).bmiHeader.biWidth, 320);
    ASSERT_NE(sink.NotifiedAllocator(), nullptr);
    const ALLOCATOR_PROPERTIES properties = PropertiesOf(sink.NotifiedAllocator());
    EXPECT_EQ(properties.cBuffers, 1);
    EXPECT_EQ(properties.cbBuffer, 230400);

    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(pin->ConnectionMediaType(&connected), S_OK);
    EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB24);
    CoTaskMemFree(connected.pbFormat);

    EXPECT_EQ(ConnectSink(), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pin->Disconnect(), S_OK);
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
}

TEST_F(PicsourceTest, ADownstreamAllocatorIsUsedWhenOffered)
{
    sink.UseOwnAllocator();
    ASSERT_NE(sink.OwnAllocator(), nullptr);
    ASSERT_EQ(ConnectSink(), S_OK);
    EXPECT_EQ(sink.NotifiedAllocator(), sink.OwnAllocator());
    EXPECT_EQ(PropertiesOf(sink.OwnAllocator()).cbBuffer, 230400);
}

TEST_F(PicsourceTest, DownstreamTypesComeFirstAndOnlyThoseMatchingAPartialProposal)
{
    AM_MEDIA_TYPE audio{};
    audio.majortype = MEDIATYPE_Audio;
    audio.bFixedSizeSamples = TRUE;
    sink.Offer(audio);
    VideoType wrongSize(640, 480);
    sink.Offer(wrongSize.Get());
    // Marked so that it can be told from the pin's own type.
    VideoType downstream(320, -240);
    downstream.Info().rcTarget = RECT{0, 0, 320, 240};
    sink.Offer(downstream.Get());

    AM_MEDIA_TYPE videoOnly{};
    videoOnly.majortype = MEDIATYPE_Video;
    ASSERT_EQ(ConnectSink(&videoOnly), S_OK);
    const VIDEOINFOHEADER& info = Info(sink.ReceivedType());
    EXPECT_EQ(info.bmiHeader.biHeight, -240);
    EXPECT_EQ(info.rcTarget.right, 320);
}

TEST_F(PicsourceTest, AProposalMatchingNoTypeIsRefused)
{
    AM_MEDIA_TYPE audioOnly{};
    audioOnly.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(ConnectSink(&audioOnly), VFW_E_NO_ACCEPTABLE_TYPES);
    VideoType fullyWrong(640, 480);
    EXPECT_EQ(ConnectSink(&fullyWrong), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(sink.Peer(), nullptr);
}

TEST_F(PicsourceTest, APinOfTheSameDirectionIsRefused)
{
    sink.PretendOutput();
    EXPECT_EQ(ConnectSink(), VFW_E_INVALID_DIRECTION);
    VideoType exact(320, 240);
    EXPECT_EQ(ConnectSink(&exact), VFW_E_INVALID_DIRECTION);
}

TEST_F(PicsourceTest, ConnectionMediaTypeOfAnUnconnectedPinIsBlank)
{
    AM_MEDIA_TYPE type;
    std::memset(&type, 0xAB, sizeof type);
    EXPECT_EQ(pin->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(type.majortype, GUID_NULL);
    EXPECT_TRUE(type.bFixedSizeSamples);
    EXPECT_EQ(type.lSampleSize, 1u);
    EXPECT_EQ(type.pbFormat, nullptr);
}

TEST_F(PicsourceTest, SetVideoSizeWhileConnectedReconnectsAtTheNewSize)
{
    PrepareFolder("tiny");
    LONG width = 352, height = 288;
    ASSERT_EQ(config->SetVideoSize(&width, &height), S_OK);
    EXPECT_EQ(graph.reconnections, 1);
    EXPECT_EQ(Info(sink.ReceivedType()).bmiHeader.biWidth, 352);
    EXPECT_EQ(PropertiesOf(sink.NotifiedAllocator()).cbBuffer, 304128);
    VideoType old(320, 240);
    EXPECT_EQ(pin->QueryAccept(&old), S_FALSE);
    VideoType current(352, 288);
    EXPECT_EQ(pin->QueryAccept(&current), S_OK);
}

TEST_F(PicsourceTest, ConnectingOrDisconnectingNeedsAStoppedFilter)
{
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(ConnectSink(), VFW_E_NOT_STOPPED);
    ASSERT_EQ(filter->Stop(), S_OK);
    ASSERT_EQ(ConnectSink(), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
}

TEST_F(PicsourceTest, PinIdentityAndEnumeration)
{
    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), u"1");
    CoTaskMemFree(id);
    ComPtr<IPin> other;
    EXPECT_EQ(filter->FindPin(u"2", other.Receive()), VFW_E_NOT_FOUND);
    EXPECT_EQ(filter->FindPin(u"x", other.Receive()), VFW_E_NOT_FOUND);

    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    const auto owner = ComPtr<IBaseFilter>::Attach(info.pFilter);
    EXPECT_EQ(std::u16string(info.achName), u"PicSource");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(owner.Get(), filter.Get());

    ComPtr<IEnumPins> pins;
    ASSERT_EQ(filter->EnumPins(pins.Receive()), S_OK);
    IPin* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
    const auto first = ComPtr<IPin>::Attach(got[0]);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(first.Get(), pin.Get());
    EXPECT_EQ(pins->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    FILTER_INFO filterInfo{};
    ASSERT_EQ(filter->QueryFilterInfo(&filterInfo), S_OK);
    EXPECT_EQ(std::u16string(filterInfo.achName), u"JPEG Source Filter");
    EXPECT_EQ(filterInfo.pGraph, static_cast<IFilterGraph*>(&graph));
}
