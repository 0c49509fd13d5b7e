// JpegDecoder interface: initialisation, validation, the steps of jpegRead,
// release, messages and the version record.
#include "jpeg/FrameHeader.h"
#include "jpeg/JpegInternal.h"
#include "jpeg/MarkerWalk.h"
#include "jpeg/RegionIndex.h"
#include "jpeg/Routines.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <new>

using namespace xtpjpeg;

namespace {

bool isFileOperation(int op) { return (op & 1) == 0; }

bool writesPixels(int op) { return op == 2 || op == 3 || op == 6 || op == 7 || (op >= 14 && op <= 21); }

bool pairAllowed(JpegColor ic, std::uint32_t ichannels, JpegColor oc, std::uint32_t och)
{
    auto is = [&](JpegColor c, std::uint32_t n) { return oc == c && och == n; };
    switch (ic) {
    case ColorGray:
        return ichannels == 1 && (is(ColorGray, 1) || is(ColorRgb, 3) || is(ColorBgr, 3) || is(ColorRgba, 4));
    case ColorRgb:
        return ichannels == 3 && (is(ColorRgb, 3) || is(ColorBgr, 3) || is(ColorRgba, 4));
    case ColorYcbcr:
        return ichannels == 3 &&
               (is(ColorGray, 1) || is(ColorRgb, 3) || is(ColorBgr, 3) || is(ColorRgba, 4) || oc == ColorYcbcr);
    case ColorRgba:
    case ColorYcbcra:
        return ichannels == 4 && is(ColorRgba, 4);
    case ColorOther:
        return oc == ColorOther;
    default:
        return false;
    }
}

// Validation; the first failing rule decides the code.
int validate(const JpegContext& c, int op)
{
    if (c.useWorkingRecord) return JpegSuccess;
    if (op < 0 || op > 21) return JpegInvalidProperties;
    const JPEG_PROPERTIES& p = c.props;
    if (p.coefficientSink && p.interpolatedUpsampling) return JpegInvalidProperties;
    if (writesPixels(op) && !p.coefficientSink) {
        if (!c.outBuffer || c.outWidth < 1 || c.outWidth > 65535 || c.outHeight < -65535 || c.outHeight > 65535)
            return JpegInvalidProperties;
        if ((op == ReadThumbnailFile || op == ReadThumbnailBuffer) && c.outColor != ColorRgb && c.outColor != ColorBgr)
            return JpegThumbnailWrongColor;
        if (c.outPadBytes < 0 || c.outChannels < 1 || c.outChannels > 255) return JpegInvalidProperties;
        if (!(c.outSubsampling == SubsampleNone || (c.outSubsampling == Subsample2x1 && c.outColor == ColorYcbcr)))
            return JpegUnsupportedSubsampling;
    }
    if (isFileOperation(op)) {
        if (!c.inFileName) return JpegInvalidProperties;
    } else if (!c.inBuffer || c.inBufferSize == 0) {
        return JpegInvalidProperties;
    }
    if (c.imageChannels < 1 || c.imageChannels > 256) return JpegInvalidProperties;
    if (!pairAllowed(c.imageColor, c.imageChannels, c.outColor, c.outChannels)) return JpegInvalidProperties;
    if (p.dctType > 1) return JpegInvalidProperties;
    return JpegSuccess;
}

JpegSubsampling classify(const JpegDecoderState& s)
{
    const int n = s.frame.componentCount;
    auto is = [&](int c, int h, int v) { return s.rawH[c] == h && s.rawV[c] == v; };
    if (n == 1) return SubsampleNone;
    if (n < 1 || n > 4) return SubsampleOther;
    bool all1 = true;
    for (int c = 0; c < n; ++c) all1 = all1 && is(c, 1, 1);
    if (all1) return SubsampleNone;
    if (n == 3 && is(1, 1, 1) && is(2, 1, 1)) {
        if (is(0, 2, 2)) return Subsample2x2;
        if (is(0, 2, 1)) return Subsample2x1;
    }
    if (n == 4 && is(1, 1, 1) && is(2, 1, 1)) {
        if (is(0, 2, 2) && is(3, 2, 2)) return Subsample2x2Alpha;
        if (is(0, 2, 1) && is(3, 2, 1)) return Subsample2x1Alpha;
    }
    return SubsampleOther;
}

void closeInput(JpegDecoderState& s, int& rc)
{
    if (s.input.fd >= 0) {
        const int r = ::close(s.input.fd);
        s.input.fd = -1;
        if (r != 0 && rc >= 0) rc = JpegErrorCloseFile;
    }
}

void resetTableCounters(JpegDecoderState& s)
{
    s.quantCount = s.quantHighest = s.dcCount = s.acCount = s.huffHighest = 0;
    for (int i = 0; i < 4; ++i) {
        s.quant[i].defined = false;
        s.dcTables[i].defined = false;
        s.acTables[i].defined = false;
    }
}

// Step 4: the reader starts at the input's first byte (a file read by an image operation
// is rewound first).
int restartInput(const JPEG_PROPERTIES& p, InputReader& in, bool fileOp, bool paramsOp)
{
    in.pendingMarker = 0;
    in.consumed = 0;
    in.bits.reset();
    if (fileOp) {
        in.fileInput = true;
        if (!paramsOp) {
            if (::lseek(in.fd, 0, SEEK_SET) < 0) return JpegFileError;
            in.pos = in.end = in.fileBuffer;
        } else {
            in.pos = in.end = in.fileBuffer; // the buffer restarts where the file stands
        }
        in.remaining = 0;
    } else {
        in.fileInput = false;
        in.pos = p.inBuffer;
        in.end = p.inBuffer ? p.inBuffer + p.inBufferSize : p.inBuffer;
        in.remaining = static_cast<std::int32_t>(p.inBuffer ? p.inBufferSize : 0);
    }
    return JpegSuccess;
}

// The request a call makes, as an interrupted read remembers it.
Suspension requestOf(const JpegContext& c, int op)
{
    const bool working = c.useWorkingRecord != 0;
    const JPEG_PROPERTIES& p = c.props;
    Suspension r;
    r.operation = op;
    r.useWorkingRecord = c.useWorkingRecord;
    if (isFileOperation(op)) {
        r.inFileName = working ? p.inFileName : c.inFileName;
    } else {
        r.inBuffer = working ? p.inBuffer : c.inBuffer;
        r.inBufferSize = working ? p.inBufferSize : c.inBufferSize;
    }
    r.outBuffer = working ? p.outBuffer : c.outBuffer;
    r.outWidth = working ? p.outWidth : c.outWidth;
    r.outHeight = working ? p.outHeight : c.outHeight;
    r.outPadBytes = working ? p.outPadBytes : c.outPadBytes;
    r.outChannels = working ? p.outChannels : c.outChannels;
    r.outColor = working ? p.outColor : c.outColor;
    r.outSubsampling = working ? p.outSubsampling : c.outSubsampling;
    r.imageColor = working ? p.imageColor : c.imageColor;
    r.imageChannels = working ? p.imageChannels : c.imageChannels;
    r.dctType = p.dctType;
    return r;
}

// Drops an interrupted read that the call does not continue; its input file is closed
// (the call opens its own).
void dropSuspension(JpegDecoderState& s)
{
    s.suspended = false;
    s.scan.active = false;
    int ignored = JpegSuccess;
    closeInput(s, ignored);
}

// Result 1: the reported frame MCU's right and bottom edges in picture pixels.
void reportInterruptedMcu(JPEG_PROPERTIES& p, const JpegDecoderState& s)
{
    const std::int64_t right = (static_cast<std::int64_t>(p.roi[2]) * 8 + 8) * s.frame.hmax;
    const std::int64_t bottom = (static_cast<std::int64_t>(p.roi[3]) * 8 + 8) * s.frame.vmax;
    p.roi[2] = static_cast<std::int32_t>(std::min<std::int64_t>(right, p.imageWidth));
    p.roi[3] = static_cast<std::int32_t>(std::min<std::int64_t>(bottom, p.imageHeight));
}

int readSteps(JpegContext& c, JpegDecoderState& s, int op)
{
    JPEG_PROPERTIES& p = c.props;
    if (op >= 8 && op <= 13) return JpegInvalidEncoder; // the encoder is not built
    s.scaleShift = op >= ReadHalfFile && op <= ReadEighthBuffer ? (op - ReadHalfFile) / 2 + 1 : 0;

    // An interrupted read goes on when this call asks for exactly that read again (its roi
    // then holds the last report and is not read); any other call drops it.
    const Suspension request = requestOf(c, op);
    if (s.suspended && !(request == s.suspension)) {
        dropSuspension(s);
        // A roi the caller left as the report goes back to the dropped read's region; one
        // the caller set anew is this call's.
        if (std::equal(p.roi, p.roi + 4, s.reportedRoi))
            std::copy(s.region.requested(), s.region.requested() + 4, p.roi);
    }
    const bool resume = s.suspended;
    if (!resume) s.region.request(p.roi);

    // 1. A params, tables or thumbnail operation loads the stream's tables afresh and needs
    //    a frame; an image operation starts a new image with the tables in store.
    const bool paramsOp = op == ReadParamsFile || op == ReadParamsBuffer;
    const bool headerOp = paramsOp || op == ReadTablesFile || op == ReadTablesBuffer || op == ReadThumbnailFile ||
                          op == ReadThumbnailBuffer;
    if (!resume) {
        if (headerOp) {
            s.needFrame = true;
            resetTableCounters(s);
        }
        s.scanDecoded = false;
        resetProgressive(s);
        if (s.needFrame) {
            s.adobeSeen = false;
            s.jfifSeen = false;
            s.exifOrientation = 0;
        }
    }

    // 2. Open the input file unless a handle is held.
    const bool fileOp = isFileOperation(op);
    const char* fileName = c.useWorkingRecord ? p.inFileName : c.inFileName;
    if (fileOp && s.input.fd < 0) {
        if (!fileName) return JpegInvalidFileName;
        int fd;
        do {
            fd = ::open(fileName, O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return JpegInvalidFileName;
        s.input.fd = fd;
        s.input.pos = s.input.end = s.input.fileBuffer;
    }

    // 3. Copy the public request fields into the working record (an interrupted read keeps
    //    the record as it left it: the request is the same, and the results are its own).
    if (!c.useWorkingRecord && !resume) {
        p.outBuffer = c.outBuffer;
        p.outWidth = c.outWidth;
        p.outHeight = c.outHeight;
        p.outPadBytes = c.outPadBytes;
        p.outChannels = c.outChannels;
        p.outColor = c.outColor;
        p.outSubsampling = c.outSubsampling;
        p.inFileName = c.inFileName;
        p.inBuffer = c.inBuffer;
        p.inBufferSize = c.inBufferSize;
        p.imageWidth = c.imageWidth;
        p.imageHeight = c.imageHeight;
        p.imageChannels = c.imageChannels;
        p.imageColor = c.imageColor;
        p.imageSubsampling = c.imageSubsampling;
        p.thumbWidth = c.thumbWidth;
        p.thumbHeight = c.thumbHeight;
        p.colorConversion = c.colorConversion;
        p.upsampling = c.upsampling;
        p.quality = c.quality;
        const std::int64_t line = static_cast<std::int64_t>(c.outWidth) * c.outChannels + c.outPadBytes;
        if (line > INT32_MAX) return JpegInvalidProperties; // a stride the 32-bit field cannot hold
        p.outLineBytes = static_cast<std::int32_t>(c.outHeight < 0 ? -line : line);
    }

    // 4. Restart the input reader, unless an interrupted read goes on.
    InputReader& in = s.input;
    if (!resume) {
        const int rc = restartInput(p, in, fileOp, paramsOp);
        if (rc != JpegSuccess) return rc;
    }

    // 5 and 6. Row addressing (chosen with the output routine) and the parse and decode.
    int rc = runOperation(p, s);
    // 7. An interrupted read waits for the next call with the same request.
    if (rc == JpegInterruptSuccess) {
        s.suspended = true;
        s.suspension = request;
        reportInterruptedMcu(p, s);
        std::copy(p.roi, p.roi + 4, s.reportedRoi);
        return rc;
    }
    // The read is over: roi holds the caller's region again.
    std::copy(s.region.requested(), s.region.requested() + 4, p.roi);
    if (rc == JpegSuccess && s.region.active()) rc = JpegRoiSuccess;
    if (rc == JpegRoiSuccess) {
        if (isFileOperation(op)) closeInput(s, rc);
        return rc;
    }
    if (rc != JpegSuccess) return rc;

    // 8. Colour results.
    const std::uint32_t n = p.imageChannels;
    if (s.adobeSeen) {
        if (paramsOp) {
            p.outChannels = n;
            if (n == 1) {
                p.imageColor = ColorGray;
            } else if (n == 3) {
                p.imageColor = s.adobeTransform ? ColorYcbcr : ColorRgb;
            } else if (n == 4) {
                p.imageColor = s.adobeTransform ? ColorYcbcra : ColorRgba;
                p.outColor = ColorRgba;
            }
        }
    } else if (n == 1) {
        p.imageColor = ColorGray;
    } else if (n == 3 && s.jfifSeen) {
        p.imageColor = ColorYcbcr;
    }
    p.imageSubsampling = classify(s);

    // 9. Results back to the public fields.
    c.imageWidth = p.imageWidth;
    c.imageHeight = p.imageHeight;
    c.imageChannels = p.imageChannels;
    c.thumbWidth = p.thumbWidth;
    c.thumbHeight = p.thumbHeight;
    c.exifOrientation = s.exifOrientation;
    c.colorConversion = p.colorConversion;
    c.upsampling = p.upsampling;
    c.imageColor = p.imageColor;
    c.outColor = p.outColor;
    c.outChannels = p.outChannels;
    c.imageSubsampling = p.imageSubsampling;

    // 10. An image read from a file closes it.
    // (The scaled reads are image reads; the thumbnail read keeps the file, as params do.)
    if (isFileOperation(op) && op != ReadParamsFile && op != ReadThumbnailFile) closeInput(s, rc);
    return rc;
}

constexpr JpegLibraryVersionInfo kVersion = {
    1, 51, 12, "xtpjpeg.lib", "1.51.12", "[1.51.12.44]", "May 30 2001", "Microsoft",
};

} // namespace

int jpegInit(JpegContext* c)
{
    if (!c) return JpegExceptionDetected;
    auto* s = new (std::nothrow) JpegDecoderState();
    if (!s) return JpegMemoryError;
    auto* rt = new (std::nothrow) RoutineTable();
    if (!rt) {
        delete s;
        return JpegMemoryError;
    }
    s->routines = rt;
    s->cpuClass = dispatchProcessor(*rt);
    s->needFrame = true;
    s->frame.componentCount = 4;
    const int selectors[4] = {0, 1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        s->frame.comp[i] = FrameComponent{};
        s->frame.comp[i].tq = selectors[i];
        s->frame.comp[i].h = s->frame.comp[i].v = 0;
        s->quantPreparedType[i] = 0xFFFFFFFFu;
    }
    s->input.fd = -1;

    c->useWorkingRecord = 0;
    c->outBuffer = nullptr;
    c->outWidth = 0;
    c->outHeight = 0;
    c->outPadBytes = 0;
    c->outChannels = 3;
    c->outColor = ColorBgr;
    c->outSubsampling = SubsampleNone;
    c->inFileName = nullptr;
    c->inBuffer = nullptr;
    c->inBufferSize = 0;
    c->imageWidth = 0;
    c->imageHeight = 0;
    c->imageChannels = 3;
    c->imageColor = ColorYcbcr;
    c->imageSubsampling = Subsample2x2;
    c->thumbWidth = 0;
    c->thumbHeight = 0;
    c->colorConversion = 1;
    c->upsampling = 1;
    c->quality = 75;
    c->exifOrientation = 0;

    JPEG_PROPERTIES& p = c->props;
    p.operation = Setup;
    for (auto& r : p.roi) r = 0;
    p.dctType = 1;
    p.fastPath = 0;
    p.interrupt = 0;
    p.outBuffer = nullptr;
    p.outWidth = 0;
    p.outHeight = 0;
    p.outPadBytes = 0;
    p.outChannels = 3;
    p.outColor = ColorBgr;
    p.outSubsampling = SubsampleNone;
    p.outLineBytes = 0;
    p.inFileName = nullptr;
    p.inBuffer = nullptr;
    p.inBufferSize = 0;
    p.imageWidth = 0;
    p.imageHeight = 0;
    p.imageChannels = 3;
    p.imageColor = ColorYcbcr;
    p.imageSubsampling = Subsample2x2;
    p.thumbWidth = 0;
    p.thumbHeight = 0;
    p.colorConversion = 1;
    p.upsampling = 1;
    p.quality = 75;
    p.nonInterleaved = 0;
    p.mcusAcross = 0;
    p.mcusDown = 0;
    p.coefficientSink = nullptr;
    p.interpolatedUpsampling = 0;
    p.state = s;
    p.jpeg_comment = nullptr;
    p.jpeg_comment_length = 0;
    return JpegSuccess;
}

int jpegRead(JpegContext* c, JpegOperation operation)
{
    if (!c || !c->props.state) return JpegExceptionDetected;
    JpegDecoderState& s = *c->props.state;
    c->props.operation = operation;
    const int op = static_cast<int>(operation);
    int rc = validate(*c, op);
    if (rc == JpegSuccess && (op < 0 || op > 21)) rc = JpegInvalidProperties; // useWorkingRecord cannot run these
    if (rc == JpegSuccess) rc = readSteps(*c, s, op);
    if (rc == JpegInterruptSuccess || rc == JpegRoiSuccess) c->props.interrupt = 0;
    if (s.routines->endOfCall) s.routines->endOfCall();
    if (rc < 0) {
        int ignored = rc;
        closeInput(s, ignored);
    }
    return rc;
}

int jpegFree(JpegContext* c)
{
    if (!c) return JpegExceptionDetected;
    JpegDecoderState* s = c->props.state;
    if (!s) return JpegSuccess;
    int rc = JpegSuccess;
    closeInput(*s, rc);
    // The component array holds at most 4 components, so the "-8 for a count of
    // 256 or more" cannot arise here.
    std::free(s->coefficients);
    delete s->regionIndex;
    delete s->routines;
    delete s;
    c->props.state = nullptr;
    return rc;
}

int jpegSetCpuClass(JpegContext* c, int cpuClass)
{
    if (!c) return JpegExceptionDetected;
    JpegDecoderState* s = c->props.state;
    if (!s) return JpegExceptionDetected;
    const bool avx2 = cpuClass == kCpuClassAvx2 && processorSupportsAvx2();
    if ((cpuClass < 0 || cpuClass > 6) && !avx2) return JpegInvalidProperties;
    s->cpuClass = cpuClass;
    fillRoutineTable(*s->routines, cpuClass);
    return JpegSuccess;
}

std::uint64_t jpegMinimumStreamBytes(const JpegContext* c)
{
    if (!c || !c->props.state || c->props.state->needFrame) return 0;
    const Frame& f = c->props.state->frame;
    std::uint64_t blocks = 0;
    for (int i = 0; i < f.componentCount; ++i)
        blocks +=
            static_cast<std::uint64_t>(f.comp[i].widthInBlocks) * static_cast<std::uint64_t>(f.comp[i].heightInBlocks);
    return (blocks + 7) / 8;
}

int jpegOneSequentialScan(const JpegContext* c)
{
    if (!c || !c->props.state || c->props.state->needFrame) return 0;
    return c->props.state->oneSequentialScan ? 1 : 0;
}

int jpegCpuClass(const JpegContext* c)
{
    if (!c || !c->props.state) return kNoCpuClass;
    return c->props.state->cpuClass;
}

const char* jpegErrorString(int code)
{
    switch (code) {
    case JpegRoiSuccess:
        return "ROI Success";
    case JpegInterruptSuccess:
        return "Interrupt Success";
    case JpegSuccess:
        return "Success";
    case JpegExceptionDetected:
        return "Exception detected";
    case JpegInvalidEncoder:
        return "Invalid Encoder";
    case JpegUnsupportedSubsampling:
        return "Unsupported subsampling";
    case JpegUnsupportedBytesPerPixel:
        return "Unsupported bytes per pixel";
    case JpegMemoryError:
        return "Memory error";
    case JpegBadHuffmanTable:
        return "Bad Huffman table";
    case JpegBadQuantizationTable:
        return "Bad Quantization table";
    case JpegInvalidProperties:
        return "Invalid JPEG_PROPERTIES";
    case JpegErrorCloseFile:
        return "Error close file";
    case JpegInvalidFileName:
        return "Invalid file name";
    case JpegErrorEof:
        return "Error EOF";
    case JpegNotSupported:
        return "Not supported";
    case JpegNotJpeg:
        return "Not JPEG";
    case JpegErrorComp:
        return "Error COMP";
    case JpegErrorSof:
        return "Error SOF";
    case JpegErrorDnl:
        return "Error DNL";
    case JpegNoHuffmanTable:
        return "No Huffman table";
    case JpegNoQuantizationTable:
        return "No Quantization table";
    case JpegNoFrame:
        return "No frame";
    case JpegMultiplyFrame:
        return "Multiply frame";
    case JpegDataError:
        return "Data error";
    case JpegNoImage:
        return "No image";
    case JpegFileError:
        return "File error";
    case JpegInternalError:
        return "Internal error";
    case JpegBadRstMarker:
        return "Bad RST marker";
    case JpegThumbnailTooSmall:
        return "Thumbnail too small";
    case JpegThumbnailWrongColor:
        return "Thumbnail has wrong color";
    case JpegOutputBufferTooSmall:
        return "Output buffer too small";
    case JpegUnsupportedFrame:
        return "Unsupported frame was found";
    case JpegCommentAccessError:
        return "Error access to jpeg_comment buffer";
    case JpegReserved:
        return "Reserved";
    default:
        return "Unknown error code";
    }
}

const JpegLibraryVersionInfo* jpegLibraryVersion() { return &kVersion; }
