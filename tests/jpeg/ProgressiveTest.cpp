// Progressive pictures of every kind of scan script (fixtures/progressive, made by
// make-fixtures.sh): each decode matches djpeg within the oracle's tolerance
// (OracleTest.cpp says why they differ at all), and, exactly, the checksum of what this
// decoder wrote and answered for it when the checksums were taken (decodes.txt): whole
// reads with every transform family and several processor classes, scaled, region, file and
// interrupted reads, and reads of the same files cut short at several places.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

using namespace jpegtest;

namespace {

const char* const kFiles[] = {
    "default420.jpg", "default422.jpg",        "default444.jpg",        "defaultgrey.jpg",
    "fine444.jpg",    "coarse420.jpg",         "bands420.jpg",          "bands444-small.jpg",
    "refine420.jpg",  "refine422.jpg",         "refine444-rst5.jpg",    "dcsplit420.jpg",
    "refinegrey.jpg", "refinegrey-rstrow.jpg", "default420-rstrow.jpg", "default444-rst7-small.jpg",
};

std::string progressiveFixture(const std::string& name) { return fixture("progressive/" + name); }

// How one read is made: the picture source's colours at full, half, quarter or eighth size,
// optionally from the file, with a processor class, a region, or stopping after every MCU.
struct Read {
    std::uint32_t dctType = 1;
    int cpuClass = -1; // -1: the detected class
    int scale = 1;
    bool file = false;
    bool region = false;
    bool steps = false;
};

std::uint64_t fnv1a(std::uint64_t h, const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

struct Outcome {
    int rc = 0;
    Bytes pixels;
    std::uint32_t width = 0, height = 0;
    std::string line() const
    { // result code and checksum of the output as decodes.txt keeps them
        std::int32_t code = rc;
        std::uint64_t h = fnv1a(1469598103934665603ull, &code, sizeof code);
        h = fnv1a(h, pixels.data(), pixels.size());
        std::ostringstream s;
        s << rc << ' ' << std::hex << h;
        return s.str();
    }
};

int operationFor(const Read& r)
{
    const int base = r.scale == 2   ? ReadHalfFile
                     : r.scale == 4 ? ReadQuarterFile
                     : r.scale == 8 ? ReadEighthFile
                                    : ReadImageFile;
    return base + (r.file ? 0 : 1);
}

// Params, then image as the picture source asks for it, into an output first filled with
// 0x55 (so that what a read leaves unwritten shows in the checksum).
Outcome readPicture(const Bytes& jpeg, const std::string& path, const Read& r)
{
    Outcome o;
    JpegContext c;
    if (jpegInit(&c) != 0) {
        o.rc = -1000;
        return o;
    }
    if (r.cpuClass >= 0) jpegSetCpuClass(&c, r.cpuClass);
    c.props.dctType = r.dctType;
    if (r.file) {
        c.inFileName = path.c_str();
    } else {
        c.inBuffer = jpeg.data();
        c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    }
    o.rc = jpegRead(&c, r.file ? ReadParamsFile : ReadParamsBuffer);
    if (o.rc != 0) {
        jpegFree(&c);
        return o;
    }
    c.imageColor = c.imageChannels == 1 ? ColorGray : ColorYcbcr;
    c.outColor = ColorRgb;
    c.outChannels = 3;
    const auto scale = static_cast<std::uint32_t>(r.scale);
    o.width = (c.imageWidth + scale - 1) / scale;
    o.height = (c.imageHeight + scale - 1) / scale;
    o.pixels.assign(static_cast<std::size_t>(o.width) * o.height * 3, 0x55);
    c.outBuffer = o.pixels.data();
    c.outWidth = o.width;
    c.outHeight = static_cast<std::int32_t>(o.height);
    if (r.region) {
        c.props.roi[0] = static_cast<std::int32_t>(c.imageWidth / 5);
        c.props.roi[1] = static_cast<std::int32_t>(c.imageHeight / 4);
        c.props.roi[2] = static_cast<std::int32_t>(c.imageWidth * 3 / 4);
        c.props.roi[3] = static_cast<std::int32_t>(c.imageHeight * 2 / 3);
    }
    const auto op = static_cast<JpegOperation>(operationFor(r));
    int calls = 0;
    do {
        c.props.interrupt = r.steps ? 1 : 0;
        o.rc = jpegRead(&c, op);
    } while (r.steps && o.rc == JpegInterruptSuccess && ++calls < 1000000);
    jpegFree(&c);
    return o;
}

const std::map<std::string, Read>& readModes()
{
    static const std::map<std::string, Read> modes = [] {
        std::map<std::string, Read> m;
        m["whole"] = Read{};
        m["dct0"] = Read{.dctType = 0};
        m["class0"] = Read{.cpuClass = 0};
        m["class3"] = Read{.cpuClass = 3};
        m["class6"] = Read{.cpuClass = 6};
        m["half"] = Read{.scale = 2};
        m["quarter"] = Read{.scale = 4};
        m["eighth"] = Read{.scale = 8};
        m["file"] = Read{.file = true};
        m["region"] = Read{.region = true};
        m["steps"] = Read{.steps = true};
        m["region-steps"] = Read{.region = true, .steps = true};
        return m;
    }();
    return modes;
}

// decodes.txt: "file mode code checksum" per line.
std::map<std::string, std::string> expectedDecodes()
{
    std::map<std::string, std::string> expected;
    std::ifstream in(progressiveFixture("decodes.txt"));
    std::string file, mode, rc, sum;
    while (in >> file >> mode >> rc >> sum) expected[file + " " + mode] = rc + " " + sum;
    return expected;
}

void expectDecode(const std::map<std::string, std::string>& expected, const std::string& key, const Outcome& o)
{
    const auto it = expected.find(key);
    ASSERT_NE(it, expected.end()) << "no checksum for: " << key << " " << o.line();
    EXPECT_EQ(o.line(), it->second) << key;
}

bool haveDjpeg()
{
    struct stat st;
    return std::string(DJPEG_PATH).size() > 0 && stat(DJPEG_PATH, &st) == 0;
}

class JpegProgressive : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(JpegProgressive, MatchesDjpegWithinTolerance)
{
    if (!haveDjpeg()) GTEST_SKIP() << "djpeg not installed";
    const std::string path = progressiveFixture(GetParam());
    const Bytes jpeg = readFile(path);
    ASSERT_FALSE(jpeg.empty());
    for (int scale : {1, 2, 4, 8}) {
        SCOPED_TRACE(::testing::Message() << GetParam() << " at 1/" << scale);
        Picture oracle;
        ASSERT_TRUE(djpeg(path, oracle, false, scale));
        const Outcome o = readPicture(jpeg, path, Read{.scale = scale});
        ASSERT_EQ(o.rc, 0);
        ASSERT_EQ(o.width, oracle.width);
        ASSERT_EQ(o.height, oracle.height);
        const Diff d = compare(o.pixels, oracle.pixels);
        // The reduced transforms round as djpeg's do only to within a few levels more.
        EXPECT_LE(d.max, scale == 1 ? 4 : 8);
        EXPECT_LE(d.mean, scale == 1 ? 1.0 : 1.5);
    }
}

TEST_P(JpegProgressive, DecodesAsWhenTheChecksumsWereTaken)
{
    const std::string name = GetParam();
    const std::string path = progressiveFixture(name);
    const Bytes jpeg = readFile(path);
    ASSERT_FALSE(jpeg.empty());
    const auto expected = expectedDecodes();
    for (const auto& [mode, read] : readModes())
        expectDecode(expected, name + " " + mode, readPicture(jpeg, path, read));
}

TEST_P(JpegProgressive, CutShortDecodesAsWhenTheChecksumsWereTaken)
{
    const std::string name = GetParam();
    const Bytes jpeg = readFile(progressiveFixture(name));
    ASSERT_GT(jpeg.size(), 16u);
    const auto expected = expectedDecodes();
    // Cuts inside the headers, inside every part of the scans, right after an 0xFF and just
    // before EOI; each as a buffer and as a file.
    std::vector<std::size_t> cuts;
    for (int k = 1; k < 12; ++k) cuts.push_back(jpeg.size() * k / 12);
    for (std::size_t i = jpeg.size() / 2; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0x00) {
            cuts.push_back(i + 1);
            break;
        }
    }
    cuts.push_back(jpeg.size() - 2);
    for (std::size_t cut : cuts) {
        const Bytes part(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::string cutPath = tempPath("cut-" + name);
        writeFile(cutPath, part);
        for (const char* mode : {"whole", "file", "region"}) {
            const Read read = readModes().at(mode);
            expectDecode(expected, name + " cut" + std::to_string(cut) + "-" + mode, readPicture(part, cutPath, read));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegProgressive, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<const char*>& paramInfo) {
                             std::string n = paramInfo.param;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });
