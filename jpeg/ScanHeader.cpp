#include "jpeg/ScanHeader.h"

#include "jpeg/Entropy.h"
#include "jpeg/MarkerSegment.h"
#include "jpeg/Output.h"
#include "jpeg/RegionIndex.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

namespace xtpjpeg {

int decodeScan(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    const int rc = s.scan.progressive ? decodeProgressiveScan(p, s) : decodeSequentialScan(p, s);
    if (rc != JpegInterruptSuccess) s.scan.active = false;
    return rc;
}

void convertAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    if (!s.region.active()) {
        convertNonInterleavedAtEoi(p, s);
        return;
    }
    s.region.targetOutput(s);
    convertNonInterleavedAtEoi(p, s);
    s.region.restore(s);
}

namespace {

// The coefficient buffer, with the AC masks of its blocks and a flag per frame MCU after
// it, in one zeroed allocation.
int allocateCoefficients(JpegDecoderState& s)
{
    const Frame& f = s.frame;
    std::uint64_t blocks = 0;
    for (int c = 0; c < f.componentCount; ++c) {
        s.compOffset[c] = static_cast<std::size_t>(blocks * 64);
        blocks += static_cast<std::uint64_t>(f.comp[c].h) * f.comp[c].v * static_cast<std::uint64_t>(f.totalMcus);
    }
    const std::uint64_t count = blocks * 64;
    if (count * sizeof(std::int16_t) > kJpegMaxCoefficientBytes) return JpegMemoryError;
    const std::uint64_t bytes =
        count * sizeof(std::int16_t) + blocks * sizeof(std::uint64_t) + static_cast<std::uint64_t>(f.totalMcus);
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

} // namespace

int parseSos(JPEG_PROPERTIES& p, JpegDecoderState& s, bool paramsOnly)
{
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

    const bool progressive = !(scan.ss == 0 && scan.se == 63 && scan.ah == 0 && scan.al == 0) || s.progressiveScans > 0;
    std::uint32_t covered = 0;
    for (int i = 0; i < ns; ++i) covered |= 1u << scan.comp[i].frameIndex;
    const bool whole = ns == s.frame.componentCount && covered == (1u << s.frame.componentCount) - 1;
    // Tables: a scan needs the Huffman tables its decoding uses (a progressive DC scan
    // needs no AC table, an AC scan no DC table) and every component's quantisation table.
    for (int i = 0; i < ns; ++i) {
        const bool needDc = !progressive || (scan.ss == 0 && scan.ah == 0);
        const bool needAc = !progressive || scan.se >= std::max(scan.ss, 1);
        if ((needDc && !scan.comp[i].dc->defined) || (needAc && !scan.comp[i].ac->defined)) return JpegNoHuffmanTable;
        if (!s.quant[scan.comp[i].quant].defined) return JpegNoQuantizationTable;
    }
    if (paramsOnly) {
        s.oneSequentialScan = !progressive && whole;
        return kScanParsedOnly;
    }
    if (++s.scanCount > kJpegMaxScans) return JpegDataError;

    if (scan.se > 63) scan.se = 63;
    scan.restartInterval = s.restartInterval;
    scan.progressive = progressive;
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
        if (!s.coefficients) return JpegSuccess; // an empty frame (width 0): nothing to decode
        if (scan.ss == 0 && scan.al == 0)
            for (int i = 0; i < ns; ++i) s.dcDoneMask |= 1u << scan.comp[i].frameIndex;
        if (scan.se == 63 && scan.al == 0) ++s.fullAcScans;
        // Rendering starts with the scan after which every component has had its first DC
        // scan and there have been as many complete AC scans as components.
        s.renderScan = std::popcount(s.dcDoneMask) >= s.frame.componentCount && s.fullAcScans >= s.frame.componentCount;
        // Later scans re-render only the frame MCUs whose coefficients they change.
        s.renderAll = s.renderScan && !s.rendered;
        s.rendered = s.rendered || s.renderScan;
    }
    s.scan.active = true;
    s.scanDecoded = true;
    return decodeScan(p, s);
}

} // namespace xtpjpeg
