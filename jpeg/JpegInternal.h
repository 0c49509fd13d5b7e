// Internal state of the JPEG decoder: everything behind JPEG_PROPERTIES::state.
#pragma once

#include "jpeg/BitReader.h"
#include "jpeg/HuffTable.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/Region.h"

#include <cstdint>
#include <cstring>

struct JpegDecoderState;

namespace xtpjpeg {

constexpr int kMaxComponents = 4;     // capacity of the frame's component array
constexpr int kMaxMcuBlocks = 64;     // 4 components of up to 4x4 blocks each
constexpr int kFileBufferSize = 4096;

constexpr int kMarkerEndOfInput = 256;  // the pseudo-marker "end of input"

// The natural (row-major) position of each zigzag index; entries 64..79 catch runs that
// would carry the position past coefficient 63 (they are never stored, see the decoders).
extern const std::uint8_t kZigzagToNatural[80];

struct QuantTable {
  bool defined = false;
  std::uint8_t precision = 0;
  std::uint16_t natural[64];  // the stream's values in natural order
};

struct FrameComponent {
  std::int32_t id = 0;
  std::int32_t h = 1;
  std::int32_t v = 1;
  std::int32_t tq = 0;
  // Derived geometry (frame MCU grid).
  std::int32_t blocksPerMcuRow = 0;  // blocks across the whole padded frame (mcusAcross * h)
  std::int32_t blocksPerMcuCol = 0;  // blocks down the padded frame (mcusDown * v)
  std::int32_t widthInBlocks = 0;    // ceil(ceil(X * h / Hmax) / 8): a non-interleaved scan's blocks
  std::int32_t heightInBlocks = 0;
};

struct Frame {
  std::int32_t precision = 8;
  std::int32_t height = 0;           // Y
  std::int32_t width = 0;            // X
  std::int32_t componentCount = 4;   // Nf
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
  std::int32_t quant = 0;            // quantisation table index
  std::int16_t pred = 0;             // DC predictor
};

struct Scan {
  bool active = false;
  std::int32_t ns = 0;
  ScanComponent comp[kMaxComponents];
  std::int32_t ss = 0, se = 63, ah = 0, al = 0;
  std::int32_t restartInterval = 0;
  std::int32_t mcuX = 0, mcuY = 0;   // position of the next MCU
  std::uint32_t eobrun = 0;
  bool progressive = false;          // decoded into the coefficient buffer
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

// The InputReader with the bit reader.
struct InputReader {
  const std::uint8_t* pos = nullptr;
  const std::uint8_t* end = nullptr;
  std::int32_t remaining = 0;
  std::uint32_t consumed = 0;
  int pendingMarker = 0;             // 0: none
  int fd = -1;                       // input file, -1 for buffer input
  bool fileInput = false;
  BitReader bits;
  std::uint8_t fileBuffer[kFileBufferSize];
};

struct RoutineTable;

// How the output rectangle of the caller is addressed.
struct OutputTarget {
  std::uint8_t* firstRow = nullptr;  // where image row 0 goes
  std::ptrdiff_t lineBytes = 0;      // signed stride
  std::int32_t width = 0;            // columns that may be written: min(outWidth, image width)
  std::int32_t height = 0;           // rows that may be written: min(|outHeight|, image height)
  std::int32_t channels = 0;
};

}  // namespace xtpjpeg

struct JpegDecoderState {
  // Table stores.
  xtpjpeg::QuantTable quant[4];
  std::int16_t quantPrepared[4][64];     // the tables in the form dctType selects
  std::uint32_t quantPreparedType[4];
  xtpjpeg::HuffTable dcTables[4];
  xtpjpeg::HuffTable acTables[4];
  std::int32_t quantCount = 0, quantHighest = 0, dcCount = 0, acCount = 0, huffHighest = 0;

  xtpjpeg::Frame frame;
  std::int32_t rawH[xtpjpeg::kMaxComponents] = {};  // the frame's sampling factors as coded
  std::int32_t rawV[xtpjpeg::kMaxComponents] = {};  // (frame.comp holds them as decoded)
  bool needFrame = true;
  bool scanDecoded = false;              // this image read has decoded a scan of the frame
  xtpjpeg::Scan scan;
  xtpjpeg::InputReader input;
  xtpjpeg::RoutineTable* routines = nullptr;
  std::int32_t restartInterval = 0;

  // Progressive decoding.
  std::int32_t progressiveScans = 0;
  std::uint32_t dcDoneMask = 0;          // frame components that had a DC scan with Al = 0
  std::int32_t fullAcScans = 0;          // scans with Se = 63 and Al = 0
  std::int16_t* coefficients = nullptr;  // progressive coefficient buffer (and the two below)
  std::uint64_t progressiveBytes = 0;    // size of that allocation
  // Per block, its zigzag positions that hold a nonzero AC coefficient (a superset), so that
  // a block of an end-of-band run in a refinement scan is refined without reading all 63.
  std::uint64_t* acMasks = nullptr;
  // Per frame MCU, changed by the current scan since its last rendering; the changed frame
  // MCUs not yet rendered lie in one row (pendingRow, columns pendingX0..pendingX1).
  std::uint8_t* dirty = nullptr;
  std::int32_t pendingRenders = 0, pendingRow = 0, pendingX0 = 0, pendingX1 = 0;
  bool rendered = false;                 // an earlier scan of the read rendered the picture
  bool renderAll = false;                // the current scan is the first to render: every MCU
  std::int32_t scanCount = 0;            // scans of the frame decoded by this read
  std::uint32_t sequentialDone = 0;      // frame components a sequential scan has decoded
  std::size_t compOffset[xtpjpeg::kMaxComponents] = {};  // offset of each component's blocks
  bool renderScan = false;               // the current scan renders the MCUs it completes

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
  std::uint32_t exifOrientation = 0;  // of the frame's first APP1 Exif block, 0 when none

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
  bool suspended = false;                // an interrupted read waits for the next call
  xtpjpeg::Suspension suspension;

  // One MCU's blocks (coefficients, then 8-bit samples as 16-bit values).
  alignas(32) std::int16_t mcu[xtpjpeg::kMaxMcuBlocks][64];
};

namespace xtpjpeg {

// ---- Routine signatures -------------------------------------------------------
using IdctRoutine = void (*)(std::int16_t* block);
using DequantRoutine = void (*)(std::int16_t* block, const std::int16_t* table);
using EndOfCallRoutine = void (*)();
using BlockDecoderRoutine = void (*)(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred,
                                     std::int16_t* block, const std::int16_t* quant);
using BlockSkipRoutine = void (*)(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred);
// One block of an MCU for the MCU decoder: the block decoder's arguments, and whether only
// its DC coefficient is used.
struct McuBlock {
  const HuffTable* dc;
  const HuffTable* ac;
  std::int16_t* pred;
  std::int16_t* block;
  const std::int16_t* quant;
  bool dcOnly;
};
using McuDecoderRoutine = void (*)(InputReader& in, const McuBlock* blocks, int count);

// The context handed to MCU output routines.
struct McuOutputArgs {
  const JPEG_PROPERTIES* props;
  const JpegDecoderState* state;
  const std::int16_t (*blocks)[64];     // the MCU's blocks in scan-component order
  std::int32_t mcuX, mcuY;               // MCU column and row (in the scan's MCU grid)
};
using McuOutputRoutine = void (*)(const McuOutputArgs& args);

// Whole-MCU inner conversion (a fast path's body for an MCU wholly inside the output).
using InnerConversionRoutine = void (*)(const std::int16_t (*blocks)[64], std::uint8_t* dst,
                                        std::ptrdiff_t lineBytes, std::int32_t cols,
                                        std::int32_t rows);

struct RoutineTable {
  // 1. No system library handles: the registry functions are linked.
  // 2. End-of-call routine.
  EndOfCallRoutine endOfCall = nullptr;
  // 3. Inverse DCTs by family [dctType] and size [0: 8x8, 1: 4x4, 2: 2x2, 3: 1x1].
  IdctRoutine idct[2][4] = {};
  // 4. The current set.
  IdctRoutine currentIdct[4] = {};
  // 5. The MCU output routine chosen for the frame.
  McuOutputRoutine mcuOutput = nullptr;
  // 6. Inner whole-MCU conversions by fastPath code.
  InnerConversionRoutine inner[20] = {};
  //    The same for the gray to RGB/BGR copy (a general component copy with no fastPath code).
  InnerConversionRoutine grayTriples = nullptr;
  // 7. Entropy decoding: the sequential block decoder by dctType family (it dequantises
  //    the block), whole [0] or DC-only [1] (for blocks that the 1x1 transform reduces to one
  //    sample: the AC coefficients are decoded and passed over), and the region decoder's
  //    block skip decoder.
  BlockDecoderRoutine blockDecoder[2][2] = {};
  BlockSkipRoutine blockSkipDecoder = nullptr;
  //    The same block decoder over the blocks of one MCU at a time, by family, which keeps
  //    the bit buffer in registers from block to block.
  McuDecoderRoutine mcuDecoder[2] = {};
  // 8. Dequantisation by dctType, and the current one.
  DequantRoutine dequant[2] = {};
  DequantRoutine currentDequant = nullptr;
};

// ---- Functions shared between the library's files ----------------------------------------

// Routines.cpp
// The processor description (identification leaves 0 and 1).
struct ProcessorDescription {
  char vendor[13];
  std::uint32_t brandIndex = 0, type = 0, family = 0, model = 0, stepping = 0, features = 0;
  // For the AVX2 class: leaf 0's maximum leaf, leaf 1's ECX, leaf 7's EBX (0 when the
  // maximum leaf is below 7) and XGETBV(0) (0 when OSXSAVE is clear).
  std::uint32_t maxLeaf = 0, featuresEcx = 0, extendedFeatures = 0;
  std::uint64_t xcr0 = 0;
};
// The class above SSE2 that the decoder picks where the processor and the system support
// AVX2; "USECPU" forces only 0..6.
constexpr int kCpuClassAvx2 = 7;
// No class: a null or freed context, or no "USECPU" override.
constexpr int kNoCpuClass = -1;
using BlockCopyRoutine = void (*)(void* dst, const void* src, std::size_t n);
using BlockClearRoutine = void (*)(void* dst, std::size_t n);
ProcessorDescription readProcessor();
// The CpuClass (0..6) of a family and leaf-1 EDX feature flags (bits 23 MMX, 25 SSE, 26 SSE2).
int classifyCpu(std::uint32_t family, std::uint32_t features);
// Whether AVX2 code may run: leaf 7 EBX bit 5 (read only when the maximum leaf is 7 or more),
// leaf 1 ECX bits 27 (OSXSAVE) and 28 (AVX), and XGETBV(0) bits 1 and 2 (XMM and YMM state).
bool supportsAvx2(std::uint32_t maxLeaf, std::uint32_t leaf1Ecx, std::uint32_t leaf7Ebx, std::uint64_t xcr0);
// The class the identification gives: the AVX2 class, else classifyCpu's.
int detectCpuClass(const ProcessorDescription& d);
// supportsAvx2 for this processor, identified once per process.
bool processorSupportsAvx2();
// Processor dispatch for a new context: the description, the
// process-wide copy and clear routines, the class ("USECPU" or detected) and the table of
// that class. Returns the class.
int dispatchProcessor(RoutineTable& table);
BlockCopyRoutine blockCopyRoutine();
BlockClearRoutine blockClearRoutine();
// The routine versions of a class (0..7).
void fillRoutineTable(RoutineTable& table, int cpuClass);

// SequentialBlocks.cpp: the sequential block decoders of a class (0..6).
void fillBlockDecoders(RoutineTable& table, int cpuClass);

// Entropy.cpp
int decodeSequentialScan(JPEG_PROPERTIES& p, JpegDecoderState& s);
int decodeProgressiveScan(JPEG_PROPERTIES& p, JpegDecoderState& s);

// Idct.cpp
void prepareQuantTable(const std::uint16_t natural[64], std::uint32_t dctType, std::int16_t out[64]);
void dequantType1(std::int16_t* block, const std::int16_t* table);
void dequantType0(std::int16_t* block, const std::int16_t* table);
void idct8x8Type1(std::int16_t* block);
void idct8x8Type0(std::int16_t* block);
void idct4x4Type1(std::int16_t* block);
void idct4x4Type0(std::int16_t* block);
void idct2x2Type1(std::int16_t* block);
void idct2x2Type0(std::int16_t* block);
void idct1x1Type1(std::int16_t* block);
void idct1x1Type0(std::int16_t* block);

// IdctSse2.cpp (x86 builds with SSE2): the same results as dequantType1, idct8x8Type1 and
// idct8x8Type0.
#if defined(__SSE2__)
void idct8x8Type1Sse2(std::int16_t* block);
void idct8x8Type0Sse2(std::int16_t* block);
void dequantType1Sse2(std::int16_t* block, const std::int16_t* table);
// ColorSse2.cpp: the inner whole-MCU conversions of fastPath 1 to 6 and of gray to RGB/BGR,
// the same bytes as the plain ones for samples 0..255.
void fillInnerRoutinesSse2(RoutineTable& table);
#endif

// IdctAvx2.cpp and ColorAvx2.cpp, compiled for AVX2 (x86 builds): the same results as
// their SSE2 counterparts, for the AVX2 class only.
#if defined(XTPJPEG_AVX2)
void idct8x8Type1Avx2(std::int16_t* block);
void idct8x8Type0Avx2(std::int16_t* block);
void dequantType1Avx2(std::int16_t* block, const std::int16_t* table);
void fillInnerRoutinesAvx2(RoutineTable& table);
#endif

// Output.cpp
int chooseOutputRoutine(JPEG_PROPERTIES& p, JpegDecoderState& s);
void convertNonInterleavedAtEoi(JPEG_PROPERTIES& p, JpegDecoderState& s);
void writeComponentBlock(const JPEG_PROPERTIES& p, const JpegDecoderState& s, int frameIndex,
                         const std::int16_t* samples, std::int32_t blockX, std::int32_t blockY);
void fillInnerRoutines(RoutineTable& table);

// MarkerWalk.cpp
int runOperation(JPEG_PROPERTIES& p, JpegDecoderState& s);

// InputReader.cpp
int nextMarker(InputReader& in, int& marker);
int readInputBytes(InputReader& in, std::size_t n, const std::uint8_t*& out);
long refillInput(InputReader& in);  // file input: keeps unread bytes, reads up to 4096

}  // namespace xtpjpeg
