// Entropy decoding of scans: sequential and progressive scans with restart handling, region
// and interrupted reads, and progressive rendering.
#include "jpeg/Entropy.h"
#include "jpeg/Idct.h"
#include "jpeg/Output.h"
#include "jpeg/ProgressiveBlocks.h"
#include "jpeg/RegionIndex.h"
#include "jpeg/RegisterBits.h"
#include "jpeg/Routines.h"

#include <algorithm>

namespace xtpjpeg {

namespace {

// ---- Scans ------------------------------------------------------------------------------

// Restart check after an MCU: false and `code` set when the marker cannot be read.
bool restartCheck(JpegDecoderState& s, std::int64_t mcuNumber, std::int64_t totalMcus, int& code)
{
    Scan& scan = s.scan;
    const std::int32_t r = scan.restartInterval;
    if (r == 0 || mcuNumber % r != 0 || mcuNumber == totalMcus) return true;
    for (int i = 0; i < scan.ns; ++i) scan.comp[i].pred = 0;
    scan.eobrun = 0;
    InputReader& in = s.input;
    in.bits.discard();
    if (in.bits.error()) {
        code = in.bits.error();
        return false;
    }
    int marker;
    const int rc = nextMarker(in, marker); // returns the pending marker if one was latched
    if (rc != JpegSuccess) {
        code = rc;
        return false;
    }
    return true;
}

void selectTransforms(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    RoutineTable& rt = *s.routines;
    const int family = p.dctType == 0 ? 0 : 1;
    for (int i = 0; i < 4; ++i) rt.currentIdct[i] = rt.idct[family][i];
    rt.currentDequant = rt.dequant[family];
    const std::uint32_t type = family;
    for (int q = 0; q < 4; ++q) {
        if (s.quantPreparedType[q] != type) {
            prepareQuantTable(s.quant[q].natural, type, s.quantPrepared[q]);
            s.quantPreparedType[q] = type;
        }
    }
}

// Whether the scan holds every frame component exactly once (then its MCUs are whole
// frame MCUs handed to the MCU output routine).
bool scanCoversFrame(const JpegDecoderState& s)
{
    if (s.scan.ns != s.frame.componentCount) return false;
    std::uint32_t seen = 0;
    for (int i = 0; i < s.scan.ns; ++i) seen |= 1u << s.scan.comp[i].frameIndex;
    return seen == (1u << s.frame.componentCount) - 1;
}

// The scan's MCU grid: a single-component scan walks that component's blocks
// (T.81 A.2.2), an interleaved one the frame's MCUs.
void scanMcuGrid(const Scan& scan, const Frame& f, std::int32_t& mcusX, std::int32_t& mcusY)
{
    if (scan.ns == 1) {
        const FrameComponent& fc = f.comp[scan.comp[0].frameIndex];
        mcusX = fc.widthInBlocks;
        mcusY = fc.heightInBlocks;
    } else {
        mcusX = f.mcusAcross;
        mcusY = f.mcusDown;
    }
}

// The MCUs of a scan, in the scan's own grid, whose decoding reaches the output: those of
// the frame MCUs inside the region, or without a region the frame MCUs the output shows.
// x0 <= x < x1, y0 <= y < y1; all zero when there are none.
struct ScanWindow {
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

ScanWindow scanWindow(const JpegDecoderState& s, std::int32_t mcusX, std::int32_t mcusY)
{
    ScanWindow w;
    if (s.region.active()) {
        w = {s.region.mcuX0, s.region.mcuY0, s.region.mcuX1, s.region.mcuY1};
    } else {
        w.x1 = (s.out.width + s.outMcuWidth - 1) / s.outMcuWidth;
        w.y1 = (s.out.height + s.outMcuHeight - 1) / s.outMcuHeight;
    }
    if (s.scan.ns == 1) {
        const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
        w.x0 *= fc.h;
        w.x1 *= fc.h;
        w.y0 *= fc.v;
        w.y1 *= fc.v;
    }
    w.x1 = std::min(w.x1, mcusX);
    w.y1 = std::min(w.y1, mcusY);
    if (w.x0 >= w.x1 || w.y0 >= w.y1) return ScanWindow{};
    return w;
}

inline bool inWindow(const ScanWindow& w, std::int32_t mx, std::int32_t my)
{
    return mx >= w.x0 && mx < w.x1 && my >= w.y0 && my < w.y1;
}

// The 1-based number of the first window MCU after (mx, my); 0 when there is none.
std::int64_t nextWindowNumber(const ScanWindow& w, std::int32_t mx, std::int32_t my, std::int32_t mcusX)
{
    if (w.x1 == 0) return 0;
    std::int32_t x = mx + 1, y = my;
    if (x >= mcusX) {
        x = 0;
        ++y;
    }
    if (y < w.y0) {
        y = w.y0;
        x = w.x0;
    } else if (x < w.x0) {
        x = w.x0;
    } else if (x >= w.x1) {
        ++y;
        x = w.x0;
    }
    if (y >= w.y1) return 0;
    return static_cast<std::int64_t>(y) * mcusX + x + 1;
}

// The 1-based number of the window's last MCU; 0 for an empty window.
inline std::int64_t windowEnd(const ScanWindow& w, std::int32_t mcusX)
{
    return w.x1 == 0 ? 0 : static_cast<std::int64_t>(w.y1 - 1) * mcusX + w.x1;
}

// The frame MCU that holds scan MCU (mx, my).
inline void frameMcuOf(const JpegDecoderState& s, std::int32_t mx, std::int32_t my, std::int32_t& fx, std::int32_t& fy)
{
    if (s.scan.ns == 1) {
        const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
        fx = mx / fc.h;
        fy = my / fc.v;
    } else {
        fx = mx;
        fy = my;
    }
}

// Whether scan MCU (mx, my) is the last of its frame MCU that the scan decodes.
inline bool completesFrameMcu(const JpegDecoderState& s, std::int32_t mx, std::int32_t my)
{
    if (s.scan.ns != 1) return true;
    const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
    return (mx % fc.h == fc.h - 1 || mx == fc.widthInBlocks - 1) &&
           (my % fc.v == fc.v - 1 || my == fc.heightInBlocks - 1);
}

inline void saveNextPosition(Scan& scan, std::int32_t mx, std::int32_t my, std::int32_t mcusX)
{
    if (mx + 1 < mcusX) {
        scan.mcuX = mx + 1;
        scan.mcuY = my;
    } else {
        scan.mcuX = 0;
        scan.mcuY = my + 1;
    }
}

inline void endScan(Scan& scan, std::int32_t mcusY)
{
    scan.mcuX = 0;
    scan.mcuY = mcusY;
}

// Buffer input without a byte or a marker left: every further MCU decodes zero bits.
inline bool inputExhausted(const InputReader& in)
{
    return !in.fileInput && in.pos >= in.end && in.pendingMarker == 0 && in.bits.error() == 0;
}

// How a scan ends after MCU `number` once its input is exhausted and none of its later MCUs
// reaches the output: what decoding them would have come to. A restart boundary up to
// `last` (not the scan's final MCU) fails to find its marker; without one the scan runs to
// its end, where the marker search after it reports the end of the buffer.
int finishExhaustedScan(Scan& scan, std::int64_t number, std::int64_t last, std::int64_t total, std::int32_t mcusY,
                        int restartFailure)
{
    const std::int32_t r = scan.restartInterval;
    if (r > 0) {
        const std::int64_t next = (number / r + 1) * r;
        if (next <= last && next != total) return restartFailure;
    }
    endScan(scan, mcusY);
    return JpegSuccess;
}

// Stops the scan after MCU (mx, my) at the caller's request: the next position is kept in
// the scan record and roi reports the frame MCU just decoded (column in left and right,
// row in top and bottom).
int interruptScan(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my, std::int32_t mcusX)
{
    saveNextPosition(s.scan, mx, my, mcusX);
    std::int32_t fx, fy;
    frameMcuOf(s, mx, my, fx, fy);
    p.roi[0] = p.roi[2] = fx;
    p.roi[1] = p.roi[3] = fy;
    return JpegInterruptSuccess;
}

constexpr int kGoOn = 100; // the scan goes on
constexpr int kJump = 101; // the scan goes on at the position saved in the scan record

// Whether the scan's decoding has stalled at a latched marker: no code of the tables its
// blocks start with fits the bits left (a sequential block that cannot decode its DC code
// ends there; a progressive block tries its AC band too), and a refinement scan, which
// reads single bits, has none left. Until the marker is taken, at the next restart
// boundary or after the scan, every block decodes nothing: coefficients and DC predictors
// stay as they are.
bool decodingStalled(const JpegDecoderState& s)
{
    const InputReader& in = s.input;
    if (!in.pendingMarker || in.bits.error()) return false;
    if (in.bits.count() == 0) return true;
    const Scan& scan = s.scan;
    if (scan.progressive && scan.ah > 0) return false;
    const bool dc = !scan.progressive || scan.ss == 0;
    const bool ac = scan.progressive && scan.se >= std::max(scan.ss, 1);
    for (int i = 0; i < scan.ns; ++i) {
        if ((dc && in.bits.holdsCodeOf(*scan.comp[i].dc)) || (ac && in.bits.holdsCodeOf(*scan.comp[i].ac)))
            return false;
    }
    return true;
}

// Where a scan stands after its MCU (mx, my), restart handling done: a region read stops
// after the window's last MCU (the read is complete when the scan held the whole frame, a
// sequential one; otherwise the scan ends there and later scans follow); an interrupted
// read stops after any MCU but the scan's last (in a region read, after those that reach the
// output); a scan whose input is exhausted stops once no MCU that reaches the output is left.
// `output` is the window whose MCUs reach the output.
struct ScanPlace {
    std::int32_t mcusX, mcusY;
    std::int64_t total;
    ScanWindow window;        // MCUs decoded in full
    ScanWindow output;        // MCUs that write pixels
    ScanWindow stalledOutput; // those of them that write even when their blocks decode nothing
    bool completesRead;
    // A region that ends with the scan's last MCU, in a read the scan completes, reads on to
    // the end of the image as a whole read does, so that it fails where that one would.
    bool readsToEnd;
    int restartFailure;
};

// Passes over the MCUs after MCU `number` that a stalled scan would decode to no effect:
// up to the next restart boundary (whose marker is then taken), the next MCU that reaches
// the output, the last MCU of a region's window, or the end of the scan, whichever comes
// first.
int passStalledMcus(JpegDecoderState& s, const ScanPlace& sp, std::int64_t number, std::int64_t nextOutput)
{
    Scan& scan = s.scan;
    const std::int32_t r = scan.restartInterval;
    const std::int64_t boundary = r > 0 ? (number / r + 1) * r : 0;
    std::int64_t to = sp.total;
    if (boundary > 0 && boundary < sp.total) to = boundary;
    if (nextOutput > 0) to = std::min(to, nextOutput - 1);
    if (s.region.active()) to = std::min(to, windowEnd(sp.window, sp.mcusX) - 1);
    if (to <= number) return kGoOn;
    if (to == sp.total) {
        endScan(scan, sp.mcusY);
        return JpegSuccess;
    }
    int code = JpegSuccess;
    if (to == boundary && !restartCheck(s, boundary, sp.total, code)) return sp.restartFailure;
    scan.mcuX = static_cast<std::int32_t>(to % sp.mcusX);
    scan.mcuY = static_cast<std::int32_t>(to / sp.mcusX);
    return kJump;
}

// Passes over the MCUs of a sequential scan that decode nothing but zero bits up to the
// next MCU that reaches the output (outside the output they matter only through the DC
// predictors, and every block of a component adds the same difference, that of its DC
// table's all-zero code, to its predictor); a restart boundary on the way fails as it would
// have.
int passZeroBitMcus(JpegDecoderState& s, const ScanPlace& sp, std::int64_t number, std::int64_t nextOutput)
{
    Scan& scan = s.scan;
    const std::int64_t to = nextOutput - 1;
    if (nextOutput == 0 || to <= number) return kGoOn;
    const std::int32_t r = scan.restartInterval;
    if (r > 0) {
        const std::int64_t boundary = (number / r + 1) * r;
        if (boundary <= to && boundary != sp.total) return sp.restartFailure;
    }
    const std::uint64_t skipped = static_cast<std::uint64_t>(to - number);
    for (int i = 0; i < scan.ns; ++i) {
        ScanComponent& sc = scan.comp[i];
        InputReader zeros; // exhausted buffer input: nothing but zero bits
        std::int16_t difference = 0;
        s.routines->blockSkipDecoder(zeros, *sc.dc, *sc.ac, difference);
        const std::uint64_t blocks = skipped * static_cast<std::uint64_t>(scan.ns == 1 ? 1 : sc.h * sc.v);
        sc.pred = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(static_cast<std::uint64_t>(static_cast<std::uint16_t>(sc.pred)) +
                                       blocks * static_cast<std::uint16_t>(difference)));
    }
    scan.mcuX = static_cast<std::int32_t>(to % sp.mcusX);
    scan.mcuY = static_cast<std::int32_t>(to / sp.mcusX);
    return kJump;
}

// Passes over the rest of the entropy data of a scan that a region read ends early, to the
// marker after it (latched as pending). The data is not decoded, but input that ends
// right after an 0xFF inside it fails as the bit reader would have failed on it.
int passRestOfScan(InputReader& in)
{
    if (in.pendingMarker || in.bits.error()) return in.bits.error();
    int marker;
    const int rc = nextMarker(in, marker);
    if (rc != JpegSuccess) return rc;
    if (marker == kMarkerEndOfInput) return in.fileInput ? JpegFileError : JpegDataError;
    in.pendingMarker = marker;
    return JpegSuccess;
}

int mcuOutcome(JPEG_PROPERTIES& p, JpegDecoderState& s, const ScanPlace& sp, std::int32_t mx, std::int32_t my)
{
    Scan& scan = s.scan;
    const std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
    const bool region = s.region.active();
    if (region && !sp.readsToEnd && nextWindowNumber(sp.window, mx, my, sp.mcusX) == 0) {
        endScan(scan, sp.mcusY);
        return sp.completesRead ? JpegRoiSuccess : passRestOfScan(s.input);
    }
    if (p.interrupt && number != sp.total && (!region || inWindow(sp.window, mx, my)))
        return interruptScan(p, s, mx, my, sp.mcusX);
    if (p.interrupt) return kGoOn;
    if (inputExhausted(s.input) && nextWindowNumber(sp.output, mx, my, sp.mcusX) == 0) {
        const std::int64_t last = region ? windowEnd(sp.window, sp.mcusX) : sp.total;
        return finishExhaustedScan(scan, number, last, sp.total, sp.mcusY, sp.restartFailure);
    }
    if (inputExhausted(s.input) && !scan.progressive && s.input.bits.onlyZerosLeft())
        return passZeroBitMcus(s, sp, number, nextWindowNumber(sp.output, mx, my, sp.mcusX));
    if (decodingStalled(s)) return passStalledMcus(s, sp, number, nextWindowNumber(sp.stalledOutput, mx, my, sp.mcusX));
    return kGoOn;
}

// What follows MCU (mx, my) of a scan's loop: kGoOn, or the scan's result. A scan that goes
// on at the position saved in the scan record moves (mx, my) to just before it, where the
// loop's step lands on it.
int afterMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, const ScanPlace& sp, std::int32_t& mx, std::int32_t& my)
{
    const int next = mcuOutcome(p, s, sp, mx, my);
    if (next != kJump) return next;
    my = s.scan.mcuY;
    mx = s.scan.mcuX - 1;
    return kGoOn;
}

// The blocks of one MCU of the scan in scan order (`base`: each scan component's first slot
// in s.mcu), as shown (DC only where the 1x1 transform makes one sample) and as passed over
// (all DC only). Returns their number.
int listMcuBlocks(JpegDecoderState& s, const int* base, McuBlock* shown, McuBlock* passed)
{
    Scan& scan = s.scan;
    int n = 0;
    for (int i = 0; i < scan.ns; ++i) {
        ScanComponent& sc = scan.comp[i];
        const std::int16_t* q = s.quantPrepared[s.frame.comp[sc.frameIndex].tq & 3];
        for (int b = 0; b < (scan.ns == 1 ? 1 : sc.h * sc.v); ++b, ++n) {
            shown[n] = McuBlock{sc.dc, sc.ac, &sc.pred, s.mcu[base[i] + b], q, s.idctSize[sc.frameIndex] == 3};
            passed[n] = shown[n];
            passed[n].dcOnly = true;
        }
    }
    return n;
}

// The blocks of an MCU outside a region read's region: read, keeping the DC predictors.
void skipMcuBlocks(JpegDecoderState& s, const McuBlock* blocks, int count)
{
    for (int i = 0; i < count; ++i)
        s.routines->blockSkipDecoder(s.input, *blocks[i].dc, *blocks[i].ac, *blocks[i].pred);
}

// The region index of a whole-frame sequential scan in a region read, bound to the scan;
// null when the scan is not indexed. A fresh scan then starts at the latest indexed row
// start at or before the region's first row.
RegionIndex* useRegionIndex(JPEG_PROPERTIES& p, JpegDecoderState& s, bool whole, const ScanWindow& w)
{
    Scan& scan = s.scan;
    if (!s.region.active() || !whole || !s.regionIndex || scan.mcuX != 0 || scan.mcuY != 0) return nullptr;
    RegionIndex::Key key;
    if (!RegionIndex::keyOf(p, s, key)) return nullptr;
    s.regionIndex->bind(key);
    if (w.y0 > 0) s.regionIndex->seek(p, s, w.y0);
    return s.regionIndex;
}

} // namespace

int decodeSequentialScan(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    selectTransforms(p, s);
    Scan& scan = s.scan;
    const Frame& f = s.frame;
    InputReader& in = s.input;
    RoutineTable& rt = *s.routines;
    const bool whole = scanCoversFrame(s);
    const int family = p.dctType == 0 ? 0 : 1;
    const bool region = s.region.active();

    ScanPlace sp;
    scanMcuGrid(scan, f, sp.mcusX, sp.mcusY);
    sp.total = static_cast<std::int64_t>(sp.mcusX) * sp.mcusY;
    sp.window = scanWindow(s, sp.mcusX, sp.mcusY);
    sp.output = sp.window;
    sp.stalledOutput = sp.window;
    sp.completesRead = whole;
    sp.readsToEnd = whole && windowEnd(sp.window, sp.mcusX) == sp.total;
    sp.restartFailure = region ? JpegBadRstMarker : JpegMemoryError;
    if (region && sp.window.x1 == 0) { // nothing of the region reaches the output
        endScan(scan, sp.mcusY);
        return whole ? JpegRoiSuccess : passRestOfScan(in);
    }
    RegionIndex* index = useRegionIndex(p, s, whole, sp.window);

    // Block slots of each scan component inside s.mcu: frame order for whole MCUs.
    int base[kMaxComponents];
    {
        int frameBase[kMaxComponents];
        int acc = 0;
        for (int c = 0; c < f.componentCount; ++c) {
            frameBase[c] = acc;
            acc += f.comp[c].h * f.comp[c].v;
        }
        int n = 0;
        for (int i = 0; i < scan.ns; ++i) {
            const ScanComponent& sc = scan.comp[i];
            base[i] = whole ? frameBase[sc.frameIndex] : n;
            n += scan.ns == 1 ? 1 : sc.h * sc.v;
        }
    }
    McuBlock shownBlocks[kMaxMcuBlocks], passedBlocks[kMaxMcuBlocks];
    const int blockCount = listMcuBlocks(s, base, shownBlocks, passedBlocks);

    for (std::int32_t my = scan.mcuY; my < sp.mcusY; ++my) {
        for (std::int32_t mx = (my == scan.mcuY ? scan.mcuX : 0); mx < sp.mcusX; ++mx) {
            // Decode every block of the MCU: outside the region skip them; only the DC
            // coefficient counts (for the predictor) in a whole MCU outside the output, and in
            // a block that the 1x1 transform turns into one sample.
            const bool produce = !region || inWindow(sp.window, mx, my);
            const bool shown = produce && (!whole || inWindow(sp.output, mx, my));
            if (produce)
                rt.mcuDecoder[family](in, shown ? shownBlocks : passedBlocks, blockCount);
            else
                skipMcuBlocks(s, shownBlocks, blockCount);
            if (in.bits.error()) return in.bits.error();
            int code = JpegSuccess;
            const std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
            if (!restartCheck(s, number, sp.total, code)) return region ? JpegBadRstMarker : code;

            // Output (skipped MCUs have none).
            if (produce && whole) {
                if (shown) outputFrameMcu(p, s, mx, my, true);
            } else if (produce) {
                for (int i = 0; i < scan.ns; ++i) {
                    const ScanComponent& sc = scan.comp[i];
                    const FrameComponent& fc = f.comp[sc.frameIndex];
                    const int bw = scan.ns == 1 ? 1 : sc.h;
                    const int bh = scan.ns == 1 ? 1 : sc.v;
                    for (int by = 0; by < bh; ++by) {
                        for (int bx = 0; bx < bw; ++bx) {
                            std::int16_t* blk = s.mcu[base[i] + by * bw + bx];
                            const std::int32_t blockX = scan.ns == 1 ? mx : mx * sc.h + bx;
                            const std::int32_t blockY = scan.ns == 1 ? my : my * sc.v + by;
                            // Blocks past the component's edge (MCU padding) are decoded but not shown.
                            if (blockX >= fc.widthInBlocks || blockY >= fc.heightInBlocks) continue;
                            rt.currentIdct[s.idctSize[sc.frameIndex]](blk); // dequantised while decoded
                            outputComponentBlock(p, s, sc.frameIndex, blk, blockX, blockY);
                        }
                    }
                }
            }
            // A row's last MCU done (its restart marker too) is where the next row starts,
            // also for a region that ends here, where the region below will start.
            if (index && mx == sp.mcusX - 1 && my + 1 < sp.mcusY && index->indexes(my + 1)) index->record(p, s, my + 1);
            const int next = afterMcu(p, s, sp, mx, my);
            if (next != kGoOn) return next;
        }
    }
    endScan(scan, sp.mcusY);
    return JpegSuccess;
}

namespace {

inline std::size_t frameMcuIndex(const JpegDecoderState& s, std::int32_t fx, std::int32_t fy)
{
    return static_cast<std::size_t>(fy) * static_cast<std::size_t>(s.frame.mcusAcross) + static_cast<std::size_t>(fx);
}

// Renders the changed frame MCUs that wait for a later block of theirs, when the scan is about
// to pass over MCUs without decoding them (the blocks passed over keep their coefficients).
void renderPending(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    for (std::int32_t fx = s.pendingX0; s.pendingRenders > 0 && fx <= s.pendingX1; ++fx) {
        std::uint8_t& d = s.dirty[frameMcuIndex(s, fx, s.pendingRow)];
        if (!d) continue;
        d = 0;
        --s.pendingRenders;
        renderFrameMcu(p, s, fx, s.pendingRow);
    }
    s.pendingRenders = 0;
}

// Notes that a scan after the first rendering one changed frame MCU (fx, fy).
void markChanged(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t fx, std::int32_t fy)
{
    std::uint8_t& d = s.dirty[frameMcuIndex(s, fx, fy)];
    if (d) return;
    if (s.pendingRenders > 0 && fy != s.pendingRow) renderPending(p, s);
    if (s.pendingRenders == 0) {
        s.pendingRow = fy;
        s.pendingX0 = s.pendingX1 = fx;
    }
    d = 1;
    ++s.pendingRenders;
    s.pendingX0 = std::min(s.pendingX0, fx);
    s.pendingX1 = std::max(s.pendingX1, fx);
}

// Renders frame MCU (fx, fy), which scan MCU (mx, my) has just completed, when it must be:
// the first rendering scan draws every one, later scans those they changed.
void renderCompleted(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t fx, std::int32_t fy)
{
    std::uint8_t& d = s.dirty[frameMcuIndex(s, fx, fy)];
    if (!s.renderAll && !d) return;
    if (d) --s.pendingRenders;
    d = 0;
    renderFrameMcu(p, s, fx, fy);
}

// The first block from x0 to before x1 of row y of a one-component scan that completes a
// frame MCU which must be rendered; x1 when there is none.
std::int32_t firstBlockToRender(const JpegDecoderState& s, const ScanWindow& w, std::int32_t x0, std::int32_t x1,
                                std::int32_t y)
{
    if (y < w.y0 || y >= w.y1) return x1;
    const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
    if (y % fc.v != fc.v - 1 && y != fc.heightInBlocks - 1) return x1;
    for (std::int32_t x = std::max(x0, w.x0); x < std::min(x1, w.x1); ++x) {
        if (x % fc.h != fc.h - 1 && x != fc.widthInBlocks - 1) continue;
        if (s.renderAll || s.dirty[frameMcuIndex(s, x / fc.h, y / fc.v)]) return x;
    }
    return x1;
}

// Passes over blocks of an end-of-band run of a one-component AC scan that need nothing:
// such a block keeps its coefficients unless a refinement scan has nonzero ones in its band
// to refine, and is drawn only when it completes a frame MCU that must be rendered. Stops
// before block number `limit` (1-based), a block that needs its decoder, or the run's end.
void passEndOfBandRun(JpegDecoderState& s, const ScanPlace& sp, std::int64_t limit, std::int32_t& mx, std::int32_t& my)
{
    const Scan& scan = s.scan;
    std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
    std::int64_t n = std::min<std::int64_t>(scan.eobrun, limit - number);
    if (n <= 0) return;
    const bool refine = scan.ah > 0;
    if (refine || s.renderScan) {
        const int c = scan.comp[0].frameIndex;
        const std::uint64_t band = bandMask(scan.ss, scan.se);
        std::int64_t passed = 0;
        std::int32_t x = mx, y = my;
        while (passed < n) {
            const std::int32_t end = static_cast<std::int32_t>(std::min<std::int64_t>(sp.mcusX, x + (n - passed)));
            std::int32_t stop = end;
            if (refine) {
                const std::uint64_t* row = s.acMasks + blockIndex(s, c, 0, static_cast<std::size_t>(y));
                for (std::int32_t i = x; i < stop; ++i) {
                    if (row[i] & band) {
                        stop = i;
                        break;
                    }
                }
            }
            if (s.renderScan) stop = firstBlockToRender(s, sp.window, x, stop, y);
            passed += stop - x;
            if (stop < end) break;
            x = stop;
            if (x == sp.mcusX) {
                x = 0;
                ++y;
            }
        }
        n = passed;
    }
    number += n;
    s.scan.eobrun -= static_cast<std::uint32_t>(n);
    mx = static_cast<std::int32_t>((number - 1) % sp.mcusX);
    my = static_cast<std::int32_t>((number - 1) / sp.mcusX);
}

// The first block number from `number` on that the run pass must leave to the scan's loop:
// the scan's last block, a region's last, a restart boundary.
std::int64_t runPassLimit(const JpegDecoderState& s, const ScanPlace& sp, std::int64_t number)
{
    std::int64_t limit = sp.total;
    if (s.region.active()) limit = std::min(limit, windowEnd(sp.window, sp.mcusX));
    const std::int32_t r = s.scan.restartInterval;
    if (r > 0) limit = std::min(limit, (number + r - 1) / r * r);
    return limit;
}

} // namespace

int decodeProgressiveScan(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    selectTransforms(p, s);
    Scan& scan = s.scan;
    InputReader& in = s.input;

    ScanPlace sp;
    scanMcuGrid(scan, s.frame, sp.mcusX, sp.mcusY);
    sp.total = static_cast<std::int64_t>(sp.mcusX) * sp.mcusY;
    sp.window = scanWindow(s, sp.mcusX, sp.mcusY);
    // Only the first rendering scan must reach every MCU of the output; a later one renders
    // what it changes, so MCUs that decode nothing can be passed over (zero bits of exhausted
    // input are decoded: they can change coefficients).
    sp.output = s.renderScan ? sp.window : ScanWindow{};
    sp.stalledOutput = s.renderAll ? sp.output : ScanWindow{};
    sp.completesRead = false;
    sp.readsToEnd = false;
    sp.restartFailure = JpegBadRstMarker;
    if (s.region.active() && sp.window.x1 == 0) {
        endScan(scan, sp.mcusY);
        return passRestOfScan(in);
    }
    const bool runs = scan.ns == 1 && scan.ss > 0;

    for (std::int32_t my = scan.mcuY; my < sp.mcusY; ++my) {
        for (std::int32_t mx = (my == scan.mcuY ? scan.mcuX : 0); mx < sp.mcusX; ++mx) {
            if (runs && scan.eobrun > 0 && !p.interrupt) {
                passEndOfBandRun(s, sp, runPassLimit(s, sp, static_cast<std::int64_t>(my) * sp.mcusX + mx + 1), mx, my);
            }
            const bool changed = decodeProgressiveMcu(s, mx, my);
            if (in.bits.error()) return in.bits.error();
            int code = JpegSuccess;
            const std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
            if (!restartCheck(s, number, sp.total, code)) return JpegBadRstMarker;
            // Once the rendering condition holds, each frame MCU is rendered as soon as this
            // scan has decoded its last block.
            if (s.renderScan && inWindow(sp.window, mx, my)) {
                std::int32_t fx, fy;
                frameMcuOf(s, mx, my, fx, fy);
                if (changed && !s.renderAll) markChanged(p, s, fx, fy);
                if (completesFrameMcu(s, mx, my)) renderCompleted(p, s, fx, fy);
            }
            const int next = afterMcu(p, s, sp, mx, my);
            const bool moved = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1 != number;
            if (s.pendingRenders > 0 && (next != kGoOn || moved)) renderPending(p, s);
            if (next != kGoOn) return next;
        }
    }
    endScan(scan, sp.mcusY);
    return JpegSuccess;
}

} // namespace xtpjpeg
