// JpegDecoder: the still-image decoder of XTPPic.
//
// A library of plain functions around one caller-owned record, the JpegContext: the
// caller fills the public fields, names an operation with jpegRead, and reads the
// results back from the same record. Every operation returns a small signed result
// code (0 success, 1 and 2 partial successes, negative failures, see JpegResult) whose
// fixed message jpegErrorString gives.
//
// Usage for one picture (what the picture source filter does):
//   JpegContext c;                       // need not be zeroed
//   if (jpegInit(&c) != 0) fail;
//   c.inBuffer = bytes; c.inBufferSize = n;
//   jpegRead(&c, ReadParamsBuffer);      // imageWidth, imageHeight, imageChannels ...
//   c.imageColor = ColorYcbcr; c.outColor = ColorRgb; c.outChannels = 3;
//   c.outBuffer = pixels; c.outWidth = c.imageWidth; c.outHeight = c.imageHeight;
//   jpegRead(&c, ReadImageBuffer);       // tightly packed top-down RGB rows
//   jpegFree(&c);
//
// This header is self-contained (standard headers only) with C++ linkage; the library's
// internal symbols live in the namespace xtpjpeg.
//
// Memory. The decoder never reads outside [inBuffer, inBuffer + inBufferSize) nor writes
// outside the output declared by outBuffer, outWidth, |outHeight|, outChannels and
// outPadBytes (rows of outWidth * outChannels + outPadBytes bytes; the pad bytes of a row
// are never written, and nothing is written below the first or above the last row).
// Its only working buffer that grows with the picture is the progressive coefficient
// buffer (16-bit coefficients for every block of every component of the frame, with 8 bytes
// per block and 1 per MCU of bookkeeping beside them, a further sixteenth). A frame
// whose coefficient buffer would exceed kJpegMaxCoefficientBytes fails with -5
// "Memory error" before anything is allocated. 512 MiB admits progressive photographs of
// about 89 megapixels at 4:4:4, 178 megapixels at 4:2:0 and 64 megapixels for
// four-component images. Sequential (baseline) decoding needs no buffer that grows with
// the picture: it decodes straight into outBuffer. Region reads add two buffers of fixed
// size, kept until jpegFree: the region index (about 320 KiB) and one MCU of output pixels
// (at most 32 x 32 pixels of outChannels bytes).
//
// Structured exceptions are not emulated: every case that the Windows decoder answered with
// -1 "Exception detected" is prevented by checks instead (a null context, a context used
// after jpegFree, reads and writes that would leave the declared buffers).
#pragma once

#include <cstddef>
#include <cstdint>

// Operation codes. Even codes read from inFileName, odd codes from inBuffer.
enum JpegOperation : std::int32_t {
    Setup = -1,
    ReadParamsFile = 0,
    ReadParamsBuffer = 1,
    ReadImageFile = 2,
    ReadImageBuffer = 3,
    ReadTablesFile = 4,
    ReadTablesBuffer = 5,
    ReadAbbreviatedFile = 6,
    ReadAbbreviatedBuffer = 7,
    // 8..13: the encoder's codes, which this library does not build (-2 "Invalid Encoder").
    ReadHalfFile = 14,
    ReadHalfBuffer = 15,
    ReadQuarterFile = 16,
    ReadQuarterBuffer = 17,
    ReadEighthFile = 18,
    ReadEighthBuffer = 19,
    ReadThumbnailFile = 20,
    ReadThumbnailBuffer = 21,
};

enum JpegColor : std::int32_t {
    ColorRgb = 1,
    ColorBgr = 2,
    ColorYcbcr = 3,
    ColorGray = 4,
    ColorRgba = 5,
    ColorYcbcra = 6,
    ColorOther = 255,
};

enum JpegSubsampling : std::int32_t {
    SubsampleNone = 0,
    Subsample2x2 = 1,
    Subsample2x1 = 2,
    Subsample2x2Alpha = 3,
    Subsample2x1Alpha = 4,
    SubsampleOther = 255,
};

// Result codes; jpegErrorString gives their messages.
enum JpegResult : std::int32_t {
    JpegRoiSuccess = 2,
    JpegInterruptSuccess = 1,
    JpegSuccess = 0,
    JpegExceptionDetected = -1,
    JpegInvalidEncoder = -2,
    JpegUnsupportedSubsampling = -3,
    JpegUnsupportedBytesPerPixel = -4,
    JpegMemoryError = -5,
    JpegBadHuffmanTable = -6,
    JpegBadQuantizationTable = -7,
    JpegInvalidProperties = -8,
    JpegErrorCloseFile = -9,
    JpegInvalidFileName = -10,
    JpegErrorEof = -11,
    JpegNotSupported = -12,
    JpegNotJpeg = -13,
    JpegErrorComp = -14,
    JpegErrorSof = -15,
    JpegErrorDnl = -16,
    JpegNoHuffmanTable = -17,
    JpegNoQuantizationTable = -18,
    JpegNoFrame = -19,
    JpegMultiplyFrame = -20,
    JpegDataError = -21,
    JpegNoImage = -22,
    JpegFileError = -23,
    JpegInternalError = -24,
    JpegBadRstMarker = -25,
    JpegThumbnailTooSmall = -26,
    JpegThumbnailWrongColor = -27,
    JpegOutputBufferTooSmall = -28,
    JpegUnsupportedFrame = -29,
    JpegCommentAccessError = -30,
    JpegReserved = -99,
};

// Cap on the progressive coefficient buffer, see the top of this file.
constexpr std::uint64_t kJpegMaxCoefficientBytes = std::uint64_t{512} << 20;

// Cap on the scans of one frame in an image read: encoders write about 10 (a progressive
// file), so a stream with more is crafted; its scan number kJpegMaxScans + 1 fails the read
// with -21 "Data error" before anything of that scan is decoded or written.
constexpr int kJpegMaxScans = 1000;

// Decoder state behind the working record (tables, frame, scan, input reader,
// RoutineTable, coefficient buffer); allocated by jpegInit, released by jpegFree.
struct JpegDecoderState;

// The JPEG_PROPERTIES working record. Its leading fields keep the order of the
// Windows record; jpegRead copies the public request fields here unless useWorkingRecord
// is set, in which case the caller fills them directly.
struct JPEG_PROPERTIES {
    JpegOperation operation; // -1 (Setup) after jpegInit
    std::int32_t roi[4];     // left, top, right, bottom; all zero: whole image (see jpegRead)
    std::uint32_t dctType;   // inverse-DCT family, 0 or 1 (default 1)
    std::uint32_t fastPath;  // result: code of the chosen MCU output routine
    std::uint32_t interrupt; // nonzero: an image read stops after its next MCU (result 1)
    // Mirror of outBuffer .. outSubsampling.
    std::uint8_t* outBuffer;
    std::uint32_t outWidth;
    std::int32_t outHeight;
    std::int32_t outPadBytes;
    std::uint32_t outChannels;
    JpegColor outColor;
    JpegSubsampling outSubsampling;
    std::int32_t outLineBytes; // signed stride between output rows, computed by jpegRead
    // Mirror of inFileName .. quality.
    const char* inFileName;
    const std::uint8_t* inBuffer;
    std::uint32_t inBufferSize;
    std::uint32_t imageWidth;
    std::uint32_t imageHeight;
    std::uint32_t imageChannels;
    JpegColor imageColor;
    JpegSubsampling imageSubsampling;
    std::uint32_t thumbWidth;
    std::uint32_t thumbHeight;
    std::uint32_t colorConversion;
    std::uint32_t upsampling;
    std::uint32_t quality;
    std::uint32_t nonInterleaved; // 1 while the current scan holds fewer components than the frame
    std::uint32_t mcusAcross;
    std::uint32_t mcusDown;
    // The two options "left to the implementer", zero after jpegInit; validation
    // rejects the two together with -8. The library implements neither further: the
    // coefficient sink is not called and upsampling always replicates.
    void* coefficientSink;
    std::uint32_t interpolatedUpsampling;
    JpegDecoderState* state; // owned by the library
    // Comment capture: a caller-owned destination and its size; after a COM
    // segment read while needFrame is set, the comment's length.
    std::uint8_t* jpeg_comment;
    std::uint16_t jpeg_comment_length;
};

// The caller-owned request and result record.
struct JpegContext {
    std::uint32_t useWorkingRecord; // nonzero: jpegRead trusts `props` as filled by the caller
    std::uint8_t* outBuffer;
    std::uint32_t outWidth;         // 1..65535
    std::int32_t outHeight;         // -65535..65535; negative: bottom-up rows
    std::int32_t outPadBytes;       // bytes skipped after each row, >= 0
    std::uint32_t outChannels;      // bytes per output pixel, 1..255 (default 3)
    JpegColor outColor;             // default ColorBgr
    JpegSubsampling outSubsampling; // 0, or 2 with ColorYcbcr (packed luma/chroma pairs)
    const char* inFileName;         // file operations (even codes)
    const std::uint8_t* inBuffer;   // buffer operations (odd codes)
    std::uint32_t inBufferSize;
    std::uint32_t imageWidth; // results ...
    std::uint32_t imageHeight;
    std::uint32_t imageChannels; // must be 1..256 on entry (default 3)
    JpegColor imageColor;        // in: colour of the coded components (default ColorYcbcr)
    JpegSubsampling imageSubsampling;
    std::uint32_t thumbWidth;
    std::uint32_t thumbHeight;
    std::uint32_t colorConversion;
    std::uint32_t upsampling;
    std::uint32_t quality; // encoder only (default 75)
    // Result of a params read: the Exif orientation (1 to 8) of the first APP1 "Exif"
    // block before the frame header, 0 without one or when its TIFF data is malformed.
    std::uint32_t exifOrientation;
    JPEG_PROPERTIES props; // the working record
};

// The constant version record returned by jpegLibraryVersion.
struct JpegLibraryVersionInfo {
    std::int32_t major;            // 1
    std::int32_t minor;            // 51
    std::int32_t build;            // 12
    const char* name;              // "xtpjpeg.lib"
    const char* version;           // "1.51.12"
    const char* internalVersion;   // "[1.51.12.44]"
    const char* buildDate;         // "May 30 2001"
    const char* callingConvention; // "Microsoft"
};

// Fills every default, allocates the decoder state and the RoutineTable. The record's
// previous contents are not read (so a record still holding state from an earlier jpegInit
// must go through jpegFree first, or that state is lost). 0, or -5 when an allocation
// fails, -1 for a null context.
int jpegInit(JpegContext* context);

// Runs one JpegOperation (validation, then parse and decode); the encoder's 8 to 13
// answer -2 "Invalid Encoder".
//
// Regions. A roi other than the whole picture makes an image read produce only that
// rectangle, in pixels of the operation's scale: negative left and top count as 0, right
// and bottom of 0 (or beyond the picture) as its edges; picture pixel (x, y) goes to output
// pixel (x - left, y - top), and nothing outside the region is written. The read returns 2
// "ROI Success"; an empty or inverted region -8. Sequential pictures skip the MCUs outside
// the region and stop after its last one, except that a region ending with the last MCU of
// a picture coded in one scan reads on to EOI as a whole read does, and fails where that
// read fails (a stream cut short, a stray scan after the picture's); progressive ones decode
// every scan up to the region's last MCU and render only the region. A context remembers where the MCU rows of
// a sequential scan begin (allocated at the first region read, -5 if that fails), so a
// later region read of the same input starts near its first row.
//
// Interrupts. With props.interrupt set an image read stops after the next MCU that it
// decodes (in a region read, the next one of the region; never after the last MCU of a
// scan) and returns 1 "Interrupt Success", with that MCU's column in roi[0] and row in
// roi[1] (the frame MCU that holds it, for a scan of one component) and its right and
// bottom edges in picture pixels in roi[2] and roi[3]; interrupt is cleared. The next
// jpegRead with the same operation, input and output continues where the read stopped
// (through later scans to EOI), stopping again if interrupt is set again; when the read
// ends, roi holds the caller's region again. A call that asks for anything else drops the
// interrupted read and starts afresh.
//
// Frames and scans. Once an image read has decoded a scan, a further frame header must repeat
// the frame (it is then passed over); one that differs fails the read with -21, so the results
// (copied back only on success) keep describing the frame whose pixels were written. A frame
// header before the read's first scan still replaces the frame, and the read reports that one.
// A sequential scan of a component that an earlier sequential scan of the frame decoded, and
// scan number kJpegMaxScans + 1, fail the read with -21 as well.
//
// A thumbnail larger than the declared output (or an output of fewer than 3 channels) is
// refused with -26 "Thumbnail too small". -1 for a null context or one without state
// (released by jpegFree). A record that jpegInit never saw cannot be
// told apart from a prepared one: the caller must run jpegInit first.
int jpegRead(JpegContext* context, JpegOperation operation);

// Closes an input file left open (-9 if that fails) and releases everything the decoder
// allocated. A record without state (already freed) gives 0. -1 for a null context.
int jpegFree(JpegContext* context);

// The processor class the context's routines were chosen for: the "USECPU" value under
// HKEY_LOCAL_MACHINE\Software\XTP\JpegDecoder when it is 0..6, else the class the
// processor's identification gives (0..6, or 7 where the processor and the system support
// AVX2). -1 for a null or freed context.
int jpegCpuClass(const JpegContext* context);

// Forces the routines of another class (0..6, or 7 where AVX2 is supported) on a prepared
// context, as "USECPU" does for every context; -8 for another value, -1 for a null or freed
// context.
int jpegSetCpuClass(JpegContext* context, int cpuClass);

// The fewest bytes a stream can code the frame of the last params read in: every block of
// every component codes at least one bit (its DC code, ITU-T T.81 F.1.2.1 and G.1.2.1).
// A caller that sizes its output from the params read compares this with the bytes it has
// (inBufferSize, or the file's size) before allocating, since a few bytes can declare a
// frame of 65535 x 65535. 0 for a null or freed context or one without a frame.
std::uint64_t jpegMinimumStreamBytes(const JpegContext* context);

// Whether the frame of the last params read is coded in one sequential scan that holds every
// component (the usual form of a baseline photograph): 1, and region reads of it on one
// context, band of rows after band, each start near their first row and decode the picture
// once in all. 0 for a progressive frame or one coded in a scan per component (whose region
// reads go back over the picture), a params read that did not reach the first scan, or a null
// or freed context.
int jpegOneSequentialScan(const JpegContext* context);

// The constant message of a result code; never fails.
const char* jpegErrorString(int code);

const JpegLibraryVersionInfo* jpegLibraryVersion();
