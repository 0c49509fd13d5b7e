#include "platform/wmformat/FfmpegMovieEncoder.h"

#include "platform/wmformat/MediaFileWriterConfig.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <map>
#include <utility>

namespace {

// Sound is resampled in pieces of at most this many input frames.
constexpr int kAudioChunkFrames = 4096;
// The sound of MP4 and WebM movies: what phones and browsers take everywhere.
constexpr int kSharedSampleRate = 48'000;
constexpr int kSharedChannels = 2;
constexpr int64_t kSharedAudioBitRate = 128'000;
// Frames VP9 looks ahead. None: each picture is its own scene, so a hidden reference
// frame built from the frames ahead gains little, and each costs a frame's memory.
// Without look-ahead every frame sent comes out at once and becomes the last
// reference, which the repeats below show again.
constexpr const char* kVp9LookAhead = "0";
// A VP9 frame of one byte that shows reference slot 0 again, where libvpx keeps
// the last frame it encoded (VP9 bitstream, section 6.2: frame marker 2,
// profile 0, show_existing_frame 1, frame_to_show_map_idx 0).
constexpr uint8_t kVp9ShowLastFrame = 0x88;
// H.264 by measurement: on photographs each repeated for seconds at 25 frames a
// second, x264's "fast" preset with "medium"'s 40-frame rate look-ahead takes
// about two thirds of the default preset's CPU time at the same or a little better
// PSNR and SSIM at the same bit rate (the default's trellis on every repeat is
// most of its time). The longer look-ahead gives the first frame of a picture the
// bits its repeats refer to.
constexpr const char* kH264Preset = "fast";
constexpr const char* kH264LookAhead = "40";
// And on top of the preset: a quantiser that varies less with complexity (qcomp 0.4
// instead of 0.6) gives a picture's first frames more of the bits and its repeats
// less to refine, and sub-pixel refinement 3 instead of 6 skips the rate-distortion
// mode decision on frames that barely differ. On the stills 1080p, 720p and phone
// photographs at 720p, and on a pan-and-zoom show, PSNR and SSIM came out the same
// or better (by up to 0.1 dB) in 10 to 25 % less time. One reference frame instead
// of two costs nothing on stills, whose repeats all look alike, and saves a show
// with motion 8 % of its time for 0.02 dB.
constexpr const char* kH264Tuning = "qcomp=0.4:subme=3:ref=1";

// VP9's quantiser ceiling by the bits a frame may take per pixel. libvpx's one-pass rate
// control starts from its worst quantiser and eases off it over many frames, but a WebM of
// photographs encodes one frame per picture: with a budget of several bits per pixel it still
// made them at a fraction of their bits (the bench's 30 photographs at 1080p, 4 Mbit/s, 3 s a
// picture: 0.9 Mbit/s and 44.7 dB; with these ceilings 1.7 Mbit/s and 47.8 dB, above ffmpeg's
// 44.9 dB with libvpx's defaults). Measured on noisy 2-to-12-megapixel photographs at 1080p,
// the largest frame took 1.2 bits per pixel under ceiling 48 and 1.8 under ceiling 24
// (libvpx's scale, 0 to 63), so these ceilings leave the rate control twice the room it needs
// before it would overshoot; smaller budgets keep libvpx's own.
struct Vp9Ceiling {
    double bitsPerPixel;
    const char* quantiser;
};
constexpr Vp9Ceiling kVp9Ceilings[] = {{4.0, "24"}, {2.5, "48"}};

// FFmpeg's errors are negated errno values.
HRESULT HresultFromAv(int error) { return HresultFromErrno(-error); }

int64_t Milliseconds(REFERENCE_TIME time) { return time / kUnitsPerMillisecond; }

// Frames between key frames for a spacing in 100-ns units.
int KeyFrameInterval(REFERENCE_TIME spacing, AVRational frameTime)
{
    const int64_t frames = av_rescale(spacing, frameTime.den, frameTime.num * kUnitsPerSecond);
    return static_cast<int>(std::clamp<int64_t>(frames, 1, 600));
}

const char* Vp9QuantiserCeiling(const AVCodecContext* codec, REFERENCE_TIME frameTime)
{
    const double pixels = static_cast<double>(codec->width) * codec->height;
    const double bits = static_cast<double>(codec->bit_rate) * static_cast<double>(frameTime) / kUnitsPerSecond;
    for (const Vp9Ceiling& ceiling : kVp9Ceilings)
        if (bits >= ceiling.bitsPerPixel * pixels) return ceiling.quantiser;
    return nullptr;
}

// Rate control for the modern encoders: the profile's bit rate as the target, for
// H.264 with a VBV buffer of the profile's buffer window at that rate; `frameTime`: the
// time one encoded frame stands for.
HRESULT SetSharedVideoOptions(AVCodecContext* codec, const ProfileStream& stream, REFERENCE_TIME frameTime,
                              AVDictionary** options)
{
    // What the frames are (see CreateScaler): video range by the BT.601 matrix, or
    // players assume BT.709 for large frames; the colours and tone curve are the photos'
    // own, sRGB's (IEC 61966-2-1), whose primaries are BT.709's.
    codec->color_range = AVCOL_RANGE_MPEG;
    codec->colorspace = AVCOL_SPC_SMPTE170M;
    codec->color_primaries = AVCOL_PRI_BT709;
    codec->color_trc = AVCOL_TRC_IEC61966_2_1;
    if (codec->codec_id == AV_CODEC_ID_H264) {
        codec->rc_max_rate = codec->bit_rate;
        const int64_t window = stream.bufferWindow > 0 ? stream.bufferWindow : 1000;
        codec->rc_buffer_size = static_cast<int>(std::min<int64_t>(codec->bit_rate * window / 1000, INT32_MAX));
        // Key frames forced by time (see SendVideoFrames) must be ones a player can seek to.
        if (av_dict_set(options, "profile", "high", 0) < 0 || av_dict_set(options, "forced-idr", "1", 0) < 0 ||
            av_dict_set(options, "preset", kH264Preset, 0) < 0 ||
            av_dict_set(options, "rc-lookahead", kH264LookAhead, 0) < 0 ||
            av_dict_set(options, "x264-params", kH264Tuning, 0) < 0)
            return E_OUTOFMEMORY;
        return S_OK;
    }
    if (codec->codec_id == AV_CODEC_ID_VP9) {
        // libvpx's default speed (cpu-used 1) takes minutes for a few pictures. It keeps
        // its look-ahead's frames from the start, 25 by default: 700 MB at 4096x4096.
        // libavcodec gives it one thread unless told; rows and tiles share the cores.
        codec->thread_count = 0;
        if (av_dict_set(options, "deadline", "good", 0) < 0 || av_dict_set(options, "cpu-used", "4", 0) < 0 ||
            av_dict_set(options, "row-mt", "1", 0) < 0 || av_dict_set(options, "lag-in-frames", kVp9LookAhead, 0) < 0)
            return E_OUTOFMEMORY;
        const char* ceiling = Vp9QuantiserCeiling(codec, frameTime);
        if (ceiling && av_dict_set(options, "qmax", ceiling, 0) < 0) return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace

// H.264 level 6.2 (139,264 macroblocks a frame, sides up to 16,880) and VP9 level
// 6.2 (35,651,584 samples, sides up to 16,384): beyond them no player need decode
// the movie, and libvpx's memory grows past what a desktop has.
constexpr int64_t kLevel62Samples = 35'651'584;
constexpr int kLevel62Side = 16'384;

MovieFormat MovieFormat::Mp4(int frameRate)
{
    return {"mp4", "libx264", "aac", frameRate, true, kLevel62Samples, kLevel62Side};
}

MovieFormat MovieFormat::WebM(int frameRate)
{
    return {"webm", "libvpx-vp9", "libopus", frameRate, false, kLevel62Samples, kLevel62Side, true};
}

// FFmpeg opens no encoder for (width + 128) x (height + 128) samples past INT_MAX / 8:
// at most 16,254 x 16,254.
bool MovieFormat::Encodes(int width, int height) const
{
    if (av_image_check_size(static_cast<unsigned>(width), static_cast<unsigned>(height), 0, nullptr) < 0) return false;
    const auto blocks = [](int side) { return (int64_t{side} + 15) / 16 * 16; };
    return maxFrameSamples == 0 ||
           (blocks(width) * blocks(height) <= maxFrameSamples && std::max(width, height) <= maxFrameSide);
}

struct FfmpegMovieEncoder::Track {
    ~Track()
    {
        avcodec_free_context(&codec);
        av_frame_free(&frame);
        av_packet_free(&packet);
        sws_freeContext(scaler);
        swr_free(&resampler);
        if (fifo) av_audio_fifo_free(fifo);
    }

    ProfileStream stream;
    MovieInput input;
    AVCodecContext* codec = nullptr;
    AVStream* output = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    // Video: the scaler, the frame time the encoder was opened with, and the
    // times of the frames sent and not yet written, in milliseconds.
    SwsContext* scaler = nullptr;
    REFERENCE_TIME frameTime = 0;
    int64_t framesSent = 0;
    int64_t lastStartMs = -1;
    int64_t lastKeyMs = 0;
    int64_t lastKeyFrame = 0;
    // Frames that show an encoded one again: how many, by the encoded frame's time.
    std::map<int64_t, int64_t> pendingRepeats;
    std::deque<std::pair<int64_t, int64_t>> pendingTimes;
    // Frames that keep their times through the encoder: each one's length by its time, until written.
    std::map<int64_t, int64_t> pendingLengths;
    // Audio: the resampler, the resampled sound not yet encoded, and the next frame's time in samples.
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    bool audioStarted = false;
    int64_t nextSample = 0;

    bool IsVideo() const { return stream.IsVideo(); }
};

FfmpegMovieEncoder::FfmpegMovieEncoder() = default;

FfmpegMovieEncoder::~FfmpegMovieEncoder() { Abandon(); }

HRESULT FfmpegMovieEncoder::Open(const std::string& path, const std::vector<ProfileStream>& streams,
                                 const std::vector<MovieInput>& inputs, const MovieFormat& movieFormat)
{
    Abandon();
    if (streams.empty() || streams.size() != inputs.size() || movieFormat.frameRate < 0 ||
        (movieFormat.IsAsf() && movieFormat.frameRate != 0))
        return E_INVALIDARG;
    format = movieFormat;
    interrupted = false;
    HRESULT hr = temporary.Create(path);
    if (FAILED(hr)) return hr;
    int error = avformat_alloc_output_context2(&context, nullptr, format.muxer.c_str(), temporary.Path().c_str());
    if (error < 0 || !context) {
        Abandon();
        // The muxer is missing from this FFmpeg, like an encoder can be.
        return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : NS_E_INVALID_INPUT_FORMAT;
    }
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const HRESULT added = AddTrack(streams[i], inputs[i]);
        if (FAILED(added)) {
            Abandon();
            return added;
        }
    }
    error = avio_open(&context->pb, temporary.Path().c_str(), AVIO_FLAG_WRITE);
    if (error >= 0) {
        // The index before the pictures, so that a movie starts playing while it downloads.
        AVDictionary* options = nullptr;
        if (format.muxer == "mp4") error = av_dict_set(&options, "movflags", "+faststart", 0);
        if (error >= 0) error = avformat_write_header(context, options ? &options : nullptr);
        av_dict_free(&options);
        headerWritten = error >= 0;
    }
    hr = error < 0 ? HresultFromAv(error) : CheckOutput();
    if (FAILED(hr)) Abandon();
    return hr;
}

HRESULT FfmpegMovieEncoder::AddTrack(const ProfileStream& stream, const MovieInput& input)
{
    HRESULT hr = stream.CheckCodec();
    if (FAILED(hr)) return hr;
    auto track = std::make_unique<Track>();
    track->stream = stream;
    track->input = input;
    track->frame = av_frame_alloc();
    track->packet = av_packet_alloc();
    track->output = avformat_new_stream(context, nullptr);
    if (!track->frame || !track->packet || !track->output) return E_OUTOFMEMORY;
    if (track->IsVideo()) {
        if (input.video.width <= 0 || input.video.height == 0 || input.video.bitCount != 24)
            return VFW_E_INVALIDMEDIATYPE;
        const VIDEOINFOHEADER& video = *stream.VideoHeader();
        const REFERENCE_TIME frameTime = input.video.frameTime > 0 ? input.video.frameTime : video.AvgTimePerFrame;
        hr = OpenVideoEncoder(*track, frameTime > 0 ? frameTime : kUnitsPerSecond / 30);
        if (FAILED(hr)) return hr;
        hr = CreateScaler(*track);
        if (FAILED(hr)) return hr;
    } else {
        if (input.audio.sampleRate == 0 || input.audio.channels == 0) return VFW_E_INVALIDMEDIATYPE;
        hr = OpenAudioEncoder(*track);
        if (FAILED(hr)) return hr;
    }
    if (avcodec_parameters_from_context(track->output->codecpar, track->codec) < 0) return E_OUTOFMEMORY;
    track->output->time_base = track->codec->time_base;
    tracks.push_back(std::move(track));
    return S_OK;
}

// BGR to the encoder's 4:2:0 by the BT.601 matrix into the video range 16..235. The
// scaler's fast path for frames of the encoded size rounds every level down (white
// becomes 234, not 235) and takes each chroma sample from one pixel of four: every
// format asks for exact rounding and all four.
HRESULT FfmpegMovieEncoder::CreateScaler(Track& track) const
{
    const VideoFormat& input = track.input.video;
    constexpr int kFlags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP;
    track.scaler = sws_getContext(input.width, static_cast<int>(input.Rows()), AV_PIX_FMT_BGR24, track.codec->width,
                                  track.codec->height, AV_PIX_FMT_YUV420P, kFlags, nullptr, nullptr, nullptr);
    if (!track.scaler) return E_OUTOFMEMORY;
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    // Full-range RGB in, video range out; brightness, contrast and saturation as they are.
    constexpr int kUnit = 1 << 16;
    return sws_setColorspaceDetails(track.scaler, bt601, 1, bt601, 0, 0, kUnit, kUnit) < 0 ? E_FAIL : S_OK;
}

// The profile's codec, rate and channels for ASF; the format's encoder at 48 kHz stereo otherwise.
HRESULT FfmpegMovieEncoder::OpenAudioEncoder(Track& track)
{
    const WAVEFORMATEX& wave = *track.stream.WaveFormat();
    const AVCodec* encoder = format.IsAsf() ? avcodec_find_encoder(AV_CODEC_ID_WMAV2)
                                            : avcodec_find_encoder_by_name(format.audioEncoder.c_str());
    if (!encoder) return NS_E_INVALID_INPUT_FORMAT;
    AVCodecContext* codec = track.codec = avcodec_alloc_context3(encoder);
    if (!codec) return E_OUTOFMEMORY;
    codec->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    codec->sample_rate = format.IsAsf() ? static_cast<int>(wave.nSamplesPerSec) : kSharedSampleRate;
    av_channel_layout_default(&codec->ch_layout, format.IsAsf() ? wave.nChannels : kSharedChannels);
    codec->bit_rate = format.IsAsf() ? track.stream.bitrate : kSharedAudioBitRate;
    codec->time_base = AVRational{1, codec->sample_rate};
    if (context->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(codec, encoder, nullptr) < 0) return NS_E_INVALID_INPUT_FORMAT;
    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, track.input.audio.channels);
    if (swr_alloc_set_opts2(&track.resampler, &codec->ch_layout, codec->sample_fmt, codec->sample_rate, &inputLayout,
                            AV_SAMPLE_FMT_S16, static_cast<int>(track.input.audio.sampleRate), 0, nullptr) < 0 ||
        swr_init(track.resampler) < 0)
        return E_OUTOFMEMORY;
    track.fifo = av_audio_fifo_alloc(codec->sample_fmt, codec->ch_layout.nb_channels, codec->frame_size);
    return track.fifo ? S_OK : E_OUTOFMEMORY;
}

const AVCodec* FfmpegMovieEncoder::VideoEncoder() const
{
    return format.IsAsf() ? avcodec_find_encoder(AV_CODEC_ID_WMV1)
                          : avcodec_find_encoder_by_name(format.videoEncoder.c_str());
}

// The encoder's rate control shares the bit rate out over frames of this length,
// or over the format's constant frame rate.
HRESULT FfmpegMovieEncoder::OpenVideoEncoder(Track& track, REFERENCE_TIME frameTime)
{
    const AVCodec* encoder = VideoEncoder();
    if (!encoder) return NS_E_INVALID_INPUT_FORMAT;
    avcodec_free_context(&track.codec);
    AVCodecContext* codec = track.codec = avcodec_alloc_context3(encoder);
    if (!codec) return E_OUTOFMEMORY;
    const BITMAPINFOHEADER& bitmap = track.stream.VideoHeader()->bmiHeader;
    codec->width = EncodedSide(bitmap.biWidth);
    codec->height = EncodedSide(static_cast<LONG>(DibRows(bitmap.biHeight)));
    if (!format.Encodes(codec->width, codec->height)) return WRITER_E_FRAME_TOO_LARGE;
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->bit_rate = track.stream.bitrate;
    const int64_t frameMs = std::clamp<int64_t>(Milliseconds(frameTime), 1, 60'000);
    AVRational period{};
    av_reduce(&period.num, &period.den, frameMs, 1000, 1 << 30);
    if (format.frameRate > 0) period = AVRational{1, format.frameRate};
    codec->framerate = AVRational{period.den, period.num};
    const REFERENCE_TIME spacing = track.stream.maxKeyFrameSpacing;
    codec->gop_size =
        format.IsAsf()
            ? static_cast<int>(std::clamp<REFERENCE_TIME>(spacing / (frameMs * kUnitsPerMillisecond), 1, 600))
            : KeyFrameInterval(spacing, period);
    AVDictionary* options = nullptr;
    HRESULT hr = S_OK;
    // A frame lasts one tick of the time base, except where frames keep their own
    // times, in milliseconds.
    codec->time_base = format.EncoderKeepsTimes() ? AVRational{1, 1000} : period;
    if (format.IsAsf()) {
        codec->max_b_frames = 0;
    } else {
        // A frame shown again stands for its picture's time.
        const REFERENCE_TIME encodedFrameTime =
            format.ShowsRepeats() ? frameTime : av_rescale(kUnitsPerSecond, period.num, period.den);
        hr = SetSharedVideoOptions(codec, track.stream, encodedFrameTime, &options);
    }
    if (context->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = SUCCEEDED(hr) ? avcodec_open2(codec, encoder, &options) : 0;
    av_dict_free(&options);
    if (FAILED(hr)) return hr;
    if (opened < 0) return NS_E_INVALID_INPUT_FORMAT;
    track.frameTime = frameTime;
    track.frame->format = codec->pix_fmt;
    track.frame->width = codec->width;
    track.frame->height = codec->height;
    if (!track.frame->buf[0] && av_frame_get_buffer(track.frame, 0) < 0) return E_OUTOFMEMORY;
    return S_OK;
}

HRESULT FfmpegMovieEncoder::WriteVideo(std::size_t index, const BYTE* data, std::size_t size, REFERENCE_TIME start,
                                       REFERENCE_TIME stop)
{
    if (!headerWritten || index >= tracks.size() || !tracks[index]->IsVideo()) return E_UNEXPECTED;
    Track& track = *tracks[index];
    const VideoFormat& input = track.input.video;
    if (!data || size < input.FrameBytes()) return VFW_E_BUFFER_UNDERFLOW;
    // The first frame tells the real frame time (or, where frames are shown again, the
    // picture's), which the rate control needs. Where
    // frames keep their own times the encoder of the header stays, whose global header
    // the file already holds.
    const REFERENCE_TIME length = stop - start;
    if (!format.EncoderKeepsTimes() && (format.frameRate == 0 || format.ShowsRepeats()) && track.framesSent == 0 &&
        length > 0 && Milliseconds(length) != Milliseconds(track.frameTime)) {
        const HRESULT hr = OpenVideoEncoder(track, length);
        if (FAILED(hr)) return hr;
    }
    if (av_frame_make_writable(track.frame) < 0) return E_OUTOFMEMORY;
    const auto rows = static_cast<int>(input.Rows());
    const auto stride = static_cast<int>(input.Stride());
    // Bottom-up rows are read from the last row upwards.
    const uint8_t* first = input.BottomUp() ? data + static_cast<std::size_t>(stride) * (rows - 1) : data;
    const int step = input.BottomUp() ? -stride : stride;
    sws_scale(track.scaler, &first, &step, 0, rows, track.frame->data, track.frame->linesize);
    return SendVideoFrames(track, start, stop);
}

// At a constant rate the picture's frame is sent again until the picture's end,
// the frame nearest to it; the first picture always gets one. Otherwise one
// frame, at the picture's start in milliseconds, later than the frame before.
HRESULT FfmpegMovieEncoder::SendVideoFrames(Track& track, REFERENCE_TIME start, REFERENCE_TIME stop)
{
    int64_t frames = 1;
    const int64_t startMs = std::max(Milliseconds(std::max<REFERENCE_TIME>(start, 0)), track.lastStartMs + 1);
    const int64_t lengthMs = std::max<int64_t>(Milliseconds(stop - start), 0);
    if (format.frameRate > 0) {
        const int64_t end = av_rescale(std::max<REFERENCE_TIME>(stop, 0), format.frameRate, kUnitsPerSecond);
        frames = std::max<int64_t>(end - track.framesSent, track.framesSent == 0 ? 1 : 0);
    } else {
        track.lastStartMs = startMs;
        if (format.EncoderKeepsTimes()) {
            track.pendingLengths[startMs] = lengthMs;
        } else {
            track.pendingTimes.emplace_back(startMs, lengthMs);
        }
    }
    if (format.ShowsRepeats() && frames > 0) return SendFrameShownAgain(track, frames);
    // Frames with their own times are spaced by time, not by count: their key frames
    // follow the profile's spacing in the pictures' time.
    const int64_t spacingMs = Milliseconds(track.stream.maxKeyFrameSpacing);
    const bool key = format.EncoderKeepsTimes() && spacingMs > 0 &&
                     (track.framesSent == 0 || startMs - track.lastKeyMs >= spacingMs);
    if (key) track.lastKeyMs = startMs;
    track.frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    for (int64_t i = 0; i < frames; ++i) {
        if (interrupted) return VFW_E_WRONG_STATE;
        track.frame->pts = format.EncoderKeepsTimes() ? startMs : track.framesSent;
        ++track.framesSent;
        if (avcodec_send_frame(track.codec, track.frame) < 0) return E_FAIL;
        const HRESULT hr = WritePackets(track);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// The picture is encoded once; its other frames show that frame again, once the
// encoder has given it out. The encoder sees one frame per picture, so key frames
// are placed here by the frames they stand for.
HRESULT FfmpegMovieEncoder::SendFrameShownAgain(Track& track, int64_t frames)
{
    if (interrupted) return VFW_E_WRONG_STATE;
    const bool key = track.framesSent == 0 || track.framesSent - track.lastKeyFrame >= track.codec->gop_size;
    if (key) track.lastKeyFrame = track.framesSent;
    track.frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    track.frame->pts = track.framesSent;
    track.framesSent += frames;
    if (frames > 1) track.pendingRepeats[track.frame->pts] = frames - 1;
    if (avcodec_send_frame(track.codec, track.frame) < 0) return E_FAIL;
    return WritePackets(track);
}

// The frames owed after the encoded frame of time `pts`, in the encoder's time base.
HRESULT FfmpegMovieEncoder::WriteRepeats(Track& track, int64_t pts)
{
    const auto found = track.pendingRepeats.find(pts);
    if (found == track.pendingRepeats.end()) return S_OK;
    const int64_t repeats = found->second;
    track.pendingRepeats.erase(found);
    AVPacket* packet = track.packet;
    for (int64_t i = 1; i <= repeats; ++i) {
        if (interrupted) return VFW_E_WRONG_STATE;
        if (av_new_packet(packet, 1) < 0) return E_OUTOFMEMORY;
        packet->data[0] = kVp9ShowLastFrame;
        packet->pts = packet->dts = pts + i;
        packet->duration = 1;
        av_packet_rescale_ts(packet, track.codec->time_base, track.output->time_base);
        packet->stream_index = track.output->index;
        const int error = av_interleaved_write_frame(context, packet);
        if (error < 0) return HresultFromAv(error);
        const HRESULT hr = CheckOutput();
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT FfmpegMovieEncoder::WriteAudio(std::size_t index, const BYTE* data, std::size_t size, REFERENCE_TIME start)
{
    if (!headerWritten || index >= tracks.size() || tracks[index]->IsVideo()) return E_UNEXPECTED;
    Track& track = *tracks[index];
    if (!track.audioStarted) {
        track.audioStarted = true;
        track.nextSample = av_rescale(std::max<REFERENCE_TIME>(start, 0), track.codec->sample_rate, kUnitsPerSecond);
    }
    const std::size_t frameBytes = static_cast<std::size_t>(track.input.audio.channels) * 2;
    std::size_t frames = data ? size / frameBytes : 0;
    while (frames > 0) {
        const int piece = static_cast<int>(std::min<std::size_t>(frames, kAudioChunkFrames));
        const int capacity = swr_get_out_samples(track.resampler, piece);
        uint8_t** converted = nullptr;
        if (capacity < 0 || av_samples_alloc_array_and_samples(&converted, nullptr, track.codec->ch_layout.nb_channels,
                                                               std::max(capacity, 1), track.codec->sample_fmt, 0) < 0)
            return E_OUTOFMEMORY;
        const uint8_t* in = data;
        const int made = swr_convert(track.resampler, converted, capacity, &in, piece);
        const int written = made > 0 ? av_audio_fifo_write(track.fifo, reinterpret_cast<void**>(converted), made) : 0;
        av_freep(&converted[0]);
        av_freep(&converted);
        if (made < 0 || written < made) return E_OUTOFMEMORY;
        data += static_cast<std::size_t>(piece) * frameBytes;
        frames -= static_cast<std::size_t>(piece);
        const HRESULT hr = EncodeAudioFrames(track, false);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Encodes every whole frame of the sound kept; with `drain`, the rest too, padded with silence.
HRESULT FfmpegMovieEncoder::EncodeAudioFrames(Track& track, bool drain)
{
    const int frameSize = track.codec->frame_size;
    while (av_audio_fifo_size(track.fifo) >= frameSize || (drain && av_audio_fifo_size(track.fifo) > 0)) {
        AVFrame* frame = track.frame;
        av_frame_unref(frame);
        frame->nb_samples = frameSize;
        frame->format = track.codec->sample_fmt;
        frame->sample_rate = track.codec->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &track.codec->ch_layout) < 0 || av_frame_get_buffer(frame, 0) < 0)
            return E_OUTOFMEMORY;
        av_samples_set_silence(frame->extended_data, 0, frameSize, frame->ch_layout.nb_channels,
                               track.codec->sample_fmt);
        if (av_audio_fifo_read(track.fifo, reinterpret_cast<void**>(frame->extended_data), frameSize) < 0)
            return E_FAIL;
        frame->pts = track.nextSample;
        track.nextSample += frameSize;
        if (avcodec_send_frame(track.codec, frame) < 0) return E_FAIL;
        const HRESULT hr = WritePackets(track);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT FfmpegMovieEncoder::WritePackets(Track& track)
{
    for (;;) {
        const int received = avcodec_receive_packet(track.codec, track.packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return S_OK;
        if (received < 0) return E_FAIL;
        AVPacket* packet = track.packet;
        const int64_t encodedPts = packet->pts;
        StampPacket(track);
        packet->stream_index = track.output->index;
        const int error = av_interleaved_write_frame(context, packet);
        if (error < 0) return HresultFromAv(error);
        HRESULT hr = CheckOutput();
        if (SUCCEEDED(hr) && track.IsVideo()) hr = WriteRepeats(track, encodedPts);
        if (FAILED(hr)) return hr;
    }
}

// Gives a packet its times in the stream's time base.
void FfmpegMovieEncoder::StampPacket(Track& track)
{
    AVPacket* packet = track.packet;
    if (!track.IsVideo()) {
        // ASF has no negative times for the encoder's lead-in: the sound
        // starts that much later instead of moving every picture.
        if (format.IsAsf()) {
            packet->pts += track.codec->initial_padding;
            packet->dts += track.codec->initial_padding;
        }
        av_packet_rescale_ts(packet, track.codec->time_base, track.output->time_base);
        return;
    }
    if (format.frameRate == 0 && !format.EncoderKeepsTimes()) {
        // One packet per frame, in order: the frame's own times go with it.
        if (!track.pendingTimes.empty()) {
            const auto [startMs, lengthMs] = track.pendingTimes.front();
            track.pendingTimes.pop_front();
            packet->pts = packet->dts = startMs;
            packet->duration = lengthMs;
        }
        av_packet_rescale_ts(packet, AVRational{1, 1000}, track.output->time_base);
        return;
    }
    // The encoder kept the frame's time: its length goes with it.
    if (format.frameRate > 0) {
        packet->duration = 1;
    } else if (const auto found = track.pendingLengths.find(packet->pts); found != track.pendingLengths.end()) {
        packet->duration = found->second;
        track.pendingLengths.erase(found);
    }
    av_packet_rescale_ts(packet, track.codec->time_base, track.output->time_base);
}

HRESULT FfmpegMovieEncoder::Drain(Track& track)
{
    if (!track.IsVideo()) {
        uint8_t** converted = nullptr;
        const int capacity = std::max(swr_get_out_samples(track.resampler, 0), 1);
        if (av_samples_alloc_array_and_samples(&converted, nullptr, track.codec->ch_layout.nb_channels, capacity,
                                               track.codec->sample_fmt, 0) < 0)
            return E_OUTOFMEMORY;
        const int made = swr_convert(track.resampler, converted, capacity, nullptr, 0);
        if (made > 0) av_audio_fifo_write(track.fifo, reinterpret_cast<void**>(converted), made);
        av_freep(&converted[0]);
        av_freep(&converted);
        const HRESULT hr = EncodeAudioFrames(track, true);
        if (FAILED(hr)) return hr;
    }
    if (avcodec_send_frame(track.codec, nullptr) < 0) return E_FAIL;
    return WritePackets(track);
}

HRESULT FfmpegMovieEncoder::Finish()
{
    if (!headerWritten) return E_UNEXPECTED;
    // Without one picture there is no movie, and no file is left that looks like one.
    if (std::none_of(tracks.begin(), tracks.end(),
                     [](const auto& track) { return track->IsVideo() && track->framesSent > 0; })) {
        Abandon();
        return HRESULT_FROM_WIN32(ERROR_NO_DATA);
    }
    for (auto& track : tracks) {
        const HRESULT hr = Drain(*track);
        if (FAILED(hr)) {
            Abandon();
            return hr;
        }
    }
    int error = av_write_trailer(context);
    HRESULT hr = error < 0 ? HresultFromAv(error) : CheckOutput();
    if (SUCCEEDED(hr)) {
        error = avio_closep(&context->pb);
        if (error < 0) hr = HresultFromAv(error);
    }
    if (SUCCEEDED(hr)) hr = temporary.Commit();
    if (FAILED(hr)) {
        Abandon();
        return hr;
    }
    headerWritten = false;
    Close();
    return S_OK;
}

void FfmpegMovieEncoder::Interrupt() { interrupted = true; }

HRESULT FfmpegMovieEncoder::CheckOutput()
{
    if (context && context->pb && context->pb->error < 0) return HresultFromAv(context->pb->error);
    return S_OK;
}

void FfmpegMovieEncoder::Abandon()
{
    Close();
    temporary.Remove();
    headerWritten = false;
}

void FfmpegMovieEncoder::Close()
{
    tracks.clear();
    if (context) {
        if (context->pb) avio_closep(&context->pb);
        avformat_free_context(context);
        context = nullptr;
    }
}
