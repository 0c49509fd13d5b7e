// The media detector on the files the program meets: a JPEG picture, WAV and
// MP3 sounds, and files that are neither.
#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class MediaDetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_ALL, IID_IMediaDet, detector.ReceiveVoid()), S_OK);
    }
    void TearDown() override
    {
        detector.Reset();
        CoUninitialize();
    }
    HRESULT Open(const std::string& name)
    {
        std::u16string path = u"" MEDIA_DIR "/";
        path += std::u16string(name.begin(), name.end());
        return detector->put_Filename(path.data());
    }
    // Opens a file the preview or the engine expects one stream of, of this major type, in.
    void OpenSingleStream(const std::string& name, const GUID& majorType)
    {
        ASSERT_EQ(Open(name), S_OK);
        LONG streams = 0;
        ASSERT_EQ(detector->get_OutputStreams(&streams), S_OK);
        EXPECT_EQ(streams, 1);
        ASSERT_EQ(detector->put_CurrentStream(0), S_OK);
        GUID type{};
        ASSERT_EQ(detector->get_StreamType(&type), S_OK);
        EXPECT_EQ(type, majorType);
    }
    // A frame as the preview asks for it: the size first, then the bits.
    std::vector<BYTE> Frame(LONG width, LONG height)
    {
        LONG size = 0;
        EXPECT_EQ(detector->GetBitmapBits(0.0, &size, nullptr, width, height), S_OK);
        std::vector<BYTE> buffer(static_cast<std::size_t>(size));
        EXPECT_EQ(detector->GetBitmapBits(0.0, &size, reinterpret_cast<char*>(buffer.data()), width, height), S_OK);
        return buffer;
    }

    ComPtr<IMediaDet> detector;
};

// Blue, green and red of one pixel of a bottom-up 24-bit frame.
struct Bgr {
    int blue;
    int green;
    int red;
};
Bgr PixelAt(const std::vector<BYTE>& frame, LONG width, LONG row, LONG column)
{
    const std::size_t stride = static_cast<std::size_t>((width * 3 + 3) & ~3);
    const BYTE* pixel = frame.data() + sizeof(BITMAPINFOHEADER) + stride * row + column * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

TEST_F(MediaDetTest, APictureIsOneVideoStreamDrawnBottomUpAtTheAskedSize)
{
    OpenSingleStream("halves.jpg", MEDIATYPE_Video);

    const std::vector<BYTE> frame = Frame(640, 480);
    ASSERT_EQ(frame.size(), 40u + 640u * 3 * 480);
    BITMAPINFOHEADER header;
    std::memcpy(&header, frame.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 640);
    EXPECT_EQ(header.biHeight, 480);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biPlanes, 1);
    // The picture's top half is red: the last rows of a bottom-up frame.
    const Bgr top = PixelAt(frame, 640, 470, 320);
    const Bgr bottom = PixelAt(frame, 640, 10, 320);
    EXPECT_GT(top.red, 200);
    EXPECT_LT(top.blue, 60);
    EXPECT_GT(bottom.blue, 200);
    EXPECT_LT(bottom.red, 60);
}

TEST_F(MediaDetTest, OddWidthsGetPaddedRows)
{
    ASSERT_EQ(Open("halves.jpg"), S_OK);
    const std::vector<BYTE> frame = Frame(321, 241);
    const std::size_t stride = 964; // 321 x 3 = 963, padded to 4
    ASSERT_EQ(frame.size(), 40u + stride * 241);
    for (std::size_t row = 0; row < 241; ++row) {
        EXPECT_EQ(frame[40 + stride * row + 963], 0) << "row " << row;
    }
    EXPECT_GT(PixelAt(frame, 321, 240, 320).red, 200) << "the last column is drawn too";
}

TEST_F(MediaDetTest, RefusesUnusableFrameRequests)
{
    ASSERT_EQ(Open("halves.jpg"), S_OK);
    LONG size = 0;
    EXPECT_EQ(detector->GetBitmapBits(0.0, &size, nullptr, 0, 480), E_INVALIDARG);
    EXPECT_EQ(detector->GetBitmapBits(0.0, &size, nullptr, 640, -480), E_INVALIDARG);
    EXPECT_EQ(detector->GetBitmapBits(0.0, &size, nullptr, 100000, 100000), E_INVALIDARG);
    std::vector<char> small(100);
    size = 100;
    EXPECT_EQ(detector->GetBitmapBits(0.0, &size, small.data(), 640, 480), E_INVALIDARG);
}

TEST_F(MediaDetTest, AWaveFileIsOneAudioStreamWithItsLengthAndFormat)
{
    OpenSingleStream("tone.wav", MEDIATYPE_Audio);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(detector->get_StreamMediaType(&type), S_OK);
    EXPECT_EQ(type.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(type.formattype, FORMAT_WaveFormatEx);
    ASSERT_GE(type.cbFormat, sizeof(WAVEFORMATEX));
    WAVEFORMATEX format;
    std::memcpy(&format, type.pbFormat, sizeof format);
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.nChannels, 1);
    CoTaskMemFree(type.pbFormat);
    double seconds = 0;
    ASSERT_EQ(detector->get_StreamLength(&seconds), S_OK);
    EXPECT_NEAR(seconds, 1.5, 0.01);
    // A sound has no frame to draw.
    LONG size = 0;
    ASSERT_EQ(detector->GetBitmapBits(0.0, &size, nullptr, 64, 48), S_OK);
    std::vector<char> buffer(static_cast<std::size_t>(size));
    EXPECT_EQ(detector->GetBitmapBits(0.0, &size, buffer.data(), 64, 48), VFW_E_INVALIDMEDIATYPE);
}

TEST_F(MediaDetTest, AnMp3FileIsOneAudioStream)
{
    OpenSingleStream("tone.mp3", MEDIATYPE_Audio);
    double seconds = 0;
    ASSERT_EQ(detector->get_StreamLength(&seconds), S_OK);
    EXPECT_NEAR(seconds, 2.0, 0.1);
}

TEST_F(MediaDetTest, AnEmptySoundHasNoLength)
{
    ASSERT_EQ(Open("empty.wav"), S_OK);
    ASSERT_EQ(detector->put_CurrentStream(0), S_OK);
    double seconds = -1;
    ASSERT_EQ(detector->get_StreamLength(&seconds), S_OK);
    EXPECT_EQ(seconds, 0.0);
}

TEST_F(MediaDetTest, FilesThatAreNoMediaAreRefusedWithClearCodes)
{
    EXPECT_EQ(Open("notes.txt"), VFW_E_INVALID_FILE_FORMAT);
    LONG streams = -1;
    EXPECT_EQ(detector->get_OutputStreams(&streams), E_INVALIDARG);
    EXPECT_EQ(streams, 0);
    EXPECT_EQ(Open("no-such-file.jpg"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(""), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << "the folder itself";
    // A refused file leaves nothing of the one before.
    ASSERT_EQ(Open("tone.wav"), S_OK);
    EXPECT_EQ(Open("notes.txt"), VFW_E_INVALID_FILE_FORMAT);
    GUID type{};
    EXPECT_EQ(detector->get_StreamType(&type), E_INVALIDARG);
    EXPECT_EQ(detector->put_CurrentStream(0), E_INVALIDARG);
}

TEST_F(MediaDetTest, CurrentStreamStaysInRange)
{
    ASSERT_EQ(Open("tone.wav"), S_OK);
    EXPECT_EQ(detector->put_CurrentStream(1), E_INVALIDARG);
    EXPECT_EQ(detector->put_CurrentStream(-1), E_INVALIDARG);
    LONG current = -1;
    ASSERT_EQ(detector->get_CurrentStream(&current), S_OK);
    EXPECT_EQ(current, 0);
}

} // namespace
