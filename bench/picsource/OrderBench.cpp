// picture-order-bench: ordering a folder of 1,000 12-megapixel photographs by their Exif
// date taken, against the baseline of reading each photograph whole once (what any
// reader of the date would cost that does not stop at the first segments), on the same
// folder in the same run; also the bytes read per photograph, from /proc/self/io.
//
// Usage: picture-order-bench [COUNT]. The photograph is made once with ImageMagick in
// /tmp/picture-order-bench and linked COUNT times (default 1000), so the page cache
// holds it and the ratio is of the work done, not of the disk.
#include "picsource/PictureFolder.h"
#include "picsource/PictureOptions.h"
#include "platform/base/WideText.h"
#include "tests/common/ExifBlock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::filesystem::path kFolder = "/tmp/picture-order-bench";

void MakeFolder(int count)
{
    const std::filesystem::path photo = kFolder / "photo.source";
    std::filesystem::create_directories(kFolder / "links");
    if (!std::filesystem::exists(photo)) {
        const std::string plain = (kFolder / "plain.jpg").string();
        const std::string command = "convert -seed 1 -size 500x375 plasma:fractal -resize 4000x3000! -attenuate 0.4 "
                                    "+noise Gaussian -quality 90 " +
                                    plain;
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "picture-order-bench: ImageMagick failed\n");
            std::exit(1);
        }
        std::ifstream in(plain, std::ios::binary);
        const exiftest::Bytes jpeg(std::istreambuf_iterator<char>(in), {});
        // DateTime (0x0132) of the first directory, its string right after the directory.
        exiftest::Bytes body = exiftest::ExifBody(false, {{0x0132, 2, 20, 8 + 2 + 12 + 4}});
        const std::string date("2024:07:01 12:00:00\0", 20);
        body.insert(body.end(), date.begin(), date.end());
        const exiftest::Bytes tagged = exiftest::WithApp1(jpeg, body);
        std::ofstream(photo, std::ios::binary)
            .write(reinterpret_cast<const char*>(tagged.data()), static_cast<std::streamsize>(tagged.size()));
    }
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path link = kFolder / "links" / ("IMG_" + std::to_string(i) + ".jpg");
        if (!std::filesystem::exists(link)) std::filesystem::create_hard_link(photo, link);
    }
}

long long BytesRead()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    MakeFolder(count);
    const std::u16string folder = WideFromUtf8((kFolder / "links").string() + "/");
    const std::vector<std::u16string> listed = PictureFolder::List(folder);

    const long long before = BytesRead();
    const Clock::time_point start = Clock::now();
    const std::vector<std::u16string> ordered = PictureFolder::Ordered(folder, listed, OrderDate);
    const double orderSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long long orderBytes = BytesRead() - before;

    const long long wholeBefore = BytesRead();
    const Clock::time_point wholeStart = Clock::now();
    std::vector<char> buffer;
    for (const std::u16string& name : listed) {
        std::ifstream in(Utf8FromWide(folder + name), std::ios::binary);
        buffer.assign(std::istreambuf_iterator<char>(in), {});
    }
    const double wholeSeconds = std::chrono::duration<double>(Clock::now() - wholeStart).count();
    const long long wholeBytes = BytesRead() - wholeBefore;

    const double pictures = static_cast<double>(listed.size());
    std::printf("%zu photographs of %zu bytes\n", listed.size(), buffer.size());
    std::printf("ordered by date:   %8.1f ms, %10.0f bytes read per photograph\n", orderSeconds * 1000,
                static_cast<double>(orderBytes) / pictures);
    std::printf("read whole (base): %8.1f ms, %10.0f bytes read per photograph\n", wholeSeconds * 1000,
                static_cast<double>(wholeBytes) / pictures);
    std::printf("time ratio %.3f, bytes ratio %.5f (ordered / read whole)\n", orderSeconds / wholeSeconds,
                static_cast<double>(orderBytes) / static_cast<double>(wholeBytes));
    return ordered.size() == listed.size() ? 0 : 1;
}
