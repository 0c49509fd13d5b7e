// Writes one movie file, encoded by FFmpeg: by default a .wmv, an ASF
// container with the profile's WMV1 video and Windows Media Audio 2 streams;
// or, as its MovieFormat says, an MP4 or WebM file with the same frames, size
// and video bit rate in codecs of today. The file is written under a hidden,
// unique temporary name next to the final one and renamed when Finish
// succeeds, so a failed or abandoned run never leaves a file that looks
// complete, and never touches a file already there under the final name.
//
// Video arrives as 24-bit BGR frames of any size, rows bottom-up (positive
// height) or top-down, each row padded to four bytes, and is scaled to the
// stream's frame size. 4:2:0 video needs even sides: an odd side is encoded one
// pixel shorter, the whole picture scaled into it. Audio arrives as 16-bit PCM and
// is resampled to the stream's rate and channels (MP4 and WebM: 48 kHz stereo).
//
// Not thread-safe: the owner serialises the calls.
#pragma once

#include "platform/mediagraph/MediaFormat.h"
#include "platform/wmformat/MovieTemporary.h"
#include "platform/wmformat/ProfileStream.h"

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct AVCodec;
struct AVDictionary;
struct AVFormatContext;

// The container and encoders of a movie. The default is the Windows Media file
// the profile describes; the others take from the profile only the frame size,
// the video bit rate and buffer window, the key-frame spacing and which streams there are.
struct MovieFormat {
    std::string muxer = "asf";
    std::string videoEncoder; // empty: the profile's codec
    std::string audioEncoder;
    // Frames per second, each picture's frame repeated up to its end; 0: one
    // frame per picture at the picture's own time. Not for ASF.
    int frameRate = 0;
    // The video encoder sends packets out of order (H.264's B-frames), so at one frame
    // per picture the frames carry their times through it; others are timed on the way out.
    bool reordersFrames = false;
    // The largest frame the codec's highest level allows, in luma samples counted in
    // whole 16x16 blocks, and its longest side; 0: only FFmpeg's own limit.
    int64_t maxFrameSamples = 0;
    int maxFrameSide = 0;
    // At a constant rate a picture's later frames show its first again, one byte
    // each, instead of being encoded (VP9's show_existing_frame).
    bool showsFrameAgain = false;

    bool IsAsf() const { return videoEncoder.empty(); }
    bool ShowsRepeats() const { return showsFrameAgain && frameRate > 0; }
    // Whether frames of this encoded size can be written in this format.
    bool Encodes(int width, int height) const;
    bool EncoderKeepsTimes() const { return reordersFrames && frameRate == 0; }
    // H.264 High and AAC-LC in an MP4 whose index comes first; VP9 and Opus in a WebM.
    static MovieFormat Mp4(int frameRate);
    static MovieFormat WebM(int frameRate);
};

// What arrives at one input: the frames of a video stream or the sound of an audio one.
struct MovieInput {
    VideoFormat video;
    AudioFormat audio;
};

class FfmpegMovieEncoder {
public:
    FfmpegMovieEncoder();
    ~FfmpegMovieEncoder();
    FfmpegMovieEncoder(const FfmpegMovieEncoder&) = delete;
    FfmpegMovieEncoder& operator=(const FfmpegMovieEncoder&) = delete;

    // Opens the encoders of the streams, with the inputs in the same order,
    // and the temporary file, and writes the file header.
    HRESULT Open(const std::string& path, const std::vector<ProfileStream>& streams,
                 const std::vector<MovieInput>& inputs, const MovieFormat& format = {});
    // One frame of stream `index`, shown from `start` to `stop`. The scaler may
    // read up to kInputPadding bytes past the frame's end, as FFmpeg's readers do.
    HRESULT WriteVideo(std::size_t index, const BYTE* data, std::size_t size, REFERENCE_TIME start,
                       REFERENCE_TIME stop);
    // Sound of stream `index`; `start` places the first sound the stream receives.
    HRESULT WriteAudio(std::size_t index, const BYTE* data, std::size_t size, REFERENCE_TIME start);
    // Drains the encoders, writes the trailer and gives the file its name. A movie
    // that received no video frame fails with HRESULT_FROM_WIN32(ERROR_NO_DATA).
    HRESULT Finish();
    // Closes and removes the temporary file.
    void Abandon();
    // From any thread: the write under way gives up at its next frame with
    // VFW_E_WRONG_STATE, and so does every later one until the next Open. A
    // picture repeated at a constant rate may be many thousands of frames.
    void Interrupt();

    // FFmpeg's AV_INPUT_BUFFER_PADDING_SIZE.
    static constexpr std::size_t kInputPadding = 64;
    // The encoded side for a stream side: even, at most the stream's.
    static int EncodedSide(LONG side) { return static_cast<int>(side & ~1L); }

private:
    struct Track;
    HRESULT AddTrack(const ProfileStream& stream, const MovieInput& input);
    HRESULT OpenAudioEncoder(Track& track);
    HRESULT OpenVideoEncoder(Track& track, REFERENCE_TIME frameTime);
    const AVCodec* VideoEncoder() const;
    HRESULT CreateScaler(Track& track) const;
    HRESULT SendVideoFrames(Track& track, REFERENCE_TIME start, REFERENCE_TIME stop);
    HRESULT SendFrameShownAgain(Track& track, int64_t frames);
    HRESULT WriteRepeats(Track& track, int64_t pts);
    void StampPacket(Track& track);
    HRESULT EncodeAudioFrames(Track& track, bool drain);
    // At the end of the movie: the resampler's and the encoder's last samples written out.
    HRESULT Drain(Track& track);
    HRESULT WritePackets(Track& track);
    HRESULT CheckOutput();
    void Close();

    MovieFormat format;
    AVFormatContext* context = nullptr;
    std::vector<std::unique_ptr<Track>> tracks;
    MovieTemporary temporary;
    bool headerWritten = false;
    std::atomic<bool> interrupted = false;
};
