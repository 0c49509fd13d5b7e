#include "jpeg/FrameHeader.h"

#include "jpeg/MarkerSegment.h"
#include "jpeg/Output.h"

#include <algorithm>

namespace xtpjpeg {

namespace {

void computeGeometry(JpegDecoderState& s)
{
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

// A frame header's fields, sampling factors as coded.
int readFrameHeader(InputReader& in, Frame& f)
{
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

} // namespace

void resetProgressive(JpegDecoderState& s)
{
    s.progressiveScans = 0;
    s.dcDoneMask = 0;
    s.fullAcScans = 0;
    s.renderScan = false;
    s.rendered = false;
    s.scanCount = 0;
    s.sequentialDone = 0;
    s.nonInterleavedSeen = false;
}

int parseFrame(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
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
    s.oneSequentialScan = false;
    p.imageWidth = static_cast<std::uint32_t>(f.width);
    p.imageHeight = static_cast<std::uint32_t>(f.height);
    p.imageChannels = static_cast<std::uint32_t>(nf);
    p.nonInterleaved = 0;
    return chooseOutputRoutine(p, s);
}

int checkRepeatedFrame(JpegDecoderState& s)
{
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

} // namespace xtpjpeg
