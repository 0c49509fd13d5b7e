// The marker walk of one jpegRead operation: each marker to the segment parser that owns
// it, until the operation has what it asked for.
#include "jpeg/AppSegments.h"
#include "jpeg/FrameHeader.h"
#include "jpeg/Markers.h"
#include "jpeg/MarkerSegment.h"
#include "jpeg/MarkerWalk.h"
#include "jpeg/ScanHeader.h"
#include "jpeg/TableSegments.h"

namespace xtpjpeg {

int runOperation(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    InputReader& in = s.input;
    const int op = p.operation;
    const bool tablesOp = op == ReadTablesFile || op == ReadTablesBuffer;
    const bool paramsOp = op == ReadParamsFile || op == ReadParamsBuffer;
    // Params, tables and thumbnail operations read headers only.
    const bool headerOp = paramsOp || tablesOp || isThumbnailOperation(op);
    // Only a tables stream may end without a frame: parameters or an image of nothing
    // would describe a picture that is not there.
    const bool needsFrame = paramsOp || !headerOp;

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
            if (tablesOp && (marker == kSof0 || s.needFrame)) return JpegSuccess; // the tables end here
            if (s.scanDecoded) {
                rc = checkRepeatedFrame(s);
            } else if (marker != kSof0 && !s.needFrame) {
                rc = skipSegment(in); // the frame of an earlier operation stays in force
            } else {
                rc = parseFrame(p, s);
            }
            if (rc != JpegSuccess) return rc;
            break;
        case kSof3:
        case kSof5:
        case kSof6:
        case kSof7:
        case kSof9:
        case kSof10:
        case kSof11:
        case kSof13:
        case kSof14:
        case kSof15:
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
            if (headerOp) return paramsOp && s.needFrame ? JpegNoImage : JpegSuccess;
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
        case kRst0:
        case kRst1:
        case kRst2:
        case kRst3:
        case kRst4:
        case kRst5:
        case kRst6:
        case kRst7:
            break;
        case kMarkerEndOfInput:
            return needsFrame && s.needFrame ? JpegNoImage : JpegSuccess;
        default:
            rc = skipSegment(in);
            if (rc != JpegSuccess) return rc;
            break;
        }
    }
}

} // namespace xtpjpeg
