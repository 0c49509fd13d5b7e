// Processor classes: the table from made-up identification values, and the "USECPU"
// override read through the registry stand-in.
#include "JpegTestSupport.h"
#include "jpeg/JpegInternal.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace jpegtest;

namespace {

constexpr std::uint32_t kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26, kTsc = 1u << 4;

// Points the registry stand-in at a fresh file for this test process.
class JpegCpuRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = tempPath("usecpu.reg");
    std::remove(path_.c_str());
    setenv("REELSMITH_REGISTRY", path_.c_str(), 1);
  }
  void TearDown() override { unsetenv("REELSMITH_REGISTRY"); }

  static void setValue(const Bytes& data, DWORD type = REG_DWORD) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "USECPU", 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static Bytes dword(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 24)};
  }
  static int classOfNewContext() {
    JpegContext c;
    if (jpegInit(&c) != 0) return -100;
    const int k = jpegCpuClass(&c);
    jpegFree(&c);
    return k;
  }

  std::string path_;
};

}  // namespace

TEST(JpegCpu, ClassTableFromMadeUpIdentification) {
  using xtpjpeg::classifyCpu;
  EXPECT_EQ(classifyCpu(4, kMmx | kSse | kSse2), 0);
  EXPECT_EQ(classifyCpu(5, kTsc), 1);
  EXPECT_EQ(classifyCpu(5, kMmx), 3);
  EXPECT_EQ(classifyCpu(6, kTsc), 2);
  EXPECT_EQ(classifyCpu(6, kMmx), 4);
  EXPECT_EQ(classifyCpu(6, kMmx | kSse), 5);
  EXPECT_EQ(classifyCpu(6, kMmx | kSse | kSse2), 5);
  EXPECT_EQ(classifyCpu(15, kMmx | kSse), 0);  // family 15 without SSE2: plain
  EXPECT_EQ(classifyCpu(15, kMmx | kSse | kSse2), 6);
  EXPECT_EQ(classifyCpu(7, kMmx | kSse | kSse2), 0);
}

TEST_F(JpegCpuRegistry, UseCpuOverridesTheDetectedClass) {
  const xtpjpeg::ProcessorDescription d = xtpjpeg::readProcessor();
  const int detected = xtpjpeg::classifyCpu(d.family, d.features);
  EXPECT_EQ(classOfNewContext(), detected);  // no key yet
  for (int forced : {0, 3, 6}) {
    setValue(dword(forced));
    EXPECT_EQ(classOfNewContext(), forced);
  }
  for (int ignored : {7, -1}) {
    setValue(dword(ignored));
    EXPECT_EQ(classOfNewContext(), detected) << ignored;
  }
  // A value longer than 4 bytes does not fit and is ignored; its type is not examined.
  setValue({2, 0, 0, 0, 0}, REG_BINARY);
  EXPECT_EQ(classOfNewContext(), detected);
  setValue(dword(2), REG_BINARY);
  EXPECT_EQ(classOfNewContext(), 2);
}

TEST(JpegCpu, ForcedClassesDecodeAlike) {
  const Bytes jpeg = readFile(fixture("big420.jpg"));
  Bytes reference;
  for (int k = 0; k <= 6; ++k) {
    JpegContext c;
    ASSERT_EQ(jpegInit(&c), 0);
    ASSERT_EQ(jpegSetCpuClass(&c, k), 0);
    EXPECT_EQ(jpegCpuClass(&c), k);
    c.inBuffer = jpeg.data();
    c.inBufferSize = static_cast<std::uint32_t>(jpeg.size());
    ASSERT_EQ(jpegRead(&c, ReadParamsBuffer), 0);
    Bytes pixels(static_cast<std::size_t>(c.imageWidth) * c.imageHeight * 3);
    c.outBuffer = pixels.data();
    c.outWidth = c.imageWidth;
    c.outHeight = static_cast<std::int32_t>(c.imageHeight);
    c.outColor = ColorRgb;
    ASSERT_EQ(jpegRead(&c, ReadImageBuffer), 0);
    EXPECT_EQ(jpegSetCpuClass(&c, 7), JpegInvalidProperties);
    jpegFree(&c);
    EXPECT_EQ(jpegCpuClass(&c), -1);
    if (k == 0) reference = pixels;
    EXPECT_EQ(pixels, reference) << k;
  }
}
