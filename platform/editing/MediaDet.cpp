#include "platform/editing/MediaDet.h"

#include "platform/base/WideText.h"
#include "platform/editing/SoundDecoder.h"
#include "platform/editing/TaskText.h"
#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

// Below this a format was guessed from little more than the file name.
constexpr int kMinProbeScore = AVPROBE_SCORE_RETRY;

AVMediaType TypeOf(const AVStream* stream) { return stream->codecpar->codec_type; }

} // namespace

struct MediaDet::File {
    AVFormatContext* format = nullptr;
    ~File() { avformat_close_input(&format); }
};

MediaDet::MediaDet() = default;
MediaDet::~MediaDet() = default;

HRESULT MediaDet::put_Filename(BSTR name)
{
    if (!name) return E_POINTER;
    std::lock_guard guard(lock);
    file.reset();
    streams.clear();
    current = 0;
    fileName = name;
    const std::string path = Utf8FromWide(fileName);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    auto opened = std::make_unique<File>();
    if (avformat_open_input(&opened->format, path.c_str(), nullptr, nullptr) < 0) return VFW_E_INVALID_FILE_FORMAT;
    if (opened->format->probe_score < kMinProbeScore || avformat_find_stream_info(opened->format, nullptr) < 0) {
        return VFW_E_INVALID_FILE_FORMAT;
    }
    for (unsigned i = 0; i < opened->format->nb_streams; ++i) {
        const AVMediaType type = TypeOf(opened->format->streams[i]);
        if (type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO) streams.push_back(static_cast<int>(i));
    }
    if (streams.empty()) return VFW_E_INVALID_FILE_FORMAT;
    file = std::move(opened);
    return S_OK;
}

HRESULT MediaDet::get_Filename(BSTR* name)
{
    if (!name) return E_POINTER;
    std::lock_guard guard(lock);
    return CopyTextToTaskMemory(fileName, name);
}

HRESULT MediaDet::get_OutputStreams(LONG* count)
{
    if (!count) return E_POINTER;
    std::lock_guard guard(lock);
    *count = 0;
    if (!file) return E_INVALIDARG;
    *count = static_cast<LONG>(streams.size());
    return S_OK;
}

HRESULT MediaDet::get_CurrentStream(LONG* stream)
{
    if (!stream) return E_POINTER;
    std::lock_guard guard(lock);
    *stream = current;
    return S_OK;
}

HRESULT MediaDet::put_CurrentStream(LONG stream)
{
    std::lock_guard guard(lock);
    if (!file) return E_INVALIDARG;
    if (stream < 0 || stream >= static_cast<LONG>(streams.size())) return E_INVALIDARG;
    current = stream;
    return S_OK;
}

int MediaDet::CurrentFileStream() const
{
    if (!file || current >= static_cast<LONG>(streams.size())) return -1;
    return streams[current];
}

int MediaDet::FirstVideoStream() const
{
    for (int index : streams) {
        if (TypeOf(file->format->streams[index]) == AVMEDIA_TYPE_VIDEO) return index;
    }
    return -1;
}

HRESULT MediaDet::get_StreamType(GUID* type)
{
    if (!type) return E_POINTER;
    std::lock_guard guard(lock);
    const int index = CurrentFileStream();
    if (index < 0) return E_INVALIDARG;
    *type = TypeOf(file->format->streams[index]) == AVMEDIA_TYPE_VIDEO ? MEDIATYPE_Video : MEDIATYPE_Audio;
    return S_OK;
}

HRESULT MediaDet::get_StreamLength(double* seconds)
{
    if (!seconds) return E_POINTER;
    std::lock_guard guard(lock);
    const int index = CurrentFileStream();
    if (index < 0) return E_INVALIDARG;
    const AVStream* stream = file->format->streams[index];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        *seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    } else if (file->format->duration != AV_NOPTS_VALUE && file->format->duration > 0) {
        *seconds = static_cast<double>(file->format->duration) / AV_TIME_BASE;
    } else {
        *seconds = 0.0;
    }
    return S_OK;
}

HRESULT MediaDet::get_StreamMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    std::lock_guard guard(lock);
    const int index = CurrentFileStream();
    if (index < 0) return E_INVALIDARG;
    const AVStream* stream = file->format->streams[index];
    const AVCodecParameters& codec = *stream->codecpar;
    *type = AM_MEDIA_TYPE{};
    type->bFixedSizeSamples = TRUE;
    if (TypeOf(stream) == AVMEDIA_TYPE_AUDIO) {
        // A sound the decoder cannot lay on a timeline is refused where it is chosen.
        if (!SoundDecoder::CanMix(codec.ch_layout)) return VFW_E_UNSUPPORTED_AUDIO;
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = static_cast<WORD>(codec.ch_layout.nb_channels);
        format.nSamplesPerSec = static_cast<DWORD>(codec.sample_rate);
        format.wBitsPerSample = 16;
        format.nBlockAlign = static_cast<WORD>(format.nChannels * 2);
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        type->majortype = MEDIATYPE_Audio;
        type->subtype = MEDIASUBTYPE_PCM;
        type->lSampleSize = format.nBlockAlign;
        type->formattype = FORMAT_WaveFormatEx;
        return AttachFormatBlock(*type, &format, sizeof format);
    }
    VIDEOINFOHEADER format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = codec.width;
    format.bmiHeader.biHeight = codec.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biSizeImage = static_cast<DWORD>(DibImageBytes(codec.width, codec.height, 24));
    if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0) {
        format.AvgTimePerFrame = static_cast<REFERENCE_TIME>(1e7 / av_q2d(stream->avg_frame_rate));
    }
    type->majortype = MEDIATYPE_Video;
    type->subtype = MEDIASUBTYPE_RGB24;
    type->lSampleSize = format.bmiHeader.biSizeImage;
    type->formattype = FORMAT_VideoInfo;
    return AttachFormatBlock(*type, &format, sizeof format);
}

HRESULT MediaDet::GetBitmapBits(double streamTime, LONG* bufferSize, char* buffer, LONG width, LONG height)
{
    if (!bufferSize && !buffer) return E_POINTER;
    // No larger side is drawn, so no request can exhaust memory.
    if (width <= 0 || height <= 0 || width > kMaxVideoSide || height > kMaxVideoSide || !std::isfinite(streamTime)) {
        return E_INVALIDARG;
    }
    const LONG needed = static_cast<LONG>(sizeof(BITMAPINFOHEADER) + DibImageBytes(width, height, 24));
    if (!buffer) {
        *bufferSize = needed;
        return S_OK;
    }
    if (bufferSize && *bufferSize != 0 && *bufferSize < needed) return E_INVALIDARG;
    std::lock_guard guard(lock);
    if (!file) return E_INVALIDARG;
    const int index = FirstVideoStream();
    if (index < 0) return VFW_E_INVALIDMEDIATYPE;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>(DibImageBytes(width, height, 24));
    std::memcpy(buffer, &header, sizeof header);
    return DecodeFrameInto(index, streamTime, reinterpret_cast<BYTE*>(buffer) + sizeof header, width, height);
}

namespace {

// The decoding state of one frame grab, released on every path.
struct FrameGrab {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    ~FrameGrab()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// The next decoded frame of the stream; false at the end or on an error.
bool NextFrame(FrameGrab& grab, int stream)
{
    for (;;) {
        const int received = avcodec_receive_frame(grab.codec, grab.frame);
        if (received == 0) return true;
        if (received != AVERROR(EAGAIN)) return false;
        if (av_read_frame(grab.format, grab.packet) < 0) {
            avcodec_send_packet(grab.codec, nullptr);
            continue;
        }
        if (grab.packet->stream_index == stream) avcodec_send_packet(grab.codec, grab.packet);
        av_packet_unref(grab.packet);
    }
}

bool ScaleBottomUp(const AVFrame& frame, BYTE* pixels, LONG width, LONG height)
{
    SwsContext* scaler = sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width,
                                        height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler) return false;
    // The last row first, walking upwards: a bottom-up bitmap.
    const auto stride = static_cast<LONG>(DibRowBytes(width, 24));
    uint8_t* planes[4] = {pixels + static_cast<std::ptrdiff_t>(stride) * (height - 1), nullptr, nullptr, nullptr};
    int strides[4] = {-stride, 0, 0, 0};
    const int rows = sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, strides);
    sws_freeContext(scaler);
    for (LONG row = 0; row < height; ++row) {
        std::memset(pixels + static_cast<std::ptrdiff_t>(stride) * row + width * 3, 0, stride - width * 3);
    }
    return rows == height;
}

} // namespace

HRESULT MediaDet::DecodeFrameInto(int stream, double streamTime, BYTE* pixels, LONG width, LONG height)
{
    FrameGrab grab;
    if (!grab.packet || !grab.frame) return E_OUTOFMEMORY;
    const std::string path = Utf8FromWide(fileName);
    if (avformat_open_input(&grab.format, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(grab.format, nullptr) < 0 || stream >= static_cast<int>(grab.format->nb_streams)) {
        return VFW_E_INVALID_FILE_FORMAT;
    }
    const AVStream* video = grab.format->streams[stream];
    const AVCodec* decoder = avcodec_find_decoder(video->codecpar->codec_id);
    if (!decoder) return VFW_E_NO_DECOMPRESSOR;
    grab.codec = avcodec_alloc_context3(decoder);
    if (!grab.codec) return E_OUTOFMEMORY;
    if (avcodec_parameters_to_context(grab.codec, video->codecpar) < 0 ||
        avcodec_open2(grab.codec, decoder, nullptr) < 0) {
        return VFW_E_NO_DECOMPRESSOR;
    }
    const double base = av_q2d(video->time_base);
    const auto wanted = static_cast<int64_t>(streamTime / base);
    if (streamTime > 0) av_seek_frame(grab.format, stream, wanted, AVSEEK_FLAG_BACKWARD);
    bool found = false;
    while (NextFrame(grab, stream)) {
        found = true;
        const int64_t stamp = grab.frame->best_effort_timestamp;
        if (streamTime <= 0 || stamp == AV_NOPTS_VALUE || stamp >= wanted) break;
        av_frame_unref(grab.frame);
        found = false;
    }
    if (!found) return VFW_E_FILE_TOO_SHORT;
    return ScaleBottomUp(*grab.frame, pixels, width, height) ? S_OK : E_FAIL;
}
