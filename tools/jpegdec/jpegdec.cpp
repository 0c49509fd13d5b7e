// jpegdec: decodes a JPEG file with the JpegDecoder library.
//
//   jpegdec [--dct 0|1] [--buffer] [--scale 2|4|8] [--cpu CLASS] [--roi L,T,R,B] [--max-pixels N] IN.jpg OUT.ppm|OUT.pgm|OUT.bmp
//   jpegdec [--buffer] --info IN.jpg
//   jpegdec [--buffer] --thumbnail IN.jpg OUT.ppm|OUT.bmp
//   jpegdec [--dct 0|1] [--buffer] [--scale 2|4|8] --tables TABLES.jpg ABBREVIATED.jpg OUT...
//   jpegdec [--cpu CLASS] --cpu-class
//   jpegdec --help | --version
//
// OUT.ppm: binary PPM, RGB, top row first (a grey picture gives equal triples).
// OUT.pgm: binary PGM, grey. OUT.bmp: 24-bit bottom-up BMP, decoded as BGR with a
// negative outHeight into rows padded to 4 bytes. --buffer reads the file into memory and
// uses the buffer operations instead of the file ones. --thumbnail writes the JFIF or JFXX
// thumbnail (an error when there is none). --tables loads the tables of a tables-only stream
// first and decodes an abbreviated stream with them. --cpu CLASS (0..7; 7 where the processor
// supports AVX2) uses the routines of that processor class for this run; without it the
// class is the "USECPU" registry value's, as in every program that decodes, else the
// detected one. --cpu-class prints that class ("cpu class: N") and decodes nothing. --scale N writes the picture reduced
// to 1/N in each direction (ceil(width / N) x ceil(height / N)). --roi LEFT,TOP,RIGHT,BOTTOM
// writes only that region of the (scaled) picture, clipped to it as the decoder clips it
// (negative left and top become 0, right and bottom of 0 mean the picture's edge).
// --max-pixels N refuses pictures of more than N pixels (width x height as declared; default
// 100,000,000, whose RGB output is 300 MB); a picture whose declared size the input is too
// short to code (jpegMinimumStreamBytes) is refused as well, before the output is allocated.
// On failure: "jpegdec: error CODE: MESSAGE", or a plain message for what the decoder does
// not offer (a 4-channel CMYK picture) or the two refusals, on standard error and exit status 1.
#include "jpeg/JpegDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <vector>

namespace {

// The decoded picture: zeroed pages straight from the kernel, in huge pages where it
// gives them, instead of a vector that faults in and clears every 4 KiB page itself
// (a 12-megapixel picture is 36 MB; clearing it twice cost about a seventh of the run).
// It is mapped in whole huge pages: a tail in small ones took most of the page faults left.
class PixelBuffer {
public:
    explicit PixelBuffer(std::size_t bytes) : length(bytes), mapped((bytes + kHugePage - 1) / kHugePage * kHugePage)
    {
        if (length == 0) return;
        void* pages = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) return;
        madvise(pages, mapped, MADV_HUGEPAGE);
        start = static_cast<unsigned char*>(pages);
    }
    ~PixelBuffer()
    {
        if (start) munmap(start, mapped);
    }
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    bool Allocated() const { return start != nullptr || length == 0; }
    unsigned char* Bytes() const { return start; }
    std::size_t Size() const { return length; }

private:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    std::size_t length;
    std::size_t mapped;
    unsigned char* start = nullptr;
};

constexpr int kUsageExit = 2;

void printUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: jpegdec [--dct 0|1] [--buffer] [--scale 2|4|8] [--cpu CLASS] [--roi L,T,R,B] [--max-pixels N] "
                 "IN.jpg OUT.ppm|OUT.pgm|OUT.bmp\n"
                 "       jpegdec [--buffer] --info IN.jpg\n"
                 "       jpegdec [--buffer] --thumbnail IN.jpg OUT.ppm|OUT.bmp\n"
                 "       jpegdec [--dct 0|1] [--buffer] [--scale 2|4|8] --tables TABLES.jpg ABBREVIATED.jpg OUT\n"
                 "       jpegdec [--cpu CLASS] --cpu-class\n"
                 "       jpegdec --help | --version\n");
}

int usage()
{
    printUsage(stderr);
    return kUsageExit;
}

int usageError(const std::string& what)
{
    std::fprintf(stderr, "jpegdec: %s (see jpegdec --help)\n", what.c_str());
    return kUsageExit;
}

int missingValue(const std::string& option) { return usageError("missing value for " + option); }

int badValue(const std::string& option, const std::string& value, const char* wanted)
{
    return usageError(option + " takes " + wanted + ", not \"" + value + "\"");
}

int fail(int code)
{
    std::fprintf(stderr, "jpegdec: error %d: %s\n", code, jpegErrorString(code));
    return 1;
}

bool endsWith(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
    return true;
}

const char* colorName(JpegColor c)
{
    switch (c) {
    case ColorRgb:
        return "rgb";
    case ColorBgr:
        return "bgr";
    case ColorYcbcr:
        return "ycbcr";
    case ColorGray:
        return "gray";
    case ColorRgba:
        return "rgba";
    case ColorYcbcra:
        return "ycbcra";
    case ColorOther:
        return "other";
    }
    return "unknown";
}

const char* subsamplingName(JpegSubsampling s)
{
    switch (s) {
    case SubsampleNone:
        return "none";
    case Subsample2x2:
        return "2x2";
    case Subsample2x1:
        return "2x1";
    case Subsample2x2Alpha:
        return "2x2-alpha";
    case Subsample2x1Alpha:
        return "2x1-alpha";
    case SubsampleOther:
        return "other";
    }
    return "unknown";
}

void put16(std::vector<unsigned char>& v, unsigned x)
{
    v.push_back(static_cast<unsigned char>(x));
    v.push_back(static_cast<unsigned char>(x >> 8));
}
void put32(std::vector<unsigned char>& v, unsigned x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

bool readAll(const std::string& name, std::vector<unsigned char>& out)
{
    std::ifstream f(name, std::ios::binary);
    if (!f) return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

// The frame of an abbreviated stream, read as a complete one: the tables stream without
// its EOI, then the abbreviated stream after its SOI.
std::vector<unsigned char> joinTables(const std::vector<unsigned char>& tables,
                                      const std::vector<unsigned char>& abbreviated)
{
    std::vector<unsigned char> joined(tables.begin(), tables.end() - (tables.size() >= 2 ? 2 : 0));
    if (abbreviated.size() >= 2) joined.insert(joined.end(), abbreviated.begin() + 2, abbreviated.end());
    return joined;
}

// LEFT,TOP,RIGHT,BOTTOM as four integers.
bool parseRegion(const std::string& text, std::int32_t roi[4])
{
    std::size_t at = 0;
    for (int k = 0; k < 4; ++k) {
        std::size_t used = 0;
        long v;
        try {
            v = std::stol(text.substr(at), &used);
        } catch (...) {
            return false;
        }
        if (v < INT32_MIN || v > INT32_MAX) return false;
        roi[k] = static_cast<std::int32_t>(v);
        at += used;
        if (k < 3) {
            if (at >= text.size() || text[at] != ',') return false;
            ++at;
        }
    }
    return at == text.size();
}

// The region's size in a picture of w x h, clipped as the decoder clips it (0 when empty).
void regionSize(const std::int32_t roi[4], std::uint32_t& w, std::uint32_t& h)
{
    const std::int64_t left = std::max(roi[0], 0), top = std::max(roi[1], 0);
    const std::int64_t right = roi[2] == 0 ? w : std::min<std::int64_t>(roi[2], w);
    const std::int64_t bottom = roi[3] == 0 ? h : std::min<std::int64_t>(roi[3], h);
    w = right > left ? static_cast<std::uint32_t>(right - left) : 0;
    h = bottom > top ? static_cast<std::uint32_t>(bottom - top) : 0;
}

constexpr std::uint64_t kDefaultMaxPixels = 100'000'000;

// N >= 1 as a whole decimal number.
bool parseCount(const std::string& text, std::uint64_t& n)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    n = std::stoull(text);
    return n >= 1;
}

// The bytes of the input the params read came from.
std::uint64_t inputBytes(const std::string& file, bool buffered, std::size_t bufferSize)
{
    if (buffered) return bufferSize;
    struct stat st;
    return ::stat(file.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// Refuses, before the output is allocated, a picture above the pixel cap or one that the
// input is too short to code.
bool refusePicture(const JpegContext& c, std::uint64_t maxPixels, std::uint64_t bytes)
{
    const std::uint64_t pixels = static_cast<std::uint64_t>(c.imageWidth) * c.imageHeight;
    if (pixels > maxPixels) {
        std::fprintf(stderr, "jpegdec: %ux%u picture exceeds --max-pixels %llu\n", c.imageWidth, c.imageHeight,
                     static_cast<unsigned long long>(maxPixels));
        return true;
    }
    const std::uint64_t needed = jpegMinimumStreamBytes(&c);
    if (needed > bytes) {
        std::fprintf(stderr, "jpegdec: %ux%u picture cannot be coded in %llu bytes (needs at least %llu)\n",
                     c.imageWidth, c.imageHeight, static_cast<unsigned long long>(bytes),
                     static_cast<unsigned long long>(needed));
        return true;
    }
    return false;
}

int unsupportedChannels(std::uint32_t n)
{
    if (n == 4)
        std::fprintf(stderr, "jpegdec: 4-channel (CMYK) JPEG not supported\n");
    else
        std::fprintf(stderr, "jpegdec: %u-channel JPEG not supported\n", n);
    return 1;
}

// Closes the context on every path.
struct Context {
    JpegContext c;
    bool live = false;
    ~Context()
    {
        if (live) jpegFree(&c);
    }
};

} // namespace

int main(int argc, char** argv)
{
    bool info = false, buffer = false, thumbnail = false, showCpuClass = false;
    std::string tablesFile;
    int dct = 1;
    std::uint32_t scale = 1;
    int cpuClass = -1;
    bool region = false;
    std::int32_t roi[4] = {};
    std::uint64_t maxPixels = kDefaultMaxPixels;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        // The value after an option; null when the line ends there.
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--help") {
            printUsage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("jpegdec (Reelsmith) %s\n", REELSMITH_VERSION);
            return 0;
        } else if (a == "--info") {
            info = true;
        } else if (a == "--cpu-class") {
            showCpuClass = true;
        } else if (a == "--cpu") {
            const char* v = value();
            if (!v) return missingValue(a);
            if (std::strlen(v) != 1 || v[0] < '0' || v[0] > '7') return badValue(a, v, "a class from 0 to 7");
            cpuClass = v[0] - '0';
        } else if (a == "--roi") {
            const char* v = value();
            if (!v) return missingValue(a);
            if (!parseRegion(v, roi)) return badValue(a, v, "LEFT,TOP,RIGHT,BOTTOM");
            region = true;
        } else if (a == "--max-pixels") {
            const char* v = value();
            if (!v) return missingValue(a);
            if (!parseCount(v, maxPixels)) return badValue(a, v, "a whole number of pixels");
        } else if (a == "--thumbnail") {
            thumbnail = true;
        } else if (a == "--tables") {
            const char* v = value();
            if (!v) return missingValue(a);
            tablesFile = v;
        } else if (a == "--buffer") {
            buffer = true;
        } else if (a == "--dct") {
            const char* v = value();
            if (!v) return missingValue(a);
            if (std::strcmp(v, "0") != 0 && std::strcmp(v, "1") != 0) return badValue(a, v, "0 or 1");
            dct = v[0] == '0' ? 0 : 1;
        } else if (a == "--scale") {
            const char* v = value();
            if (!v) return missingValue(a);
            if (std::strcmp(v, "2") != 0 && std::strcmp(v, "4") != 0 && std::strcmp(v, "8") != 0)
                return badValue(a, v, "2, 4 or 8");
            scale = static_cast<std::uint32_t>(v[0] - '0');
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != (showCpuClass ? 0u : info ? 1u : 2u)) return usage();

    if (info && (thumbnail || !tablesFile.empty())) return usage();
    if (showCpuClass && (info || thumbnail || region || buffer || !tablesFile.empty())) return usage();
    if (region && (info || thumbnail)) return usage();

    std::vector<unsigned char> bytes, tables;
    if (buffer && !readAll(files[0], bytes)) return fail(JpegInvalidFileName);
    if (!tablesFile.empty() && !readAll(tablesFile, tables)) return fail(JpegInvalidFileName);

    Context ctx;
    int rc = jpegInit(&ctx.c);
    if (rc != JpegSuccess) return fail(rc);
    ctx.live = true;
    JpegContext& c = ctx.c;
    c.props.dctType = static_cast<std::uint32_t>(dct);
    if (cpuClass >= 0 && (rc = jpegSetCpuClass(&c, cpuClass)) != JpegSuccess) return fail(rc);
    if (showCpuClass) {
        std::printf("cpu class: %d\n", jpegCpuClass(&c));
        return 0;
    }
    std::vector<unsigned char> joined;
    if (!tablesFile.empty()) {
        if (!buffer && !readAll(files[0], bytes)) return fail(JpegInvalidFileName);
        joined = joinTables(tables, bytes);
        c.inBuffer = joined.data();
        c.inBufferSize = static_cast<std::uint32_t>(joined.size());
        rc = jpegRead(&c, ReadParamsBuffer);
    } else if (buffer) {
        c.inBuffer = bytes.data();
        c.inBufferSize = static_cast<std::uint32_t>(bytes.size());
        rc = jpegRead(&c, ReadParamsBuffer);
    } else {
        c.inFileName = files[0].c_str();
        rc = jpegRead(&c, ReadParamsFile);
    }
    if (rc != JpegSuccess) return fail(rc);

    if (info) {
        std::printf("width: %u\nheight: %u\nchannels: %u\ncolor: %s\nsubsampling: %s\nthumbnail: %ux%u\n", c.imageWidth,
                    c.imageHeight, c.imageChannels, colorName(c.imageColor), subsamplingName(c.imageSubsampling),
                    c.thumbWidth, c.thumbHeight);
        return 0;
    }

    const std::uint64_t have = tablesFile.empty() ? inputBytes(files[0], buffer, bytes.size()) : joined.size();
    if (!thumbnail && refusePicture(c, maxPixels, have)) return 1;

    const std::string& out = files[1];
    enum { Ppm, Pgm, Bmp } kind;
    if (endsWith(out, ".ppm"))
        kind = Ppm;
    else if (endsWith(out, ".pgm"))
        kind = Pgm;
    else if (endsWith(out, ".bmp"))
        kind = Bmp;
    else
        return usage();

    if (thumbnail && (kind == Pgm || c.thumbWidth == 0 || c.thumbHeight == 0)) {
        std::fprintf(stderr, "jpegdec: %s\n", kind == Pgm ? "a thumbnail is written as PPM or BMP" : "no thumbnail");
        return 1;
    }
    std::uint32_t w = thumbnail ? c.thumbWidth : (c.imageWidth + scale - 1) / scale;
    std::uint32_t h = thumbnail ? c.thumbHeight : (c.imageHeight + scale - 1) / scale;
    if (region) {
        regionSize(roi, w, h);
        // An empty region: the decoder refuses it (with an output of one pixel to refuse).
        if (w == 0 || h == 0) w = h = 1;
        std::copy(roi, roi + 4, c.props.roi);
    }
    // The image's own colour as the params read reported it; for more than 3 or fewer
    // than 3 components other than grey, the picture source's "other" pairing.
    const JpegColor image = c.imageColor;
    const std::uint32_t n = c.imageChannels;
    if (kind == Pgm) {
        if (n != 1 && n != 3) return unsupportedChannels(n);
        if (n == 3 && image != ColorYcbcr) return fail(JpegInvalidProperties);
        c.outColor = ColorGray;
        c.outChannels = 1;
    } else {
        if (n == 1)
            c.imageColor = ColorGray;
        else if (n == 3 && image != ColorRgb)
            c.imageColor = ColorYcbcr;
        else if (n != 3)
            return unsupportedChannels(n);
        c.outColor = kind == Bmp ? ColorBgr : ColorRgb;
        c.outChannels = 3;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(w) * c.outChannels;
    const std::size_t pad = kind == Bmp ? (4 - rowBytes % 4) % 4 : 0;
    const PixelBuffer pixels((rowBytes + pad) * h);
    if (!pixels.Allocated()) {
        std::fprintf(stderr, "jpegdec: no memory for a %ux%u picture\n", w, h);
        return 1;
    }
    c.outBuffer = pixels.Bytes();
    c.outWidth = w;
    c.outHeight = kind == Bmp ? -static_cast<std::int32_t>(h) : static_cast<std::int32_t>(h);
    c.outPadBytes = static_cast<std::int32_t>(pad);
    c.outSubsampling = SubsampleNone;
    JpegOperation op = buffer ? ReadImageBuffer : ReadImageFile;
    if (scale == 2)
        op = buffer ? ReadHalfBuffer : ReadHalfFile;
    else if (scale == 4)
        op = buffer ? ReadQuarterBuffer : ReadQuarterFile;
    else if (scale == 8)
        op = buffer ? ReadEighthBuffer : ReadEighthFile;
    if (thumbnail) op = buffer ? ReadThumbnailBuffer : ReadThumbnailFile;
    if (!tablesFile.empty()) {
        // The tables first, then the abbreviated stream with them (scaled reads keep the
        // tables too; the full-size read is the abbreviated operation itself).
        if (buffer) {
            c.inBuffer = tables.data();
            c.inBufferSize = static_cast<std::uint32_t>(tables.size());
        } else {
            c.inFileName = tablesFile.c_str();
        }
        rc = jpegRead(&c, buffer ? ReadTablesBuffer : ReadTablesFile);
        if (rc != JpegSuccess) return fail(rc);
        if (buffer) {
            c.inBuffer = bytes.data();
            c.inBufferSize = static_cast<std::uint32_t>(bytes.size());
        } else {
            c.inFileName = files[0].c_str();
        }
        if (scale == 1) op = buffer ? ReadAbbreviatedBuffer : ReadAbbreviatedFile;
    }
    rc = jpegRead(&c, op);
    if (rc != JpegSuccess && rc != JpegRoiSuccess) return fail(rc);

    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "jpegdec: cannot write %s\n", out.c_str());
        return 1;
    }
    if (kind == Bmp) {
        std::vector<unsigned char> head;
        const std::uint32_t imageSize = static_cast<std::uint32_t>(pixels.Size());
        head.push_back('B');
        head.push_back('M');
        put32(head, 54 + imageSize);
        put32(head, 0);
        put32(head, 54);
        put32(head, 40);
        put32(head, w);
        put32(head, h); // positive: bottom-up
        put16(head, 1);
        put16(head, 24);
        put32(head, 0);
        put32(head, imageSize);
        put32(head, 2835);
        put32(head, 2835);
        put32(head, 0);
        put32(head, 0);
        std::fwrite(head.data(), 1, head.size(), f);
    } else {
        std::fprintf(f, "P%c\n%u %u\n255\n", kind == Ppm ? '6' : '5', w, h);
    }
    const bool ok = std::fwrite(pixels.Bytes(), 1, pixels.Size(), f) == pixels.Size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "jpegdec: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
