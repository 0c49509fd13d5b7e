#include "platform/editing/SoundDecoder.h"

#include "platform/mediagraph/MediaResults.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <utility>

struct SoundDecoder::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    int rate = 0;
    bool draining = false;

    ~State()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

SoundDecoder::SoundDecoder() = default;
SoundDecoder::~SoundDecoder() = default;

bool SoundDecoder::CanMix(const AVChannelLayout& layout)
{
    // The most a layout of named channels holds.
    constexpr int kMaxNamedChannels = 64;
    if (layout.nb_channels <= 0 || layout.nb_channels > kMaxNamedChannels) return false;
    if (layout.order != AV_CHANNEL_ORDER_UNSPEC) return true;
    AVChannelLayout standard;
    av_channel_layout_default(&standard, layout.nb_channels);
    const bool named = standard.order == AV_CHANNEL_ORDER_NATIVE;
    av_channel_layout_uninit(&standard);
    return named;
}

HRESULT SoundDecoder::Open(const std::string& path, int rate, int outputChannels)
{
    auto opened = std::make_unique<State>();
    State& s = *opened;
    if (avformat_open_input(&s.format, path.c_str(), nullptr, nullptr) < 0) {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    if (avformat_find_stream_info(s.format, nullptr) < 0) return VFW_E_INVALID_FILE_FORMAT;
    const AVCodec* decoder = nullptr;
    s.stream = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (s.stream < 0 || !decoder) return VFW_E_UNSUPPORTED_AUDIO;
    if (!CanMix(s.format->streams[s.stream]->codecpar->ch_layout)) return VFW_E_UNSUPPORTED_AUDIO;
    s.codec = avcodec_alloc_context3(decoder);
    if (!s.codec) return E_OUTOFMEMORY;
    if (avcodec_parameters_to_context(s.codec, s.format->streams[s.stream]->codecpar) < 0 ||
        avcodec_open2(s.codec, decoder, nullptr) < 0) {
        return VFW_E_UNSUPPORTED_AUDIO;
    }
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, outputChannels);
    AVChannelLayout inLayout;
    if (s.codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&inLayout, s.codec->ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&inLayout, &s.codec->ch_layout);
    }
    const int made = swr_alloc_set_opts2(&s.resampler, &outLayout, AV_SAMPLE_FMT_S16, rate, &inLayout,
                                         s.codec->sample_fmt, s.codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || swr_init(s.resampler) < 0) return VFW_E_UNSUPPORTED_AUDIO;
    s.packet = av_packet_alloc();
    s.frame = av_frame_alloc();
    if (!s.packet || !s.frame) return E_OUTOFMEMORY;
    s.rate = rate;
    state = std::move(opened);
    channels = outputChannels;
    pending.clear();
    pendingOffset = 0;
    finished = false;
    return S_OK;
}

bool SoundDecoder::ConvertFrame()
{
    State& s = *state;
    const int room = swr_get_out_samples(s.resampler, s.frame ? s.frame->nb_samples : 0);
    if (room <= 0) return true;
    const std::size_t before = pending.size();
    pending.resize(before + static_cast<std::size_t>(room) * channels);
    auto* out = reinterpret_cast<uint8_t*>(pending.data() + before);
    const uint8_t** in = s.frame ? const_cast<const uint8_t**>(s.frame->extended_data) : nullptr;
    const int converted = swr_convert(s.resampler, &out, room, in, s.frame ? s.frame->nb_samples : 0);
    pending.resize(before + static_cast<std::size_t>(std::max(converted, 0)) * channels);
    return converted >= 0;
}

bool SoundDecoder::DecodeMore()
{
    if (!state || finished) return false;
    State& s = *state;
    for (;;) {
        const int received = avcodec_receive_frame(s.codec, s.frame);
        if (received == 0) {
            const bool converted = ConvertFrame();
            av_frame_unref(s.frame);
            return converted;
        }
        if (received == AVERROR_EOF) {
            // Whatever the resampler still holds ends the sound.
            AVFrame* frame = std::exchange(s.frame, nullptr);
            ConvertFrame();
            s.frame = frame;
            finished = true;
            return true;
        }
        if (received != AVERROR(EAGAIN)) break;
        if (s.draining) break;
        const int read = av_read_frame(s.format, s.packet);
        if (read < 0) {
            s.draining = true;
            avcodec_send_packet(s.codec, nullptr);
            continue;
        }
        if (s.packet->stream_index == s.stream) {
            // A damaged packet is skipped; the next one may decode.
            avcodec_send_packet(s.codec, s.packet);
        }
        av_packet_unref(s.packet);
    }
    finished = true;
    return false;
}

std::size_t SoundDecoder::Read(std::int16_t* out, std::size_t frames)
{
    if (!state) return 0;
    std::size_t written = 0;
    while (written < frames) {
        const std::size_t available = (pending.size() - pendingOffset) / channels;
        if (available == 0) {
            pending.clear();
            pendingOffset = 0;
            if (!DecodeMore() && pending.empty()) break;
            continue;
        }
        const std::size_t take = std::min(available, frames - written);
        std::memcpy(out + written * channels, pending.data() + pendingOffset, take * channels * sizeof(std::int16_t));
        pendingOffset += take * channels;
        written += take;
    }
    return written;
}

void SoundDecoder::Skip(std::int64_t frames)
{
    std::vector<std::int16_t> scratch(4096 * static_cast<std::size_t>(channels));
    while (frames > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(frames, 4096));
        const std::size_t got = Read(scratch.data(), want);
        if (got == 0) return;
        frames -= static_cast<std::int64_t>(got);
    }
}
