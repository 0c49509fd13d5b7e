// JPEG stream parsing: the input reader, marker search, marker segments, and
// the marker-driven loop of one jpegRead operation.
#include "jpeg/Exif.h"
#include "jpeg/JpegInternal.h"
#include "jpeg/Markers.h"
#include "jpeg/RegionIndex.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <memory>
#include <new>

namespace xtpjpeg {

// ---- Input ---------------------------------------------------------------------------------

long refillInput(InputReader& in) {
  const std::size_t left = static_cast<std::size_t>(in.end - in.pos);
  if (left > 0 && in.pos != in.fileBuffer) std::memmove(in.fileBuffer, in.pos, left);
  in.pos = in.fileBuffer;
  in.end = in.fileBuffer + left;
  if (left >= sizeof(in.fileBuffer)) return 0;
  ssize_t r;
  do {
    r = ::read(in.fd, in.fileBuffer + left, sizeof(in.fileBuffer) - left);
  } while (r < 0 && errno == EINTR);
  if (r > 0) in.end += r;
  in.remaining = static_cast<std::int32_t>(in.end - in.pos);
  return r;
}

int readInputBytes(InputReader& in, std::size_t n, const std::uint8_t*& out) {
  if (static_cast<std::size_t>(in.end - in.pos) < n) {
    if (!in.fileInput) return JpegMemoryError;
    const long r = refillInput(in);
    if (r <= 0) return JpegFileError;
    if (static_cast<std::size_t>(in.end - in.pos) < n) return JpegInternalError;
  }
  out = in.pos;
  in.pos += n;
  in.consumed += static_cast<std::uint32_t>(n);
  in.remaining = static_cast<std::int32_t>(in.end - in.pos);
  return JpegSuccess;
}

namespace {

// One byte for the marker search: 1 read, 0 end of input, negative a read error.
inline int getByte(InputReader& in, std::uint8_t& b) {
  if (in.pos >= in.end) {
    if (!in.fileInput) return 0;
    const long r = refillInput(in);
    if (r < 0) return JpegFileError;
    if (r == 0) return 0;
  }
  b = *in.pos++;
  ++in.consumed;
  return 1;
}

}  // namespace

int nextMarker(InputReader& in, int& marker) {
  if (in.pendingMarker) {
    marker = in.pendingMarker;
    in.pendingMarker = 0;
    return JpegSuccess;
  }
  for (;;) {
    // Skip up to and including a 0xFF.
    if (!in.fileInput) {
      const void* ff = std::memchr(in.pos, kMarkerPrefix, static_cast<std::size_t>(in.end - in.pos));
      if (!ff) {
        in.pos = in.end;
        return JpegMemoryError;  // buffer input ended during the search
      }
      in.pos = static_cast<const std::uint8_t*>(ff) + 1;
    } else {
      std::uint8_t b = 0;
      do {
        const int r = getByte(in, b);
        if (r <= 0) return JpegFileError;  // a file refill that reads no bytes
      } while (b != kMarkerPrefix);
    }
    // Further 0xFF bytes, then the code.
    std::uint8_t code = kMarkerPrefix;
    while (code == kMarkerPrefix) {
      const int r = getByte(in, code);
      if (r < 0) return r;
      if (r == 0) {
        marker = kMarkerEndOfInput;  // the code byte cannot be read
        return JpegSuccess;
      }
    }
    if (code == 0x00) continue;  // stuffed byte
    marker = code;
    return JpegSuccess;
  }
}

namespace {

// A marker segment's body: in place, or gathered into a temporary allocation.
struct Body {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::unique_ptr<std::uint8_t[]> copy;
};

int readLength(InputReader& in, int& length) {
  const std::uint8_t* b;
  const int rc = readInputBytes(in, 2, b);
  if (rc != JpegSuccess) return rc;
  length = (b[0] << 8) | b[1];
  return JpegSuccess;
}

int readBody(InputReader& in, std::size_t n, Body& body) {
  body.size = n;
  const std::size_t avail = static_cast<std::size_t>(in.end - in.pos);
  if (avail >= n) {
    body.data = in.pos;
    in.pos += n;
    in.consumed += static_cast<std::uint32_t>(n);
    in.remaining = static_cast<std::int32_t>(in.end - in.pos);
    return JpegSuccess;
  }
  if (!in.fileInput) return JpegDataError;  // runs past the end of the input
  body.copy.reset(new (std::nothrow) std::uint8_t[n]);
  if (!body.copy) return JpegMemoryError;
  std::size_t got = avail;
  std::memcpy(body.copy.get(), in.pos, avail);
  in.pos = in.end;
  while (got < n) {
    if (refillInput(in) <= 0) return JpegDataError;
    const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(in.end - in.pos), n - got);
    std::memcpy(body.copy.get() + got, in.pos, take);
    in.pos += take;
    got += take;
  }
  in.consumed += static_cast<std::uint32_t>(n);
  body.data = body.copy.get();
  return JpegSuccess;
}

int skipBody(InputReader& in, std::size_t n) {
  std::size_t avail = static_cast<std::size_t>(in.end - in.pos);
  if (avail >= n) {
    in.pos += n;
    in.consumed += static_cast<std::uint32_t>(n);
    return JpegSuccess;
  }
  if (!in.fileInput) return JpegDataError;
  std::size_t left = n - avail;
  in.pos = in.end;
  while (left > 0) {
    if (refillInput(in) <= 0) return JpegDataError;
    avail = static_cast<std::size_t>(in.end - in.pos);
    const std::size_t take = std::min(avail, left);
    in.pos += take;
    left -= take;
  }
  in.consumed += static_cast<std::uint32_t>(n);
  return JpegSuccess;
}

// Reads a segment whose length must be at least 2.
int readSegment(InputReader& in, Body& body) {
  int length = 0;
  int rc = readLength(in, length);
  if (rc != JpegSuccess) return rc;
  if (length < 2) return JpegDataError;
  return readBody(in, static_cast<std::size_t>(length - 2), body);
}

int skipSegment(InputReader& in) {
  int length = 0;
  const int rc = readLength(in, length);
  if (rc != JpegSuccess) return rc;
  if (length < 2) return JpegDataError;
  return skipBody(in, static_cast<std::size_t>(length - 2));
}

inline int be16(const std::uint8_t* b) { return (b[0] << 8) | b[1]; }

// ---- Frame ---------------------------------------------------------------------------------

void computeGeometry(JpegDecoderState& s) {
  Frame& f = s.frame;
  if (f.componentCount == 1) {
    // A single-component frame is decoded one block per MCU whatever its factors
    // (T.81 A.2.2); the component is treated as 1x1.
    f.comp[0].h = f.comp[0].v = 1;
  }
  f.hmax = f.vmax = 1;
  for (int c = 0; c < f.componentCount; ++c) {
    f.hmax = std::max(f.hmax, f.comp[c].h);
    f.vmax = std::max(f.vmax, f.comp[c].v);
  }
  f.mcuWidth = 8 * f.hmax;
  f.mcuHeight = 8 * f.vmax;
  f.mcusAcross = (f.width + f.mcuWidth - 1) / f.mcuWidth;
  f.mcusDown = (f.height + f.mcuHeight - 1) / f.mcuHeight;
  f.totalMcus = static_cast<std::int64_t>(f.mcusAcross) * f.mcusDown;
  for (int c = 0; c < f.componentCount; ++c) {
    FrameComponent& fc = f.comp[c];
    fc.blocksPerMcuRow = f.mcusAcross * fc.h;
    fc.blocksPerMcuCol = f.mcusDown * fc.v;
    const std::int64_t cw = (static_cast<std::int64_t>(f.width) * fc.h + f.hmax - 1) / f.hmax;
    const std::int64_t chgt = (static_cast<std::int64_t>(f.height) * fc.v + f.vmax - 1) / f.vmax;
    fc.widthInBlocks = static_cast<std::int32_t>((cw + 7) / 8);
    fc.heightInBlocks = static_cast<std::int32_t>((chgt + 7) / 8);
  }
}

void resetProgressive(JpegDecoderState& s) {
  s.progressiveScans = 0;
  s.dcDoneMask = 0;
  s.fullAcScans = 0;
  s.renderScan = false;
  s.rendered = false;
  s.scanCount = 0;
  s.sequentialDone = 0;
  s.nonInterleavedSeen = false;
}

// A frame header's fields, sampling factors as coded.
int readFrameHeader(InputReader& in, Frame& f) {
  Body body;
  const int rc = readSegment(in, body);
  if (rc != JpegSuccess) return rc;
  const std::uint8_t* b = body.data;
  if (body.size < 6) return JpegDataError;
  if (b[0] != 8) return JpegUnsupportedFrame;
  const int height = be16(b + 1);
  const int width = be16(b + 3);
  const int nf = b[5];
  if (height == 0) return JpegErrorDnl;
  if (nf == 0 || nf > kMaxComponents) return JpegErrorComp;
  if (body.size < static_cast<std::size_t>(6 + 3 * nf)) return JpegDataError;
  f.precision = 8;
  f.height = height;
  f.width = width;
  f.componentCount = nf;
  for (int c = 0; c < nf; ++c) {
    const std::uint8_t* e = b + 6 + 3 * c;
    FrameComponent& fc = f.comp[c];
    fc.id = e[0];
    fc.h = e[1] >> 4;
    fc.v = e[1] & 15;
    fc.tq = e[2];
    if (fc.h < 1 || fc.h > 4 || fc.v < 1 || fc.v > 4) return JpegDataError;
  }
  return JpegSuccess;
}

int parseFrame(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  Frame f;
  const int rc = readFrameHeader(s.input, f);
  if (rc != JpegSuccess) return rc;
  const int nf = f.componentCount;
  s.frame = f;
  for (int c = 0; c < nf; ++c) {
    s.rawH[c] = f.comp[c].h;
    s.rawV[c] = f.comp[c].v;
  }
  computeGeometry(s);
  resetProgressive(s);
  s.needFrame = false;
  p.imageWidth = static_cast<std::uint32_t>(f.width);
  p.imageHeight = static_cast<std::uint32_t>(f.height);
  p.imageChannels = static_cast<std::uint32_t>(nf);
  p.nonInterleaved = 0;
  return chooseOutputRoutine(p, s);
}

// A frame header after a scan of the image read has been decoded: the output holds that
// frame's pixels and the caller sized it by that frame, so the header must repeat the frame
// (it is then passed over); any other frame fails the read with -21.
int checkRepeatedFrame(JpegDecoderState& s) {
  Frame f;
  const int rc = readFrameHeader(s.input, f);
  if (rc != JpegSuccess) return rc;
  const Frame& g = s.frame;
  bool same = f.width == g.width && f.height == g.height && f.componentCount == g.componentCount;
  for (int c = 0; same && c < f.componentCount; ++c)
    same = f.comp[c].id == g.comp[c].id && f.comp[c].tq == g.comp[c].tq && f.comp[c].h == s.rawH[c] &&
           f.comp[c].v == s.rawV[c];
  return same ? JpegSuccess : JpegDataError;
}

// ---- Tables --------------------------------------------------------------------------------

int parseDht(JpegDecoderState& s) {
  int length = 0;
  int rc = readLength(s.input, length);
  if (rc != JpegSuccess) return rc;
  if (length < 2 || length - 2 > 1091) return JpegDataError;
  Body body;
  rc = readBody(s.input, static_cast<std::size_t>(length - 2), body);
  if (rc != JpegSuccess) return rc;
  const std::uint8_t* b = body.data;
  std::size_t off = 0;
  while (off < body.size) {
    const int tcth = b[off++];
    const int tc = tcth >> 4;
    const int th = tcth & 15;
    if (tcth >= 32 || th > 3) return JpegBadHuffmanTable;
    if (off + 16 > body.size) return JpegBadHuffmanTable;
    const std::uint8_t* counts = b + off;
    off += 16;
    std::size_t total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i];
    if (total > 257 || off + total > body.size) return JpegBadHuffmanTable;
    HuffTable table;
    rc = buildHuffTable(table, counts, b + off);
    if (rc != JpegSuccess) return rc;
    off += total;
    table.tableClass = static_cast<std::uint8_t>(tc);
    table.id = static_cast<std::uint8_t>(th);
    if (tc == 0) {
      s.dcTables[th] = table;
      s.dcCount = std::min(s.dcCount + 1, 4);
    } else {
      s.acTables[th] = table;
      s.acCount = std::min(s.acCount + 1, 4);
    }
    s.huffHighest = std::max(s.huffHighest, th + 1);
  }
  return JpegSuccess;
}

int parseDqt(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  int length = 0;
  int rc = readLength(s.input, length);
  if (rc != JpegSuccess) return rc;
  if (length < 2 || length - 2 > 516) return JpegDataError;
  Body body;
  rc = readBody(s.input, static_cast<std::size_t>(length - 2), body);
  if (rc != JpegSuccess) return rc;
  const std::uint8_t* b = body.data;
  std::size_t off = 0;
  while (off < body.size) {
    const int pq = b[off] >> 4;
    const int tq = b[off] & 15;
    ++off;
    if (tq > 3) return JpegBadQuantizationTable;
    const std::size_t n = pq ? 128 : 64;
    if (off + n > body.size) return JpegBadQuantizationTable;  // a table running past the segment end
    QuantTable& q = s.quant[tq];
    for (int k = 0; k < 64; ++k) {
      const std::uint16_t v = pq ? static_cast<std::uint16_t>(be16(b + off + 2 * k)) : b[off + k];
      q.natural[kZigzagToNatural[k]] = v;
    }
    off += n;
    q.precision = static_cast<std::uint8_t>(pq);
    q.defined = true;
    const std::uint32_t type = p.dctType == 0 ? 0 : 1;
    prepareQuantTable(q.natural, type, s.quantPrepared[tq]);
    s.quantPreparedType[tq] = type;
    s.quantHighest = std::max(s.quantHighest, tq + 1);
    s.quantCount = std::min(s.quantCount + 1, 4);
  }
  return JpegSuccess;
}

// ---- Scan ----------------------------------------------------------------------------------

constexpr int kScanParsedOnly = 3;  // params operations end at the first scan header (no result code)

// Decodes the current scan from its saved position; the scan stays active while an
// interrupted read waits.
int decodeScan(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  const int rc = s.scan.progressive ? decodeProgressiveScan(p, s) : decodeSequentialScan(p, s);
  if (rc != JpegInterruptSuccess) s.scan.active = false;
  return rc;
}

// The conversion of a non-interleaved picture at EOI, over the region's output in a region read.
void convertAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  if (!s.region.active()) {
    convertNonInterleavedAtEoi(p, s);
    return;
  }
  s.region.targetOutput(s);
  convertNonInterleavedAtEoi(p, s);
  s.region.restore(s);
}

// The coefficient buffer, with the AC masks of its blocks and a flag per frame MCU after
// it, in one zeroed allocation.
int allocateCoefficients(JpegDecoderState& s) {
  const Frame& f = s.frame;
  std::uint64_t blocks = 0;
  for (int c = 0; c < f.componentCount; ++c) {
    s.compOffset[c] = static_cast<std::size_t>(blocks * 64);
    blocks += static_cast<std::uint64_t>(f.comp[c].h) * f.comp[c].v * static_cast<std::uint64_t>(f.totalMcus);
  }
  const std::uint64_t count = blocks * 64;
  if (count * sizeof(std::int16_t) > kJpegMaxCoefficientBytes) return JpegMemoryError;
  const std::uint64_t bytes = count * sizeof(std::int16_t) + blocks * sizeof(std::uint64_t) +
                              static_cast<std::uint64_t>(f.totalMcus);
  if (!s.coefficients || s.progressiveBytes != bytes) {
    std::free(s.coefficients);
    s.coefficients = nullptr;
    s.progressiveBytes = 0;
    if (count == 0) return JpegSuccess;
    s.coefficients = static_cast<std::int16_t*>(std::calloc(static_cast<std::size_t>(bytes), 1));
    if (!s.coefficients) return JpegMemoryError;
    s.progressiveBytes = bytes;
  } else {
    std::memset(s.coefficients, 0, static_cast<std::size_t>(bytes));
  }
  s.acMasks = reinterpret_cast<std::uint64_t*>(s.coefficients + count);
  s.dirty = reinterpret_cast<std::uint8_t*>(s.acMasks + blocks);
  s.pendingRenders = 0;
  return JpegSuccess;
}

int parseSos(JPEG_PROPERTIES& p, JpegDecoderState& s, bool paramsOnly) {
  if (s.needFrame) return JpegNoFrame;
  Body body;
  int rc = readSegment(s.input, body);
  if (rc != JpegSuccess) return rc;
  const std::uint8_t* b = body.data;
  if (body.size < 1) return JpegDataError;
  const int ns = b[0];
  if (ns < 1 || ns > kMaxComponents) return JpegDataError;
  if (body.size < static_cast<std::size_t>(1 + 2 * ns + 3)) return JpegDataError;
  Scan scan;
  scan.ns = ns;
  int td[kMaxComponents], ta[kMaxComponents];
  for (int i = 0; i < ns; ++i) {
    const int cs = b[1 + 2 * i];
    td[i] = b[2 + 2 * i] >> 4;
    ta[i] = b[2 + 2 * i] & 15;
    if (td[i] > 3 || ta[i] > 3) return JpegDataError;
    int index = -1;
    for (int c = 0; c < s.frame.componentCount; ++c) {
      if (s.frame.comp[c].id == cs) {
        index = c;
        break;
      }
    }
    if (index < 0) return JpegDataError;
    const FrameComponent& fc = s.frame.comp[index];
    if (fc.tq < 0 || fc.tq > 3) return JpegDataError;
    ScanComponent& sc = scan.comp[i];
    sc.frameIndex = index;
    sc.h = fc.h;
    sc.v = fc.v;
    sc.dc = &s.dcTables[td[i]];
    sc.ac = &s.acTables[ta[i]];
    sc.quant = fc.tq;
    sc.pred = 0;
  }
  const std::uint8_t* tail = b + 1 + 2 * ns;
  scan.ss = tail[0];
  scan.se = tail[1];
  scan.ah = tail[2] >> 4;
  scan.al = tail[2] & 15;

  const bool progressive =
      !(scan.ss == 0 && scan.se == 63 && scan.ah == 0 && scan.al == 0) || s.progressiveScans > 0;
  // Tables: a scan needs the Huffman tables its decoding uses (a progressive DC scan
  // needs no AC table, an AC scan no DC table) and every component's quantisation table.
  for (int i = 0; i < ns; ++i) {
    const bool needDc = !progressive || (scan.ss == 0 && scan.ah == 0);
    const bool needAc = !progressive || scan.se >= std::max(scan.ss, 1);
    if ((needDc && !scan.comp[i].dc->defined) || (needAc && !scan.comp[i].ac->defined))
      return JpegNoHuffmanTable;
    if (!s.quant[scan.comp[i].quant].defined) return JpegNoQuantizationTable;
  }
  if (paramsOnly) return kScanParsedOnly;
  if (++s.scanCount > kJpegMaxScans) return JpegDataError;

  if (scan.se > 63) scan.se = 63;
  scan.restartInterval = s.restartInterval;
  scan.progressive = progressive;
  std::uint32_t covered = 0;
  for (int i = 0; i < ns; ++i) covered |= 1u << scan.comp[i].frameIndex;
  const bool whole = ns == s.frame.componentCount &&
                     covered == (1u << s.frame.componentCount) - 1;
  p.nonInterleaved = (!progressive && !whole) ? 1 : 0;
  s.scan = scan;
  rc = chooseOutputRoutine(p, s);
  if (rc != JpegSuccess) return rc;
  rc = s.region.settle(p, s);
  if (rc != JpegSuccess) return rc;
  if (s.region.active() && !s.regionIndex) {
    s.regionIndex = new (std::nothrow) RegionIndex();
    if (!s.regionIndex) return JpegMemoryError;
  }

  s.input.bits.reset();
  if (!progressive) {
    // A sequential frame codes each component in one scan (T.81 B.2.3); a scan of one again
    // would redraw the output at the cost of the picture, whatever its own size.
    if (covered & s.sequentialDone) return JpegDataError;
    s.sequentialDone |= covered;
    if (p.nonInterleaved) s.nonInterleavedSeen = true;
  } else {
    ++s.progressiveScans;
    if (s.progressiveScans == 1) {
      rc = allocateCoefficients(s);
      if (rc != JpegSuccess) return rc;
    }
    if (!s.coefficients) return JpegSuccess;  // an empty frame (width 0): nothing to decode
    if (scan.ss == 0 && scan.al == 0)
      for (int i = 0; i < ns; ++i) s.dcDoneMask |= 1u << scan.comp[i].frameIndex;
    if (scan.se == 63 && scan.al == 0) ++s.fullAcScans;
    // Rendering starts with the scan after which every component has had its first DC
    // scan and there have been as many complete AC scans as components.
    s.renderScan = std::popcount(s.dcDoneMask) >= s.frame.componentCount &&
                   s.fullAcScans >= s.frame.componentCount;
    // Later scans re-render only the frame MCUs whose coefficients they change.
    s.renderAll = s.renderScan && !s.rendered;
    s.rendered = s.rendered || s.renderScan;
  }
  s.scan.active = true;
  s.scanDecoded = true;
  return decodeScan(p, s);
}

// ---- Application segments and comments -----------------------------------------------------

bool isThumbnailOperation(int op) { return op == ReadThumbnailFile || op == ReadThumbnailBuffer; }

// Copies a thumbnail of w x h pixels, each an RGB triple (or a palette index when
// palette is set), into the caller's output: R, G, B for ColorRgb, B, G, R for ColorBgr.
// A thumbnail that does not fit the declared output is refused with -26.
int writeThumbnail(const JPEG_PROPERTIES& p, int w, int h, const std::uint8_t* pixels,
                   const std::uint8_t* palette) {
  const std::int64_t rows = p.outHeight < 0 ? -static_cast<std::int64_t>(p.outHeight) : p.outHeight;
  if (static_cast<std::uint32_t>(w) > p.outWidth || h > rows || p.outChannels < 3)
    return JpegThumbnailTooSmall;
  const std::ptrdiff_t stride = p.outLineBytes < 0 ? -p.outLineBytes : p.outLineBytes;
  std::uint8_t* first = p.outHeight < 0 ? p.outBuffer + (rows - 1) * stride : p.outBuffer;
  const bool bgr = p.outColor == ColorBgr;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* d = first + static_cast<std::ptrdiff_t>(y) * p.outLineBytes;
    for (int x = 0; x < w; ++x, d += p.outChannels) {
      const std::size_t i = static_cast<std::size_t>(y) * w + x;
      const std::uint8_t* rgb = palette ? palette + 3 * pixels[i] : pixels + 3 * i;
      d[0] = rgb[bgr ? 2 : 0];
      d[1] = rgb[1];
      d[2] = rgb[bgr ? 0 : 2];
    }
  }
  return JpegSuccess;
}

int parseApp0(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  InputReader& in = s.input;
  const std::uint8_t* lb;
  if (readInputBytes(in, 2, lb) != JpegSuccess) return JpegSuccess;  // not reported
  const int length = be16(lb);
  if (length < 2 || length - 2 < 14) return JpegSuccess;  // body left unread
  Body body;
  const int rc = readBody(in, static_cast<std::size_t>(length - 2), body);
  if (rc == JpegMemoryError) return rc;
  if (rc != JpegSuccess) return JpegDataError;
  if (!s.needFrame) return JpegSuccess;
  const bool thumbnailOp = isThumbnailOperation(p.operation);
  const std::uint8_t* b = body.data;
  if (std::memcmp(b, "JFIF\0", 5) == 0) {
    s.jfifSeen = true;
    s.jfifVersion = static_cast<std::uint16_t>(be16(b + 5));
    s.jfifUnits = b[7];
    s.jfifXDensity = static_cast<std::uint16_t>(be16(b + 8));
    s.jfifYDensity = static_cast<std::uint16_t>(be16(b + 10));
    const int w = b[12], h = b[13];
    if (w && h) {
      p.thumbWidth = static_cast<std::uint32_t>(w);
      p.thumbHeight = static_cast<std::uint32_t>(h);
    }
    if (thumbnailOp && body.size >= 14 + static_cast<std::size_t>(w) * h * 3)
      return writeThumbnail(p, w, h, b + 14, nullptr);
  } else if (std::memcmp(b, "JFXX\0", 5) == 0) {
    const int w = b[6], h = b[7];
    if (b[5] == 0x13) {
      if (w && h) {
        p.thumbWidth = static_cast<std::uint32_t>(w);
        p.thumbHeight = static_cast<std::uint32_t>(h);
      }
      if (thumbnailOp && body.size >= 8 + static_cast<std::size_t>(w) * h * 3)
        return writeThumbnail(p, w, h, b + 8, nullptr);
    } else if (b[5] == 0x11 && thumbnailOp && body.size >= 776 + static_cast<std::size_t>(w) * h) {
      p.thumbWidth = static_cast<std::uint32_t>(w);
      p.thumbHeight = static_cast<std::uint32_t>(h);
      return writeThumbnail(p, w, h, b + 776, b + 8);
    }
    // Other codes, 0x10 (a JPEG-coded thumbnail) among them, are ignored.
  }
  return JpegSuccess;
}

// Only the frame's first Exif block counts; later APP1 segments (XMP among them) are
// passed over by their length as before.
int parseApp1(JpegDecoderState& s) {
  if (!s.needFrame || s.exifOrientation != 0) return skipSegment(s.input);
  Body body;
  const int rc = readSegment(s.input, body);
  if (rc != JpegSuccess) return rc;
  s.exifOrientation = exifOrientation(body.data, body.size);
  return JpegSuccess;
}

int parseApp14(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  InputReader& in = s.input;
  int length = 0;
  int rc = readLength(in, length);
  if (rc != JpegSuccess) return rc;
  if (length < 2) return JpegDataError;
  if (length - 2 < 12) return JpegSuccess;  // body left unread
  Body body;
  rc = readBody(in, static_cast<std::size_t>(length - 2), body);
  if (rc != JpegSuccess) return rc;
  const std::uint8_t* b = body.data;
  if (std::memcmp(b, "Adobe", 5) == 0) {
    s.adobeVersion = static_cast<std::uint16_t>(be16(b + 5));
    s.adobeFlags0 = static_cast<std::uint16_t>(be16(b + 7));
    s.adobeFlags1 = static_cast<std::uint16_t>(be16(b + 9));
    s.adobeTransform = b[11];
    s.adobeSeen = true;
  }
  if (!s.needFrame) return chooseOutputRoutine(p, s);
  return JpegSuccess;
}

int parseComment(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  Body body;
  const int rc = readSegment(s.input, body);
  if (rc != JpegSuccess) return rc;
  if (!s.needFrame || !p.jpeg_comment) return JpegSuccess;
  const auto size = static_cast<std::uint16_t>(body.size);
  if (p.jpeg_comment_length >= size) {
    if (size) std::memcpy(p.jpeg_comment, body.data, size);
    p.jpeg_comment_length = size;
    return JpegSuccess;
  }
  if (p.jpeg_comment_length) std::memcpy(p.jpeg_comment, body.data, p.jpeg_comment_length);
  p.jpeg_comment_length = size;
  return JpegCommentAccessError;
}

}  // namespace

// ---- The operation loop ----------------------------------------------------------------------

int runOperation(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  InputReader& in = s.input;
  const int op = p.operation;
  const bool tablesOp = op == ReadTablesFile || op == ReadTablesBuffer;
  // Params, tables and thumbnail operations read headers only.
  const bool headerOp = op == ReadParamsFile || op == ReadParamsBuffer || tablesOp || isThumbnailOperation(op);

  int marker = 0;
  int rc;
  if (s.suspended) {
    // An interrupted read goes on where its scan stopped.
    s.suspended = false;
    rc = decodeScan(p, s);
    if (rc != JpegSuccess) return rc;
  } else {
    rc = nextMarker(in, marker);
    if (rc != JpegSuccess) return rc;
    if (headerOp && marker != kSoi) return JpegNotJpeg;
    if (marker == kSoi) s.restartInterval = 0;
  }

  for (;;) {
    rc = nextMarker(in, marker);
    if (rc != JpegSuccess) return rc;
    switch (marker) {
      case kSoi:
        s.restartInterval = 0;
        break;
      case kSof0:
      case kSof1:
      case kSof2:
        if (tablesOp && (marker == kSof0 || s.needFrame)) return JpegSuccess;  // the tables end here
        if (s.scanDecoded) {
          rc = checkRepeatedFrame(s);
        } else if (marker != kSof0 && !s.needFrame) {
          rc = skipSegment(in);  // the frame of an earlier operation stays in force
        } else {
          rc = parseFrame(p, s);
        }
        if (rc != JpegSuccess) return rc;
        break;
      case kSof3: case kSof5: case kSof6: case kSof7: case kSof9: case kSof10: case kSof11:
      case kSof13: case kSof14: case kSof15:
        return JpegUnsupportedFrame;
      case kDht:
        rc = parseDht(s);
        if (rc != JpegSuccess) return rc;
        break;
      case kDqt:
        rc = parseDqt(p, s);
        if (rc != JpegSuccess) return rc;
        break;
      case kDri: {
        Body body;
        rc = readSegment(in, body);
        if (rc != JpegSuccess) return rc;
        if (body.size < 2) return JpegDataError;
        s.restartInterval = be16(body.data);
        break;
      }
      case kSos:
        rc = parseSos(p, s, headerOp);
        if (rc == kScanParsedOnly) return JpegSuccess;
        if (rc != JpegSuccess) return rc;
        break;
      case kEoi:
        if (headerOp) return JpegSuccess;
        if (s.needFrame) {
          int next = 0;
          if (nextMarker(in, next) == JpegSuccess && next == kSoi) {
            s.restartInterval = 0;
            break;
          }
          return JpegNoImage;
        }
        if (s.nonInterleavedSeen && p.colorConversion && s.progressiveScans == 0) convertAtEoi(p, s);
        return JpegSuccess;
      case kApp0:
        rc = parseApp0(p, s);
        if (rc != JpegSuccess) return rc;
        break;
      case kApp1:
        rc = parseApp1(s);
        if (rc != JpegSuccess) return rc;
        break;
      case kApp14:
        rc = parseApp14(p, s);
        if (rc != JpegSuccess) return rc;
        break;
      case kCom:
        rc = parseComment(p, s);
        if (rc != JpegSuccess) return rc;
        break;
      case kRst0: case kRst1: case kRst2: case kRst3: case kRst4: case kRst5: case kRst6: case kRst7:
        break;
      case kMarkerEndOfInput:
        return JpegSuccess;
      default:
        rc = skipSegment(in);
        if (rc != JpegSuccess) return rc;
        break;
    }
  }
}

}  // namespace xtpjpeg
