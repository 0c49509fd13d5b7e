// jpeg-bench: decodes the same bytes to the same output with our JpegDecoder and with
// TurboJPEG in the same run, over a photograph of 3.1 megapixels that it makes
// deterministically and encodes with TurboJPEG at 4:2:0, 4:2:2, 4:4:4, as progressive
// 4:2:0 and 4:4:4 files (TurboJPEG's default scan script: spectral selection and successive
// approximation) and as gray. Both decoders write tightly packed top-down RGB; TurboJPEG runs with
// TJFLAG_FASTUPSAMPLE (chroma replicated, as ours does) and its default accurate integer
// transform (ours: dctType 1). The 1/8 row reads the 4:2:0 file with our ReadEighthBuffer and
// with TurboJPEG scaled to the same 1/8 size.
// TurboJPEG runs twice: as linked (its SIMD dispatch picks AVX2 where the processor has it)
// and as a second copy limited to SSE2, the instruction set of our SSE2 class. The targets
// (at most 1.0 for baseline, 1.1 for progressive, 1.0 at 1/8) are judged against each; the
// verdict holds when both are met.
// Times are the thread's CPU time in alternating rounds: megapixels (of the full picture) per
// second from each decoder's best round, ratios as the median over rounds of the two decode
// times of the same round. Also prints the largest byte difference between the outputs and,
// per kind, the same decode with the routines of each processor class (jpegSetCpuClass),
// then the plain, SSE2 and AVX2 classes (0, 6, 7) timed against each other in alternating
// rounds on the same input, with their ratios (AVX2 only where the processor has it).
//
//   jpeg-bench [--seconds S] [--quality Q] [--width W --height H] [--only ours|turbo]
//              [--classes 0|1] [--kind NAME]   (one kind only, for profiling)
#include "jpeg/JpegDecoder.h"

#include <dlfcn.h>
#include <turbojpeg.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// A small deterministic generator (xorshift64*).
struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed ? seed : 1) {}
    std::uint64_t next()
    {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ull;
    }
    double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
};

// Value noise on a lattice, smoothly interpolated.
struct Noise {
    int n;
    std::vector<float> v;
    Noise(int size, Rng& r) : n(size), v(static_cast<std::size_t>(size) * size)
    {
        for (auto& x : v) x = static_cast<float>(r.uniform());
    }
    float at(double x, double y) const
    {
        const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
        const double fx = x - x0, fy = y - y0;
        auto g = [&](int i, int j) { return v[static_cast<std::size_t>(((j % n) + n) % n) * n + ((i % n) + n) % n]; };
        const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
        const double a = g(x0, y0) + (g(x0 + 1, y0) - g(x0, y0)) * sx;
        const double b = g(x0, y0 + 1) + (g(x0 + 1, y0 + 1) - g(x0, y0 + 1)) * sx;
        return static_cast<float>(a + (b - a) * sy);
    }
};

// A photograph-like RGB picture: a sky-to-ground gradient, fractal texture at several
// scales, hard-edged shapes (buildings, discs) with their own texture, and sensor noise.
std::vector<unsigned char> makePhoto(int w, int h, std::uint64_t seed)
{
    Rng r(seed);
    Noise n1(64, r), n2(64, r), n3(64, r);
    struct Shape {
        double x0, y0, x1, y1;
        int kind;
        double cr, cg, cb;
    };
    std::vector<Shape> shapes;
    for (int i = 0; i < 40; ++i) {
        const double x = r.uniform() * w, y = (0.3 + 0.7 * r.uniform()) * h;
        const double sw = (0.02 + 0.12 * r.uniform()) * w, sh = (0.05 + 0.3 * r.uniform()) * h;
        shapes.push_back({x, y, x + sw, y + sh, static_cast<int>(r.next() % 2), 40 + 200 * r.uniform(),
                          40 + 200 * r.uniform(), 40 + 200 * r.uniform()});
    }
    std::vector<unsigned char> img(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const double t = static_cast<double>(y) / h;
        for (int x = 0; x < w; ++x) {
            double cr, cg, cb;
            if (t < 0.35) { // sky
                cr = 110 + 90 * t;
                cg = 150 + 70 * t;
                cb = 235 - 40 * t;
                const double cloud = n1.at(x / 180.0, y / 90.0) * 0.7 + n2.at(x / 60.0, y / 40.0) * 0.3;
                if (cloud > 0.55) {
                    const double k = std::min(1.0, (cloud - 0.55) * 4);
                    cr += (245 - cr) * k;
                    cg += (245 - cg) * k;
                    cb += (250 - cb) * k;
                }
            } else { // ground: grass and soil
                const double tex =
                    n1.at(x / 40.0, y / 40.0) * 0.5 + n2.at(x / 9.0, y / 9.0) * 0.35 + n3.at(x / 2.5, y / 2.5) * 0.15;
                cr = 60 + 110 * tex;
                cg = 90 + 100 * tex;
                cb = 30 + 60 * tex;
            }
            for (const Shape& s : shapes) {
                bool in;
                if (s.kind == 0) {
                    in = x >= s.x0 && x < s.x1 && y >= s.y0 && y < s.y1;
                } else {
                    const double cx = (s.x0 + s.x1) / 2, cy = (s.y0 + s.y1) / 2, rr = (s.x1 - s.x0) / 2;
                    in = (x - cx) * (x - cx) + (y - cy) * (y - cy) < rr * rr;
                }
                if (in) {
                    const double tex = 0.75 + 0.25 * n3.at(x / 3.0, y / 7.0);
                    const bool window = s.kind == 0 && (x / 12) % 3 == 0 && (y / 16) % 3 == 0;
                    cr = s.cr * tex * (window ? 0.3 : 1);
                    cg = s.cg * tex * (window ? 0.3 : 1);
                    cb = s.cb * tex * (window ? 0.4 : 1);
                }
            }
            const double noise = (r.uniform() - 0.5) * 10;
            unsigned char* p = &img[(static_cast<std::size_t>(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(std::clamp(cr + noise, 0.0, 255.0));
            p[1] = static_cast<unsigned char>(std::clamp(cg + noise, 0.0, 255.0));
            p[2] = static_cast<unsigned char>(std::clamp(cb + noise, 0.0, 255.0));
        }
    }
    return img;
}

// Thread CPU time: what the decoders spend, less exposed to other load on the machine
// than the wall clock.
double now()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Times decoders for about `seconds` each, alternating short rounds so that all see the
// same machine load; per decoder, the seconds per decode of each round. A decoder that is not
// timed runs once a round.
std::vector<std::vector<double>> timeRounds(const std::vector<std::function<void()>>& runs,
                                            const std::vector<bool>& timed, double seconds)
{
    const int rounds = 10;
    for (const auto& run : runs) run(); // warm up
    std::vector<std::vector<double>> times(runs.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t which = 0; which < runs.size(); ++which) {
            int n = 0;
            const double start = now();
            double elapsed = 0;
            do {
                runs[which]();
                ++n;
                elapsed = now() - start;
            } while (timed[which] && elapsed < seconds / rounds);
            times[which].push_back(elapsed / n);
        }
    }
    return times;
}

double best(const std::vector<double>& t) { return *std::min_element(t.begin(), t.end()); }

// The median over rounds of a / b, each round's two times taken together.
double medianRatio(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> r;
    for (std::size_t i = 0; i < a.size(); ++i) r.push_back(a[i] / b[i]);
    std::sort(r.begin(), r.end());
    const std::size_t m = r.size() / 2;
    return r.size() % 2 ? r[m] : (r[m - 1] + r[m]) / 2;
}

// Whether a stream's frame header is progressive (SOF2); TurboJPEG is asked for each kind
// with a fresh handle, but the check keeps a row from silently measuring the wrong kind.
bool isProgressive(const unsigned char* jpeg, unsigned long size)
{
    for (unsigned long i = 2; i + 1 < size; ++i) {
        if (jpeg[i] != 0xFF) continue;
        const unsigned char m = jpeg[i + 1];
        if (m == 0xC0 || m == 0xC1) return false;
        if (m == 0xC2) return true;
        if (m >= 0xC4 && m != 0xD8 && m != 0xFF && m != 0x00 && i + 3 < size)
            i += 1 + ((jpeg[i + 2] << 8) | jpeg[i + 3]); // skip the segment
    }
    return false;
}

struct Kind {
    const char* name;
    int samp;
    bool progressive;
    double limit;
    int scale;
};

struct Input {
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
};

// Our decode of one picture as the picture source runs it: init, params, image, free;
// cpuClass -1 keeps the detected class. False when a step fails.
bool decodeOurs(const Input& in, int cpuClass, int scale, int sw, int sh, unsigned char* out)
{
    JpegContext c;
    if (jpegInit(&c) != 0) return false;
    bool ok = cpuClass < 0 || jpegSetCpuClass(&c, cpuClass) == 0;
    c.inBuffer = in.jpeg;
    c.inBufferSize = static_cast<std::uint32_t>(in.size);
    ok = ok && jpegRead(&c, ReadParamsBuffer) == 0;
    c.imageColor = c.imageChannels == 1 ? ColorGray : ColorYcbcr;
    c.outColor = ColorRgb;
    c.outChannels = 3;
    c.outBuffer = out;
    c.outWidth = static_cast<std::uint32_t>(sw);
    c.outHeight = sh;
    ok = ok && jpegRead(&c, scale == 8 ? ReadEighthBuffer : ReadImageBuffer) == 0;
    jpegFree(&c);
    return ok;
}

constexpr int kTurboFlags = TJFLAG_FASTUPSAMPLE;

// TurboJPEG's decompression entry points, of the linked library or of a second copy.
struct Turbo {
    tjhandle (*init)() = nullptr;
    int (*decompress)(tjhandle, const unsigned char*, unsigned long, unsigned char*, int, int, int, int, int) = nullptr;
    int (*destroy)(tjhandle) = nullptr;
    char* (*error)(tjhandle) = nullptr;
    tjhandle handle = nullptr;
};

Turbo linkedTurbo()
{
    Turbo t;
    t.init = tjInitDecompress;
    t.decompress = tjDecompress2;
    t.destroy = tjDestroy;
    t.error = tjGetErrorStr2;
    t.handle = t.init();
    return t;
}

// A second copy of TurboJPEG with its SIMD limited to SSE2. The library reads
// JSIMD_FORCESSE2 once per copy, when its dispatch first initialises; a copy loaded into a new
// link-map namespace is separate from the linked one (which has initialised by then, having
// encoded the inputs) and is initialised here by decoding `probe` while the variable is set.
bool loadTurboSse2(Turbo& t, const Input& probe, int w, int h, unsigned char* out, std::string& why)
{
    setenv("JSIMD_FORCESSE2", "1", 1);
    void* lib = dlmopen(LM_ID_NEWLM, "libturbojpeg.so.0", RTLD_NOW | RTLD_LOCAL);
    bool ok = lib != nullptr;
    if (!ok) why = dlerror();
    if (ok) {
        t.init = reinterpret_cast<decltype(t.init)>(dlsym(lib, "tjInitDecompress"));
        t.decompress = reinterpret_cast<decltype(t.decompress)>(dlsym(lib, "tjDecompress2"));
        t.destroy = reinterpret_cast<decltype(t.destroy)>(dlsym(lib, "tjDestroy"));
        t.error = reinterpret_cast<decltype(t.error)>(dlsym(lib, "tjGetErrorStr2"));
        ok = t.init && t.decompress && t.destroy && t.error && (t.handle = t.init()) != nullptr;
        if (!ok) why = "entry points missing";
    }
    if (ok) {
        ok = t.decompress(t.handle, probe.jpeg, probe.size, out, w, 0, h, TJPF_RGB, kTurboFlags) == 0;
        if (!ok) why = "probe decode failed";
    }
    unsetenv("JSIMD_FORCESSE2");
    return ok;
}

// TurboJPEG picks its scaling factor from the requested size.
bool decodeTurbo(const Turbo& t, const Input& in, int sw, int sh, unsigned char* out)
{
    return t.decompress(t.handle, in.jpeg, in.size, out, sw, 0, sh, TJPF_RGB, kTurboFlags) == 0;
}

int maxDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, std::size_t used)
{
    int d = 0;
    for (std::size_t j = 0; j < used; ++j) d = std::max(d, std::abs(a[j] - b[j]));
    return d;
}

// The plain class against the SSE2 class and, where the processor runs it, the AVX2 class:
// ms per decode from each class's best round and the median ratios of the same rounds.
template <std::size_t N>
void printPlainSse2Avx2(const Kind (&kinds)[N], const Input (&inputs)[N], int w, int h, double seconds,
                        unsigned char* out)
{
    JpegContext probe;
    const bool avx2 = jpegInit(&probe) == 0 && jpegSetCpuClass(&probe, 7) == 0;
    jpegFree(&probe);
    std::printf("\nplain (class 0) / SSE2 (class 6) / AVX2 (class 7), alternating rounds%s\n",
                avx2 ? "" : ": no AVX2 on this processor, SSE2 only");
    std::printf("%-18s %9s %9s %9s %11s %11s %10s\n", "kind", "plain ms", "sse2 ms", "avx2 ms", "plain/sse2",
                "plain/avx2", "sse2/avx2");
    for (std::size_t i = 0; i < N; ++i) {
        const Kind& k = kinds[i];
        if (!inputs[i].jpeg) continue;
        const int sw = (w + k.scale - 1) / k.scale, sh = (h + k.scale - 1) / k.scale;
        std::vector<std::function<void()>> runs;
        for (int cls : {0, 6, 7})
            if (cls != 7 || avx2) runs.push_back([&, cls] { decodeOurs(inputs[i], cls, k.scale, sw, sh, out); });
        const auto t = timeRounds(runs, std::vector<bool>(runs.size(), true), seconds / 2);
        std::printf("%-18s %9.2f %9.2f", k.name, best(t[0]) * 1e3, best(t[1]) * 1e3);
        if (avx2)
            std::printf(" %9.2f %11.2f %11.2f %10.2f\n", best(t[2]) * 1e3, medianRatio(t[0], t[1]),
                        medianRatio(t[0], t[2]), medianRatio(t[1], t[2]));
        else
            std::printf(" %9s %11.2f %11s %10s\n", "-", medianRatio(t[0], t[1]), "-", "-");
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 3.0;
    int quality = 85, w = 2048, h = 1536;
    bool classes = true;
    std::string only, onlyKind;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (a == "--quality")
            quality = std::atoi(argv[i + 1]);
        else if (a == "--width")
            w = std::atoi(argv[i + 1]);
        else if (a == "--height")
            h = std::atoi(argv[i + 1]);
        else if (a == "--only")
            only = argv[i + 1];
        else if (a == "--classes")
            classes = std::atoi(argv[i + 1]) != 0;
        else if (a == "--kind")
            onlyKind = argv[i + 1];
    }
    std::printf("jpeg-bench: %dx%d (%.2f MP), quality %d, ~%.1f s per decoder and kind\n", w, h, w * h / 1e6, quality,
                seconds);
    std::printf("baseline: TurboJPEG %s tjDecompress2, TJPF_RGB, flags TJFLAG_FASTUPSAMPLE (replicated chroma), "
                "accurate integer IDCT, as linked (turbo) and as a copy limited to SSE2 (sse2, JSIMD_FORCESSE2); "
                "ours: ReadImageBuffer/ReadEighthBuffer, ColorRgb, dctType 1\n",
                TURBOJPEG_VERSION);
    const std::vector<unsigned char> photo = makePhoto(w, h, 20260101);

    const Kind kinds[] = {
        {"4:2:0", TJSAMP_420, false, 1.0, 1},
        {"4:2:2", TJSAMP_422, false, 1.0, 1},
        {"4:4:4", TJSAMP_444, false, 1.0, 1},
        {"progressive 4:2:0", TJSAMP_420, true, 1.1, 1},
        {"progressive 4:4:4", TJSAMP_444, true, 1.1, 1},
        {"4:2:0 at 1/8", TJSAMP_420, false, 1.0, 8},
        {"gray", TJSAMP_GRAY, false, 0, 1}, // no target: the picture source's gray case
    };
    Turbo turbo = linkedTurbo();
    std::vector<unsigned char> ours(static_cast<std::size_t>(w) * h * 3), theirs(ours.size());
    int detectedClass = -1;
    {
        JpegContext c;
        if (jpegInit(&c) == 0) detectedClass = jpegCpuClass(&c);
        jpegFree(&c);
    }
    std::printf("class of this processor: %d\n", detectedClass);

    Input inputs[std::size(kinds)];
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        const Kind& k = kinds[i];
        if (!onlyKind.empty() && onlyKind != k.name) continue;
        // A fresh handle per stream: TurboJPEG 2.1 keeps the progressive mode of an earlier
        // TJFLAG_PROGRESSIVE compression on the same handle.
        tjhandle enc = tjInitCompress();
        const int rc = tjCompress2(enc, photo.data(), w, 0, h, TJPF_RGB, &inputs[i].jpeg, &inputs[i].size, k.samp,
                                   quality, k.progressive ? TJFLAG_PROGRESSIVE : 0);
        tjDestroy(enc);
        if (rc != 0 || isProgressive(inputs[i].jpeg, inputs[i].size) != k.progressive) {
            std::fprintf(stderr, "%s: TurboJPEG did not make the stream asked for\n", k.name);
            return 1;
        }
    }
    const Input* probe = nullptr;
    for (const Input& in : inputs)
        if (in.jpeg && !probe) probe = &in;
    Turbo sse2;
    std::string why;
    if (!probe || !loadTurboSse2(sse2, *probe, w, h, theirs.data(), why)) {
        std::fprintf(stderr, "jpeg-bench: cannot load TurboJPEG limited to SSE2: %s\n", why.c_str());
        return 1;
    }
    std::printf("%-18s %4s %9s %10s %10s %10s %8s %8s %7s %9s\n", "kind", "SOF", "bytes", "ours MP/s", "turbo MP/s",
                "sse2 MP/s", "/turbo", "/sse2", "target", "max diff");
    bool allMet = true;
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        const Kind& k = kinds[i];
        const Input& in = inputs[i];
        if (!in.jpeg) continue;
        const int sw = (w + k.scale - 1) / k.scale, sh = (h + k.scale - 1) / k.scale;
        bool failed = false;
        const std::vector<std::function<void()>> runs = {
            [&] { failed = !decodeOurs(in, -1, k.scale, sw, sh, ours.data()) || failed; },
            [&] { failed = !decodeTurbo(turbo, in, sw, sh, theirs.data()) || failed; },
            [&] { failed = !decodeTurbo(sse2, in, sw, sh, theirs.data()) || failed; },
        };
        const auto t = timeRounds(runs, {only != "turbo", only != "ours", only != "ours"}, seconds);
        if (failed) {
            std::fprintf(stderr, "%s: a decode failed (%s)\n", k.name, turbo.error(turbo.handle));
            return 1;
        }
        decodeTurbo(turbo, in, sw, sh, theirs.data()); // the SSE2 copy decoded last
        const int maxDiff = maxDifference(ours, theirs, static_cast<std::size_t>(sw) * sh * 3);
        const double mp = w * h / 1e6;
        const double ratioTurbo = medianRatio(t[0], t[1]);
        const double ratioSse2 = medianRatio(t[0], t[2]);
        allMet = allMet && (k.limit == 0 || std::max(ratioTurbo, ratioSse2) <= k.limit);
        char target[16] = "-";
        if (k.limit > 0) std::snprintf(target, sizeof target, "%.2f", k.limit);
        std::printf("%-18s %4s %9lu %10.1f %10.1f %10.1f %8.2f %8.2f %7s %9d\n", k.name, k.progressive ? "2" : "0",
                    in.size, mp / best(t[0]), mp / best(t[1]), mp / best(t[2]), ratioTurbo, ratioSse2, target, maxDiff);
        std::fflush(stdout);
    }
    std::printf("targets %s (against both baselines)\n", allMet ? "met" : "NOT met");

    if (classes && only.empty()) {
        // Each class against the plain routines (class 0), MP/s, best of alternating rounds.
        std::printf("\nper class (MP/s; classes 0-2 plain, 3 MMX variant A, 4-6 variant B, 5 SSE, 6 SSE2)\n");
        std::printf("%-18s", "kind");
        for (int cls = 0; cls <= 6; ++cls) std::printf(" %7s%d", "class ", cls);
        std::printf(" %12s\n", "plain/class6");
        for (std::size_t i = 0; i < std::size(kinds); ++i) {
            const Kind& k = kinds[i];
            if (!inputs[i].jpeg) continue;
            const int sw = (w + k.scale - 1) / k.scale, sh = (h + k.scale - 1) / k.scale;
            double t[7];
            for (int cls = 0; cls <= 6; ++cls) {
                auto one = [&] { decodeOurs(inputs[i], cls, k.scale, sw, sh, ours.data()); };
                t[cls] = best(timeRounds({one}, {true}, seconds / 4)[0]);
            }
            std::printf("%-18s", k.name);
            for (int cls = 0; cls <= 6; ++cls) std::printf(" %8.1f", w * h / 1e6 / t[cls]);
            std::printf(" %12.2f\n", t[0] / t[6]);
        }
        printPlainSse2Avx2(kinds, inputs, w, h, seconds, ours.data());
    }
    for (Input& in : inputs) tjFree(in.jpeg);
    turbo.destroy(turbo.handle);
    sse2.destroy(sse2.handle);
    return 0;
}
