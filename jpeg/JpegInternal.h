// Internal state of the JPEG decoder: everything behind JPEG_PROPERTIES::state.
#pragma once

#include "jpeg/HuffTable.h"
#include "jpeg/InputReader.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/Region.h"

#include <cstdint>
#include <cstring>

struct JpegDecoderState;

namespace xtpjpeg {

constexpr int kMaxComponents = 4; // capacity of the frame's component array
constexpr int kMaxMcuBlocks = 64; // 4 components of up to 4x4 blocks each

struct QuantTable {
    bool defined = false;
    std::uint8_t precision = 0;
    std::uint16_t natural[64]; // the stream's values in natural order
};

struct FrameComponent {
    std::int32_t id = 0;
    std::int32_t h = 1;
    std::int32_t v = 1;
    std::int32_t tq = 0;
    // Derived geometry (frame MCU grid).
    std::int32_t blocksPerMcuRow = 0; // blocks across the whole padded frame (mcusAcross * h)
    std::int32_t blocksPerMcuCol = 0; // blocks down the padded frame (mcusDown * v)
    std::int32_t widthInBlocks = 0;   // ceil(ceil(X * h / Hmax) / 8): a non-interleaved scan's blocks
    std::int32_t heightInBlocks = 0;
};

struct Frame {
    std::int32_t precision = 8;
    std::int32_t height = 0;         // Y
    std::int32_t width = 0;          // X
    std::int32_t componentCount = 4; // Nf
    FrameComponent comp[kMaxComponents];
    std::int32_t hmax = 1, vmax = 1;
    std::int32_t mcuWidth = 8, mcuHeight = 8;
    std::int32_t mcusAcross = 0, mcusDown = 0;
    std::int64_t totalMcus = 0;
};

struct ScanComponent {
    std::int32_t frameIndex = 0;
    std::int32_t h = 1, v = 1;
    const HuffTable* dc = nullptr;
    const HuffTable* ac = nullptr;
    std::int32_t quant = 0; // quantisation table index
    std::int16_t pred = 0;  // DC predictor
};

struct Scan {
    bool active = false;
    std::int32_t ns = 0;
    ScanComponent comp[kMaxComponents];
    std::int32_t ss = 0, se = 63, ah = 0, al = 0;
    std::int32_t restartInterval = 0;
    std::int32_t mcuX = 0, mcuY = 0; // position of the next MCU
    std::uint32_t eobrun = 0;
    bool progressive = false; // decoded into the coefficient buffer
};

// The request of an interrupted image read: the next jpegRead continues that read only when
// it names the same operation, input and output (a read of anything else drops it).
struct Suspension {
    std::int32_t operation = -1;
    std::uint32_t useWorkingRecord = 0;
    const std::uint8_t* inBuffer = nullptr;
    std::uint32_t inBufferSize = 0;
    const char* inFileName = nullptr;
    std::uint8_t* outBuffer = nullptr;
    std::uint32_t outWidth = 0;
    std::int32_t outHeight = 0, outPadBytes = 0;
    std::uint32_t outChannels = 0;
    JpegColor outColor = ColorBgr, imageColor = ColorYcbcr;
    JpegSubsampling outSubsampling = SubsampleNone;
    std::uint32_t imageChannels = 0, dctType = 0;
    bool operator==(const Suspension&) const = default;
};

struct RoutineTable;

// How the output rectangle of the caller is addressed.
struct OutputTarget {
    std::uint8_t* firstRow = nullptr; // where image row 0 goes
    std::ptrdiff_t lineBytes = 0;     // signed stride
    std::int32_t width = 0;           // columns that may be written: min(outWidth, image width)
    std::int32_t height = 0;          // rows that may be written: min(|outHeight|, image height)
    std::int32_t channels = 0;
};

} // namespace xtpjpeg

struct JpegDecoderState {
    // Table stores.
    xtpjpeg::QuantTable quant[4];
    std::int16_t quantPrepared[4][64]; // the tables in the form dctType selects
    std::uint32_t quantPreparedType[4];
    xtpjpeg::HuffTable dcTables[4];
    xtpjpeg::HuffTable acTables[4];
    std::int32_t quantCount = 0, quantHighest = 0, dcCount = 0, acCount = 0, huffHighest = 0;

    xtpjpeg::Frame frame;
    std::int32_t rawH[xtpjpeg::kMaxComponents] = {}; // the frame's sampling factors as coded
    std::int32_t rawV[xtpjpeg::kMaxComponents] = {}; // (frame.comp holds them as decoded)
    bool needFrame = true;
    // The params read found the frame's first scan sequential and holding every component:
    // the whole picture is in that one scan.
    bool oneSequentialScan = false;
    bool scanDecoded = false; // this image read has decoded a scan of the frame
    xtpjpeg::Scan scan;
    xtpjpeg::InputReader input;
    xtpjpeg::RoutineTable* routines = nullptr;
    std::int32_t restartInterval = 0;

    // Progressive decoding.
    std::int32_t progressiveScans = 0;
    std::uint32_t dcDoneMask = 0;         // frame components that had a DC scan with Al = 0
    std::int32_t fullAcScans = 0;         // scans with Se = 63 and Al = 0
    std::int16_t* coefficients = nullptr; // progressive coefficient buffer (and the two below)
    std::uint64_t progressiveBytes = 0;   // size of that allocation
    // Per block, its zigzag positions that hold a nonzero AC coefficient (a superset), so that
    // a block of an end-of-band run in a refinement scan is refined without reading all 63.
    std::uint64_t* acMasks = nullptr;
    // Per frame MCU, changed by the current scan since its last rendering; the changed frame
    // MCUs not yet rendered lie in one row (pendingRow, columns pendingX0..pendingX1).
    std::uint8_t* dirty = nullptr;
    std::int32_t pendingRenders = 0, pendingRow = 0, pendingX0 = 0, pendingX1 = 0;
    bool rendered = false;                                // an earlier scan of the read rendered the picture
    bool renderAll = false;                               // the current scan is the first to render: every MCU
    std::int32_t scanCount = 0;                           // scans of the frame decoded by this read
    std::uint32_t sequentialDone = 0;                     // frame components a sequential scan has decoded
    std::size_t compOffset[xtpjpeg::kMaxComponents] = {}; // offset of each component's blocks
    bool renderScan = false;                              // the current scan renders the MCUs it completes

    // Multi-scan (non-interleaved) sequential image awaiting colour conversion at EOI.
    bool nonInterleavedSeen = false;

    // Adobe APP14 and JFIF APP0 captures.
    bool adobeSeen = false;
    std::uint8_t adobeTransform = 0;
    std::uint16_t adobeVersion = 100;
    std::uint16_t adobeFlags0 = 0, adobeFlags1 = 0;
    bool jfifSeen = false;
    std::uint16_t jfifVersion = 0x0101;
    std::uint8_t jfifUnits = 0;
    std::uint16_t jfifXDensity = 1, jfifYDensity = 1;
    std::uint32_t exifOrientation = 0; // of the frame's first APP1 Exif block, 0 when none

    std::int32_t cpuClass = 0;
    xtpjpeg::OutputTarget out;

    // Scaled reads: log2 of the operation's scale, each component's transform size (an
    // index into RoutineTable::currentIdct) and the MCU's size in output pixels.
    std::int32_t scaleShift = 0;
    std::int32_t idctSize[xtpjpeg::kMaxComponents] = {};
    std::int32_t outMcuWidth = 8, outMcuHeight = 8;

    // Regions of interest and interrupted decodes (Region.h).
    xtpjpeg::Region region;
    xtpjpeg::RegionIndex* regionIndex = nullptr;
    bool suspended = false; // an interrupted read waits for the next call
    xtpjpeg::Suspension suspension;
    std::int32_t reportedRoi[4] = {}; // what the interrupted read left in roi

    // One MCU's blocks (coefficients, then 8-bit samples as 16-bit values).
    alignas(32) std::int16_t mcu[xtpjpeg::kMaxMcuBlocks][64];
};
