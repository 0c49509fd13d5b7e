// Samples of the memory allocator: time stamps, flags, data length and the
// attached media type, and the fresh state of a sample handed out again.

#include "tests/platform/mediagraph/MediaGraphFixtures.h"

#include "platform/mediagraph/OwnedMediaType.h"

#include <cstring>

namespace {

// An object whose references the test can count.
class CountedUnknown : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    ULONG count = 1;
};

class MediaSampleTest : public AllocatorTest {
protected:
    void SetUp() override
    {
        AllocatorTest::SetUp();
        Prepare(1, kSize);
        sample = Take();
        ASSERT_TRUE(sample);
    }
    void TearDown() override
    {
        sample.Reset();
        AllocatorTest::TearDown();
    }

    static constexpr LONG kSize = 4096;
    ComPtr<IMediaSample> sample;
};

TEST_F(MediaSampleTest, StartsWithTheWholeBufferAndNoStampsOrFlags)
{
    EXPECT_EQ(sample->GetSize(), kSize);
    EXPECT_EQ(sample->GetActualDataLength(), kSize);
    REFERENCE_TIME start = -7, stop = -7;
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(sample->GetMediaTime(&start, &stop), VFW_E_MEDIA_TIME_NOT_SET);
    EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
    EXPECT_EQ(sample->IsPreroll(), S_FALSE);
    EXPECT_EQ(sample->IsDiscontinuity(), S_FALSE);
    AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(sample->GetMediaType(&type), S_FALSE);
    EXPECT_EQ(type, nullptr);
}

TEST_F(MediaSampleTest, TimeStampsWithAndWithoutStop)
{
    REFERENCE_TIME start = 5000000, stop = 10000000;
    ASSERT_EQ(sample->SetTime(&start, &stop), S_OK);
    REFERENCE_TIME gotStart = 0, gotStop = 0;
    EXPECT_EQ(sample->GetTime(&gotStart, &gotStop), S_OK);
    EXPECT_EQ(gotStart, 5000000);
    EXPECT_EQ(gotStop, 10000000);

    start = 42;
    ASSERT_EQ(sample->SetTime(&start, nullptr), S_OK);
    EXPECT_EQ(sample->GetTime(&gotStart, &gotStop), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(gotStart, 42);
    EXPECT_EQ(gotStop, 43);

    ASSERT_EQ(sample->SetTime(nullptr, nullptr), S_OK);
    EXPECT_EQ(sample->GetTime(&gotStart, &gotStop), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(sample->GetTime(nullptr, &gotStop), E_POINTER);

    LONGLONG mediaStart = 3, mediaStop = 4;
    ASSERT_EQ(sample->SetMediaTime(&mediaStart, &mediaStop), S_OK);
    LONGLONG gotMediaStart = 0, gotMediaStop = 0;
    EXPECT_EQ(sample->GetMediaTime(&gotMediaStart, &gotMediaStop), S_OK);
    EXPECT_EQ(gotMediaStart, 3);
    EXPECT_EQ(gotMediaStop, 4);
    EXPECT_EQ(sample->SetMediaTime(&mediaStart, nullptr), E_POINTER);
    ASSERT_EQ(sample->SetMediaTime(nullptr, nullptr), S_OK);
    EXPECT_EQ(sample->GetMediaTime(&gotMediaStart, &gotMediaStop), VFW_E_MEDIA_TIME_NOT_SET);
}

TEST_F(MediaSampleTest, FlagsAreIndependent)
{
    ASSERT_EQ(sample->SetSyncPoint(TRUE), S_OK);
    EXPECT_EQ(sample->IsSyncPoint(), S_OK);
    EXPECT_EQ(sample->IsPreroll(), S_FALSE);
    EXPECT_EQ(sample->IsDiscontinuity(), S_FALSE);
    ASSERT_EQ(sample->SetPreroll(TRUE), S_OK);
    ASSERT_EQ(sample->SetDiscontinuity(TRUE), S_OK);
    ASSERT_EQ(sample->SetSyncPoint(FALSE), S_OK);
    EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
    EXPECT_EQ(sample->IsPreroll(), S_OK);
    EXPECT_EQ(sample->IsDiscontinuity(), S_OK);
}

TEST_F(MediaSampleTest, DataLengthStaysWithinTheBuffer)
{
    EXPECT_EQ(sample->SetActualDataLength(0), S_OK);
    EXPECT_EQ(sample->GetActualDataLength(), 0);
    EXPECT_EQ(sample->SetActualDataLength(kSize), S_OK);
    EXPECT_EQ(sample->SetActualDataLength(kSize + 1), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(sample->SetActualDataLength(-1), E_INVALIDARG);
    EXPECT_EQ(sample->GetActualDataLength(), kSize);
}

TEST_F(MediaSampleTest, MediaTypeIsCopiedInAndOutWithItsFormatAndReference)
{
    VIDEOINFOHEADER format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = 352;
    format.bmiHeader.biHeight = 288;
    format.bmiHeader.biBitCount = 24;
    CountedUnknown extra;
    AM_MEDIA_TYPE type{MEDIATYPE_Video,
                       MEDIASUBTYPE_RGB24,
                       TRUE,
                       FALSE,
                       304128,
                       FORMAT_VideoInfo,
                       &extra,
                       sizeof format,
                       reinterpret_cast<BYTE*>(&format)};
    ASSERT_EQ(sample->SetMediaType(&type), S_OK);
    EXPECT_EQ(extra.count, 2u);
    // The sample keeps its own copy of the format.
    format.bmiHeader.biWidth = 1;

    AM_MEDIA_TYPE* copy = nullptr;
    ASSERT_EQ(sample->GetMediaType(&copy), S_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->majortype, MEDIATYPE_Video);
    EXPECT_EQ(copy->subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(copy->formattype, FORMAT_VideoInfo);
    EXPECT_EQ(copy->lSampleSize, 304128u);
    EXPECT_EQ(copy->pUnk, &extra);
    EXPECT_EQ(extra.count, 3u);
    ASSERT_EQ(copy->cbFormat, sizeof format);
    ASSERT_NE(copy->pbFormat, reinterpret_cast<BYTE*>(&format));
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(copy->pbFormat)->bmiHeader.biWidth, 352);
    DeleteTaskMediaType(copy);

    AM_MEDIA_TYPE broken{};
    broken.cbFormat = 8;
    EXPECT_EQ(sample->SetMediaType(&broken), E_INVALIDARG);
    EXPECT_EQ(extra.count, 2u) << "a refused type leaves the old one";

    ASSERT_EQ(sample->SetMediaType(nullptr), S_OK);
    EXPECT_EQ(extra.count, 1u);
    EXPECT_EQ(sample->GetMediaType(&copy), S_FALSE);
}

TEST_F(MediaSampleTest, ComesBackFreshAfterItWentHome)
{
    CountedUnknown extra;
    AM_MEDIA_TYPE type{MEDIATYPE_Audio, MEDIASUBTYPE_PCM, TRUE, FALSE, 4, FORMAT_None, &extra, 0, nullptr};
    REFERENCE_TIME start = 1, stop = 2;
    sample->SetTime(&start, &stop);
    sample->SetMediaTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    sample->SetPreroll(TRUE);
    sample->SetActualDataLength(10);
    ASSERT_EQ(sample->SetMediaType(&type), S_OK);
    IMediaSample* const first = sample.Get();

    sample.Reset();
    EXPECT_EQ(extra.count, 1u) << "the type's reference goes with the sample's return";
    sample = Take(AM_GBF_PREVFRAMESKIPPED);
    ASSERT_EQ(sample.Get(), first);
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(sample->GetMediaTime(&start, &stop), VFW_E_MEDIA_TIME_NOT_SET);
    EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
    EXPECT_EQ(sample->IsPreroll(), S_FALSE);
    EXPECT_EQ(sample->IsDiscontinuity(), S_OK) << "a skipped frame before it is a discontinuity";
    EXPECT_EQ(sample->GetActualDataLength(), kSize);
    AM_MEDIA_TYPE* none = nullptr;
    EXPECT_EQ(sample->GetMediaType(&none), S_FALSE);
}

TEST_F(MediaSampleTest, AnswersOnlyItsOwnInterfacesAndCountsReferences)
{
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(sample.As(IID_IUnknown, unknown), S_OK);
    ComPtr<IMemAllocator> notAllocator;
    EXPECT_EQ(sample.As(IID_IMemAllocator, notAllocator), E_NOINTERFACE);
    // Still out while another reference lives: the pool of one stays empty.
    sample.Reset();
    ComPtr<IMediaSample> other;
    EXPECT_EQ(allocator->GetBuffer(other.Receive(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    unknown.Reset();
    EXPECT_EQ(allocator->GetBuffer(other.Receive(), nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
}

} // namespace
