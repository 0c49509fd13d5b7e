// wmformat-bench: how fast the ASF writer turns 640x480 frames into a WMV1
// movie at 185,000 bit/s, against the `ffmpeg` command line encoding the same
// raw frames to wmv1 in ASF at the same bit rate, frame rate and key-frame
// spacing, in the same run. The ratio "ours / ffmpeg" compares frames per
// second; the ffmpeg time includes its start-up, which is small next to the
// encoding of a few hundred frames.
//
// Our side is the writer's encoding core (FfmpegMovieEncoder) fed from memory, as the
// writer's input pin feeds it: scaling from bottom-up BGR, encoding, muxing,
// writing the file. Usage: wmformat-bench [FRAMES] [ROUNDS].
#include "platform/wmformat/FfmpegMovieEncoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;
constexpr DWORD kBitrate = 185000;
constexpr REFERENCE_TIME kFrameTime = 5'000'000; // 500 ms a picture
constexpr REFERENCE_TIME kKeyFrameSpacing = 80'000'000;

// Frames that change every time, with texture, so the encoder has work to do.
std::vector<std::vector<BYTE>> MakeFrames(int count)
{
    const auto stride = static_cast<std::size_t>(DibRowBytes(kWidth, 24));
    std::vector<std::vector<BYTE>> frames(static_cast<std::size_t>(count));
    uint32_t noise = 12345;
    for (int f = 0; f < count; ++f) {
        std::vector<BYTE>& frame = frames[static_cast<std::size_t>(f)];
        frame.resize(stride * kHeight);
        for (LONG y = 0; y < kHeight; ++y) {
            for (LONG x = 0; x < kWidth; ++x) {
                noise = noise * 1664525u + 1013904223u;
                BYTE* pixel = &frame[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3];
                pixel[0] = static_cast<BYTE>((x + f * 7) ^ y);
                pixel[1] = static_cast<BYTE>((y * 2 + f * 3) + (noise >> 28));
                pixel[2] = static_cast<BYTE>((x * y / 64 + f * 11) & 0xFF);
            }
        }
    }
    return frames;
}

ProfileStream VideoStream()
{
    ProfileStream stream;
    stream.majorType = MEDIATYPE_Video;
    stream.number = 1;
    stream.bitrate = kBitrate;
    stream.subtype = WMMEDIASUBTYPE_WMV1;
    stream.formatType = FORMAT_VideoInfo;
    stream.maxKeyFrameSpacing = kKeyFrameSpacing;
    VIDEOINFOHEADER video{};
    video.dwBitRate = kBitrate;
    video.AvgTimePerFrame = kFrameTime;
    video.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    video.bmiHeader.biWidth = kWidth;
    video.bmiHeader.biHeight = kHeight;
    video.bmiHeader.biBitCount = 24;
    video.bmiHeader.biCompression = 0x31564D57;
    const auto* bytes = reinterpret_cast<const BYTE*>(&video);
    stream.format.assign(bytes, bytes + sizeof video);
    return stream;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double EncodeOurs(const std::vector<std::vector<BYTE>>& frames, const std::string& path)
{
    FfmpegMovieEncoder writer;
    MovieInput input;
    input.video = VideoFormat::Rgb24(kWidth, kHeight, kFrameTime);
    const auto started = Clock::now();
    HRESULT hr = writer.Open(path, {VideoStream()}, {input});
    for (std::size_t i = 0; SUCCEEDED(hr) && i < frames.size(); ++i) {
        const auto start = static_cast<REFERENCE_TIME>(i) * kFrameTime;
        hr = writer.WriteVideo(0, frames[i].data(), frames[i].size(), start, start + kFrameTime);
    }
    if (SUCCEEDED(hr)) hr = writer.Finish();
    if (FAILED(hr)) {
        std::fprintf(stderr, "wmformat-bench: our writer failed with 0x%x\n", static_cast<unsigned>(hr));
        std::exit(1);
    }
    return Seconds(Clock::now() - started);
}

// ffmpeg reads top-down rows: the same frames turned over, so both encode the same pictures.
void WriteRaw(const std::vector<std::vector<BYTE>>& frames, const std::string& path)
{
    const auto stride = static_cast<std::size_t>(DibRowBytes(kWidth, 24));
    std::ofstream out(path, std::ios::binary);
    for (const std::vector<BYTE>& frame : frames) {
        for (LONG y = kHeight - 1; y >= 0; --y) {
            out.write(reinterpret_cast<const char*>(&frame[static_cast<std::size_t>(y) * stride]), kWidth * 3);
        }
    }
}

double EncodeFfmpeg(const std::string& raw, const std::string& path)
{
    const long gop = static_cast<long>(kKeyFrameSpacing / kFrameTime);
    const std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt bgr24 -s " + std::to_string(kWidth) + "x" +
                                std::to_string(kHeight) + " -r 2 -i " + raw + " -c:v wmv1 -b:v " +
                                std::to_string(kBitrate) + " -g " + std::to_string(gop) + " -f asf " + path;
    const auto started = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "wmformat-bench: ffmpeg failed: %s\n", command.c_str());
        std::exit(1);
    }
    return Seconds(Clock::now() - started);
}

double KilobitsPerSecond(const std::string& path, int frames)
{
    const double seconds = frames * (kFrameTime / 1e7);
    return static_cast<double>(std::filesystem::file_size(path)) * 8 / seconds / 1000;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string folder = std::filesystem::temp_directory_path() / "wmformat-bench";
    std::filesystem::create_directories(folder);
    const std::string ours = folder + "/ours.wmv";
    const std::string theirs = folder + "/ffmpeg.wmv";
    const std::string raw = folder + "/frames.bgr";

    std::printf("making %d frames of %ldx%ld\n", count, static_cast<long>(kWidth), static_cast<long>(kHeight));
    const std::vector<std::vector<BYTE>> frames = MakeFrames(count);
    WriteRaw(frames, raw);

    double best = 1e9;
    double bestFfmpeg = 1e9;
    for (int round = 0; round < rounds; ++round) {
        best = std::min(best, EncodeOurs(frames, ours));
        bestFfmpeg = std::min(bestFfmpeg, EncodeFfmpeg(raw, theirs));
    }
    const double fps = count / best;
    const double fpsFfmpeg = count / bestFfmpeg;
    std::printf("frames %d, best of %d rounds, 640x480, %u bit/s, 2 frames/s, key frame every 16\n", count, rounds,
                static_cast<unsigned>(kBitrate));
    std::printf("ours    %8.1f frames/s  %7.1f kbit/s in the file\n", fps, KilobitsPerSecond(ours, count));
    std::printf("ffmpeg  %8.1f frames/s  %7.1f kbit/s in the file\n", fpsFfmpeg, KilobitsPerSecond(theirs, count));
    std::printf("ratio ours / ffmpeg: %.2f\n", fps / fpsFfmpeg);
    std::filesystem::remove_all(folder);
    return 0;
}
