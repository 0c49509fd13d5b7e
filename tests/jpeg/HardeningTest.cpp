// Crafted streams that once cost far more than their size or reported a frame other than the
// one written: a second frame header, the scan cap, end-of-band runs over large frames,
// Huffman tables with the all-ones code, and corrupt data in a region read.
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

using namespace jpegtest;

namespace {

const std::vector<Component> kGray = {{1, 1, 1, 0}};

// SOI, DQT 0, the test tables, and a frame.
JpegWriter startStream(int sof, int width, int height, const std::vector<Component>& comps = kGray) {
  JpegWriter w;
  w.soi();
  w.dqt(0, 1);
  w.dhtDc(0);
  w.dhtAc(0);
  w.sof(sof, width, height, comps);
  return w;
}

// A complete 16 x 16 grey picture of four flat blocks (DC 8, 16, 24, 32: samples 129..132).
void grayPicture(JpegWriter& w) {
  w.sos(kGray);
  for (int i = 0; i < 4; ++i) w.encodeBlock(8, {});
  w.flushBits();
}

struct Read {
  int paramsRc = 0, imageRc = 0;
  std::uint32_t width = 0, height = 0, channels = 0;
  Bytes out;
};

// Params, then an image read into an output of the reported size plus a guard of 64 bytes
// (0xEE) that must stay untouched; `interrupt` stops after every MCU.
Read readPicture(const Bytes& in, bool interrupt = false) {
  Read r;
  JpegContext c;
  EXPECT_EQ(jpegInit(&c), 0);
  c.inBuffer = in.data();
  c.inBufferSize = static_cast<std::uint32_t>(in.size());
  r.paramsRc = jpegRead(&c, ReadParamsBuffer);
  if (r.paramsRc == 0) {
    c.imageColor = ColorGray;
    c.outColor = ColorGray;
    c.outChannels = 1;
    r.out.assign(static_cast<std::size_t>(c.imageWidth) * c.imageHeight + 64, 0xEE);
    c.outBuffer = r.out.data();
    c.outWidth = c.imageWidth;
    c.outHeight = static_cast<std::int32_t>(c.imageHeight);
    do {
      c.props.interrupt = interrupt ? 1 : 0;
      r.imageRc = jpegRead(&c, ReadImageBuffer);
    } while (r.imageRc == 1);
    r.width = c.imageWidth;
    r.height = c.imageHeight;
    r.channels = c.imageChannels;
  }
  jpegFree(&c);
  return r;
}

bool guardIntact(const Read& r) {
  for (std::size_t i = r.out.size() - 64; i < r.out.size(); ++i)
    if (r.out[i] != 0xEE) return false;
  return true;
}

}  // namespace

// A frame header after the picture's scans: the same frame again is passed over; any other
// (here 65000 x 65000, or one more component) fails the read with -21, and the public
// results keep the first frame, the one whose pixels were written.
TEST(JpegHardening, SecondFrameHeaderMustRepeatTheFrame) {
  for (int sof : {0xC0, 0xC1, 0xC2}) {
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(testing::Message() << "SOF " << sof << " kind " << kind);
      JpegWriter w = startStream(0xC0, 16, 16);
      grayPicture(w);
      if (kind == 0) w.sof(sof, 16, 16, kGray);
      if (kind == 1) w.sof(sof, 65000, 65000, kGray);
      if (kind == 2) w.sof(sof, 16, 16, {{1, 1, 1, 0}, {2, 1, 1, 0}});
      w.sos(kGray);
      for (int i = 0; i < 4; ++i) w.encodeBlock(0, {});
      w.flushBits();
      w.eoi();
      for (bool interrupt : {false, true}) {
        const Read r = readPicture(w.out, interrupt);
        ASSERT_EQ(r.paramsRc, 0);
        EXPECT_EQ(r.imageRc, kind == 0 ? 0 : JpegDataError);
        EXPECT_EQ(r.width, 16u);
        EXPECT_EQ(r.height, 16u);
        EXPECT_EQ(r.channels, 1u);
        EXPECT_TRUE(guardIntact(r));
        // The second scan (DC 0 in every block) after a repeated frame header.
        if (kind == 0) {
          EXPECT_EQ(r.out[0], 128);
        }
      }
    }
  }
}

// Before any scan of the image read a frame header still replaces the frame (the read
// reports what it decodes), as it does after an earlier params read.
TEST(JpegHardening, FrameHeaderBeforeTheScansReplacesTheFrame) {
  JpegWriter w = startStream(0xC0, 65000, 65000);
  w.sof(0xC0, 16, 16, kGray);
  grayPicture(w);
  w.eoi();
  const Read r = readPicture(w.out);
  EXPECT_EQ(r.imageRc, 0);
  EXPECT_EQ(r.width, 16u);
  EXPECT_EQ(r.out[0], 129);
  EXPECT_TRUE(guardIntact(r));
}
