// Helpers for the JPEG decoder tests: files, processes, PNM pictures, a decode helper,
// and JpegWriter, a small baseline encoder for hand-built streams.
#pragma once

#include "jpeg/JpegDecoder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace jpegtest {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& data);
std::string fixture(const std::string& name);  // path of a committed fixture
std::string tempPath(const std::string& name); // a path in a per-process temporary folder

// Runs a shell command; returns its exit status and captures standard output.
int run(const std::string& command, std::string* output = nullptr);

struct Picture {
    std::uint32_t width = 0, height = 0, channels = 0;
    Bytes pixels; // top row first, tightly packed
};
bool parsePnm(const Bytes& data, Picture& out);
// djpeg -nosmooth (replicating upsampling, accurate integer transform, or "fast" for
// dctType 0) of a file, as a picture with 3 channels (grey expanded to triples).
// With scale N (2, 4 or 8): djpeg -scale 1/N.
bool djpeg(const std::string& file, Picture& out, bool fastDct = false, int scale = 1);

// The whole four-step sequence the picture source runs: params, then image as the request asks.
struct Request {
    JpegColor outColor = ColorRgb;
    std::uint32_t outChannels = 3;
    // 0: the picture source's rule (1 channel: gray, 3: YCbCr, else other); otherwise this.
    JpegColor imageColor = static_cast<JpegColor>(0);
    bool keepReportedColor = false; // use the params read's imageColor
    std::int32_t outWidth = -1;     // -1: image width
    std::int32_t outHeight = 0;     // 0: image height; negative: bottom-up
    std::int32_t outPad = 0;
    std::uint32_t dctType = 1;
    JpegSubsampling outSubsampling = SubsampleNone;
    std::uint8_t fill = 0; // initial value of every output byte
    bool useFile = false;
    std::string fileName;
    int scale = 1; // 2, 4, 8: the half, quarter and eighth reads (default size ceil(n / scale))
};
struct Result {
    int paramsRc = 0, imageRc = 0;
    JpegContext params{}; // the context after the params read
    JpegContext image{};  // after the image read (props.state is dangling: do not use)
    Bytes pixels;         // the whole output buffer, rows of outWidth x outChannels + pad
    std::uint32_t width = 0, rows = 0;
};
Result decode(const Bytes& jpeg, const Request& request = Request());

// Splits a complete stream into a tables-only stream (SOI, every DQT and DHT before the
// first scan, EOI) and the abbreviated rest (the same stream without those segments).
void splitTables(const Bytes& full, Bytes& tables, Bytes& abbreviated);

// Difference statistics between two pictures of the same geometry.
struct Diff {
    int max = 0;
    double mean = 0;
};
Diff compare(const Bytes& a, const Bytes& b);

// ---- JpegWriter -----------------------------------------------------------------------------

struct Component {
    int id, h, v, tq;
    int dcTable = 0, acTable = 0;
};

// One block to encode: its DC value (JpegWriter::baseline codes the differences) and AC
// coefficients as (run of zeros, value) pairs in zigzag order; an end-of-block is written
// unless the last coefficient is number 63.
struct Block {
    int dc = 0;
    std::vector<std::pair<int, int>> ac;
};

class JpegWriter {
public:
    Bytes out;

    void marker(int code);
    void segment(int code, const Bytes& body); // marker, 2-byte length, body
    void soi() { marker(0xD8); }
    void eoi() { marker(0xD9); }
    void dqt(int id, int value, bool sixteenBit = false); // every entry = value
    void dqtValues(int id, const std::uint16_t zigzag[64], bool sixteenBit);
    void dhtDc(int id); // the test DC table (categories 0..16)
    void dhtAc(int id); // the test AC table (every run/size)
    void dri(int interval);
    void sof(int code, int width, int height, const std::vector<Component>& comps, int precision = 8);
    void sos(const std::vector<Component>& comps, int ss = 0, int se = 63, int ah = 0, int al = 0);
    void app0Jfif(int thumbWidth = 0, int thumbHeight = 0);
    void app14Adobe(int transform);
    void comment(const std::string& text);

    // Entropy-coded data.
    void encodeBlock(int dcDiff, const std::vector<std::pair<int, int>>& ac);
    void putBits(std::uint32_t bits, int count);
    void flushBits(); // pad with 1 bits to a byte boundary
    void rst(int n);  // flush, then RSTn

    // A whole baseline picture, every block given (MCU order, blocks of each component in
    // turn); frame and scan components alike. Tables: DQT 0 and 1 of `quant`, DC/AC 0.
    static Bytes baseline(int width, int height, const std::vector<Component>& comps, const std::vector<Block>& blocks,
                          int quant = 1, int restart = 0);

private:
    std::uint32_t pendingBits = 0;
    int pendingCount = 0;
};

// The number of blocks in one MCU of a scan with these components.
int blocksPerMcu(const std::vector<Component>& comps);
// MCUs in a frame of this size and these components.
int mcuCount(int width, int height, const std::vector<Component>& comps);

} // namespace jpegtest
