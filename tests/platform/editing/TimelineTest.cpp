// The timeline as the engine builds its sound track: a group with an audio
// type, one track, source clips with times, media times and a file name.
#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/MediaTypes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(
            CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline, timeline.ReceiveVoid()),
            S_OK);
    }
    void TearDown() override
    {
        timeline.Reset();
        CoUninitialize();
    }

    ComPtr<IAMTimelineObj> Node(TIMELINE_MAJOR_TYPE type)
    {
        ComPtr<IAMTimelineObj> node;
        EXPECT_EQ(timeline->CreateEmptyNode(node.Receive(), type), S_OK);
        return node;
    }
    // An audio group with one track added to the timeline; answers the track.
    ComPtr<IAMTimelineObj> AudioTrack()
    {
        ComPtr<IAMTimelineObj> group = Node(TIMELINE_MAJOR_TYPE_GROUP);
        ComPtr<IAMTimelineGroup> groupInterface;
        EXPECT_EQ(group.As(IID_IAMTimelineGroup, groupInterface), S_OK);
        AM_MEDIA_TYPE type{};
        type.majortype = MEDIATYPE_Audio;
        type.bFixedSizeSamples = TRUE;
        type.lSampleSize = 1;
        EXPECT_EQ(groupInterface->SetMediaType(&type), S_OK);
        EXPECT_EQ(timeline->AddGroup(group.Get()), S_OK);
        ComPtr<IAMTimelineObj> track = Node(TIMELINE_MAJOR_TYPE_TRACK);
        ComPtr<IAMTimelineComp> composition;
        EXPECT_EQ(group.As(IID_IAMTimelineComp, composition), S_OK);
        EXPECT_EQ(composition->VTrackInsBefore(track.Get(), -1), S_OK);
        return track;
    }
    ComPtr<IAMTimelineObj> AddClip(IAMTimelineObj* track, REFERENCE_TIME start, REFERENCE_TIME stop,
                                   const std::u16string& name)
    {
        ComPtr<IAMTimelineObj> clip = Node(TIMELINE_MAJOR_TYPE_SOURCE);
        EXPECT_EQ(clip->SetStartStop(start, stop), S_OK);
        ComPtr<IAMTimelineSrc> source;
        EXPECT_EQ(clip.As(IID_IAMTimelineSrc, source), S_OK);
        EXPECT_EQ(source->SetMediaTimes(0, stop - start), S_OK);
        std::u16string text = name;
        EXPECT_EQ(source->SetMediaName(text.data()), S_OK);
        ComPtr<IAMTimelineTrack> trackInterface;
        EXPECT_EQ(ComPtr<IAMTimelineObj>(track).As(IID_IAMTimelineTrack, trackInterface), S_OK);
        EXPECT_EQ(trackInterface->SrcAdd(clip.Get()), S_OK);
        return clip;
    }

    ComPtr<IAMTimeline> timeline;
};

TEST_F(TimelineTest, KeepsWhatTheEngineBuilds)
{
    ComPtr<IAMTimelineObj> track = AudioTrack();
    ComPtr<IAMTimelineObj> clip = AddClip(track.Get(), 0, 3 * kUnitsPerSecond, u"/sounds/theme.mp3");

    ComPtr<IAMTimelineObj> group;
    ASSERT_EQ(timeline->GetGroup(group.Receive(), 0), S_OK);
    ComPtr<IAMTimelineGroup> groupInterface;
    ASSERT_EQ(group.As(IID_IAMTimelineGroup, groupInterface), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(groupInterface->GetMediaType(&type), S_OK);
    EXPECT_EQ(type.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(type.lSampleSize, 1u);
    CoTaskMemFree(type.pbFormat);

    ComPtr<IAMTimelineComp> composition;
    ASSERT_EQ(group.As(IID_IAMTimelineComp, composition), S_OK);
    LONG tracks = 0;
    ASSERT_EQ(composition->VTrackGetCount(&tracks), S_OK);
    EXPECT_EQ(tracks, 1);

    REFERENCE_TIME start = -1;
    REFERENCE_TIME stop = -1;
    ASSERT_EQ(clip->GetStartStop(&start, &stop), S_OK);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(stop, 3 * kUnitsPerSecond);
    ComPtr<IAMTimelineSrc> source;
    ASSERT_EQ(clip.As(IID_IAMTimelineSrc, source), S_OK);
    ASSERT_EQ(source->GetMediaTimes(&start, &stop), S_OK);
    EXPECT_EQ(stop, 3 * kUnitsPerSecond);
    BSTR name = nullptr;
    ASSERT_EQ(source->GetMediaName(&name), S_OK);
    EXPECT_EQ(std::u16string(name), u"/sounds/theme.mp3");
    CoTaskMemFree(name);

    REFERENCE_TIME duration = 0;
    ASSERT_EQ(timeline->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 3 * kUnitsPerSecond);
}

TEST_F(TimelineTest, NodesAnswerOnlyTheirOwnInterfaces)
{
    ComPtr<IAMTimelineObj> track = Node(TIMELINE_MAJOR_TYPE_TRACK);
    ComPtr<IAMTimelineObj> clip = Node(TIMELINE_MAJOR_TYPE_SOURCE);
    ComPtr<IAMTimelineSrc> source;
    ComPtr<IAMTimelineGroup> group;
    ComPtr<IAMTimelineTrack> trackInterface;
    EXPECT_EQ(track.As(IID_IAMTimelineSrc, source), E_NOINTERFACE);
    EXPECT_EQ(clip.As(IID_IAMTimelineGroup, group), E_NOINTERFACE);
    EXPECT_EQ(clip.As(IID_IAMTimelineTrack, trackInterface), E_NOINTERFACE);
    TIMELINE_MAJOR_TYPE type{};
    ASSERT_EQ(clip->GetTimelineType(&type), S_OK);
    EXPECT_EQ(type, TIMELINE_MAJOR_TYPE_SOURCE);
    ComPtr<IAMTimelineObj> invalid;
    EXPECT_EQ(timeline->CreateEmptyNode(invalid.Receive(), static_cast<TIMELINE_MAJOR_TYPE>(3)), E_INVALIDARG);
}

TEST_F(TimelineTest, RefusesMisplacedObjectsAndBackwardTimes)
{
    ComPtr<IAMTimelineObj> track = AudioTrack();
    ComPtr<IAMTimelineTrack> trackInterface;
    ASSERT_EQ(track.As(IID_IAMTimelineTrack, trackInterface), S_OK);
    // A track is no source, and a group no track.
    EXPECT_EQ(trackInterface->SrcAdd(Node(TIMELINE_MAJOR_TYPE_TRACK).Get()), E_INVALIDARG);
    EXPECT_EQ(timeline->AddGroup(Node(TIMELINE_MAJOR_TYPE_TRACK).Get()), E_INVALIDARG);
    // One clip cannot sit in two places.
    ComPtr<IAMTimelineObj> clip = AddClip(track.Get(), 0, kUnitsPerSecond, u"a.wav");
    EXPECT_EQ(trackInterface->SrcAdd(clip.Get()), E_INVALIDARG);
    LONG count = 0;
    ASSERT_EQ(trackInterface->GetSourcesCount(&count), S_OK);
    EXPECT_EQ(count, 1);

    EXPECT_EQ(clip->SetStartStop(2 * kUnitsPerSecond, kUnitsPerSecond), E_INVALIDARG);
    EXPECT_EQ(clip->SetStartStop(-1, kUnitsPerSecond), E_INVALIDARG);
    ComPtr<IAMTimelineSrc> source;
    ASSERT_EQ(clip.As(IID_IAMTimelineSrc, source), S_OK);
    EXPECT_EQ(source->SetMediaTimes(kUnitsPerSecond, 0), E_INVALIDARG);
    REFERENCE_TIME start = -1;
    REFERENCE_TIME stop = -1;
    ASSERT_EQ(clip->GetStartStop(&start, &stop), S_OK);
    EXPECT_EQ(stop, kUnitsPerSecond) << "a refused change keeps the old times";
}

TEST_F(TimelineTest, SourcesComeBackInTimeOrder)
{
    ComPtr<IAMTimelineObj> track = AudioTrack();
    AddClip(track.Get(), 2 * kUnitsPerSecond, 3 * kUnitsPerSecond, u"late.wav");
    AddClip(track.Get(), 0, kUnitsPerSecond, u"early.wav");
    ComPtr<IAMTimelineTrack> trackInterface;
    ASSERT_EQ(track.As(IID_IAMTimelineTrack, trackInterface), S_OK);
    REFERENCE_TIME after = 0;
    ComPtr<IAMTimelineObj> first;
    ASSERT_EQ(trackInterface->GetNextSrc(first.Receive(), &after), S_OK);
    EXPECT_EQ(after, kUnitsPerSecond);
    ComPtr<IAMTimelineObj> second;
    ASSERT_EQ(trackInterface->GetNextSrc(second.Receive(), &after), S_OK);
    EXPECT_EQ(after, 3 * kUnitsPerSecond);
    ComPtr<IAMTimelineObj> none;
    EXPECT_EQ(trackInterface->GetNextSrc(none.Receive(), &after), S_FALSE);
}

TEST_F(TimelineTest, ValidateSourceNamesFailsForAMissingFile)
{
    ComPtr<IAMTimelineObj> track = AudioTrack();
    const LONG flags = SFN_VALIDATEF_CHECK | SFN_VALIDATEF_POPUP | SFN_VALIDATEF_REPLACE;
    EXPECT_EQ(timeline->ValidateSourceNames(flags, nullptr, 0), S_OK) << "no clip, nothing missing";

    const std::string self = ::testing::UnitTest::GetInstance()->original_working_dir();
    AddClip(track.Get(), 0, kUnitsPerSecond, std::u16string(self.begin(), self.end()) + u"/no-such-sound.mp3");
    EXPECT_EQ(timeline->ValidateSourceNames(flags, nullptr, 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(timeline->ValidateSourceNames(0, nullptr, 0), S_OK) << "without the check flag nothing is looked at";
}

TEST_F(TimelineTest, ValidateSourceNamesAcceptsAnExistingFile)
{
    ComPtr<IAMTimelineObj> track = AudioTrack();
    AddClip(track.Get(), 0, kUnitsPerSecond, u"" MEDIA_DIR "/tone.wav");
    EXPECT_EQ(timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK, nullptr, 0), S_OK);
    // A folder is no sound file.
    AddClip(track.Get(), kUnitsPerSecond, 2 * kUnitsPerSecond, u"" MEDIA_DIR);
    EXPECT_EQ(timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK, nullptr, 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

} // namespace
