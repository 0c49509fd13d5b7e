// The jpegdec command-line decoder.
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"
#include "JpegTestSupport.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace jpegtest;

namespace {

std::string jpegdec(const std::string& args, int* status, bool captureStderr = false)
{
    std::string out;
    *status = run(std::string(JPEGDEC_PATH) + " " + args + (captureStderr ? " 2>&1" : " 2>/dev/null"), &out);
    return out;
}

} // namespace

TEST(Jpegdec, Info)
{
    int status;
    const std::string out = jpegdec("--info " + fixture("s420.jpg"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "width: 61\nheight: 47\nchannels: 3\ncolor: ycbcr\nsubsampling: 2x2\nthumbnail: 0x0\n");
    EXPECT_EQ(jpegdec("--buffer --info " + fixture("gray.jpg"), &status),
              "width: 61\nheight: 47\nchannels: 1\ncolor: gray\nsubsampling: none\nthumbnail: 0x0\n");
}

// The tool takes its class from "USECPU" as every decoding program does, and --cpu
// overrides it.
TEST(Jpegdec, HonoursUseCpuAndCpuOverridesIt)
{
    const std::string path = tempPath("jpegdec-usecpu.reg");
    std::remove(path.c_str());
    setenv("REELSMITH_REGISTRY", path.c_str(), 1);
    const int detected = xtpjpeg::detectCpuClass(xtpjpeg::readProcessor());
    int status;
    EXPECT_EQ(jpegdec("--cpu-class", &status), "cpu class: " + std::to_string(detected) + "\n");
    EXPECT_EQ(status, 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    // A forced class that differs from the detected one, so that ignoring "USECPU" shows.
    const DWORD forced = detected == 0 ? 3 : 0;
    ASSERT_EQ(RegSetValueExA(key, "USECPU", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&forced), sizeof forced),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(jpegdec("--cpu-class", &status), "cpu class: " + std::to_string(forced) + "\n");
    EXPECT_EQ(jpegdec("--cpu 6 --cpu-class", &status), "cpu class: 6\n");
    EXPECT_EQ(jpegdec("--cpu-class " + fixture("s420.jpg"), &status), "");
    EXPECT_EQ(status, 2);
    unsetenv("REELSMITH_REGISTRY");
    std::remove(path.c_str());
}

TEST(Jpegdec, PpmPgmAndBmpAgreeWithTheLibrary)
{
    for (const char* name : {"s420.jpg", "gray.jpg", "prog444.jpg", "adobe-rgb.jpg"}) {
        SCOPED_TRACE(name);
        const std::string in = fixture(name);
        Request rq;
        rq.keepReportedColor = true;
        const Result ref = decode(readFile(in), rq);
        ASSERT_EQ(ref.imageRc, 0);
        int status;
        for (const char* mode : {"", "--buffer "}) {
            const std::string ppm = tempPath("out.ppm");
            jpegdec(std::string(mode) + in + " " + ppm, &status);
            ASSERT_EQ(status, 0);
            Picture p;
            ASSERT_TRUE(parsePnm(readFile(ppm), p));
            EXPECT_EQ(p.channels, 3u);
            EXPECT_EQ(p.pixels, ref.pixels);
        }
        // BMP: 24-bit, bottom-up, BGR, rows padded to 4 bytes.
        const std::string bmp = tempPath("out.bmp");
        jpegdec(in + " " + bmp, &status);
        ASSERT_EQ(status, 0);
        const Bytes b = readFile(bmp);
        ASSERT_GE(b.size(), 54u);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        const std::uint32_t w = ref.width, h = ref.rows;
        const std::size_t stride = (w * 3 + 3) / 4 * 4;
        ASSERT_EQ(b.size(), 54 + stride * h);
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(b[54 + (h - 1 - y) * stride + x * 3 + c], ref.pixels[(y * w + x) * 3 + 2 - c]);
    }
    // PGM of a colour picture: the luma plane.
    int status;
    const std::string pgm = tempPath("out.pgm");
    jpegdec(fixture("s444.jpg") + " " + pgm, &status);
    ASSERT_EQ(status, 0);
    Picture g;
    ASSERT_TRUE(parsePnm(readFile(pgm), g));
    EXPECT_EQ(g.channels, 1u);
    EXPECT_EQ(g.width, 61u);
}

TEST(Jpegdec, DctFamilies)
{
    int status;
    const std::string a = tempPath("a.ppm"), b = tempPath("b.ppm");
    jpegdec("--dct 0 " + fixture("s444.jpg") + " " + a, &status);
    ASSERT_EQ(status, 0);
    jpegdec("--dct 1 " + fixture("s444.jpg") + " " + b, &status);
    ASSERT_EQ(status, 0);
    Picture pa, pb;
    ASSERT_TRUE(parsePnm(readFile(a), pa));
    ASSERT_TRUE(parsePnm(readFile(b), pb));
    EXPECT_NE(pa.pixels, pb.pixels);
    EXPECT_LE(compare(pa.pixels, pb.pixels).max, 6);
}

TEST(Jpegdec, Failures)
{
    int status;
    const std::string notJpeg = tempPath("not.jpg");
    writeFile(notJpeg, {'h', 'e', 'l', 'l', 'o', 0xFF, 0xE1});
    EXPECT_EQ(jpegdec(notJpeg + " " + tempPath("x.ppm"), &status, true), "jpegdec: error -13: Not JPEG\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(jpegdec("--buffer " + notJpeg + " " + tempPath("x.ppm"), &status, true),
              "jpegdec: error -13: Not JPEG\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(jpegdec(tempPath("missing.jpg") + " " + tempPath("x.ppm"), &status, true),
              "jpegdec: error -10: Invalid file name\n");
    EXPECT_EQ(status, 1);
    jpegdec("", &status);
    EXPECT_EQ(status, 2); // usage
}

// Help and version go to standard output with success; a mistake on the command line names
// the option and what it takes, with status 2.
TEST(JpegdecTool, HelpVersionAndMistakesThatNameTheOption)
{
    int status = -1;
    EXPECT_TRUE(jpegdec("--help", &status).starts_with("usage: jpegdec "));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(jpegdec("--version", &status), "jpegdec (Reelsmith) " REELSMITH_VERSION "\n");
    EXPECT_EQ(status, 0);
    const std::string in = fixture("s420.jpg") + " " + tempPath("x.ppm");
    const std::pair<std::string, std::string> mistakes[] = {
        {"--scale", "jpegdec: missing value for --scale (see jpegdec --help)\n"},
        {"--scale 3 " + in, "jpegdec: --scale takes 2, 4 or 8, not \"3\" (see jpegdec --help)\n"},
        {"--cpu x " + in, "jpegdec: --cpu takes a class from 0 to 7, not \"x\" (see jpegdec --help)\n"},
        {"--roi 1,2 " + in, "jpegdec: --roi takes LEFT,TOP,RIGHT,BOTTOM, not \"1,2\" (see jpegdec --help)\n"},
        {"--fast " + in, "jpegdec: unknown option --fast (see jpegdec --help)\n"},
    };
    for (const auto& [arguments, said] : mistakes) {
        EXPECT_EQ(jpegdec(arguments, &status, true), said) << arguments;
        EXPECT_EQ(status, 2) << arguments;
    }
}

TEST(Jpegdec, ScaleTablesAndThumbnailOptions)
{
    int status;
    const std::string in = fixture("s420.jpg");
    const Bytes full = readFile(in);
    auto ppmOf = [&](const std::string& args) {
        const std::string out = tempPath("opt.ppm");
        std::remove(out.c_str());
        jpegdec(args + " " + out, &status);
        Picture p;
        parsePnm(readFile(out), p);
        return p;
    };
    Request half;
    half.scale = 2;
    const Result ref = decode(full, half);
    ASSERT_EQ(ref.imageRc, 0);
    for (const char* cpu : {"", "--cpu 0 ", "--cpu 6 "}) {
        const Picture scaled = ppmOf(std::string(cpu) + "--scale 2 " + in);
        EXPECT_EQ(status, 0) << cpu;
        EXPECT_EQ(scaled.width, 31u) << cpu;
        EXPECT_EQ(scaled.pixels, ref.pixels) << cpu;
    }
    // The AVX2 class: the same pixels where the processor runs it, the decoder's -8 elsewhere.
    const Picture avx2 = ppmOf("--cpu 7 --scale 2 " + in);
    if (xtpjpeg::processorSupportsAvx2()) {
        EXPECT_EQ(status, 0);
        EXPECT_EQ(avx2.pixels, ref.pixels);
    } else {
        EXPECT_EQ(status, 1);
    }
    ppmOf("--cpu 8 " + in);
    EXPECT_EQ(status, 2); // usage

    // Tables-only stream and abbreviated stream: the DQT and DHT segments go to the first.
    Bytes tables, abbreviated;
    splitTables(full, tables, abbreviated);
    writeFile(tempPath("tables.jpg"), tables);
    writeFile(tempPath("abbreviated.jpg"), abbreviated);
    const Result whole = decode(full);
    for (const char* mode : {"", "--buffer "}) {
        const Picture p =
            ppmOf(std::string(mode) + "--tables " + tempPath("tables.jpg") + " " + tempPath("abbreviated.jpg"));
        EXPECT_EQ(status, 0) << mode;
        EXPECT_EQ(p.pixels, whole.pixels) << mode;
    }

    // Thumbnail: none in the fixture; a JFIF one inserted after SOI.
    ppmOf("--thumbnail " + in);
    EXPECT_EQ(status, 1);
    JpegWriter w;
    w.soi();
    w.app0Jfif(2, 3);
    w.out.insert(w.out.end(), full.begin() + 2, full.end());
    writeFile(tempPath("thumb.jpg"), w.out);
    const Picture t = ppmOf("--thumbnail " + tempPath("thumb.jpg"));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(t.width, 2u);
    EXPECT_EQ(t.height, 3u);
    Bytes expect;
    for (int k = 0; k < 18; ++k) expect.push_back(static_cast<std::uint8_t>(k)); // app0Jfif's pixels
    EXPECT_EQ(t.pixels, expect);
}

TEST(Jpegdec, RegionIsTheCropOfTheWholePicture)
{
    int status;
    const std::string in = fixture("prog420.jpg");
    const std::string whole = tempPath("whole.ppm"), part = tempPath("part.ppm");
    jpegdec("--scale 2 " + in + " " + whole, &status);
    ASSERT_EQ(status, 0);
    jpegdec("--scale 2 --roi -3,4,20,0 " + in + " " + part, &status);
    ASSERT_EQ(status, 0);
    Picture w, p;
    ASSERT_TRUE(parsePnm(readFile(whole), w));
    ASSERT_TRUE(parsePnm(readFile(part), p));
    ASSERT_EQ(p.width, 20u);  // columns 0..19 of the 31 x 24 half picture
    ASSERT_EQ(p.height, 20u); // rows 4..23
    for (std::uint32_t y = 0; y < p.height; ++y)
        for (std::uint32_t x = 0; x < p.width * 3; ++x)
            ASSERT_EQ(p.pixels[y * p.width * 3 + x], w.pixels[(y + 4) * w.width * 3 + x]) << x << "," << y;
    const std::string err = jpegdec("--roi 30,5,10,9 " + in + " " + part, &status, true);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "jpegdec: error -8: Invalid JPEG_PROPERTIES\n");
    jpegdec("--roi 1,2,3 " + in + " " + part, &status);
    EXPECT_EQ(status, 2);
}

// A stream of a few hundred bytes whose frame declares 65000 x 65000: refused before the
// output (12 GB) is allocated, as is any picture above --max-pixels.
TEST(Jpegdec, RefusesPicturesAboveTheCapOrTooLargeForTheInput)
{
    const std::vector<Component> gray = {{1, 1, 1, 0}};
    JpegWriter w;
    w.soi();
    w.dqt(0, 1);
    w.dhtDc(0);
    w.dhtAc(0);
    w.sof(0xC0, 65000, 65000, gray);
    w.sos(gray);
    for (int i = 0; i < 100; ++i) w.encodeBlock(0, {});
    w.flushBits();
    w.eoi();
    const std::string huge = tempPath("declares-65000.jpg"), out = tempPath("huge.ppm");
    writeFile(huge, w.out);
    int status;
    for (const char* mode : {"", "--buffer "}) {
        const std::string err = jpegdec(std::string(mode) + huge + " " + out, &status, true);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(err, "jpegdec: 65000x65000 picture exceeds --max-pixels 100000000\n");
        const std::string err2 =
            jpegdec(std::string(mode) + "--max-pixels 5000000000 " + huge + " " + out, &status, true);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(err2, "jpegdec: 65000x65000 picture cannot be coded in " + std::to_string(w.out.size()) +
                            " bytes (needs at least 8251954)\n");
    }
    const std::string in = fixture("s420.jpg"); // 61 x 47
    EXPECT_EQ(jpegdec("--max-pixels 2866 " + in + " " + out, &status, true),
              "jpegdec: 61x47 picture exceeds --max-pixels 2866\n");
    EXPECT_EQ(status, 1);
    jpegdec("--max-pixels 2867 " + in + " " + out, &status);
    EXPECT_EQ(status, 0);
    jpegdec("--max-pixels 0 " + in + " " + out, &status);
    EXPECT_EQ(status, 2);
}

TEST(Jpegdec, NamesCmykAsUnsupported)
{
    int status;
    const std::string out = tempPath("cmyk.ppm");
    EXPECT_EQ(jpegdec(fixture("cmyk.jpg") + " " + out, &status, true),
              "jpegdec: 4-channel (CMYK) JPEG not supported\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(jpegdec(fixture("cmyk.jpg") + " " + tempPath("cmyk.pgm"), &status, true),
              "jpegdec: 4-channel (CMYK) JPEG not supported\n");
    EXPECT_EQ(status, 1);
}
