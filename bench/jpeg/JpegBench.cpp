// jpeg-bench: decodes the same bytes with our JpegDecoder (buffer operations, RGB output)
// and with TurboJPEG (RGB output, its default flags) in the same run, over photographs of 3.1 megapixels that
// it makes deterministically and encodes with TurboJPEG at 4:2:0, 4:2:2, 4:4:4 and as a
// progressive 4:2:0 file. Times are the thread's CPU time, best of alternating rounds.
// Prints megapixels per second for each decoder and the ratio
// ours/TurboJPEG of the decode times per kind (targets: at most 1.25 for baseline, 1.6 for
// progressive, and 1.0 for a 1/8 read against TurboJPEG's own 1/8 scaling), and per kind
// the same decode with the plain routines (class 0) against the detected class's SIMD ones.
//
//   jpeg-bench [--seconds S] [--quality Q] [--width W --height H] [--only ours|turbo]
#include "jpeg/JpegDecoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small deterministic generator (xorshift64*).
struct Rng {
  std::uint64_t s;
  explicit Rng(std::uint64_t seed) : s(seed ? seed : 1) {}
  std::uint64_t next() {
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
  Noise(int size, Rng& r) : n(size), v(static_cast<std::size_t>(size) * size) {
    for (auto& x : v) x = static_cast<float>(r.uniform());
  }
  float at(double x, double y) const {
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
std::vector<unsigned char> makePhoto(int w, int h, std::uint64_t seed) {
  Rng r(seed);
  Noise n1(64, r), n2(64, r), n3(64, r);
  struct Shape { double x0, y0, x1, y1; int kind; double cr, cg, cb; };
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
      if (t < 0.35) {  // sky
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
      } else {  // ground: grass and soil
        const double tex = n1.at(x / 40.0, y / 40.0) * 0.5 + n2.at(x / 9.0, y / 9.0) * 0.35 +
                           n3.at(x / 2.5, y / 2.5) * 0.15;
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
double now() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Times two decoders for about `seconds` each, alternating short rounds so that both see
// the same machine load; returns the best seconds per decode of each.
template <class A, class B>
void timeBoth(A a, B b, double seconds, bool timeA, bool timeB, double& ta, double& tb) {
  a();  // warm up
  b();
  ta = tb = 1e30;
  const int rounds = 10;
  for (int round = 0; round < rounds; ++round) {
    for (int which = 0; which < 2; ++which) {
      const bool on = which == 0 ? timeA : timeB;
      int n = 0;
      const double start = now();
      double elapsed = 0;
      do {
        if (which == 0) a(); else b();
        ++n;
        elapsed = now() - start;
      } while (on && elapsed < seconds / rounds);
      double& t = which == 0 ? ta : tb;
      t = std::min(t, elapsed / n);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 3.0;
  int quality = 85, w = 2048, h = 1536;
  std::string only;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (a == "--quality") quality = std::atoi(argv[i + 1]);
    else if (a == "--width") w = std::atoi(argv[i + 1]);
    else if (a == "--height") h = std::atoi(argv[i + 1]);
    else if (a == "--only") only = argv[i + 1];
  }
  std::printf("jpeg-bench: %dx%d (%.2f MP), quality %d, ~%.1f s per decoder and kind\n", w, h,
              w * h / 1e6, quality, seconds);
  const std::vector<unsigned char> photo = makePhoto(w, h, 20260101);

  struct Kind { const char* name; int samp; int flags; double limit; int scale; };
  const Kind kinds[] = {
      {"4:2:0", TJSAMP_420, 0, 1.25, 1},
      {"4:2:2", TJSAMP_422, 0, 1.25, 1},
      {"4:4:4", TJSAMP_444, 0, 1.25, 1},
      {"progressive 4:2:0", TJSAMP_420, TJFLAG_PROGRESSIVE, 1.6, 1},
      {"4:2:0 at 1/8", TJSAMP_420, 0, 1.0, 8},
  };
  tjhandle enc = tjInitCompress();
  tjhandle dec = tjInitDecompress();
  std::vector<unsigned char> ours(static_cast<std::size_t>(w) * h * 3), theirs(ours.size());
  int detectedClass = -1;
  {
    JpegContext c;
    if (jpegInit(&c) == 0) detectedClass = jpegCpuClass(&c);
    jpegFree(&c);
  }
  std::printf("class of this processor: %d\n", detectedClass);
  std::printf("%-18s %9s %12s %12s %8s %7s %12s %10s %s\n", "kind", "bytes", "ours MP/s", "turbo MP/s",
              "ratio", "target", "plain MP/s", "plain/simd", "max diff (replicated chroma)");
  bool allMet = true;
  for (const Kind& k : kinds) {
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(enc, photo.data(), w, 0, h, TJPF_RGB, &jpeg, &size, k.samp, quality, k.flags) != 0) {
      std::fprintf(stderr, "tjCompress2: %s\n", tjGetErrorStr2(enc));
      return 1;
    }
    int failed = 0;
    const int sw = (w + k.scale - 1) / k.scale, sh = (h + k.scale - 1) / k.scale;
    auto decodeWith = [&](int cpuClass) {
      JpegContext c;
      if (jpegInit(&c) != 0 || (cpuClass >= 0 && jpegSetCpuClass(&c, cpuClass) != 0)) {
        failed = 1;
        return;
      }
      c.inBuffer = jpeg;
      c.inBufferSize = static_cast<std::uint32_t>(size);
      if (jpegRead(&c, ReadParamsBuffer) != 0) failed = 1;
      c.imageColor = ColorYcbcr;
      c.outColor = ColorRgb;
      c.outChannels = 3;
      c.outBuffer = ours.data();
      c.outWidth = static_cast<std::uint32_t>(sw);
      c.outHeight = sh;
      if (jpegRead(&c, k.scale == 8 ? ReadEighthBuffer : ReadImageBuffer) != 0) failed = 1;
      jpegFree(&c);
    };
    auto decodeOurs = [&] { decodeWith(-1); };
    auto decodePlain = [&] { decodeWith(0); };
    // TurboJPEG picks its 1/8 scaling factor from the requested size.
    auto decodeTurbo = [&] {
      // A scaled read may stop before the end of the entropy data, which TurboJPEG
      // reports as a warning; only errors count.
      if (tjDecompress2(dec, jpeg, size, theirs.data(), sw, 0, sh, TJPF_RGB, 0) != 0 &&
          tjGetErrorCode(dec) != TJERR_WARNING)
        failed = 2;
    };
    // For profiling one side: the other is timed once only.
    double tOurs, tTurbo;
    timeBoth(decodeOurs, decodeTurbo, seconds, only != "turbo", only != "ours", tOurs, tTurbo);
    double tPlain = 0, tSimd = 0;
    timeBoth(decodePlain, decodeOurs, seconds / 2, only != "turbo", only != "turbo", tPlain, tSimd);
    if (failed) {
      std::fprintf(stderr, "%s decode failed for %s\n", failed == 2 ? "TurboJPEG" : "our", k.name);
      return 1;
    }
    // Agreement (untimed): against TurboJPEG with replicating upsampling, as ours.
    if (tjDecompress2(dec, jpeg, size, theirs.data(), sw, 0, sh, TJPF_RGB, TJFLAG_FASTUPSAMPLE) != 0 &&
        tjGetErrorCode(dec) != TJERR_WARNING)
      failed = 2;
    decodeOurs();
    int maxDiff = 0;
    const std::size_t used = static_cast<std::size_t>(sw) * sh * 3;
    for (std::size_t i = 0; i < used; ++i) maxDiff = std::max(maxDiff, std::abs(ours[i] - theirs[i]));
    const double mp = w * h / 1e6;
    const double ratio = tOurs / tTurbo;
    allMet = allMet && ratio <= k.limit;
    std::printf("%-18s %9lu %12.1f %12.1f %8.2f %7.2f %12.1f %10.2f %d\n", k.name, size, mp / tOurs, mp / tTurbo,
                ratio, k.limit, mp / tPlain, tPlain / tSimd, maxDiff);
    tjFree(jpeg);
  }
  tjDestroy(enc);
  tjDestroy(dec);
  std::printf("targets %s\n", allMet ? "met" : "NOT met");
  return 0;
}
