// Writes one .wmv file: an ASF container with WMV1 video and Windows Media
// Audio 2 streams, encoded by FFmpeg. The file is written under a hidden,
// unique temporary name next to the final one and renamed when Finish
// succeeds, so a failed or abandoned run never leaves a file that looks
// complete, and never touches a file already there under the final name.
//
// Video arrives as 24-bit BGR frames of any size, rows bottom-up (positive
// height) or top-down, each row padded to four bytes, and is scaled to the
// stream's frame size. WMV1 needs even sides: an odd side is encoded one pixel
// shorter, the whole picture scaled into it. Audio arrives as 16-bit PCM and is
// resampled to the stream's rate and channels.
//
// Not thread-safe: the owner serialises the calls.
#pragma once

#include "platform/wmformat/ProfileStream.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;

// What arrives at one input: the layout of its frames or of its sound.
struct AsfInputFormat {
    // Video.
    LONG width = 0;
    LONG height = 0; // negative: top row first
    REFERENCE_TIME frameTime = 0; // 0: unknown
    // Audio.
    int sampleRate = 0;
    int channels = 0;
};

class AsfFileWriter {
public:
    AsfFileWriter();
    ~AsfFileWriter();
    AsfFileWriter(const AsfFileWriter&) = delete;
    AsfFileWriter& operator=(const AsfFileWriter&) = delete;

    // Opens the encoders of the streams, with the inputs in the same order,
    // and the temporary file, and writes the file header.
    HRESULT Open(const std::string& path, const std::vector<ProfileStream>& streams,
                 const std::vector<AsfInputFormat>& inputs);
    // One frame of stream `index`, shown from `start` to `stop`.
    HRESULT WriteVideo(std::size_t index, const BYTE* data, std::size_t size, REFERENCE_TIME start,
                       REFERENCE_TIME stop);
    // Sound of stream `index`; `start` places the first sound the stream receives.
    HRESULT WriteAudio(std::size_t index, const BYTE* data, std::size_t size, REFERENCE_TIME start);
    // Drains the encoders, writes the trailer and gives the file its name. A movie
    // that received no video frame fails with HRESULT_FROM_WIN32(ERROR_NO_DATA).
    HRESULT Finish();
    // Closes and removes the temporary file.
    void Abandon();

    // The byte count of one input frame of the given layout.
    static std::size_t FrameBytes(LONG width, LONG height);
    // The encoded side for a stream side: even, at most the stream's.
    static int EncodedSide(LONG side) { return static_cast<int>(side & ~1L); }

private:
    struct Track;
    HRESULT AddTrack(const ProfileStream& stream, const AsfInputFormat& input);
    HRESULT OpenVideoEncoder(Track& track, REFERENCE_TIME frameTime);
    HRESULT EncodeAudioFrames(Track& track, bool drain);
    HRESULT Encode(Track& track, bool endOfStream);
    HRESULT WritePackets(Track& track);
    HRESULT CheckOutput();
    HRESULT CreateTemporary();
    void Close();

    AVFormatContext* context = nullptr;
    std::vector<std::unique_ptr<Track>> tracks;
    std::string finalPath;
    std::string temporaryPath;
    bool headerWritten = false;
    bool temporaryCreated = false;
};
