#include "JpegTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace jpegtest {

Bytes readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& data)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::string fixture(const std::string& name) { return std::string(JPEG_FIXTURES_DIR) + "/" + name; }

std::string tempPath(const std::string& name)
{
    static const std::string dir = [] {
        char templ[] = "/tmp/jpeg-tests-XXXXXX";
        const char* d = mkdtemp(templ);
        return std::string(d ? d : "/tmp");
    }();
    return dir + "/" + name;
}

int run(const std::string& command, std::string* output)
{
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int status = pclose(p);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool parsePnm(const Bytes& data, Picture& out)
{
    std::size_t pos = 0;
    auto token = [&]() -> std::string {
        while (pos < data.size() && (std::isspace(data[pos]) || data[pos] == '#')) {
            if (data[pos] == '#')
                while (pos < data.size() && data[pos] != '\n') ++pos;
            else
                ++pos;
        }
        std::string t;
        while (pos < data.size() && !std::isspace(data[pos])) t += static_cast<char>(data[pos++]);
        return t;
    };
    const std::string magic = token();
    if (magic != "P5" && magic != "P6") return false;
    out.width = static_cast<std::uint32_t>(std::atoi(token().c_str()));
    out.height = static_cast<std::uint32_t>(std::atoi(token().c_str()));
    if (std::atoi(token().c_str()) != 255) return false;
    ++pos; // the single whitespace after maxval
    out.channels = magic == "P6" ? 3 : 1;
    const std::size_t size = static_cast<std::size_t>(out.width) * out.height * out.channels;
    if (data.size() < pos + size) return false;
    out.pixels.assign(data.begin() + static_cast<std::ptrdiff_t>(pos),
                      data.begin() + static_cast<std::ptrdiff_t>(pos + size));
    return true;
}

bool djpeg(const std::string& file, Picture& out, bool fastDct, int scale)
{
    const std::string result = tempPath("djpeg.pnm");
    const std::string scaling = scale > 1 ? " -scale 1/" + std::to_string(scale) : "";
    const std::string cmd = std::string(DJPEG_PATH) + " -nosmooth -pnm" + (fastDct ? " -dct fast" : "") + scaling +
                            " -outfile " + result + " " + file;
    if (run(cmd) != 0) return false;
    if (!parsePnm(readFile(result), out)) return false;
    if (out.channels == 1) {
        Bytes rgb(out.pixels.size() * 3);
        for (std::size_t i = 0; i < out.pixels.size(); ++i)
            rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = out.pixels[i];
        out.pixels.swap(rgb);
        out.channels = 3;
    }
    return true;
}

Result decode(const Bytes& jpeg, const Request& rq)
{
    Result r;
    JpegContext c;
    if (jpegInit(&c) != 0) {
        r.paramsRc = r.imageRc = -1000;
        return r;
    }
    c.props.dctType = rq.dctType;
    if (rq.useFile) {
        c.inFileName = rq.fileName.c_str();
    } else {
        c.inBuffer = jpeg.data();
        c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    }
    r.paramsRc = jpegRead(&c, rq.useFile ? ReadParamsFile : ReadParamsBuffer);
    r.params = c;
    if (r.paramsRc != 0) {
        jpegFree(&c);
        return r;
    }
    if (rq.imageColor != 0) {
        c.imageColor = rq.imageColor;
    } else if (!rq.keepReportedColor) {
        c.imageColor = c.imageChannels == 1 ? ColorGray : c.imageChannels == 3 ? ColorYcbcr : ColorOther;
    }
    c.outColor = rq.outColor;
    c.outChannels = rq.outChannels;
    c.outSubsampling = rq.outSubsampling;
    const std::uint32_t unit = static_cast<std::uint32_t>(rq.scale);
    r.width = rq.outWidth < 0 ? (c.imageWidth + unit - 1) / unit : static_cast<std::uint32_t>(rq.outWidth);
    const std::int32_t h =
        rq.outHeight == 0 ? static_cast<std::int32_t>((c.imageHeight + unit - 1) / unit) : rq.outHeight;
    r.rows = static_cast<std::uint32_t>(h < 0 ? -h : h);
    const std::size_t stride = static_cast<std::size_t>(r.width) * rq.outChannels + rq.outPad;
    r.pixels.assign(stride * r.rows + 1, rq.fill); // +1: never null
    c.outBuffer = r.pixels.data();
    c.outWidth = r.width;
    c.outHeight = h;
    c.outPadBytes = rq.outPad;
    int op = rq.useFile ? ReadImageFile : ReadImageBuffer;
    if (rq.scale == 2) op = rq.useFile ? ReadHalfFile : ReadHalfBuffer;
    if (rq.scale == 4) op = rq.useFile ? ReadQuarterFile : ReadQuarterBuffer;
    if (rq.scale == 8) op = rq.useFile ? ReadEighthFile : ReadEighthBuffer;
    r.imageRc = jpegRead(&c, static_cast<JpegOperation>(op));
    r.image = c;
    jpegFree(&c);
    r.pixels.resize(stride * r.rows);
    return r;
}

// Splits a complete stream into a tables-only stream (SOI, every DQT and DHT before the
// first scan, EOI) and the abbreviated rest (the same stream without those segments).
void splitTables(const Bytes& full, Bytes& tables, Bytes& abbreviated)
{
    tables = {0xFF, 0xD8};
    abbreviated = {0xFF, 0xD8};
    std::size_t i = 2;
    while (i + 4 <= full.size() && full[i] == 0xFF) {
        const int code = full[i + 1];
        const std::size_t length = (full[i + 2] << 8) | full[i + 3];
        Bytes& to = code == 0xDB || code == 0xC4 ? tables : abbreviated;
        if (code == 0xDA) break;
        to.insert(to.end(), full.begin() + i, full.begin() + i + 2 + length);
        i += 2 + length;
    }
    abbreviated.insert(abbreviated.end(), full.begin() + i, full.end());
    tables.push_back(0xFF);
    tables.push_back(0xD9);
}

Diff compare(const Bytes& a, const Bytes& b)
{
    Diff d;
    if (a.size() != b.size() || a.empty()) {
        d.max = 1000;
        return d;
    }
    long sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int e = std::abs(a[i] - b[i]);
        d.max = std::max(d.max, e);
        sum += e;
    }
    d.mean = static_cast<double>(sum) / a.size();
    return d;
}

// ---- JpegWriter -----------------------------------------------------------------------------

namespace {

struct Code {
    std::uint16_t code = 0;
    int length = 0;
};

// The test tables: counts of code lengths 1..16 and the values.
const std::uint8_t kDcCounts[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
const std::uint8_t kDcValues[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

struct AcTable {
    std::uint8_t counts[16] = {};
    std::vector<std::uint8_t> values;
    AcTable()
    {
        values = {0x00, 0x01, 0x02, 0xF0, 0x11, 0x03};
        counts[1] = 2;
        counts[2] = 2;
        counts[3] = 2;
        for (int run = 0; run < 16; ++run)
            for (int size = 1; size <= 10; ++size) {
                const int rs = run << 4 | size;
                if (std::find(values.begin(), values.end(), rs) == values.end())
                    values.push_back(static_cast<std::uint8_t>(rs));
            }
        counts[11] = static_cast<std::uint8_t>(values.size() - 6); // length 12
    }
};
const AcTable kAc;

void canonical(const std::uint8_t counts[16], const std::uint8_t* values, Code table[256])
{
    std::uint32_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < counts[len - 1]; ++i, ++k) table[values[k]] = {static_cast<std::uint16_t>(code++), len};
        code <<= 1;
    }
}

const Code* dcCodes()
{
    static Code t[256];
    static bool ready = false;
    if (!ready) {
        canonical(kDcCounts, kDcValues, t);
        ready = true;
    }
    return t;
}
const Code* acCodes()
{
    static Code t[256];
    static bool ready = false;
    if (!ready) {
        canonical(kAc.counts, kAc.values.data(), t);
        ready = true;
    }
    return t;
}

int category(int v)
{
    int a = std::abs(v), s = 0;
    while (a) {
        ++s;
        a >>= 1;
    }
    return s;
}

} // namespace

void JpegWriter::marker(int code)
{
    out.push_back(0xFF);
    out.push_back(static_cast<std::uint8_t>(code));
}

void JpegWriter::segment(int code, const Bytes& body)
{
    marker(code);
    const std::size_t len = body.size() + 2;
    out.push_back(static_cast<std::uint8_t>(len >> 8));
    out.push_back(static_cast<std::uint8_t>(len));
    out.insert(out.end(), body.begin(), body.end());
}

void JpegWriter::dqt(int id, int value, bool sixteenBit)
{
    std::uint16_t v[64];
    for (auto& x : v) x = static_cast<std::uint16_t>(value);
    dqtValues(id, v, sixteenBit);
}

void JpegWriter::dqtValues(int id, const std::uint16_t zigzag[64], bool sixteenBit)
{
    Bytes body{static_cast<std::uint8_t>((sixteenBit ? 0x10 : 0) | id)};
    for (int i = 0; i < 64; ++i) {
        if (sixteenBit) body.push_back(static_cast<std::uint8_t>(zigzag[i] >> 8));
        body.push_back(static_cast<std::uint8_t>(zigzag[i]));
    }
    segment(0xDB, body);
}

void JpegWriter::dhtDc(int id)
{
    Bytes body{static_cast<std::uint8_t>(id)};
    body.insert(body.end(), kDcCounts, kDcCounts + 16);
    body.insert(body.end(), kDcValues, kDcValues + 16);
    segment(0xC4, body);
}

void JpegWriter::dhtAc(int id)
{
    Bytes body{static_cast<std::uint8_t>(0x10 | id)};
    body.insert(body.end(), kAc.counts, kAc.counts + 16);
    body.insert(body.end(), kAc.values.begin(), kAc.values.end());
    segment(0xC4, body);
}

void JpegWriter::dri(int interval)
{
    segment(0xDD, {static_cast<std::uint8_t>(interval >> 8), static_cast<std::uint8_t>(interval)});
}

void JpegWriter::sof(int code, int width, int height, const std::vector<Component>& comps, int precision)
{
    Bytes body{static_cast<std::uint8_t>(precision), static_cast<std::uint8_t>(height >> 8),
               static_cast<std::uint8_t>(height),    static_cast<std::uint8_t>(width >> 8),
               static_cast<std::uint8_t>(width),     static_cast<std::uint8_t>(comps.size())};
    for (const Component& c : comps) {
        body.push_back(static_cast<std::uint8_t>(c.id));
        body.push_back(static_cast<std::uint8_t>(c.h << 4 | c.v));
        body.push_back(static_cast<std::uint8_t>(c.tq));
    }
    segment(code, body);
}

void JpegWriter::sos(const std::vector<Component>& comps, int ss, int se, int ah, int al)
{
    Bytes body{static_cast<std::uint8_t>(comps.size())};
    for (const Component& c : comps) {
        body.push_back(static_cast<std::uint8_t>(c.id));
        body.push_back(static_cast<std::uint8_t>(c.dcTable << 4 | c.acTable));
    }
    body.push_back(static_cast<std::uint8_t>(ss));
    body.push_back(static_cast<std::uint8_t>(se));
    body.push_back(static_cast<std::uint8_t>(ah << 4 | al));
    segment(0xDA, body);
}

void JpegWriter::app0Jfif(int tw, int th)
{
    Bytes body{
        'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, static_cast<std::uint8_t>(tw), static_cast<std::uint8_t>(th)};
    for (int i = 0; i < tw * th * 3; ++i) body.push_back(static_cast<std::uint8_t>(i));
    segment(0xE0, body);
}

void JpegWriter::app14Adobe(int transform)
{
    segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, static_cast<std::uint8_t>(transform)});
}

void JpegWriter::comment(const std::string& text) { segment(0xFE, Bytes(text.begin(), text.end())); }

void JpegWriter::putBits(std::uint32_t bits, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        pendingBits = (pendingBits << 1) | ((bits >> i) & 1);
        if (++pendingCount == 8) {
            const auto byte = static_cast<std::uint8_t>(pendingBits);
            out.push_back(byte);
            if (byte == 0xFF) out.push_back(0x00);
            pendingBits = 0;
            pendingCount = 0;
        }
    }
}

void JpegWriter::flushBits()
{
    while (pendingCount != 0) putBits(1, 1);
}

void JpegWriter::rst(int n)
{
    flushBits();
    marker(0xD0 + (n & 7));
}

void JpegWriter::encodeBlock(int dcDiff, const std::vector<std::pair<int, int>>& ac)
{
    const int s = category(dcDiff);
    const Code dc = dcCodes()[s];
    putBits(dc.code, dc.length);
    if (s) putBits(static_cast<std::uint32_t>(dcDiff < 0 ? dcDiff + (1 << s) - 1 : dcDiff), s);
    int k = 0;
    for (auto [run, value] : ac) {
        while (run >= 16) {
            putBits(acCodes()[0xF0].code, acCodes()[0xF0].length);
            run -= 16;
            k += 16;
        }
        const int size = category(value);
        const Code c = acCodes()[run << 4 | size];
        putBits(c.code, c.length);
        putBits(static_cast<std::uint32_t>(value < 0 ? value + (1 << size) - 1 : value), size);
        k += run + 1;
    }
    if (k < 63) putBits(acCodes()[0x00].code, acCodes()[0x00].length);
}

int blocksPerMcu(const std::vector<Component>& comps)
{
    if (comps.size() == 1) return 1;
    int n = 0;
    for (const Component& c : comps) n += c.h * c.v;
    return n;
}

int mcuCount(int width, int height, const std::vector<Component>& comps)
{
    int hmax = 1, vmax = 1;
    for (const Component& c : comps) {
        hmax = std::max(hmax, c.h);
        vmax = std::max(vmax, c.v);
    }
    if (comps.size() == 1) hmax = vmax = 1;
    return ((width + 8 * hmax - 1) / (8 * hmax)) * ((height + 8 * vmax - 1) / (8 * vmax));
}

Bytes JpegWriter::baseline(int width, int height, const std::vector<Component>& comps, const std::vector<Block>& blocks,
                           int quant, int restart)
{
    JpegWriter w;
    w.soi();
    w.dqt(0, quant);
    w.dqt(1, quant);
    w.dhtDc(0);
    w.dhtAc(0);
    if (restart) w.dri(restart);
    w.sof(0xC0, width, height, comps);
    w.sos(comps);
    const int perMcu = blocksPerMcu(comps);
    const int mcus = mcuCount(width, height, comps);
    std::vector<int> pred(comps.size(), 0);
    std::size_t b = 0;
    int rstNumber = 0;
    for (int m = 0; m < mcus; ++m) {
        if (restart && m > 0 && m % restart == 0) {
            w.rst(rstNumber++);
            std::fill(pred.begin(), pred.end(), 0);
        }
        int inMcu = 0;
        for (std::size_t c = 0; c < comps.size(); ++c) {
            const int n = comps.size() == 1 ? 1 : comps[c].h * comps[c].v;
            for (int i = 0; i < n; ++i, ++inMcu) {
                const Block blk = b < blocks.size() ? blocks[b] : Block{};
                ++b;
                w.encodeBlock(blk.dc - pred[c], blk.ac);
                pred[c] = blk.dc;
            }
        }
        (void)perMcu;
    }
    w.flushBits();
    w.eoi();
    return w.out;
}

} // namespace jpegtest
